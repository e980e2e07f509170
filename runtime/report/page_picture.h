#pragma once
// Page pictures: a finished page as an SVG document. The page's size is given in real units
// (points, millimetres or inches) and its coordinates in report units, so a renderer draws it at
// its true size. Texts are placed where the layout measured them with the Liberation fonts.

#include <string>

#include "runtime/report/report.h"

namespace rt {

std::string pagePictureSvg(const PageData& page, ReportUnit unit);
bool writePagePicture(const std::string& file, const PageData& page, ReportUnit unit);

}  // namespace rt
