// Names that expressions can use: the fields of record buffers, found by their labels
// ("CUBK:CubeName", without regard to case), and single variables bound under a name
// ("QueryString", "QueryName").
//
// Every program thread has its own set (threadBindings()); a set may also be made for one
// evaluator context. A bound name is read at each evaluation, so an expression always sees the
// record buffer's current contents. A name bound again replaces the earlier binding; a variable
// hides a record field of the same label; of two record sources with the same label the one bound
// last wins.
#pragma once

#include "runtime/expr/value.h"
#include "runtime/text/decimal.h"
#include "runtime/text/strings.h"

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace rt {

// The fields of one record buffer as the evaluator reads them. The table layer implements it for
// its record descriptors.
class FieldSource {
public:
    virtual ~FieldSource() = default;
    // The field with this label, matched without regard to case; -1 when there is none.
    virtual int fieldIndex(std::string_view label) const = 0;
    // The field's current value. A text may be borrowed from the record buffer (Value::setText):
    // it is read during one evaluation only.
    virtual void fieldValue(int index, Value& out) const = 0;
};

// ---- Reading typed variables and fields --------------------------------------------------------

inline void readInto(const DecimalValue& v, Value& out) { out.setNumber(v); }
template <int D, int P>
void readInto(const Decimal<D, P>& v, Value& out) {
    out.setNumber(v.value());
}
template <std::size_t N>
void readInto(const String<N>& v, Value& out) {
    out.setText(v.str());
}
template <std::size_t N>
void readInto(const CString<N>& v, Value& out) {
    out.setText(v.str());
}
inline void readInto(const std::string& v, Value& out) { out.setText(v); }
template <class T>
requires(std::is_integral_v<T>) void readInto(const T& v, Value& out) { out.setInt(static_cast<std::int64_t>(v)); }
template <class T>
requires(std::is_floating_point_v<T>) void readInto(const T& v, Value& out) { out.setReal(static_cast<double>(v)); }

template <class T>
concept Readable = requires(const T& v, Value& out) {
    readInto(v, out);
};

using ReadThunk = void (*)(const void*, Value&);

template <Readable T>
void readThunk(const void* address, Value& out) {
    readInto(*static_cast<const T*>(address), out);
}

// A field source over members of a record struct, for buffers without a descriptor of their own
// and for tests: fields.add("CUBK:ID", rec.ID).add("CUBK:CubeName", rec.CubeName).
class RecordFields final : public FieldSource {
public:
    template <Readable T>
    RecordFields& add(std::string label, const T& field) {
        fields_.push_back(Field{std::move(label), &field, &readThunk<T>});
        return *this;
    }
    template <Readable T>
    RecordFields& add(std::string label, const T&& field) = delete;

    int fieldIndex(std::string_view label) const override;
    void fieldValue(int index, Value& out) const override;

private:
    struct Field {
        std::string label;
        const void* address;
        ReadThunk read;
    };
    std::vector<Field> fields_;
};

// ---- The bindings ---------------------------------------------------------------------------

class Bindings {
public:
    Bindings();
    Bindings(const Bindings&) = delete;
    Bindings& operator=(const Bindings&) = delete;

    // A variable read through a getter at each evaluation (a shared global, for instance:
    // bindValue("QueryString", [](Value& v) { v.setOwnedText(QueryString.get()); })).
    void bindValue(std::string name, std::function<void(Value&)> getter);
    // A variable read from its address at each evaluation; it must outlive the binding.
    template <Readable T>
    void bindVariable(std::string name, const T& variable) {
        addVariable(std::move(name), &variable, &readThunk<T>, {});
    }
    template <Readable T>
    void bindVariable(std::string name, const T&& variable) = delete;

    // The fields of a record buffer. The reference form does not own the source: it must stay
    // alive while bound.
    void bindFields(const FieldSource& source);
    void bindFields(std::shared_ptr<const FieldSource> source);

    void unbind(std::string_view name);
    void unbindFields(const FieldSource& source);
    // Drops every binding.
    void clear();
    bool empty() const noexcept { return variables_.empty() && sources_.empty(); }

    // Changes with every binding change; unique across all binding sets of the process, so a
    // compiled expression knows when it must look its names up again.
    std::uint64_t generation() const noexcept { return generation_; }

    // What a name is bound to, for compiled expressions.
    struct Target {
        const FieldSource* source = nullptr;  // a record field ...
        int index = -1;
        const void* address = nullptr;  // ... or a variable at an address ...
        ReadThunk read = nullptr;
        const std::function<void(Value&)>* getter = nullptr;  // ... or a variable's getter

        void readValue(Value& out) const {
            if (source)
                source->fieldValue(index, out);
            else if (read)
                read(address, out);
            else
                (*getter)(out);
        }
    };
    bool resolve(std::string_view name, Target& target) const;

private:
    struct Variable {
        std::string name;
        const void* address;
        ReadThunk read;
        std::function<void(Value&)> getter;
    };
    void addVariable(std::string name, const void* address, ReadThunk read, std::function<void(Value&)> getter);
    void touch();

    std::vector<std::unique_ptr<Variable>> variables_;
    std::vector<std::shared_ptr<const FieldSource>> sources_;
    std::uint64_t generation_;
};

// The calling thread's bindings, empty when the thread starts and released when it ends.
Bindings& threadBindings();

}  // namespace rt
