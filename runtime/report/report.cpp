#include "runtime/report/report.h"

#include <fmt/core.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "runtime/os/files.h"
#include "runtime/os/trace.h"
#include "runtime/report/font_metrics.h"
#include "runtime/report/page_picture.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/ui/dialogs.h"

namespace rt {

double pointsPerUnit(ReportUnit unit) {
    switch (unit) {
    case ReportUnit::Points: return 1.0;
    case ReportUnit::Millimetres: return 72.0 / 25.4;
    case ReportUnit::Thousandths: return 72.0 / 1000.0;
    }
    return 1.0;
}

// ---- Printer registry ------------------------------------------------------------------------

namespace {
std::mutex printerMutex;
ReportPrinterFactory printerFactory;
PrinterInfoSource printerInfo;
}  // namespace

void setReportPrinter(ReportPrinterFactory factory, PrinterInfoSource info) {
    std::lock_guard lock(printerMutex);
    printerFactory = std::move(factory);
    printerInfo = std::move(info);
}

bool hasReportPrinter() {
    std::lock_guard lock(printerMutex);
    return static_cast<bool>(printerFactory);
}

std::unique_ptr<ReportPrinter> makeReportPrinter() {
    std::lock_guard lock(printerMutex);
    return printerFactory ? printerFactory() : nullptr;
}

namespace {
// A job that names no printer and no file goes to the printer chosen in the printer set-up.
PrintJobOptions withSetupPrinter(PrintJobOptions options) {
    if (options.printer.empty() && options.outputFile.empty()) options.printer = setupPrinter();
    return options;
}
}  // namespace

PrinterInfo reportPrinterInfo(const PrintJobOptions& given) {
    const PrintJobOptions options = withSetupPrinter(given);
    PrinterInfoSource source;
    {
        std::lock_guard lock(printerMutex);
        source = printerInfo;
    }
    if (source) return source(options);
    if (!options.outputFile.empty()) return {"PDF", options.outputFile};
    return {options.printer, {}};
}

// ---- Layout ----------------------------------------------------------------------------------

ReportControl& ReportBand::add(int controlId, ReportControlKind kind, double nx, double ny, double w, double h) {
    auto c = std::make_unique<ReportControl>();
    c->id = controlId;
    c->kind = kind;
    c->setPosition(nx, ny, w, h);
    controls.push_back(std::move(c));
    return *controls.back();
}

ReportControl* ReportBand::find(int controlId) {
    for (auto& c : controls)
        if (c->id == controlId) return c.get();
    return nullptr;
}

std::vector<std::string> PageData::texts() const {
    std::vector<std::string> out;
    for (const auto& it : items)
        if (it.kind == PageItem::Kind::Text) out.push_back(it.text);
    return out;
}

const PageItem* PageData::findText(std::string_view text) const {
    for (const auto& it : items)
        if (it.kind == PageItem::Kind::Text && it.text == text) return &it;
    return nullptr;
}

Report::Report(std::string title) : title_(std::move(title)) { options_.title = title_; }

Report::~Report() { close(); }

Report& Report::setUnit(ReportUnit unit) {
    unit_ = unit;
    return *this;
}

Report& Report::setPaper(double width, double height) {
    paperW_ = std::min(width, height);
    paperH_ = std::max(width, height);
    return *this;
}

Report& Report::setOrientation(Orientation orientation) {
    orientation_ = orientation;
    return *this;
}

double Report::pageWidth() const { return orientation_ == Orientation::Portrait ? paperW_ : paperH_; }
double Report::pageHeight() const { return orientation_ == Orientation::Portrait ? paperH_ : paperW_; }

Report& Report::setBody(double x, double y, double width, double height) {
    bodyX_ = x;
    bodyY_ = y;
    bodyW_ = width;
    bodyH_ = height;
    return *this;
}

ReportBand& Report::addBand(int id, BandKind kind) {
    assert(!hasBand(id) && "band ids are unique");
    auto b = std::make_unique<ReportBand>();
    b->id = id;
    b->kind = kind;
    bands_.push_back(std::move(b));
    return *bands_.back();
}

ReportBand& Report::band(int id) {
    for (auto& b : bands_)
        if (b->id == id) return *b;
    assert(false && "no such band");
    std::abort();
}

bool Report::hasBand(int id) const {
    return std::any_of(bands_.begin(), bands_.end(), [id](const auto& b) { return b->id == id; });
}

ReportControl* Report::findControl(int id) {
    for (auto& b : bands_)
        if (auto* c = b->find(id)) return c;
    return nullptr;
}

ReportControl& Report::control(int id) {
    ReportControl* c = findControl(id);
    assert(c && "no such report control");
    if (!c) std::abort();
    return *c;
}

int Report::lineCount(int controlId) {
    ReportControl& c = control(controlId);
    return static_cast<int>(
        wrapTextLines(c.font, controlValue(c), std::max(0.0, c.width - c.offset) * pointsPerUnit(unit_)).size());
}

ReportBreak& Report::addBreak(int id, std::function<std::string()> variable, int headerBand, int footerBand) {
    breaks_.push_back({id, std::move(variable), headerBand, footerBand});
    return breaks_.back();
}

// ---- Running ---------------------------------------------------------------------------------

bool Report::open() {
    if (open_ || !pageFiles_.empty()) close();
    open_ = true;
    started_ = false;
    pageOpen_ = false;
    breakPending_ = false;
    pageNumber_ = 0;
    printedCount_ = 0;
    data_.clear();
    resetTotals(TotalReset::Report, 0);
    resetTotals(TotalReset::Page, 0);
    for (auto& br : breaks_) resetTotals(TotalReset::Break, br.id);
    return true;
}

void Report::close() {
    if (job_) flush();
    if (pageOpen_) pageOpen_ = false;
    open_ = false;
    started_ = false;
    removeFiles();
    pages_.clear();
}

void Report::removeFiles() {
    for (const auto& f : pageFiles_) removeFile(f);
    pageFiles_.clear();
    if (folderMade_) {
        std::error_code ec;
        std::filesystem::remove(folder_, ec);  // only when nothing else was put there
        folderMade_ = false;
    }
    folder_.clear();
}

void Report::resetTotals(TotalReset reset, int breakId) {
    for (auto& b : bands_)
        for (auto& c : b->controls) {
            if (c->total == TotalKind::None || c->reset != reset) continue;
            if (reset == TotalReset::Break && c->resetBreak != breakId) continue;
            c->sum = DecimalValue();
            c->minimum = DecimalValue();
            c->maximum = DecimalValue();
            c->count = 0;
        }
}

void Report::tally(const ReportBand& detail) {
    for (auto& b : bands_)
        for (auto& c : b->controls) {
            if (c->total == TotalKind::None || !c->use) continue;
            if (c->tallyBand != 0 && c->tallyBand != detail.id) continue;
            std::string text = c->use();
            DecimalValue v;
            if (auto parsed = DecimalValue::parse(trimBlanks(text)))
                v = *parsed;
            else
                v = deformatNumber(text,
                                   c->picture.empty() ? std::string_view("@n-30.`6") : std::string_view(c->picture));
            c->sum = c->sum + v;
            if (c->count == 0 || v < c->minimum) c->minimum = v;
            if (c->count == 0 || v > c->maximum) c->maximum = v;
            ++c->count;
        }
}

std::string Report::controlValue(ReportControl& c) {
    if (c.pageNumber)
        return formatPicture(static_cast<std::int64_t>(pageNumber_), c.picture.empty() ? "@n4" : c.picture);
    if (c.total != TotalKind::None) {
        DecimalValue v;
        switch (c.total) {
        case TotalKind::Sum: v = c.sum; break;
        case TotalKind::Count: v = DecimalValue(c.count); break;
        case TotalKind::Average:
            v = c.count ? DecimalValue::divide(c.sum, DecimalValue(c.count), 6).value_or(DecimalValue())
                        : DecimalValue();
            break;
        case TotalKind::Minimum: v = c.minimum; break;
        case TotalKind::Maximum: v = c.maximum; break;
        case TotalKind::None: break;
        }
        return c.picture.empty() ? v.normalized().toString() : formatPicture(v, c.picture);
    }
    if (c.use) {
        std::string v = c.use();
        return c.picture.empty() ? v : formatPicture(v, c.picture);
    }
    return c.picture.empty() || c.kind != ReportControlKind::String ? c.text : formatPicture(c.text, c.picture);
}

namespace {

// Where a text of that width starts inside [x, x + w] (report units).
double alignedX(const ReportControl& c, const std::string& text, double ppu) {
    double tw = textWidthPoints(c.font, text) / ppu;
    switch (c.justify) {
    case Justify::Left: return c.x + c.offset;
    case Justify::Center: return c.x + (c.width - tw) / 2 + c.offset;
    case Justify::Right: return c.x + c.width - c.offset - tw;
    case Justify::Decimal: {
        // The decimal marks of a column line up: the fraction has the width the picture gives it.
        std::size_t mark = text.find_last_of(".,");
        std::string fraction = mark == std::string::npos ? std::string() : text.substr(mark);
        if (!c.picture.empty() && pictureKind(c.picture) == PictureKind::Number) {
            std::string zero = formatPicture(std::int64_t{0}, c.picture);
            std::size_t zm = zero.find_last_of(".,");
            if (zm != std::string::npos) fraction = zero.substr(zm);
        }
        std::string whole = mark == std::string::npos ? text : text.substr(0, mark);
        double fw = textWidthPoints(c.font, fraction) / ppu;
        double ww = textWidthPoints(c.font, whole) / ppu;
        return c.x + c.width - c.offset - fw - ww;
    }
    }
    return c.x;
}

struct Piece {
    PageItem item;
    bool line = false;  // a line of a growing text: pages may break between such lines
};

}  // namespace

struct Report::Flow {
    std::vector<Piece> pieces;  // band coordinates
    double height = 0;
    bool splittable = false;
};

void Report::beginPage() {
    ++pageNumber_;
    page_ = PageData();
    page_.number = pageNumber_;
    page_.width = pageWidth();
    page_.height = pageHeight();
    page_.orientation = orientation_;
    pageOpen_ = true;
    pageHasFlow_ = false;
    cursorY_ = bodyY_;
    for (auto& b : bands_)
        if (b->kind == BandKind::Form && !b->hidden) placeFixedBand(*b, page_);
    for (auto& b : bands_)
        if (b->kind == BandKind::PageHeader && !b->hidden) placeFixedBand(*b, page_);
}

namespace {

void buildPieces(Report& report, ReportBand& band, std::vector<Piece>& out, double& height, bool& splittable,
                 const std::function<std::string(ReportControl&)>& value) {
    const double ppu = pointsPerUnit(report.unit());
    height = band.height;
    splittable = false;
    // Growing texts push what stands below them down by their growth.
    struct Growth {
        double bottom;
        double by;
    };
    std::vector<Growth> growths;
    std::vector<std::vector<std::string>> wrapped(band.controls.size());
    for (std::size_t i = 0; i < band.controls.size(); ++i) {
        ReportControl& c = *band.controls[i];
        if (c.hidden || c.kind != ReportControlKind::Text) continue;
        wrapped[i] = wrapTextLines(c.font, value(c), std::max(0.0, c.width - c.offset) * ppu);
        double lh = lineHeightPoints(c.font) / ppu;
        if (c.resize) {
            double need = static_cast<double>(wrapped[i].size()) * lh;
            if (need > c.height) growths.push_back({c.y + c.height, need - c.height});
        } else {
            std::size_t fit = std::max<std::size_t>(1, static_cast<std::size_t>(std::floor(c.height / lh + 1e-6)));
            if (wrapped[i].size() > fit) wrapped[i].resize(fit);
        }
    }
    auto shiftOf = [&](double top) {
        double by = 0;
        for (const auto& g : growths)
            if (top >= g.bottom - 1e-6) by = std::max(by, g.by);
        return by;
    };
    double grownBottom = band.height;
    for (std::size_t i = 0; i < band.controls.size(); ++i) {
        ReportControl& c = *band.controls[i];
        if (c.hidden) continue;
        double y = c.y + shiftOf(c.y);
        PageItem it;
        it.control = c.id;
        it.band = band.id;
        it.x = c.x;
        it.y = y;
        it.width = c.width;
        it.height = c.height;
        it.font = c.font;
        switch (c.kind) {
        case ReportControlKind::String: {
            it.kind = PageItem::Kind::Text;
            it.text = fitTextWidth(c.font, value(c), std::max(0.0, c.width) * ppu);
            it.x = alignedX(c, it.text, ppu);
            it.width = textWidthPoints(c.font, it.text) / ppu;
            it.fill = c.background;
            out.push_back({it, false});
            break;
        }
        case ReportControlKind::Text: {
            double lh = lineHeightPoints(c.font) / ppu;
            double ly = y;
            for (auto& line : wrapped[i]) {
                PageItem li = it;
                li.kind = PageItem::Kind::Text;
                li.text = fitTextWidth(c.font, line, std::max(0.0, c.width) * ppu);
                li.x = alignedX(c, li.text, ppu);
                li.width = textWidthPoints(c.font, li.text) / ppu;
                li.y = ly;
                li.height = lh;
                out.push_back({li, c.resize});
                ly += lh;
            }
            if (c.resize) {
                splittable = splittable || wrapped[i].size() > 1;
                grownBottom = std::max(grownBottom, ly + (band.height - (c.y + c.height)));
            }
            break;
        }
        case ReportControlKind::Box:
            it.kind = PageItem::Kind::Box;
            it.fill = c.background;
            it.stroke = c.border;
            it.lineWidth = c.lineWidth;
            out.push_back({it, false});
            break;
        case ReportControlKind::Line:
            it.kind = PageItem::Kind::Line;
            it.stroke = c.border;
            it.lineWidth = c.lineWidth;
            out.push_back({it, false});
            break;
        case ReportControlKind::Image:
            it.kind = PageItem::Kind::Image;
            it.text = value(c);
            out.push_back({it, false});
            break;
        case ReportControlKind::Check: {
            it.kind = PageItem::Kind::Check;
            std::string v(trimBlanks(value(c)));
            it.checked = !v.empty() && v != "0";
            it.stroke = c.border;
            out.push_back({it, false});
            break;
        }
        }
    }
    height = std::max(height, grownBottom);
}

}  // namespace

void Report::placeFixedBand(ReportBand& band, PageData& page) {
    std::vector<Piece> pieces;
    double h = 0;
    bool split = false;
    buildPieces(*this, band, pieces, h, split, [this](ReportControl& c) { return controlValue(c); });
    for (auto& p : pieces) {
        p.item.x += band.x;
        p.item.y += band.y;
        page.items.push_back(std::move(p.item));
    }
}

void Report::flowBand(ReportBand& band) {
    if (band.hidden) return;
    if (breakPending_) {
        breakPending_ = false;
        if (pageOpen_ && pageHasFlow_) endPage();
    }
    if (!pageOpen_) beginPage();
    Flow flow;
    buildPieces(*this, band, flow.pieces, flow.height, flow.splittable,
                [this](ReportControl& c) { return controlValue(c); });
    const double bottom = bodyY_ + bodyH_;
    const double left = bodyX_ + band.x;
    double offset = 0;  // band coordinate where the part on this page starts
    std::vector<bool> placed(flow.pieces.size(), false);
    while (true) {
        double avail = bottom - cursorY_;
        double rest = flow.height - offset;
        if (rest <= avail + 1e-6 || (!pageHasFlow_ && !flow.splittable)) {
            // The rest fits (or can fit nowhere better): everything not placed yet goes here.
            for (std::size_t i = 0; i < flow.pieces.size(); ++i) {
                if (placed[i]) continue;
                PageItem it = flow.pieces[i].item;
                it.x += left;
                it.y += cursorY_ - offset;
                page_.items.push_back(std::move(it));
            }
            cursorY_ += rest;
            pageHasFlow_ = true;
            return;
        }
        if (!flow.splittable) {
            endPage();
            beginPage();
            continue;
        }
        // Split between the lines of the growing texts: what starts above the cut stays here,
        // lines that would cross it continue on the next page.
        double cut = offset + avail;
        double next = flow.height;
        bool any = false;
        for (std::size_t i = 0; i < flow.pieces.size(); ++i) {
            if (placed[i]) continue;
            const PageItem& src = flow.pieces[i].item;
            bool fits = flow.pieces[i].line ? src.y + src.height <= cut + 1e-6 : src.y < cut - 1e-6;
            if (!fits) {
                if (flow.pieces[i].line) next = std::min(next, src.y);
                continue;
            }
            PageItem it = src;
            it.x += left;
            it.y += cursorY_ - offset;
            page_.items.push_back(std::move(it));
            placed[i] = true;
            any = true;
        }
        if (!any && pageHasFlow_) {
            endPage();
            beginPage();
            continue;
        }
        if (!any) {
            // Not even one line fits on an empty page: put the next line here anyway.
            for (std::size_t i = 0; i < flow.pieces.size(); ++i)
                if (!placed[i] && flow.pieces[i].line && flow.pieces[i].item.y <= next + 1e-6) {
                    PageItem it = flow.pieces[i].item;
                    it.x += left;
                    it.y += cursorY_ - offset;
                    page_.items.push_back(std::move(it));
                    placed[i] = true;
                    next = it.y - cursorY_ + offset + it.height;
                    break;
                }
        }
        pageHasFlow_ = true;
        offset = next;
        if (offset >= flow.height - 1e-6 || std::all_of(placed.begin(), placed.end(), [](bool b) { return b; })) {
            cursorY_ = bottom;
            return;
        }
        endPage();
        beginPage();
    }
}

void Report::checkBreaks() {
    if (breaks_.empty()) {
        started_ = true;
        return;
    }
    std::vector<std::string> now;
    for (auto& br : breaks_) now.push_back(br.variable ? br.variable() : std::string());
    if (!started_) {
        started_ = true;
        breakValues_ = now;
        for (auto& br : breaks_)
            if (br.header && hasBand(br.header)) flowBand(band(br.header));
        return;
    }
    std::size_t changed = breaks_.size();
    for (std::size_t i = 0; i < breaks_.size(); ++i)
        if (!equalsTrimmed(now[i], breakValues_[i])) {
            changed = i;
            break;
        }
    if (changed == breaks_.size()) return;
    for (std::size_t j = breaks_.size(); j-- > changed;) {
        auto& br = breaks_[j];
        if (br.footer && hasBand(br.footer)) {
            ReportBand& f = band(br.footer);
            flowBand(f);
            if (f.pageBreakAfter && !f.hidden) breakPending_ = true;
        }
        resetTotals(TotalReset::Break, br.id);
    }
    for (std::size_t j = changed; j < breaks_.size(); ++j) {
        breakValues_[j] = now[j];
        if (breaks_[j].header && hasBand(breaks_[j].header)) flowBand(band(breaks_[j].header));
    }
}

bool Report::print(int bandId) {
    if (!open_) return false;
    ReportBand& b = band(bandId);
    switch (b.kind) {
    case BandKind::Detail:
        checkBreaks();
        tally(b);  // before it prints, so a total in the same band shows the running value
        flowBand(b);
        return true;
    case BandKind::GroupHeader:
    case BandKind::GroupFooter: flowBand(b); return true;
    case BandKind::Form:
    case BandKind::PageHeader:
    case BandKind::PageFooter:
        if (!pageOpen_) beginPage();
        placeFixedBand(b, page_);
        return true;
    }
    return false;
}

void Report::endPage() {
    if (!pageOpen_) return;
    for (auto& b : bands_)
        if (b->kind == BandKind::PageFooter && !b->hidden) placeFixedBand(*b, page_);
    resetTotals(TotalReset::Page, 0);
    writePage();
    pageOpen_ = false;
    pageHasFlow_ = false;
}

void Report::endReport() {
    if (!open_) return;
    if (started_) {
        for (std::size_t j = breaks_.size(); j-- > 0;) {
            auto& br = breaks_[j];
            if (br.footer && hasBand(br.footer)) flowBand(band(br.footer));
            resetTotals(TotalReset::Break, br.id);
        }
        started_ = false;
    }
    breakPending_ = false;
    endPage();
}

void Report::writePage() {
    if (!folderMade_) {
        std::string base = folderWanted_;
        if (base.empty()) {
            std::error_code ec;
            std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
            // Page list entries hold at most 128 characters.
            base = ec || temp.native().size() > 90 ? std::string(".") : temp.native();
        }
        std::string templ = base + "/voqrpt-XXXXXX";
        if (!mkdtemp(templ.data())) {
            trace("report: cannot make a folder for the page pictures in " + base);
            templ = base;
        } else {
            folderMade_ = true;
        }
        folder_ = templ;
    }
    std::string file = fmt::format("{}/P{:05d}.svg", folder_, pageFiles_.size() + 1);
    if (!writePagePicture(file, page_, unit_)) trace("report: cannot write the page picture " + file);
    pageFiles_.push_back(file);
    pages_.push_back({file});
    if (keepData_) data_.push_back(page_);
}

// ---- Printing --------------------------------------------------------------------------------

std::string Report::printerName() { return reportPrinterInfo(options_).name; }
std::string Report::printerPort() { return reportPrinterInfo(options_).port; }

bool Report::startJob() {
    job_ = makeReportPrinter();
    if (!job_) {
        trace("report: no printer to print " + title_);
        return false;
    }
    jobPages_ = 0;
    options_.title = title_;
    if (job_->begin(withSetupPrinter(options_))) return true;
    trace("report: the output did not start the job " + title_);
    if (chooseOtherOutput()) return true;
    job_.reset();
    return false;
}

bool Report::printPages(const PreviewQueue& pages) {
    if (pages.empty()) return true;
    if (!job_ && !startJob()) return false;
    bool ok = true;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (job_->printPage(std::string(trimBlanks(pages[i].PREVIEWFILENAME)))) {
            ++printedCount_;
            ++jobPages_;
            continue;
        }
        if (jobPages_ == 0 && job_->refused()) {
            // The printer or the file refused the job as its first page started: nothing went
            // out yet, so the pages may go to another output.
            trace("report: the output refused the job " + title_);
            if (!chooseOtherOutput()) {
                job_.reset();
                if (pdfInstead_) options_.outputFile = callerFile_;
                pdfInstead_ = false;
                return false;
            }
            --i;  // the same page into the new output
            continue;
        }
        ok = false;
    }
    return ok;
}

