#include "queries/reports/result_reports.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "core/dictionary/dictionary.h"
#include "core/helpers/log_helpers.h"
#include "core/helpers/text_helpers.h"
#include "runtime/report/font_metrics.h"
#include "runtime/report/report.h"
#include "runtime/report/report_controller.h"
#include "runtime/text/date_time.h"
#include "runtime/text/strings.h"

namespace {

enum ReportControls {
    HEADER = 1,
    DETAIL,
    FOOTER,
    TITLE = 10,
    DATE,
    PAGE,
    HEADING1 = 20,  // .. HEADING1 + 14
    COLUMN1 = 40,   // .. COLUMN1 + 14
};

constexpr int kCharUnits = 5;
constexpr int kColumnGap = 2;
constexpr double kLineHeight = 12;
constexpr std::size_t kTitleChars = 80;

struct Area {
    double x, y, width, height;
};

enum class Variant { Landscape, Portrait, Switching };

struct ReportShape {
    const char* procedure;
    Area body, header;
    double detailWidth;
    Area footer, page;
};

const ReportShape& shapeOf(Variant v) {
    static const ReportShape landscape{"PrintReportQueryQ_LS", {9, 61, 720, 356}, {9, 8, 720, 40}, 720,
                                       {9, 420, 720, 27},      {500, 2, 58, 11}};
    static const ReportShape portrait{"PrintReportQueryQ", {7, 63, 521, 542}, {5, 8, 520, 42}, 520,
                                      {7, 608, 520, 27},   {319, 2, 58, 11}};
    static const ReportShape switching{"PrintReportQuery", {5, 57, 521, 622}, {5, 8, 695, 52}, 520,
                                       {7, 683, 519, 31},  {248, 4, 58, 11}};
    return v == Variant::Landscape ? landscape : v == Variant::Portrait ? portrait : switching;
}

std::mutex hookMutex;
std::function<void(rt::Report&, ReportStage)> reportHook;

void callHook(rt::Report& report, ReportStage stage) {
    std::function<void(rt::Report&, ReportStage)> hook;
    {
        std::lock_guard lock(hookMutex);
        hook = reportHook;
    }
    if (hook) hook(report, stage);
}

rt::ReportFont courier() {
    rt::ReportFont f;
    f.face = "Courier New";
    f.size = 8;
    return f;
}

// The size of the columns' font. A column is five units a character and the next one starts two
// units after it, so a column filled to its length keeps one character's gap to the next only
// when a character is narrower than five units: the largest size (at most the title's) at
// which every column of two characters or more holds its length with that gap.
double columnFontSize(const std::vector<int>& lengths) {
    rt::ReportFont one = courier();
    one.size = 1;
    const double perPoint = rt::textWidthPoints(one, "0");  // a character's width at one point
    double size = courier().size;
    for (int n : lengths)
        if (n >= 2) size = std::min(size, (n * kCharUnits + kColumnGap) / (perPoint * (n + 1)));
    return std::floor(size * 100) / 100;
}

void traceColumn(const ColumnListEntry& c) {
    DebugTrace(std::string(50, '-'));
    const rt::RecordDesc& desc = columnListDesc();
    for (std::size_t i = 0; i < desc.fieldCount(); ++i)
        DebugTrace("DS " + desc.field(i).name + ": " + std::string(rt::clip(desc.text(&c, i))));
}

void printResult(Variant variant, std::string_view title, const QueryResultQueue& rows,
                 const ColumnListQueue& columns) {
    const ReportShape& shape = shapeOf(variant);
    // The report's own copy: the caller may go on with its queue.
    QueryResultQueue copy;
    for (const QueryResultEntry& r : rows) copy.add(r);
    QueryResultEntry current;

    rt::Report report(std::string(rt::cutChars(title, kTitleChars)));
    const rt::ReportFont font = courier();
    report.setUnit(rt::ReportUnit::Points).setPaper(595, 842);
    report.setOrientation(variant == Variant::Landscape ? rt::Orientation::Landscape : rt::Orientation::Portrait);
    report.setBody(shape.body.x, shape.body.y, shape.body.width, shape.body.height);
    auto& header = report.addBand(HEADER, rt::BandKind::PageHeader)
                       .setPosition(shape.header.x, shape.header.y, shape.header.width, shape.header.height);
    header.addString(TITLE, 0, 0, 400, kLineHeight)
        .setText(std::string(rt::cutChars(title, kTitleChars)))
        .setFont(font);
    header.addString(DATE, shape.header.width - 80, 0, 80, kLineHeight)
        .setUse([] { return std::to_string(rt::today()); })
        .setPicture("@d17")
        .setJustify(rt::Justify::Right)
        .setFont(font);
    auto& detail = report.addBand(DETAIL, rt::BandKind::Detail).setSize(shape.detailWidth, kLineHeight);
    for (int c = 1; c <= kResultColumns; ++c) {
        header.addString(HEADING1 + c - 1, 0, shape.header.height - kLineHeight, 0, kLineHeight).setFont(font);
        detail.addString(COLUMN1 + c - 1, 0, 0, 0, kLineHeight)
            .setUse([&current, c] { return std::string(rt::cutChars(resultColumn(current, c).str(), 255)); })
            .setFont(font);
    }
    auto& footer = report.addBand(FOOTER, rt::BandKind::PageFooter)
                       .setPosition(shape.footer.x, shape.footer.y, shape.footer.width, shape.footer.height);
    footer.addString(PAGE, shape.page.x, shape.page.y, shape.page.width, shape.page.height)
        .setPageNumber("@pSeite <<<#p")
        .setFont(font);

    // The columns side by side, each as wide as its longer part, data or heading.
    struct Laid {
        std::string heading;
        int length;
    };
    std::vector<Laid> laidOut;
    for (const ColumnListEntry& c : columns) {
        std::string heading(rt::cutChars(c.COLUMNHEADER.str(), kTitleChars));
        int headingLength = variant == Variant::Switching ? static_cast<int>(ClippedLength(heading))
                                                          : static_cast<int>(rt::charLength(rt::trimBlanks(heading)));
        laidOut.push_back({std::move(heading), std::max<int>(c.MAXIMUMLENGTHDATA, headingLength)});
    }
    std::vector<int> lengths;
    for (std::size_t i = 0; i < laidOut.size() && i < kResultColumns; ++i) lengths.push_back(laidOut[i].length);
    rt::ReportFont columnFont = font;
    columnFont.size = columnFontSize(lengths);
    const double charWidth = rt::textWidthPoints(columnFont, "0");
    int x = 0;
    int laid = 0;
    for (const ColumnListEntry& c : columns) {
        if (variant == Variant::Landscape) traceColumn(c);
        ++laid;
        const Laid& l = laidOut[static_cast<std::size_t>(laid - 1)];
        int width = l.length * kCharUnits;
        if (laid <= kResultColumns) {
            rt::ReportControl& head = report.control(HEADING1 + laid - 1);
            rt::ReportControl& cell = report.control(COLUMN1 + laid - 1);
            // A text longer than its column is cut there, one character before the next column
            // starts (a column of one character keeps that character).
            const double room = std::max<double>(width + kColumnGap - charWidth, std::min<double>(width, charWidth));
            head.setX(x).setWidth(room).setText(l.heading).setFont(columnFont);
            cell.setX(x).setWidth(room).setFont(columnFont);
            const std::string_view j = rt::clip(c.JUSTIFICATION);
            if (j == "Left")
                cell.setJustify(rt::Justify::Left);
            else if (j == "Center")
                cell.setJustify(rt::Justify::Center);
            else if (j == "Right")
                cell.setJustify(rt::Justify::Right);
            else if (j == "Decimal")
                cell.setJustify(rt::Justify::Decimal);
        }
        x += width + kColumnGap;
    }
    for (int c = laid + 1; c <= kResultColumns; ++c) {
        report.control(HEADING1 + c - 1).hide();
        report.control(COLUMN1 + c - 1).hide();
    }
    if (variant == Variant::Switching && x > 420) {
        report.setOrientation(rt::Orientation::Landscape);
        report.band(HEADER).setWidth(700);
        report.band(DETAIL).setWidth(700);
        report.band(FOOTER).y = 425;
        report.setBody(shape.body.x, shape.body.y, 700, 500 - shape.body.y - 80);
    }

    const bool tableOpened = Relate.QueryFile && Relate.QueryFile->open() == 0;
    std::size_t next = 0;
    rt::RecordProcessor records(
        [&] {
            if (next >= copy.records()) return rt::RecordStep::End;
            ++next;
            return copy.fetch(next, current) == 0 ? rt::RecordStep::Record : rt::RecordStep::Failed;
        },
        static_cast<std::int64_t>(copy.records()));
    rt::ProgressWindowOptions options;
    options.procedure = shape.procedure;
    options.title = "Report QueryFile";
    options.cancelIcon = "WACANCEL.ICO";
    options.cancelTip = "Cancel Report";
    rt::ReportController controller(report, options);
    controller.setDetail(DETAIL);
    callHook(report, ReportStage::Laid);
    controller.run(records);
    callHook(report, ReportStage::Done);
    if (tableOpened) Relate.QueryFile->close();
}

}  // namespace

void PrintReportQueryQ_LS(std::string_view title, const QueryResultQueue& rows, const ColumnListQueue& columns) {
    printResult(Variant::Landscape, title, rows, columns);
}

void PrintReportQueryQ(std::string_view title, const QueryResultQueue& rows, const ColumnListQueue& columns) {
    printResult(Variant::Portrait, title, rows, columns);
}

void PrintReportQuery(std::string_view title, const QueryResultQueue& rows, const ColumnListQueue& columns) {
    printResult(Variant::Switching, title, rows, columns);
}

void SetResultReportHook(std::function<void(rt::Report&, ReportStage)> hook) {
    std::lock_guard lock(hookMutex);
    reportHook = std::move(hook);
}
