#include "text_convert.h"

#include "cp1252.h"

#include <QStringView>

#include <algorithm>

namespace {
// Calls f(codePoint) for every code point; an unpaired surrogate is passed as U+FFFD.
template <class F> void forEachCodePoint(const QString& text, F&& f) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            f(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else if (c.isSurrogate()) {
            f(char32_t{0xFFFD});
        } else {
            f(char32_t{c.unicode()});
        }
    }
}

// Control characters and surrogates would show as nothing or break the field.
bool shownAsCharacter(char32_t cp) {
    return cp >= 0x20 && !(cp >= 0x7F && cp <= 0x9F) && !(cp >= 0xD800 && cp <= 0xDFFF) && cp <= 0x10FFFF;
}
} // namespace

QString FromCp1252(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (unsigned char b : bytes)
        out.append(QChar(static_cast<char16_t>(quilso::Cp1252ToUnicode(b))));
    return out;
}

std::string MenuTextFromUi(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    forEachCodePoint(text, [&](char32_t cp) {
        if (auto byte = quilso::UnicodeToCp1252(cp)) {
            out += *byte;
        } else {
            out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ';';
        }
    });
    return out;
}

QString MenuTextToUi(std::string_view bytes) {
    QString plain = FromCp1252(bytes);
    if (!plain.contains(QStringLiteral("&#"))) return plain;
    QString out;
    out.reserve(plain.size());
    qsizetype i = 0;
    while (i < plain.size()) {
        // Every decimal reference to a printable character is shown as that character; the
        // text is stored back only when the user changes it.
        if (plain.at(i) == u'&' && i + 2 < plain.size() && plain.at(i + 1) == u'#') {
            qsizetype j = i + 2;
            char32_t cp = 0;
            while (j < plain.size() && plain.at(j) >= u'0' && plain.at(j) <= u'9') {
                cp = std::min<char32_t>(cp * 10 + char32_t(plain.at(j).unicode() - u'0'), 0x110000);
                ++j;
            }
            if (j > i + 2 && j < plain.size() && plain.at(j) == u';' && shownAsCharacter(cp)) {
                out.append(QString::fromUcs4(&cp, 1));
                i = j + 1;
                continue;
            }
        }
        out.append(plain.at(i));
        ++i;
    }
    return out;
}

std::string FileNameFromUi(const QString& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    forEachCodePoint(text, [&](char32_t cp) {
        if (auto byte = quilso::UnicodeToCp1252(cp)) {
            out += *byte;
            return;
        }
        const QByteArray utf8 = QString::fromUcs4(&cp, 1).toUtf8();
        for (unsigned char b : utf8) {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    });
    return out;
}

QString FileNameToUi(std::string_view bytes) {
    return FromCp1252(bytes);
}
