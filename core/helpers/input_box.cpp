#include "core/helpers/input_box.h"

#include "runtime/text/strings.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

std::string InputBox(std::string_view value, std::string_view prompt, std::string_view caption,
                     std::string_view message, int hideMessage, int keepCaption, int hidePrompt, int noValue) {
    rt::Window w("InputBox", "Input Box");
    w.setSize(260, 90);
    w.add(INPUTBOX_MESSAGE, rt::ControlKind::String).setPosition(6, 6, 190, 44);
    w.add(INPUTBOX_PROMPT, rt::ControlKind::Prompt).setPosition(6, 60, 60, 10);
    w.add(INPUTBOX_ENTRY, rt::ControlKind::Entry).setPosition(70, 60, 126, 12).setPicture("@s100");
    w.add(INPUTBOX_OK, rt::ControlKind::Button).setText("&OK").setPosition(204, 6, 50, 14);
    w.add(INPUTBOX_CANCEL, rt::ControlKind::Button).setText("&Cancel").setPosition(204, 24, 50, 14);
    w.control(INPUTBOX_OK).edit().defaultButton = true;

    int entryY = 60;
    if (hideMessage != 0) {
        w.control(INPUTBOX_MESSAGE).setText("");
        entryY = 39;  // the vertical middle of the window
    } else {
        w.control(INPUTBOX_MESSAGE).setText(std::string(rt::clip(message)));
    }
    if (keepCaption == 0) w.setTitle(std::string(rt::clip(caption)));
    if (hidePrompt != 0) {
        w.control(INPUTBOX_PROMPT).setText("").setPosition(6, entryY, 60, 10);
        w.control(INPUTBOX_ENTRY).setPosition(6, entryY, 190, 12);
    } else {
        w.control(INPUTBOX_PROMPT).setText(std::string(rt::clip(prompt))).setPosition(6, entryY, 60, 10);
        w.control(INPUTBOX_ENTRY).setPosition(70, entryY, 126, 12);
    }
    w.control(INPUTBOX_ENTRY).setValue(noValue == 0 ? std::string(rt::cutChars(rt::clip(value), 100)) : std::string());
    w.select(INPUTBOX_ENTRY);

    std::string answer;
    while (auto e = w.accept()) {
        if (e.event != rt::Event::Accepted) continue;
        if (e.control == INPUTBOX_OK) {
            std::string entry(rt::clip(rt::cutChars(w.control(INPUTBOX_ENTRY).value(), 100)));
            if (entry.empty()) {
                rt::beep();
                w.select(INPUTBOX_ENTRY);
                continue;
            }
            answer = entry;
            w.post(rt::Event::CloseWindow);
        } else if (e.control == INPUTBOX_CANCEL) {
            answer.clear();
            w.post(rt::Event::CloseWindow);
        }
    }
    return answer;
}
