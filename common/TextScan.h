#pragma once
// Small text scanning helpers: white space, numbers, tokens, case. Plain text logic.
#include <string>
#include <string_view>
#include <vector>

namespace ornivel {

// White space of the C locale's isspace: blank, tab, line feed, vertical tab, form feed, CR.
inline bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool isCSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
// White space of XML: blank, tab, line feed, CR.
inline bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Which white space a scan skips: the C locale's, or every character that the C library's
// wide character class (iswspace) counts as space.
enum class Spaces { C, Wide };

// The signed decimal number at `from` after leading white space, clamped to the int range;
// 0 when no digit follows. Text after the digits is ignored.
int clampedLeadingInt(const std::wstring& text, size_t from = 0, Spaces spaces = Spaces::C);
// The text without leading and trailing white space of the wide character class.
std::wstring trimWhitespace(const std::wstring& text);
// The non-empty runs of `text` between separators, in order, like the C runtime's tokenizer:
// runs of the separator count as one, leading or trailing ones give no empty fields.
std::vector<std::wstring> splitTokens(const std::wstring& text, wchar_t separator);
// Lower-cases A-Z only; every other unit stays.
std::string lowerAscii(std::string_view text);
std::wstring lowerAscii(std::wstring text);

} // namespace ornivel
