#include "cubes/provkey/prov_key.h"

#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/helpers/sql_helpers.h"
#include "cubes/commission_picture.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/form_controller.h"
#include "runtime/classlib/request.h"
#include "runtime/data/queue.h"
#include "runtime/data/view_manager.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/ui/window.h"

using namespace provkey;

std::string ProvisionsKey(std::string_view employee, std::string_view platform, std::string_view shop,
                          std::string_view productGroup) {
    std::string key = std::string(rt::clip(employee)) + std::string(rt::clip(platform));
    if (!rt::clip(shop).empty())
        key += rt::clip(shop);
    else
        key += rt::clip(productGroup);
    return std::string(rt::cutChars(key, 120));
}

namespace {

struct NameRow {
    rt::CString<256> Name;
};

// One drop list's entries from an ERP table; what the statement gives up to an error stays.
std::vector<rt::ListRow> readNames(const char* statement) {
    rt::Queue<NameRow> names;
    NameRow row;
    SqlToQueue(statement, SqlQueue(names, row), {row.Name});
    std::vector<rt::ListRow> rows;
    for (std::size_t i = 1; i <= names.records(); ++i) rows.push_back({{rt::ListCell(names.get(i).Name.str())}});
    return rows;
}

void fillDropList(rt::ControlRef list, const char* heading, std::vector<rt::ListRow> rows) {
    rt::ListData& data = list.editList();
    data.columns = {rt::ListColumn(heading, 160)};
    data.columns[0].picture = "@s40";
    data.rows = std::move(rows);
    data.lineHeight = 12;
}

void deriveKey(rt::Window& w) {
    PROK.PROVISIONSKEY =
        ProvisionsKey(PROK.Mitarbeiter.str(), PROK.Plattform.str(), PROK.Shop.str(), PROK.Warengruppe.str());
    w[Key].setValue(PROK.PROVISIONSKEY.str());
}

}  // namespace

void EditProvKey() {
    rt::Window w("EditProvKey", kFormTitle);
    w.setSize(250, 140);
    w.edit().centered = true;
    w.add(FormSheet, rt::ControlKind::Sheet).setPosition(4, 4, 242, 112);
    w.add(FormTab, rt::ControlKind::Tab, FormSheet).setText("General");
    int y = 20;
    auto row = [&](int prompt, int id, const char* label, rt::ControlKind kind, const char* picture, int width) {
        w.add(prompt, rt::ControlKind::Prompt, FormTab).setText(label).setPosition(10, y + 1, 50, 10);
        w.add(id, kind, FormTab).setPicture(picture).setPosition(64, y, width, 11);
        y += 13;
    };
    row(IdPrompt, Id, "ID:", rt::ControlKind::Entry, "@N_4", 30);
    row(EmployeePrompt, Employee, "Mitarbeiter:", rt::ControlKind::DropList, "@s40", 170);
    row(PlatformPrompt, Platform, "Plattform:", rt::ControlKind::DropList, "@s40", 170);
    row(ShopPrompt, Shop, "Shop:", rt::ControlKind::DropList, "@s40", 170);
    row(ProductGroupPrompt, ProductGroup, "Warengruppe:", rt::ControlKind::DropList, "@s40", 170);
    row(KeyPrompt, Key, "Key:", rt::ControlKind::Entry, "@s160", 170);
    row(CommissionPrompt, Commission, "Provision:", rt::ControlKind::Entry, "", 40);
    w[Commission].setPicture(std::string(rt::kCommissionPicture));
    w.add(Ok, rt::ControlKind::Button)
        .setText("&OK")
        .setIcon("WAOK.ICO")
        .setTip("Eingabe bestätigen und Fenster schließen")
        .setPosition(140, 120, 50, 14)
        .edit()
        .defaultButton = true;
    w.add(Cancel, rt::ControlKind::Button)
        .setText("&Abbrechen")
        .setIcon("WACANCEL.ICO")
        .setTip("Bearbeitung abbrechen")
        .setPosition(194, 120, 52, 14);

    rt::FormController form(w, "EditProvKey", *Relate.VOQProvKey);
    CommonWindow common(form);
    UseFormTitles(form);

    // The choices are read once, as the form opens.
    std::vector<rt::ListRow> platforms = readNames(kPlatformStatement);
    std::vector<rt::ListRow> shops = readNames(kShopStatement);
    std::vector<rt::ListRow> employees = readNames(kEmployeeStatement);
    std::vector<rt::ListRow> groups = readNames(kProductGroupStatement);
    fillDropList(w[Platform], "Name", std::move(platforms));
    fillDropList(w[Shop], "Name", std::move(shops));
    fillDropList(w[Employee], "Name", std::move(employees));
    fillDropList(w[ProductGroup], "Warengruppe", std::move(groups));

    form.bind(Id, "PROK:ID");
    form.bind(Employee, "PROK:Mitarbeiter");
    form.bind(Platform, "PROK:Plattform");
    form.bind(Shop, "PROK:Shop");
    form.bind(ProductGroup, "PROK:Warengruppe");
    form.bind(Key, "PROK:PROVISIONSKEY");
    form.bind(Commission, "PROK:Provision");
    form.setOkButton(Ok);
    form.setCancelButton(Cancel);
    form.setFirstField(Id);
    form.onInit = [&] {
        if (form.mode() == rt::request::View) {
            for (int id : {Id, Employee, Key, Commission, ProductGroup}) w[id].setReadOnly(true);
            w[Platform].disable();
            w[Shop].disable();
        }
        deriveKey(w);
        return 0;
    };
    // The key follows the fields at every event, whatever was typed into it.
    form.addFilter([&](const rt::EventInfo& e) {
        if (e.event == rt::Event::OpenWindow || form.mode() == rt::request::View || form.mode() == rt::request::Delete)
            return false;
        form.readControls();
        deriveKey(w);
        return false;
    });
    form.run();
}

