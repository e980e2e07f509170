#include "pivot/property_pages.h"

#include "pivot/number_format.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace pivot {

namespace {

enum Controls {
    FIELD_PROMPT = 1,
    FIELD,
    CAPTION_PROMPT,
    CAPTION,
    ORIENT_PROMPT,
    ORIENT,
    AGG_PROMPT,
    AGG,
    FORMAT_PROMPT,
    FORMAT,
    OK,
    CANCEL,
    APPLY
};

const char* kOrientations = "Ausgeblendet|Spalte|Zeile|Daten|Seite";
const char* kAggregates =
    "Summe|Anzahl|Mittelwert|Maximum|Minimum|Standardabweichung|Standardabweichung (N)|"
    "Varianz|Varianz (N)";

}  // namespace

void showPropertyPages(PivotControl& control) {
    auto fields = control.fields();
    rt::Window w("PivotEigenschaften", "Eigenschaften");
    w.setModal(true).setPosition(0, 0, 240, 112);
    std::string names;
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldDef& f = fields[i];
        names += (i ? "|" : "") + std::to_string(i + 1) + ". " + (f.caption.empty() ? f.name : f.caption);
    }
    w.add(FIELD_PROMPT, rt::ControlKind::Prompt).setText("&Feld:").setPosition(6, 8, 60, 10);
    w.add(FIELD, rt::ControlKind::DropList).setFrom(names).setPosition(70, 6, 160, 12);
    w.add(CAPTION_PROMPT, rt::ControlKind::Prompt).setText("&Beschriftung:").setPosition(6, 24, 60, 10);
    w.add(CAPTION, rt::ControlKind::Entry).setPosition(70, 22, 160, 12);
    w.add(ORIENT_PROMPT, rt::ControlKind::Prompt).setText("&Anordnung:").setPosition(6, 40, 60, 10);
    w.add(ORIENT, rt::ControlKind::DropList).setFrom(kOrientations).setPosition(70, 38, 160, 12);
    w.add(AGG_PROMPT, rt::ControlKind::Prompt).setText("F&unktion:").setPosition(6, 56, 60, 10);
    w.add(AGG, rt::ControlKind::DropList).setFrom(kAggregates).setPosition(70, 54, 160, 12);
    w.add(FORMAT_PROMPT, rt::ControlKind::Prompt).setText("&Zahlenformat:").setPosition(6, 72, 60, 10);
    w.add(FORMAT, rt::ControlKind::Entry).setPosition(70, 70, 160, 12);
    w.add(OK, rt::ControlKind::Button).setText("OK").setPosition(70, 92, 50, 14);
    w.add(CANCEL, rt::ControlKind::Button).setText("Abbrechen").setPosition(125, 92, 50, 14);
    w.add(APPLY, rt::ControlKind::Button).setText("Ü&bernehmen").setPosition(180, 92, 50, 14);

    int current = -1;
    auto show = [&](int i) {
        current = i;
        const FieldDef& f = fields[size_t(i)];
        w[FIELD].setSelected(i + 1);
        w[CAPTION].setValue(f.caption);
        w[ORIENT].setSelected(f.orientation + 1);
        w[AGG].setSelected(f.aggregate + 1);
        w[FORMAT].setValue(f.numberFormat);
    };
    // The shown field's values into the control; false (and a message) when the format is bad.
    auto apply = [&]() -> bool {
        if (current < 0) return true;
        FieldDef f = fields[size_t(current)];
        f.caption = w[CAPTION].state().value;
        f.orientation = std::clamp(w[ORIENT].state().selected - 1, 0, 4);
        f.aggregate = std::clamp(w[AGG].state().selected - 1, 0, 8);
        f.numberFormat = w[FORMAT].state().value;
        if (!validNumberFormat(f.numberFormat)) {
            rt::message("Das Zahlenformat " + f.numberFormat + " ist ungültig.", "Eigenschaften",
                        rt::MessageIcon::Exclamation);
            w.select(FORMAT);
            return false;
        }
        control.setFieldProperties(current, f);
        fields = control.fields();
        return true;
    };
    if (fields.empty()) {
        for (int c : {CAPTION, ORIENT, AGG, FORMAT, APPLY}) w[c].disable();
    } else {
        show(0);
    }
    for (;;) {
        rt::EventInfo e = w.accept();
        if (e.event == rt::Event::None) break;
        if (e.event != rt::Event::Accepted) continue;
        switch (e.control) {
        case FIELD: {
            int chosen = w[FIELD].state().selected - 1;
            if (chosen == current || chosen < 0) break;
            if (apply())
                show(chosen);
            else
                w[FIELD].setSelected(current + 1);
            break;
        }
        case APPLY: apply(); break;
        case OK:
            if (apply()) w.close();
            break;
        case CANCEL: w.close(); break;
        default: break;
        }
    }
}

}  // namespace pivot
