#pragma once
// Whether a window grab saved as PNG shows a real window: big enough and not nearly blank.
#include <QImage>
#include <QString>
#include <cstdio>
#include <set>
#include <string>

namespace voq::test {

inline bool looksLikeAWindow(const std::string& file, int minWidth, int minHeight) {
    QImage image(QString::fromStdString(file));
    if (image.isNull() || image.width() < minWidth || image.height() < minHeight) return false;
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
    std::fprintf(stderr, "%s: %dx%d, %zu colours\n", file.c_str(), image.width(), image.height(), colours.size());
    return colours.size() > 8;
}

}  // namespace voq::test
