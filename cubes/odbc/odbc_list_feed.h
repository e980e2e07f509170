#pragma once
// The rows that an attached list reads from its data set.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "cubes/odbc/odbc_class.h"

class OdbcDataSet::ListFeed : public rt::ListSource {
public:
    explicit ListFeed(OdbcDataSet* ds) : ds_(ds) {}

    std::size_t rowCount() const override;
    rt::ListRow row(std::size_t index) const override;
    std::uint64_t revision() const override;
    // The published result with the pictures of the moment: the display formats only the rows
    // it shows, on its own thread. Null while reads are traced, so that they go through GetCell.
    std::shared_ptr<const rt::VirtualRows> virtualRows() const override;

    // One picture per shown column; empty: the single first column unformatted.
    std::vector<std::string> pictures;
    // Set when the data set goes while its list still reads from here.
    void orphan() { ds_ = nullptr; }
    // Rows formatted for the list so far, on either path; shared with the snapshots handed out.
    std::uint64_t rowsRead() const { return rowsRead_->load(std::memory_order_relaxed); }

private:
    OdbcDataSet* ds_;
    std::shared_ptr<std::atomic<std::uint64_t>> rowsRead_ = std::make_shared<std::atomic<std::uint64_t>>(0);
};
