// Record layouts: the typed field members of record structs and the descriptor that the drivers,
// the expression evaluator, the schema synchroniser and the dictionary field list read.
//
// A record is a plain struct of field members (rt::Long, rt::String<N>, ...). Its descriptor
// lists the fields in declaration order with label ("PREFIX:Name"), type, size, picture and
// column name, and reaches each member through a type-erased accessor.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/text/date_time.h"
#include "runtime/text/decimal.h"
#include "runtime/text/strings.h"

namespace rt {

// ---- Field member types ----------------------------------------------------------------------

using Long = std::int32_t;   // LONG
using Short = std::int16_t;  // SHORT
using Byte = std::uint8_t;   // BYTE (flags: 0 off, 1 on)

// DATE: a day number (0 = no date). Its own type so that a descriptor knows it from a LONG.
struct Date {
    DateNumber value = 0;
    Date() = default;
    Date(DateNumber v) : value(v) {}  // NOLINT(implicit)
    operator DateNumber() const noexcept { return value; }
    Date& operator=(DateNumber v) {
        value = v;
        return *this;
    }
};

// TIME: hundredths of a second since midnight plus one (0 = no time).
struct Time {
    TimeNumber value = 0;
    Time() = default;
    Time(TimeNumber v) : value(v) {}  // NOLINT(implicit)
    operator TimeNumber() const noexcept { return value; }
    Time& operator=(TimeNumber v) {
        value = v;
        return *this;
    }
};

// MEMO(n): text of up to N characters, stored beside the record.
template <std::size_t N>
class Memo {
public:
    Memo() = default;
    Memo(std::string_view text) { assign(text); }  // NOLINT(implicit)
    Memo(const char* text) { assign(text ? std::string_view(text) : std::string_view()); }
    Memo& operator=(std::string_view text) {
        assign(text);
        return *this;
    }
    Memo& operator=(const char* text) {
        assign(text ? std::string_view(text) : std::string_view());
        return *this;
    }
    Memo& operator=(const std::string& text) {
        assign(text);
        return *this;
    }
    void assign(std::string_view text) { text_.assign(cutChars(text, N)); }
    void clear() { text_.clear(); }
    static constexpr std::size_t capacity() noexcept { return N; }
    const std::string& str() const noexcept { return text_; }
    std::string_view clipped() const noexcept { return clip(text_); }
    bool empty() const noexcept { return clipped().empty(); }
    operator std::string_view() const noexcept { return text_; }

private:
    std::string text_;
};

// BLOB: binary data of any length, stored beside the record.
class Blob {
public:
    Blob() = default;
    Blob(std::string_view bytes) : bytes_(bytes) {}  // NOLINT(implicit)
    Blob& operator=(std::string_view bytes) {
        bytes_.assign(bytes);
        return *this;
    }
    Blob& operator=(const std::string& bytes) {
        bytes_.assign(bytes);
        return *this;
    }
    Blob& operator=(const char* bytes) {
        bytes_.assign(bytes ? bytes : "");
        return *this;
    }
    void assign(std::string_view bytes) { bytes_.assign(bytes); }
    void clear() { bytes_.clear(); }
    std::size_t size() const noexcept { return bytes_.size(); }
    const std::string& str() const noexcept { return bytes_; }
    bool empty() const noexcept { return bytes_.empty(); }
    operator std::string_view() const noexcept { return bytes_; }

private:
    std::string bytes_;
};

// ---- Descriptor ------------------------------------------------------------------------------

enum class FieldType { Long, Short, Byte, Date, Time, Decimal, String, CString, Memo, Blob, Group };

const char* fieldTypeName(FieldType type);  // "LONG", "STRING", ...

// A field's value as the evaluator and the drivers see it.
using FieldValue = std::variant<std::int64_t, DecimalValue, std::string>;

// Type-erased access to one member, working on the member's own address.
struct FieldOps {
    FieldType type;
    std::int64_t (*getInt)(const void* member);  // numbers, DATE, TIME
    void (*setInt)(void* member, std::int64_t value);
    DecimalValue (*getDecimal)(const void* member);  // DECIMAL
    bool (*setDecimal)(void* member, const DecimalValue&);
    std::string_view (*getText)(const void* member);  // STRING, CSTRING, MEMO, BLOB
    void (*setText)(void* member, std::string_view value);
    void (*clear)(void* member);
};

struct FieldDesc {
    std::string name;   // "CubeName"
    std::string label;  // "CUBK:CubeName"
    FieldType type = FieldType::Long;
    std::size_t size = 0;        // n of STRING(n)/CSTRING(n)/MEMO(n), digits of DECIMAL, 0 else
    int places = 0;              // DECIMAL places
    std::string picture;         // "@s20"
    std::string column;          // server column name; empty: the name
    std::ptrdiff_t offset = -1;  // member offset; -1 for a field without storage of its own
    const FieldOps* ops = nullptr;
    int groupCount = 0;  // Group: number of fields laid over the field before it

