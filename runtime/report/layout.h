#pragma once
// Report layouts: bands and the controls inside them, as a report procedure declares them and
// changes them at run time (moved, resized, hidden, re-justified). All positions are in the
// report's unit (see Report::setUnit); font sizes are points.
//
//   rt::Report r("Report der Tabelle Scripte");
//   r.setUnit(rt::ReportUnit::Points).setPaper(595, 842).setBody(20, 60, 555, 720);
//   auto& head = r.addBand(HEADER, rt::BandKind::PageHeader).setPosition(20, 20, 555, 36);
//   head.addString(TITLE, 0, 0, 300, 14).setText("Report der Tabelle Scripte");
//   auto& detail = r.addBand(DETAIL, rt::BandKind::Detail).setSize(555, 12);
//   detail.addString(ID, 0, 0, 40, 12).setUse([] { return std::to_string(SCR.ID); }).setPicture("@n6");
//   auto& foot = r.addBand(FOOTER, rt::BandKind::PageFooter).setPosition(20, 800, 555, 20);
//   foot.addString(PAGE, 480, 2, 60, 11).setPageNumber("@pSeite <<<#p");

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/text/decimal.h"
#include "runtime/ui/model.h"

namespace rt {

struct ReportFont {
    std::string face = "Arial";
    double size = 10;  // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    Color color = 0;  // 0x00BBGGRR, black
};

enum class BandKind {
    Form,         // drawn behind every page at its own position
    PageHeader,   // top of every page, at its own position
    GroupHeader,  // flows in the body when a break's value changes (and at the first record)
    Detail,       // flows in the body, once per print()
    GroupFooter,  // flows in the body before a break's value changes (and at the end)
    PageFooter,   // bottom of every page, at its own position
};

enum class ReportControlKind { String, Text, Box, Line, Image, Check };

enum class TotalKind { None, Sum, Count, Average, Minimum, Maximum };
// When a total starts again from nothing: never (a report total), after each page, or after
// the footer of a break.
enum class TotalReset { Report, Page, Break };

struct ReportControl {
    int id = 0;
    ReportControlKind kind = ReportControlKind::String;
    double x = 0, y = 0, width = 0, height = 0;  // inside its band
    std::string text;                            // fixed text; Image: the picture file
    std::function<std::string()> use;            // bound value, read when the band prints
    std::string picture;                         // formats the value (pictures of rt_text)
    bool pageNumber = false;                     // shows the page number under `picture`
    ReportFont font;
    Justify justify = Justify::Left;
    double offset = 0;             // distance kept from the aligned edge
    Color background = ColorNone;  // Box fill, String/Text background
    Color border = ColorNone;      // Box border; Line and Check colour (ColorNone: black)
    double lineWidth = 0;          // Box border and Line width; 0: a hairline
    bool hidden = false;
    bool resize = false;                // Text: grows with its lines and splits over pages
    TotalKind total = TotalKind::None;  // String: shows a total of `use` over the details
    TotalReset reset = TotalReset::Report;
    int resetBreak = 0;  // with TotalReset::Break: the break's id
    int tallyBand = 0;   // detail band that adds to the total (0: every detail)

