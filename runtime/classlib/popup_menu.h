#pragma once
// The class library's popup menu: named items, separators, check items, and items that mimic a
// button of the window (shown only while the button is visible, disabled while it is, and
// choosing one presses the button).
//
// Definition texts (addItems): items separated by "|"; "-" alone is a separator, a leading "+"
// makes a checked and a leading "-" an unchecked check item, a leading "~" a disabled item.
//
//   rt::PopupMenu menu(window);
//   menu.addItemMimic("Insert", INSERT_BUTTON);
//   menu.addSeparator();
//   menu.addItems("Print|+Show hidden", {"Print", "Hidden"});
//   std::string chosen = menu.ask();  // "" when nothing was chosen

#include <string>
#include <string_view>
#include <vector>

#include "runtime/ui/display.h"

namespace rt {

class Window;

class PopupMenu {
public:
    explicit PopupMenu(Window* window = nullptr) : window_(window) {}
    void setWindow(Window* window) { window_ = window; }

    // name: what ask() returns; defaults to the text without "&" and blanks.
    void addItem(std::string text, std::string name = {});
    void addSeparator();
    void addItemMimic(std::string name, int button, std::string text = {});
    void addItems(std::string_view definition, std::vector<std::string> names = {});
    // The other menu's items, behind this one's.
    void append(const PopupMenu& other);
    void deleteItem(std::string_view name);
    void clear();

    void setItemEnabled(std::string_view name, bool enabled);
    void setItemCheck(std::string_view name, bool checked);
    bool itemCheck(std::string_view name) const;
    bool hasItem(std::string_view name) const;
    bool isMimic(std::string_view name) const;
    int itemCount() const;  // separators included

    // What the menu would show now (mimic items of hidden buttons left out, and separators that
    // would stand first, last or twice in a row).
    std::vector<PopupItem> shownItems() const;
    std::vector<std::string> shownNames() const;  // "" for separators
    // The menu in definition syntax, as shownItems.
    std::string definition() const;

    // Shows the menu at (x, y) in the window (-1: at the mouse). The chosen item's name, "" when
    // none was chosen; a chosen mimic item has pressed its button (posted Accepted) already; a
    // chosen check item has toggled.
    std::string ask(int x = -1, int y = -1);

private:
    struct Item {
        std::string name;
        PopupItem item;
        int mimic = 0;
    };
    Item* find(std::string_view name);
    const Item* find(std::string_view name) const;
    std::vector<const Item*> shown() const;

    Window* window_;
    std::vector<Item> items_;
};

// "&Insert..." -> "Insert".
std::string popupItemName(std::string_view text);

}  // namespace rt