    const std::string& columnName() const { return column.empty() ? name : column; }
    bool stored() const { return offset >= 0; }
    bool isText() const {
        return type == FieldType::String || type == FieldType::CString || type == FieldType::Memo ||
               type == FieldType::Blob;
    }
    bool isInt() const {  // held as a whole number by its ops
        return type == FieldType::Long || type == FieldType::Short || type == FieldType::Byte ||
               type == FieldType::Date || type == FieldType::Time;
    }
    // The member in a record of this layout (stored fields only).
    const void* memberIn(const void* record) const { return static_cast<const char*>(record) + offset; }
    void* memberIn(void* record) const { return static_cast<char*>(record) + offset; }
};

// The fields of one record type. Immutable once built.
class RecordDesc {
public:
    const std::string& prefix() const { return prefix_; }
    const std::vector<FieldDesc>& fields() const { return fields_; }
    std::size_t fieldCount() const { return fields_.size(); }
    const FieldDesc& field(std::size_t index) const { return fields_.at(index); }

    // Index of a field by label ("CUBK:CubeName") or by name ("CubeName"), case-insensitive;
    // -1 when there is none.
    int find(std::string_view labelOrName) const;

    // Typed access to a record of this layout. A field without storage reads as empty.
    FieldValue get(const void* record, std::size_t index) const;
    // Converts as the runtime does (text to number reads the leading number, 0 otherwise);
    // false when the value does not fit the field.
    bool set(void* record, std::size_t index, const FieldValue& value) const;
    std::string text(const void* record, std::size_t index) const;  // the value as text
    // The record's size in bytes as declared (a memo or blob is kept apart and not counted).
    std::size_t byteSize() const;
    void setText(void* record, std::size_t index, std::string_view text) const;
    void clear(void* record) const;  // every field empty or 0
    bool isEmpty(const void* record, std::size_t index) const;

    // Record buffers of this layout: new, copy, free.
    std::function<void*()> create;
    std::function<void(void* target, const void* source)> copy;
    std::function<void(void*)> destroy;

