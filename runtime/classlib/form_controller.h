#pragma once
// A form: one record of a table in the mode its caller asked for (ThreadRequest): insert,
// change, delete or view. The record is buffered: insert primes a new one (numbering and
// reserving it on a table with an auto-numbered key), change and delete keep the record as it
// was, and cancel puts that back (and gives up a reserved new record). OK stores (insert,
// change) or, once the user confirmed it, deletes and closes with "completed"; in view mode OK only closes,
// "cancelled".
//
//   rt::Window window("EditWerte", "GNEquates bearbeiten");
//   rt::FormController form(window, "EditWerte", *Relate.VOQGNEquates);
//   form.bind(ENTRY_ID, "GNE:ID");
//   form.setOkButton(OK);
//   form.setCancelButton(CANCEL);
//   form.modeTitle = [](std::uint8_t mode) { ... };   // the caption per mode
//   form.run();
//
// Field history: after a record was stored, the values of the history fields are kept (per
// thread and form); Ctrl+H or the toolbar's history button puts the kept value back into the
// focused field. The toolbar's navigation buttons store the record (change mode) and leave the
// move in ThreadVcrRequest for the calling list.

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/classlib/window_controller.h"
#include "runtime/data/file_manager.h"
#include "runtime/data/relation_manager.h"
#include "runtime/ui/event.h"

namespace rt {

class FormController : public WindowController, public ToolbarTarget {
public:
    static constexpr int HistoryKey = keys::Ctrl + 'H';
    // What OK asks in delete mode before it deletes (No is the default answer).
    static constexpr std::string_view DeleteQuestion = "Wollen Sie diesen Datensatz wirklich löschen?";
    static constexpr std::string_view DeleteTitle = "Datensatz löschen";

    FormController(Window& window, std::string procedure, RelationManager& table);
    ~FormController() override;

    // A control shows and edits a field (of the form's table, or of another file).
    void bind(int control, std::string_view fieldLabel);
    void bind(int control, FileManager& file, std::string_view fieldLabel);
    void setOkButton(int control) { ok_ = control; }
    void setCancelButton(int control) { cancel_ = control; }
    // Fields whose previous value the history brings back; all bound fields when none is named.
    void addHistory(int control) { history_.insert(control); }
    // The next insert keeps what the buffer holds (a copy) instead of clearing it.
    void setKeepBuffer(bool keep) { keepBuffer_ = keep; }

    // The caption for a mode; nullopt keeps the window's title.
    std::function<std::optional<std::string>(std::uint8_t mode)> modeTitle;
    // After priming a new record (the procedure's own defaults).
    std::function<void()> onPrimed;
    // Before storing; false keeps the form open.
    std::function<bool()> validate;

    RelationManager& table() const { return table_; }
    std::uint8_t mode() const { return request(); }
    bool stored() const { return stored_; }

    // The buffers into the bound controls, and back.
    void showRecord();
    void readControls();
    // OK and cancel as the buttons do them; OK answers false when nothing could be stored.
    bool takeOk();
    void takeCancel();
    // The kept value into the focused field; false when there is none.
    bool restoreHistory(int control = 0);

    int init() override;
    bool takeEvent(const EventInfo& event) override;
    bool takeToolbar(int button) override;

private:
    struct Binding {
        int control;
        FileManager* file;
        int field;
    };
    void readControl(const Binding& b);
    void showControl(const Binding& b);
    bool store();
    void keepHistory();

    RelationManager& table_;
    std::vector<Binding> bindings_;
    std::set<int> history_;
    int ok_ = 0, cancel_ = 0;
    bool keepBuffer_ = false;
    SavedBuffer saved_;
    bool primed_ = false;
    bool stored_ = false;
    bool done_ = false;
};

}  // namespace rt
