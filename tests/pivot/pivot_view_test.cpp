// The control's Qt view on the offscreen platform: field buttons in their areas, a field dropped
// into another area, collapsing by the row heading, and a picture of the view.
#include "pivot/qt/pivot_view.h"

#include <QApplication>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QToolTip>
#include <tuple>

#include "tests/pivot/pivot_fixture.h"

using namespace pivottest;

namespace {

class PivotViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "pivot_view_test";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    void SetUp() override {
        control_ = salesControl(dir_, {{"Region", "Region", 2},
                                       {"Gruppe", "Warengruppe", 2},
                                       {"Jahr", "Jahr", 1},
                                       {"Kanal", "Kanal", 4},
                                       {"Umsatz", "Umsatz", 3}});
        rt::automationSet(*control_, "Fields(4).NumberFormat", "#,##0.00");
        control_->setHiddenItems(3, {"Messe"});
    }
    static std::vector<pivot::qt::FieldButton*> buttons(QWidget& in, pivot::qt::FieldArea* area = nullptr) {
        std::vector<pivot::qt::FieldButton*> out;
        for (auto* b : in.findChildren<pivot::qt::FieldButton*>())
            if (!area || b->parentWidget() == area) out.push_back(b);
        return out;
    }
    voq::test::TempDir dir_;
    std::shared_ptr<pivot::PivotControl> control_;
};

