#pragma once
// The pivot-table control, created by its ProgID through the runtime's control factory and
// driven by member name. The program thread that hosts it calls the automation members; its
// view (pivot/qt) reads and changes the same state from the display thread, so every member
// takes the control's lock.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "pivot/pivot_engine.h"
#include "runtime/ui/automation.h"

namespace pivot {

inline constexpr const char* kProgId = "GridnovaLib.Gnova.3";

// Registers the control's factory under kProgId (idempotent).
void registerPivotControl();

struct FontSpec {
    std::string name = "MS Sans Serif";
    double size = 8;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// OLE colours: 0x00BBGGRR, or with the high bit set a system colour in the low byte.
uint32_t resolveOleColor(uint32_t ole);  // to 0xRRGGBB with the default system colours
bool validOleColor(int64_t value);

struct Look {
    int borderStyle = 1, rowStyle = 1, colStyle = 1, gridStyle = 1;
    uint32_t fieldsBack = 0x808080, fieldsFore = 0xFFFFFF;
    uint32_t filteredBack = 0x808080, filteredFore = 0xFFFFFF;
    uint32_t cubeBack = 0x8000000F, headingsBack = 0x8000000F, headingsFore = 0x80000008;
    uint32_t totalsBack = 0x80000018, totalsFore = 0x80000008, gridColor = 0x808080;
    FontSpec font, fieldFont, filteredFont, headingsFont, totalsFont;
    std::string headerCaption;
    std::string footerCaption = "- Seite &P of  &PP -";
    int printerOrientation = 1;
    bool includeColors = false;
};

struct ExcelOptions {
    bool totals = false;           // incl. Summen
    bool formats = true;           // incl. Format
    bool colors = true;            // incl. Farbe
    bool noRepeatedNames = false;  // excl. Namenswiederholungen
};

class PivotControl : public rt::AutomationObject, public std::enable_shared_from_this<PivotControl> {
public:
    PivotControl();
    ~PivotControl() override;

    // Automation.
    rt::AutoValue get(std::string_view name, const std::vector<rt::AutoValue>& args = {}) override;
    void set(std::string_view name, const rt::AutoValue& value, const std::vector<rt::AutoValue>& args = {}) override;
    rt::AutoValue call(std::string_view method, const std::vector<rt::AutoValue>& args = {}) override;
    bool doVerb(int verb) override;

    // The same state for the view and for C++ callers.
    std::shared_ptr<const PivotTable> table();
    std::vector<FieldDef> fields();
    Look look();
    int colWidth(int gridColumn);  // pixels; column 0 is the row headings
    void setColWidth(int gridColumn, int width);
    // The width set for a column (by ColWidth, a drag or a layout); none while the view sizes it.
    std::optional<int> setWidth(int gridColumn);
    // The widths the view gave the columns without one set; colWidth and ColWidth tell them.
    void noteShownWidths(std::map<int, int> widths);
    std::shared_ptr<const Dimension> items(int field);
    void moveField(int field, int orientation, int position);
    void setHiddenItems(int field, std::set<std::string> hidden);
    void setShowDetail(int field, bool on);                      // every item of the field
    void toggleDetail(int field, const std::string& item);       // one item
    void setFieldProperties(int field, const FieldDef& values);  // caption, orientation, aggregate, format
    void refreshData();                                          // throws AutomationError
    void saveLayout(const std::string& file);                    // throws AutomationError
    void loadLayout(const std::string& file);                    // throws AutomationError
    void exportToExcel(const std::string& file, const ExcelOptions& options);  // throws AutomationError
    // The data read last, for a pivot of one's own (benchmarks, tests).
    std::shared_ptr<const ColumnStore> data();
    // Rows from elsewhere than the record source (benchmarks).
    void setData(std::shared_ptr<const ColumnStore> store);
    // How the pivot splits its work (Pivot::setParallel).
    void setParallel(unsigned threads, size_t minRowsPerThread, size_t denseCells = Pivot::kDenseCells);

    // Called after every change that the view shows (on the changing thread).
    int addListener(std::function<void()> f);
    void removeListener(int id);

    struct State;

private:
    std::shared_ptr<State> s_;
};

}  // namespace pivot
