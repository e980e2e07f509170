#pragma once
// The class library's list: the records of a view in a list control, loaded a page at a time,
// with sort orders (a tab each), locators, buttons that call the list's form with a request,
// select mode, the popup menu and the toolbar.
//
//   rt::ViewManager view(*Access.VOQGNEquates);
//   rt::BrowseManager list(wc, LIST, view);
//   list.addColumn("ID", 21, "GNE:ID", "@N4");
//   list.addColumn("Bezeichnung", 80, "GNE:Bezeichnung", "@s20");
//   list.addSortOrder(rt::sortByKey(TAB_ID, "GNE:KeyID", rt::Locator::Step, "GNE:ID"));
//   list.setButtons(INSERT, CHANGE, DELETE, SELECT);
//   list.setCloseButton(CLOSE);
//   wc.setProcedure(1, EditWerte);
//   list.setFormProcedure(1);
//
// Rows are numbered from 1 in the order loaded; each row keeps a copy of the records it shows
// (the primary's and those of addBufferFile), and fetchSelected() reads the selected record
// anew so that it can be changed or deleted.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/classlib/popup_menu.h"
#include "runtime/classlib/toolbar.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/data/file_manager.h"
#include "runtime/data/queue.h"
#include "runtime/data/view_manager.h"
#include "runtime/ui/model.h"
#include "runtime/ui/queue_list.h"

namespace rt {

class ListFormatManager;

enum class Locator {
    None,
    Step,         // a typed character moves to the first row at or after it
    Incremental,  // typed characters add up (Backspace takes one back)
    Entry,        // the text of an entry, when it is accepted
};

struct BrowseSortOrder {
    int tab = 0;        // tab control that chooses the order; 0: none
    std::string key;    // key of the primary (label or name); empty: order text or record order
    std::string order;  // order text for the view when no key is given
    Locator locator = Locator::None;
    std::string locatorField;  // field label of the primary
    int locatorControl = 0;    // the entry of an entry locator
    bool keepText = true;      // the entry keeps the located text
    ViewPredicate filter;      // narrows the view while the order is chosen
};

// An order by a key of the primary, chosen by a tab, with its locator.
inline BrowseSortOrder sortByKey(int tab, std::string key, Locator locator = Locator::None,
                                 std::string locatorField = {}, int locatorControl = 0) {
    BrowseSortOrder o;
    o.tab = tab;
    o.key = std::move(key);
    o.locator = locator;
    o.locatorField = std::move(locatorField);
    o.locatorControl = locatorControl;
    return o;
}

struct BrowseColumn {
    std::string heading;
    int width = 0;
    std::string picture;
    Justify justify = Justify::Left;
    Justify headingJustify = Justify::Left;
    bool resizable = true;
    FileManager* file = nullptr;  // with field: a field of a table's buffer
    int field = -1;
    std::function<std::string()> text;  // or computed from the buffers
};

class BrowseManager : public WindowComponent, public ToolbarTarget {
public:
    BrowseManager(WindowController& controller, int listControl, ViewManager& view);
    ~BrowseManager() override;
    BrowseManager(const BrowseManager&) = delete;
    BrowseManager& operator=(const BrowseManager&) = delete;

    // ---- Set-up ----
    // A field of the primary, or of a buffer file ("PREFIX:Name" finds its table).
    BrowseColumn& addColumn(std::string heading, int width, std::string_view fieldLabel, std::string picture = {},
                            Justify justify = Justify::Left);
    BrowseColumn& addColumn(std::string heading, int width, std::function<std::string()> text,
                            Justify justify = Justify::Left);
    // A joined table whose record each row keeps along with the primary's.
    void addBufferFile(FileManager& file);
    int addSortOrder(BrowseSortOrder order);  // its number, from 1
    void setSheet(int sheetControl);
    void setButtons(int insert, int change, int del, int select = 0);
    void setCloseButton(int control);                 // "cancelled" in select mode, else "completed"
    void setPrintButton(int control, int procedure);  // calls it with request 5 for the selected record
    void setFormProcedure(int procedure);
    void setPageSize(int rows) { pageSize_ = rows > 0 ? rows : 1; }
    int pageSize() const { return pageSize_; }
    void setListFormats(ListFormatManager* formats);
    // The list's own filter (a range, a query: rt::compileFilterPredicate makes one from a
    // text), applied together with the order's; reset() shows the result.
    void setFilter(ViewPredicate filter);
    ListFormatManager* listFormats() const { return formats_; }

