#include "runtime/report/page_picture.h"

#include <fmt/core.h>

#include <fstream>

#include "runtime/os/files.h"
#include "runtime/report/font_metrics.h"
#include "runtime/text/strings.h"

namespace rt {
namespace {

std::string colour(Color c, Color fallback = 0) {
    if (c == ColorNone) c = fallback;
    return fmt::format("#{:02x}{:02x}{:02x}", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// The length of the well-formed UTF-8 sequence at the start of `s` and its code point; 0 when
// the bytes there are no such sequence (a stray byte, a cut or overlong sequence, a surrogate).
std::size_t utf8Sequence(std::string_view s, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t n = b0 >= 0xC2 && b0 <= 0xDF ? 2 : b0 >= 0xE0 && b0 <= 0xEF ? 3 : b0 >= 0xF0 && b0 <= 0xF4 ? 4 : 0;
    if (n == 0 || s.size() < n) return 0;
    cp = b0 & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
    if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
    return n;
}

// Text as XML character data or an attribute value, whatever bytes it holds, so that a page
// picture always stays readable: markup characters are escaped, characters XML does not allow
// are left out, and a byte that is not part of well-formed UTF-8 is read as Windows-1252 (the
// code page of the program's files), so "Größe" from such a file still prints right.
std::string escape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    while (!s.empty()) {
        char32_t cp = 0;
        std::size_t n = utf8Sequence(s, cp);
        if (n == 0) {
            out += fromCp1252(s.substr(0, 1));
            s.remove_prefix(1);
            continue;
        }
        const std::string_view seq = s.substr(0, n);
        s.remove_prefix(n);
        switch (cp) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            // Control characters and the two non-characters at the end of the plane are not
            // allowed in XML text.
            if ((cp >= 0x20 || cp == '\t') && cp != 0xFFFE && cp != 0xFFFF) out += seq;
        }
    }
    return out;
}

std::string num(double v) { return fmt::format("{:.3f}", v); }

std::string base64(const std::string& data) {
    static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(data[i]) << 16) | (static_cast<unsigned char>(data[i + 1]) << 8) |
                     static_cast<unsigned char>(data[i + 2]);
        out += table[(v >> 18) & 63];
        out += table[(v >> 12) & 63];
        out += table[(v >> 6) & 63];
        out += table[v & 63];
    }
    if (i < data.size()) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size()) v |= static_cast<unsigned char>(data[i + 1]) << 8;
        out += table[(v >> 18) & 63];
        out += table[(v >> 12) & 63];
        out += i + 1 < data.size() ? table[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string mimeOf(const std::string& file) {
    const std::string f = lower(file);
    if (f.ends_with(".png")) return "image/png";
    if (f.ends_with(".jpg") || f.ends_with(".jpeg")) return "image/jpeg";
    if (f.ends_with(".svg")) return "image/svg+xml";
    if (f.ends_with(".gif")) return "image/gif";
    if (f.ends_with(".bmp")) return "image/bmp";
    return {};
}

}  // namespace

std::string pagePictureSvg(const PageData& page, ReportUnit unit) {
    const double ppu = pointsPerUnit(unit);
    const char* unitName = unit == ReportUnit::Millimetres ? "mm" : unit == ReportUnit::Thousandths ? "in" : "pt";
    double scale = unit == ReportUnit::Thousandths ? 0.001 : 1.0;
    std::string s;
    s.reserve(4096 + page.items.size() * 160);
    s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += fmt::format(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
        "version=\"1.1\" width=\"{}{}\" height=\"{}{}\" viewBox=\"0 0 {} {}\">\n",
        num(page.width * scale), unitName, num(page.height * scale), unitName, num(page.width), num(page.height));
    s += fmt::format("<rect x=\"0\" y=\"0\" width=\"{}\" height=\"{}\" fill=\"#ffffff\"/>\n", num(page.width),
                     num(page.height));
    const double hair = 0.5 / ppu;  // half a point
    for (const PageItem& it : page.items) {
        switch (it.kind) {
        case PageItem::Kind::Text: {
            if (it.fill != ColorNone)
                s += fmt::format("<rect x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\" fill=\"{}\"/>\n", num(it.x),
                                 num(it.y), num(it.width), num(it.height), colour(it.fill));
            double baseline = it.y + ascentPoints(it.font) / ppu;
            s += fmt::format(
                "<text x=\"{}\" y=\"{}\" font-family=\"{}\" font-size=\"{}\"{}{}{} fill=\"{}\" "
                "xml:space=\"preserve\">{}</text>\n",
                num(it.x), num(baseline), escape(reportFontFamily(it.font.face)), num(it.font.size / ppu),
                it.font.bold ? " font-weight=\"bold\"" : "", it.font.italic ? " font-style=\"italic\"" : "",
                it.font.underline ? " text-decoration=\"underline\"" : "", colour(it.font.color), escape(it.text));
            break;
        }
        case PageItem::Kind::Box:
            s += fmt::format(
                "<rect x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\" fill=\"{}\" stroke=\"{}\" stroke-width=\"{}\"/>\n",
                num(it.x), num(it.y), num(it.width), num(it.height), it.fill == ColorNone ? "none" : colour(it.fill),
                it.stroke == ColorNone && it.fill != ColorNone ? "none" : colour(it.stroke),
                num(it.lineWidth > 0 ? it.lineWidth : hair));
            break;
        case PageItem::Kind::Line:
            s += fmt::format("<line x1=\"{}\" y1=\"{}\" x2=\"{}\" y2=\"{}\" stroke=\"{}\" stroke-width=\"{}\"/>\n",
                             num(it.x), num(it.y), num(it.x + it.width), num(it.y + it.height), colour(it.stroke),
                             num(it.lineWidth > 0 ? it.lineWidth : hair));
            break;
        case PageItem::Kind::Image: {
            auto data = readFile(it.text);
            std::string mime = mimeOf(it.text);
            if (!data || mime.empty()) break;  // a missing picture leaves its place empty
            s += fmt::format(
                "<image x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\" preserveAspectRatio=\"none\" "
                "xlink:href=\"data:{};base64,{}\"/>\n",
                num(it.x), num(it.y), num(it.width), num(it.height), mime, base64(*data));
            break;
        }
        case PageItem::Kind::Check: {
            std::string stroke = colour(it.stroke);
            s += fmt::format(
                "<rect x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\" fill=\"none\" stroke=\"{}\" "
                "stroke-width=\"{}\"/>\n",
                num(it.x), num(it.y), num(it.width), num(it.height), stroke, num(hair));
            if (it.checked)
                s +=
                    fmt::format("<path d=\"M{} {} L{} {} M{} {} L{} {}\" stroke=\"{}\" stroke-width=\"{}\"/>\n",
                                num(it.x), num(it.y), num(it.x + it.width), num(it.y + it.height), num(it.x + it.width),
                                num(it.y), num(it.x), num(it.y + it.height), stroke, num(hair * 2));
            break;
        }
        }
    }
    s += "</svg>\n";
    return s;
}

bool writePagePicture(const std::string& file, const PageData& page, ReportUnit unit) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    std::string svg = pagePictureSvg(page, unit);
    out.write(svg.data(), static_cast<std::streamsize>(svg.size()));
    return static_cast<bool>(out);
}

}  // namespace rt
