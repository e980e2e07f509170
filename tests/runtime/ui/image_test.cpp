#include "ui_test_util.h"

#include "runtime/ui/image.h"
#include "tests/support/test_support.h"

#include <png.h>

#include <cstdio>
#include <fstream>

using namespace uitest;

namespace {

void writePng(const std::string& file, int width, int height) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> line(width, 200);
    for (int y = 0; y < height; ++y) png_write_row(png, line.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

void writeText(const std::string& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

TEST(ImageSizeTest, PngSizeComesFromTheFile) {
    voq::test::TempDir dir;
    writePng(dir.file("DATE.png"), 37, 21);
    auto size = rt::readImageSize(dir.file("DATE.png"));
    EXPECT_TRUE(size.ok);
    EXPECT_EQ(size.width, 37);
    EXPECT_EQ(size.height, 21);
}

TEST(ImageSizeTest, SvgSizeFromWidthHeightOrViewBox) {
    struct Case {
        const char* svg;
        bool ok;
        int width, height;
    };
    const std::vector<Case> cases = {
        {R"(<?xml version="1.0"?><svg xmlns="http://www.w3.org/2000/svg" width="794" height="1123">)", true, 794, 1123},
        {R"(<svg width="210mm" height="297mm" viewBox="0 0 210 297">)", true, 794, 1123},
        {R"(<svg width='72pt' height='36pt'>)", true, 96, 48},
        {R"(<svg viewBox="0,0,400,200">)", true, 400, 200},
        {R"(<svg width="100" viewBox="0 0 400 200">)", true, 100, 50},
        {R"(<svg stroke-width="3" width="50%" height="10">)", false, 0, 10},
        {"<html>no picture</html>", false, 0, 0},
    };
    voq::test::TempDir dir;
    for (const auto& c : cases) {
        writeText(dir.file("page.svg"), c.svg);
        auto size = rt::readImageSize(dir.file("page.svg"));
        EXPECT_EQ(size.ok, c.ok) << c.svg;
        if (c.ok) {
            EXPECT_EQ(size.width, c.width) << c.svg;
            EXPECT_EQ(size.height, c.height) << c.svg;
        }
    }
}

TEST(ImageSizeTest, MissingOrDamagedFilesGiveNoSize) {
    voq::test::TempDir dir;
    EXPECT_FALSE(rt::readImageSize(dir.file("none.png")).ok);
    writeText(dir.file("broken.png"), std::string("\x89PNG\r\n\x1a\n", 8) + "garbage");
    EXPECT_FALSE(rt::readImageSize(dir.file("broken.png")).ok);
}

TEST_F(UiTest, ImageControlKnowsItsNaturalSizeInDialogUnits) {
    voq::test::TempDir dir;
    writePng(dir.file("page.png"), 300, 130);
    enum { PICTURE = 1 };
    int t = rt::startThread([&] {
        rt::Window w("ReportPreview", " Report Preview");
        auto image = w.add(PICTURE, rt::ControlKind::Image);
        EXPECT_TRUE(image.loadImage(dir.file("page.png")));
        EXPECT_EQ(image.naturalWidth(), 200);  // 1.5 pixels per unit across
        EXPECT_EQ(image.naturalHeight(), 80);  // 1.625 down
        image.edit().virtualWidth = 400;
        while (w.accept()) {
        }
    });
    auto w = user.waitWindow("ReportPreview");
    auto shown = user.control(w, PICTURE);
    EXPECT_EQ(shown.icon, dir.file("page.png"));
    EXPECT_EQ(shown.imageWidth, 300);
    EXPECT_EQ(shown.imageHeight, 130);
    EXPECT_EQ(shown.virtualWidth, 400);
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

}  // namespace
