#include "xml_text/L_CSV.h"

#include <array>

namespace L_CSV {

namespace {

constexpr qint64 ChunkBytes = 64 * 1024;

// Windows-1252 where it is not Latin-1: 0x80-0x9F (0 where the code page has no character).
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte at the reading position, refilling the buffer; -1 at the end.
int Peek(Source &source) {
    if (source.at == source.buffer.size()) {
        source.buffer = source.device->read(ChunkBytes);
        source.at = 0;
        if (source.buffer.isEmpty()) return -1;
    }
    return static_cast<unsigned char>(source.buffer[source.at]);
}

int Next(Source &source) {
    const int c = Peek(source);
    if (c < 0) return c;
    ++source.at;
    if (c == '\n') ++source.line;
    return c;
}

// A line end at the reading position (LF, CR LF, or an old Mac's lone CR) is consumed;
// true when there was one.
bool LineEnd(Source &source) {
    const int c = Peek(source);
    if (c == '\n') return Next(source) >= 0;
    if (c != '\r') return false;
    Next(source);
    if (Peek(source) == '\n')
        Next(source);
    else
        ++source.line;
    return true;
}

// The delimiter as Peek gives bytes: 0-255, never the end's -1.
int Delimiter(const Source &source) {
    return static_cast<unsigned char>(source.delimiter);
}

// Bytes up to the delimiter or the line end (neither consumed), quotes and all.
void ReadPlain(Source &source, QByteArray &field) {
    for (int c; (c = Peek(source)) >= 0 && c != Delimiter(source) && c != '\n' && c != '\r';)
        field += char(Next(source));
}

// One field from the reading position up to its delimiter or line end (not consumed).
// False when a quoted field is not closed before the end.
bool ReadField(Source &source, QByteArray &field) {
    if (Peek(source) != '"') {
        ReadPlain(source, field);
        return true;
    }
    Next(source);
    for (int c; (c = Next(source)) >= 0;) {
        if (c != '"') {
            field += char(c);
        } else if (Peek(source) == '"') {
            field += char(Next(source)); // a doubled quote
        } else {
            ReadPlain(source, field); // after the closing quote: text, as it stands
            return true;
        }
    }
    return false;
}

} // namespace

Read ReadRecord(Source &source, QStringList &fields, qint64 &line) {
    fields.clear();
    while (LineEnd(source)) {
    } // empty lines
    if (Peek(source) < 0) return Read::End;
    line = source.line;
    for (;;) {
        QByteArray field;
        const bool closed = ReadField(source, field);
        fields.append(Decode(field, source.encoding));
        if (!closed) return Read::Unterminated;
        if (Peek(source) != Delimiter(source)) return LineEnd(source), Read::Record;
        Next(source);
    }
}

namespace {

// Past the lines before the header that hold nothing but blanks and delimiters (a blank
// line, a spreadsheet's empty row), counting them in `line`.
qsizetype PastEmptyLines(const QByteArray &head, qsizetype k, qint64 &line) {
    for (qsizetype end; (end = head.indexOf('\n', k)) >= 0; k = end + 1, ++line)
        for (qsizetype j = k; j < end; ++j)
            if (!QByteArray(" \t\r;,").contains(head[j])) return k;
    return k;
}

} // namespace

qint64 Position(const Source &source) {
    return source.device->pos() - (source.buffer.size() - source.at);
}

Dialect Detect(const QByteArray &head, char fallback) {
    Dialect dialect;
    dialect.bom = head.startsWith("\xEF\xBB\xBF");
    qsizetype k = dialect.bom ? 3 : 0;
    const qsizetype quoted = head.mid(k, 1) == "\"" ? 1 : 0;
    const bool sep = head.mid(k + quoted, 4).toLower() == "sep=" && head.size() > k + quoted + 4;
    const char named = sep ? head[k + quoted + 4] : 0; // a sane delimiter: no quote, letter,
    const bool sane = named == '\t' || (named > ' ' && named < 0x7F && named != '"' && // digit
                                        !QChar::isLetterOrNumber(uchar(named)));
    if (sep && sane && head.indexOf('\n', k) > 0) {
        dialect.sepLine = true;
        dialect.delimiter = named;
        k = head.indexOf('\n', k) + 1;
        ++dialect.headerLine;
    }
    k = PastEmptyLines(head, k, dialect.headerLine);
    dialect.headerAt = k;
    const qsizetype lineEnd = head.indexOf('\n', k);
    if (lineEnd > 0 && head[lineEnd - 1] == '\r') dialect.lineEnd = "\r\n";
    if (dialect.sepLine) return dialect;
    qsizetype counts[3] = {};
    const char candidates[3] = {';', ',', '\t'};
    for (bool inQuotes = false; k < head.size() && (inQuotes || head[k] != '\n'); ++k) {
        if (head[k] == '"') inQuotes = !inQuotes;
        for (int c = 0; c < 3; ++c) counts[c] += !inQuotes && head[k] == candidates[c];
    }
    dialect.delimiter = fallback;
    for (int c = 0, best = 0; c < 3; ++c) {
        if (counts[c] <= best) continue;
        best = int(counts[c]);
        dialect.delimiter = candidates[c];
    }
    return dialect;
}

Scan ScanBytes(QIODevice &device) {
    Scan scan;
    qint64 line = 1;
    int pending = 0;               // continuation bytes still due
    uchar low = 0x80, high = 0xBF; // the range of the next continuation byte
    const auto invalid = [&] {
        if (!scan.invalidLine) scan.invalidLine = line;
        ++scan.invalid;
        pending = 0;
    };
    for (QByteArray chunk; !(chunk = device.read(ChunkBytes)).isEmpty();) {
        for (const char c : chunk) {
            const auto b = uchar(c);
            if (pending > 0) {
                if (b >= low && b <= high) {
                    low = 0x80, high = 0xBF;
                    if (--pending == 0) scan.multiByte = true;
                    continue;
                }
                invalid(); // the sequence is cut: this byte starts anew
            }
            if (b == '\n') ++line;
            if (b == 0 && !scan.nulLine) scan.nulLine = line;
            if (b < 0x80) continue;
            // Lead bytes, without overlong forms, surrogates or code points beyond U+10FFFF.
            pending = b >= 0xC2 && b <= 0xDF   ? 1
                      : b >= 0xE0 && b <= 0xEF ? 2
                      : b >= 0xF0 && b <= 0xF4 ? 3
                                               : 0;
            if (!pending) invalid();
            low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
        }
    }
    if (pending > 0) invalid();
    return scan;
}

QString Decode(const QByteArray &bytes, Encoding encoding) {
    if (encoding == Encoding::Utf8) return QString::fromUtf8(bytes);
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype k = 0; k < bytes.size(); ++k) {
        const auto byte = static_cast<unsigned char>(bytes[k]);
        const char16_t high = byte >= 0x80 && byte < 0xA0 ? Cp1252High[byte - 0x80] : 0;
        text[k] = QChar(high ? high : byte);
    }
    return text;
}

QByteArray Encode(const QString &field, char delimiter) {
    QByteArray bytes = field.toUtf8();
    const bool quote = bytes.contains(delimiter) || bytes.contains('"') || bytes.contains('\n') ||
                       bytes.contains('\r');
    if (!quote) return bytes;
    return '"' + bytes.replace("\"", "\"\"") + '"';
}

QByteArray EncodeRecord(const QStringList &fields, char delimiter) {
    QByteArray record;
    for (qsizetype k = 0; k < fields.size(); ++k) {
        if (k > 0) record += delimiter;
        record += Encode(fields[k], delimiter);
    }
    return record;
}

} // namespace L_CSV
