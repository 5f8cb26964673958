// Small stateless helpers shared by writer, reader and style panels. Text is Windows-1252 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quilso {

// Character-reference encoding of a menu text: runs of spaces keep their width through &nbsp;,
// quotes and bytes 160..255 become &#N;, '<' and '>' stay only when `isTag` is true.
std::string HtmlEncode(std::string_view text, bool isTag);
// Inverse of HtmlEncode. Without `isTag` it also decodes &#NN; / &#NNN; references the user
// typed whose value is at most 255; a larger one stays in the text as written. With `isTag`
// the text is markup whose '<' and '>' are the page's own, so only the references HtmlEncode
// writes in that mode are decoded (&#34;, &#39;, &nbsp; and &#160; to &#255;): any other, such
// as &#60;, shows on the page as the character it names and must stay a reference to keep
// doing so. Decoding without `isTag` what was decoded with it gives what decoding without it
// gives at once. Linear in the length of the text.
std::string HtmlDecode(std::string_view text, bool isTag = false);
// The same into `work`, whose memory is reused: decoding many texts allocates once.
void HtmlDecodeTo(std::string_view text, std::string& work, bool isTag = false);

// Index of the first element of table[0..last] equal to text (case-sensitive), or -1.
int IndexOfText(const std::string_view* table, int last, std::string_view text);
// Convenience over CssUnits: 0..8 for a unit, -1 for a keyword.
int CssUnitIndex(std::string_view text);

// Splits a CSS value such as "-1.5em" into number and unit; true when both are present.
bool SplitValueUnit(std::string_view text, std::string& number, std::string& unit);

// Platform colour value (red in the low byte) into its components.
void SplitColor(std::uint32_t colour, int& red, int& green, int& blue);

// Key filters: given the field's text before the keystroke and the key about to be inserted,
// return the key to insert, possibly replaced, or 0 to cancel it. Backspace is 8.
// KeyEnterToNext cancels Enter (13); the caller then moves the focus to the next control.
char KeyEnterToNext(char key);
char KeyDecimalComma(std::string_view text, char key);
char KeyDecimalPoint(std::string_view text, char key);
char KeyDecimal(std::string_view text, char key);
char KeySignedDecimal(std::string_view text, char key, int caret);
char KeyHexDigit(char key);

// Integer conversion of a piece: optional sign, one or more ASCII digits, 32-bit range.
// Anything else gives -1 (which callers treat as failure).
int StrToIntDef(std::string_view text, int fallback = -1);

// javascript:, vbscript: and data: in any case, after removing ASCII white space and control
// characters anywhere in the address, as a browser does before reading the scheme: an address
// that must never become a link.
bool IsUnsafeAddress(std::string_view address);
// Every "%" followed by two hex digits becomes the byte they name; anything else is kept.
std::string PercentDecode(std::string_view text);

} // namespace quilso
