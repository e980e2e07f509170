// Queues and views.
#include <array>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "runtime/data/queue.h"
#include "runtime/data/view_manager.h"
#include "runtime/thread/thread_state.h"
#include "tests/runtime/data/fixture_tables.h"
#include "tests/support/test_support.h"

using namespace fixture;

namespace {

struct Row {
    rt::CString<256> C1;
    rt::String<10> C2;
    rt::Long RECORDID = 0;
};

const rt::RecordDesc& rowDesc() {
    static const rt::RecordDesc d = rt::RecordBuilder<Row>("QRY")
                                        .field(&Row::C1, "C1", "@s255")
                                        .field(&Row::C2, "C2", "@s10")
                                        .field(&Row::RECORDID, "RECORDID", "@n8")
                                        .build();
    return d;
}

Row row(const char* c1, const char* c2, int id) {
    Row r;
    r.C1 = c1;
    r.C2 = c2;
    r.RECORDID = id;
    return r;
}

std::vector<int> ids(const rt::Queue<Row>& q) {
    std::vector<int> out;
    for (const auto& r : q) out.push_back(r.RECORDID);
    return out;
}

}  // namespace

TEST(Queue, AddFetchPutEraseAndCopy) {
    rt::Queue<Row> q(&rowDesc());
    EXPECT_EQ(q.add(row("b", "", 1)), 1u);
    EXPECT_EQ(q.add(row("a", "", 2)), 2u);
    EXPECT_EQ(q.add(row("c", "", 3), 1), 1u);  // before the first
    EXPECT_EQ(ids(q), (std::vector<int>{3, 1, 2}));
    Row out;
    EXPECT_EQ(q.fetch(2, out), 0);
    EXPECT_EQ(out.RECORDID, 1);
    EXPECT_EQ(q.fetch(4, out), 30);
    EXPECT_EQ(q.fetch(0, out), 30);
    auto stamp = q.changeStamp();
    EXPECT_EQ(q.put(1, row("z", "", 9)), 0);
    EXPECT_NE(q.changeStamp(), stamp);
    rt::Queue<Row> copy = q;
    EXPECT_EQ(q.erase(1), 0);
    EXPECT_EQ(ids(q), (std::vector<int>{1, 2}));
    EXPECT_EQ(ids(copy), (std::vector<int>{9, 1, 2}));
    q.free();
    EXPECT_EQ(q.records(), 0u);
    EXPECT_EQ(copy.entry(1), &copy.get(1));
    EXPECT_EQ(copy.entry(4), nullptr);
}

TEST(Queue, SortByFieldsAscendingDescendingAndLookup) {
    rt::Queue<Row> q(&rowDesc());
    q.add(row("b", "x", 1));
    q.add(row("A", "y", 2));
    q.add(row("b", "z", 3));
    q.add(row("10", "y", 4));
    q.add(row("9", "y", 5));
    q.sortBy({rt::QueueKey<Row>(&Row::C1), rt::QueueKey<Row>(&Row::RECORDID, true)});
    EXPECT_EQ(ids(q), (std::vector<int>{4, 5, 2, 3, 1}));  // text order: "10" before "9"
    q.sortBy({rt::QueueKey<Row>(&Row::C2, true), rt::QueueKey<Row>(&Row::RECORDID)});
    EXPECT_EQ(ids(q), (std::vector<int>{3, 2, 4, 5, 1}));
    EXPECT_TRUE(q.sort("-QRY:RECORDID"));
    EXPECT_EQ(ids(q), (std::vector<int>{5, 4, 3, 2, 1}));
    EXPECT_TRUE(q.sort("+UPPER(C1),+RECORDID"));
    EXPECT_EQ(ids(q), (std::vector<int>{4, 5, 2, 1, 3}));
    EXPECT_FALSE(q.sort("+NOPE"));
    EXPECT_EQ(q.lookup(&Row::RECORDID, 2), 3u);
    EXPECT_EQ(q.lookup(&Row::C2, "z"), 5u);  // trailing blanks of STRING(10) ignored
    EXPECT_EQ(q.lookup(&Row::RECORDID, 99), 0u);
    EXPECT_EQ(q.find([](const Row& r) { return r.C1 == "A"; }), 3u);
    EXPECT_EQ(q.addSorted(row("B", "", 7), {rt::QueueKey<Row>(&Row::C1, false, true)}), 6u);
}

