#include "queries/qbe/qbe_view.h"

#include <algorithm>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/data/view_manager.h"
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

rt::FileManager* QBESourceFile(int number) {
    switch (number) {
    case 1: return Access.CrossTab;
    case 2: return Access.VOQCubeGruppe;
    case 3: return Access.VOQCubeKopf;
    default: return nullptr;
    }
}

std::string QBECalculationLabel(const std::string& text) {
    const std::string t(rt::clip(text));
    return rt::charLength(t) > 5 ? std::string(rt::cutChars(t, 4)) + "." : t;
}

int QBEProgressPercent(long long read, long long total) {
    if (total <= 0) return 100;
    return static_cast<int>(std::min<long long>(100, read * 100 / total));
}

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
    rt::FileManager* file = QBESourceFile(sourceNumber);
    if (!file) return;
    const std::string source = sourceNumber >= 1 && static_cast<std::size_t>(sourceNumber) <= sources.size()
                                   ? sources[static_cast<std::size_t>(sourceNumber - 1)]
                                   : file->label();
    const QBEOptionValues options = CurrentQBEOptions();
    if (int rc = file->open(); rc != 0) {
        WindowErrorManager().throwFile(rc, file->label());
        return;
    }
    rt::ViewManager view(*file);
    // A filter the source rejects stops the run: an unfiltered list would show every record.
    if (view.setFilter(rt::clip(filter)) != 0 || view.setOrder(rt::clip(order)) != 0) {
        WindowErrorManager().throwFile(46, file->label());
        file->close();
        return;
    }
    QBECalculations calculations(columns, rows, options);
    std::vector<std::size_t> shown;
    for (std::size_t i = 1; i < columns.size() && shown.size() < 49; ++i)
        if (displayed(columns[i])) shown.push_back(i);

    std::vector<rt::ListRow> records;
    bool completed = false;
    {
        rt::Window p("QBEViewProgress", kProgressTitle);
        p.setPosition(0, 0, 150, 58).edit().centered = true;
        p.add(ProgressBar, rt::ControlKind::Progress).setPosition(15, 8, 120, 12).setRange(0, 100).setValue("0");
        p.add(ProgressText, rt::ControlKind::String).setPosition(0, 26, 150, 10).setText("");
        p.add(ProgressCancel, rt::ControlKind::Button).setPosition(55, 40, 40, 12).setText("Cancel");
        p.setTimer(10);
        int rc = view.open();
        const long long total = rc == 0 ? view.records() : 0;
        int percent = -1;
        bool done = rc != 0;
        if (rc != 0) WindowErrorManager().throwFile(rc, file->label());
        while (auto e = p.accept()) {
            if (e.event == rt::Event::Timer && !done) {
                for (int i = 0; i < 50 && !done; ++i) {
                    rc = view.next();
                    if (rc != 0) {
                        done = true;
                        completed = rc == 33;
                        if (rc != 33) WindowErrorManager().throwFile(rc, file->label());
                        break;
                    }
                    std::vector<std::string> values(columns.size());
                    const rt::RecordDesc& desc = file->desc();
                    for (std::size_t c = 1; c < columns.size(); ++c) {
                        const long n = columns[c].NUMBER;
                        if (n >= 1 && static_cast<std::size_t>(n) <= desc.fieldCount())
                            values[c] =
                                std::string(rt::clip(desc.text(file->buffer(), static_cast<std::size_t>(n - 1))));
                    }
                    calculations.add(values);
                    rt::ListRow row;
                    row.cells.emplace_back(std::to_string(calculations.records()));
                    for (std::size_t c : shown) row.cells.emplace_back(std::string(rt::cutChars(values[c], 99)));
                    records.push_back(std::move(row));
                }
                const int now = QBEProgressPercent(calculations.records(), total);
                if (now != percent) {
                    percent = now;
                    p[ProgressBar].setValue(std::to_string(now));
                    p[ProgressText].setText(std::to_string(now) + "% Completed");
                }
                if (done) p.post(rt::Event::CloseWindow);
            } else if (e.event == rt::Event::Accepted && e.control == ProgressCancel) {
                done = true;
                completed = false;
                p.post(rt::Event::CloseWindow);
            } else if (e.event == rt::Event::CloseWindow || e.event == rt::Event::CloseDown) {
                done = true;
            }
        }
    }
    view.close();
    if (!completed) {
        file->close();
        return;
    }

    rt::Window w("QBEView", " QBE View [" + source + "]");
    w.setPosition(0, 0, 400, 240).setMinSize(295, 120);
    w.edit().centered = true;
    w.setIcon("QBE.ico");
    w.add(RecordsPrompt, rt::ControlKind::Prompt).setText("Records:").setPosition(4, 6, 34, 10);
    w.add(Records, rt::ControlKind::String).setText(std::to_string(calculations.records())).setPosition(40, 6, 50, 10);
    w.add(LocatePrompt, rt::ControlKind::Prompt).setText("Locate:").setPosition(100, 6, 30, 10);
    w.add(Locate, rt::ControlKind::Entry).setPicture("@s100").setPosition(132, 5, 120, 11).disable();
    w.add(List, rt::ControlKind::List).setPosition(4, 20, 392, 196);
    w.add(Ok, rt::ControlKind::Button).setText("OK").setPosition(346, 222, 50, 14);
    rt::ListData& data = w[List].editList();
    data.columns.push_back(rt::ListColumn("REC#", 25));
    data.columns.back().justify = rt::Justify::Right;
    data.columns.back().picture = "@S6";
    for (std::size_t c : shown) {
        rt::ListColumn col(columns[c].HEADER, static_cast<int>(options.viewColumnWidth));
        if (!columns[c].PICTURE.empty()) col.picture = columns[c].PICTURE;
        const std::string j = columns[c].JUSTIFY;
        col.justify = j == "R"   ? rt::Justify::Right
                      : j == "C" ? rt::Justify::Center
                      : j == "D" ? rt::Justify::Decimal
                                 : rt::Justify::Left;
        data.columns.push_back(std::move(col));
    }
    data.lineHeight = static_cast<int>(options.viewColumnHeight);
    for (const auto& l : calculations.lines()) {
        rt::ListRow row;
        row.cells.emplace_back(l.label);
        for (std::size_t c : shown) row.cells.emplace_back(c == l.column ? l.text : std::string());
        data.rows.push_back(std::move(row));
    }
    for (auto& r : records) data.rows.push_back(std::move(r));

    rt::WindowController wc(w, "QBEView");
    CommonWindow common(wc);
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event == rt::Event::Accepted && e.control == Ok) {
            wc.close(rt::response::Completed);
            return true;
        }
        return false;
    };
    wc.run();
    file->close();
}