namespace {
std::string cannotWrite(const std::string& file) {
    return fmt::format("Die Datei \"{}\" kann nicht geschrieben werden.", file);
}
}  // namespace

bool Report::chooseOtherOutput() {
    int answer = 0;
    if (options_.outputFile.empty()) {
        const std::string printer = options_.printer.empty() ? std::string("Standarddrucker") : options_.printer;
        answer = message(fmt::format("Der Drucker ({}) ist nicht verfügbar.|Die Seiten können stattdessen in "
                                     "eine PDF-Datei gedruckt werden.",
                                     printer),
                         "Drucken", MessageIcon::Exclamation, "In &PDF-Datei drucken|&Abbrechen", 2);
    } else {
        answer = message(cannotWrite(options_.outputFile) + "|Die Seiten können in eine andere Datei gedruckt werden.",
                         "Drucken", MessageIcon::Hand, "&Andere Datei wählen|&Abbrechen", 2);
    }
    if (!pdfInstead_) callerFile_ = options_.outputFile;
    while (answer == 1) {
        std::string proposed = title_.empty() ? std::string("Bericht") : title_;
        for (char& c : proposed)
            if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) c = '_';
        FileDialogResult file = saveFileDialog("In PDF-Datei drucken", proposed + ".pdf", "PDF-Dateien|*.pdf");
        if (!file.ok || file.path.empty()) break;
        if (std::filesystem::path(file.path).extension().empty()) file.path += ".pdf";
        options_.outputFile = file.path;
        pdfInstead_ = true;
        // A job that was refused is not taken up again: the new file gets a job of its own.
        job_ = makeReportPrinter();
        jobPages_ = 0;
        if (job_ && job_->begin(options_)) return true;
        answer = message(cannotWrite(file.path) + "|Die Seiten können in eine andere Datei gedruckt werden.", "Drucken",
                         MessageIcon::Hand, "&Andere Datei wählen|&Abbrechen", 2);
    }
    if (pdfInstead_) options_.outputFile = callerFile_;
    pdfInstead_ = false;
    return false;
}

bool Report::flush() {
    if (!job_) return true;
    bool ok = job_->end();
    job_.reset();
    // The next job goes to the output the report was given again.
    if (pdfInstead_) options_.outputFile = callerFile_;
    pdfInstead_ = false;
    return ok;
}

}  // namespace rt
