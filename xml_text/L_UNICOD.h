#pragma once
// Text <-> bytes of a code page, and the UTF-8 byte texts of requests and answers.
// The ANSI code page is Latin-1 here: one character per byte, lossless both ways.
#include <QByteArray>
#include <QString>

namespace L_UNICOD {

constexpr int CodePageAnsiQuery = -1; // "the system's ANSI code page", asked for first
constexpr int CodePageAnsi = 0;
constexpr int CodePageLatin1 = 28591;
constexpr int CodePageUtf8 = 65001;

// The text up to its first NUL in the code page; characters the code page lacks become
// "?". An unknown code page gives an empty result.
QByteArray TextToMultiByte(const QString &text, int codePage, int flags);
// The bytes up to their first zero byte as text; invalid UTF-8 becomes U+FFFD. An
// unknown code page gives an empty result.
QString MultiByteToText(const QByteArray &bytes, int codePage, int flags);
// The text that a byte text of UTF-8 bytes encodes; empty gives empty.
QString Utf8ToText(const QString &byteText);
// The UTF-8 bytes of a text as a byte text, without trailing NULs; empty gives empty.
QString TextToUtf8(const QString &text);
// A byte text of UTF-8 with the five entities of XML and numeric character references
// (&amp; &#228; &#xE4;) replaced by their bytes; anything else stays as it is.
QString DecodeEntities(const QString &byteText);

} // namespace L_UNICOD
