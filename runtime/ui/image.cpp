#include "runtime/ui/image.h"

#include <png.h>

#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

namespace rt {
namespace {

// A damaged picture is no error worth a line on the console: it just has no size.
void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quietWarning(png_structp, png_const_charp) {}

ImageSize pngSize(std::FILE* f) {
    ImageSize out;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (!png) return out;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return out;
    }
    if (setjmp(png_jmpbuf(png))) {  // a damaged file lands here
        png_destroy_read_struct(&png, &info, nullptr);
        return ImageSize{};
    }
    png_init_io(png, f);
    png_read_info(png, info);
    out.width = static_cast<int>(png_get_image_width(png, info));
    out.height = static_cast<int>(png_get_image_height(png, info));
    out.ok = out.width > 0 && out.height > 0;
    png_destroy_read_struct(&png, &info, nullptr);
    return out;
}

// Length with its unit, in pixels at 96 per inch; 0 when it cannot be read or is a percentage.
double svgLength(std::string_view v) {
    std::string s(v);
    char* end = nullptr;
    double n = std::strtod(s.c_str(), &end);
    if (end == s.c_str()) return 0;
    std::string unit(end);
    while (!unit.empty() && std::isspace(static_cast<unsigned char>(unit.back()))) unit.pop_back();
    if (unit.empty() || unit == "px") return n;
    if (unit == "pt") return n * 96.0 / 72.0;
    if (unit == "pc") return n * 16.0;
    if (unit == "mm") return n * 96.0 / 25.4;
    if (unit == "cm") return n * 96.0 / 2.54;
    if (unit == "in") return n * 96.0;
    return 0;
}

bool attribute(std::string_view tag, std::string_view name, std::string& out) {
    std::size_t pos = 0;
    while ((pos = tag.find(name, pos)) != std::string_view::npos) {
        bool startOk = pos > 0 && std::isspace(static_cast<unsigned char>(tag[pos - 1]));
        std::size_t p = pos + name.size();
        while (p < tag.size() && std::isspace(static_cast<unsigned char>(tag[p]))) ++p;
        if (startOk && p < tag.size() && tag[p] == '=') {
            ++p;
            while (p < tag.size() && std::isspace(static_cast<unsigned char>(tag[p]))) ++p;
            if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
                char q = tag[p];
                std::size_t e = tag.find(q, p + 1);
                if (e == std::string_view::npos) return false;
                out = std::string(tag.substr(p + 1, e - p - 1));
                return true;
            }
        }
        pos += name.size();
    }
    return false;
}

ImageSize svgSize(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string head(64 * 1024, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    std::size_t start = head.find("<svg");
    if (start == std::string::npos) return {};
    std::size_t end = head.find('>', start);
    if (end == std::string::npos) return {};
    std::string_view tag(head.data() + start, end - start);
    ImageSize out;
    std::string w, h, box;
    double width = attribute(tag, "width", w) ? svgLength(w) : 0;
    double height = attribute(tag, "height", h) ? svgLength(h) : 0;
    if ((width <= 0 || height <= 0) && attribute(tag, "viewBox", box)) {
        for (char& c : box)
            if (c == ',') c = ' ';
        std::istringstream vb(box);
        double x = 0, y = 0, bw = 0, bh = 0;
        if (vb >> x >> y >> bw >> bh) {
            if (width <= 0 && height > 0 && bh > 0)
                width = height * bw / bh;
            else if (height <= 0 && width > 0 && bw > 0)
                height = width * bh / bw;
            else if (width <= 0 && height <= 0) {
                width = bw;
                height = bh;
            }
        }
    }
    out.width = static_cast<int>(width + 0.5);
    out.height = static_cast<int>(height + 0.5);
    out.ok = out.width > 0 && out.height > 0;
    return out;
}

}  // namespace

ImageSize readImageSize(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return {};
    unsigned char sig[8] = {};
    std::size_t n = std::fread(sig, 1, sizeof sig, f);
    if (n == sizeof sig && png_sig_cmp(sig, 0, sizeof sig) == 0) {
        std::rewind(f);
        ImageSize s = pngSize(f);
        std::fclose(f);
        return s;
    }
    std::fclose(f);
    return svgSize(file);
}

}  // namespace rt