// Large entries sort where they stand when the queue holds them alone, and are copied into new
// blocks while a snapshot shares them; either way stably, the snapshot keeping its order.
TEST(Queue, LargeEntriesSortStablyInPlaceOrBesideASnapshot) {
    struct Wide {
        std::array<rt::CString<256>, 15> texts;
        rt::Long id = 0;
    };
    static_assert(sizeof(Wide) > 256);
    for (bool shared : {false, true}) {
        rt::Queue<Wide> q;
        std::vector<std::pair<std::string, int>> model;
        for (int i = 1; i <= 2000; ++i) {
            Wide w;
            w.texts[0] = "Schlüssel " + std::to_string(i * 7919 % 97);  // ties: order of arrival kept
            w.texts[14] = std::string(20, char('a' + i % 26));
            w.id = i;
            model.emplace_back(w.texts[0].str(), i);
            q.add(std::move(w));
        }
        auto before = shared ? q.snapshot() : nullptr;
        q.sort([](const Wide& a, const Wide& b) { return a.texts[0].str() < b.texts[0].str(); });
        std::stable_sort(model.begin(), model.end(), [](auto& a, auto& b) { return a.first < b.first; });
        ASSERT_EQ(q.records(), model.size());
        for (std::size_t k = 0; k < model.size(); ++k) {
            const Wide& w = q.get(k + 1);
            ASSERT_EQ(w.id, model[k].second) << k << (shared ? " shared" : " alone");
            ASSERT_EQ(w.texts[0].str(), model[k].first);
            ASSERT_EQ(w.texts[14].str(), std::string(20, char('a' + w.id % 26)));
        }
        if (before) {
            for (std::size_t k = 0; k < before->records(); ++k) ASSERT_EQ((*before)[k].id, rt::Long(k + 1));
        }
    }
}

// A sort by one text member orders as compareTrimmed does, stably, either way round: texts
// alike in their first eight bytes, blanks at the end, control characters just past a shorter
// text's end, bytes above 127.
TEST(Queue, LargeEntriesSortByATextAsTheTextComparisonOrdersThem) {
    struct Wide {
        rt::CString<256> key;
        std::array<rt::CString<256>, 14> rest;
        rt::Long id = 0;
    };
    const char* texts[] = {
        "",         " ",         "abc",           "abc  ",         "abc\x01",       "abc \x01", "abc x",
        "abcdefgh", "abcdefgh ", "abcdefghi",     "abcdefgh\x01",  "abcdefgz",      "Ärger",    "Zebra",
        "zebra",    "abcdefg",   "Kunde 0000001", "Kunde 0000002", "Kunde 00000010"};
    for (bool shared : {false, true})
        for (bool descending : {false, true}) {
            rt::Queue<Wide> q;
            std::vector<std::pair<std::string, int>> model;
            for (int i = 1; i <= 3000; ++i) {
                Wide w;
                w.key = texts[(i * 7919) % std::size(texts)];
                w.rest[13] = std::to_string(i);
                w.id = i;
                model.emplace_back(w.key.str(), i);
                q.add(std::move(w));
            }
            auto before = shared ? q.snapshot() : nullptr;
            q.sortByText(&Wide::key, descending);
            std::stable_sort(model.begin(), model.end(), [&](auto& a, auto& b) {
                const int c = rt::compareTrimmed(a.first, b.first);
                return descending ? c > 0 : c < 0;
            });
            ASSERT_EQ(q.records(), model.size());
            for (std::size_t k = 0; k < model.size(); ++k) {
                const Wide& w = q.get(k + 1);
                ASSERT_EQ(w.id, model[k].second) << k << (shared ? " shared" : " alone") << descending;
                ASSERT_EQ(w.rest[13].str(), std::to_string(w.id));
            }
            if (before) {
                for (std::size_t k = 0; k < before->records(); ++k) ASSERT_EQ((*before)[k].id, rt::Long(k + 1));
            }
        }
}

