#include "xml_text/L_CSV.h"

#include <QStringDecoder>

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

// Bytes up to the delimiter or the line end (neither consumed), quotes and all.
void ReadPlain(Source &source, QByteArray &field) {
    for (int c; (c = Peek(source)) >= 0 && c != source.delimiter && c != '\n' && c != '\r';)
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
        if (Peek(source) != source.delimiter) return Read::Record;
        Next(source);
    }
}

Dialect Detect(const QByteArray &head, char fallback) {
    Dialect dialect;
    dialect.bom = head.startsWith("\xEF\xBB\xBF");
    qsizetype counts[3] = {}, k = dialect.bom ? 3 : 0;
    const char candidates[3] = {';', ',', '\t'};
    for (bool quoted = false; k < head.size() && (quoted || head[k] != '\n'); ++k) {
        if (head[k] == '"') quoted = !quoted;
        for (int c = 0; c < 3; ++c) counts[c] += !quoted && head[k] == candidates[c];
    }
    if (k > 0 && k < head.size() && head[k - 1] == '\r') dialect.lineEnd = "\r\n";
    dialect.delimiter = fallback;
    for (int c = 0, best = 0; c < 3; ++c) {
        if (counts[c] <= best) continue;
        best = int(counts[c]);
        dialect.delimiter = candidates[c];
    }
    return dialect;
}

bool IsUtf8(QIODevice &device) {
    QStringDecoder decoder(QStringConverter::Utf8); // keeps a sequence cut by a chunk's end
    for (QByteArray chunk; !(chunk = device.read(ChunkBytes)).isEmpty();) {
        const QString text = decoder.decode(chunk); // decoding is lazy: it happens here
        if (decoder.hasError()) return false;
    }
    return true;
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
