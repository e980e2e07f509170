#include "core/updater/update_log_list.h"

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/data/view_manager.h"
#include "runtime/ui/window.h"

using namespace updatelog;

void BrowseDBUpdateLog() {
    rt::Window w("BrowseDBUpdateLog", "DBUpdateLog");
    w.setMdiChild(true);
    w.setPosition(0, 0, 440, 220);
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 432, 188);
    w.add(TabName, rt::ControlKind::Tab, Sheet).setText("Sortiert nach TableName");
    w.add(List, rt::ControlKind::List, TabName).setPosition(8, 20, 424, 168).setTip("Browsing the VOQDBUpdateLog file");
    w.add(Close, rt::ControlKind::Button)
        .setText("&Close")
        .setIcon("WACLOSE.ICO")
        .setTip("Close Window")
        .setPosition(382, 198, 54, 16);

    rt::WindowController wc(w, "BrowseDBUpdateLog");
    CommonWindow common(wc);
    wc.addFile(*Relate.VOQDBUpdateLog);
    rt::ViewManager view(*Access.VOQDBUpdateLog);
    rt::BrowseManager list(wc, List, view);
    list.addColumn("DBU Table Name", 195, "VOQ:DBU_TableName", "@s50");
    list.addColumn("Version", 28, "VOQ:DBU_Version", "@n_5");
    list.addColumn("Typ", 60, "VOQ:DBU_Type", "@s30");
    list.addColumn("Updated Date", 54, "VOQ:DBU_Updated_Date", "@d17");
    list.addColumn("Updated Time", 80, "VOQ:DBU_Updated_Time", "@t7");
    list.setSheet(Sheet);
    list.addSortOrder(rt::sortByKey(TabName, "VOQ:DBU_byTableName", rt::Locator::Step, "VOQ:DBU_TableName"));
    list.setCloseButton(Close);
    CommonList commonList(common, list);
    wc.run();
}