    std::string prefix_;
    std::vector<FieldDesc> fields_;
};

// Converts text (as read from a store or a statement) to a field of any type.
void setFieldFromText(const RecordDesc& desc, void* record, std::size_t index, std::string_view text);

namespace detail {

template <FieldType T, std::size_t Size = 0, int Places = 0>
struct Traits {
    static constexpr FieldType type = T;
    static constexpr std::size_t size = Size;
    static constexpr int places = Places;
};

template <class T>
struct MemberTraits;
template <>
struct MemberTraits<Long> : Traits<FieldType::Long> {};
template <>
struct MemberTraits<Short> : Traits<FieldType::Short> {};
template <>
struct MemberTraits<Byte> : Traits<FieldType::Byte> {};
template <>
struct MemberTraits<Date> : Traits<FieldType::Date> {};
template <>
struct MemberTraits<Time> : Traits<FieldType::Time> {};
template <int D, int P>
struct MemberTraits<Decimal<D, P>> : Traits<FieldType::Decimal, D, P> {};
template <std::size_t N>
struct MemberTraits<String<N>> : Traits<FieldType::String, N> {};
template <std::size_t N>
struct MemberTraits<CString<N>> : Traits<FieldType::CString, N> {};
template <std::size_t N>
struct MemberTraits<Memo<N>> : Traits<FieldType::Memo, N> {};
template <>
struct MemberTraits<Blob> : Traits<FieldType::Blob> {};

template <class T>
const FieldOps* opsFor() {
    static const FieldOps ops = [] {
        FieldOps o{};
        o.type = MemberTraits<T>::type;
        if constexpr (MemberTraits<T>::type == FieldType::Decimal) {
            o.getDecimal = [](const void* m) -> DecimalValue { return static_cast<const T*>(m)->value(); };
            o.setDecimal = [](void* m, const DecimalValue& v) { return static_cast<T*>(m)->set(v); };
            o.clear = [](void* m) { static_cast<T*>(m)->clear(); };
        } else if constexpr (std::is_integral_v<T>) {
            o.getInt = [](const void* m) -> std::int64_t { return *static_cast<const T*>(m); };
            o.setInt = [](void* m, std::int64_t v) { *static_cast<T*>(m) = static_cast<T>(v); };
            o.clear = [](void* m) { *static_cast<T*>(m) = 0; };
        } else if constexpr (std::is_same_v<T, Date> || std::is_same_v<T, Time>) {
            o.getInt = [](const void* m) -> std::int64_t { return static_cast<const T*>(m)->value; };
            o.setInt = [](void* m, std::int64_t v) { static_cast<T*>(m)->value = static_cast<std::int32_t>(v); };
            o.clear = [](void* m) { static_cast<T*>(m)->value = 0; };
        } else {
            o.getText = [](const void* m) -> std::string_view { return static_cast<const T*>(m)->str(); };
            o.setText = [](void* m, std::string_view v) { static_cast<T*>(m)->assign(v); };
            o.clear = [](void* m) { static_cast<T*>(m)->clear(); };
        }
        return o;
    }();
    return &ops;
}

// Offset of a member, measured on a probe record (records are default-constructible structs).
template <class R, class T>
std::ptrdiff_t memberOffset(T R::*member) {
    static const R probe{};
    return reinterpret_cast<const char*>(&(probe.*member)) - reinterpret_cast<const char*>(&probe);
}

}  // namespace detail

// Builds a RecordDesc for struct R:
//   RecordBuilder<R>("CUBK").field(&R::ID, "ID", "@n8").field(&R::CubeName, "CubeName", "@s20")
template <class R>
class RecordBuilder {
public:
    explicit RecordBuilder(std::string prefix) {
        desc_.prefix_ = std::move(prefix);
        init();
    }

    // A field; the label is PREFIX:name, the server column the name unless `column` is given.
    template <class T>
    RecordBuilder& field(T R::*member, std::string name, std::string picture = {}, std::string column = {}) {
        FieldDesc f;
        f.label = desc_.prefix_ + ":" + name;
        f.name = std::move(name);
        f.type = detail::MemberTraits<T>::type;
        f.size = detail::MemberTraits<T>::size;
        f.places = detail::MemberTraits<T>::places;
        f.picture = std::move(picture);
        f.column = std::move(column);
        f.offset = detail::memberOffset(member);
        f.ops = detail::opsFor<T>();
        desc_.fields_.push_back(std::move(f));
        return *this;
    }

    // One server date-time column: a STRING(8) field `name` without storage of its own, with a
    // group laid over it holding the DATE and then the TIME member.
    RecordBuilder& dateTime(std::string name, Date R::*date, std::string dateName, std::string datePicture,
                            Time R::*time, std::string timeName, std::string timePicture) {
        FieldDesc head;
        head.label = desc_.prefix_ + ":" + name;
        head.name = name;
        head.type = FieldType::String;
        head.size = 8;
        desc_.fields_.push_back(head);
        FieldDesc group;
        group.label = desc_.prefix_ + ":" + name + "_Group";
        group.name = name + "_Group";
        group.type = FieldType::Group;
        group.groupCount = 2;
        desc_.fields_.push_back(group);
        field(date, std::move(dateName), std::move(datePicture));
        field(time, std::move(timeName), std::move(timePicture));
        return *this;
    }

    RecordDesc build() const { return desc_; }
    RecordDesc& desc() { return desc_; }

private:
    void init() {
        desc_.create = [] { return static_cast<void*>(new R()); };
        desc_.copy = [](void* t, const void* s) { *static_cast<R*>(t) = *static_cast<const R*>(s); };
        desc_.destroy = [](void* p) { delete static_cast<R*>(p); };
    }
    RecordDesc desc_;
};

}  // namespace rt
