#pragma once
// Modal calls of a procedure: they run on the calling program thread, publish its window first,
// and block it until the user answered; meanwhile no window of that thread takes input.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/ui/display.h"

namespace rt {

class Window;

// "a|b|c" → {"a", "b", "c"}; an empty text is one empty item.
std::vector<std::string> splitBars(std::string_view text);

// Message box. "|" in the text starts a new line. Standard buttons give their button:: flag,
// a button list ("&Weiter|&Stop|&Ende") the 1-based position of the pressed button.
// defaultButton 0: the first button.
int message(std::string_view text, std::string_view title = {}, MessageIcon icon = MessageIcon::None,
            int buttons = button::Ok, int defaultButton = 0);
int message(std::string_view text, std::string_view title, MessageIcon icon, std::string_view buttonList,
            int defaultButton = 1);

// "Excel|*.XLS|Alle Dateien|*.*" → filters.
std::vector<FileFilter> parseFileFilters(std::string_view text);

// File open/save and folder dialogs. The process's working folder never changes.
FileDialogResult fileDialog(FileDialogRequest request);
FileDialogResult openFileDialog(std::string title, std::string file, std::string_view filters, int filterIndex = 1);
FileDialogResult saveFileDialog(std::string title, std::string file, std::string_view filters, int filterIndex = 1);
// An existing file or a new name: for a file that is opened, or made when it is not there yet.
FileDialogResult openOrNewFileDialog(std::string title, std::string file, std::string_view filters,
                                     int filterIndex = 1);
FileDialogResult folderDialog(std::string title, std::string folder);

ColorDialogResult colorDialog(std::string title, Color color);
// The printer dialog, or with setupOnly the printer set-up: the printer chosen there is the
// program's printer for the rest of the run.
PrinterDialogResult printerDialog(std::string title, bool setupOnly = false);
// The printer chosen in the printer set-up; empty: the system's default printer.
std::string setupPrinter();

// Popup menu from a definition: items separated by "|"; "-" alone is a separator, a leading
// "-" or "+" makes a check item (unchecked / checked), a leading "~" disables it. Returns the
// 1-based position of the chosen item among the non-separator items, 0 when none was chosen.
std::vector<PopupItem> parsePopup(std::string_view definition);
int popup(std::string_view definition, int x = -1, int y = -1);

void setClipboard(const std::string& text);
std::string clipboard();

// The standard Cut, Copy and Paste of an Edit menu, on the selection in the control of the
// window that has the focus: an entry, text, spin or combo box. Copy puts the selected text on the
// clipboard (nothing selected: the clipboard keeps what it has); Cut also removes it from a
// control that takes input. Paste puts the clipboard's text in place of the selection, or at the
// text cursor, and leaves the cursor behind it; in a one-line control only the clipboard's first
// line, and no more than the value keeps within the length of a text picture. Gives the control
// whose value changed, else 0.
enum class EditCommand { Cut, Copy, Paste };
int editFocused(Window& window, EditCommand command);
// The same on the control `id`, focused or not; with a limit, a paste leaves the value no
// longer than that many characters.
int editControl(Window& window, int id, EditCommand command, std::size_t limit = 0);
void beep(Beep kind = Beep::Default);
void setPointer(Pointer pointer);

}  // namespace rt
