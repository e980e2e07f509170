// The control's Qt view on the offscreen platform: field buttons in their areas, a field dropped
// into another area, collapsing by the row heading, and a picture of the view.
#include "pivot/qt/pivot_view.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>

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

    // A click on the first region's heading folds the regions.
    auto* grid = view.grid();
    QPoint at(8, grid->headingHeight() + 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, grid->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &press);
    EXPECT_FALSE(control_->fields()[0].showDetail);
    QApplication::processEvents();
    EXPECT_EQ(control_->table()->lineCount(), 4u);  // three regions and the total
    EXPECT_EQ(grid->headingWidth(), 3 * control_->colWidth(0));

    control_->setShowDetail(0, true);
    QApplication::processEvents();
    view.grab().save(QString::fromStdString(std::string(PIVOT_PICTURES) + "/pivot_view.png"));
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
    QColor totals = picture.pixelColor(grid->headingWidth() + 3 * control_->colWidth(1) - 4, grid->headingHeight() + 3);
    QColor value = picture.pixelColor(grid->headingWidth() + 4, grid->headingHeight() + 3);
    QColor heading = picture.pixelColor(4, grid->headingHeight() + 3);
    EXPECT_EQ(value, QApplication::palette().color(QPalette::Base));
    EXPECT_NE(heading, totals);
    EXPECT_NE(value, totals);
}

}  // namespace
