// Query by example: the records of one source that pass the built filter, in the built order,
// shown in a list with running calculations at the top. The records are read behind a
// progress window first.
#pragma once

#include <string>
#include <vector>

#include "queries/qbe/qbe_grid.h"
#include "queries/qbe/qbe_options.h"
#include "queries/qbe/qbe_reading.h"
#include "runtime/text/decimal.h"
#include "runtime/ui/model.h"

// The running calculations of the view: one line per column and, within it, per row whose code
// is a calculation (sum, count, average, minimum, maximum). The state belongs to one run.
class QBECalculations {
public:
    struct Line {
        std::size_t column = 0;  // index into the columns
        int code = 0;
        std::string label;  // the report text, "Aver." for a long one
        std::string text;   // the value shown
        rt::DecimalValue number;
        bool started = false;  // minimum and maximum start from the first record
    };
    QBECalculations(const std::vector<QBEColumn>& columns, int rows, const QBEOptionValues& options);
    // One record's values, indexed like the columns.
    void add(const std::vector<std::string>& values);
    const std::vector<Line>& lines() const { return lines_; }
    long long records() const { return records_; }

private:
    std::vector<Line> lines_;
    long long records_ = 0;
};

// The view's label of a calculation text: its first four characters and "." when it is longer
// than five.
std::string QBECalculationLabel(const std::string& text);
// A colour of the options as the window runtime takes it: -1 is the control's own.
rt::Color QBEColor(long option);

// The list window of the matching records; on a filter or order the source rejects (error 46)
// the message is shown and nothing runs. sources: the source names, sourceNumber from 1. The
// first displayed column sorted in some row is the list's locator, searched from the "Locate:"
// entry; without one the list shows its scroll buttons.
void QBEView(const std::vector<std::string>& sources, std::vector<QBEColumn> columns, const std::string& filter,
             const std::string& order, int rows, int sourceNumber);

namespace qbeview {
enum Control {
    ProgressBar = qbeprogress::Bar,
    ProgressText = qbeprogress::Text,
    ProgressCancel = qbeprogress::Cancel,
    RecordsPanel = 10,
    RecordsPrompt,
    Records,
    LocatePanel,
    LocatePrompt,
    Locate,
    List,
    Ok,
};
inline constexpr const char* kProgressTitle = "Generation View";
}  // namespace qbeview
