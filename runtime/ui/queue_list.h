#pragma once
// A list's rows from a queue: one row an entry, made by a format. A List control is published
// a snapshot of the queue, so opening it and every change cost what the shown rows cost, however
// long the queue; other controls with lists get the rows themselves.
//
//   rt::QueueList<Row> shown(queue, [](const Row& r) {
//       rt::ListRow row;
//       row.cells = {rt::ListCell(r.C1.str()), rt::ListCell(std::to_string(r.RECORDID))};
//       return row;
//   });
//   w[LIST].setListSource(&shown);  // each change of the queue shows at the next accept()
//
// The format runs on the display's thread too: it may read the entry it is given and what it
// holds itself, nothing else.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "runtime/data/queue.h"
#include "runtime/ui/model.h"

namespace rt {

template <class R>
class QueueList final : public ListSource {
public:
    using Format = std::function<ListRow(const R&)>;

    QueueList(const Queue<R>& queue, Format format)
        : queue_(queue), format_(std::make_shared<const Format>(std::move(format))) {}

    std::size_t rowCount() const override { return queue_.records(); }
    ListRow row(std::size_t index) const override { return (*format_)(queue_.get(index + 1)); }
    std::uint64_t revision() const override { return queue_.changeStamp(); }
    std::shared_ptr<const VirtualRows> virtualRows() const override {
        auto entries = queue_.snapshot();
        const std::size_t count = entries->records();
        return makeVirtualRows(count, [entries, format = format_](std::size_t first, std::size_t n) {
            std::vector<ListRow> out;
            out.reserve(n);
            for (std::size_t i = first; i < first + n && i < entries->records(); ++i)
                out.push_back((*format)((*entries)[i]));
            return out;
        });
    }

private:
    const Queue<R>& queue_;
    std::shared_ptr<const Format> format_;
};

}  // namespace rt
