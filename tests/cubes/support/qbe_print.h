// A list's "&Drucken" through query by example: one saved definition of the list's table, then
// the load window, the report's preview and the print set-up, cancelled there.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/print/print_setup.h"
#include "core/print/report_preview.h"
#include "queries/qbe/qbe_definitions.h"
#include "queries/qbe/query_by_example.h"
#include "runtime/ui/headless_display.h"

namespace cubestest {

// The source text lists the identifier and one shown field; the definition shows that field.
inline void saveShownField(const std::string& source, const std::string& idName, const std::string& field,
                           const std::string& header) {
    std::ofstream("VOQKivorant.qbe") << "[" << source << "]\nFIELDS=2\nFIELD1=" << idName
                                     << ", ID, @n-14, R\nFIELD2=" << field << ", " << header << ", @s30, L\n";
    QBEColumn shown;
    shown.NUMBER = 2;
    shown.NAME = field;
    shown.HEADER = header;
    shown.type(1) = shown.type(kQBESlots) = qbecode::On;
    ASSERT_EQ(SaveQBEDefinition(header, source, 1, {QBESetAllColumn(), shown}), 0);
}

// Presses the list's print button and goes on to the print set-up, which is cancelled.
inline void printThroughTheDefinition(rt::TestDriver& user, rt::WindowId list, int printButton) {
    ASSERT_TRUE(user.enabled(list, printButton));
    user.press(list, printButton);
    auto load = user.waitWindow(qbe::kLoadTitle);
    ASSERT_EQ(user.rowCount(load, qbe::NameList), 1u);
    user.selectRow(load, qbe::NameList, 1);
    user.press(load, qbe::NameOk);
    auto preview = user.waitWindow(" Report Preview");
    user.press(preview, preview::BUTTON_PRINT);
    auto print = user.waitWindow("Print");
    user.press(print, printsetup::CANCEL_BUTTON);
    user.waitClosed(print);
}

}  // namespace cubestest
