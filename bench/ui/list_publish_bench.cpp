// Publishing a list of 1,000,000 rows from a ListSource to the headless display: the full copy
// of every row against the row snapshot that the display reads by range. Prints the time of the
// first publication (the window opens), of one publication after the rows changed, and of the
// display reading the 40 rows a screen shows.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "runtime/ui/window.h"

namespace {

constexpr std::size_t kRows = 1'000'000;
enum { LIST = 1, CHANGE };

rt::ListRow makeRow(std::size_t i, std::uint64_t revision) {
    rt::ListRow r;
    r.cells = {rt::ListCell(std::to_string(i + 1)), rt::ListCell("Artikel " + std::to_string(i * 7 % 100'003)),
               rt::ListCell(std::to_string(revision))};
    return r;
}

// A result set held in memory; `snapshots` chooses the snapshot mode.
class Result : public rt::ListSource {
public:
    explicit Result(bool snapshots) : snapshots_(snapshots) {}
    std::size_t rowCount() const override { return kRows; }
    rt::ListRow row(std::size_t i) const override { return makeRow(i, revision_); }
    std::uint64_t revision() const override { return revision_; }
    std::shared_ptr<const rt::VirtualRows> virtualRows() const override {
        if (!snapshots_) return nullptr;
        return rt::makeVirtualRows(kRows, [revision = revision_](std::size_t first, std::size_t count) {
            std::vector<rt::ListRow> out;
            out.reserve(count);
            for (std::size_t i = first; i < first + count; ++i) out.push_back(makeRow(i, revision));
            return out;
        });
    }
    void change() { ++revision_; }

private:
    bool snapshots_;
    std::uint64_t revision_ = 1;
};

double ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool run(bool snapshots) {
    rt::HeadlessDisplay display;
    rt::TestDriver user(display, std::chrono::minutes(2));
    auto start = std::chrono::steady_clock::now();
    int t = rt::startThread([snapshots] {
        Result result(snapshots);
        rt::Window w("Bench", "Bench");
        w.add(LIST, rt::ControlKind::List).setListSource(&result);
        w.add(CHANGE, rt::ControlKind::Button);
        while (auto e = w.accept())
            if (e.event == rt::Event::Accepted && e.control == CHANGE) result.change();
    });
    auto w = user.waitWindow("Bench");
    auto opened = std::chrono::steady_clock::now();
    user.press(w, CHANGE);
    auto changed = std::chrono::steady_clock::now();
    auto screen = user.rows(w, LIST, 500'000, 40);
    auto read = std::chrono::steady_clock::now();
    std::printf("%-10s open %9.1f ms   change %9.1f ms   40 rows shown %7.3f ms   (%zu rows)\n",
                snapshots ? "snapshot" : "full copy", ms(opened - start), ms(changed - opened), ms(read - changed),
                user.rowCount(w, LIST));
    user.closeWindow(w);
    user.waitThreadEnd(t);
    (void)screen;
    // Open and change under 50 ms for a list over a source of a million rows.
    const std::string mode = snapshots ? "row snapshot" : "rows copied";
    auto text = [](double v) { return std::to_string(static_cast<long>(v)) + " ms"; };
    bool met = bench::atMost("list over 1M rows (" + mode + "), open", "-", text(ms(opened - start)),
                             ms(opened - start), 50, " ms");
    met &= bench::atMost("list over 1M rows (" + mode + "), change", "-", text(ms(changed - opened)),
                         ms(changed - opened), 50, " ms");
    return met;
}

}  // namespace

int main() {
    std::printf("List of %zu rows from a ListSource, published to the headless display\n", kRows);
    bool met = run(false);
    met &= run(true);
    return met ? 0 : 1;
}
