#include "runtime/data/view_manager.h"

#include <algorithm>
#include <mutex>

#include "runtime/data/queue.h"
#include "runtime/data/table_driver.h"
#include "runtime/expr/expression.h"
#include "runtime/expr/order.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"

namespace rt {

namespace {
std::mutex gCompilerMutex;
FilterCompiler& compilerSlot() {
    static FilterCompiler compiler;
    return compiler;
}
}  // namespace

void setFilterCompiler(FilterCompiler compiler) {
    std::lock_guard lock(gCompilerMutex);
    compilerSlot() = std::move(compiler);
}

ViewManager::ViewManager(FileManager& primary) : primary_(primary) {}
ViewManager::~ViewManager() { close(); }

void ViewManager::setFilter(ViewPredicate predicate) {
    filter_ = std::move(predicate);
    loaded_ = false;
}

int ViewManager::setFilter(std::string_view text) {
    loaded_ = false;
    if (trimBlanks(text).empty()) {
        filter_ = nullptr;
        return primary_.ok();
    }
    FilterCompiler compiler;
    {
        std::lock_guard lock(gCompilerMutex);
        compiler = compilerSlot();
    }
    std::string error;
    // Filter texts are the evaluator's language unless someone installed another compiler.
    ViewPredicate p = compiler ? compiler(text, error) : compileFilterPredicate(text, error);
    if (!p) return primary_.fail(ErrInvalidFilter, "", error.empty() ? std::string(text) : error);
    filter_ = std::move(p);
    return primary_.ok();
}

void ViewManager::setOrderKey(int key) {
    orderKey_ = key;
    sort_.clear();
    order_.reset();
    loaded_ = false;
}

void ViewManager::setOrder(std::vector<SortField> fields) {
    sort_ = std::move(fields);
    order_.reset();
    loaded_ = false;
}

bool ViewManager::orderFields(std::string_view text, std::vector<SortField>& fields) const {
    fields.clear();
    std::vector<OrderPart> parts;
    if (parseOrder(primary_.desc(), text, parts)) {
        for (const auto& p : parts) fields.push_back(SortField{nullptr, p.field, p.descending, p.nocase});
        return true;
    }
    // Keys of a joined table: each key on its own against the primary and then each join.
    auto keys = parseOrder(text);
    if (!keys || joins_.empty()) return false;
    for (const SortKey& key : keys.value()) {
        const std::string one = (key.descending ? "-" : "+") + key.expression;
        if (parseOrder(primary_.desc(), one, parts)) {
            fields.push_back(SortField{nullptr, parts[0].field, parts[0].descending, parts[0].nocase});
            continue;
        }
        bool found = false;
        for (const auto& j : joins_) {
            if (parseOrder(j.file->desc(), one, parts)) {
                fields.push_back(SortField{j.file, parts[0].field, parts[0].descending, parts[0].nocase});
                found = true;
                break;
            }
        }
        if (!found) {
            fields.clear();
            return false;
        }
    }
    return true;
}

int ViewManager::setOrder(std::string_view text) {
    loaded_ = false;
    sort_.clear();
    order_.reset();
    // Fields (optionally in UPPER) compare in place; anything else goes through the evaluator.
    std::vector<SortField> fields;
    if (orderFields(text, fields)) {
        sort_ = std::move(fields);
        return primary_.ok();
    }
    auto order = Order::compile(text);
    if (!order) return primary_.fail(ErrInvalidFilter, "", order.error().describe());
    if (!order.value().isEmpty()) order_ = std::make_shared<const Order>(std::move(order).value());
    return primary_.ok();
}

void ViewManager::join(FileManager& other, int otherKey, std::vector<std::pair<std::string, std::string>> links,
                       bool inner) {
    Join j{&other, otherKey, {}, inner};
    for (const auto& [pf, of] : links) {
        int a = primary_.desc().find(pf), b = other.desc().find(of);
        assert(a >= 0 && b >= 0 && "join link names unknown fields");
        j.links.emplace_back(a, b);
    }
    joins_.push_back(std::move(j));
    loaded_ = false;
}

int ViewManager::open() {
    if (int rc = primary_.open()) return rc;
    for (auto& j : joins_) {
        if (int rc = j.file->open()) {
            primary_.close();
            return rc;
        }
    }
    opened_ = true;
    return reset();
}

int ViewManager::close() {
    if (!opened_) return 0;
    for (auto& j : joins_) j.file->close();
    primary_.close();
    opened_ = false;
    rows_.clear();
    loaded_ = false;
    return 0;
}

int ViewManager::reset() {
    sql_ = false;
    loaded_ = false;
    pos_ = -1;
    return 0;
}

bool ViewManager::matchJoins() {
    for (auto& j : joins_) {
        j.file->clearBuffer();
        for (auto [a, b] : j.links)
            j.file->desc().set(j.file->buffer(), static_cast<std::size_t>(b),
                               primary_.desc().get(primary_.buffer(), static_cast<std::size_t>(a)));
        // The first record in the key from the linked values: the links may cover only the
        // leading components of the key.
        bool found = false;
        if (j.file->setFrom(j.key) == 0 && j.file->next() == 0) {
            found = true;
            bool nocase = j.key >= 0 && j.file->def().keys[static_cast<std::size_t>(j.key)].nocase();
            for (auto [a, b] : j.links) {
                FieldValue pv = primary_.desc().get(primary_.buffer(), static_cast<std::size_t>(a));
                FieldValue ov = j.file->desc().get(j.file->buffer(), static_cast<std::size_t>(b));
                bool same;
                if (auto* ps = std::get_if<std::string>(&pv); ps && std::holds_alternative<std::string>(ov))
                    same = nocase ? equalsNoCase(*ps, std::get<std::string>(ov))
                                  : equalsTrimmed(*ps, std::get<std::string>(ov));
                else
                    same = primary_.desc().text(primary_.buffer(), static_cast<std::size_t>(a)) ==
                           j.file->desc().text(j.file->buffer(), static_cast<std::size_t>(b));
                if (!same) found = false;
            }
        }
        if (!found) {
            if (j.inner) return false;
            j.file->clearBuffer();
        }
    }
    return true;
}

int ViewManager::load() {
    rows_.clear();
    pos_ = -1;
    if (int rc = primary_.setOrder(orderKey_)) return rc;
    auto snapshot = [](FileManager& fm) {
        auto saved = fm.saveBuffer();
        return saved.record;
    };
    for (;;) {
        int rc = primary_.next();
        if (rc == ErrRecordNotAvailable) break;
        if (rc) return rc;
        if (!matchJoins()) continue;
        if (filter_ && !filter_()) continue;
        Row row;
        row.primary = primary_.position();
        for (auto& j : joins_) row.joined.push_back(snapshot(*j.file));
        if (order_) {
            // Computed while the row's records are in their buffers, once per row.
            auto keys = order_->keyValues();
            if (!keys) {
                rows_.clear();
                return primary_.fail(ErrInvalidFilter, "", keys.error().describe());
            }
            row.keys = std::move(keys).value();
        }
        rows_.push_back(std::move(row));
    }
    if (order_)
        std::stable_sort(rows_.begin(), rows_.end(),
                         [&](const Row& a, const Row& b) { return order_->compare(a.keys, b.keys) < 0; });
    if (!sort_.empty()) {
        auto slot = [this](const SortField& s) -> std::size_t {
            if (!s.file || s.file == &primary_) return 0;
            for (std::size_t i = 0; i < joins_.size(); ++i)
                if (joins_[i].file == s.file) return i + 1;
            return 0;
        };
        std::stable_sort(rows_.begin(), rows_.end(), [&](const auto& a, const auto& b) {
            for (const auto& s : sort_) {
                std::size_t k = slot(s);
                const RecordDesc& d = k == 0 ? primary_.desc() : joins_[k - 1].file->desc();
                const void* x = k == 0 ? a.primary.record.get() : a.joined[k - 1].get();
                const void* y = k == 0 ? b.primary.record.get() : b.joined[k - 1].get();
                int c = compareField(d, x, y, s.field, s.nocase);
                if (c != 0) return s.descending ? c > 0 : c < 0;
            }
            return false;
        });
    }
    loaded_ = true;
    return 0;
}

int ViewManager::step(int direction) {
    // Rows of an SQL text set on the view (or its table) come straight from the table.
    if (sql_ || primary_.sqlMode()) return direction > 0 ? primary_.next() : primary_.previous();
    if (!loaded_) {
        if (int rc = load()) return rc;
    }
    long long n = static_cast<long long>(rows_.size());
    long long p = pos_;
    if (direction > 0)
        p = p < 0 ? 0 : p + 1;
    else
        p = p < 0 ? n - 1 : p - 1;
    if (p < 0 || p >= n) {
        pos_ = p < 0 ? -1 : n;
        if (pos_ >= n) pos_ = n;
        return primary_.fail(ErrRecordNotAvailable);
    }
    pos_ = p;
    const auto& row = rows_[static_cast<std::size_t>(p)];
    primary_.desc().copy(primary_.buffer(), row.primary.record.get());
    for (std::size_t i = 0; i < joins_.size(); ++i)
        joins_[i].file->desc().copy(joins_[i].file->buffer(), row.joined[i].get());
    // Writing through the primary's manager changes the record just given.
    if (primary_.driver()) primary_.driver()->setLastRead(row.primary);
    return primary_.ok();
}

int ViewManager::next() { return step(1); }
int ViewManager::previous() { return step(-1); }

long long ViewManager::records() {
    if (!loaded_ && load() != 0) return -1;
    return static_cast<long long>(rows_.size());
}

}  // namespace rt
