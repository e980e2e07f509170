#include "runtime/text/picture.h"

namespace rt {

PictureKind pictureKind(std::string_view) noexcept { return PictureKind::Invalid; }
int pictureWidth(std::string_view) { return 0; }
std::string formatPicture(std::string_view text, std::string_view) { return std::string(text); }
std::string formatPicture(const char* text, std::string_view picture) { return formatPicture(std::string_view(text ? text : ""), picture); }
std::string formatPicture(const std::string& text, std::string_view picture) { return formatPicture(std::string_view(text), picture); }
std::string formatPicture(std::int64_t, std::string_view) { return {}; }
std::string formatPicture(int value, std::string_view picture) { return formatPicture(static_cast<std::int64_t>(value), picture); }
std::string formatPicture(double, std::string_view) { return {}; }
std::string formatPicture(const DecimalValue&, std::string_view) { return {}; }
PictureValue deformatPicture(std::string_view, std::string_view) { return {}; }
DecimalValue deformatNumber(std::string_view, std::string_view) { return {}; }
std::int64_t deformatInt64(std::string_view, std::string_view) { return 0; }
DateNumber deformatDate(std::string_view, std::string_view) { return 0; }
TimeNumber deformatTime(std::string_view, std::string_view) { return 0; }
void setSystemDateFormat(std::string_view) {}
void setSystemLongDateFormat(std::string_view) {}
void setSystemTimeFormat(std::string_view, std::string_view) {}
void resetSystemFormats() {}
std::string systemDateFormat() { return "dd.MM.yyyy"; }
std::string systemTimeFormat() { return "HH:mm"; }
std::string systemLongTimeFormat() { return "HH:mm:ss"; }
std::string formatDatePattern(DateNumber, std::string_view) { return {}; }
std::string formatTimePattern(TimeNumber, std::string_view) { return {}; }
DateNumber parseDatePattern(std::string_view, std::string_view) { return 0; }
TimeNumber parseTimePattern(std::string_view, std::string_view) { return 0; }

}  // namespace rt
