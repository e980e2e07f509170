#pragma once
// The list-format manager: the user's column layouts of a list, kept per application and list
// procedure in a local table file ("Formats.FDB"), with the built-in layout "&Default Format"
// (the list as designed). One manager per thread and list procedure: made when the list is
// first opened on the thread, released when the thread ends. The layout in use is noted in the
// settings file (section = procedure, key "ListFormat") and applied when the list opens again.
//
//   auto& formats = rt::ListFormatManager::forThread("BrowseWerte");
//   formats.init("BrowseWerte", "VOQKivorant", window, LIST, "Formats.FDB", ".\\VOQKIVORANT.INI");
//   formats.reset();                 // the layout last used
//   formats.saveFormat("Schmal");    // the list's column widths and sort order, shared by all
//   formats.applyFormat("&Default Format");
//   if (formats.kill() != 0) ...     // "List Format Manager cannot work properly!"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/record.h"

namespace rt {

class Window;
class FileManager;
class IniManager;
struct EventInfo;

struct ListFormatRecord {
    CString<41> AppName;
    CString<101> ProcName;
    CString<101> FormatName;
    CString<1001> Widths;   // column widths, "," separated
    CString<21> SortOrder;  // "SortOrder" and the number
};

class ListFormatManager {
public:
    static constexpr std::string_view DefaultFormat = "&Default Format";
    static constexpr std::string_view BrokenMessage = "List Format Manager cannot work properly!";

    // The calling thread's manager for a list procedure.
    static ListFormatManager& forThread(const std::string& procedure);
    static bool existsForThread(const std::string& procedure);

    ListFormatManager();
    ~ListFormatManager();
    ListFormatManager(const ListFormatManager&) = delete;
    ListFormatManager& operator=(const ListFormatManager&) = delete;

    // Attaches the list of a window; opens the format file (created when missing). 0, or the
    // table error when the file cannot be used (the manager then keeps the design layout).
    int init(std::string procedure, std::string application, Window& window, int listControl, std::string formatFile,
             IniManager* ini);
    // Applies the layout last used for the list (the design one when none is noted).
    void reset();
    bool works() const { return works_; }
    bool attached() const { return window_ != nullptr; }

    // The stored layouts of this list, read from the file now (other threads' too).
    std::vector<std::string> storedFormats();
    bool saveFormat(std::string_view name);
    bool applyFormat(std::string_view name);
    bool deleteFormat(std::string_view name);
    std::string currentFormat() const { return current_; }

    // The list's sort order (1-based); applying a stored layout switches the list to its order.
    void setSortOrder(int order);
    int sortOrder() const { return sortOrder_; }
    std::string sortOrderNote() const;  // "SortOrder" and the number
    std::function<void(int order)> onSortOrder;

    // The events the manager acts on itself (none of the list's: the list's popup calls it).
    bool takeEvent(const EventInfo& event);
    // The window "Format Setup": stored layouts, the columns and their widths.
    void setupDialog();

    // Notes the layout in use and detaches from the window. 0 when the manager worked; else it
    // could not use its file.
    int kill();

private:
    int withFile(const std::function<int(FileManager&)>& work);
    // Reads this procedure's stored layout `name` into record_; 0 when it is stored.
    int fetchFormat(FileManager& fm, const std::string& name);
    std::vector<int> currentWidths() const;
    void applyWidths(const std::vector<int>& widths);

    std::string procedure_, application_, formatFile_;
    IniManager* ini_ = nullptr;  // notes the layout in use; none notes nothing
    Window* window_ = nullptr;
    int list_ = 0;
    std::vector<int> designWidths_;
    std::string current_{DefaultFormat};
    int sortOrder_ = 1;
    bool works_ = true;
    ListFormatRecord record_;
};

}  // namespace rt
