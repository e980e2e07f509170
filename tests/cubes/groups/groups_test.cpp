// Cube groups: the tree's rows through expanding, contracting and reloading, its navigation,
// and the group list with its form.
#include "cubes/groups/groups.h"

#include "cubes/display/viewer_link.h"

#include "runtime/classlib/request.h"
#include "runtime/classlib/toolbar.h"
#include "tests/cubes/catalogue/catalogue_fixture.h"
#include "tests/cubes/support/qbe_print.h"

using namespace cubegruppe;
namespace req = rt::request;
namespace resp = rt::response;

namespace {

class CubeGroupTest : public cubetest::CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        addGroup(1, "Vertrieb", 1);
        addGroup(2, "Leer", 1);
        addGroup(3, "Alt", 0);
        addGroup(4, "Einkauf", 1);
        addCube(10, 1, "U01", "Umsatz");
        addCube(11, 1, "U02", "Marge", 0);  // inactive cubes show too
        addCube(12, 3, "A01", "Archiv");    // in an inactive group
        addCube(13, 4, "E01", "Bestellungen");
    }
};

// The rows as "text level" with the level negative for a collapsed row.
std::vector<std::string> shown(const CubeTree& tree) {
    std::vector<std::string> out;
    for (const auto& r : tree.rows()) out.push_back(r.display + " " + std::to_string(r.level));
    return out;
}

TEST_P(CubeGroupTest, TreeRowsThroughExpandingContractingAndReloading) {
    enum Action { Load, Expand, Contract };
    struct Step {
        Action action;
        int row;
        std::vector<std::string> rows;
    } steps[] = {
        // Opening: every active group expanded, inactive group left out, a group without cubes flat.
        {Load,
         0,
         {"CubeGruppen 0", "Vertrieb 1", "Umsatz ( U01) 2", "Marge ( U02) 2", "Leer 1", "Einkauf 1",
          "Bestellungen ( E01) 2"}},
        // Contracting the root collapses all and forgets them.
        {Contract, 1, {"CubeGruppen 0", "Vertrieb -1", "Leer 1", "Einkauf -1"}},
        {Load, 0, {"CubeGruppen 0", "Vertrieb -1", "Leer 1", "Einkauf -1"}},
        // A group without cubes has nothing to show.
        {Expand, 3, {"CubeGruppen 0", "Vertrieb -1", "Leer 1", "Einkauf -1"}},
        // A group the user expands stays expanded through a reload.
        {Expand, 4, {"CubeGruppen 0", "Vertrieb -1", "Leer 1", "Einkauf 1", "Bestellungen ( E01) 2"}},
        {Load, 0, {"CubeGruppen 0", "Vertrieb -1", "Leer 1", "Einkauf 1", "Bestellungen ( E01) 2"}},
        {Contract, 4, {"CubeGruppen 0", "Vertrieb -1", "Leer 1", "Einkauf -1"}},
        // Expanding the root shows all; with expand-all set a reload expands what was contracted.
        {Expand,
         1,
         {"CubeGruppen 0", "Vertrieb 1", "Umsatz ( U01) 2", "Marge ( U02) 2", "Leer 1", "Einkauf 1",
          "Bestellungen ( E01) 2"}},
        {Contract, 2, {"CubeGruppen 0", "Vertrieb -1", "Leer 1", "Einkauf 1", "Bestellungen ( E01) 2"}},
        {Load,
         0,
         {"CubeGruppen 0", "Vertrieb 1", "Umsatz ( U01) 2", "Marge ( U02) 2", "Leer 1", "Einkauf 1",
          "Bestellungen ( E01) 2"}},
    };
    onThread([&] {
        CubeTree tree;
        int n = 0;
        for (const auto& s : steps) {
            SCOPED_TRACE(testing::Message() << "step " << ++n);
            switch (s.action) {
            case Load: EXPECT_TRUE(tree.load()); break;
            case Expand: EXPECT_TRUE(tree.expand(s.row)); break;
            case Contract: EXPECT_TRUE(tree.contract(s.row)); break;
            }
            EXPECT_EQ(shown(tree), s.rows);
        }
        // Rows carry the cube they were made with: a cube row its own.
        EXPECT_EQ(tree.row(3).cubeId, 10);
        EXPECT_EQ(tree.row(3).instance, 2);
        EXPECT_EQ(tree.row(1).cubeId, 0);
    });
}

