#pragma once
// State every program thread has its own copy of, cleared when the thread starts.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace rt {

// Request a caller hands to the window procedure it calls next (0 none, 1 insert, 2 change,
// 3 delete, 4 select, 5 process, 6 view), the procedure's answer (1 completed, 2 cancelled) and
// the forms' navigation request.
extern thread_local constinit std::uint8_t ThreadRequest;
extern thread_local constinit std::uint8_t ThreadResponse;
extern thread_local constinit std::int32_t ThreadVcrRequest;

// The error status of the calling thread: the last run-time error (number and text), the driver's
// own code and text for file system errors (90), the file it concerned, and the stack of
// procedure names that error messages name.
struct ErrorStatus {
    int code = 0;
    std::string text;
    std::string fileErrorCode;
    std::string fileErrorText;
    std::string fileName;
    std::vector<std::string> procedureNames;

    void clearError() {
        code = 0;
        text.clear();
        fileErrorCode.clear();
        fileErrorText.clear();
        fileName.clear();
    }
};

ErrorStatus& errorStatus();

// Convenience for the common calls.
void setError(int code, std::string text, std::string fileName = {});
void setFileError(int code, std::string text, std::string fileErrorCode, std::string fileErrorText,
                  std::string fileName = {});
void clearError();
int errorCode();
const std::string& errorText();
const std::string& fileErrorCode();
const std::string& fileErrorText();

void pushProcedureName(std::string name);
void popProcedureName();
// Innermost procedure name, empty when none was pushed.
std::string currentProcedureName();

// Pushes a procedure name for the lifetime of the object: popped on every way out of the scope.
class ProcedureName {
public:
    explicit ProcedureName(std::string name) { pushProcedureName(std::move(name)); }
    ~ProcedureName() { popProcedureName(); }
    ProcedureName(const ProcedureName&) = delete;
    ProcedureName& operator=(const ProcedureName&) = delete;
};

// Puts the calling thread's state back to what a new thread starts with. startThread does this
// before the start hooks run.
void resetThreadState();

}  // namespace rt
