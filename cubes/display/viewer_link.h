// The one way the cube lists and the cockpit open a cube in the pivot viewer. The program names
// its viewer at start; until it does, the buttons that open cubes stay disabled.
#pragma once

#include <functional>

void SetCubeViewer(std::function<void(long cubeId)> viewer);
bool CubeViewerAvailable();
// Opens the cube on the calling thread and returns when the viewer closes.
void ShowCubeInViewer(long cubeId);
