#include "cubes/groups/groups.h"

#include <cstdlib>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "cubes/catalogue/catalogue_calls.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/form_controller.h"
#include "runtime/classlib/toolbar.h"
#include "runtime/data/view_manager.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace cubegruppe;

// ---- The group list ------------------------------------------------------------------------

void BrowseCubeGruppe() {
    rt::Window w("BrowseCubeGruppe", kGroupListTitle);
    w.setPosition(0, 0, 350, 200);
    w.edit().centered = true;
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 290, 190);
    w.add(TabId, rt::ControlKind::Tab, Sheet).setText("ID");
    w.add(TabName, rt::ControlKind::Tab, Sheet).setText("Name");
    w.add(LocatorName, rt::ControlKind::Entry, TabName).setPicture("@s30").setPosition(8, 178, 100, 10);
    w.add(List, rt::ControlKind::List).setPosition(8, 20, 282, 154);
    w[List].setHelp("Browsing the VOQCubeGruppe file");
    const struct {
        int id;
        const char* text;
        const char* icon;
        const char* tip;
    } buttons[] = {{Insert, "&Neu", "ADD.ICO", "Datensatz anlegen"},
                   {Change, "&Bearbeiten", "Edit.ICO", "Datensatz bearbeiten"},
                   {Delete, "&Löschen", "Delete.ICO", "Datensatz löschen"},
                   {Print, "&Drucken", "", ""},
                   {Select, "&Select", "", ""},
                   {Close, "&Schließen", "Cancel.ico", ""}};
    int y = 20;
    for (const auto& b : buttons) {
        w.add(b.id, rt::ControlKind::Button).setText(b.text).setIcon(b.icon).setTip(b.tip).setPosition(298, y, 48, 14);
        y += 18;
    }
    w[Print].setEnabled(QueryByExampleAvailable());

    rt::WindowController wc(w, "BrowseCubeGruppe");
    CommonWindow common(wc);
    wc.addFile(*Relate.VOQCubeGruppe);
    rt::ViewManager view(*Access.VOQCubeGruppe);
    rt::BrowseManager list(wc, List, view);
    list.addColumn("ID", 22, "CUBG:ID", "@n_4");
    list.addColumn("Activ", 19, "CUBG:Activ", "@n1");
    list.addColumn("Gruppenname:", 101, "CUBG:GruppenName", "@s30");
    list.addColumn("Beschreibung", 143, "CUBG:Beschreibung", "@s100");
    list.setSheet(Sheet);
    list.addSortOrder(rt::sortByKey(TabId, "CUBG:KeyID", rt::Locator::Step, "CUBG:ID"));
    list.addSortOrder(
        rt::sortByKey(TabName, "CUBG:KeyGruppenName", rt::Locator::Entry, "CUBG:GruppenName", LocatorName));
    list.setButtons(Insert, Change, Delete, Select);
    list.setCloseButton(Close);
    wc.setProcedure(1, EditCubeGruppe);
    list.setFormProcedure(1);
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event == rt::Event::Accepted && e.control == Print) {
            if (QueryByExampleAvailable()) {
                OpenQueryByExample("VOQCubeGruppe");
                list.refresh();
            }
            return true;
        }
        return false;
    };
    CommonList commonList(common, list);
    wc.run();
}

// ---- The group form ------------------------------------------------------------------------

