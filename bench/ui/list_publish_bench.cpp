// Lists of 1,000,000 rows published to the headless display, from each kind of source: a
// ListSource of its own, an rt::Queue shown through rt::QueueList, and the query runner's
// result queue. For each, the time until the window is open, until one changed entry is shown
// and for reading the 40 rows a screen shows, by the row snapshot that the display reads by
// range, against every row copied at each publication (the baseline; for the result queue the
// copy of every entry the runner made before it took snapshots of its queue).
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "queries/results/result_queues.h"
#include "runtime/data/queue.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "runtime/ui/queue_list.h"
#include "runtime/ui/window.h"

namespace {

constexpr std::size_t kRows = 1'000'000;
enum { LIST = 1, CHANGE };
using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
std::string msText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, v < 10 ? "%.2f ms" : "%.0f ms", v);
    return text;
}

rt::ListRow makeRow(std::size_t i, std::uint64_t revision) {
    rt::ListRow r;
    r.cells = {rt::ListCell(std::to_string(i + 1)), rt::ListCell("Artikel " + std::to_string(i * 7 % 100'003)),
               rt::ListCell(std::to_string(revision))};
    return r;
}

// A result held in memory that makes its rows on request and gives snapshots of them.
class Result : public rt::ListSource {
public:
    std::size_t rowCount() const override { return kRows; }
    rt::ListRow row(std::size_t i) const override { return makeRow(i, revision_); }
    std::uint64_t revision() const override { return revision_; }
    std::shared_ptr<const rt::VirtualRows> virtualRows() const override {
        return rt::makeVirtualRows(kRows, [revision = revision_](std::size_t first, std::size_t count) {
            std::vector<rt::ListRow> out;
            out.reserve(count);
            for (std::size_t i = first; i < first + count; ++i) out.push_back(makeRow(i, revision));
            return out;
        });
    }
    void change() { ++revision_; }

private:
    std::uint64_t revision_ = 1;
};

// Any source without its snapshots: the window copies every row.
class Copied : public rt::ListSource {
public:
    explicit Copied(const rt::ListSource& source) : source_(source) {}
    std::size_t rowCount() const override { return source_.rowCount(); }
    rt::ListRow row(std::size_t i) const override { return source_.row(i); }
    std::uint64_t revision() const override { return source_.revision(); }

private:
    const rt::ListSource& source_;
};

struct Article {
    rt::CString<41> name;
    rt::Long number = 0;
    rt::Long stock = 0;
};

rt::ListRow articleRow(const Article& a) {
    rt::ListRow r;
    r.cells = {rt::ListCell(std::to_string(a.number)), rt::ListCell(a.name.str()),
               rt::ListCell(std::to_string(a.stock))};
    return r;
}

// The runner's row: all result columns, the shown ones filled.
rt::ListRow resultRow(const QueryResultEntry& e, int shown) {
    rt::ListRow r;
    r.cells.resize(kResultColumns);
    for (int c = 1; c <= shown; ++c) r.cells[static_cast<std::size_t>(c) - 1].text = resultColumn(e, c).str();
    return r;
}
constexpr int kShownColumns = 6;

struct Figures {
    double open = 0, change = 0, screen = 0;
    std::size_t rows = 0;
};

// Opens a window whose list the procedure fills by `attach`; CHANGE calls `change`.
Figures measure(const std::function<void(rt::Window&)>& attach, const std::function<void(rt::Window&)>& change) {
    rt::HeadlessDisplay display;
    rt::TestDriver user(display, std::chrono::minutes(5));
    Clock::time_point start;
    int t = rt::startThread([&] {
        rt::Window w("Bench", "Bench");
        w.add(LIST, rt::ControlKind::List);
        w.add(CHANGE, rt::ControlKind::Button);
        start = Clock::now();
        attach(w);
        while (auto e = w.accept())
            if (e.event == rt::Event::Accepted && e.control == CHANGE) change(w);
    });
    Figures f;
    auto w = user.waitWindow("Bench");
    auto opened = Clock::now();
    user.press(w, CHANGE);
    auto changed = Clock::now();
    auto screen = user.rows(w, LIST, 500'000, 40);
    auto read = Clock::now();
    f.open = ms(opened - start);
    f.change = ms(changed - opened);
    f.screen = ms(read - changed);
    f.rows = user.rowCount(w, LIST);
    user.closeWindow(w);
    user.waitThreadEnd(t);
    (void)screen;
    return f;
}

void print(const char* source, const char* mode, const Figures& f) {
    std::printf("%-28s %-12s open %9.1f ms   change %9.1f ms   40 rows shown %7.3f ms   (%zu rows)\n", source, mode,
                f.open, f.change, f.screen, f.rows);
}

// Open and change under 50 ms for a list over a source of a million rows.
bool report(const std::string& source, const Figures& copied, const Figures& snapshot) {
    bool met = bench::atMost("list over 1M rows of " + source + ", open", msText(copied.open) + " (rows copied)",
                             msText(snapshot.open), snapshot.open, 50, " ms");
    met &= bench::atMost("list over 1M rows of " + source + ", change", msText(copied.change) + " (rows copied)",
                         msText(snapshot.change), snapshot.change, 50, " ms");
    return met;
}

bool ownSource() {
    Figures copied, snapshot;
    {
        Result result;
        Copied copy(result);
        copied = measure([&](rt::Window& w) { w[LIST].setListSource(&copy); }, [&](rt::Window&) { result.change(); });
    }
    {
        Result result;
        snapshot =
            measure([&](rt::Window& w) { w[LIST].setListSource(&result); }, [&](rt::Window&) { result.change(); });
    }
    print("a ListSource", "rows copied", copied);
    print("a ListSource", "snapshot", snapshot);
    return report("a ListSource", copied, snapshot);
}

bool queue() {
    rt::Queue<Article> articles;
    for (std::size_t i = 0; i < kRows; ++i)
        articles.add(Article{"Artikel " + std::to_string(i * 7 % 100'003), static_cast<rt::Long>(i + 1),
                             static_cast<rt::Long>(i % 500)});
    rt::QueueList<Article> shown(articles, articleRow);
    auto change = [&](rt::Window&) { articles.get(500'001).name = "geändert"; };
    Copied copy(shown);
    Figures copied = measure([&](rt::Window& w) { w[LIST].setListSource(&copy); }, change);
    Figures snapshot = measure([&](rt::Window& w) { w[LIST].setListSource(&shown); }, change);
    print("an rt::Queue (QueueList)", "rows copied", copied);
    print("an rt::Queue (QueueList)", "snapshot", snapshot);
    return report("an rt::Queue", copied, snapshot);
}

// The runner publishes its result queue as rows read by range: before, from a copy of every
// entry; now from a snapshot of the queue. A change is a sort by another column, as a click on
// a column heading makes it, shown again.
bool resultQueue() {
    QueryResultQueue rows;
    for (std::size_t i = 0; i < kRows; ++i) {
        QueryResultEntry& e = rows.get(rows.add(QueryResultEntry{}));
        e.C1 = "Kunde " + std::to_string(i * 13 % 99'991);
        e.C2 = std::to_string(i % 12 + 1) + ".2024";
        e.C3 = "Artikel " + std::to_string(i * 7 % 100'003);
        e.C4 = std::to_string(i % 50);
        e.C5 = std::to_string(i % 977) + ",50";
        e.C6 = "Region " + std::to_string(i % 9);
        e.RECORDID = static_cast<rt::Long>(i + 1);
    }
    auto publish = [&](rt::Window& w, bool copy) {
        std::shared_ptr<const rt::VirtualRows> shown;
        if (copy) {
            auto all = std::make_shared<const std::vector<QueryResultEntry>>(rows.begin(), rows.end());
            shown = rt::makeVirtualRows(all->size(), [all](std::size_t first, std::size_t count) {
                std::vector<rt::ListRow> out;
                for (std::size_t i = first; i < first + count && i < all->size(); ++i)
                    out.push_back(resultRow((*all)[i], kShownColumns));
                return out;
            });
        } else {
            auto entries = rows.snapshot();
            shown = rt::makeVirtualRows(entries->records(), [entries](std::size_t first, std::size_t count) {
                std::vector<rt::ListRow> out;
                for (std::size_t i = first; i < first + count && i < entries->records(); ++i)
                    out.push_back(resultRow((*entries)[i], kShownColumns));
                return out;
            });
        }
        w[LIST].setVirtualRows(std::move(shown));
    };
    // One changed entry shown again, as the runner's list is published after every change.
    auto change = [&](bool copy) {
        return [&, copy](rt::Window& w) {
            rows.get(500'001).C1 = "geändert";
            publish(w, copy);
        };
    };
    Figures copied = measure([&](rt::Window& w) { publish(w, true); }, change(true));
    Figures snapshot = measure([&](rt::Window& w) { publish(w, false); }, change(false));
    print("a result queue (runner)", "rows copied", copied);
    print("a result queue (runner)", "snapshot", snapshot);
    return report("a query result queue", copied, snapshot);
}

}  // namespace

int main() {
    std::printf("Lists of %zu rows published to the headless display\n", kRows);
    bool met = ownSource();
    met &= queue();
    met &= resultQueue();
    return met ? 0 : 1;
}