TEST_F(PivotViewTest, FieldsAreDraggedBetweenAreasAndRowsCollapse) {
    pivot::qt::PivotView view(control_);
    view.resize(900, 420);
    view.show();
    QApplication::processEvents();

    auto all = buttons(view);
    ASSERT_EQ(all.size(), 5u);
    for (auto* b : all) EXPECT_EQ(b->objectName(), b->field() == 3 ? "filtered" : "field") << b->text().toStdString();

    // The year dropped on the row area, after the two row fields.
    auto areas = view.findChildren<pivot::qt::FieldArea*>();
    pivot::qt::FieldArea* rows = nullptr;
    for (auto* a : areas)
        for (auto* b : buttons(view, a))
            if (b->field() == 0) rows = a;
    ASSERT_TRUE(rows);
    QMimeData mime;
    mime.setData("application/x-voq-pivot-field", "2");
    QPoint end(10, rows->height() - 2);
    QDragEnterEvent enter(end, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(rows, &enter);
    QDropEvent drop(QPointF(end), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(rows, &drop);
    QApplication::processEvents();  // the move
    QApplication::processEvents();  // the view follows
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    auto fields = control_->fields();
    EXPECT_EQ(fields[2].orientation, pivot::RowArea);
    EXPECT_GT(fields[2].position, fields[1].position);
    EXPECT_EQ(buttons(view, rows).size(), 3u);

    // A click on the first region's marker folds that region only.
    auto* grid = view.grid();
    auto click = [&](QPoint at) {
        QMouseEvent press(QEvent::MouseButtonPress, at, grid->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &press);
        QApplication::processEvents();
    };
    const int y0 = grid->headingHeight() + grid->lineHeight() / 2;
    const size_t open = control_->table()->lineCount();
    click(QPoint(8, y0));
    EXPECT_TRUE(control_->fields()[0].showDetail);
    auto table = control_->table();
    EXPECT_EQ(table->rows().lines[0].kind, pivot::LineKind::Collapsed);
    EXPECT_LT(table->lineCount(), open);
    EXPECT_GT(table->lineCount(), 4u);  // the other regions stay open
    EXPECT_EQ(grid->markerOf(0, 0), '+');
    EXPECT_EQ(grid->markerOf(1, 0), '-');
    click(QPoint(8, y0));
    EXPECT_EQ(control_->table()->lineCount(), open);

    // The field's menu folds every item; each marker then tells its own level's state.
    control_->setShowDetail(1, false);
    QApplication::processEvents();
    table = control_->table();
    ASSERT_EQ(table->rows().lines[0].kind, pivot::LineKind::Collapsed);
    EXPECT_EQ(grid->markerOf(0, 0), '-');
    EXPECT_EQ(grid->markerOf(0, 1), '+');
    // The inner "+" opens its item (not the field), the outer "-" folds its region.
    const int sub = grid->headingWidth() / 3;
    click(QPoint(sub + 8, y0));
    table = control_->table();
    EXPECT_FALSE(control_->fields()[1].showDetail);
    EXPECT_EQ(table->rows().lines[0].kind, pivot::LineKind::Item);
    EXPECT_EQ(grid->markerOf(0, 1), '-');
    EXPECT_EQ(table->rows().lines[table->lineCount() - 2].kind, pivot::LineKind::Subtotal);
    view.grab().save(QString::fromStdString(std::string(PIVOT_PICTURES) + "/pivot_view_markers.png"));
    click(QPoint(8, y0));
    EXPECT_EQ(control_->table()->rows().lines[0].kind, pivot::LineKind::Collapsed);
    EXPECT_EQ(grid->markerOf(0, 0), '+');
    // A click beside the marker, on the heading's text, folds nothing.
    click(QPoint(8, y0));
    const size_t lines = control_->table()->lineCount();
    click(QPoint(sub - 10, y0));
    EXPECT_EQ(control_->table()->lineCount(), lines);
    control_->setShowDetail(1, true);
    QApplication::processEvents();
    EXPECT_EQ(grid->headingWidth(), 3 * control_->colWidth(0));

    view.grab().save(QString::fromStdString(std::string(PIVOT_PICTURES) + "/pivot_view.png"));
}

// Large values and long headings: a column fits its widest value at load, a value never shows
// in part ("###" when the width set is too small), and a cut heading ends in "…" with the whole
// text in its tool tip.
TEST_F(PivotViewTest, ValuesShowWholeOrMarksAndHeadingsElide) {
    voq::test::TempDir dir;
    const std::string connect = voq::test::sqliteConnectString((dir.path() / "gross.db").string());
    ASSERT_EQ(voq::test::execSql(connect,
                                 "CREATE TABLE Gross (Gruppe VARCHAR(30), Artikel VARCHAR(30), "
                                 "Jahr INTEGER, Umsatz DECIMAL(14,2), DB DECIMAL(14,2))"),
              "");
    for (const char* row : {"('Druckerzubehör', 'Toner', 2023, 9876543.21, 12.5)",
                            "('Druckerzubehör', 'Papier', 2023, 6866162.72, 3.25)", "('Büro', 'Stifte', 2024, 5.5, 1)"})
        ASSERT_EQ(voq::test::execSql(connect, std::string("INSERT INTO Gross VALUES ") + row), "");
    auto control = newControl();
    rt::automationSet(*control, "GNConnectType", 3);
    rt::automationSet(*control, "GNConnect", connect);
    rt::automationSet(*control, "GNRecordSource", "SELECT * FROM Gross");
    for (auto [name, caption, o] :
         {std::tuple{"Gruppe", "Warengruppe", 2}, std::tuple{"Artikel", "Artikel", 2}, std::tuple{"Jahr", "Jahr", 1},
          std::tuple{"Umsatz", "Umsatz", 3}, std::tuple{"DB", "Deckungsbeitrag", 3}})
        rt::automationCall(*control, "Fields.Add", {name, caption, o});
    rt::automationSet(*control, "Fields(3).NumberFormat", "@n-14.2");
    rt::automationSet(*control, "Fields(4).NumberFormat", "@n-14.2");
    rt::automationCall(*control, "RefreshData");

    pivot::qt::PivotView view(control);
    view.resize(1400, 400);
    view.show();
    QApplication::processEvents();
    auto* grid = view.grid();
    auto table = control->table();
    const int hh = grid->headingHeight(), lh = grid->lineHeight();
    auto cellCentre = [&](size_t line, size_t col) {
        int x = grid->headingWidth();
        for (size_t c = 1; c <= col; ++c) x += grid->columnWidth(int(c));
        return QPoint(x + grid->columnWidth(int(col) + 1) / 2, hh + int(line) * lh + lh / 2);
    };
    // Every value in sight is whole; the 2023 total of the turnover among them.
    QFont font("MS Sans Serif");
    font.setPointSizeF(8);
    bool sawTotal = false;
    for (size_t line = 0; line < table->lineCount(); ++line)
        for (size_t col = 0; col < table->columnCount(); ++col) {
            auto s = grid->textAt(cellCentre(line, col));
            EXPECT_EQ(s.shown, s.whole) << line << "/" << col;
            EXPECT_LE(QFontMetrics(font).horizontalAdvance(s.whole) + 5, grid->columnWidth(int(col) + 1));
            EXPECT_EQ(s.whole.toStdString(), table->text(line, col));
            if (s.whole == "16,742,705.93") sawTotal = true;
        }
    EXPECT_TRUE(sawTotal);
    // No wider than the field's width of 14 digits, whatever the heading wants.
    EXPECT_LE(grid->columnWidth(1), 14 * QFontMetrics(font).horizontalAdvance('0') + 5);
    // ColWidth tells each column's width as drawn, sized to its values; set, it is the one given.
    for (size_t c = 1; c <= table->columnCount(); ++c)
        EXPECT_EQ(rt::automationGet(*control, "ColWidth", {int64_t(c)}).toInt(), grid->columnWidth(int(c))) << c;
    EXPECT_GT(grid->columnWidth(1), 80);

    // A width the user set too small: marks over the cell, never a part of the number.
    const size_t last = table->lineCount() - 1;
    control->setColWidth(1, 30);
    QApplication::processEvents();
    auto narrow = grid->textAt(cellCentre(last, 0));
    EXPECT_EQ(narrow.whole, "16,742,705.93");
    ASSERT_FALSE(narrow.shown.isEmpty());
    EXPECT_EQ(narrow.shown, QString(narrow.shown.size(), '#'));
    EXPECT_EQ(rt::automationGet(*control, "ColWidth", {int64_t(1)}).toInt(), 30);

    // A narrow heading is cut with "…"; its tool tip shows it whole.
    control->setColWidth(2, 45);
    QApplication::processEvents();
    QPoint headingAt = cellCentre(0, 1);
    headingAt.setY(hh - lh / 2);
    auto heading = grid->textAt(headingAt);
    EXPECT_EQ(heading.whole, "Deckungsbeitrag");
    EXPECT_TRUE(heading.shown.endsWith(QChar(0x2026))) << heading.shown.toStdString();
    QHelpEvent tip(QEvent::ToolTip, headingAt, grid->viewport()->mapToGlobal(headingAt));
    QApplication::sendEvent(grid->viewport(), &tip);
    EXPECT_EQ(QToolTip::text(), "Deckungsbeitrag");

    // A row heading with too little room: cut the same way.
    control->setColWidth(0, 70);
    QApplication::processEvents();
    table = control->table();
    size_t subtotal = 0;
    while (subtotal < table->lineCount() && table->rowHeading(subtotal, 0) != "Druckerzubehör Ergebnis") ++subtotal;
    ASSERT_LT(subtotal, table->lineCount());
    auto row = grid->textAt(QPoint(20, hh + int(subtotal) * lh + lh / 2));
    EXPECT_EQ(row.whole, QString::fromUtf8("Druckerzubehör Ergebnis"));
    EXPECT_TRUE(row.shown.endsWith(QChar(0x2026))) << row.shown.toStdString();
}

TEST_F(PivotViewTest, WithoutRowFieldsTheOneLineIsDrawnAsData) {
    rt::automationSet(*control_, "Fields(0).Orientation", 0);
    rt::automationSet(*control_, "Fields(1).Orientation", 0);
    pivot::qt::PivotView view(control_);
    view.resize(900, 300);
    view.show();
    QApplication::processEvents();
    ASSERT_EQ(control_->table()->lineCount(), 1u);
    auto* grid = view.grid();
    QImage picture = grid->viewport()->grab().toImage();
    picture.save(QString::fromStdString(std::string(PIVOT_PICTURES) + "/pivot_view_no_rows.png"));
    // The first value cell and the line's heading: the colours of data, not of totals.
    const int thirdColumnEnd =
        grid->headingWidth() + grid->columnWidth(1) + grid->columnWidth(2) + grid->columnWidth(3);
    QColor totals = picture.pixelColor(thirdColumnEnd - 4, grid->headingHeight() + 3);
    QColor value = picture.pixelColor(grid->headingWidth() + 4, grid->headingHeight() + 3);
    QColor heading = picture.pixelColor(4, grid->headingHeight() + 3);
    EXPECT_EQ(value, QApplication::palette().color(QPalette::Base));
    EXPECT_NE(heading, totals);
    EXPECT_NE(value, totals);
}

}  // namespace

// The field button's menu: a way is offered while any item of the field is folded otherwise,
// and it folds or opens every item.
TEST_F(PivotViewTest, TheFieldMenuFoldsOrOpensEveryItemWhileAnyIsTheOtherWay) {
    const auto table = control_->table();
    const std::string first =
        pivot::itemPath(table->rows(), table->rows().nodes[size_t(table->rows().lines[0].node)], 0);
    const struct {
        bool showDetail;
        bool oneToggled;
        bool collapse, expand;
    } cases[] = {
        {true, false, true, false}, {true, true, true, true}, {false, false, false, true}, {false, true, true, true}};
    for (const auto& c : cases) {
        control_->setShowDetail(0, c.showDetail);
        if (c.oneToggled) control_->toggleDetail(0, first);
        pivot::qt::PivotView view(control_);
        view.show();
        QApplication::processEvents();
        pivot::qt::FieldButton* region = nullptr;
        for (auto* b : buttons(view))
            if (b->field() == 0) region = b;
        ASSERT_TRUE(region);
        bool collapse = false, expand = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_TRUE(menu);
            QAction* open = nullptr;
            for (QAction* a : menu->actions()) {
                if (a->text() == "Zusammenklappen") collapse = a->isEnabled();
                if (a->text() == "Aufklappen") expand = a->isEnabled(), open = a;
            }
            if (!open->isEnabled()) return menu->close(), void();
            menu->setActiveAction(open);
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(menu, &enter);
        });
        region->click();
        EXPECT_EQ(collapse, c.collapse) << c.showDetail << c.oneToggled;
        EXPECT_EQ(expand, c.expand) << c.showDetail << c.oneToggled;
        if (!expand) continue;
        // "Aufklappen" opens every item.
        const auto opened = control_->table();
        for (size_t line = 0; line < opened->lineCount(); ++line)
            EXPECT_NE(opened->rows().lines[line].kind, pivot::LineKind::Collapsed) << line;
    }
}
