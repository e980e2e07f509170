#pragma once
// Number formats of pivot fields and the order of items.
//  - "" (or "Standard"): up to 15 significant digits, German decimal comma, no grouping;
//  - a runtime picture beginning with "@" ("@n-12.2");
//  - an Excel-like format: "#,##0.00", "0.0%", "0", with literal text before and after
//    ("#,##0 €", "\"EUR\" 0.00") and a second section for negatives ("0.00;-0.00").
// Excel-like formats show German marks (point grouping, decimal comma).

#include <cstddef>
#include <string>
#include <string_view>

namespace pivot {

bool validNumberFormat(std::string_view format);
std::string formatNumber(double value, std::string_view format);
// The format as a spreadsheet number format ("" when the general format serves).
std::string spreadsheetFormat(std::string_view format);

// German collation: letters folded (case, umlauts as their base letter, ß as ss) first, then
// the unfolded letter (a before ä) and lower case before upper case, then the bytes. <0, 0, >0.
int compareGerman(std::string_view a, std::string_view b);
// The same order through keys made once per text, for sorting many.
struct GermanKey {
    std::string primary, secondary, tertiary;
};
GermanKey germanKey(std::string_view text);
int compareGerman(const GermanKey& ka, std::string_view a, const GermanKey& kb, std::string_view b);
// The first bytes of a text's first-level key, zero after its end: texts whose leads differ are
// in the order of their leads; texts of equal leads need the whole comparison.
inline constexpr size_t kGermanLead = 16;
void germanLead(std::string_view text, unsigned char (&lead)[kGermanLead]);

}  // namespace pivot
