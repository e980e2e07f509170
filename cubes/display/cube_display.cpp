#include "cubes/display/cube_display.h"

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "cubes/display/viewer_link.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/data/view_manager.h"
#include "runtime/expr/expression.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace cubedisplay;

std::string CubeDisplayFilter(std::string_view nameText) {
    std::string filter = "CUBK:Activ <> 0";
    const std::string_view name = rt::clip(nameText);
    if (!name.empty()) filter += " AND INSTRING(" + rt::quoteLiteral(name) + ", CUBK:CubeName,1,1)";
    return filter;
}

void BrowseCubeAnzeige() {
    rt::Window w("BrowseCubeAnzeige", "CubeAnzeige");
    w.setMdiChild(true);
    w.setPosition(0, 0, 357, 190);
    w.setMinSize(357, 190);
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 349, 160);
    w.add(TabName, rt::ControlKind::Tab, Sheet).setText("CubeName");
    w.add(TabId, rt::ControlKind::Tab, Sheet).setText("ID");
    w.add(PromptName, rt::ControlKind::Prompt, TabName).setText("&CubeName").setPosition(10, 22, 40, 10);
    w.add(EntryName, rt::ControlKind::Entry, TabName).setPicture("@s100").setPosition(54, 22, 120, 10);
    w.add(Filter, rt::ControlKind::Button, TabName).setIcon("qkqbe.ico").setTip("Filter").setPosition(178, 20, 16, 14);
    w.add(List, rt::ControlKind::List, Sheet).setPosition(8, 38, 341, 122);
    w.add(Show, rt::ControlKind::Button).setText("Anzeige").setPosition(250, 170, 50, 14);
    w.add(Close, rt::ControlKind::Button).setText("Close").setPosition(304, 170, 49, 14);
    if (!CubeViewerAvailable()) w[Show].disable();

    rt::WindowController wc(w, "BrowseCubeAnzeige");
    CommonWindow common(wc);
    wc.setIniManager(nullptr);  // the window's place and size are not kept
    wc.addFile(*Relate.VOQCubeKopf);
    rt::ViewManager view(*Access.VOQCubeKopf);
    rt::BrowseManager list(wc, List, view);
    list.addColumn("ID", 30, "CUBK:ID", "@n_6");
    list.addColumn("Activ", 9, "CUBK:Activ", "@n1");
    list.addColumn("CubeName", 64, "CUBK:CubeName", "@s20");
    list.addColumn("Beschreibung", 89, "CUBK:Beschreibung", "@s100");
    list.setSheet(Sheet);
    list.addSortOrder(rt::sortByKey(TabName, "CUBK:KeyCubeName"));
    list.addSortOrder(rt::sortByKey(TabId, "CUBK:KeyID", rt::Locator::Step, "CUBK:ID"));
    list.setCloseButton(Close);
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted) return false;
        if (e.control == Filter) {
            std::string error;
            auto predicate = rt::compileFilterPredicate(CubeDisplayFilter(w[EntryName].value()), error);
            if (!predicate) {
                rt::message(error, "Filter");
                return true;
            }
            list.setFilter(predicate);
            list.reset(false);
            w.select(List);
            return true;
        }
        if (e.control == Show) {
            if (list.rowsLoaded() == 0 || list.fetchSelected() != 0) return true;
            ShowCubeInViewer(CUBK.ID);
            list.refresh();
            return true;
        }
        return false;
    };
    CommonList commonList(common, list);
    wc.run();
}