    // Each row as it is loaded, with its load count from 1 since the list was opened (colours).
    std::function<void(ListRow& row, long long loadCount)> onRowLoaded;
    // Before the form opens for insert, change or delete; false: it does not open.
    std::function<bool(std::uint8_t request)> beforeForm;
    // After the form returned.
    std::function<void(std::uint8_t request, std::uint8_t response)> afterForm;
    // The procedure's own popup items (shown after the action buttons' items).
    PopupMenu& popup() { return extras_; }
    // A chosen item of the procedure's own (not one that mimics a button).
    std::function<void(const std::string& name)> onPopupItem;

    // ---- State ----
    int listControl() const { return list_; }
    bool selectMode() const;
    bool viewOnly() const;
    int sortOrder() const { return order_; }
    void setSortOrder(int order);  // and reads the list anew
    int selectedRow() const;
    void selectRow(int row);  // loads up to that row first
    int rowsLoaded() const { return static_cast<int>(entries_.size()); }
    bool allLoaded() const { return end_; }
    long long loadCount() const { return loadCount_; }

    // The selected row's records into the buffers, the primary read anew (0, or its error).
    int fetchSelected();
    // Reads the list from the start of the order again; keepCurrent: the primary buffer's record
    // stays selected when it is still in the view, else the same row number.
    int reset(bool keepCurrent = true);
    void refresh() { reset(true); }
    // Lets go of the view's tables (so that another file can be put in their place) and takes
    // them again; reopenView reads the list anew (0, or the open's error).
    void closeView();
    int reopenView();
    // Calls the form for insert, change or delete; its response.
    std::uint8_t ask(std::uint8_t request);
    // Moves to the first row at or after the text in the locator field's order; false when the
    // list is empty.
    bool locate(std::string_view text);
    std::string locatorText() const { return typed_; }
    // The popup as it would show now (names, "" for separators).
    std::vector<std::string> popupNames();
    void showPopup(int x = -1, int y = -1);

    // WindowComponent
    int init() override;
    void opened() override;
    bool takeEvent(const EventInfo& event) override;
    void kill() override;
    // ToolbarTarget
    bool takeToolbar(int button) override;

private:
    struct Entry {
        std::vector<SavedBuffer> buffers;  // primary, then the buffer files
        std::string locate;                // the locator field's text (upper case) or number
        std::string identity;              // identifying key values
    };
    bool loadOne();
    void loadUntil(int rows);
    void publishRows(std::size_t from);
    void applyOrder();
    std::string identityOfBuffer() const;
    std::string locateValueOfBuffer() const;
    void restoreEntry(const Entry& e);
    void takeSelect();
    void updateButtons();
    void updateAlerts(int focus);
    bool locatorNumeric() const;
    const BrowseSortOrder* currentOrder() const;
    void buildPopup(PopupMenu& menu);
    bool usable(int control) const;

    WindowController& wc_;
    Window& window_;
    int list_;
    ViewManager& view_;
    std::vector<BrowseColumn> columns_;
    std::vector<FileManager*> bufferFiles_;
    std::vector<BrowseSortOrder> orders_;
    ViewPredicate filter_;
    int order_ = 0;
    int sheet_ = 0;
    int insert_ = 0, change_ = 0, delete_ = 0, select_ = 0, close_ = 0, print_ = 0;
    int formProcedure_ = 0, printProcedure_ = 0;
    int pageSize_ = 200;  // a page fills any list on screen: the display reports no scrolling
    ListFormatManager* formats_ = nullptr;
    PopupMenu extras_;
    std::vector<Entry> entries_;
    // The rows of the loaded entries, which the list shows through snapshots: loading a page
    // publishes that page, not every row loaded before it.
    Queue<ListRow> rows_;
    QueueList<ListRow> shown_{rows_, [](const ListRow& row) { return row; }};
    bool end_ = false;
    bool viewOpen_ = false;
    long long loadCount_ = 0;
    std::string typed_;
    bool alerted_ = false;
    bool actionKeys_ = false;
};

// A record field's text as a list shows it under a picture (the field's own when empty).
std::string fieldDisplayText(const FileManager& file, int field, std::string_view picture);

}  // namespace rt
