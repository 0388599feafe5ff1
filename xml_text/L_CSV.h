#pragma once
// CSV as spreadsheets export it (RFC 4180: quotes, doubled quotes, delimiters and line
// breaks inside quotes; LF or CR LF line ends), read a record at a time from a device (a
// file is never held whole in memory; standard input, read once, is), and written back.
#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace L_CSV {

enum class Encoding { Utf8, Windows1252 };

// How a file writes its records, as its first line shows.
struct Dialect {
    char delimiter = ',';
    QByteArray lineEnd = "\n";
    Encoding encoding = Encoding::Utf8;
    bool bom = false;      // a UTF-8 byte order mark before the first record
    bool sepLine = false;  // Excel's "sep=;" line before the header
    qint64 headerAt = 0;   // the byte where the header begins (after the mark and the line)
    qint64 headerLine = 1; // its line, counting LF from 1
};

// What one pass over all bytes found, by line (counting LF from 1; 0: none).
struct Scan {
    bool multiByte = false; // at least one valid multi-byte UTF-8 sequence
    qint64 invalidLine = 0; // the first line with a byte that is not UTF-8
    qint64 invalid = 0;     // the sequences that are not UTF-8 (each read as U+FFFD)
    qint64 nulLine = 0;     // the first line with a NUL byte
};

// A device read in chunks, and where the reading stands.
struct Source {
    QIODevice *device = nullptr;
    char delimiter = ',';
    Encoding encoding = Encoding::Utf8;
    QByteArray buffer;
    qsizetype at = 0;
    qint64 line = 1; // the line of the byte at `at`, counting LF from 1
};

enum class Read { Record, End, Unterminated };

// The byte of the device where the reading stands (the next record's first byte after a
// record was read).
qint64 Position(const Source &source);

// The next record's fields, decoded, and the line on which it begins; the reader stands
// after its line end. Empty lines are skipped; text after a closing quote is read on into
// the field. Unterminated: a quoted
// field runs to the end of the input; `line` is where its record begins.
Read ReadRecord(Source &source, QStringList &fields, qint64 &line);
// The dialect of a file from its first bytes: a UTF-8 byte order mark; Excel's first line
// "sep=X" (quoted or not), which sets the delimiter; lines of nothing but blanks and
// delimiters before the header, skipped; else the most frequent of ";", "," and tab outside
// quotes in the header (`fallback` when it has none); and the line end (CR LF or LF) of the
// header's line. The encoding is not told by the start: UTF-8.
Dialect Detect(const QByteArray &head, char fallback);
// Reads the device to its end from where it stands.
Scan ScanBytes(QIODevice &device);
// The bytes as text: UTF-8, or Windows-1252 (what German spreadsheets export).
QString Decode(const QByteArray &bytes, Encoding encoding);
// The field as it stands between delimiters, in UTF-8: in quotes, inner quotes doubled,
// when it holds the delimiter, a quote, CR or LF.
QByteArray Encode(const QString &field, char delimiter);
// The fields joined with the delimiter, without a line end.
QByteArray EncodeRecord(const QStringList &fields, char delimiter);

} // namespace L_CSV
