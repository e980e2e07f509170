#include "runtime/classlib/popup_menu.h"

#include <algorithm>

#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace rt {

std::string popupItemName(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != '&' && c != ' ' && c != '.') out.push_back(c);
    return out;
}

void PopupMenu::addItem(std::string text, std::string name) {
    if (text == "-") {
        addSeparator();
        return;
    }
    Item i;
    i.name = name.empty() ? popupItemName(text) : std::move(name);
    i.item.text = std::move(text);
    items_.push_back(std::move(i));
}

void PopupMenu::addSeparator() {
    Item i;
    i.item.separator = true;
    items_.push_back(std::move(i));
}

void PopupMenu::addItemMimic(std::string name, int button, std::string text) {
    Item i;
    i.name = std::move(name);
    i.item.text = std::move(text);
    i.mimic = button;
    items_.push_back(std::move(i));
}

void PopupMenu::addItems(std::string_view definition, std::vector<std::string> names) {
    std::size_t n = 0;
    for (auto& p : parsePopup(definition)) {
        Item i;
        i.item = p;
        if (!p.separator) {
            i.name = n < names.size() && !names[n].empty() ? names[n] : popupItemName(p.text);
            ++n;
        }
        items_.push_back(std::move(i));
    }
}

void PopupMenu::append(const PopupMenu& other) {
    for (const auto& i : other.items_) items_.push_back(i);
}

void PopupMenu::deleteItem(std::string_view name) {
    std::erase_if(items_, [&](const Item& i) { return !i.item.separator && i.name == name; });
}

void PopupMenu::clear() { items_.clear(); }

PopupMenu::Item* PopupMenu::find(std::string_view name) {
    for (auto& i : items_)
        if (!i.item.separator && i.name == name) return &i;
    return nullptr;
}
const PopupMenu::Item* PopupMenu::find(std::string_view name) const { return const_cast<PopupMenu*>(this)->find(name); }

void PopupMenu::setItemEnabled(std::string_view name, bool enabled) {
    if (auto* i = find(name)) i->item.enabled = enabled;
}
void PopupMenu::setItemCheck(std::string_view name, bool checked) {
    if (auto* i = find(name)) {
        i->item.checkable = true;
        i->item.checked = checked;
    }
}
bool PopupMenu::itemCheck(std::string_view name) const {
    auto* i = find(name);
    return i && i->item.checked;
}
bool PopupMenu::hasItem(std::string_view name) const { return find(name) != nullptr; }
bool PopupMenu::isMimic(std::string_view name) const {
    auto* i = find(name);
    return i && i->mimic != 0;
}
int PopupMenu::itemCount() const { return static_cast<int>(items_.size()); }

std::vector<const PopupMenu::Item*> PopupMenu::shown() const {
    std::vector<const Item*> out;
    for (const auto& i : items_) {
        if (i.mimic && window_) {
            if (!window_->has(i.mimic) || window_->control(i.mimic).hidden()) continue;
        }
        if (i.item.separator && (out.empty() || out.back()->item.separator)) continue;
        out.push_back(&i);
    }
    while (!out.empty() && out.back()->item.separator) out.pop_back();
    return out;
}

std::vector<PopupItem> PopupMenu::shownItems() const {
    std::vector<PopupItem> out;
    for (const Item* i : shown()) {
        PopupItem p = i->item;
        if (i->mimic && window_ && window_->has(i->mimic)) {
            auto c = window_->control(i->mimic);
            if (p.text.empty()) p.text = c.text();
            if (!c.enabled()) p.enabled = false;
        }
        out.push_back(std::move(p));
    }
    return out;
}

std::vector<std::string> PopupMenu::shownNames() const {
    std::vector<std::string> out;
    for (const Item* i : shown()) out.push_back(i->item.separator ? std::string() : i->name);
    return out;
}

std::string PopupMenu::definition() const {
    std::string out;
    for (const auto& p : shownItems()) {
        if (!out.empty()) out += '|';
        if (p.separator) {
            out += '-';
            continue;
        }
        if (!p.enabled) out += '~';
        if (p.checkable) out += p.checked ? '+' : '-';
        out += p.text;
    }
    return out;
}

std::string PopupMenu::ask(int x, int y) {
    auto shownNow = shown();
    std::string def = definition();
    if (def.empty()) return {};
    int chosen = popup(def, x, y);
    if (chosen <= 0) return {};
    int n = 0;
    for (const Item* i : shownNow) {
        if (i->item.separator) continue;
        if (++n != chosen) continue;
        Item* item = find(i->name);
        if (!item) return {};
        if (item->item.checkable) item->item.checked = !item->item.checked;
        if (item->mimic && window_) window_->post(Event::Accepted, item->mimic);
        return item->name;
    }
    return {};
}

}  // namespace rt
