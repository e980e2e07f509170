#pragma once
// The application's INI manager: one settings file named once, values fetched and updated by
// section and key (see profile.h for the file's rules), the list of the sections written
// through it (section "Sectors", key "__Dont_Touch_Me__"), and the kept ("preserved")
// variables loaded when the file is named and saved on request. Safe to share between threads.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rt {

class IniManager {
public:
    static constexpr std::string_view kPreservedSection = "Preserved";
    static constexpr std::string_view kSectorsSection = "Sectors";
    static constexpr std::string_view kSectorsKey = "__Dont_Touch_Me__";

    IniManager() = default;
    virtual ~IniManager() = default;
    IniManager(const IniManager&) = delete;
    IniManager& operator=(const IniManager&) = delete;

    // Names the file (relative names lie in the working folder): runs fetchPreserved, then
    // reads the list of written sections from the file.
    void init(std::string_view fileName) { setFileName(fileName); }
    void setFileName(std::string_view fileName);
    std::string fileName() const;

    // Writes the list of written sections back to the file. The manager stays usable.
    void close();

    std::string fetch(std::string_view section, std::string_view key, std::string_view defaultValue = {}) const;
    std::optional<std::string> tryFetch(std::string_view section, std::string_view key) const;
    // Read as text and converted (profileNumber): a non-numeric text gives 0.
    long long fetchNumber(std::string_view section, std::string_view key, long long defaultValue = 0) const;

    // The section goes into the list of written sections. False when the file was not written.
    bool update(std::string_view section, std::string_view key, std::string_view value);
    bool update(std::string_view section, std::string_view key, long long value);

    bool deleteKey(std::string_view section, std::string_view key);
    // Also takes the section out of the list of written sections.
    bool deleteSection(std::string_view section);

    // The sections written through this manager (and its earlier runs), in the order written.
    std::vector<std::string> writtenSections() const;

    // Kept variables of section "Preserved": the key is the variable's name. A missing key
    // loads as "" or 0. Numbers are written in decimal and read as profileNumber reads them.
    void preserveText(std::string key, std::function<std::string()> get, std::function<void(const std::string&)> set);
    void preserveNumber(std::string key, std::function<long long()> get, std::function<void(long long)> set);

    // The preserved-load hook, run when the file is named: loads the registered variables.
    virtual void fetchPreserved();
    // The preserved-save hook: writes the registered variables in the order registered.
    // An override lets this base hook run first, then writes its own keys.
    virtual void savePreserved();

private:
    struct Preserved {
        std::string key;
        std::function<std::string()> getText;
        std::function<void(const std::string&)> setText;
        std::function<long long()> getNumber;
        std::function<void(long long)> setNumber;
    };

    void noteSection(std::string_view section);
    std::vector<Preserved> preservedCopy() const;

    mutable std::mutex mutex_;
    std::string fileName_;
    std::vector<std::string> sections_;
    std::vector<Preserved> preserved_;
};

}  // namespace rt
