#include "queries/builder/qbe_window.h"

#include <algorithm>
#include <array>
#include <regex>
#include <utility>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/form_controller.h"
#include "runtime/classlib/request.h"
#include "runtime/data/view_manager.h"
#include "runtime/expr/expression.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace qbe;

namespace {

struct Operator {
    const char* name;
    const char* symbol;
};
constexpr std::array<Operator, 7> kOperators = {{
    {"Equals", "="},
    {"Not Equal To", "<>"},
    {"Contains", "~"},
    {"Less Than", "<"},
    {"Greater Than", ">"},
    {"Less Than Or Equal", "<="},
    {"Greater Than Or Equal", ">="},
}};

constexpr std::size_t kQueryWidth = 1000;
constexpr std::size_t kValueWidth = 60;

std::string symbolOf(std::string_view name) {
    for (const auto& op : kOperators)
        if (rt::clip(name) == op.name) return op.symbol;
    return {};
}

std::vector<rt::ListRow> textRows(const std::vector<std::string>& texts) {
    std::vector<rt::ListRow> rows;
    for (const auto& t : texts) rows.push_back({{rt::ListCell(t)}});
    return rows;
}

void fillDropList(rt::ControlRef list, const std::vector<std::string>& texts) {
    rt::ListData& data = list.editList();
    data.columns = {rt::ListColumn("", 120)};
    data.rows = textRows(texts);
    data.lineHeight = 12;
}

// The builder's window and its state between events.
class Builder {
public:
    Builder();
    void run();

private:
    void build();
    bool loadMasks();
    // Something chosen or typed that is not yet in the query.
    bool pending();
    // False (after telling the user) when the pending condition is not whole.
    bool writeCondition();
    void clearPending();
    void connect(const char* connector);
    void saveQuery();
    void showNames(bool names);
    void fillFieldNames();
    std::string query() const { return std::string(QueryString.get().clipped()); }
    void setQuery(const std::string& text) { QueryString = std::string(rt::cutChars(text, kQueryWidth)); }

    rt::Window w_;
    rt::BrowseManager* list_ = nullptr;
    std::string field_, operatorName_, symbol_, connector_ = " ", mask_;
    std::vector<std::pair<std::string, std::string>> masks_;  // label, field name
};

Builder::Builder() : w_("QBEWindow", kBuilderTitle) { build(); }

void Builder::build() {
    w_.setPosition(0, 0, 420, 250);
    w_.edit().centered = true;
    w_.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 412, 242);
    w_.add(QueryTab, rt::ControlKind::Tab, Sheet).setText("Query");
    w_.add(SavedList, rt::ControlKind::List, QueryTab).setPosition(10, 22, 400, 196);
    const struct {
        int id;
        const char* text;
        int x;
    } listButtons[] = {{Select, "&Auswahl", 10},  {Insert, "&Neu", 66},        {Change, "&Bearbeiten", 122},
                       {Delete, "&Löschen", 178}, {EditAll, "&Edit All", 234}, {Close, "&Schliessen", 356}};
    for (const auto& b : listButtons)
        w_.add(b.id, rt::ControlKind::Button, QueryTab).setText(b.text).setPosition(b.x, 224, 52, 14);
    w_[Select].setIcon("qkload.ico").setTip("Markiertes Query ausführen");
    w_[EditAll].setTip("Left Click to Edit Queries for all Browses.");
    w_[Close].setIcon("CANCEL.ICO");

