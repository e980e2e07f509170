#include "pivot/pivot_control.h"

#include <algorithm>
#include <malloc.h>

#include "pivot/excel_export.h"
#include "pivot/layout_file.h"
#include "pivot/load_progress.h"
#include "pivot/nova_source.h"
#include "pivot/number_format.h"
#include "pivot/print_report.h"
#include "pivot/property_pages.h"
#include "runtime/text/strings.h"

namespace pivot {

using rt::AutomationError;
using rt::AutoValue;

namespace {

constexpr long kBadIndex = 0x8002000BL;    // DISP_E_BADINDEX
constexpr long kInvalidArg = 0x80070057L;  // E_INVALIDARG
constexpr long kNoMember = 0x80020003L;    // DISP_E_MEMBERNOTFOUND
constexpr long kFail = 0x80004005L;        // E_FAIL

[[noreturn]] void badIndex(std::string_view member) {
    throw AutomationError(std::string(member) + ": Index außerhalb des Bereichs", kBadIndex);
}
[[noreturn]] void badValue(std::string_view member) {
    throw AutomationError(std::string(member) + ": ungültiger Wert", kInvalidArg);
}
[[noreturn]] void noMember(std::string_view member) {
    throw AutomationError("Unbekanntes Element: " + std::string(member), kNoMember);
}

bool is(std::string_view name, std::string_view member) { return rt::equalsNoCase(name, member); }

const AutoValue& arg(const std::vector<AutoValue>& args, size_t i, std::string_view member) {
    if (i >= args.size() || args[i].isEmpty())
        throw AutomationError(std::string(member) + ": Argument fehlt", kInvalidArg);
    return args[i];
}

int64_t intArg(const std::vector<AutoValue>& args, size_t i, std::string_view member) {
    return arg(args, i, member).toInt();
}

int64_t ranged(const AutoValue& v, int64_t lo, int64_t hi, std::string_view member) {
    // Text that is no number is a bad value, not 0.
    if (v.type() == AutoValue::Type::Text) {
        double d = parseNumber(v.toText());
        if (isNull(d)) badValue(member);
    }
    int64_t x = v.toInt();
    if (x < lo || x > hi) badValue(member);
    return x;
}

}  // namespace

uint32_t resolveOleColor(uint32_t ole) {
    if (ole & 0x80000000u) {
        switch (ole & 0xFF) {
        case 5: return 0xFFFFFF;   // window
        case 8: return 0x000000;   // window text
        case 15: return 0xF0F0F0;  // button face
        case 16: return 0xA0A0A0;  // button shadow
        case 18: return 0x000000;  // button text
        case 24: return 0xFFFFE1;  // tool-tip background
        case 23: return 0x000000;  // tool-tip text
        default: return 0xC0C0C0;
        }
    }
    uint32_t r = ole & 0xFF, g = (ole >> 8) & 0xFF, b = (ole >> 16) & 0xFF;
    return (r << 16) | (g << 8) | b;
}

bool validOleColor(int64_t v) {
    if (v < 0 || v > 0xFFFFFFFFLL) return false;
    uint32_t u = uint32_t(v);
    if (u & 0x80000000u) return (u & 0x7FFFFF00u) == 0 && (u & 0xFF) <= 30;
    return (u & 0xFF000000u) == 0;
}

namespace {

// Memory the control's data took goes back to the system when it is freed: the allocator
// would otherwise keep it for the process, a large cube's worth after every viewer closed.
void releaseFreedMemory() { malloc_trim(0); }

// The result columns the fields read: a column a field names, or a computed field's operands.
std::vector<bool> namedColumns(const std::vector<FieldDef>& fields, const ColumnStore& names) {
    std::vector<bool> wanted(names.columns().size(), false);
    for (const FieldDef& f : fields) {
        const int c = names.find(f.name);
        if (c >= 0) {
            wanted[size_t(c)] = true;
        } else if (f.name.find_first_of("+-*/") != std::string::npos) {
            for (int operand : Expression::parse(f.name, names).columns)
                if (operand >= 0) wanted[size_t(operand)] = true;
        }
    }
    return wanted;
}

}  // namespace

struct PivotControl::State {
    // Destroyed last, after the data.
    struct ReleaseOnExit {
        ~ReleaseOnExit() { releaseFreedMemory(); }
    } releaseOnExit;
    std::mutex mutex;
    bool autoRefresh = true;
    std::string connect, recordSource;
    Look look;
    std::vector<FieldDef> fields;
    Pivot pivot;
    std::shared_ptr<const ColumnStore> store = std::make_shared<ColumnStore>();
    std::shared_ptr<const PivotTable> table;
    bool dirty = true;
    std::map<int, int> widths;
    std::map<int, int> shownWidths;  // the view's own widths of the columns without one set
    int widthOf(int c) const {
        if (auto it = widths.find(c); it != widths.end()) return it->second;
        if (auto it = shownWidths.find(c); it != shownWidths.end()) return it->second;
        return c == 0 ? 140 : 80;
    }
    std::map<int, std::function<void()>> listeners;
    int nextListener = 1;

