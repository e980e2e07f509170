#include "runtime/data/queue.h"

#include "runtime/text/strings.h"

namespace rt {

bool parseOrder(const RecordDesc& desc, std::string_view order, std::vector<OrderPart>& parts) {
    parts.clear();
    std::size_t pos = 0;
    while (pos <= order.size()) {
        auto end = order.find(',', pos);
        if (end == std::string_view::npos) end = order.size();
        auto part = trimBlanks(order.substr(pos, end - pos));
        pos = end + 1;
        if (part.empty()) {
            if (end == order.size()) break;
            continue;
        }
        OrderPart p{-1, false, false};
        if (part.front() == '+' || part.front() == '-') {
            p.descending = part.front() == '-';
            part = trimBlanks(part.substr(1));
        }
        std::string up = upper(part);
        if (up.rfind("UPPER(", 0) == 0 && part.back() == ')') {
            p.nocase = true;
            part = trimBlanks(part.substr(6, part.size() - 7));
        }
        p.field = desc.find(part);
        if (p.field < 0) return false;
        parts.push_back(p);
        if (end == order.size()) break;
    }
    return true;
}

int compareField(const RecordDesc& desc, const void* a, const void* b, int field, bool nocase) {
    auto idx = static_cast<std::size_t>(field);
    auto x = desc.get(a, idx), y = desc.get(b, idx);
    if (auto* i = std::get_if<std::int64_t>(&x)) {
        auto j = std::get<std::int64_t>(y);
        return *i < j ? -1 : (*i > j ? 1 : 0);
    }
    if (auto* d = std::get_if<DecimalValue>(&x)) return DecimalValue::compare(*d, std::get<DecimalValue>(y));
    const auto& s = std::get<std::string>(x);
    const auto& t = std::get<std::string>(y);
    return nocase ? compareNoCase(s, t) : compareTrimmed(s, t);
}

}  // namespace rt
