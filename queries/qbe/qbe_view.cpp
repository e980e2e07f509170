#include "queries/qbe/qbe_view.h"

#include <algorithm>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/ui/window.h"

using namespace qbeview;

namespace {

bool displayed(const QBEColumn& c) { return c.summary() >= qbecode::On && c.summary() <= qbecode::Maximum; }

// Numbers compare as numbers, everything else as text.
int compareValues(const std::string& a, const std::string& b) {
    const auto x = rt::DecimalValue::parse(rt::trimBlanks(a));
    const auto y = rt::DecimalValue::parse(rt::trimBlanks(b));
    if (x && y) return *x < *y ? -1 : (*y < *x ? 1 : 0);
    return rt::clip(a).compare(rt::clip(b));
}

}  // namespace

std::string QBECalculationLabel(const std::string& text) {
    const std::string t(rt::clip(text));
    return rt::charLength(t) > 5 ? std::string(rt::cutChars(t, 4)) + "." : t;
}

rt::Color QBEColor(long option) { return option < 0 ? rt::ColorNone : static_cast<rt::Color>(option); }

QBECalculations::QBECalculations(const std::vector<QBEColumn>& columns, int rows, const QBEOptionValues& options) {
    for (std::size_t i = 1; i < columns.size(); ++i) {
        for (int r = 1; r <= rows && r < kQBESlots; ++r) {
            const int code = columns[i].FILTERTYPE[static_cast<std::size_t>(r - 1)];
            if (code < qbecode::Sum || code > qbecode::Maximum) continue;
            Line l;
            l.column = i;
            l.code = code;
            l.label = QBECalculationLabel(options.reportText[static_cast<std::size_t>(code - qbecode::Sum + 3)]);
            lines_.push_back(std::move(l));
        }
    }
}

void QBECalculations::add(const std::vector<std::string>& values) {
    ++records_;
    for (Line& l : lines_) {
        const std::string& v = l.column < values.size() ? values[l.column] : std::string();
        const rt::DecimalValue n = rt::DecimalValue::parseOrZero(rt::trimBlanks(v));
        switch (l.code) {
        case qbecode::Sum: l.number = l.number + n; break;
        case qbecode::Count: l.number = l.number + rt::DecimalValue(1); break;
        case qbecode::Average:
            l.number = (l.number * rt::DecimalValue(records_ - 1) + n) / rt::DecimalValue(records_);
            break;
        case qbecode::Minimum:
        case qbecode::Maximum: {
            const int c = compareValues(v, l.text);
            if (!l.started || (l.code == qbecode::Minimum ? c < 0 : c > 0)) l.text = std::string(rt::trimBlanks(v));
            l.started = true;
            continue;
        }
        default: break;
        }
        l.text = l.number.toString();
        // The average's division leaves a scale of its own; the cell shows the value.
        if (l.text.find('.') != std::string::npos) {
            while (l.text.back() == '0') l.text.pop_back();
            if (l.text.back() == '.') l.text.pop_back();
        }
    }
}