    w_.add(BuildTab, rt::ControlKind::Tab, Sheet).setText("Query erstellen");
    w_.add(FieldPrompt, rt::ControlKind::Prompt, BuildTab).setText("SELECT FIELD").setPosition(10, 22, 130, 10);
    w_.add(FieldNames, rt::ControlKind::DropList, BuildTab).setPicture("@s35").setPosition(10, 34, 130, 12);
    w_.add(FieldMasks, rt::ControlKind::DropList, BuildTab).setPicture("@s80").setPosition(10, 34, 130, 12);
    w_.add(OperatorPrompt, rt::ControlKind::Prompt, BuildTab).setText("SELECT OPERATOR").setPosition(146, 22, 100, 10);
    w_.add(Operators, rt::ControlKind::DropList, BuildTab).setPicture("@s20").setPosition(146, 34, 100, 12);
    w_.add(ValuePrompt, rt::ControlKind::Prompt, BuildTab)
        .setText("ENTER SEARCH CRITERIA")
        .setPosition(252, 22, 158, 10);
    w_.add(Value, rt::ControlKind::Entry, BuildTab).setPicture("@s60").setPosition(252, 34, 158, 12);
    w_.add(QueryShown, rt::ControlKind::Text, BuildTab).setReadOnly(true).setPosition(10, 52, 400, 120);
    const struct {
        int id;
        const char* text;
        int x, y;
    } buildButtons[] = {{And, "&AND", 10, 178},
                        {Or, "&OR", 54, 178},
                        {Open, "(", 98, 178},
                        {Shut, ")", 122, 178},
                        {Write, "Query-Ausdruck erstellen", 146, 178},
                        {Cut, "Query-Ausdruck ausschneiden", 260, 178},
                        {Save, "Query sichern", 10, 200},
                        {Run, "Query ausfüheren", 90, 200},
                        {Cancel, "Query abbrechen", 170, 200},
                        {UseNames, "Use Field &Names", 10, 224},
                        {UseMasks, "Use Field &Masks", 90, 224},
                        {EditMasks, "&Edit Masks", 170, 224}};
    for (const auto& b : buildButtons)
        w_.add(b.id, rt::ControlKind::Button, BuildTab).setText(b.text).setPosition(b.x, b.y, 76, 14);
    w_[And].setPosition(10, 178, 40, 14);
    w_[Or].setPosition(54, 178, 40, 14);
    w_[Open].setPosition(98, 178, 20, 14);
    w_[Shut].setPosition(122, 178, 20, 14);
    w_[Write].setIcon("COPY.ICO").setPosition(146, 178, 110, 14);
    w_[Cut].setPosition(260, 178, 110, 14);
    w_[Save].setIcon("SAVE.ICO");
    w_[Run].setIcon("WIZOK.ICO");
    w_[Cancel].setIcon("WIZCNCL.ICO");
    w_.setImmediateAll(true);

    std::vector<std::string> names;
    for (const auto& op : kOperators) names.push_back(op.name);
    fillDropList(w_[Operators], names);
    fillFieldNames();
}

void Builder::fillFieldNames() {
    const auto fields = QBEFieldList.get();
    const long count = std::clamp<long>(QBEFieldCount.get(), 0, static_cast<long>(fields.size()));
    std::vector<std::string> names;
    for (long i = 0; i < count; ++i) names.emplace_back(fields[static_cast<std::size_t>(i)].clipped());
    fillDropList(w_[FieldNames], names);
}

