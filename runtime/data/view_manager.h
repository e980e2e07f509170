// ViewManager: the records of a table (optionally joined to others) that pass a filter, in an
// order. The filter is a predicate over the thread's record buffers; a filter text is compiled
// by the expression evaluator unless another compiler is installed (setFilterCompiler).
//
//   rt::ViewManager view(fm);
//   view.setFilter([] { return CUBK.Activ == 1; });
//   view.setOrder("+UPPER(CUBK:CubeName),-CUBK:ID");
//   view.open();
//   while (view.next() == 0) ...   // each record in the buffer of its table
//   view.close();
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/data/file_manager.h"
#include "runtime/expr/value.h"

namespace rt {

class Order;

using ViewPredicate = std::function<bool()>;

// Compiles a filter text into a predicate; returns an empty function and an error text when the
// text is rejected. Installed process-wide in place of the evaluator; an empty one restores it.
using FilterCompiler = std::function<ViewPredicate(std::string_view text, std::string& error)>;
void setFilterCompiler(FilterCompiler compiler);

struct SortField {
    FileManager* file = nullptr;  // the table whose buffer holds the field (null: the primary)
    int field = -1;               // field index in that table's record
    bool descending = false;
    bool nocase = false;
};

class ViewManager {
public:
    explicit ViewManager(FileManager& primary);
    ~ViewManager();
    ViewManager(const ViewManager&) = delete;
    ViewManager& operator=(const ViewManager&) = delete;

    FileManager& primary() const { return primary_; }

    void setFilter(ViewPredicate predicate);
    // A filter text for the registered compiler; "" clears. 46 when it is rejected (or no
    // compiler is registered yet).
    int setFilter(std::string_view text);
    // Order: a key of the primary (default: record order), or sort fields, or an order text
    // (runtime/expr/order.h): "+UPPER(CUBK:CubeName),-CUBK:ID", any expression over the thread's
    // bindings as a key. 46 when the text is rejected (the evaluator's message is the file error
    // text).
    void setOrderKey(int key);
    void setOrder(std::vector<SortField> fields);
    int setOrder(std::string_view text);
    // Joins another table: for each primary record, its record whose `otherKey` components equal
    // the linked fields is read into its buffer (links: primary field, other field, by name).
    // inner: primary records without a partner are left out; else the partner buffer is cleared.
    void join(FileManager& other, int otherKey, std::vector<std::pair<std::string, std::string>> links,
              bool inner = false);

    int open();  // opens the tables as needed and starts at the beginning
    int close();
    int reset();  // back to the beginning (reads the records anew)
    int next();   // 0, or 33 after the last
    int previous();
    long long records();  // records the view yields
    int setSql(std::string_view statement) {
        sql_ = true;
        return primary_.setSql(statement);
    }

private:
    struct Join {
        FileManager* file;
        int key;
        std::vector<std::pair<int, int>> links;  // primary field index, other field index
        bool inner;
    };
    int load();
    bool matchJoins();
    int step(int direction);
    bool orderFields(std::string_view text, std::vector<SortField>& fields) const;

    FileManager& primary_;
    ViewPredicate filter_;
    int orderKey_ = -1;
    std::vector<SortField> sort_;
    std::shared_ptr<const Order> order_;  // an order text beyond fields: keys computed per row
    std::vector<Join> joins_;
    // Snapshot rows: the primary record (with its place, so that it can be changed or deleted
    // after it was given) and each joined record.
    struct Row {
        Position primary;
        std::vector<std::shared_ptr<void>> joined;
        std::vector<Value> keys;  // order_'s key values
    };
    std::vector<Row> rows_;
    long long pos_ = -1;
    bool loaded_ = false;
    bool opened_ = false;
    bool sql_ = false;
};

}  // namespace rt
