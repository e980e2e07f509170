#pragma once
// Running one SQL statement on the client's server into variables or a queue, through the
// calling thread's ACQTBL table (its 24 text columns C01 .. C24).
//
//   rt::Byte version = 0;
//   SqlToQueue("SELECT COUNT(*) FROM tversion", nullptr, {version});
//
//   struct Row { rt::CString<21> Key; rt::CString<101> Text; } row;
//   rt::Queue<Row> rows;
//   SqlToQueue("SELECT Key, Text FROM k", SqlQueue(rows, row), {row.Key, row.Text});
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "runtime/data/queue.h"
#include "runtime/data/record.h"
#include "runtime/text/strings.h"

// One variable SqlToQueue writes (the text of a result column, converted to the variable's
// type) and, when it is bound to a name of a server call, reads.
class SqlVariable {
public:
    template <class T>
    SqlVariable(T& target) {  // NOLINT(implicit): the call names its variables as they stand
        if constexpr (std::is_same_v<T, rt::Date>) {
            set_ = [&target](std::string_view text) { target = dateFromServerText(text); };
            get_ = [&target] { return std::to_string(target.value); };
            numeric_ = true;
        } else if constexpr (std::is_same_v<T, rt::Time>) {
            set_ = [&target](std::string_view text) { target = timeFromServerText(text); };
            get_ = [&target] { return std::to_string(target.value); };
            numeric_ = true;
        } else if constexpr (std::is_integral_v<T>) {
            set_ = [&target](std::string_view text) { target = static_cast<T>(leadingNumber(text)); };
            get_ = [&target] { return std::to_string(static_cast<long long>(target)); };
            numeric_ = true;
        } else if constexpr (std::is_floating_point_v<T>) {
            set_ = [&target](std::string_view text) { target = static_cast<T>(leadingReal(text)); };
            get_ = [&target] { return std::to_string(target); };
            numeric_ = true;
        } else if constexpr (std::is_same_v<T, std::string>) {
            set_ = [&target](std::string_view text) { target.assign(text); };
            get_ = [&target] { return target; };
        } else {
            // STRING(n), CSTRING(n) and the other text types of record buffers.
            set_ = [&target](std::string_view text) { target = text; };
            get_ = [&target] { return std::string(std::string_view(target)); };
        }
    }

    void set(std::string_view text) const { set_(text); }
    std::string get() const { return get_(); }
    bool numeric() const { return numeric_; }

    // Conversions of the texts a driver gives for numbers and dates.
    static long long leadingNumber(std::string_view text);
    static double leadingReal(std::string_view text);
    static rt::DateNumber dateFromServerText(std::string_view text);  // "2024-01-31[ ...]"
    static rt::TimeNumber timeFromServerText(std::string_view text);  // "[date ]hh:mm[:ss]"

private:
    std::function<void(std::string_view)> set_;
    std::function<std::string()> get_;
    bool numeric_ = false;
};

// The queue SqlToQueue fills: clear() empties its buffer before each row, add() appends the
// buffer (0, or the runtime's error number).
struct SqlQueueTarget {
    std::function<void()> clear;
    std::function<int()> add;
};

// A queue with the record its variables lie in.
template <class R>
SqlQueueTarget SqlQueue(rt::Queue<R>& queue, R& buffer) {
    return {[&buffer] { buffer = R{}; },
            [&queue, &buffer] {
                queue.add(buffer);
                return 0;
            }};
}

// Runs the statement through the calling thread's ACQTBL (the thread's dictionary must be
// built) and copies result column k into variable k. With a queue every row is added to it,
// without one only the first row is read. Result 1 when a row was read (or nothing was to be
// read: a server call with bound names, or neither a queue nor two variables given), else 0.
// Failures are shown in message boxes titled "OPEN TABLE", "OPEN VIEW", "EXECUTE QUERY",
// "NEXT VIEW" and "ADD TO QUEUE". At most 24 variables.
//
// In a statement containing "CALL ", "&name" binds the n-th name to the n-th variable: the
// variable's value is put into the statement in its place (a text quoted).
rt::Byte SqlToQueue(std::string_view statement, const SqlQueueTarget* queue,
                    std::initializer_list<SqlVariable> variables = {});
inline rt::Byte SqlToQueue(std::string_view statement, const SqlQueueTarget& queue,
                           std::initializer_list<SqlVariable> variables = {}) {
    return SqlToQueue(statement, &queue, variables);
}