void EditCubeGruppe() {
    rt::Window w("EditCubeGruppe", kGroupFormTitle);
    w.setPosition(0, 0, 330, 190);
    w.edit().centered = true;
    w.add(FormSheet, rt::ControlKind::Sheet).setPosition(4, 4, 322, 160);
    w.add(TabGeneral, rt::ControlKind::Tab, FormSheet).setText("&1) General");
    int y = 24;
    auto prompt = [&](int id, const char* text) {
        w.add(id, rt::ControlKind::Prompt, TabGeneral).setText(text).setPosition(10, y, 60, 10);
    };
    prompt(PromptId, "&ID:");
    w.add(EntryId, rt::ControlKind::Entry, TabGeneral).setPicture("@n8").setPosition(74, y, 40, 10).setReadOnly(true);
    y += 14;
    prompt(PromptName, "&Gruppenname:");
    w.add(EntryName, rt::ControlKind::Entry, TabGeneral).setPicture("@s30").setPosition(74, y, 130, 10);
    y += 14;
    prompt(PromptDescription, "&Beschreibung:");
    w.add(EntryDescription, rt::ControlKind::Entry, TabGeneral).setPicture("@s100").setPosition(74, y, 240, 10);
    y += 14;
    w.add(CheckActive, rt::ControlKind::Check, TabGeneral)
        .setText("Aktiv")
        .setTip("Aktive Gruppe")
        .setPosition(74, y, 60, 10);
    w.add(TabCubes, rt::ControlKind::Tab, FormSheet).setText("&2) VOQCubeKopf");
    w.add(CubeList, rt::ControlKind::List, TabCubes).setPosition(8, 22, 314, 118);
    w.add(CubeNew, rt::ControlKind::Button, TabCubes).setText("&Neu").setPosition(160, 144, 50, 14);
    w.add(CubeChange, rt::ControlKind::Button, TabCubes).setText("&Bearbeiten").setPosition(214, 144, 50, 14);
    w.add(CubeDelete, rt::ControlKind::Button, TabCubes).setText("&Löschen").setPosition(268, 144, 50, 14);
    w.add(Ok, rt::ControlKind::Button).setText("&OK").setPosition(164, 170, 50, 14).edit().defaultButton = true;
    w.add(Cancel, rt::ControlKind::Button).setText("&Abbrechen").setPosition(218, 170, 54, 14);
    w.add(Help, rt::ControlKind::Button).setText("&Help").setPosition(276, 170, 50, 14);

    rt::FormController form(w, "EditCubeGruppe", *Relate.VOQCubeGruppe);
    CommonWindow common(form);
    UseFormTitles(form);
    form.bind(EntryId, "CUBG:ID");
    form.bind(EntryName, "CUBG:GruppenName");
    form.bind(EntryDescription, "CUBG:Beschreibung");
    form.bind(CheckActive, "CUBG:Activ");
    form.setOkButton(Ok);
    form.setCancelButton(Cancel);
    form.setFirstField(EntryName);

    // The group's cubes, to look at only.
    form.addFile(*Relate.VOQCubeKopf);
    rt::ViewManager cubes(*Access.VOQCubeKopf);
    rt::BrowseManager cubeList(form, CubeList, cubes);
    cubeList.addColumn("ID", 36, "CUBK:ID", "@n8", rt::Justify::Right);
    cubeList.addColumn("ID", 36, "CUBK:ID_CUBG", "@n8", rt::Justify::Right);
    cubeList.addColumn("CubeName", 80, "CUBK:CubeName", "@s20");
    cubeList.addColumn("Activ", 24, "CUBK:Activ", "@n1", rt::Justify::Right);
    cubeList.addColumn("Beschreibung", 80, "CUBK:Beschreibung", "@s100");
    cubeList.addColumn("Connect", 80, "CUBK:Connect", "@s100");
    cubeList.addColumn("Zugriff", 80, "CUBK:Zugriff", "@s20");
    cubeList.addColumn("Query", 80, "CUBK:Query", "@s250");
    cubeList.addColumn("Query Parameter", 80, "CUBK:QueryParameter", "@s250");
    const rt::Long group = CUBG.ID;
    rt::BrowseSortOrder order = rt::sortByKey(0, "CUBK:KeyCubeIDGrp");
    order.filter = [group] { return CUBK.ID_CUBG == group; };
    cubeList.addSortOrder(order);
    if (form.request() == rt::request::View) {
        w[CubeNew].disable();
        w[CubeChange].disable();
        w[CubeDelete].disable();
    }
    form.run();
}

// ---- The cube tree -------------------------------------------------------------------------

namespace {

// The tree control's levels count from 1: root 1, group 2, cube 3 (negative: collapsed).
rt::ListData treeData(const CubeTree& tree) {
    rt::ListData data;
    data.lineHeight = 14;
    for (const auto& r : tree.rows()) {
        rt::ListRow row;
        rt::ListCell cell;
        cell.text = std::string(rt::cutChars(r.display, 128));
        row.cells.push_back(cell);
        const int depth = static_cast<int>(std::labs(r.level)) + 1;
        row.level = r.level < 0 ? -depth : depth;
        data.rows.push_back(row);
    }
    return data;
}

}  // namespace

