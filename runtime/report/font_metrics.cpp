#include "runtime/report/font_metrics.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "runtime/os/files.h"
#include "runtime/os/path.h"
#include "runtime/os/trace.h"
#include "runtime/report/layout.h"
#include "runtime/text/strings.h"

namespace rt {
namespace {

const char* kFontFolder = "/usr/share/fonts/truetype/liberation/";

// Advance widths of one TrueType face: the 'cmap' (formats 4 and 12) maps code points to
// glyphs, 'hmtx' gives each glyph's advance in font units.
struct Face {
    bool ok = false;
    double unitsPerEm = 2048;
    double ascender = 1854, descender = -434, lineGap = 67;
    std::vector<std::uint16_t> advances;
    std::map<std::uint32_t, std::uint16_t> glyphs;  // code point -> glyph

    double advance(std::uint32_t cp) const {
        auto it = glyphs.find(cp);
        std::uint16_t g = it == glyphs.end() ? 0 : it->second;
        if (advances.empty()) return unitsPerEm / 2;
        return advances[g < advances.size() ? g : advances.size() - 1];
    }
};

std::uint16_t u16(const std::string& d, std::size_t p) {
    if (p + 2 > d.size()) return 0;
    return static_cast<std::uint16_t>((static_cast<unsigned char>(d[p]) << 8) | static_cast<unsigned char>(d[p + 1]));
}
std::uint32_t u32(const std::string& d, std::size_t p) {
    return (static_cast<std::uint32_t>(u16(d, p)) << 16) | u16(d, p + 2);
}
std::int16_t s16(const std::string& d, std::size_t p) { return static_cast<std::int16_t>(u16(d, p)); }

Face loadFace(const std::string& file) {
    Face face;
    std::optional<std::string> content = readFile(file);
    if (!content || content->size() < 12) return face;
    const std::string& d = *content;
    std::map<std::string, std::size_t> tables;
    int n = u16(d, 4);
    for (int i = 0; i < n; ++i) {
        std::size_t rec = 12 + static_cast<std::size_t>(i) * 16;
        if (rec + 16 > d.size()) return face;
        tables[d.substr(rec, 4)] = u32(d, rec + 8);
    }
    if (!tables.count("head") || !tables.count("hhea") || !tables.count("hmtx") || !tables.count("cmap")) return face;
    face.unitsPerEm = u16(d, tables["head"] + 18);
    if (face.unitsPerEm <= 0) face.unitsPerEm = 2048;
    std::size_t hhea = tables["hhea"];
    face.ascender = s16(d, hhea + 4);
    face.descender = s16(d, hhea + 6);
    face.lineGap = s16(d, hhea + 8);
    int metrics = u16(d, hhea + 34);
    std::size_t hmtx = tables["hmtx"];
    for (int g = 0; g < metrics; ++g) face.advances.push_back(u16(d, hmtx + static_cast<std::size_t>(g) * 4));

    std::size_t cmap = tables["cmap"];
    int subtables = u16(d, cmap + 2);
    std::size_t fmt4 = 0, fmt12 = 0;
    for (int i = 0; i < subtables; ++i) {
        std::size_t rec = cmap + 4 + static_cast<std::size_t>(i) * 8;
        int platform = u16(d, rec), encoding = u16(d, rec + 2);
        std::size_t off = cmap + u32(d, rec + 4);
        int format = u16(d, off);
        if (platform == 3 && encoding == 10 && format == 12) fmt12 = off;
        if (platform == 3 && encoding == 1 && format == 4) fmt4 = off;
    }
    if (fmt12) {
        std::uint32_t groups = u32(d, fmt12 + 12);
        for (std::uint32_t i = 0; i < groups; ++i) {
            std::size_t g = fmt12 + 16 + static_cast<std::size_t>(i) * 12;
            std::uint32_t start = u32(d, g), end = u32(d, g + 4), glyph = u32(d, g + 8);
            for (std::uint32_t c = start; c <= end && c < 0x30000; ++c)
                face.glyphs[c] = static_cast<std::uint16_t>(glyph + (c - start));
        }
    } else if (fmt4) {
        int segs = u16(d, fmt4 + 6) / 2;
        std::size_t ends = fmt4 + 14, starts = ends + 2 + static_cast<std::size_t>(segs) * 2;
        std::size_t deltas = starts + static_cast<std::size_t>(segs) * 2,
                    ranges = deltas + static_cast<std::size_t>(segs) * 2;
        for (int s = 0; s < segs; ++s) {
            std::uint32_t end = u16(d, ends + s * 2), start = u16(d, starts + s * 2);
            std::uint16_t delta = u16(d, deltas + s * 2), range = u16(d, ranges + s * 2);
            for (std::uint32_t c = start; c <= end && c != 0xFFFF; ++c) {
                std::uint16_t glyph;
                if (range == 0) {
                    glyph = static_cast<std::uint16_t>(c + delta);
                } else {
                    std::size_t at = ranges + s * 2 + range + (c - start) * 2;
                    glyph = u16(d, at);
                    if (glyph) glyph = static_cast<std::uint16_t>(glyph + delta);
                }
                if (glyph) face.glyphs[c] = glyph;
            }
        }
    }
    face.ok = !face.advances.empty();
    return face;
}

std::string styleName(bool bold, bool italic) {
    if (bold && italic) return "BoldItalic";
    if (bold) return "Bold";
    if (italic) return "Italic";
    return "Regular";
}

const Face& faceFor(const ReportFont& font) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<Face>> cache;
    std::string family = reportFontFamily(font.face);
    std::string key = family + "-" + styleName(font.bold, font.italic);
    std::lock_guard lock(mutex);
    auto& slot = cache[key];
    if (!slot) {
        std::string file = family;
        file.erase(std::remove(file.begin(), file.end(), ' '), file.end());
        slot = std::make_unique<Face>(loadFace(kFontFolder + file + "-" + styleName(font.bold, font.italic) + ".ttf"));
        if (!slot->ok) trace("report: font file for " + key + " not found, widths are estimated");
    }
    return *slot;
}

// Next code point of UTF-8 text (invalid bytes count as themselves).
std::uint32_t nextCodePoint(std::string_view s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    std::uint32_t cp = c & (0x3F >> extra);
    for (int k = 0; k < extra && i < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return cp;
}

}  // namespace

std::string reportFontFamily(std::string_view face) {
    std::string f = foldNameCase(face);
    if (f.find("COURIER") != std::string::npos || f == "FIXEDSYS" || f == "LUCIDA CONSOLE" ||
        f.find("MONO") != std::string::npos)
        return "Liberation Mono";
    if (f.find("TIMES") != std::string::npos ||
        (f.find("SERIF") != std::string::npos && f.find("SANS") == std::string::npos))
        return "Liberation Serif";
    return "Liberation Sans";
}

double textWidthPoints(const ReportFont& font, std::string_view text) {
    const Face& face = faceFor(font);
    double units = 0;
    for (std::size_t i = 0; i < text.size();) units += face.advance(nextCodePoint(text, i));
    return units * font.size / face.unitsPerEm;
}

double ascentPoints(const ReportFont& font) {
    const Face& face = faceFor(font);
    return face.ascender * font.size / face.unitsPerEm;
}

double lineHeightPoints(const ReportFont& font) {
    const Face& face = faceFor(font);
    return (face.ascender - face.descender + face.lineGap) * font.size / face.unitsPerEm;
}

bool reportFontAvailable(const ReportFont& font) { return faceFor(font).ok; }

// A text cut to a width (whole characters).
std::string fitTextWidth(const ReportFont& font, std::string_view text, double widthPts) {
    if (textWidthPoints(font, text) <= widthPts + 1e-6) return std::string(text);
    std::size_t n = charLength(text);
    while (n > 0 && textWidthPoints(font, cutChars(text, n)) > widthPts + 1e-6) --n;
    return std::string(cutChars(text, n));
}

// Lines of a text broken at blanks to a width; a word longer than the width is broken inside.
std::vector<std::string> wrapTextLines(const ReportFont& font, std::string_view text, double widthPts) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        std::size_t nl = text.find('\n', start);
        std::string_view para = text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        if (!para.empty() && para.back() == '\r') para.remove_suffix(1);
        std::string line;
        std::size_t i = 0;
        bool any = false;
        while (i <= para.size()) {
            std::size_t sp = para.find(' ', i);
            std::string_view word = para.substr(i, sp == std::string_view::npos ? std::string_view::npos : sp - i);
            std::string candidate = line.empty() && !any ? std::string(word) : line + " " + std::string(word);
            if (textWidthPoints(font, candidate) <= widthPts + 1e-6) {
                line = std::move(candidate);
                any = true;
            } else {
                if (any) lines.push_back(std::move(line));
                line.clear();
                // A word wider than the line is broken by characters.
                std::string rest(word);
                while (!rest.empty() && textWidthPoints(font, rest) > widthPts + 1e-6) {
                    std::string part = fitTextWidth(font, rest, widthPts);
                    if (part.empty()) part = std::string(cutChars(rest, 1));
                    lines.push_back(part);
                    rest.erase(0, part.size());
                }
                line = rest;
                any = true;
            }
            if (sp == std::string_view::npos) break;
            i = sp + 1;
        }
        lines.push_back(std::move(line));
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
    return lines;
}

}  // namespace rt
