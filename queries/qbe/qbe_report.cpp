#include "queries/qbe/qbe_report.h"

#include <algorithm>
#include <mutex>

#include "core/print/print_setup.h"
#include "queries/qbe/qbe_options.h"
#include "runtime/report/layout.h"
#include "runtime/text/date_time.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"

using namespace qbereport;

namespace {

std::mutex hookMutex;
std::function<void(rt::Report&, QBEReportStage)> reportHook;

void callHook(rt::Report& report, QBEReportStage stage) {
    std::function<void(rt::Report&, QBEReportStage)> hook;
    {
        std::lock_guard lock(hookMutex);
        hook = reportHook;
    }
    if (hook) hook(report, stage);
}

rt::Justify justifyOf(const std::string& j, double& offset) {
    offset = 0;
    if (j == "R") {
        offset = 2;
        return rt::Justify::Right;
    }
    if (j == "C") return rt::Justify::Center;
    if (j == "D") {
        offset = 2;
        return rt::Justify::Decimal;
    }
    return rt::Justify::Left;
}

rt::TotalKind totalOf(int code) {
    switch (code) {
    case qbecode::Sum: return rt::TotalKind::Sum;
    case qbecode::Count: return rt::TotalKind::Count;
    case qbecode::Average: return rt::TotalKind::Average;
    case qbecode::Minimum: return rt::TotalKind::Minimum;
    case qbecode::Maximum: return rt::TotalKind::Maximum;
    default: return rt::TotalKind::None;
    }
}

// A calculation starts again at each break when, in a row where its column calculates, some
// placed column breaks.
bool resetsAtBreak(const std::vector<QBEColumn>& columns, const std::vector<std::size_t>& placed, std::size_t column,
                   int rows) {
    for (int r = 1; r <= rows && r < kQBESlots; ++r) {
        const int c = columns[column].FILTERTYPE[static_cast<std::size_t>(r - 1)];
        if (c < qbecode::Sum || c > qbecode::Maximum) continue;
        for (std::size_t p : placed)
            if (columns[p].FILTERTYPE[static_cast<std::size_t>(r - 1)] == qbecode::Break) return true;
    }
    return false;
}

}  // namespace

int QBEColumnWidth(double detailWidth, int displayed, long minimum, long maximum) {
    if (displayed <= 0) return static_cast<int>(maximum);
    long width = static_cast<long>(detailWidth / displayed);
    width = std::min(width, maximum);
    width = std::max(width, minimum);
    return static_cast<int>(width);
}

int QBEColumnsThatFit(double width, int columnWidth) {
    return columnWidth > 0 ? static_cast<int>(width / columnWidth) : 0;
}

void SetQBEReportHook(std::function<void(rt::Report&, QBEReportStage)> hook) {
    std::lock_guard lock(hookMutex);
    reportHook = std::move(hook);
}

