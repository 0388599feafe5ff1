// libFuzzer target of the XML reader: arbitrary bytes as the document, a few fixed paths
// and one chosen by the fuzzer, and every returned entry queried again. Nothing is
// checked but survival (and the sanitizers).
#include "xml_text/L_XML.h"
#include "xml_text/L_XTEXT.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const auto *bytes = reinterpret_cast<const char *>(data);
    // The first byte tells how many of the last bytes form a path of the fuzzer's own.
    const size_t pathLength = size ? qMin<size_t>(data[0] % 24, size - 1) : 0;
    const QString document =
        QString::fromLatin1(bytes + (size ? 1 : 0), qsizetype(size ? size - 1 : 0));
    const QString chosen = QString::fromLatin1(bytes + size - pathLength, qsizetype(pathLength));
    const QString paths[] = {chosen,
                             "GeocodeResponse/result",
                             "DirectionsResponse/route/leg/start_location",
                             "a/b",
                             "a",
                             "/",
                             "",
                             "  ",
                             "a\\b",
                             "kml/Response/Placemark"};
    for (const QString &path : paths) {
        L_XTEXT::TextOf(document, path);
        QStringList results;
        L_XML::XmlQuery(document, path, results);
        for (qsizetype k = 1; k < results.size() && k < 64; ++k) {
            QStringList inner;
            L_XML::XmlQuery(results[k], "lat", inner);
            L_XML::XmlQuery(results[k], chosen, inner);
        }
    }
    return 0;
}