    std::shared_ptr<const PivotTable> current() {
        if (dirty || !table) {
            dirty = false;
            try {
                table = pivot.compute(fields);
                tooLarge = false;
            } catch (const std::exception&) {
                // More cells than memory holds: an empty table rather than an end of the program.
                table = pivot.compute({});
                tooLarge = true;
            }
        }
        return table;
    }
    bool tooLarge = false;
    void checkField(int64_t i, std::string_view member) const {
        if (i < 0 || i >= int64_t(fields.size())) badIndex(member);
    }
    void renumber(int orientation) {
        std::vector<FieldDef*> area;
        for (auto& f : fields)
            if (f.orientation == orientation) area.push_back(&f);
        std::stable_sort(area.begin(), area.end(), [](auto* a, auto* b) { return a->position < b->position; });
        for (size_t i = 0; i < area.size(); ++i) area[i]->position = int(i) * 2;
    }
    void place(FieldDef& f, int orientation, int position) {
        int old = f.orientation;
        f.orientation = orientation;
        // Between the neighbours: positions are kept even, so an odd one slots in.
        f.position = position < 0 ? 1 << 29 : position * 2 - 1;
        renumber(old);
        renumber(orientation);
    }
};

namespace {

// Changes run under the lock; the listeners run after it, when the view is to follow now.
template <class F>
void change(PivotControl::State& s, F&& f, bool notify = true) {
    std::vector<std::function<void()>> call;
    {
        std::lock_guard lock(s.mutex);
        f();
        s.dirty = true;
        if (notify && s.autoRefresh)
            for (auto& [id, l] : s.listeners) call.push_back(l);
    }
    for (auto& l : call) l();
}

// Whether a field needs a column of the record source that the last read passed over.
bool needsUnread(const FieldDef& f, const ColumnStore& store) {
    if (store.unreadColumns().empty() || store.find(f.name) >= 0) return false;
    ColumnStore unread;
    for (const std::string& name : store.unreadColumns()) unread.addColumn(name, false);
    const std::vector<bool> wanted = namedColumns({f}, unread);
    return std::find(wanted.begin(), wanted.end(), true) != wanted.end();
}

// Reads the record source into a new store: only the columns the fields read (all of them
// while there is no field), the rows read so far shown while it takes.
void readData(PivotControl::State& s) {
    std::string connect, sql;
    std::vector<FieldDef> fields;
    {
        std::lock_guard lock(s.mutex);
        connect = s.connect;
        sql = s.recordSource;
        fields = s.fields;
    }
    if (rt::trimBlanks(sql).empty()) throw AutomationError("RefreshData: keine Datenquelle (GNRecordSource)", kFail);
    // Read outside the lock: the view keeps showing the old data meanwhile.
    auto store = std::make_shared<ColumnStore>();
    ReadResult r;
    {
        LoadProgress progress;
        ReadOptions options;
        if (!fields.empty())
            options.wanted = [&fields](const ColumnStore& names) { return namedColumns(fields, names); };
        options.progress = [&progress](size_t rows) { progress.rows(rows); };
        r = readThroughEngine(connect, sql, *store, options);
    }
    if (!r.ok) throw AutomationError(r.error, kFail);
    change(s, [&] {
        s.store = store;
        s.pivot.setData(store);
    });
    store.reset();
    releaseFreedMemory();  // the data read before
    std::lock_guard lock(s.mutex);
    s.current();
    if (s.tooLarge) throw AutomationError("RefreshData: die Tabelle ist für den Speicher zu groß", kFail);
}

FontSpec* fontOf(Look& look, std::string_view name) {
    if (is(name, "Font")) return &look.font;
    if (is(name, "FieldFont")) return &look.fieldFont;
    if (is(name, "FilteredFieldFont")) return &look.filteredFont;
    if (is(name, "HeadingsFont")) return &look.headingsFont;
    if (is(name, "TotalsFont")) return &look.totalsFont;
    return nullptr;
}

uint32_t* colorOf(Look& look, std::string_view name) {
    struct {
        const char* name;
        uint32_t Look::*member;
    } table[] = {
        {"FieldsBackColor", &Look::fieldsBack},
        {"FieldsForeColor", &Look::fieldsFore},
        {"FilteredFieldBackColor", &Look::filteredBack},
        {"FilteredFieldForeColor", &Look::filteredFore},
        {"CubeBackColor", &Look::cubeBack},
        {"HeadingsBackColor", &Look::headingsBack},
        {"HeadingsForeColor", &Look::headingsFore},
        {"TotalsBackColor", &Look::totalsBack},
        {"TotalsForeColor", &Look::totalsFore},
        {"GridColor", &Look::gridColor},
    };
    for (auto& e : table)
        if (is(name, e.name)) return &(look.*(e.member));
    return nullptr;
}

int* styleOf(Look& look, std::string_view name) {
    if (is(name, "BorderStyle")) return &look.borderStyle;
    if (is(name, "RowStyle")) return &look.rowStyle;
    if (is(name, "ColStyle")) return &look.colStyle;
    if (is(name, "GridStyle")) return &look.gridStyle;
    return nullptr;
}

class FontObject : public rt::AutomationObject {
public:
    FontObject(std::shared_ptr<PivotControl::State> s, std::string which)
        : s_(std::move(s)), which_(std::move(which)) {}
    AutoValue get(std::string_view name, const std::vector<AutoValue>&) override {
        std::lock_guard lock(s_->mutex);
        FontSpec& f = *fontOf(s_->look, which_);
        if (is(name, "Name")) return f.name;
        if (is(name, "Size")) return f.size;
        if (is(name, "Bold")) return f.bold ? 1 : 0;
        if (is(name, "Italic")) return f.italic ? 1 : 0;
        if (is(name, "Underline")) return f.underline ? 1 : 0;
        noMember(name);
    }
    void set(std::string_view name, const AutoValue& v, const std::vector<AutoValue>&) override {
        change(*s_, [&] {
            FontSpec& f = *fontOf(s_->look, which_);
            if (is(name, "Name")) {
                if (rt::trimBlanks(v.toText()).empty()) badValue(name);
                f.name = std::string(rt::trimBlanks(v.toText()));
            } else if (is(name, "Size")) {
                double d = v.toDouble();
                if (!(d >= 1 && d <= 400)) badValue(name);
                f.size = d;
            } else if (is(name, "Bold"))
                f.bold = v.toBool();
            else if (is(name, "Italic"))
                f.italic = v.toBool();
            else if (is(name, "Underline"))
                f.underline = v.toBool();
            else
                noMember(name);
        });
    }
    AutoValue call(std::string_view name, const std::vector<AutoValue>& args) override { return get(name, args); }

private:
    std::shared_ptr<PivotControl::State> s_;
    std::string which_;
};

class FieldObject : public rt::AutomationObject {
public:
    FieldObject(std::shared_ptr<PivotControl::State> s, int index) : s_(std::move(s)), i_(index) {}
    AutoValue get(std::string_view name, const std::vector<AutoValue>&) override {
        std::lock_guard lock(s_->mutex);
        const FieldDef& f = s_->fields[size_t(i_)];
        if (is(name, "Name")) return f.name;
        if (is(name, "Caption")) return f.caption;
        if (is(name, "Orientation")) return f.orientation;
        if (is(name, "Position")) return positionOf(f);
        if (is(name, "NumberFormat")) return f.numberFormat;
        if (is(name, "AggregateFunc")) return f.aggregate;
        if (is(name, "GroupFooterType")) return f.footerType;
        if (is(name, "GroupFooterVisible")) return f.footerVisible ? 1 : 0;
        if (is(name, "ShowDetail")) return f.showDetail ? 1 : 0;
        if (is(name, "Index")) return i_;
        noMember(name);
    }
    void set(std::string_view name, const AutoValue& v, const std::vector<AutoValue>&) override {
        change(*s_, [&] {
            FieldDef& f = s_->fields[size_t(i_)];
            if (is(name, "Caption"))
                f.caption = v.toText();
            else if (is(name, "Orientation"))
                s_->place(f, int(ranged(v, 0, 4, name)), -1);
            else if (is(name, "Position"))
                s_->place(f, f.orientation, int(ranged(v, 0, 1 << 20, name)));
            else if (is(name, "NumberFormat")) {
                if (!validNumberFormat(v.toText())) badValue(name);
                f.numberFormat = std::string(rt::trimBlanks(v.toText()));
            } else if (is(name, "AggregateFunc"))
                f.aggregate = int(ranged(v, 0, 8, name));
            else if (is(name, "GroupFooterType")) {
                int t = int(ranged(v, 1, 4, name));
                if (t != FooterAggregate && t != FooterRatio) badValue(name);
                f.footerType = t;
            } else if (is(name, "GroupFooterVisible"))
                f.footerVisible = ranged(v, -1, 1, name) != 0;
            else if (is(name, "ShowDetail")) {
                f.showDetail = ranged(v, -1, 1, name) != 0;
                f.toggledItems.clear();
            } else
                noMember(name);
        });
    }
    AutoValue call(std::string_view name, const std::vector<AutoValue>& args) override {
        if (is(name, "ShowDetail") && !args.empty()) {
            set(name, args[0], {});
            return {};
        }
        return get(name, args);
    }

private:
    int positionOf(const FieldDef& f) const {
        int n = 0;
        for (auto& o : s_->fields)
            if (&o != &f && o.orientation == f.orientation && o.position < f.position) ++n;
        return n;
    }
    std::shared_ptr<PivotControl::State> s_;
    int i_;
};

class FieldsObject : public rt::AutomationObject {
public:
    explicit FieldsObject(std::shared_ptr<PivotControl::State> s) : s_(std::move(s)) {}
    AutoValue get(std::string_view name, const std::vector<AutoValue>& args) override {
        if (is(name, "Count")) {
            std::lock_guard lock(s_->mutex);
            return int64_t(s_->fields.size());
        }
        if (is(name, "Item")) return item(args, name);
        noMember(name);
    }
    void set(std::string_view name, const AutoValue&, const std::vector<AutoValue>&) override { noMember(name); }
    AutoValue call(std::string_view name, const std::vector<AutoValue>& args) override {
        if (is(name, "Add")) return add(args);
        return get(name, args);
    }
    AutoValue item(const std::vector<AutoValue>& args, std::string_view member) {
        int64_t i = intArg(args, 0, member);
        {
            std::lock_guard lock(s_->mutex);
            s_->checkField(i, member);
        }
        return std::shared_ptr<rt::AutomationObject>(std::make_shared<FieldObject>(s_, int(i)));
    }

private:
    AutoValue add(const std::vector<AutoValue>& args) {
        std::string name(rt::trimBlanks(arg(args, 0, "Fields.Add").toText()));
        if (name.empty()) badValue("Fields.Add");
        std::string caption = args.size() > 1 ? args[1].toText() : name;
        int orientation = args.size() > 2 && !args[2].isEmpty() ? int(ranged(args[2], 0, 4, "Fields.Add")) : Hidden;
        int index = 0;
        bool reread = false;
        change(*s_, [&] {
            FieldDef f;
            f.name = name;
            f.caption = caption;
            reread = s_->autoRefresh && needsUnread(f, *s_->store);
            s_->fields.push_back(f);
            index = int(s_->fields.size()) - 1;
            s_->place(s_->fields.back(), orientation, -1);
        });
        // A field added after the data was read may name a column that was passed over.
        if (reread) readData(*s_);
        return std::shared_ptr<rt::AutomationObject>(std::make_shared<FieldObject>(s_, index));
    }
    std::shared_ptr<PivotControl::State> s_;
};

}  // namespace

void registerPivotControl() {
    rt::registerControlFactory(kProgId,
                               [] { return std::shared_ptr<rt::AutomationObject>(std::make_shared<PivotControl>()); });
}

PivotControl::PivotControl() : s_(std::make_shared<State>()) {}
PivotControl::~PivotControl() = default;

AutoValue PivotControl::get(std::string_view name, const std::vector<AutoValue>& args) {
    if (is(name, "Fields")) {
        auto fields = std::make_shared<FieldsObject>(s_);
        if (!args.empty()) return fields->item(args, "Fields");
        return std::shared_ptr<rt::AutomationObject>(fields);
    }
    if (fontOf(s_->look, name))
        return std::shared_ptr<rt::AutomationObject>(std::make_shared<FontObject>(s_, std::string(name)));

    std::lock_guard lock(s_->mutex);
    Look& look = s_->look;
    if (is(name, "AutoDatRefresh")) return s_->autoRefresh ? 1 : 0;
    if (is(name, "GNConnectType")) return 3;
    if (is(name, "GNConnect")) return s_->connect;
    if (is(name, "GNRecordSource")) return s_->recordSource;
    if (int* st = styleOf(look, name)) return *st;
    if (uint32_t* c = colorOf(look, name)) return int64_t(*c);
    if (is(name, "FooterCaption")) return look.footerCaption;
    if (is(name, "HeaderCaption")) return look.headerCaption;
    if (is(name, "PrinterOrientation")) return look.printerOrientation;
    if (is(name, "IncludeColorsInPrintout")) return look.includeColors ? 1 : 0;

    auto t = s_->current();
    int64_t rowCount = int64_t(t->lineCount()) + 1, colCount = int64_t(t->columnCount()) + 1;
    if (is(name, "RowCount")) return rowCount;
    if (is(name, "ColCount")) return colCount;
    if (is(name, "ColWidth")) {
        int64_t c = intArg(args, 0, name);
        if (c < 0 || c >= colCount) badIndex(name);
        return int64_t(s_->widthOf(int(c)));
    }
    if (is(name, "DataValue")) {
        int64_t r = intArg(args, 0, name), c = intArg(args, 1, name);
        if (r < 0 || r >= rowCount || c < 0 || c >= colCount) badIndex(name);
        if (r == 0 && c == 0) return std::string();
        if (r == 0) {
            int levels = t->columnLevels();
            return levels == 0 ? std::string() : t->columnHeading(size_t(c - 1), levels - 1);
        }
        if (c == 0) {
            const auto& line = t->rows().lines[size_t(r - 1)];
            int level = line.kind == LineKind::Total ? 0 : t->rows().nodes[size_t(line.node)].level;
            return t->rowHeading(size_t(r - 1), level);
        }
        auto v = t->value(size_t(r - 1), size_t(c - 1));
        return v ? AutoValue(*v) : AutoValue();
    }
    if (is(name, "GetRowDepth")) {
        int64_t r = intArg(args, 0, name);
        if (r < 0 || r >= rowCount) badIndex(name);
        return int64_t(t->rows().fields.size());
    }
    if (is(name, "GetColDepth")) {
        int64_t c = intArg(args, 0, name);
        if (c < 0 || c >= colCount) badIndex(name);
        return t->columnLevels();
    }
    if (is(name, "GetRowHeading")) {
        int64_t r = intArg(args, 0, name), level = intArg(args, 1, name);
        if (r < 0 || r >= rowCount || level < 0 || level >= int64_t(t->rows().fields.size())) badIndex(name);
        if (r == 0) {
            const FieldDef& f = t->fields()[size_t(t->rows().fields[size_t(level)])];
            return f.caption.empty() ? f.name : f.caption;
        }
        return t->rowHeading(size_t(r - 1), int(level));
    }
    if (is(name, "GetColHeading")) {
        int64_t c = intArg(args, 0, name), level = intArg(args, 1, name);
        if (c < 1 || c >= colCount || level < 0 || level >= t->columnLevels()) badIndex(name);
        return t->columnHeading(size_t(c - 1), int(level));
    }
    noMember(name);
}

void PivotControl::set(std::string_view name, const AutoValue& v, const std::vector<AutoValue>& args) {
    if (is(name, "Fields")) noMember(name);
    if (is(name, "ColWidth")) {
        int64_t c = intArg(args, 0, name);
        int64_t w = ranged(v, 0, 10000, name);
        {
            std::lock_guard lock(s_->mutex);
            auto t = s_->current();
            if (c < 0 || c > int64_t(t->columnCount())) badIndex(name);
        }
        setColWidth(int(c), int(w));
        return;
    }
    if (is(name, "AutoDatRefresh")) {
        bool on = ranged(v, -1, 1, name) != 0;
        change(*s_, [&] { s_->autoRefresh = on; });
        return;
    }
    change(*s_, [&] {
        Look& look = s_->look;
        if (is(name, "GNConnectType")) {
            // Only the data engine's ODBC is a data source of this control.
            if (ranged(v, 0, 99, name) != 3)
                throw AutomationError("GNConnectType: nur 3 (ODBC) wird unterstützt", kInvalidArg);
        } else if (is(name, "GNConnect"))
            s_->connect = v.toText();
        else if (is(name, "GNRecordSource"))
            s_->recordSource = v.toText();
        else if (int* st = styleOf(look, name))
            *st = int(ranged(v, 0, 3, name));
        else if (uint32_t* c = colorOf(look, name)) {
            if (v.type() == AutoValue::Type::Text && isNull(parseNumber(v.toText()))) badValue(name);
            if (!validOleColor(v.toInt())) badValue(name);
            *c = uint32_t(v.toInt());
        } else if (FontSpec* f = fontOf(look, name)) {
            std::string n(rt::trimBlanks(v.toText()));
            if (n.empty()) badValue(name);
            f->name = n;
        } else if (is(name, "FooterCaption"))
            look.footerCaption = v.toText();
        else if (is(name, "HeaderCaption"))
            look.headerCaption = v.toText();
        else if (is(name, "PrinterOrientation"))
            look.printerOrientation = int(ranged(v, 1, 2, name));
        else if (is(name, "IncludeColorsInPrintout"))
            look.includeColors = ranged(v, -1, 1, name) != 0;
        else
            noMember(name);
    });
}

AutoValue PivotControl::call(std::string_view name, const std::vector<AutoValue>& args) {
    if (is(name, "RefreshData")) {
        refreshData();
        return {};
    }
    if (is(name, "Refresh")) {
        // The view follows now, whatever AutoDatRefresh says.
        std::vector<std::function<void()>> call;
        {
            std::lock_guard lock(s_->mutex);
            s_->dirty = true;
            for (auto& [id, l] : s_->listeners) call.push_back(l);
        }
        for (auto& l : call) l();
        return {};
    }
    if (is(name, "Save")) {
        std::string file(rt::trimBlanks(arg(args, 0, name).toText()));
        if (file.empty()) badValue(name);
        saveLayout(file);
        return {};
    }
    if (is(name, "Load")) {
        std::string file(rt::trimBlanks(arg(args, 0, name).toText()));
        if (file.empty()) badValue(name);
        loadLayout(file);
        return {};
    }
    if (is(name, "ExportToExcel")) {
        std::string file(rt::trimBlanks(arg(args, 0, name).toText()));
        if (file.empty()) badValue(name);
        ExcelOptions o;
        auto flag = [&](size_t i, bool def) {
            return i < args.size() && !args[i].isEmpty() ? ranged(args[i], -1, 1, name) != 0 : def;
        };
        o.totals = flag(1, o.totals);
        o.formats = flag(2, o.formats);
        o.colors = flag(3, o.colors);
        o.noRepeatedNames = flag(4, o.noRepeatedNames);
        exportToExcel(file, o);
        return {};
    }
    if (is(name, "PrintPreview")) {
        printPreview(*this);
        return {};
    }
    return get(name, args);
}

bool PivotControl::doVerb(int verb) {
    if (verb != -7) return false;
    showPropertyPages(*this);
    return true;
}

std::shared_ptr<const PivotTable> PivotControl::table() {
    std::lock_guard lock(s_->mutex);
    return s_->current();
}

std::vector<FieldDef> PivotControl::fields() {
    std::lock_guard lock(s_->mutex);
    return s_->fields;
}

Look PivotControl::look() {
    std::lock_guard lock(s_->mutex);
    return s_->look;
}

std::shared_ptr<const ColumnStore> PivotControl::data() {
    std::lock_guard lock(s_->mutex);
    return s_->store;
}

void PivotControl::setData(std::shared_ptr<const ColumnStore> store) {
    change(*s_, [&] {
        s_->store = store;
        s_->pivot.setData(store);
    });
}

void PivotControl::setParallel(unsigned threads, size_t minRowsPerThread, size_t denseCells) {
    change(*s_, [&] { s_->pivot.setParallel(threads, minRowsPerThread, denseCells); });
}

int PivotControl::colWidth(int c) {
    std::lock_guard lock(s_->mutex);
    return s_->widthOf(c);
}

std::optional<int> PivotControl::setWidth(int c) {
    std::lock_guard lock(s_->mutex);
    auto it = s_->widths.find(c);
    if (it == s_->widths.end()) return std::nullopt;
    return it->second;
}

void PivotControl::noteShownWidths(std::map<int, int> widths) {
    std::lock_guard lock(s_->mutex);
    s_->shownWidths = std::move(widths);
}

void PivotControl::setColWidth(int c, int w) {
    change(*s_, [&] { s_->widths[c] = std::max(0, w); });
}

std::shared_ptr<const Dimension> PivotControl::items(int field) {
    std::lock_guard lock(s_->mutex);
    s_->checkField(field, "Fields");
    return s_->pivot.dimension(s_->fields[size_t(field)]);
}

void PivotControl::moveField(int field, int orientation, int position) {
    if (orientation < 0 || orientation > 4) badValue("Orientation");
    change(*s_, [&] {
        s_->checkField(field, "Fields");
        s_->place(s_->fields[size_t(field)], orientation, position);
    });
}

void PivotControl::setHiddenItems(int field, std::set<std::string> hidden) {
    change(*s_, [&] {
        s_->checkField(field, "Fields");
        s_->fields[size_t(field)].hiddenItems = std::move(hidden);
    });
}

void PivotControl::setShowDetail(int field, bool on) {
    change(*s_, [&] {
        s_->checkField(field, "Fields");
        s_->fields[size_t(field)].showDetail = on;
        s_->fields[size_t(field)].toggledItems.clear();
    });
}

void PivotControl::toggleDetail(int field, const std::string& item) {
    change(*s_, [&] {
        s_->checkField(field, "Fields");
        auto& toggled = s_->fields[size_t(field)].toggledItems;
        if (!toggled.erase(item)) toggled.insert(item);
    });
}

void PivotControl::setFieldProperties(int field, const FieldDef& v) {
    if (v.orientation < 0 || v.orientation > 4) badValue("Orientation");
    if (v.aggregate < 0 || v.aggregate > 8) badValue("AggregateFunc");
    if (!validNumberFormat(v.numberFormat)) badValue("NumberFormat");
    change(*s_, [&] {
        s_->checkField(field, "Fields");
        FieldDef& f = s_->fields[size_t(field)];
        f.caption = v.caption;
        f.aggregate = v.aggregate;
        f.numberFormat = std::string(rt::trimBlanks(v.numberFormat));
        if (f.orientation != v.orientation) s_->place(f, v.orientation, -1);
    });
}

void PivotControl::refreshData() { readData(*s_); }

void PivotControl::saveLayout(const std::string& file) {
    Layout l;
    {
        std::lock_guard lock(s_->mutex);
        l.fields = s_->fields;
        l.widths = s_->widths;
    }
    std::string error;
    if (!writeLayout(file, l, error)) throw AutomationError("Save: " + error, kFail);
}

void PivotControl::loadLayout(const std::string& file) {
    Layout l;
    std::string error;
    if (!readLayout(file, l, error)) throw AutomationError("Load: " + error, kFail);
    change(*s_, [&] {
        applyLayout(l, s_->fields);
        s_->widths = l.widths;
    });
}

void PivotControl::exportToExcel(const std::string& file, const ExcelOptions& options) {
    std::shared_ptr<const PivotTable> t;
    Look look;
    std::vector<PageSelection> pages;
    {
        std::lock_guard lock(s_->mutex);
        t = s_->current();
        look = s_->look;
        std::vector<const FieldDef*> page;
        for (const FieldDef& f : s_->fields)
            if (f.orientation == PageArea) page.push_back(&f);
        std::stable_sort(page.begin(), page.end(), [](auto* a, auto* b) { return a->position < b->position; });
        for (const FieldDef* f : page) {
            PageSelection p{f->caption.empty() ? f->name : f->caption, {}, true};
            for (const Item& item : s_->pivot.dimension(*f)->items) {
                if (f->hiddenItems.count(item.text))
                    p.all = false;
                else
                    p.shown.push_back(item.text);
            }
            pages.push_back(std::move(p));
        }
    }
    std::string error;
    if (!writeExcel(file, *t, look, options, pages, error)) throw AutomationError("ExportToExcel: " + error, kFail);
}

int PivotControl::addListener(std::function<void()> f) {
    std::lock_guard lock(s_->mutex);
    int id = s_->nextListener++;
    s_->listeners[id] = std::move(f);
    return id;
}

void PivotControl::removeListener(int id) {
    std::lock_guard lock(s_->mutex);
    s_->listeners.erase(id);
}

}  // namespace pivot
