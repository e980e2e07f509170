// Text helpers and the fixed-length text types of record buffers.
//
// Text is UTF-8 inside the program. Lengths and cuts count characters, never bytes, and a cut
// never splits a character. Comparisons ignore trailing blanks.
#pragma once

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace rt {

// ---- Free functions on UTF-8 text ------------------------------------------------------------

// The text without trailing blanks.
std::string_view clip(std::string_view text) noexcept;

// The text without leading and trailing blanks.
std::string_view trimBlanks(std::string_view text) noexcept;

// Number of characters (UTF-8 code points; a stray byte counts as one).
std::size_t charLength(std::string_view text) noexcept;

// The first n characters (all of it when shorter).
std::string_view cutChars(std::string_view text, std::size_t n) noexcept;

// count characters starting at character start0 (0-based); clipped to the text.
std::string_view subChars(std::string_view text, std::size_t start0, std::size_t count) noexcept;

// Byte offset of character index charIndex (text.size() when beyond the end).
std::size_t byteOffsetOfChar(std::string_view text, std::size_t charIndex) noexcept;

// Upper and lower case: ASCII and the letters of the ANSI code page (ä/Ä, ö/Ö, ü/Ü, é/É, ...);
// ß unchanged. Every letter keeps its byte length, so byte positions carry over; bytes that are
// no well-formed UTF-8 stay as they are.
std::string upper(std::string_view text);
std::string lower(std::string_view text);

// Equal when they differ only in trailing blanks.
bool equalsTrimmed(std::string_view a, std::string_view b) noexcept;

// Byte order comparison as if both were padded with blanks: <0, 0, >0.
int compareTrimmed(std::string_view a, std::string_view b) noexcept;

// Case-blind comparison (letters folded as upper() does), ignoring trailing blanks: <0, 0, >0.
int compareNoCase(std::string_view a, std::string_view b) noexcept;
bool equalsNoCase(std::string_view a, std::string_view b) noexcept;

// Windows-1252 conversion for files written in the ANSI code page. Characters that the code page
// cannot hold become "?"; invalid UTF-8 bytes become "?" too.
std::string toCp1252(std::string_view utf8);
// The same, counting in `lost` the characters that became "?" for want of a place.
std::string toCp1252(std::string_view utf8, std::size_t& lost);
std::string fromCp1252(std::string_view bytes);

// True when text is well-formed UTF-8 (no over-long forms, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view text) noexcept;
// A text file's bytes as program text: well-formed UTF-8 stays as it is, anything else was written
// in the ANSI code page and is decoded as Windows-1252.
std::string textFromFile(std::string_view bytes);

// The text padded with blanks (or cut) to exactly n characters.
std::string padChars(std::string_view text, std::size_t n);

// A text cell of a CSV file that begins as a formula does ("=", "+", "-", "@") and is no number
// as the lists show them ("-12", "+5", "-1.234,50", "2.5"): a spreadsheet opening the file would
// run it.
bool needsFormulaGuard(std::string_view value) noexcept;

// The value as a CSV text cell holds it: one that needs the guard gets an apostrophe in front,
// which a spreadsheet takes as "text" and does not show; any other stays as it is.
std::string formulaGuarded(std::string_view value);

template <std::size_t N>
class CString;

// ---- STRING(n) -------------------------------------------------------------------------------

// Exactly N characters, blank-padded.
template <std::size_t N>
class String {
    static_assert(N > 0, "STRING needs at least one character");

public:
    String() : text_(N, ' ') {}
    String(std::string_view text) { assign(text); }  // NOLINT(implicit): fields take texts freely
    String(const char* text) { assign(text ? std::string_view(text) : std::string_view()); }
    String(const std::string& text) { assign(text); }
    template <std::size_t M>
    String(const String<M>& other) {
        assign(other.str());
    }
    template <std::size_t M>
    String(const CString<M>& other) {
        assign(other.str());
    }

    String& operator=(std::string_view text) {
        assign(text);
        return *this;
    }
    String& operator=(const char* text) {
        assign(text ? std::string_view(text) : std::string_view());
        return *this;
    }
    String& operator=(const std::string& text) {
        assign(text);
        return *this;
    }
    template <std::size_t M>
    String& operator=(const String<M>& other) {
        assign(other.str());
        return *this;
    }
    template <std::size_t M>
    String& operator=(const CString<M>& other) {
        assign(other.str());
        return *this;
    }

    // In place: a field read row after row keeps its one buffer.
    void assign(std::string_view text) {
        const std::string_view cut = cutChars(text, N);
        const std::size_t have = charLength(cut);
        text_.assign(cut.data(), cut.size());
        text_.append(N - have, ' ');
    }
    void clear() { text_.assign(N, ' '); }

    static constexpr std::size_t capacity() noexcept { return N; }

    const std::string& str() const noexcept { return text_; }          // padded, N characters
    std::string_view clipped() const noexcept { return clip(text_); }  // without trailing blanks
    bool empty() const noexcept { return clipped().empty(); }          // blank
    operator std::string_view() const noexcept { return text_; }

private:
    std::string text_;
};

// ---- CSTRING(n) ------------------------------------------------------------------------------

// At most N-1 characters, kept as given (no padding).
template <std::size_t N>
class CString {
    static_assert(N > 1, "CSTRING needs room for at least one character");

public:
    CString() = default;
    CString(std::string_view text) { assign(text); }  // NOLINT(implicit)
    CString(const char* text) { assign(text ? std::string_view(text) : std::string_view()); }
    CString(const std::string& text) { assign(text); }
    template <std::size_t M>
    CString(const CString<M>& other) {
        assign(other.str());
    }
    template <std::size_t M>
    CString(const String<M>& other) {
        assign(other.str());
    }

    CString& operator=(std::string_view text) {
        assign(text);
        return *this;
    }
    CString& operator=(const char* text) {
        assign(text ? std::string_view(text) : std::string_view());
        return *this;
    }
    CString& operator=(const std::string& text) {
        assign(text);
        return *this;
    }
    // A text that fits (no more bytes than characters allowed) is taken over, not copied.
    CString& operator=(std::string&& text) {
        if (text.size() <= N - 1)
            text_ = std::move(text);
        else
            assign(text);
        return *this;
    }
    template <std::size_t M>
    CString& operator=(const CString<M>& other) {
        assign(other.str());
        return *this;
    }
    template <std::size_t M>
    CString& operator=(const String<M>& other) {
        assign(other.str());
        return *this;
    }

    void assign(std::string_view text) { text_.assign(cutChars(text, N - 1)); }
    void clear() { text_.clear(); }

    static constexpr std::size_t capacity() noexcept { return N - 1; }

    const std::string& str() const noexcept { return text_; }
    std::string_view clipped() const noexcept { return clip(text_); }
    bool empty() const noexcept { return clipped().empty(); }
    operator std::string_view() const noexcept { return text_; }

private:
    std::string text_;
};

// ---- Comparisons, ignoring trailing blanks --------------------------------------------------

template <class T>
concept TextLike = std::is_convertible_v<const T&, std::string_view>;

template <std::size_t N, TextLike T>
bool operator==(const String<N>& a, const T& b) noexcept {
    return equalsTrimmed(a.str(), std::string_view(b));
}
template <std::size_t N, TextLike T>
std::strong_ordering operator<=>(const String<N>& a, const T& b) noexcept {
    return compareTrimmed(a.str(), std::string_view(b)) <=> 0;
}
template <std::size_t N, TextLike T>
bool operator==(const CString<N>& a, const T& b) noexcept {
    return equalsTrimmed(a.str(), std::string_view(b));
}
template <std::size_t N, TextLike T>
std::strong_ordering operator<=>(const CString<N>& a, const T& b) noexcept {
    return compareTrimmed(a.str(), std::string_view(b)) <=> 0;
}

}  // namespace rt
