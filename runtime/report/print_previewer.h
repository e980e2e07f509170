#pragma once
// The platform's print preview: the report's pages go through the one preview window of the
// program (installed by the application core), then what is left of the page list is printed.

#include <functional>

#include "runtime/report/report.h"

namespace rt {

// Shows the pages; may remove entries of the list (unmarked pages). True: print what is left.
using PreviewProcedure = std::function<bool(PreviewQueue& pages)>;

// Process-wide; an empty procedure means no preview (the pages print at once).
void setPreviewProcedure(PreviewProcedure preview);
bool hasPreviewProcedure();

class PrintPreviewer {
public:
    explicit PrintPreviewer(Report& report) : report_(report) {}
    PrintPreviewer& setPreview(bool on) {
        preview_ = on;
        return *this;
    }

    // Closes the last page, previews (when wanted and installed), prints the page list left and
    // ends the print job. True when pages were printed; false when the user left the preview
    // without printing, nothing was left, or printing failed.
    bool display();

private:
    Report& report_;
    bool preview_ = true;
};

}  // namespace rt