bool Builder::loadMasks() {
    const std::string previous = mask_;
    masks_.clear();
    rt::ViewManager view(*Access.VOQQBESEARCH);
    view.setOrderKey(Access.VOQQBESEARCH->keyIndex("SearchKey"));
    if (view.setFilter(std::string(QBESearchFilter.get().clipped())) != 0) {
        WindowErrorManager().throwFile(46, "VOQQBESEARCH");
        return false;
    }
    int err = view.open();
    while (err == 0 && (err = view.next()) == 0)
        masks_.emplace_back(SEA.FieldMask.clipped(), SEA.SearchField.clipped());
    view.close();
    if (err != 33) {
        WindowErrorManager().throwFile(err, "VOQQBESEARCH");
        return false;
    }
    std::stable_sort(masks_.begin(), masks_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> labels;
    for (const auto& m : masks_) labels.push_back(m.first);
    fillDropList(w_[FieldMasks], labels);
    if (masks_.empty()) {
        mask_.clear();
    } else if (!previous.empty()) {
        for (std::size_t i = 0; i < masks_.size(); ++i)
            if (masks_[i].first == previous) w_[FieldMasks].setValue(previous);
    }
    return true;
}

void Builder::clearPending() {
    field_.clear();
    operatorName_.clear();
    symbol_.clear();
    for (int id : {FieldNames, FieldMasks, Operators, Value}) w_[id].setValue("");
}

bool Builder::pending() { return !field_.empty() || !symbol_.empty() || !rt::trimBlanks(w_[Value].value()).empty(); }

bool Builder::writeCondition() {
    std::string q = query();
    const std::string connector(rt::clip(rt::trimBlanks(connector_)));
    if (pending()) {
        // Only a whole condition goes in: a field, an operator and, for "Contains", a value.
        if (const char* missing = QBEMissingPart(field_, symbol_, w_[Value].value())) {
            rt::message(std::string("Die Bedingung ist nicht vollständig: ") + missing, kBuilderTitle,
                        rt::MessageIcon::Exclamation);
            return false;
        }
        q += QBECondition(field_, symbol_, w_[Value].value());
    }
    if (!connector.empty()) q += " " + connector;
    setQuery(q);
    clearPending();
    mask_.clear();
    w_[QueryShown].setValue(query());
    return true;
}

void Builder::connect(const char* connector) {
    connector_ = connector;
    if (pending()) {
        // What the user has chosen and typed goes in before the connector.
        writeCondition();
    } else if (!query().empty()) {
        setQuery(query() + " " + connector);
        w_[QueryShown].setValue(query());
    }
}

void Builder::saveQuery() {
    if (!std::string(rt::trimBlanks(w_[Value].value())).empty() && !writeCondition()) return;
    if (query().empty()) {
        rt::message(kNothingToSave);
        return;
    }
    list_->ask(rt::request::Insert);
    clearPending();
    connector_ = " ";
}

void Builder::showNames(bool names) {
    if (names) {
        w_[FieldNames].unhide();
        w_[FieldMasks].hide();
    } else {
        w_[FieldMasks].unhide();
        w_[FieldNames].hide();
    }
}

void Builder::run() {
    rt::WindowController wc(w_, "QBEWindow");
    CommonWindow common(wc);
    wc.addFile(*Relate.VOQQBEQUERY);
    wc.addFile(*Relate.VOQQBESEARCH);
    rt::ViewManager view(*Access.VOQQBEQUERY);
    rt::BrowseManager list(wc, SavedList, view);
    list_ = &list;
    list.addColumn("Beschreibung", 120, "QUE:DESCRIPTION", "@s60");
    list.addColumn("Query", 270, "QUE:QUERY", "@s255");
    list.addSortOrder(rt::sortByKey(0, "DESCRIPTIONKEY", rt::Locator::Step, "QUE:DESCRIPTION"));
    list.setButtons(Insert, Change, Delete);
    wc.setProcedure(1, UpdateSavedQuery);
    list.setFormProcedure(1);
    CommonList commonList(common, list);
    wc.onInit = [&] {
        showNames(false);
        QueryString = "";
        w_[QueryShown].setValue("");
        return loadMasks() ? 0 : 1;
    };
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted) return false;
        switch (e.control) {
        case FieldNames: field_ = std::string(rt::clip(w_[FieldNames].value())); return true;
        case FieldMasks:
            mask_ = std::string(rt::clip(w_[FieldMasks].value()));
            for (const auto& m : masks_)
                if (m.first == mask_) {
                    field_ = m.second;
                    break;
                }
            return true;
        case Operators:
            operatorName_ = std::string(rt::clip(w_[Operators].value()));
            symbol_ = symbolOf(operatorName_);
            return true;
        case And: connect("AND"); return true;
        case Or: connect("OR"); return true;
        case Write:
            connector_ = " ";
            writeCondition();
            return true;
        case Open:
            connector_ = "(";
            writeCondition();
            return true;
        case Shut:
            connector_ = ")";
            writeCondition();
            return true;
        case Save: saveQuery(); return true;
        case Cut:
            clearPending();
            QueryString = "";
            w_[QueryShown].setValue("");
            return true;
        case Run: wc.close(rt::response::Completed); return true;
        case Cancel:
        case Close:
            QueryString = "";
            wc.close(rt::response::Cancelled);
            return true;
        case Select:
            if (list.fetchSelected() != 0) return true;
            QueryString = std::string(QUE.QUERY.clipped());
            QueryDescription = std::string(QUE.DESCRIPTION.clipped());
            wc.close(rt::response::Completed);
            return true;
        case EditAll:
            QBEQueryFilter = "";
            list.setFilter({});
            list.refresh();
            return true;
        case UseNames: showNames(true); return true;
        case UseMasks: showNames(false); return true;
        case EditMasks:
            FieldMaskBrowse();
            list.refresh();
            fillFieldNames();
            if (!loadMasks()) wc.close(rt::response::Cancelled);
            return true;
        default: return false;
        }
    };
    wc.run();
    list_ = nullptr;
}

// The highest identifier of the masks plus one (1 for an empty table).
long nextMaskId() {
    long highest = 0;
    rt::ViewManager view(*Access.VOQQBESEARCH);
    view.open();
    while (view.next() == 0) highest = std::max<long>(highest, SEA.ID);
    view.close();
    return highest + 1;
}

// Adds a mask for each offered field name that has none yet: the field names are unique among
// the masks, and a second load must not fail on them.
void loadFieldMasks() {
    const auto fields = QBEFieldList.get();
    const long count = std::clamp<long>(QBEFieldCount.get(), 0, static_cast<long>(fields.size()));
    rt::FileManager& masks = *Access.VOQQBESEARCH;
    const int searchKey = masks.keyIndex("SearchKey");
    for (long i = 0; i < count; ++i) {
        const std::string name(rt::cutChars(rt::trimBlanks(fields[static_cast<std::size_t>(i)].clipped()), 35));
        if (name.empty()) continue;
        masks.clearBuffer();
        SEA.SearchField = name;
        if (masks.fetch(searchKey) == 0) continue;
        const long id = nextMaskId();
        masks.clearBuffer();
        SEA.ID = static_cast<rt::Long>(id);
        SEA.SearchField = name;
        SEA.FieldMask = name;
        if (masks.insert() != 0) WindowErrorManager().throwFile("VOQQBESEARCH");
    }
}

}  // namespace

