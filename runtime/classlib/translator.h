#pragma once
// The class library's translator. There are no translations: it hands every text back as it
// is and collects the texts it was shown, to write them into its extract file ("Extract.trn")
// when it is closed, one per line, sorted, so that a translation can be made from them.

#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace rt {

class Window;

class Translator {
public:
    Translator() = default;
    virtual ~Translator() = default;
    Translator(const Translator&) = delete;
    Translator& operator=(const Translator&) = delete;

    void init();  // forgets what was collected
    // Writes the extract file anew when its name is not blank; false when it could not be written.
    bool kill();
    void setExtractFileName(std::string name);
    std::string extractFileName() const;

    std::string translateText(std::string_view text);
    // Goes over a window's title, control texts, tips, help lines and list headings.
    void translateWindow(Window& window);
    std::set<std::string> collected() const;

private:
    mutable std::mutex mutex_;
    std::string extractFile_;
    std::set<std::string> collected_;
};

}  // namespace rt