void CubeTreeAnzeige() {
    rt::Window w("CubeTreeAnzeige", kTreeTitle);
    w.setPosition(0, 0, 520, 260);
    w.edit().centered = true;
    rt::Font font;
    font.face = "Microsoft Sans Serif";
    w.edit().font = font;
    w.add(Tree, rt::ControlKind::Tree).setPosition(6, 6, 504, 226);
    w.add(Execute, rt::ControlKind::Button).setText("&Ausführen").setPosition(6, 238, 60, 16);
    w.add(TreeOk, rt::ControlKind::Button).setText("&OK").setIcon("WAOK.ICO").setPosition(396, 238, 54, 16);
    w.add(TreeCancel, rt::ControlKind::Button)
        .setText("&Cancel")
        .setIcon("WACANCEL.ICO")
        .setTip("Abbrechen")
        .setPosition(456, 238, 54, 16);
    w[Execute].setEnabled(PivotViewerAvailable());

    rt::WindowController wc(w, "CubeTreeAnzeige");
    CommonWindow common(wc);
    wc.addFile(*Relate.VOQCubeGruppe);
    wc.addCloseButton(TreeCancel, rt::response::Cancelled);
    CubeTree tree;
    int clicked = 1;

    auto show = [&](int select) {
        w[Tree].setListData(treeData(tree));
        if (select >= 1 && select <= tree.count()) w[Tree].setSelected(select);
    };
    auto reload = [&] {
        if (!tree.load()) w.post(rt::Event::CloseWindow);
        show(std::min(std::max(clicked, 1), tree.count()));
    };
    auto failed = [&](bool ok) {
        if (!ok) w.post(rt::Event::CloseWindow);
    };
    // The selected row's cube into the cube-header buffer.
    auto newSelection = [&](int row) {
        if (row < 1 || row > tree.count()) return;
        clicked = row;
        const CubeTreeRow& r = tree.row(row);
        CUBK.ID_CUBG = static_cast<rt::Long>(r.cubeGroup);
        CUBK.CubeName = r.cubeName;
        CUBK.ID = static_cast<rt::Long>(r.cubeId);
    };
    auto moveTo = [&](int row) {
        show(row);
        newSelection(row);
    };

    wc.onOpened = [&] {
        reload();
        w.alert(rt::keys::KeypadPlus);
        w.alert(rt::keys::KeypadMinus);
        w.alert(rt::keys::MouseRight);
        show(1);
        w.post(rt::Event::NewSelection, Tree);
    };
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event == rt::Event::Accepted && rt::toolbar::isButton(e.control)) {
            const int row = w[Tree].selected();
            switch (e.control) {
            case rt::toolbar::Bottom: moveTo(tree.nextGroup(row)); return true;
            case rt::toolbar::Top: moveTo(tree.groupOf(row)); return true;
            case rt::toolbar::PageDown: moveTo(tree.nextSameLevel(row)); return true;
            case rt::toolbar::PageUp: moveTo(tree.previousSameLevel(row)); return true;
            case rt::toolbar::Down: moveTo(tree.down(row)); return true;
            case rt::toolbar::Up: moveTo(tree.up(row)); return true;
            default: return false;
            }
        }
        if (e.control == Tree) {
            switch (e.event) {
            case rt::Event::Expanded:
                failed(tree.expand(e.row));
                show(e.row);
                return true;
            case rt::Event::Contracted:
                failed(tree.contract(e.row));
                show(std::min(e.row, tree.count()));
                return true;
            case rt::Event::NewSelection: newSelection(w[Tree].selected()); return true;
            case rt::Event::AlertKey: {
                const int row = e.row > 0 ? e.row : w[Tree].selected();
                if (e.keyCode == rt::keys::KeypadPlus) {
                    failed(tree.expand(row));
                    show(row);
                } else if (e.keyCode == rt::keys::KeypadMinus) {
                    failed(tree.contract(row));
                    show(std::min(row, tree.count()));
                } else if (e.keyCode == rt::keys::MouseRight) {
                    if (row >= 1) newSelection(row);
                    switch (rt::popup("E&xpand Level|Con&tract Level|-|&Refresh Tree", e.x, e.y)) {
                    case 1:
                        failed(tree.expand(row));
                        show(row);
                        break;
                    case 2:
                        failed(tree.contract(row));
                        show(std::min(row, tree.count()));
                        break;
                    case 3: reload(); break;
                    default: break;
                    }
                }
                return true;
            }
            default: return false;
            }
        }
        if (e.event == rt::Event::Accepted && e.control == TreeOk) {
            wc.close(wc.request() == rt::request::Select ? rt::response::Cancelled : rt::response::Completed);
            return true;
        }
        if (e.event == rt::Event::Accepted && e.control == Execute) {
            // Only a cube row names a cube; a group or the root row opens nothing.
            const int row = w[Tree].selected();
            if (row >= 1 && row <= tree.count() && tree.row(row).instance == 2 && PivotViewerAvailable()) {
                OpenPivotViewer(tree.row(row).cubeId);
                reload();
            }
            return true;
        }
        return false;
    };
    wc.run();
}
