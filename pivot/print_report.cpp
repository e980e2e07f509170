#include "pivot/print_report.h"

#include <algorithm>

#include "runtime/report/print_previewer.h"

namespace pivot {

namespace {

enum Ids {
    HEADER = 1,
    DETAIL = 2,
    FOOTER = 3,
    CAPTION = 10,
    FOOT = 11,
    HEADINGS = 1000,
    ROWHEAD = 5000,
    VALUES = 6000
};

constexpr double kMargin = 28;
constexpr double kLine = 12;
constexpr double kPoints = 0.75;  // pixels of the grid to points

rt::Color bgr(uint32_t ole) {
    uint32_t rgb = resolveOleColor(ole);
    return rt::rgb(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
}

}  // namespace

std::string footerText(const std::string& caption, int page, int pages) {
    // "&PP" first, so that its "&P" is not taken for the page number.
    std::string out;
    for (size_t i = 0; i < caption.size();) {
        if (caption.compare(i, 3, "&PP") == 0) {
            out += std::to_string(pages);
            i += 3;
        } else if (caption.compare(i, 2, "&P") == 0) {
            out += std::to_string(page);
            i += 2;
        } else {
            out += caption[i++];
        }
    }
    return out;
}

void buildPrintReport(const PivotTable& t, const Look& look, const std::function<int(int)>& colWidth,
                      rt::Report& report) {
    report.setUnit(rt::ReportUnit::Points).setPaper(595, 842);
    report.setOrientation(look.printerOrientation == 2 ? rt::Orientation::Landscape : rt::Orientation::Portrait);
    const double pw = report.pageWidth(), ph = report.pageHeight();
    const int levels = std::max(1, t.columnLevels());
    const int depth = std::max<int>(1, int(t.rows().fields.size()));
    const double headTop = kMargin + (look.headerCaption.empty() ? 0 : 20);
    const double bodyTop = headTop + levels * kLine + 4;
    const double bodyH = ph - bodyTop - kMargin - 20;
    report.setBody(kMargin, bodyTop, pw - 2 * kMargin, bodyH);

    // Columns across: as many as fit beside the row headings, page after page.
    const double rowHeadW = std::min(depth * colWidth(0) * kPoints, (pw - 2 * kMargin) / 2);
    const double subW = rowHeadW / depth;
    const double room = pw - 2 * kMargin - rowHeadW;
    std::vector<std::pair<size_t, size_t>> chunks;
    for (size_t c = 0; c < t.columnCount();) {
        size_t end = c;
        double w = 0;
        while (end < t.columnCount() && (end == c || w + colWidth(int(end) + 1) * kPoints <= room))
            w += colWidth(int(end++) + 1) * kPoints;
        chunks.push_back({c, end});
        c = end;
    }
    if (chunks.empty()) chunks.push_back({0, 0});
    size_t widest = 0;
    for (auto& ch : chunks) widest = std::max(widest, ch.second - ch.first);

    auto pages = std::make_shared<int>(0);  // known after a first run

    struct State {
        size_t first = 0, line = 0;
    };
    auto st = std::make_shared<State>();
    const bool colours = look.includeColors;
    rt::ReportFont font;
    font.face = look.font.name;
    font.size = 8;

    auto& head = report.addBand(HEADER, rt::BandKind::PageHeader)
                     .setPosition(kMargin, kMargin, pw - 2 * kMargin, bodyTop - kMargin);
    if (!look.headerCaption.empty()) {
        rt::ReportFont big = font;
        big.size = 12;
        big.bold = true;
        head.addString(CAPTION, 0, 0, pw - 2 * kMargin, 16).setText(look.headerCaption).setFont(big);
    }
    for (int level = 0; level < levels; ++level) {
        for (size_t k = 0; k < widest; ++k) {
            auto& c = head.addString(HEADINGS + level * 1000 + int(k), 0, headTop - kMargin + level * kLine, 10, kLine);
            c.setFont(font).setBold().setJustify(rt::Justify::Right, 2);
            if (colours) c.setBackground(bgr(look.headingsBack)).setFontColor(bgr(look.headingsFore));
            c.setUse([&t, st, level, k] {
                size_t col = st->first + k;
                return col < t.columnCount() ? t.columnHeading(col, level) : std::string();
            });
        }
    }
    auto& detail = report.addBand(DETAIL, rt::BandKind::Detail).setSize(pw - 2 * kMargin, kLine);
    for (int level = 0; level < depth; ++level)
        detail.addString(ROWHEAD + level, level * subW, 0, subW, kLine).setFont(font).setUse([&t, st, level] {
            return level < int(t.rows().fields.size()) || level == 0
                       ? (headingShown(t, st->line, level) ? t.rowHeading(st->line, level) : std::string())
                       : std::string();
        });
    for (size_t k = 0; k < widest; ++k)
        detail.addString(VALUES + int(k), 0, 0, 10, kLine)
            .setFont(font)
            .setJustify(rt::Justify::Right, 2)
            .setUse([&t, st, k] { return t.text(st->line, st->first + k); });
    auto& foot =
        report.addBand(FOOTER, rt::BandKind::PageFooter).setPosition(kMargin, ph - kMargin - 14, pw - 2 * kMargin, 14);
    std::string caption = look.footerCaption;
    foot.addString(FOOT, 0, 0, pw - 2 * kMargin, 12)
        .setFont(font)
        .setJustify(rt::Justify::Center)
        .setUse([&report, caption, pages] { return footerText(caption, report.currentPageNumber(), *pages); });

    auto run = [&] {
        report.open();
        for (auto [first, end] : chunks) {
            st->first = first;
            // The columns of this run of pages: their places and widths.
            double x = rowHeadW;
            for (size_t k = 0; k < widest; ++k) {
                bool used = first + k < end;
                double w = used ? colWidth(int(first + k) + 1) * kPoints : 0;
                for (int level = 0; level < levels; ++level)
                    head.find(HEADINGS + level * 1000 + int(k))
                        ->setPosition(x, headTop - kMargin + level * kLine, w, kLine)
                        .setHidden(!used);
                detail.find(VALUES + int(k))->setPosition(x, 0, w, kLine).setHidden(!used);
                x += w;
            }
            for (size_t line = 0; line < t.lineCount(); ++line) {
                st->line = line;
                bool totalLine = t.isTotalLine(line);
                for (size_t k = 0; k < widest; ++k) {
                    auto* c = detail.find(VALUES + int(k));
                    bool total = totalLine || (first + k < end && t.isTotalColumn(first + k));
                    c->setBold(total);
                    c->setBackground(colours && total ? bgr(look.totalsBack) : rt::ColorNone);
                    c->setFontColor(colours && total ? bgr(look.totalsFore) : 0);
                }
                for (int level = 0; level < depth; ++level) {
                    auto* c = detail.find(ROWHEAD + level);
                    c->setBold(totalLine);
                    c->setBackground(colours ? bgr(totalLine ? look.totalsBack : look.headingsBack) : rt::ColorNone);
                }
                report.print(DETAIL);
            }
            report.endPage();
        }
        report.endReport();
    };
    run();
    *pages = report.pageCount();
    run();
}

void printPreview(PivotControl& control) {
    auto table = control.table();
    Look look = control.look();
    rt::Report report(look.headerCaption.empty() ? "Pivot" : look.headerCaption);
    buildPrintReport(
        *table, look, [&](int c) { return control.colWidth(c); }, report);
    rt::PrintPreviewer(report).display();
}

}  // namespace pivot
