#include "runtime/data/record.h"

#include <charconv>

#include "runtime/os/path.h"

namespace rt {

const char* fieldTypeName(FieldType type) {
    switch (type) {
    case FieldType::Long: return "LONG";
    case FieldType::Short: return "SHORT";
    case FieldType::Byte: return "BYTE";
    case FieldType::Date: return "DATE";
    case FieldType::Time: return "TIME";
    case FieldType::Decimal: return "DECIMAL";
    case FieldType::String: return "STRING";
    case FieldType::CString: return "CSTRING";
    case FieldType::Memo: return "MEMO";
    case FieldType::Blob: return "BLOB";
    case FieldType::Group: return "GROUP";
    }
    return "";
}

int RecordDesc::find(std::string_view labelOrName) const {
    bool hasColon = labelOrName.find(':') != std::string_view::npos;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const auto& f = fields_[i];
        if (namesEqualNoCase(hasColon ? f.label : f.name, labelOrName)) return static_cast<int>(i);
    }
    if (hasColon) {  // another spelling of the prefix ("ProK:" for "PROK:")
        auto name = labelOrName.substr(labelOrName.find(':') + 1);
        auto pre = labelOrName.substr(0, labelOrName.find(':'));
        if (namesEqualNoCase(pre, prefix_)) return find(name);
    }
    return -1;
}

FieldValue RecordDesc::get(const void* record, std::size_t index) const {
    const auto& f = fields_.at(index);
    if (!f.stored()) return std::string();
    if (f.isInt()) return f.ops->getInt(f.memberIn(record));
    if (f.type == FieldType::Decimal) return f.ops->getDecimal(f.memberIn(record));
    return std::string(f.ops->getText(f.memberIn(record)));
}

bool RecordDesc::set(void* record, std::size_t index, const FieldValue& value) const {
    const auto& f = fields_.at(index);
    if (!f.stored()) return false;
    void* m = f.memberIn(record);
    if (f.isInt()) {
        std::int64_t v = 0;
        if (auto* i = std::get_if<std::int64_t>(&value))
            v = *i;
        else if (auto* d = std::get_if<DecimalValue>(&value))
            v = d->toInt64();
        else {
            auto parsed = DecimalValue::parse(std::get<std::string>(value));
            v = parsed ? parsed->toInt64() : 0;
        }
        f.ops->setInt(m, v);
        return true;
    }
    if (f.type == FieldType::Decimal) {
        DecimalValue v;
        if (auto* i = std::get_if<std::int64_t>(&value))
            v = DecimalValue(*i);
        else if (auto* d = std::get_if<DecimalValue>(&value))
            v = *d;
        else
            v = DecimalValue::parseOrZero(std::get<std::string>(value));
        return f.ops->setDecimal(m, v);
    }
    if (auto* s = std::get_if<std::string>(&value))
        f.ops->setText(m, *s);
    else if (auto* i = std::get_if<std::int64_t>(&value))
        f.ops->setText(m, std::to_string(*i));
    else
        f.ops->setText(m, std::get<DecimalValue>(value).toString());
    return true;
}

std::string RecordDesc::text(const void* record, std::size_t index) const {
    auto v = get(record, index);
    if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    if (auto* d = std::get_if<DecimalValue>(&v)) return d->toString();
    return std::get<std::string>(v);
}

std::size_t RecordDesc::byteSize() const {
    std::size_t n = 0;
    for (const auto& f : fields_) {
        if (!f.stored()) continue;
        switch (f.type) {
        case FieldType::Long:
        case FieldType::Date:
        case FieldType::Time: n += 4; break;
        case FieldType::Short: n += 2; break;
        case FieldType::Byte: n += 1; break;
        case FieldType::Decimal: n += f.size / 2 + 1; break;  // packed, sign in the last half byte
        case FieldType::String:
        case FieldType::CString: n += f.size; break;
        case FieldType::Memo:
        case FieldType::Blob:
        case FieldType::Group: break;
        }
    }
    return n;
}

void RecordDesc::setText(void* record, std::size_t index, std::string_view text) const {
    setFieldFromText(*this, record, index, text);
}

void RecordDesc::clear(void* record) const {
    for (const auto& f : fields_)
        if (f.stored()) f.ops->clear(f.memberIn(record));
}

bool RecordDesc::isEmpty(const void* record, std::size_t index) const {
    const auto& f = fields_.at(index);
    if (!f.stored()) return true;
    if (f.isInt()) return f.ops->getInt(f.memberIn(record)) == 0;
    if (f.type == FieldType::Decimal) return f.ops->getDecimal(f.memberIn(record)).isZero();
    return clip(f.ops->getText(f.memberIn(record))).empty();
}

void setFieldFromText(const RecordDesc& desc, void* record, std::size_t index, std::string_view text) {
    const auto& f = desc.fields().at(index);
    if (!f.stored()) return;
    void* m = f.memberIn(record);
    if (f.isText()) {
        f.ops->setText(m, text);
        return;
    }
    auto t = trimBlanks(text);
    if (f.type == FieldType::Decimal) {
        auto v = DecimalValue::parse(t);
        if (!v || !f.ops->setDecimal(m, *v)) f.ops->clear(m);
        return;
    }
    // A leading number, as the runtime reads text into a number ("12abc" gives 12).
    std::int64_t v = 0;
    if (!t.empty()) {
        auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
        if (ec == std::errc() && end == t.data() + t.size()) {  // the common case: a plain integer
            f.ops->setInt(m, v);
            return;
        }
        v = 0;
    }
    auto d = DecimalValue::parse(t);
    if (d) {
        v = d->toInt64();
    } else {
        const char* b = t.data();
        const char* e = b + t.size();
        std::from_chars(b, e, v);
    }
    f.ops->setInt(m, v);
}

}  // namespace rt
