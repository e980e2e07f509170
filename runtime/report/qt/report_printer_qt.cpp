#include "runtime/report/qt/report_printer_qt.h"

#include <QFile>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <memory>

#include "runtime/os/path.h"
#include "runtime/os/trace.h"
#include "runtime/report/report_printer.h"
#include "runtime/ui/image.h"

namespace rt::qt {
namespace {

// The texts of a page picture. They are drawn as text (so a PDF keeps them as text, searchable
// and sharp) rather than through the SVG renderer, which turns them into outlines.
struct PageText {
    double x = 0, y = 0, size = 10;
    QString family, text;
    bool bold = false, italic = false, underline = false;
    QColor colour = Qt::black;
};

QColor parseColour(const QString& s) {
    QColor c(s);
    return c.isValid() ? c : QColor(Qt::black);
}

// Splits the page into its texts and the rest.
bool readPage(const QByteArray& svg, QByteArray& withoutTexts, std::vector<PageText>& texts, QRectF& viewBox) {
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        auto a = xml.attributes();
        if (xml.name() == u"svg") {
            QStringList vb = a.value("viewBox").toString().split(' ', Qt::SkipEmptyParts);
            if (vb.size() == 4)
                viewBox = QRectF(vb[0].toDouble(), vb[1].toDouble(), vb[2].toDouble(), vb[3].toDouble());
        } else if (xml.name() == u"text") {
            PageText t;
            t.x = a.value("x").toDouble();
            t.y = a.value("y").toDouble();
            t.size = a.value("font-size").toDouble();
            t.family = a.value("font-family").toString();
            t.bold = a.value("font-weight") == u"bold";
            t.italic = a.value("font-style") == u"italic";
            t.underline = a.value("text-decoration") == u"underline";
            t.colour = parseColour(a.value("fill").toString());
            t.text = xml.readElementText();
            texts.push_back(std::move(t));
        }
    }
    if (xml.hasError()) return false;
    QString rest = QString::fromUtf8(svg);
    rest.remove(QRegularExpression(QStringLiteral("<text[^>]*>[^<]*</text>")));
    withoutTexts = rest.toUtf8();
    return true;
}

class QtReportPrinter : public ReportPrinter {
public:
    bool begin(const PrintJobOptions& options) override {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        refused_ = false;
        if (!options.outputFile.empty()) {
            // The PDF writer opens its file only when the first page starts; a folder that does
            // not exist or a file without the right to write is found out here, before anything
            // is taken for printed.
            const QString path = QString::fromStdString(resolvePath(options.outputFile));
            QFile probe(path);
            if (!probe.open(QIODevice::WriteOnly)) {
                trace("report: cannot write " + options.outputFile);
                return false;
            }
            probe.close();
            printer_->setOutputFormat(QPrinter::PdfFormat);
            printer_->setOutputFileName(path);
        } else {
            QPrinterInfo info = options.printer.empty()
                                    ? QPrinterInfo::defaultPrinter()
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
        QFile in(QString::fromStdString(resolvePath(pageFile)));
        QByteArray data, rest;
        std::vector<PageText> texts;
        QRectF viewBox;
        if (in.open(QIODevice::ReadOnly)) data = in.readAll();
        if (data.isEmpty() || !readPage(data, rest, texts, viewBox)) {
            trace("report: cannot read the page picture " + pageFile);
            return false;
        }
        QSvgRenderer svg(rest);
        if (!svg.isValid()) {
            trace("report: cannot read the page picture " + pageFile);
            return false;
        }
        if (viewBox.isEmpty()) viewBox = svg.viewBoxF();
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
                refused_ = true;
                return false;
            }
        } else {
            printer_->setPageLayout(layout);
            if (!printer_->newPage()) return false;
        }
        QRectF target(0, 0, painter_->device()->width(), painter_->device()->height());
        svg.render(painter_.get(), target);
        if (viewBox.width() > 0 && viewBox.height() > 0) {
            painter_->save();
            painter_->scale(target.width() / viewBox.width(), target.height() / viewBox.height());
            painter_->translate(-viewBox.x(), -viewBox.y());
            for (const auto& t : texts) {
                if (t.size <= 0) continue;
                // Fonts are set at 100 pixels and scaled down, so small sizes in large units keep
                // their exact size.
                QFont font(t.family);
                font.setPixelSize(100);
                font.setBold(t.bold);
                font.setItalic(t.italic);
                font.setUnderline(t.underline);
                font.setKerning(false);
                font.setHintingPreference(QFont::PreferNoHinting);
                painter_->save();
                painter_->translate(t.x, t.y);
                painter_->scale(t.size / 100, t.size / 100);
                painter_->setFont(font);
                painter_->setPen(t.colour);
                painter_->drawText(QPointF(0, 0), t.text);
                painter_->restore();
            }
            painter_->restore();
        }
        return true;
    }

    bool end() override {
        bool ok = true;
        if (painter_) ok = painter_->end();
        painter_.reset();
        printer_.reset();
        return ok;
    }

    bool refused() const override { return refused_; }

    ~QtReportPrinter() override { end(); }

private:
    bool refused_ = false;
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

}  // namespace

void installReportPrinter() {
    setReportPrinter([] { return std::make_unique<QtReportPrinter>(); }, info);
}

}  // namespace rt::qt
