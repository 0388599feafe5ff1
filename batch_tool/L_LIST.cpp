#include "batch_tool/L_LIST.h"

#include "batch_tool/L_COLUMN.h"
#include "batch_tool/L_MATCH.h"
#include "xml_text/L_REPLAC.h"

#include <QBuffer>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <vector>

namespace L_LIST {

namespace {

// A file, or standard input, a FIFO or a pipe kept in memory (they cannot be read twice).
bool OpenDevice(const QString &name, List &list, QString &message) {
    list.name = name == QStringLiteral("-") ? QStringLiteral("Standardeingabe") : name;
    auto file = std::make_unique<QFile>();
    const bool opened = name == QStringLiteral("-")
                            ? file->open(stdin, QIODevice::ReadOnly)
                            : (file->setFileName(name), file->open(QIODevice::ReadOnly));
    if (!opened) {
        message =
            QStringLiteral("%1 kann nicht gelesen werden: %2").arg(list.name, file->errorString());
        return false;
    }
    if (!file->isSequential()) {
        list.device = std::move(file);
        return true;
    }
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(file->readAll());
    buffer->open(QIODevice::ReadOnly);
    list.device = std::move(buffer);
    return true;
}

// The encoding: the option's, else UTF-8 where every byte is; Windows-1252 where no
// multi-byte UTF-8 sequence is (with a note); a mix of both is refused.
bool ChooseEncoding(const L_BATCH::Options &options, List &list, QString &message, QString &note) {
    if (list.device->peek(2) == "\xFF\xFE" || list.device->peek(2) == "\xFE\xFF") {
        message = QStringLiteral("%1 ist UTF-16; bitte als UTF-8 oder Windows-1252 (CSV) speichern")
                      .arg(list.name);
        return false;
    }
    const L_CSV::Scan scan = L_CSV::ScanBytes(*list.device);
    list.device->seek(0);
    if (scan.nulLine > 0) {
        message = QStringLiteral("%1, Zeile %2: ein NUL-Byte; das ist keine Textdatei")
                      .arg(list.name)
                      .arg(scan.nulLine);
        return false;
    }
    using L_CSV::Encoding;
    if (!options.encoding.isEmpty()) {
        const bool utf8 = options.encoding == QStringLiteral("utf-8");
        list.dialect.encoding = utf8 ? Encoding::Utf8 : Encoding::Windows1252;
        if (utf8 && scan.invalid > 0)
            note = QStringLiteral("%1 ist an %2 kein UTF-8; dort steht �, zuerst in Zeile %3")
                       .arg(list.name, scan.invalid == 1
                                           ? QStringLiteral("einer Stelle")
                                           : QStringLiteral("%1 Stellen").arg(scan.invalid))
                       .arg(scan.invalidLine);
        return true;
    }
    list.dialect.encoding = scan.invalidLine ? Encoding::Windows1252 : Encoding::Utf8;
    if (scan.invalidLine && scan.multiByte) {
        message = QStringLiteral("%1, Zeile %2: kein gültiges UTF-8, anderswo aber schon; "
                                 "--encoding utf-8 oder --encoding windows-1252 sagt, was gilt")
                      .arg(list.name)
                      .arg(scan.invalidLine);
        return false;
    }
    if (scan.invalidLine)
        note = QStringLiteral("%1 ist kein gültiges UTF-8 und wird als Windows-1252 gelesen")
                   .arg(list.name);
    return true;
}

// A field as one line: the lines of a cell ("Seecorso 12", "9220 Velden") joined with ", ".
QString OneLine(const QString &field) {
    if (!field.contains(u'\n') && !field.contains(u'\r')) return field.trimmed();
    QStringList lines = QString(field).replace(u'\r', u'\n').split(u'\n');
    for (QString &line : lines) line = line.trimmed();
    lines.removeAll(QString());
    return lines.join(QStringLiteral(", "));
}

// The fields of the columns, each as one line, the empty ones left out, joined with
// `separator`.
QString Joined(const QStringList &fields, const QList<int> &columns, const QString &separator) {
    QStringList parts;
    for (int k : columns)
        if (const QString part = k >= 0 ? OneLine(fields.value(k)) : QString(); !part.isEmpty())
            parts.append(part);
    return parts.join(separator);
}

// "Straße Hausnummer, PLZ Ort, Land", the empty parts left out, with the row's postcode and
// town as they stand in their columns.
Address PostalAddress(const QStringList &fields, const QList<int> &c) {
    QStringList parts{Joined(fields, {c[0], c[1]}, QStringLiteral(" ")),
                      Joined(fields, {c[2], c[3]}, QStringLiteral(" ")),
                      Joined(fields, {c[4]}, QString())};
    parts.removeAll(QString());
    Address address{parts.join(QStringLiteral(", ")), Joined(fields, {c[2]}, QString()),
                    Joined(fields, {c[3]}, QString())};
    if (address.postcode.isEmpty()) { // "PLZ/Ort": both in the town's column
        QString postcode, town;
        L_MATCH::PostcodeAndTown(address.town, postcode, town);
        if (!postcode.isEmpty()) address.postcode = postcode, address.town = town;
    }
    return address;
}

// A free-form address, with the postcode and town it names.
Address FreeForm(const QString &text) {
    Address address{text, {}, {}};
    L_MATCH::PostcodeAndTown(text, address.postcode, address.town);
    return address;
}

// A header that the encoding given does not read as written (UTF-8 bytes that are not, or
// UTF-8 read as Windows-1252: "StraÃŸe") would lose its columns without a word.
bool HeaderDecodes(const L_BATCH::Options &options, List &list, QString &message) {
    if (options.encoding.isEmpty()) return true;
    QBuffer header;
    list.device->seek(list.dialect.headerAt);
    header.setData(list.device->read(list.bodyStart - list.dialect.headerAt));
    header.open(QIODevice::ReadOnly);
    const L_CSV::Scan scan = L_CSV::ScanBytes(header);
    const bool utf8 = list.dialect.encoding == L_CSV::Encoding::Utf8;
    if (utf8 ? scan.invalid == 0 : !scan.multiByte || scan.invalid > 0) return true;
    message = QStringLiteral("%1: die Kopfzeile ist nicht %2, wie --encoding sagt; "
                             "ohne --encoding liest das Programm die Datei selbst")
                  .arg(list.name, options.encoding);
    return false;
}

} // namespace

bool Open(const L_BATCH::Options &options, const QStringList &added, List &list, QString &message,
          QString &note) {
    if (!OpenDevice(options.input, list, message) || !ChooseEncoding(options, list, message, note))
        return false;
    const L_CSV::Encoding encoding = list.dialect.encoding;
    // Without a delimiter in the header, the one a spreadsheet of the user's locale reads.
    list.dialect =
        L_CSV::Detect(list.device->peek(64 * 1024), QLocale().decimalPoint() == u',' ? ';' : ',');
    list.dialect.encoding = encoding;
    list.device->seek(list.dialect.headerAt);
    L_CSV::Source source{list.device.get(),      list.dialect.delimiter, encoding, {}, 0,
                         list.dialect.headerLine};
    qint64 line = 0;
    if (L_CSV::ReadRecord(source, list.header, line) != L_CSV::Read::Record) {
        const bool empty = list.dialect.headerAt >= list.device->size(); // or blank lines
        message = (empty ? QStringLiteral("%1 ist leer") : QStringLiteral("%1 hat keine Kopfzeile"))
                      .arg(list.name);
        return false;
    }
    list.bodyStart = L_CSV::Position(source);
    list.bodyLine = source.line;
    return HeaderDecodes(options, list, message) &&
           L_COLUMN::Choose(options, list.name, list.header, added, list.columns, message);
}

L_CSV::Source Body(const List &list) {
    list.device->seek(list.bodyStart);
    return L_CSV::Source{list.device.get(), list.dialect.delimiter, list.dialect.encoding, {}, 0,
                         list.bodyLine};
}

Survey SurveyList(const List &list) {
    Survey survey;
    std::vector<size_t> places; // 8 bytes a place: flat enough for any list
    L_CSV::Source source = Body(list);
    QStringList fields;
    qint64 line = 0;
    for (L_CSV::Read read; (read = L_CSV::ReadRecord(source, fields, line)) != L_CSV::Read::End;) {
        if (read == L_CSV::Read::Unterminated) {
            survey.unterminatedLine = line;
            break;
        }
        ++survey.rows;
        if (fields.size() > list.header.size() && !survey.longRows++) survey.longLine = line;
        const Question question = Ask(list, fields);
        for (const Address &address : question.addresses) {
            places.push_back(qHash(address.text));
            if (survey.example.size() < question.addresses.size())
                survey.example.append(address.text);
        }
    }
    std::sort(places.begin(), places.end());
    for (size_t k = 0, count; k < places.size(); k += count) {
        for (count = 1; k + count < places.size() && places[k + count] == places[k];) ++count;
        ++survey.distinct;
        if (count > 1) survey.recurring.push_back(places[k]);
    }
    return survey;
}

bool Recurs(const Survey &survey, const Question &question) {
    for (const Address &address : question.addresses)
        if (std::binary_search(survey.recurring.begin(), survey.recurring.end(),
                               qHash(address.text)))
            return true;
    return false;
}

Question Ask(const List &list, const QStringList &fields) {
    const Columns &c = list.columns;
    Question question;
    if (c.postal) {
        question.addresses = {PostalAddress(fields, c.address)};
    } else if (!c.address.isEmpty()) {
        question.addresses = {FreeForm(Joined(fields, c.address, QStringLiteral(", ")))};
    } else if (!c.from.isEmpty()) {
        question.addresses = {FreeForm(Joined(fields, c.from, QStringLiteral(", "))),
                              FreeForm(Joined(fields, c.to, QStringLiteral(", ")))};
    } else if (c.point >= 0) {
        question.addresses = {{fields.value(c.point).trimmed(), {}, {}}};
    } else {
        question.latitude = fields.value(c.lat).trimmed();
        question.longitude = fields.value(c.lon).trimmed();
        const bool both = !question.latitude.isEmpty() && !question.longitude.isEmpty();
        question.addresses = {
            {both ? question.latitude + "; " + question.longitude : QString(), {}, {}}};
    }
    if (std::any_of(question.addresses.begin(), question.addresses.end(),
                    [](const Address &address) { return address.text.isEmpty(); }))
        question.addresses.clear(); // nothing to ask
    return question;
}

bool TooShort(const List &list, const QStringList &fields) {
    const Columns &c = list.columns;
    if (c.postal) return false; // the parts a row lacks are left out
    for (int k : L_COLUMN::Chosen(c))
        if (k >= fields.size()) return true;
    return false;
}

QStringList EchoedHeader(const List &list) {
    return Echoed(list, list.header);
}

QStringList Echoed(const List &list, const QStringList &fields) {
    QStringList echoed;
    for (int k : list.columns.echoed) echoed.append(fields.value(k));
    return echoed;
}

} // namespace L_LIST