// Many entries (many blocks) against a plain vector: every change lands where the vector's
// does, and each snapshot keeps the entries of its moment, whatever the queue does after.
TEST(Queue, ChangesLandInPlaceAndSnapshotsKeepTheirMoment) {
    rt::Queue<Row> q(&rowDesc());
    std::vector<int> model;
    for (int i = 1; i <= 3000; ++i) {
        q.add(row("x", "", i));
        model.push_back(i);
    }
    std::vector<std::pair<std::shared_ptr<const rt::QueueSnapshot<Row>>, std::vector<int>>> taken;
    auto take = [&] {
        ASSERT_EQ(ids(q), model);
        taken.emplace_back(q.snapshot(), model);
    };
    take();
    q.put(1, row("p", "", -1));
    model[0] = -1;
    take();
    auto stamp = q.changeStamp();
    q.get(1500).RECORDID = -2;  // through the reference: the snapshot before does not see it
    model[1499] = -2;
    EXPECT_NE(q.changeStamp(), stamp) << "an entry handed out to be changed counts as a change";
    take();
    for (int i = 0; i < 1200; ++i) {  // one place fills up: its block splits
        q.add(row("i", "", 10000 + i), 100);
        model.insert(model.begin() + 99, 10000 + i);
    }
    take();
    for (int i = 0; i < 700; ++i) {  // and empties again, blocks and all
        ASSERT_EQ(q.erase(50), 0);
        model.erase(model.begin() + 49);
    }
    take();
    q.sortBy({rt::QueueKey<Row>(&Row::RECORDID, true)});
    std::stable_sort(model.begin(), model.end(), std::greater<int>());
    take();
    auto at = std::upper_bound(model.begin(), model.end(), 5, std::greater<int>());
    EXPECT_EQ(q.addSorted(row("s", "", 5), {rt::QueueKey<Row>(&Row::RECORDID, true)}),
              static_cast<std::size_t>(at - model.begin()) + 1);
    model.insert(at, 5);
    take();
    EXPECT_EQ(q.lookup(&Row::RECORDID, 5),
              static_cast<std::size_t>(std::find(model.begin(), model.end(), 5) - model.begin() + 1));
    q.free();
    model.clear();
    take();
    for (const auto& [snapshot, expected] : taken) {
        std::vector<int> seen;
        for (const Row& r : *snapshot) seen.push_back(r.RECORDID);
        EXPECT_EQ(seen, expected);
        ASSERT_EQ(snapshot->records(), expected.size());
        if (!expected.empty()) {
            EXPECT_EQ((*snapshot)[expected.size() - 1].RECORDID, expected.back());
        }
    }
}

namespace {

using Defs = StoreDefs<rt::StoreKind::LocalFile>;

class View : public ::testing::Test {
protected:
    void SetUp() override {
        gHeadFile.set(dir.file("VIEWS"));
        ASSERT_EQ(head.open(), 0);
        ASSERT_EQ(line.open(), 0);
        const char* names[] = {"delta", "Alpha", "charlie", "bravo"};
        for (int i = 0; i < 4; ++i) {
            head.clearBuffer();
            H.Name = names[i];
            H.Code = std::to_string(i);
            ASSERT_EQ(head.primeRecord(true), 0);
            H.Activ = i % 2;
            ASSERT_EQ(head.insert(), 0);
        }
        for (int h : {1, 3, 3}) {
            line.clearBuffer();
            L.ID_HEAD = h;
            L.Text = "line of " + std::to_string(h);
            ASSERT_EQ(line.primeRecord(true), 0);
            ASSERT_EQ(line.insert(), 0);
        }
    }
    void TearDown() override {
        head.closeAll();
        line.closeAll();
        rt::setFilterCompiler(nullptr);
    }
    std::vector<std::string> names(rt::ViewManager& v) {
        std::vector<std::string> out;
        while (v.next() == 0) out.emplace_back(H.Name.str());
        return out;
    }

    voq::test::TempDir dir;
    HeadRecord H;
    LineRecord L;
    rt::FileManager head{Defs::head(), &H};
    rt::FileManager line{Defs::line(), &L};
};

}  // namespace

