#pragma once
// The rows that an attached list reads from its data set.
#include <atomic>
#include <string>
#include <vector>

#include "cubes/odbc/odbc_class.h"

class OdbcDataSet::ListFeed : public rt::ListSource {
public:
    explicit ListFeed(OdbcDataSet* ds) : ds_(ds) {}

    std::size_t rowCount() const override;
    rt::ListRow row(std::size_t index) const override;
    std::uint64_t revision() const override;

    // One picture per shown column; empty: the single first column unformatted.
    std::vector<std::string> pictures;
    // Set when the data set goes while its list still reads from here.
    void orphan() { ds_ = nullptr; }

private:
    OdbcDataSet* ds_;
};