TEST_P(CubeGroupTest, ToolbarNavigationMovesThroughTheTree) {
    onThread([] {
        CubeTree tree;
        ASSERT_TRUE(tree.load());
        ASSERT_TRUE(tree.contract(1));  // root, Vertrieb -1, Leer, Einkauf -1
        struct Case {
            const char* what;
            std::function<int(CubeTree&)> move;
            int expected;
            int rows;
        } cases[] = {
            {"down from a group expands it", [](CubeTree& t) { return t.down(2); }, 3, 6},
            {"last record from a cube: the next group", [](CubeTree& t) { return t.nextGroup(3); }, 5, 6},
            {"first record from a cube: its group", [](CubeTree& t) { return t.groupOf(4); }, 2, 6},
            {"first record from a group: the root", [](CubeTree& t) { return t.groupOf(5); }, 1, 6},
            {"next page from a cube expands the next group", [](CubeTree& t) { return t.nextSameLevel(4); }, 7, 7},
            {"previous page from a group", [](CubeTree& t) { return t.previousSameLevel(6); }, 5, 7},
            {"up from the last row", [](CubeTree& t) { return t.up(7); }, 6, 7},
        };
        for (auto& c : cases) {
            EXPECT_EQ(c.move(tree), c.expected) << c.what;
            EXPECT_EQ(tree.count(), c.rows) << c.what;
        }
    });
}

TEST_P(CubeGroupTest, TreeWindowOpensOnlyCubeRowsInTheViewer) {
    std::mutex m;
    std::vector<long> opened;
    SetCubeViewer([&](long id) {
        std::lock_guard lock(m);
        opened.push_back(id);
    });
    int t = start(req::None, CubeTreeAnzeige);
    auto w = user.waitWindow(kTreeTitle);
    user.settle(t);
    ASSERT_EQ(user.rowCount(w, Tree), 7u);
    EXPECT_EQ(user.cell(w, Tree, 3), "Umsatz ( U01)");
    EXPECT_EQ(user.rows(w, Tree)[1].level, 2);
    EXPECT_EQ(user.selected(w, Tree), 1);
    for (int row : {1, 2, 3}) {  // the root, a group, a cube
        user.selectRow(w, Tree, row);
        user.press(w, Execute);
        user.settle(t);
    }
    user.contract(w, Tree, 2);
    user.settle(t);
    EXPECT_EQ(user.rowCount(w, Tree), 5u);
    EXPECT_EQ(user.rows(w, Tree)[1].level, -2);
    user.press(w, TreeOk);
    user.waitThreadEnd(t);
    SetCubeViewer({});
    EXPECT_EQ(response, resp::Completed);
    EXPECT_EQ(opened, std::vector<long>{10});
}

TEST_P(CubeGroupTest, GroupListPrintsThroughASavedDefinition) {
    cubestest::saveShownField("VOQCubeGruppe", "CUBG:ID", "CUBG:GruppenName", "Gruppe");
    int t = start(req::None, BrowseCubeGruppe);
    auto w = user.waitWindow(kGroupListTitle);
    cubestest::printThroughTheDefinition(user, w, Print);
    user.settle(t);
    EXPECT_EQ(user.rowCount(w, List), 4u);
    user.press(w, Close);
    user.waitThreadEnd(t);
}

TEST_P(CubeGroupTest, GroupListAddsAGroupAndTheFormShowsItsCubes) {
    int t = start(req::None, BrowseCubeGruppe);
    auto w = user.waitWindow(kGroupListTitle);
    ASSERT_EQ(user.rowCount(w, List), 4u);
    user.press(w, Insert);
    auto f = user.waitWindow("EditCubeGruppe");
    EXPECT_EQ(user.window(f).title, "Datensatz anlegen");
    EXPECT_EQ(user.value(f, EntryId), "5");
    user.setValue(f, EntryName, "Lager");
    user.check(f, CheckActive, true);
    user.press(f, Ok);
    user.settle(t);
    ASSERT_EQ(user.rowCount(w, List), 5u);

    user.selectRow(w, List, 1);
    user.press(w, Change);
    f = user.waitWindow("EditCubeGruppe");
    ASSERT_EQ(user.rowCount(f, CubeList), 2u);
    EXPECT_EQ(user.cell(f, CubeList, 1, 3), "U01");
    user.press(f, CubeDelete);  // no action
    user.press(f, Cancel);
    user.settle(t);
    user.press(w, Close);
    user.waitThreadEnd(t);
    EXPECT_EQ(count("VOQCUBEKOPF"), 4);
    EXPECT_EQ(count("VOQCUBEGRUPPE", "GRUPPENNAME = 'Lager' AND ACTIV = 1"), 1);
}

CATALOGUE_ENGINES(CubeGroupTest);

}  // namespace
