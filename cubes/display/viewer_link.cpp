#include "cubes/display/viewer_link.h"

#include "runtime/thread/shared.h"

namespace {
rt::Shared<std::function<void(long)>> gViewer;
}  // namespace

void SetCubeViewer(std::function<void(long cubeId)> viewer) { gViewer.set(std::move(viewer)); }

bool CubeViewerAvailable() { return static_cast<bool>(gViewer.get()); }

void ShowCubeInViewer(long cubeId) {
    auto viewer = gViewer.get();
    if (viewer) viewer(cubeId);
}
