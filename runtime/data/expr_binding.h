// The evaluator's view of record buffers: a field source over a buffer described by its
// RecordDesc, and the readers for DATE, TIME and MEMO variables.
#pragma once

#include "runtime/data/record.h"
#include "runtime/expr/expression.h"

#include <string>
#include <string_view>

namespace rt {

inline void readInto(const Date& d, Value& out) { out.setInt(d.value); }
inline void readInto(const Time& t, Value& out) { out.setInt(t.value); }
template <std::size_t N>
void readInto(const Memo<N>& m, Value& out) {
    out.setText(m.str());
}

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
        const void* member = f.memberIn(buffer_);
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

}  // namespace rt
