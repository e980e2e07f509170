#pragma once
// Text measurement for report layouts. Widths come from the advance widths of the installed
// Liberation fonts (metric-compatible with the faces the layouts name), read straight from
// their TrueType files, so a layout measures the same on every machine and without a display.

#include <string>
#include <string_view>
#include <vector>

namespace rt {

struct ReportFont;

// The Liberation family that stands in for a face a layout names: "Courier New", "Fixedsys",
// "Courier" and "Lucida Console" are the mono face, "Times New Roman" and "Times" the serif face,
// everything else the sans face.
std::string reportFontFamily(std::string_view face);

// Width of a text in points at the font's size (advance widths summed; no kerning).
double textWidthPoints(const ReportFont& font, std::string_view text);
// Distance from the top of a line to its baseline, and the line height, in points.
double ascentPoints(const ReportFont& font);
double lineHeightPoints(const ReportFont& font);

// The text cut to a width in points (whole characters).
std::string fitTextWidth(const ReportFont& font, std::string_view text, double widthPts);
// The lines of a text broken at blanks (and at line ends) to a width in points; a word longer
// than the width is broken inside. An empty text is one empty line.
std::vector<std::string> wrapTextLines(const ReportFont& font, std::string_view text, double widthPts);

// True when the font file of that face and style was found and read (otherwise a fixed
// half-em width per character is used, and a trace line says so once).
bool reportFontAvailable(const ReportFont& font);

}  // namespace rt
