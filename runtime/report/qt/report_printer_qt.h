#pragma once
// The report engine's printer on Qt PrintSupport: each page picture is drawn at its own size
// and orientation onto the printer (the default CUPS printer, a named one, or a PDF file).
// Needs a QGuiApplication (or QApplication) in the process.

namespace rt::qt {

// Makes it the engine's printer (rt::setReportPrinter).
void installReportPrinter();

}  // namespace rt::qt
