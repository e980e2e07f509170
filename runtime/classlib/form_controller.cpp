#include "runtime/classlib/form_controller.h"

#include <cassert>
#include <map>

#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/error_manager.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace rt {

namespace {

// The values of the last stored record per form and control, for this thread.
thread_local std::map<std::string, std::map<int, std::string>> fieldHistory;

bool isTextField(FieldType t) {
    return t == FieldType::String || t == FieldType::CString || t == FieldType::Memo || t == FieldType::Blob;
}

}  // namespace

FormController::FormController(Window& window, std::string procedure, RelationManager& table)
    : WindowController(window, std::move(procedure)), table_(table) {
    toolbar().setTarget(this);
}

FormController::~FormController() { toolbar().removeTarget(this); }

void FormController::bind(int control, std::string_view fieldLabel) { bind(control, table_.file(), fieldLabel); }

void FormController::bind(int control, FileManager& file, std::string_view fieldLabel) {
    int field = file.desc().find(fieldLabel);
    assert(field >= 0 && "form control bound to no field");
    bindings_.push_back(Binding{control, &file, field});
}

void FormController::showControl(const Binding& b) {
    if (!window().has(b.control)) return;
    ControlRef c = window().control(b.control);
    const ControlState& s = c.state();
    const FieldDesc& f = b.file->desc().field(static_cast<std::size_t>(b.field));
    std::string text;
    if (isTextField(f.type))
        text = std::string(clip(b.file->desc().text(b.file->buffer(), static_cast<std::size_t>(b.field))));
    else if (s.kind == ControlKind::Check || s.kind == ControlKind::Option)
        text = b.file->desc().text(b.file->buffer(), static_cast<std::size_t>(b.field));
    else
        text = fieldDisplayText(*b.file, b.field, s.picture);
    if (s.kind == ControlKind::DropList && s.list) {
        int row = 0;
        for (std::size_t i = 0; i < s.list->rows.size(); ++i)
            if (!s.list->rows[i].cells.empty() && equalsTrimmed(s.list->rows[i].cells[0].text, text))
                row = static_cast<int>(i) + 1;
        c.setSelected(row);
    }
    c.setValue(text);
}

void FormController::readControl(const Binding& b) {
    if (!window().has(b.control)) return;
    ControlRef c = window().control(b.control);
    const ControlState& s = c.state();
    const RecordDesc& desc = b.file->desc();
    std::size_t idx = static_cast<std::size_t>(b.field);
    const FieldDesc& f = desc.field(idx);
    const std::string& v = s.value;
    if (isTextField(f.type) || s.kind == ControlKind::Check || s.kind == ControlKind::Option || s.picture.empty()) {
        desc.setText(b.file->buffer(), idx, v);
        return;
    }
    switch (pictureKind(s.picture)) {
    case PictureKind::Number:
        if (f.type == FieldType::Decimal)
            desc.set(b.file->buffer(), idx, deformatNumber(v, s.picture));
        else
            desc.set(b.file->buffer(), idx, FieldValue(deformatInt64(v, s.picture)));
        break;
    case PictureKind::Date:
        desc.set(b.file->buffer(), idx, FieldValue(std::int64_t(deformatDate(v, s.picture))));
        break;
    case PictureKind::Time:
        desc.set(b.file->buffer(), idx, FieldValue(std::int64_t(deformatTime(v, s.picture))));
        break;
    default: desc.setText(b.file->buffer(), idx, v); break;
    }
}

void FormController::showRecord() {
    for (const auto& b : bindings_) showControl(b);
}

void FormController::readControls() {
    for (const auto& b : bindings_) readControl(b);
}

int FormController::init() {
    if (int rc = WindowController::init(); rc != 0) return rc;
    FileManager& fm = table_.file();
    std::uint8_t m = mode();
    if (m == request::Insert) {
        saved_ = fm.saveBuffer();
        bool keep = keepBuffer_;
        keepBuffer_ = false;
        if (int rc = table_.primeRecord(keep); rc != 0) {
            errors().throwFile(rc, table_.label());
            fm.restoreBuffer(saved_);
            return rc;
        }
        primed_ = true;
        if (onPrimed) onPrimed();
    } else {
        saved_ = fm.saveBuffer();
    }
    if (modeTitle) {
        if (auto title = modeTitle(m)) window().setTitle(*title);
    }
    if (cancel_ && window().has(cancel_)) window().control(cancel_).edit().cancelButton = true;
    bool readOnly = m == request::View || m == request::Delete;
    for (const auto& b : bindings_)
        if (window().has(b.control)) window().control(b.control).setReadOnly(readOnly);
    showRecord();
    window().alert(HistoryKey);
    setResponse(response::Cancelled);
    return 0;
}

