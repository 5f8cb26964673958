// Windows-1252 <-> Unicode by the WHATWG table. The five bytes the table leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, so every byte
// string round-trips.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quilso {

char32_t Cp1252ToUnicode(unsigned char byte);
// The byte for a code point, or nothing when Windows-1252 cannot hold it.
std::optional<char> UnicodeToCp1252(char32_t cp);

std::string Utf8FromCp1252(std::string_view bytes);
// Converts UTF-8 to Windows-1252; nothing when a character has no byte or the UTF-8 is invalid.
std::optional<std::string> Cp1252FromUtf8(std::string_view utf8);

} // namespace quilso