std::string QBESearchValue(std::string_view value) {
    std::string v(rt::cutChars(rt::trimBlanks(value), kValueWidth));
    static const std::regex date(R"(\d{1,2}/\d{1,2}/\d{2})");
    static const std::regex time(R"(\d{1,2}:\d{2}(:\d{2})? ?[AaPp][Mm])");
    const std::string up = rt::upper(v);
    if (v.find('/') != std::string::npos) {
        // Only a value that is a date as a whole becomes a day number; "1/2 Zoll" stays text.
        if (std::regex_match(v, date)) {
            const rt::DateNumber day = rt::deformatDate(v, "@d1");
            if (day > 0) v = std::to_string(day);
        }
    } else if (up.find("AM") != std::string::npos || up.find("PM") != std::string::npos) {
        if (std::regex_match(v, time)) {
            const rt::TimeNumber t = rt::deformatTime(v, "@t3");
            if (t > 0) v = std::to_string(t);
        }
    }
    v = rt::upper(v);
    std::string quoted;
    for (char c : v) {
        quoted.push_back(c);
        if (c == '\'') quoted.push_back('\'');
    }
    return quoted;
}

const char* QBEMissingPart(std::string_view field, std::string_view symbol, std::string_view value) {
    if (rt::trimBlanks(field).empty()) return "Wählen Sie ein Feld.";
    if (symbol.empty()) return "Wählen Sie einen Operator.";
    if (symbol == "~" && rt::trimBlanks(value).empty()) return "Geben Sie einen Suchbegriff ein.";
    return nullptr;
}

std::string QBECondition(std::string_view field, std::string_view symbol, std::string_view value) {
    const std::string f(rt::trimBlanks(field));
    const std::string v = QBESearchValue(value);
    if (symbol == "~") return " INSTRING('" + v + "',UPPER(" + f + "),1,1)";
    for (const auto& op : kOperators)
        if (symbol == op.symbol) return " UPPER(" + f + ")" + std::string(symbol) + "'" + v + "'";
    return {};
}

void QBEWindow() {
    Builder builder;
    builder.run();
}

void UpdateSavedQuery() {
    rt::Window w("UpdateSavedQuery", kSavedQueryTitle);
    w.setSize(300, 150);
    w.edit().centered = true;
    w.add(DescriptionPrompt, rt::ControlKind::Prompt).setText("Beschreibung").setPosition(6, 8, 50, 10);
    w.add(Description, rt::ControlKind::Entry).setPicture("@s60").setPosition(60, 6, 234, 12);
    w.add(GroupPrompt, rt::ControlKind::Prompt).setText("Gruppe").setPosition(6, 24, 50, 10);
    w.add(Group, rt::ControlKind::Entry).setPicture("@s30").setTip("Query-Gruppierung").setPosition(60, 22, 120, 12);
    w.add(QueryPrompt, rt::ControlKind::Prompt).setText("Query:").setPosition(6, 40, 50, 10);
    w.add(Query, rt::ControlKind::Text).setPosition(60, 38, 234, 84);
    w.add(QueryOk, rt::ControlKind::Button).setText("OK").setPosition(132, 130, 50, 14).edit().defaultButton = true;
    w.add(QueryCancel, rt::ControlKind::Button).setText("Abbrechen").setPosition(188, 130, 50, 14);
    w.add(QueryHelp, rt::ControlKind::Button).setText("Help").setPosition(244, 130, 50, 14);

    rt::FormController form(w, "UpdateSavedQuery", *Relate.VOQQBEQUERY);
    CommonWindow common(form);
    UseFormTitles(form);
    form.bind(Description, "QUE:DESCRIPTION");
    form.bind(Group, "QUE:GRUPPE");
    form.bind(Query, "QUE:QUERY");
    form.setOkButton(QueryOk);
    form.setCancelButton(QueryCancel);
    form.setFirstField(Description);
    // Saving from the builder stores the expression just built.
    auto takeBuilt = [] {
        if (QUE.QUERY.clipped().empty()) QUE.QUERY = std::string(QueryString.get().clipped());
    };
    form.onPrimed = takeBuilt;
    form.onInit = [&] {
        takeBuilt();
        return 0;
    };
    form.run();
}