TEST_F(View, FilterAndOrder) {
    rt::ViewManager v(head);
    v.setFilter([this] { return H.Activ == 1; });
    ASSERT_EQ(v.setOrder("+UPPER(HEAD:Name)"), 0);
    ASSERT_EQ(v.open(), 0);
    EXPECT_EQ(names(v), (std::vector<std::string>{"Alpha", "bravo"}));
    EXPECT_EQ(v.records(), 2);
    EXPECT_EQ(v.next(), 33);

    v.setFilter(rt::ViewPredicate());
    ASSERT_EQ(v.setOrder("-HEAD:ID"), 0);
    v.reset();
    EXPECT_EQ(names(v), (std::vector<std::string>{"bravo", "charlie", "Alpha", "delta"}));
    v.reset();
    ASSERT_EQ(v.previous(), 0);  // backwards from the end
    EXPECT_EQ(H.Name, "delta");

    v.setOrderKey(head.keyIndex("HEAD:KeyName"));
    v.reset();
    EXPECT_EQ(names(v), (std::vector<std::string>{"Alpha", "bravo", "charlie", "delta"}));
    EXPECT_EQ(v.setOrder("+HEAD:Unknown"), 46);
    EXPECT_EQ(rt::errorCode(), 46);
    v.close();
    EXPECT_EQ(head.openCount(), 1);
}

TEST_F(View, FilterTextNeedsTheEvaluator) {
    rt::ViewManager v(head);
    EXPECT_EQ(v.setFilter(std::string_view("HEAD:Activ = 1")), 46);
    rt::setFilterCompiler([this](std::string_view text, std::string& error) -> rt::ViewPredicate {
        if (text == "active") return [this] { return H.Activ == 1; };
        error = "bad filter";
        return {};
    });
    EXPECT_EQ(v.setFilter(std::string_view("nonsense")), 46);
    EXPECT_EQ(rt::fileErrorText(), "bad filter");
    EXPECT_EQ(v.setFilter(std::string_view("active")), 0);
    ASSERT_EQ(v.open(), 0);
    EXPECT_EQ(v.records(), 2);
}

TEST_F(View, JoinInnerAndOuterAndDeleteWhatItYields) {
    rt::ViewManager outer(line);
    outer.join(head, head.keyIndex("HEAD:KeyID"), {{"ID_HEAD", "ID"}});
    ASSERT_EQ(outer.setOrder("+LINE:ID"), 0);
    ASSERT_EQ(outer.open(), 0);
    std::vector<std::string> seen;
    while (outer.next() == 0) seen.push_back(std::to_string(L.ID_HEAD) + ":" + H.Name.str());
    EXPECT_EQ(seen, (std::vector<std::string>{"1:delta", "3:charlie", "3:charlie"}));

    // Heads with their lines: the join by the head's name order; heads without lines left out.
    rt::ViewManager inner(head);
    inner.join(line, line.keyIndex("LINE:KeyHead"), {{"ID", "ID_HEAD"}}, true);
    inner.setOrderKey(head.keyIndex("HEAD:KeyName"));
    ASSERT_EQ(inner.open(), 0);
    EXPECT_EQ(names(inner), (std::vector<std::string>{"charlie", "delta"}));

    rt::ViewManager del(head);
    del.setFilter([this] { return H.Activ == 0; });
    ASSERT_EQ(del.open(), 0);
    while (del.next() == 0) ASSERT_EQ(head.deleteRecord(), 0);
    EXPECT_EQ(head.records(), 2);
}

TEST_F(View, SqlTextOnTheViewGivesItsRows) {
    rt::ViewManager v(head);
    ASSERT_EQ(v.open(), 0);
    ASSERT_EQ(v.setSql("SELECT ID * 10, Name FROM Head WHERE Activ = 1 ORDER BY ID"), 0);
    std::vector<int> ids;
    while (v.next() == 0) ids.push_back(H.ID);
    EXPECT_EQ(ids, (std::vector<int>{20, 40}));
    v.close();
    head.setOrder("HEAD:KeyID");  // back to the table's own records
    EXPECT_FALSE(head.sqlMode());
    ASSERT_EQ(head.next(), 0);
    EXPECT_EQ(H.ID, 1);
}
