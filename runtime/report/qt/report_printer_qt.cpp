#include "runtime/report/qt/report_printer_qt.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSvgRenderer>

#include <memory>

#include "runtime/os/path.h"
#include "runtime/os/trace.h"
#include "runtime/report/report_printer.h"
#include "runtime/ui/image.h"

namespace rt::qt {
namespace {

class QtReportPrinter : public ReportPrinter {
public:
  bool begin(const PrintJobOptions& options) override {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!options.outputFile.empty()) {
      printer_->setOutputFormat(QPrinter::PdfFormat);
      printer_->setOutputFileName(QString::fromStdString(resolvePath(options.outputFile)));
    } else {
      QPrinterInfo info = options.printer.empty() ? QPrinterInfo::defaultPrinter()
                                                  : QPrinterInfo::printerInfo(QString::fromStdString(options.printer));
      if (info.isNull()) {
        trace("report: no printer " + (options.printer.empty() ? std::string("(default)") : options.printer));
        return false;
      }
      printer_->setPrinterName(info.printerName());
    }
    printer_->setDocName(QString::fromStdString(options.title));
    printer_->setFullPage(true);
    return true;
  }

  bool printPage(const std::string& pageFile) override {
    if (!printer_) return false;
    QSvgRenderer svg(QString::fromStdString(resolvePath(pageFile)));
    if (!svg.isValid()) {
      trace("report: cannot read the page picture " + pageFile);
      return false;
    }
    // The picture's own size (CSS pixels at 96 per inch) gives the paper.
    ImageSize px = readImageSize(resolvePath(pageFile));
    QSizeF points = px.ok ? QSizeF(px.width * 72.0 / 96.0, px.height * 72.0 / 96.0) : QSizeF(595, 842);
    bool landscape = points.width() > points.height();
    QPageSize size(landscape ? points.transposed() : points, QPageSize::Point, QString(), QPageSize::FuzzyMatch);
    QPageLayout layout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
    if (!painter_) {
      printer_->setPageLayout(layout);
      painter_ = std::make_unique<QPainter>();
      if (!painter_->begin(printer_.get())) {
        trace("report: the printer cannot start");
        painter_.reset();
        return false;
      }
    } else {
      printer_->setPageLayout(layout);
      if (!printer_->newPage()) return false;
    }
    QRectF target(0, 0, painter_->device()->width(), painter_->device()->height());
    svg.render(painter_.get(), target);
    return true;
  }

  bool end() override {
    bool ok = true;
    if (painter_) ok = painter_->end();
    painter_.reset();
    printer_.reset();
    return ok;
  }

  ~QtReportPrinter() override { end(); }

private:
  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<QPainter> painter_;
};

PrinterInfo info(const PrintJobOptions& options) {
  if (!options.outputFile.empty()) return {"PDF file", options.outputFile};
  QPrinterInfo p = options.printer.empty() ? QPrinterInfo::defaultPrinter()
                                           : QPrinterInfo::printerInfo(QString::fromStdString(options.printer));
  if (p.isNull()) return {options.printer.empty() ? std::string("(no printer)") : options.printer, {}};
  std::string location = p.location().toStdString();
  return {p.printerName().toStdString(), location.empty() ? std::string("CUPS") : location};
}

} // namespace

void installReportPrinter() {
  setReportPrinter([] { return std::make_unique<QtReportPrinter>(); }, info);
}

} // namespace rt::qt
