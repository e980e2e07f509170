#pragma once
// The class library's error manager: the messages for table errors and the calling thread's
// stack of procedure names that those messages name (kept in the thread's error status).
//
//   rt::ProcedureName name("BrowseWerte");     // pushed now, popped at the end of the scope
//   if (rm.insert() != 0) errors.throwFile(rm.label());   // message box titled "BrowseWerte"

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/thread/thread_state.h"  // ProcedureName

namespace rt {

class ErrorManager {
public:
    ErrorManager() = default;
    virtual ~ErrorManager() = default;
    ErrorManager(const ErrorManager&) = delete;
    ErrorManager& operator=(const ErrorManager&) = delete;

    void init();
    void kill();
    bool started() const;

    // The calling thread's name stack.
    static void pushProcedure(std::string name);
    static void popProcedure();
    static std::string procedure();                // innermost, empty when none
    static std::vector<std::string> procedures();  // outermost first

    // The message for a table error of the calling thread's error status (code and texts), for a
    // table (its label); shown in a message box titled with the current procedure name. Returns
    // the error code. A code 0 shows nothing.
    int throwFile(std::string_view table);
    int throwFile(int code, std::string_view table);
    // Any message of the class library, titled with the current procedure name.
    void throwMessage(std::string_view text);
    // The text throwFile shows for the calling thread's error status.
    static std::string fileErrorMessage(int code, std::string_view table);

    // The numbered messages of opening a file (its name), with the calling thread's error status;
    // each returns the button chosen (the preset one when a reporter takes the message).
    enum OpenMessage : int {
        CreateFailed = 12,   // the missing file could not be made (OK)
        OpenFailed = 29,     // the file cannot be opened: Ok ends the program, Cancel goes back
        RebuildFailed = 32,  // its keys could not be made again (OK)
        RebuildKey = 33,     // its keys are damaged: Yes makes them again, No leaves them
    };
    int throwMessage(OpenMessage number, std::string_view file);

    // Where messages go (tests, or a program without display); default rt::message.
    void setReporter(std::function<void(const std::string& title, const std::string& text)> reporter);

private:
    void report(const std::string& text);

    mutable std::mutex mutex_;
    bool started_ = false;
    std::function<void(const std::string&, const std::string&)> reporter_;
};

}  // namespace rt
