#pragma once
// The page engine. A report procedure declares its layout (layout.h), opens the report, prints
// bands record by record, and ends the report; each finished page is written as a page picture
// (SVG) and appended to the report's page list, which the preview and the print set-up may cut,
// reorder and duplicate before the engine prints exactly the entries left:
//
//   report.open();
//   while (next record) report.print(DETAIL);   // breaks, headers, footers, page breaks
//   report.endReport();                         // open group footers, last page
//   PrintPreviewer(report).display();           // preview, then print the page list
//
// Page files live in a folder of the engine's own and are removed when the report is closed or
// destroyed, from the engine's list of the files it wrote (entries of the page list may be gone or
// duplicated by then).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/report/layout.h"
#include "runtime/report/report_printer.h"

namespace rt {

enum class ReportUnit {
    Points,  // 1/72 inch
    Millimetres,
    Thousandths,  // 1/1000 inch
};
enum class Orientation { Portrait, Landscape };

// Points per report unit.
double pointsPerUnit(ReportUnit unit);

// One entry of a report's page list: the page picture's file name.
struct PreviewEntry {
    std::string PREVIEWFILENAME;  // at most 128 characters
    bool operator==(const PreviewEntry&) const = default;
};
using PreviewQueue = std::vector<PreviewEntry>;

// What a finished page holds, in report units from the page's top-left corner.
struct PageItem {
    enum class Kind { Text, Box, Line, Image, Check };
    Kind kind = Kind::Text;
    int control = 0;  // the layout control it comes from
    int band = 0;
    double x = 0, y = 0, width = 0, height = 0;  // Text: the line's box (x is where the text starts)
    std::string text;                            // Text: the line; Image: the file
    ReportFont font;
    Color fill = ColorNone, stroke = ColorNone;
    double lineWidth = 0;
    bool checked = false;
};

struct PageData {
    int number = 0;                // 1, 2, ... in the order the pages were made
    double width = 0, height = 0;  // report units
    Orientation orientation = Orientation::Portrait;
    std::vector<PageItem> items;
    // Texts of the page in drawing order (for tests and traces).
    std::vector<std::string> texts() const;
    const PageItem* findText(std::string_view text) const;
};

class Report {
public:
    explicit Report(std::string title = {});
    ~Report();  // closes
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    const std::string& title() const { return title_; }

    // ---- Layout ------------------------------------------------------------------------------
    Report& setUnit(ReportUnit unit);
    ReportUnit unit() const { return unit_; }
    // Paper size of the portrait page; the landscape page swaps the two.
    Report& setPaper(double width, double height);
    // Takes effect from the next page on, so it can be switched at run time.
    Report& setOrientation(Orientation orientation);
    Orientation orientation() const { return orientation_; }
    double pageWidth() const;
    double pageHeight() const;
    // The area in which the flowing bands (group headers, details, group footers) stand.
    Report& setBody(double x, double y, double width, double height);
    double bodyX() const { return bodyX_; }
    double bodyY() const { return bodyY_; }
    double bodyWidth() const { return bodyW_; }
    double bodyHeight() const { return bodyH_; }

    ReportBand& addBand(int id, BandKind kind);
    ReportBand& band(int id);
    bool hasBand(int id) const;
    // A control of any band (asserts that it exists).
    ReportControl& control(int id);
    ReportControl* findControl(int id);

    // Lines a text control's current text takes at its width (headings that move the body down).
    int lineCount(int controlId);

    ReportBreak& addBreak(int id, std::function<std::string()> variable, int headerBand = 0, int footerBand = 0);

    // ---- Running -----------------------------------------------------------------------------
    // Starts afresh: no pages, totals cleared, a new folder for the page pictures.
    bool open();
    bool isOpen() const { return open_; }
    // Prints a band. A detail band first lets the breaks flow (footers, page break, headers) and
    // then adds to the totals. Returns false when the report is not open.
    bool print(int bandId);
    // Finishes the current page (its footer, its picture, its page list entry). Without a page
    // in progress nothing happens, so ending twice makes no empty page.
    void endPage();
    // The footers of the open groups, then endPage().
    void endReport();
    // Removes every page picture the engine wrote and ends a running print job.
    void close();

    int pageCount() const { return static_cast<int>(pageFiles_.size()); }  // pages made
    int currentPageNumber() const { return pageNumber_; }                  // 0 before the first
    PreviewQueue& pages() { return pages_; }
    const std::vector<std::string>& pageFiles() const { return pageFiles_; }
    // Page contents as data, kept when asked for before open() (tests, traces).
    void setKeepPageData(bool keep) { keepData_ = keep; }
    const std::vector<PageData>& pageData() const { return data_; }
    // Where the pictures go (default: a new folder under the temporary folder).
    void setPageFolder(std::string folder) { folderWanted_ = std::move(folder); }
    const std::string& pageFolder() const { return folder_; }

    // ---- Printing ----------------------------------------------------------------------------
    // The output of the next print job: the default printer (empty) or a named printer, or a PDF
    // file (pdfFile set).
    void setPrinter(std::string printer) { options_.printer = std::move(printer); }
    void setOutputFile(std::string pdfFile) { options_.outputFile = std::move(pdfFile); }
    const PrintJobOptions& printOptions() const { return options_; }
    std::string printerName();
    std::string printerPort();
    // Prints exactly the entries of the list, in order, into the running print job (started when
    // none runs). False when there is no printer or a page could not be printed. A printer that
    // does not take the job is told to the user, who may print into a PDF file instead; a file
    // that cannot be written is told too, and the user may choose another one.
    bool printPages(const PreviewQueue& pages);
    // Ends the running print job: the document goes to the printer or file.
    bool flush();
    bool printing() const { return job_ != nullptr; }
    int pagesPrinted() const { return printedCount_; }

private:
    struct Flow;
    void beginPage();
    void flowBand(ReportBand& band);
    void placeFixedBand(ReportBand& band, PageData& page);
    void tally(const ReportBand& detail);
    void resetTotals(TotalReset reset, int breakId);
    void checkBreaks();
    std::string controlValue(ReportControl& c);
    void writePage();
    void removeFiles();
    bool startJob();
    bool chooseOtherOutput();

    std::string title_;
    ReportUnit unit_ = ReportUnit::Points;
    double paperW_ = 595, paperH_ = 842;
    Orientation orientation_ = Orientation::Portrait;
    double bodyX_ = 0, bodyY_ = 0, bodyW_ = 0, bodyH_ = 0;
    std::vector<std::unique_ptr<ReportBand>> bands_;
    std::vector<ReportBreak> breaks_;

    bool open_ = false;
    bool started_ = false;  // first detail seen (break values known)
    std::vector<std::string> breakValues_;
    bool pageOpen_ = false;
    bool pageHasFlow_ = false;
    bool breakPending_ = false;  // a footer asked for a new page before the next band
    double cursorY_ = 0;
    int pageNumber_ = 0;
    PageData page_;
    PreviewQueue pages_;
    std::vector<std::string> pageFiles_;
    std::vector<PageData> data_;
    bool keepData_ = false;
    std::string folderWanted_;
    std::string folder_;
    bool folderMade_ = false;

    PrintJobOptions options_;
    std::unique_ptr<ReportPrinter> job_;
    bool pdfInstead_ = false;  // this job goes into the file the user chose instead of the output given
    std::string callerFile_;   // the output file given before the user chose another
    int jobPages_ = 0;         // pages the running job took
    int printedCount_ = 0;
};

}  // namespace rt
