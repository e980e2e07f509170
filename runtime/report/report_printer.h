#pragma once
// The printer behind the page engine. The Qt part (runtime/report/qt) installs the one that
// prints through Qt PrintSupport; without it the engine has no printer and says so.

#include <functional>
#include <memory>
#include <string>

namespace rt {

struct PrintJobOptions {
    std::string title;       // document name
    std::string printer;     // empty: the default printer
    std::string outputFile;  // set: a PDF file instead of a printer
};

// One print job: pages are added one by one and go out when the job ends.
class ReportPrinter {
public:
    virtual ~ReportPrinter() = default;
    virtual bool begin(const PrintJobOptions& options) = 0;
    virtual bool printPage(const std::string& pageFile) = 0;
    virtual bool end() = 0;
    // After a printPage that failed: true when the output refused the job (the printer did not
    // take it, the file cannot be written) rather than the page being unreadable.
    virtual bool refused() const { return false; }
};

struct PrinterInfo {
    std::string name;  // as the set-up shows it
    std::string port;
};

using ReportPrinterFactory = std::function<std::unique_ptr<ReportPrinter>()>;
using PrinterInfoSource = std::function<PrinterInfo(const PrintJobOptions&)>;

// Process-wide; an empty factory removes the printer.
void setReportPrinter(ReportPrinterFactory factory, PrinterInfoSource info = {});
bool hasReportPrinter();
std::unique_ptr<ReportPrinter> makeReportPrinter();
PrinterInfo reportPrinterInfo(const PrintJobOptions& options);

}  // namespace rt
