#include "runtime/thread/thread_state.h"

#include <cassert>
#include <utility>

namespace rt {

thread_local std::uint8_t ThreadRequest = 0;
thread_local std::uint8_t ThreadResponse = 0;
thread_local std::int32_t ThreadVcrRequest = 0;

namespace {
thread_local ErrorStatus status;
}

ErrorStatus& errorStatus() { return status; }

void setError(int code, std::string text, std::string fileName) {
    status.clearError();
    status.code = code;
    status.text = std::move(text);
    status.fileName = std::move(fileName);
}

void setFileError(int code, std::string text, std::string fileErrorCode, std::string fileErrorText,
                  std::string fileName) {
    setError(code, std::move(text), std::move(fileName));
    status.fileErrorCode = std::move(fileErrorCode);
    status.fileErrorText = std::move(fileErrorText);
}

void clearError() { status.clearError(); }
int errorCode() { return status.code; }
const std::string& errorText() { return status.text; }
const std::string& fileErrorCode() { return status.fileErrorCode; }
const std::string& fileErrorText() { return status.fileErrorText; }

void pushProcedureName(std::string name) { status.procedureNames.push_back(std::move(name)); }

void popProcedureName() {
    assert(!status.procedureNames.empty() && "procedure name popped that was never pushed");
    if (!status.procedureNames.empty()) status.procedureNames.pop_back();
}

std::string currentProcedureName() {
    return status.procedureNames.empty() ? std::string() : status.procedureNames.back();
}

void resetThreadState() {
    ThreadRequest = 0;
    ThreadResponse = 0;
    ThreadVcrRequest = 0;
    status = ErrorStatus{};
}

}  // namespace rt
