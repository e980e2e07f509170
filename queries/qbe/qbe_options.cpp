#include "queries/qbe/qbe_options.h"

#include <functional>
#include <mutex>

#include "runtime/ini/profile.h"
#include "runtime/text/strings.h"

namespace {

std::mutex optionsLock;
QBEOptionValues options;

// Every key of the options file with its value's place; walked to read and to write.
void eachKey(QBEOptionValues& o, const std::function<void(const std::string& key, long& value)>& number,
             const std::function<void(const std::string& key, std::string& text)>& text) {
    for (std::size_t i = 0; i < o.reportColor.size(); ++i)
        number("Report color" + std::to_string(i + 1), o.reportColor[i]);
    for (std::size_t i = 0; i < o.reportText.size(); ++i) text("Report text" + std::to_string(i + 1), o.reportText[i]);
    number("Report fontsize", o.reportFontSize);
    number("Report width", o.reportWidth);
    number("Report height", o.reportHeight);
    number("Report left", o.reportLeft);
    number("Report right", o.reportRight);
    number("Report top", o.reportTop);
    number("Report buttom", o.reportBottom);
    number("Report min", o.reportMinColumn);
    number("Report max", o.reportMaxColumn);
    number("Report source", o.reportSource);
    number("Report break", o.reportBreak);
    for (std::size_t i = 0; i < o.viewColor.size(); ++i) number("View color" + std::to_string(i + 1), o.viewColor[i]);
    number("View columnwidth", o.viewColumnWidth);
    number("View columnheight", o.viewColumnHeight);
    number("View fontsize", o.viewFontSize);
}

}  // namespace

void QBEOptionValues::defaultSize() {
    const QBEOptionValues d;
    reportWidth = d.reportWidth;
    reportHeight = d.reportHeight;
    reportLeft = d.reportLeft;
    reportRight = d.reportRight;
    reportTop = d.reportTop;
    reportBottom = d.reportBottom;
    reportMinColumn = d.reportMinColumn;
    reportMaxColumn = d.reportMaxColumn;
    reportSource = d.reportSource;
    reportBreak = d.reportBreak;
}

void QBEOptionValues::defaultColors() { reportColor = QBEOptionValues().reportColor; }

void QBEOptionValues::defaultTexts() {
    const QBEOptionValues d;
    reportText = d.reportText;
    reportFontSize = d.reportFontSize;
}

void QBEOptionValues::defaultView() {
    const QBEOptionValues d;
    viewColor = d.viewColor;
    viewColumnWidth = d.viewColumnWidth;
    viewColumnHeight = d.viewColumnHeight;
    viewFontSize = d.viewFontSize;
}

QBEOptionValues CurrentQBEOptions() {
    std::lock_guard lock(optionsLock);
    return options;
}

void SetQBEOptions(const QBEOptionValues& values) {
    std::lock_guard lock(optionsLock);
    options = values;
}

void LoadQBEOptions(std::string_view file) {
    QBEOptionValues read;
    eachKey(
        read,
        [&](const std::string& key, long& value) {
            value = static_cast<long>(rt::getProfileNumber(file, kQBESetupSection, key, value));
        },
        [&](const std::string& key, std::string& text) {
            text = std::string(rt::cutChars(rt::getProfileString(file, kQBESetupSection, key, text), 99));
        });
    SetQBEOptions(read);
}

bool SaveQBEOptions(std::string_view file) {
    QBEOptionValues o = CurrentQBEOptions();
    bool ok = true;
    eachKey(
        o,
        [&](const std::string& key, long& value) {
            ok = rt::writeProfileNumber(file, kQBESetupSection, key, value) && ok;
        },
        [&](const std::string& key, std::string& text) {
            ok = rt::writeProfileString(file, kQBESetupSection, key, text) && ok;
        });
    return ok;
}

bool IsQBESource(std::string_view name) {
    for (auto s : kQBESources)
        if (s == name) return true;
    return false;
}

std::vector<QBEColumn> QBESourceFields(std::string_view source, std::string_view file) {
    std::vector<QBEColumn> fields;
    const long long count = rt::getProfileNumber(file, source, "FIELDS", 0);
    for (long long i = 1; i <= count; ++i) {
        const std::string value = rt::getProfileString(file, source, "FIELD" + std::to_string(i), "");
        std::vector<std::string> parts;
        std::size_t from = 0;
        while (parts.size() < 4) {
            const std::size_t comma = value.find(',', from);
            parts.emplace_back(rt::clip(
                rt::trimBlanks(value.substr(from, comma == std::string::npos ? std::string::npos : comma - from))));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
        parts.resize(4);
        QBEColumn c;
        c.NUMBER = static_cast<long>(i);
        c.NAME = parts[0];
        c.HEADER = parts[1];
        c.PICTURE = parts[2];
        c.JUSTIFY = parts[3];
        fields.push_back(std::move(c));
    }
    return fields;
}