void QBEReport(const std::vector<std::string>& sources, std::vector<QBEColumn> columns, const std::string& filter,
               const std::string& order, int rows, int sourceNumber) {
    QBESourceRun run(sources, sourceNumber);
    if (!run.open(filter, order)) return;
    const std::string& source = run.source();
    const QBEOptionValues o = CurrentQBEOptions();

    // The value slots of the columns from the second on (fields 1 to 50).
    std::vector<std::string> slots(columns.size());
    const double W = static_cast<double>(o.reportWidth), H = static_cast<double>(o.reportHeight);
    const double L = static_cast<double>(o.reportLeft), R = static_cast<double>(o.reportRight);
    const double T = static_cast<double>(o.reportTop), B = static_cast<double>(o.reportBottom);
    const double inner = W - L - R;

    rt::Report report(kProgressTitle);
    report.setUnit(rt::ReportUnit::Millimetres).setPaper(std::min(W, H), std::max(W, H));
    report.setOrientation(W > H ? rt::Orientation::Landscape : rt::Orientation::Portrait);
    rt::ReportFont arial;
    arial.face = "Arial";
    arial.size = 8;

    std::vector<std::size_t> displayed;
    for (std::size_t i = 1; i < columns.size() && i <= 50; ++i)
        if (columns[i].summary() >= qbecode::On && columns[i].summary() <= qbecode::Maximum) displayed.push_back(i);
    const int width = QBEColumnWidth(inner, static_cast<int>(displayed.size()), o.reportMinColumn, o.reportMaxColumn);
    std::vector<std::size_t> placed = displayed;
    placed.resize(std::min<std::size_t>(placed.size(), static_cast<std::size_t>(QBEColumnsThatFit(inner, width))));

    report.addBand(Form, rt::BandKind::Form).setPosition(0, 0, W, H);
    auto& header = report.addBand(Header, rt::BandKind::PageHeader).setPosition(L, T, inner, H - T - B);
    header.addString(Title, 0, 0, inner, 8)
        .setText(o.reportText[0] + " " + source)
        .setFont(arial)
        .setFontSize(14)
        .setBold()
        .setFontColor(static_cast<rt::Color>(o.reportColor[1]));
    const std::string stamp = o.reportText[1] + "  " + rt::formatPicture(rt::today(), "@d17") + "  " +
                              rt::formatPicture(rt::clockTime(), "@t8");
    header.addString(Time, 0, 9, inner, 5)
        .setText(stamp)
        .setFont(arial)
        .setFontColor(static_cast<rt::Color>(o.reportColor[8]));

    // The headings; the tallest moves the detail area down.
    int lines = 1;
    double x = 0;
    for (std::size_t k = 0; k < placed.size(); ++k) {
        const QBEColumn& c = columns[placed[k]];
        double off = 0;
        const rt::Justify j = justifyOf(c.JUSTIFY, off);
        const int id = Heading + static_cast<int>(k);
        header.addText(id, x, 14, width - 2, 40)
            .setText(c.HEADER)
            .setFont(arial)
            .setFontSize(11)
            .setBold()
            .setItalic()
            .setFontColor(static_cast<rt::Color>(o.reportColor[2]))
            .setJustify(j, off);
        lines = std::max(lines, std::min(9, report.lineCount(id)));
        x += width;
    }
    const double top = static_cast<int>(lines * 5.4 + T + 14) + 3;
    report.setBody(L, top, inner, (H - B - 10) - top - 3);
    header.addLine(HeaderLine, 0, top - 2 - T, inner, 0).setBorder(static_cast<rt::Color>(o.reportColor[7]), 1);

    auto& detail = report.addBand(Detail, rt::BandKind::Detail).setSize(inner, o.reportFontSize * 0.5 + 1);
    auto& groupHeader = report.addBand(GroupHeader, rt::BandKind::GroupHeader).setSize(inner, 7);
    auto& groupFooter = report.addBand(GroupFooter, rt::BandKind::GroupFooter).setSize(inner, 14);
    groupFooter.setPageBreakAfter(o.reportBreak != 0);
    std::size_t breaking = 0;
    bool anyCalculation = false, anyLabel = false;
    double bx = 0;
    x = 0;
    for (std::size_t k = 0; k < placed.size(); ++k) {
        const std::size_t i = placed[k];
        const QBEColumn& c = columns[i];
        double off = 0;
        const rt::Justify j = justifyOf(c.JUSTIFY, off);
        auto value = [&slots, i] { return slots[i]; };
        auto& cell = detail.addString(Value + static_cast<int>(k), x, 0, width - 2, o.reportFontSize * 0.5)
                         .setUse(value)
                         .setFont(arial)
                         .setFontSize(static_cast<double>(o.reportFontSize))
                         .setFontColor(static_cast<rt::Color>(o.reportColor[0]))
                         .setJustify(j, off);
        if (!c.PICTURE.empty()) cell.setPicture(c.PICTURE);
        if (c.FILTERBREAK == 1) {
            groupHeader.addString(BreakTitle + static_cast<int>(k), bx, 1, width, 5)
                .setText(c.HEADER + ":")
                .setFont(arial)
                .setFontSize(11)
                .setBold()
                .setFontColor(static_cast<rt::Color>(o.reportColor[3]));
            bx += width;
            groupHeader.addString(BreakValue + static_cast<int>(k), bx, 1, width, 5)
                .setUse(value)
                .setFont(arial)
                .setFontSize(11)
                .setBold()
                .setFontColor(static_cast<rt::Color>(o.reportColor[4]));
            bx += width;
        }
        const int code = c.summary();
        if (code >= qbecode::Sum && code <= qbecode::Maximum) {
            anyCalculation = true;
            const std::string label(rt::clip(o.reportText[static_cast<std::size_t>(code - qbecode::Sum + 3)]));
            if (!label.empty()) {
                anyLabel = true;
                groupFooter.addString(CalcTitle + static_cast<int>(k), x, 2, width - 2, 4)
                    .setText(label)
                    .setFont(arial)
                    .setFontColor(static_cast<rt::Color>(o.reportColor[5]))
                    .setJustify(j, off);
            }
            groupFooter.addString(CalcValue + static_cast<int>(k), x, 7, width - 2, 5)
                .setUse(value)
                .setFont(arial)
                .setBold()
                .setFontColor(static_cast<rt::Color>(o.reportColor[6]))
                .setJustify(j, off)
                .setTotal(totalOf(code), rt::TotalReset::Report);
        }
        x += width;
    }
    // The one break level follows the last breaking column (in grid order).
    for (std::size_t i = 1; i < columns.size(); ++i)
        if (columns[i].FILTERBREAK == 1) breaking = i;
    if (breaking != 0) {
        report.addBreak(
            1, [&slots, breaking] { return slots[breaking]; }, GroupHeader, GroupFooter);
        for (std::size_t k = 0; k < placed.size(); ++k)
            if (rt::ReportControl* v = report.findControl(CalcValue + static_cast<int>(k));
                v && resetsAtBreak(columns, placed, placed[k], rows))
                v->setTotal(v->total, rt::TotalReset::Break, 1);
    }
    if (anyCalculation)
        groupFooter.addLine(FooterLine, 0, anyLabel ? 11 : 6, inner, 0)
            .setBorder(static_cast<rt::Color>(o.reportColor[7]), 1);
    else
        groupFooter.setHidden(breaking == 0);
    auto& footer = report.addBand(Footer, rt::BandKind::PageFooter).setPosition(L, H - B - 10, inner, 10);
    footer.addString(Page, 0, 2, inner, 5)
        .setPageNumber("@p" + o.reportText[2] + " <<<#p")
        .setFont(arial)
        .setJustify(rt::Justify::Right)
        .setFontColor(static_cast<rt::Color>(o.reportColor[9]));
    callHook(report, QBEReportStage::Laid);

    report.open();
    const bool completed = run.read("QBEReportProgress", kProgressTitle, [&] {
        for (std::size_t c = 1; c < columns.size() && c <= 50; ++c)
            slots[c] = std::string(rt::cutChars(run.field(columns[c].NUMBER), 255));
        report.print(Detail);
    });
    run.file()->send("QUICKSCAN=off");
    if (completed) {
        report.endReport();
        callHook(report, QBEReportStage::Read);
        std::uint8_t state = 1;
        PrintSetupWindow(report.pages(), report, state, 1, "QBEReport:" + source, ".\\VOQKIVORANT.INI", 0, 0, 1, 1, 0);
        if (rt::ThreadResponse == 1) report.flush();
    }
    report.close();
}
