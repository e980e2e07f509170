// The evaluator's view of a record buffer described by the table layer's RecordDesc. Kept with
// the tests until the table layer takes it over.
#pragma once

#include "runtime/data/record.h"
#include "runtime/expr/expression.h"

#include <string>
#include <string_view>

namespace rt::test {

class DescribedRecordFields final : public FieldSource {
public:
    DescribedRecordFields(const RecordDesc& desc, const void* buffer) : desc_(desc), buffer_(buffer) {}

    int fieldIndex(std::string_view label) const override {
        const auto& fields = desc_.fields();
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (equalsNoCase(fields[i].label, label)) return static_cast<int>(i);
        return -1;
    }

    void fieldValue(int index, Value& out) const override {
        const FieldDesc& f = desc_.fields()[static_cast<std::size_t>(index)];
        if (!f.stored() || f.type == FieldType::Group) {
            out.setText({});
            return;
        }
        const void* member = static_cast<const char*>(buffer_) + f.offset;
        switch (f.type) {
            case FieldType::Long:
            case FieldType::Short:
            case FieldType::Byte:
            case FieldType::Date:
            case FieldType::Time: out.setInt(f.ops->getInt(member)); break;
            case FieldType::Decimal: out.setNumber(f.ops->getDecimal(member)); break;
            default: out.setText(f.ops->getText(member)); break;
        }
    }

private:
    const RecordDesc& desc_;
    const void* buffer_;
};

}  // namespace rt::test