void BrowseProvKey() {
    rt::Window w("BrowseProvKey", kListTitle);
    w.setPosition(0, 0, 480, 200);
    w.edit().mdiChild = true;
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 472, 170);
    w.add(TabId, rt::ControlKind::Tab, Sheet).setText("ID");
    w.add(TabKey, rt::ControlKind::Tab, Sheet).setText("Schlüssel");
    w.add(List, rt::ControlKind::List).setPosition(8, 20, 464, 150);
    const struct {
        int id;
        const char* text;
        const char* icon;
        int x;
    } buttons[] = {{Insert, "&Neu", "wiznew.ico", 4},
                   {Change, "&Ändern", "WIZEDIT.ICO", 58},
                   {Delete, "&Löschen", "WIZDEL.ICO", 112},
                   {Close, "&Beenden", "WACLOSE.ICO", 422}};
    for (const auto& b : buttons)
        w.add(b.id, rt::ControlKind::Button).setText(b.text).setIcon(b.icon).setPosition(b.x, 180, 50, 14);
    w[Close].setTip("Fenster schließen");
    w[List].setHelp("Provisionsschlüssel");
    w.setImmediateAll(true);

    rt::WindowController wc(w, "BrowseProvKey");
    CommonWindow common(wc);
    wc.addFile(*Relate.VOQProvKey);
    rt::ViewManager view(*Access.VOQProvKey);
    rt::BrowseManager list(wc, List, view);
    list.addColumn("ID", 24, "PROK:ID", "@N_4");
    list.addColumn("Mitarbeiter", 80, "PROK:Mitarbeiter", "@s40");
    list.addColumn("Plattform", 80, "PROK:Plattform", "@s40");
    list.addColumn("Shop", 80, "PROK:Shop", "@s40");
    list.addColumn("Warengruppe", 80, "PROK:Warengruppe", "@s40");
    list.addColumn("Provision", 40, "PROK:Provision", std::string(rt::kCommissionPicture), rt::Justify::Right);
    list.addColumn("Key", 80, "PROK:PROVISIONSKEY", "@s160");
    list.setSheet(Sheet);
    list.addSortOrder(rt::sortByKey(TabId, "ProK:VOQProK_ID", rt::Locator::Step, "PROK:ID"));
    list.addSortOrder(rt::sortByKey(TabKey, "ProK:VOQProK_ProvKey", rt::Locator::Step, "PROK:PROVISIONSKEY"));
    list.setButtons(Insert, Change, Delete);
    list.setCloseButton(Close);
    wc.setProcedure(1, EditProvKey);
    list.setFormProcedure(1);
    CommonList commonList(common, list);
    wc.run();
}
