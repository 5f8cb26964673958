// Conversions between the UI's Unicode text and the project's Windows-1252 bytes. Nothing a
// user types is ever lost: characters the code page cannot hold become character references in
// menu texts and percent-encoded UTF-8 in file names.
#pragma once

#include <QString>

#include <string>
#include <string_view>

// Plain conversion of Windows-1252 bytes for display (every byte has a character).
QString FromCp1252(std::string_view bytes);

// A menu text as typed -> stored bytes; "Ω" becomes "&#937;".
std::string MenuTextFromUi(const QString& text);
// Stored menu text -> what the fields and the tree show: every decimal character reference is
// shown as its character, so the references MenuTextFromUi makes round-trip.
QString MenuTextToUi(std::string_view bytes);

// A file name as typed -> stored bytes; "Ω.htm" becomes "%CE%A9.htm".
std::string FileNameFromUi(const QString& text);
QString FileNameToUi(std::string_view bytes);
