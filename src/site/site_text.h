// Text helpers for reading a site folder: page titles, file names in the form the project stores
// them, the order of menu texts, and the tests for page files and unsafe addresses.
//
// Stored forms are those the application writes when a user types the same thing: a menu text is
// Windows-1252 bytes with "&#N;" for every character the code page cannot hold; a file name is
// Windows-1252 bytes with the UTF-8 bytes of such characters percent-encoded. A stored menu text
// is HTML: the writer leaves "&" alone, and with the tag option "<" and ">" as well, so the
// browser reads references and (with the option) tags in it.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quilso {

// Text from the site (a title, a file name) -> the stored menu text a browser shows as exactly
// that text, with the tag option on or off: an "&" that would start a reference becomes "&amp;",
// a "<" that would start a tag or comment "&lt;"; "AT&T" gives "AT&amp;T", "a < b" stays. The
// control characters U+0080..U+009F, which a browser does not show, are left out.
std::string StoredTextFromUnicode(std::u32string_view text);
// UTF-8 -> Unicode; every byte that does not start a valid sequence gives U+FFFD.
std::u32string DecodeUtf8(std::string_view utf8);
std::string EncodeUtf8(std::u32string_view text);
// A stored menu text for a UTF-8 terminal or JSON: the bytes as their characters, and the
// references of characters Windows-1252 lacks shown as those characters again.
std::string DisplayUtf8(std::string_view stored);
// Where to cut a stored menu text at most `at` bytes long so that no character reference is
// split: `at`, or the start of a reference that would reach past it.
std::size_t ReferenceSafeCut(std::string_view stored, std::size_t at);
// DisplayUtf8 piece by piece, each piece of at most about `pieceBytes` stored bytes: a text of many
// megabytes is shown without holding it converted as a whole.
void ForEachDisplayPiece(std::string_view stored, std::size_t pieceBytes,
                         const std::function<void(std::string_view utf8)>& piece);

// One path segment or a relative path as the file system spells it (UTF-8) -> stored file name.
// Besides what the code page cannot hold, "%", "#", "?" and the backslash are percent-encoded, as a
// browser would otherwise read them as an escape, a fragment, a query or a folder separator.
std::string StoredFileNameFromUtf8(std::string_view utf8);
// A stored file name (without scheme, query or fragment) -> the UTF-8 path it names, the way a
// browser resolves it: characters to UTF-8, then percent escapes decoded.
std::string Utf8PathFromStoredFileName(std::string_view stored);

// The menu text the new-entry dialog suggests for a file name: no directory, no extension, the
// first letter a-z upper-cased. Works on Unicode text.
std::u32string MenuTextFromFileName(std::u32string_view fileName);

// Decodes the character references of HTML text (named, decimal, hexadecimal).
std::u32string DecodeHtmlReferences(std::u32string_view text);
// The text of the page's <title> in its head: the bytes read in the page's character set (a
// declared charset, else UTF-8 when the bytes are valid UTF-8, else Windows-1252), references
// decoded, white space collapsed. Nothing when the page has no title or an empty one.
std::optional<std::u32string> PageTitle(std::string_view html);

// Collation key of a text (UTF-8) for German lists: case and accents ignored at first ("ä"
// sorts with "a", "ß" as "ss"), letters the code page lacks after all others. Equal keys are
// ordered by the texts themselves.
std::string SortKey(std::string_view utf8);
// True when `a` sorts before `b` in that order.
bool MenuTextLess(std::string_view a, std::string_view b);

// Pages are .htm, .html, .shtml, .shtm and .php files, the extension in any case.
bool IsPageFileName(std::string_view name);
// The address starts with a scheme ("mailto:", "https:") or with "/": it is not a file of the
// site folder that could be looked up relative to it.
bool HasSchemeOrIsRooted(std::string_view address);
// The address as a browser reads an href: tabs and line breaks anywhere go, and so do control
// characters and spaces at either end.
std::string BrowserTrimmedAddress(std::string_view address);

} // namespace quilso