void FieldMaskBrowse() {
    rt::Window w("FieldMaskBrowse", kMaskListTitle);
    w.setPosition(0, 0, 330, 200);
    w.edit().centered = true;
    w.add(MaskSheet, rt::ControlKind::Sheet).setPosition(4, 4, 322, 170);
    w.add(FieldTab, rt::ControlKind::Tab, MaskSheet).setText("Tabellen-Feld");
    w.add(IdTab, rt::ControlKind::Tab, MaskSheet).setText("ID");
    w.add(MaskList, rt::ControlKind::List).setPosition(8, 20, 314, 150);
    const struct {
        int id;
        const char* text;
        int x;
    } buttons[] = {{MaskInsert, "&Neu", 4},       {MaskChange, "&Bearbeiten", 52},
                   {MaskDelete, "&Löschen", 100}, {LoadFields, "&Felder laden", 148},
                   {MaskHelp, "Help", 212},       {MaskClose, "Schließen", 270}};
    for (const auto& b : buttons)
        w.add(b.id, rt::ControlKind::Button).setText(b.text).setPosition(b.x, 180, b.id == LoadFields ? 60 : 44, 14);
    w.setImmediateAll(true);

    rt::WindowController wc(w, "FieldMaskBrowse");
    CommonWindow common(wc);
    wc.addFile(*Relate.VOQQBESEARCH);
    rt::ViewManager view(*Access.VOQQBESEARCH);
    rt::BrowseManager list(wc, MaskList, view);
    list.addColumn("Tabellen-Feld", 150, "SEA:SearchField", "@s35");
    list.addColumn("Feld-Bezeichner", 150, "SEA:FieldMask", "@s35");
    list.setSheet(MaskSheet);
    list.addSortOrder(rt::sortByKey(FieldTab, "SearchKey", rt::Locator::Step, "SEA:SearchField"));
    list.addSortOrder(rt::sortByKey(IdTab, "PK_SEAID", rt::Locator::Step, "SEA:ID"));
    std::string error;
    const std::string filter(QBESearchFilter.get().clipped());
    if (!filter.empty()) {
        auto predicate = rt::compileFilterPredicate(filter, error);
        if (predicate)
            list.setFilter(predicate);
        else
            WindowErrorManager().throwMessage(error);
    }
    list.setButtons(MaskInsert, MaskChange, MaskDelete);
    list.setCloseButton(MaskClose);
    wc.setProcedure(1, EditFieldNames);
    list.setFormProcedure(1);
    CommonList commonList(common, list);
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted || e.control != LoadFields) return false;
        loadFieldMasks();
        list.refresh();
        return true;
    };
    wc.run();
}

void EditFieldNames() {
    rt::Window w("EditFieldNames", kMaskFormTitle);
    w.setSize(220, 90);
    w.edit().centered = true;
    w.add(MaskIdPrompt, rt::ControlKind::Prompt).setText("ID:").setPosition(6, 8, 50, 10);
    w.add(MaskId, rt::ControlKind::Entry).setPicture("@n-14").setReadOnly(true).setPosition(66, 6, 60, 12);
    w.add(SearchFieldPrompt, rt::ControlKind::Prompt).setText("SearchField:").setPosition(6, 24, 56, 10);
    w.add(SearchField, rt::ControlKind::Entry).setPicture("@s35").setPosition(66, 22, 148, 12);
    w.add(FieldMaskPrompt, rt::ControlKind::Prompt).setText("FieldMask:").setPosition(6, 40, 56, 10);
    w.add(FieldMask, rt::ControlKind::Entry).setPicture("@s35").setPosition(66, 38, 148, 12);
    w.add(MaskOk, rt::ControlKind::Button).setText("OK").setPosition(56, 70, 50, 14).edit().defaultButton = true;
    w.add(MaskCancel, rt::ControlKind::Button).setText("Cancel").setPosition(110, 70, 50, 14);
    w.add(MaskFormHelp, rt::ControlKind::Button).setText("Help").setPosition(164, 70, 50, 14);

    rt::FormController form(w, "EditFieldNames", *Relate.VOQQBESEARCH);
    CommonWindow common(form);
    UseFormTitles(form);
    form.bind(MaskId, "SEA:ID");
    form.bind(SearchField, "SEA:SearchField");
    form.bind(FieldMask, "SEA:FieldMask");
    form.setOkButton(MaskOk);
    form.setCancelButton(MaskCancel);
    form.setFirstField(SearchField);
    form.run();
}
