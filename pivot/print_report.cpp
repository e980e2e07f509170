#include "pivot/print_report.h"

#include <algorithm>

#include "runtime/report/font_metrics.h"
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
constexpr double kPad = 6;         // a column's room beside its widest text (2 of it at the right)
constexpr double kMinColumn = 20;  // an empty column still shows as one

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
        } else if (caption[i] == ' ' && !out.empty() && out.back() == ' ') {
            ++i;  // "of  &PP": one blank between the words on paper
        } else {
            out += caption[i++];
        }
    }
    return out;
}

void buildPrintReport(const PivotTable& t, const Look& look, rt::Report& report) {
    report.setUnit(rt::ReportUnit::Points).setPaper(595, 842);
    report.setOrientation(look.printerOrientation == 2 ? rt::Orientation::Landscape : rt::Orientation::Portrait);
    const double pw = report.pageWidth(), ph = report.pageHeight();
    const int levels = std::max(1, t.columnLevels());
    const int depth = std::max<int>(1, int(t.rows().fields.size()));
    const double headTop = kMargin + (look.headerCaption.empty() ? 0 : 20);
    const double bodyTop = headTop + levels * kLine + 4;
    const double bodyH = ph - bodyTop - kMargin - 20;
    report.setBody(kMargin, bodyTop, pw - 2 * kMargin, bodyH);
    rt::ReportFont font;
    font.face = look.font.name;
    font.size = 8;

    // Widths on paper from what the columns print: the widest of their headings and values
    // (measured bold, as headings and totals print), so no heading or value is cut.
    rt::ReportFont bold = font;
    bold.bold = true;
    auto measure = [&](const std::string& text) { return rt::textWidthPoints(bold, text); };
    std::vector<double> widths(t.columnCount(), 0);
    for (size_t col = 0; col < t.columnCount(); ++col) {
        double w = kMinColumn;
        for (int level = 0; level < levels; ++level) w = std::max(w, measure(t.columnHeading(col, level)) + kPad);
        for (size_t line = 0; line < t.lineCount(); ++line) w = std::max(w, measure(t.text(line, col)) + kPad);
        widths[col] = w;
    }
    std::vector<double> subWidths(size_t(depth), kMinColumn);
    for (size_t line = 0; line < t.lineCount(); ++line)
        for (int level = 0; level < depth; ++level)
            subWidths[size_t(level)] = std::max(subWidths[size_t(level)], measure(t.rowHeading(line, level)) + kPad);
    double rowHeadW = 0;
    for (double w : subWidths) rowHeadW += w;
    // The row headings take at most half the width; beyond that each level gets its share.
    const double rowHeadMax = (pw - 2 * kMargin) / 2;
    if (rowHeadW > rowHeadMax) {
        for (double& w : subWidths) w *= rowHeadMax / rowHeadW;
        rowHeadW = rowHeadMax;
    }
    auto colWidth = [&](size_t col) { return col < widths.size() ? widths[col] : kMinColumn; };

    // Columns across: as many as fit beside the row headings, page after page.
    const double room = pw - 2 * kMargin - rowHeadW;
    std::vector<std::pair<size_t, size_t>> chunks;
    for (size_t c = 0; c < t.columnCount();) {
        size_t end = c;
        double w = 0;
        while (end < t.columnCount() && (end == c || w + colWidth(end) <= room)) w += colWidth(end++);
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
    double subX = 0;
    for (int level = 0; level < depth; ++level) {
        const double subW = subWidths[size_t(level)];
        detail.addString(ROWHEAD + level, subX, 0, subW, kLine).setFont(font).setUse([&t, st, level] {
            return level < int(t.rows().fields.size()) || level == 0
                       ? (headingShown(t, st->line, level) ? t.rowHeading(st->line, level) : std::string())
                       : std::string();
        });
        subX += subW;
    }
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
                double w = used ? colWidth(first + k) : 0;
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
    buildPrintReport(*table, look, report);
    rt::PrintPreviewer(report).display();
}

}  // namespace pivot