    ReportControl& setPosition(double nx, double ny, double w, double h) {
        x = nx;
        y = ny;
        width = w;
        height = h;
        return *this;
    }
    ReportControl& setPosition(double nx, double ny) {
        x = nx;
        y = ny;
        return *this;
    }
    ReportControl& setSize(double w, double h) {
        width = w;
        height = h;
        return *this;
    }
    ReportControl& setX(double v) {
        x = v;
        return *this;
    }
    ReportControl& setWidth(double v) {
        width = v;
        return *this;
    }
    ReportControl& setText(std::string t) {
        text = std::move(t);
        return *this;
    }
    ReportControl& setUse(std::function<std::string()> f) {
        use = std::move(f);
        return *this;
    }
    ReportControl& setPicture(std::string p) {
        picture = std::move(p);
        return *this;
    }
    ReportControl& setPageNumber(std::string p) {
        pageNumber = true;
        picture = std::move(p);
        return *this;
    }
    ReportControl& setFont(ReportFont f) {
        font = std::move(f);
        return *this;
    }
    ReportControl& setFontSize(double s) {
        font.size = s;
        return *this;
    }
    ReportControl& setFontColor(Color c) {
        font.color = c;
        return *this;
    }
    ReportControl& setBold(bool b = true) {
        font.bold = b;
        return *this;
    }
    ReportControl& setItalic(bool i = true) {
        font.italic = i;
        return *this;
    }
    ReportControl& setJustify(Justify j, double off = 0) {
        justify = j;
        offset = off;
        return *this;
    }
    ReportControl& setBackground(Color c) {
        background = c;
        return *this;
    }
    ReportControl& setBorder(Color c, double w = 0) {
        border = c;
        lineWidth = w;
        return *this;
    }
    ReportControl& setLineWidth(double w) {
        lineWidth = w;
        return *this;
    }
    ReportControl& setHidden(bool h) {
        hidden = h;
        return *this;
    }
    ReportControl& hide() {
        hidden = true;
        return *this;
    }
    ReportControl& unhide() {
        hidden = false;
        return *this;
    }
    ReportControl& setResize(bool r = true) {
        resize = r;
        return *this;
    }
    ReportControl& setTotal(TotalKind k, TotalReset r = TotalReset::Report, int breakId = 0) {
        total = k;
        reset = r;
        resetBreak = breakId;
        return *this;
    }
    ReportControl& setTallyBand(int band) {
        tallyBand = band;
        return *this;
    }

    // Running state of a total (the engine's).
    DecimalValue sum, minimum, maximum;
    long long count = 0;
};

struct ReportBand {
    int id = 0;
    BandKind kind = BandKind::Detail;
    double x = 0, y = 0, width = 0, height = 0;  // Form, headers and footers of the page: on the page;
                                                 // flowing bands: x inside the body, y unused
    bool hidden = false;
    bool pageBreakAfter = false;  // GroupFooter: the next band starts a new page
    std::vector<std::unique_ptr<ReportControl>> controls;

    ReportBand& setPosition(double nx, double ny, double w, double h) {
        x = nx;
        y = ny;
        width = w;
        height = h;
        return *this;
    }
    ReportBand& setSize(double w, double h) {
        width = w;
        height = h;
        return *this;
    }
    ReportBand& setWidth(double w) {
        width = w;
        return *this;
    }
    ReportBand& setHidden(bool h) {
        hidden = h;
        return *this;
    }
    ReportBand& setPageBreakAfter(bool on = true) {
        pageBreakAfter = on;
        return *this;
    }

    ReportControl& add(int id, ReportControlKind kind, double x = 0, double y = 0, double w = 0, double h = 0);
    ReportControl& addString(int id, double x, double y, double w, double h) {
        return add(id, ReportControlKind::String, x, y, w, h);
    }
    ReportControl& addText(int id, double x, double y, double w, double h) {
        return add(id, ReportControlKind::Text, x, y, w, h);
    }
    ReportControl& addBox(int id, double x, double y, double w, double h) {
        return add(id, ReportControlKind::Box, x, y, w, h);
    }
    ReportControl& addLine(int id, double x, double y, double w, double h) {
        return add(id, ReportControlKind::Line, x, y, w, h);
    }
    ReportControl& addImage(int id, double x, double y, double w, double h) {
        return add(id, ReportControlKind::Image, x, y, w, h);
    }
    ReportControl& addCheck(int id, double x, double y, double w, double h) {
        return add(id, ReportControlKind::Check, x, y, w, h);
    }
    ReportControl* find(int controlId);
};

// One break level: when the value of `variable` changes between two details, the footer of the
// old group and the header of the new one flow in. Breaks are nested in the order added
// (the first is the outermost).
struct ReportBreak {
    int id = 0;
    std::function<std::string()> variable;
    int header = 0;  // band ids, 0 none
    int footer = 0;
};

}  // namespace rt
