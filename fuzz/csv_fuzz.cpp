// libFuzzer target of the CSV reader: arbitrary bytes as a user's list, read as the batch
// tool reads one (the scan, the dialect, every record in both encodings) and written back.
// Nothing is checked but survival (and the sanitizers).
#include "xml_text/L_CSV.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char *>(data), qsizetype(size));
    buffer.open(QIODevice::ReadOnly);
    L_CSV::ScanBytes(buffer);
    const L_CSV::Dialect dialect = L_CSV::Detect(buffer.data().left(64 * 1024), ';');
    for (const L_CSV::Encoding encoding : {L_CSV::Encoding::Utf8, L_CSV::Encoding::Windows1252}) {
        buffer.seek(qMin<qint64>(dialect.headerAt, buffer.size()));
        L_CSV::Source source{&buffer, dialect.delimiter, encoding, {}, 0, 1};
        QStringList fields;
        qint64 line = 0;
        for (int records = 0; records < 10000; ++records) {
            const L_CSV::Read read = L_CSV::ReadRecord(source, fields, line);
            if (read == L_CSV::Read::End) break;
            L_CSV::EncodeRecord(fields, dialect.delimiter);
            if (read == L_CSV::Read::Unterminated) break;
        }
    }
    return 0;
}