void QBEView(const std::vector<std::string>& sources, std::vector<QBEColumn> columns, const std::string& filter,
             const std::string& order, int rows, int sourceNumber) {
    QBESourceRun run(sources, sourceNumber);
    if (!run.open(filter, order)) return;
    const QBEOptionValues options = CurrentQBEOptions();
    QBECalculations calculations(columns, rows, options);
    std::vector<std::size_t> shown;
    for (std::size_t i = 1; i < columns.size() && shown.size() < 49; ++i)
        if (displayed(columns[i])) shown.push_back(i);
    // The cells show the values through their column's picture, as the list formats them.
    const auto cellText = [&columns](std::size_t column, const std::string& value) {
        const std::string& picture = columns[column].PICTURE;
        return std::string(rt::cutChars(picture.empty() ? value : rt::formatPicture(value, picture), 99));
    };

    std::vector<rt::ListRow> records;
    std::vector<std::string> values(columns.size());
    const bool completed = run.read("QBEViewProgress", kProgressTitle, [&] {
        for (std::size_t c = 1; c < columns.size(); ++c) values[c] = run.field(columns[c].NUMBER);
        calculations.add(values);
        rt::ListRow row;
        row.cells.emplace_back(rt::formatPicture(std::to_string(calculations.records()), "@S6"));
        for (std::size_t c : shown) row.cells.emplace_back(cellText(c, values[c]));
        records.push_back(std::move(row));
    });
    if (!completed) return;

    // The locator: the first displayed column sorted in some row.
    std::size_t locator = 0;  // place in the list's columns, from 1 (REC#)
    bool descending = false;
    for (std::size_t k = 0; k < shown.size() && locator == 0; ++k)
        for (int r = 1; r <= rows && r < kQBESlots && locator == 0; ++r) {
            const int code = columns[shown[k]].FILTERTYPE[static_cast<std::size_t>(r - 1)];
            if (code == qbecode::OnUp || code == qbecode::OnDown) {
                locator = k + 2;
                descending = code == qbecode::OnDown;
            }
        }

    rt::Window w("QBEView", " QBE View [" + run.source() + "]");
    w.setPosition(0, 0, 400, 240).setMinSize(295, 120);
    w.edit().centered = true;
    w.setIcon("QBE.ico");
    w.add(RecordsPanel, rt::ControlKind::Panel).setPosition(4, 3, 90, 15);
    w.add(RecordsPrompt, rt::ControlKind::Prompt).setText("Records:").setPosition(8, 6, 32, 10);
    w.add(Records, rt::ControlKind::String).setText(std::to_string(calculations.records())).setPosition(42, 6, 48, 10);
    w.add(LocatePanel, rt::ControlKind::Panel).setPosition(98, 3, 298, 15);
    w.add(LocatePrompt, rt::ControlKind::Prompt).setText("Locate:").setPosition(102, 6, 28, 10);
    w.add(Locate, rt::ControlKind::Entry).setPicture("@s100").setPosition(140, 5, 252, 11).disable();
    w.add(List, rt::ControlKind::List).setPosition(4, 21, 392, 196);
    w.add(Ok, rt::ControlKind::Button).setText("OK").setPosition(346, 222, 50, 14);
    const auto justifyOf = [](const std::string& j) {
        return j == "R"   ? rt::Justify::Right
               : j == "C" ? rt::Justify::Center
               : j == "D" ? rt::Justify::Decimal
                          : rt::Justify::Left;
    };
    rt::ListData& data = w[List].editList();
    rt::ListColumn rec("REC#", 25, rt::Justify::Right, 2);
    rec.headingJustify = rt::Justify::Right;
    rec.picture = "@S6";
    rec.fixed = true;
    rec.selectedFore = 0xFFFFFF;
    rec.selectedBack = 0x808080;
    data.columns.push_back(std::move(rec));
    for (std::size_t c : shown) {
        const rt::Justify j = justifyOf(columns[c].JUSTIFY);
        rt::ListColumn col(columns[c].HEADER, static_cast<int>(options.viewColumnWidth), j, 2);
        col.headingJustify = j;
        col.picture = columns[c].PICTURE;
        col.resizable = true;
        data.columns.push_back(std::move(col));
    }
    data.lineHeight = static_cast<int>(options.viewColumnHeight);
    w[List].setBackground(QBEColor(options.viewColor[0])).setFontColor(QBEColor(options.viewColor[1]));
    w[List].setFont(rt::Font("", static_cast<int>(options.viewFontSize)));
    for (const auto& l : calculations.lines()) {
        rt::ListRow row;
        row.cells.emplace_back(l.label);
        for (std::size_t c : shown) row.cells.emplace_back(c == l.column ? cellText(c, l.text) : std::string());
        data.rows.push_back(std::move(row));
    }
    const int firstRecord = static_cast<int>(data.rows.size()) + 1;
    for (auto& r : records) data.rows.push_back(std::move(r));
    if (locator != 0) {
        rt::ListColumn& col = data.columns[locator - 1];
        col.selectedBack = QBEColor(options.viewColor[2]);
        col.selectedFore = QBEColor(options.viewColor[3]);
        data.locatorColumn = static_cast<int>(locator);
        auto entry = w[Locate];
        entry.setBackground(QBEColor(options.viewColor[2])).setFontColor(QBEColor(options.viewColor[3]));
        if (!columns[shown[locator - 2]].PICTURE.empty()) entry.setPicture(columns[shown[locator - 2]].PICTURE);
        entry.setImmediate(true).enable();
        w.select(Locate);
    } else {
        data.scrollButtons = true;
    }

    rt::WindowController wc(w, "QBEView");
    CommonWindow common(wc);
    wc.onOpened = [&] {
        // Everything keeps its distance to the right and bottom edges; the records panel to the left.
        rt::WindowResizer& r = wc.resizer();
        r.setRule(LocatePanel, rt::resize::GrowWidth);
        r.setRule(Locate, rt::resize::GrowWidth);
        r.setRule(List, rt::resize::GrowWidth | rt::resize::GrowHeight);
        r.setRule(Ok, rt::resize::MoveRight | rt::resize::MoveDown);
        r.resize();
    };
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event == rt::Event::Accepted && e.control == Ok) {
            wc.close(rt::response::Completed);
            return true;
        }
        if (locator != 0 && e.control == Locate &&
            (e.event == rt::Event::NewSelection || e.event == rt::Event::Accepted)) {
            const std::string typed = e.event == rt::Event::NewSelection ? e.value : w[Locate].value();
            if (int row = rt::locateRow(w[List].list(), static_cast<int>(locator), typed, firstRecord, descending))
                w[List].setSelected(row);
            return e.event == rt::Event::NewSelection;
        }
        return false;
    };
    wc.run();
}
