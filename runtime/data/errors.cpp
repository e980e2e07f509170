#include "runtime/data/errors.h"

namespace rt {

std::string dataErrorText(int code) {
    switch (code) {
    case 0: return "";
    case 2: return "File Not Found";
    case 3: return "Path Not Found";
    case 5: return "Access Denied";
    case 30: return "Entry Not Found";
    case 33: return "Record Not Available";
    case 35: return "Record Not Found";
    case 37: return "File Not Open";
    case 38: return "Invalid Key File";
    case 40: return "Creating Duplicate Key";
    case 46: return "Invalid Filter or Order";
    case 47: return "Invalid Record Declaration";
    case 48: return "Related Records Exist";
    case 52: return "File Already Open";
    case 89: return "Record Changed By Another Station";
    case 90: return "File System Error";
    default: return "Error " + std::to_string(code);
    }
}

}  // namespace rt