bool FormController::store() {
    std::uint8_t m = mode();
    int rc = 0;
    if (m == request::Insert)
        rc = table_.insert();
    else if (m == request::Change)
        rc = table_.update();
    else if (m == request::Delete)
        rc = table_.deleteRecord();
    if (rc != 0) {
        errors().throwFile(rc, table_.label());
        return false;
    }
    primed_ = false;
    stored_ = true;
    if (m != request::Delete) keepHistory();
    return true;
}

bool FormController::takeOk() {
    if (mode() == request::View) {
        done_ = true;
        close(response::Cancelled);
        return true;
    }
    // A deletion cannot be undone: the user confirms it first, and only a clear yes deletes.
    if (mode() == request::Delete && message(DeleteQuestion, DeleteTitle, MessageIcon::Question,
                                             button::Yes | button::No, button::No) != button::Yes)
        return false;
    readControls();
    if (mode() != request::Delete && validate && !validate()) return false;
    if (!store()) return false;
    done_ = true;
    close(response::Completed);
    return true;
}

void FormController::takeCancel() {
    if (done_) return;
    done_ = true;
    if (primed_) {
        table_.cancelReserved();
        primed_ = false;
    }
    table_.file().restoreBuffer(saved_);
    close(response::Cancelled);
}

void FormController::keepHistory() {
    auto& kept = fieldHistory[procedure()];
    readControls();
    for (const auto& b : bindings_) {
        if (!history_.empty() && !history_.count(b.control)) continue;
        if (window().has(b.control)) kept[b.control] = window().control(b.control).value();
    }
}

bool FormController::restoreHistory(int control) {
    if (!control) control = window().focus();
    if (!control || (!history_.empty() && !history_.count(control))) return false;
    if (mode() == request::View || mode() == request::Delete) return false;
    auto f = fieldHistory.find(procedure());
    if (f == fieldHistory.end()) return false;
    auto v = f->second.find(control);
    if (v == f->second.end()) return false;
    window().control(control).setValue(v->second);
    for (const auto& b : bindings_)
        if (b.control == control) readControl(b);
    return true;
}

bool FormController::takeEvent(const EventInfo& event) {
    if (event.event == Event::CloseWindow && !closing()) {
        // The close box: as cancel.
        takeCancel();
        return WindowController::takeEvent(event);
    }
    if (WindowController::takeEvent(event)) return true;
    switch (event.event) {
    case Event::Accepted:
        if (event.control == ok_ && ok_) {
            takeOk();
            return true;
        }
        if (event.control == cancel_ && cancel_) {
            takeCancel();
            return true;
        }
        for (const auto& b : bindings_)
            if (b.control == event.control) readControl(b);
        return false;
    case Event::NewSelection:
        for (const auto& b : bindings_)
            if (b.control == event.control) readControl(b);
        return false;
    case Event::AlertKey:
        if (event.keyCode == HistoryKey) {
            restoreHistory(event.control ? event.control : 0);
            return true;
        }
        return false;
    default: return false;
    }
}

bool FormController::takeToolbar(int button) {
    int move = vcr::None;
    switch (button) {
    case toolbar::History: restoreHistory(); return true;
    case toolbar::Top: move = vcr::Top; break;
    case toolbar::PageUp: move = vcr::PageUp; break;
    case toolbar::Up: move = vcr::Up; break;
    case toolbar::Down: move = vcr::Down; break;
    case toolbar::PageDown: move = vcr::PageDown; break;
    case toolbar::Bottom: move = vcr::Bottom; break;
    default: return true;  // the list's buttons do nothing on a form
    }
    if (mode() != request::Change) return true;
    if (takeOk()) ThreadVcrRequest = move;
    return true;
}

}  // namespace rt
