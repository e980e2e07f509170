// Run-time error numbers of the table layer and their texts. Errors are reported through the
// calling thread's error status (runtime/thread/thread_state.h: errorCode(), errorText(),
// fileErrorCode(), fileErrorText()) and returned as the operation's result; 0 is success.
#pragma once

#include <string>

namespace rt {

enum DataError : int {
    NoError = 0,
    ErrFileNotFound = 2,
    ErrPathNotFound = 3,
    ErrAccessDenied = 5,
    ErrRecordNotAvailable = 33,  // end or start of the records reached
    ErrRecordNotFound = 35,      // no record with the key values
    ErrFileNotOpen = 37,
    ErrInvalidKeyFile = 38,  // a key of a local file is missing or damaged: rebuild it
    ErrDuplicateKey = 40,
    ErrInvalidFilter = 46,  // a view's filter or order was rejected
    ErrInvalidRecordDeclaration = 47,
    ErrRelatedRecords = 48,  // a restricting relation has children
    ErrFileAlreadyOpen = 52,
    ErrRecordChanged = 89,  // another station changed the record since it was read
    ErrFileSystem = 90,     // the driver's own code and text in fileErrorCode/fileErrorText
};

// The runtime's text for an error number ("Record Not Available", ...).
std::string dataErrorText(int code);

}  // namespace rt
