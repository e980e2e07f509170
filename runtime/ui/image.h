#pragma once
// Natural size of a picture file, as an image control needs it before the display draws it.

#include <string>

namespace rt {

struct ImageSize {
    bool ok = false;
    int width = 0;  // pixels
    int height = 0;
};

// PNG (read through libpng) and SVG (its width and height, or its viewBox). Anything else, or a
// file that cannot be read, gives ok = false.
ImageSize readImageSize(const std::string& file);

}  // namespace rt
