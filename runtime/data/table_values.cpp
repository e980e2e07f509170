// The record's fields as statement parameters and the result's columns read back into the
// record: the conversions between the record's field types and the server's values.
#include <algorithm>
#include <cstdint>
#include <fmt/format.h>
#include <string>
#include <string_view>

#include "runtime/data/table_driver.h"
#include "runtime/text/strings.h"

namespace rt {

namespace {

// "-123.45" as units of `places` decimals, the common form a server gives a DECIMAL column in.
// False for anything else (more decimals than places, exponents, blanks, too many digits), which
// the text parser then reads.
bool plainDecimalUnits(std::string_view t, int places, std::int64_t& units) {
    std::size_t i = 0;
    const bool negative = !t.empty() && t[0] == '-';
    if (negative) ++i;
    std::int64_t v = 0;
    int digits = 0, decimals = -1;
    for (; i < t.size(); ++i) {
        const char ch = t[i];
        if (ch == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (ch < '0' || ch > '9' || ++digits > 18) return false;
        v = v * 10 + (ch - '0');
        if (decimals >= 0 && ++decimals > places) return false;
    }
    if (digits == 0) return false;
    for (int k = decimals < 0 ? 0 : decimals; k < places; ++k, ++digits) {
        if (digits >= 18) return false;
        v *= 10;
    }
    units = negative ? -v : v;
    return true;
}

std::int64_t pow10(int n) {
    std::int64_t v = 1;
    while (n-- > 0) v *= 10;
    return v;
}

std::string dateText(DateNumber d) {
    auto ymd = ymdFromDate(d);
    return fmt::format("{:04}-{:02}-{:02}", ymd.year, ymd.month, ymd.day);
}

std::string timeText(TimeNumber t, bool fraction) {
    auto hms = hmsFromTime(t);
    if (!fraction) return fmt::format("{:02}:{:02}:{:02}", hms.hours, hms.minutes, hms.seconds);
    return fmt::format("{:02}:{:02}:{:02}.{:02}0", hms.hours, hms.minutes, hms.seconds, hms.hundredths);
}

int digitsAt(std::string_view s, std::size_t pos, std::size_t n) {
    if (pos + n > s.size()) return -1;
    int v = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

DateNumber parseDate(std::string_view s) {
    s = trimBlanks(s);
    int y = digitsAt(s, 0, 4), m = digitsAt(s, 5, 2), d = digitsAt(s, 8, 2);
    if (y < 0 || m < 0 || d < 0) return 0;
    return dateFromYmd(y, m, d);
}

TimeNumber parseTime(std::string_view s) {
    s = trimBlanks(s);
    int h = digitsAt(s, 0, 2), mi = digitsAt(s, 3, 2), se = digitsAt(s, 6, 2);
    if (h < 0 || mi < 0) return 0;
    if (se < 0) se = 0;
    int hu = 0;
    if (s.size() > 9 && s[8] == '.') {
        int a = digitsAt(s, 9, 1), b = digitsAt(s, 10, 1);
        hu = (a < 0 ? 0 : a) * 10 + (b < 0 ? 0 : b);
    }
    return timeFromHms(h, mi, se, hu);
}

}  // namespace

SqlParam TableDriver::param(const void* record, int field) const {
    const auto& f = def_.record.field(static_cast<std::size_t>(field));
    SqlParam p;
    const void* m = f.memberIn(record);
    if (f.isInt()) {
        std::int64_t v = f.ops->getInt(m);
        if (!local_ && f.type == FieldType::Date) {
            if (v == 0) return p;
            p.kind = SqlParam::Date;
            p.s = dateText(static_cast<DateNumber>(v));
            return p;
        }
        if (!local_ && f.type == FieldType::Time) {
            if (v == 0) return p;
            p.kind = SqlParam::TimeOfDay;
            p.s = timeText(static_cast<TimeNumber>(v), false);
            return p;
        }
        p.kind = SqlParam::Int;
        p.i = v;
        return p;
    }
    if (f.type == FieldType::Decimal) {
        auto v = f.ops->getDecimal(m);
        if (local_ && f.size <= 18) {
            auto r = v.roundedOrSame(f.places);
            p.kind = SqlParam::Int;
            p.i = static_cast<std::int64_t>(r.units()) * pow10(f.places - r.scale());
            return p;
        }
        p.kind = SqlParam::Decimal;
        p.s = v.toString();
        p.digits = static_cast<int>(f.size);
        p.places = f.places;
        return p;
    }
    std::string_view text = f.ops->getText(m);
    if (f.type == FieldType::Blob) {
        p.kind = SqlParam::Blob;
        p.s.assign(text);
        return p;
    }
    p.kind = SqlParam::Text;
    p.s.assign(f.type == FieldType::String ? clip(text) : text);
    return p;
}

void TableDriver::bindColumns(Statement& stmt, int& index, const void* record) const {
    for (const auto& c : sql_.columns()) {
        if (c.field >= 0) {
            stmt.bind(index++, param(record, c.field));
            continue;
        }
        SqlParam p;
        const auto& df = def_.record.field(static_cast<std::size_t>(c.dateField));
        const auto& tf = def_.record.field(static_cast<std::size_t>(c.timeField));
        auto d = static_cast<DateNumber>(df.ops->getInt(df.memberIn(record)));
        auto t = static_cast<TimeNumber>(tf.ops->getInt(tf.memberIn(record)));
        if (d != 0) {
            p.kind = SqlParam::DateTime;
            p.s = dateText(d) + " " + timeText(t == 0 ? 1 : t, true);
        }
        stmt.bind(index++, p);
    }
}

const std::vector<TableDriver::ReadColumn>& TableDriver::readPlan() {
    const auto& columns = sql_.columns();
    if (planColumns_ == columns.data() && readPlan_.size() == columns.size() && planLocal_ == local_) return readPlan_;
    readPlan_.clear();
    for (const auto& c : columns) {
        ReadColumn r;
        if (c.field < 0) {
            r.kind = ReadColumn::DateTimePair;
            r.field = &def_.record.field(static_cast<std::size_t>(c.dateField));
            r.timeField = &def_.record.field(static_cast<std::size_t>(c.timeField));
            readPlan_.push_back(r);
            continue;
        }
        r.index = static_cast<std::size_t>(c.field);
        r.field = &def_.record.field(r.index);
        const FieldDesc& f = *r.field;
        // Whole numbers come typed from either back end; decimals from the local file as units.
        if (!local_ && (f.type == FieldType::Long || f.type == FieldType::Short || f.type == FieldType::Byte))
            r.kind = ReadColumn::Whole;
        else if (local_ && (f.isInt() || (f.type == FieldType::Decimal && f.size <= 18)))
            r.kind = f.type == FieldType::Decimal ? ReadColumn::LocalUnits : ReadColumn::LocalWhole;
        else if (f.isText())
            r.kind = ReadColumn::Text;
        else
            r.kind = ReadColumn::FromText;
        readPlan_.push_back(r);
    }
    planColumns_ = columns.data();
    planLocal_ = local_;
    return readPlan_;
}

void TableDriver::readRow(Statement& stmt, int first, void* record) {
    fillRow(stmt, first, record, readPlan(), fills(stmt.columnCount(), first));
}

void TableDriver::fillRow(Statement& stmt, int first, void* record, const std::vector<ReadColumn>& plan,
                          std::size_t count) {
    std::string& text = scratch_;
    for (std::size_t k = 0; k < count; ++k) {
        const ReadColumn& r = plan[k];
        const FieldOps* ops = r.field->ops;
        const int col = first + static_cast<int>(k);
        void* m = r.field->memberIn(record);
        std::int64_t v = 0;
        switch (r.kind) {
        case ReadColumn::LocalWhole:
            if (!stmt.columnInt(col, v)) v = 0;
            ops->setInt(m, v);
            break;
        case ReadColumn::LocalUnits:
            if (!stmt.columnInt(col, v)) v = 0;
            ops->setDecimal(m, DecimalValue::fromUnits(v, r.field->places));
            break;
        case ReadColumn::Text: {
            std::string_view view;
            if (stmt.columnView(col, view))
                ops->setText(m, view);
            else
                ops->clear(m);
            break;
        }
        case ReadColumn::Whole:
            if (stmt.columnInt(col, v))
                ops->setInt(m, v);
            else
                ops->clear(m);
            break;
        case ReadColumn::DateTimePair: {
            DateNumber d = 0;
            TimeNumber t = 0;
            if (stmt.columnText(col, text)) {
                d = parseDate(text);
                auto sp = text.find_first_of(" T");
                if (sp != std::string::npos) t = parseTime(std::string_view(text).substr(sp + 1));
            }
            ops->setInt(m, d);
            r.timeField->ops->setInt(r.timeField->memberIn(record), t);
            break;
        }
        case ReadColumn::FromText: {
            if (!stmt.columnText(col, text)) {
                ops->clear(m);
                break;
            }
            const FieldDesc& f = *r.field;
            std::int64_t units = 0;
            if (!local_ && f.type == FieldType::Decimal && f.size <= 18 && plainDecimalUnits(text, f.places, units)) {
                ops->setDecimal(m, DecimalValue::fromUnits(units, f.places));
            } else if (!local_ && f.type == FieldType::Date) {
                ops->setInt(m, parseDate(text));
            } else if (!local_ && f.type == FieldType::Time) {
                auto sp = text.find(' ');
                ops->setInt(m, parseTime(sp != std::string::npos && text.find(':') > sp ? text.substr(sp + 1) : text));
            } else {
                setFieldFromText(def_.record, record, r.index, text);
            }
            break;
        }
        }
    }
    // Fields the row has no column for start empty.
    for (std::size_t k = count; k < plan.size(); ++k)
        if (plan[k].kind != ReadColumn::DateTimePair) plan[k].field->ops->clear(plan[k].field->memberIn(record));
}

}  // namespace rt
