#include "runtime/classlib/translator.h"

#include "runtime/os/files.h"
#include "runtime/text/strings.h"
#include "runtime/ui/window.h"

namespace rt {

void Translator::init() {
    std::lock_guard lock(mutex_);
    collected_.clear();
}

bool Translator::kill() {
    std::string name;
    std::string content;
    {
        std::lock_guard lock(mutex_);
        name = std::string(clip(extractFile_));
        if (name.empty()) return true;
        for (const auto& text : collected_) content += text + "\r\n";
    }
    return writeFileReplacing(name, content);
}

void Translator::setExtractFileName(std::string name) {
    std::lock_guard lock(mutex_);
    extractFile_ = std::move(name);
}

std::string Translator::extractFileName() const {
    std::lock_guard lock(mutex_);
    return extractFile_;
}

std::string Translator::translateText(std::string_view text) {
    std::string clipped(clip(text));
    if (!clipped.empty()) {
        std::lock_guard lock(mutex_);
        collected_.insert(std::move(clipped));
    }
    return std::string(text);
}

void Translator::translateWindow(Window& window) {
    if (!window.title().empty()) window.setTitle(translateText(window.title()));
    for (int id : window.controlIds()) {
        ControlRef c = window.control(id);
        const ControlState& s = c.state();
        // Entries and texts show data, not captions.
        bool caption = s.kind != ControlKind::Entry && s.kind != ControlKind::Text &&
                       s.kind != ControlKind::DropCombo && s.kind != ControlKind::Spin;
        if (caption && !s.text.empty()) c.setText(translateText(s.text));
        if (!s.tip.empty()) c.setTip(translateText(s.tip));
        if (!s.help.empty()) c.setHelp(translateText(s.help));
        if (s.kind == ControlKind::List && s.list) {
            for (const auto& col : s.list->columns) translateText(col.heading);
        }
    }
}

std::set<std::string> Translator::collected() const {
    std::lock_guard lock(mutex_);
    return collected_;
}

}  // namespace rt
