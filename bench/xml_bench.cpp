// MB/s of XmlQuery against pugixml (parse the same bytes, select the same nodes) on answers
// of the sizes users get and on large ones, beside a plain memchr pass over the same bytes
// (the limit); linearity on 16 MiB deep and flat documents, and peak memory.
#include "bench_support.h"

#include "xml_text/L_XML.h"

#include <QString>
#include <QStringList>

#include <pugixml.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace {

std::string Directions(int steps) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DirectionsResponse>\n <status>OK</status>\n"
        " <route>\n  <summary>A2 und A10</summary>\n  <leg>\n";
    unsigned state = 7;
    auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 8; };
    for (int k = 0; k < steps; ++k) {
        const double lat = 46.6 + k * 1e-4, lng = 13.9 - k * 1e-4;
        std::string points;
        for (int p = 0; p < 40; ++p) points += char(63 + next() % 60);
        char step[1200];
        std::snprintf(
            step, sizeof step,
            "   <step>\n    <travel_mode>DRIVING</travel_mode>\n"
            "    <start_location>\n     <lat>%.7f</lat>\n     <lng>%.7f</lng>\n    "
            "</start_location>\n"
            "    <end_location>\n     <lat>%.7f</lat>\n     <lng>%.7f</lng>\n    </end_location>\n"
            "    <polyline>\n     <points>%s</points>\n    </polyline>\n"
            "    <duration>\n     <value>%u</value>\n     <text>%u Minuten</text>\n    "
            "</duration>\n"
            "    <html_instructions>Rechts abbiegen auf &lt;b&gt;Villacher Stra\xC3\x9F"
            "e/B83&lt;/b&gt;"
            "&lt;div style=&quot;font-size:0.9em&quot;&gt;Weiter auf "
            "A2&lt;/div&gt;</html_instructions>\n"
            "    <distance>\n     <value>%u</value>\n     <text>%.1f km</text>\n    </distance>\n"
            "    <maneuver>turn-right</maneuver>\n   </step>\n",
            lat, lng, lat + 1e-4, lng - 1e-4, points.c_str(), next() % 600, next() % 10,
            next() % 20000, (next() % 200) / 10.0);
        out += step;
    }
    out += "   <duration>\n    <value>1476</value>\n    <text>25 Minuten</text>\n   </duration>\n"
           "   <distance>\n    <value>24312</value>\n    <text>24,3 km</text>\n   </distance>\n"
           "   <start_location>\n    <lat>46.6124980</lat>\n    <lng>13.9554210</lng>\n   "
           "</start_location>\n"
           "   <end_location>\n    <lat>46.6103300</lat>\n    <lng>13.8558200</lng>\n   "
           "</end_location>\n"
           "   <start_address>Seecorso, 9220 Velden am W\xC3\xB6rthersee, "
           "\xC3\x96sterreich</start_address>\n"
           "   <end_address>9500 Villach, \xC3\x96sterreich</end_address>\n  </leg>\n "
           "</route>\n</DirectionsResponse>\n";
    return out;
}

std::string Geocode(int results) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GeocodeResponse>\n <status>OK</status>\n";
    for (int k = 0; k < results; ++k) {
        char result[1500];
        std::snprintf(
            result, sizeof result,
            " <result>\n  <type>street_address</type>\n"
            "  <formatted_address>Hauptstra\xC3\x9F"
            "e %d, 9220 Velden am W\xC3\xB6rthersee, \xC3\x96sterreich</formatted_address>\n"
            "  <address_component>\n   <long_name>%d</long_name>\n   <short_name>%d</short_name>\n "
            "  <type>street_number</type>\n  </address_component>\n"
            "  <address_component>\n   <long_name>Hauptstra\xC3\x9F"
            "e</long_name>\n   <short_name>Hauptstr.</short_name>\n   <type>route</type>\n  "
            "</address_component>\n"
            "  <address_component>\n   <long_name>K\xC3\xA4rnten</long_name>\n   "
            "<short_name>K\xC3\xA4rnten</short_name>\n   "
            "<type>administrative_area_level_1</type>\n   <type>political</type>\n  "
            "</address_component>\n"
            "  <geometry>\n   <location>\n    <lat>%.7f</lat>\n    <lng>%.7f</lng>\n   "
            "</location>\n   <location_type>ROOFTOP</location_type>\n"
            "   <viewport>\n    <southwest>\n     <lat>46.61</lat>\n     <lng>13.95</lng>\n    "
            "</southwest>\n    <northeast>\n     <lat>46.62</lat>\n     <lng>13.96</lng>\n    "
            "</northeast>\n   </viewport>\n  </geometry>\n"
            "  <place_id>ChIJ%08dQUyccEcRd5W2zF1ywi4</place_id>\n </result>\n",
            k, k, k, 46.6 + k * 1e-5, 13.9 + k * 1e-5, k);
        out += result;
    }
    return out + "</GeocodeResponse>\n";
}

// A result as the geocoder sends it for an address in a town: about 450 bytes.
std::string LeanGeocode(int results) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GeocodeResponse>\n <status>OK</status>\n";
    for (int k = 0; k < results; ++k) {
        char result[600];
        std::snprintf(
            result, sizeof result,
            " <result>\n  <type>route</type>\n  <formatted_address>Seestra\xC3\x9F"
            "e %d, 9220 Velden am W\xC3\xB6rthersee, \xC3\x96sterreich</formatted_address>\n"
            "  <address_component>\n   <long_name>Velden am W\xC3\xB6rthersee</long_name>\n"
            "   <type>locality</type>\n  </address_component>\n  <geometry>\n   <location>\n"
            "    <lat>%.7f</lat>\n    <lng>%.7f</lng>\n   </location>\n"
            "   <location_type>GEOMETRIC_CENTER</location_type>\n  </geometry>\n"
            "  <place_id>ChIJ%08dQUyccEcRd5W2zF1ywi4</place_id>\n </result>\n",
            k, 46.6 + k * 1e-5, 13.9 + k * 1e-5, k);
        out += result;
    }
    return out + "</GeocodeResponse>\n";
}

std::string Fixture(const char *name) {
    std::ifstream in(std::string(GEODATEN_FIXTURES "/") + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Flat(size_t bytes) {
    std::string out = "<r>";
    for (int k = 0; out.size() < bytes; ++k) out += "<i>" + std::to_string(k % 1000) + "</i>";
    return out + "</r>";
}

std::string Deep(size_t bytes) {
    const size_t depth = bytes / 7;
    std::string out;
    out.reserve(depth * 7 + 1);
    for (size_t k = 0; k < depth; ++k) out += "<e>";
    out += "x";
    for (size_t k = 0; k < depth; ++k) out += "</e>";
    return out;
}

std::string Size(size_t bytes) {
    char text[32];
    if (bytes < 100000)
        std::snprintf(text, sizeof text, "%.1f KB", double(bytes) / 1e3);
    else
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

struct Row {
    const char *name;
    std::string bytes;
    const char *path;
};

qint32 Ours(const QString &document, const char *path) {
    QStringList results;
    return L_XML::XmlQuery(document, QString::fromLatin1(path), results);
}

size_t Pugi(const std::string &bytes, const char *path) {
    pugi::xml_document doc;
    doc.load_buffer(bytes.data(), bytes.size());
    return doc.select_nodes((std::string("/") + path).c_str()).size();
}

// The limit: one memchr pass over the same bytes, stopping at every "<".
volatile size_t scanned = 0;
void Scan(const std::string &bytes) {
    size_t tags = 0;
    for (const char *p = bytes.data(), *end = p + bytes.size();
         (p = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)))); ++p)
        ++tags;
    scanned = tags;
}

// Calls of `work` that make one rep last about 20 ms, so that small answers are timed too.
int CallsPerRep(const std::function<void()> &work) {
    int calls = 1;
    while (Seconds([&] {
               for (int k = 0; k < calls; ++k) work();
           }) < 0.02 &&
           calls < (1 << 20))
        calls *= 2;
    return calls;
}

long StatusKb(const char *field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return 0;
}

// Peak memory of one query beyond what was resident before it, as a multiple of the input
// size: freed memory is returned first and the high-water mark reset, so that the query's
// own allocations (the byte buffer, the capture, the results) are what is counted.
double PeakMultiple(const QString &document, size_t bytes, const char *path) {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKb("VmRSS:");
    {
        QStringList results;
        L_XML::XmlQuery(document, QString::fromLatin1(path), results);
    }
    return double(StatusKb("VmHWM:") - before) * 1024.0 / double(bytes);
}

} // namespace

int main() {
    const int reps = 15;
    const std::string directions = Directions(12000);
    const Row rows[] = {
        {"geocoding, 3 results", Fixture("geocode.xml"), "GeocodeResponse/result"},
        {"geocoding, 200 results", LeanGeocode(200), "GeocodeResponse/result"},
        {"directions, 40 steps", Directions(40), "DirectionsResponse/route/leg/step"},
        {"directions, every step", directions, "DirectionsResponse/route/leg/step"},
        {"directions, leg duration", directions, "DirectionsResponse/route/leg/duration/value"},
        {"geocoding, every result", Geocode(8000), "GeocodeResponse/result"},
    };
    std::printf(
        "| query | input | matches | XmlQuery MB/s | pugixml MB/s | ratio | memchr MB/s | "
        "XmlQuery / memchr | peak memory / input |\n|---|---|---|---|---|---|---|---|---|\n");
    for (const Row &row : rows) {
        const QString document = QString::fromLatin1(row.bytes.data(), qsizetype(row.bytes.size()));
        const double peak = PeakMultiple(document, row.bytes.size(), row.path);
        KeepFreedMemory();
        const qint32 matches = Ours(document, row.path);
        const size_t pugiMatches = Pugi(row.bytes, row.path);
        const int calls = CallsPerRep([&] { Ours(document, row.path); });
        auto times = [calls](const std::function<void()> &work) {
            return [calls, work] {
                for (int k = 0; k < calls; ++k) work();
            };
        };
        const std::vector<double> best =
            Alternate({times([&] { Ours(document, row.path); }),
                       times([&] { Pugi(row.bytes, row.path); }), times([&] { Scan(row.bytes); })},
                      reps);
        const double mb = double(row.bytes.size()) * calls / 1e6;
        char peakText[16] = "-"; // the page-sized resolution says nothing about small answers
        if (row.bytes.size() >= 1000000) std::snprintf(peakText, sizeof peakText, "%.2f", peak);
        std::printf("| %s `%s` | %s | %d (pugixml %zu) | %.0f | %.0f | %.2f | %.0f | %.2f | %s |\n",
                    row.name, row.path, Size(row.bytes.size()).c_str(), matches, pugiMatches,
                    mb / best[0], mb / best[1], best[1] / best[0], mb / best[2], best[2] / best[0],
                    peakText);
    }
    // Linearity in the worst shapes: four times the input should take four times as long.
    std::printf(
        "\n| shape | 4 MiB ms | 16 MiB ms | time ratio (4 = linear) | peak memory / input |\n"
        "|---|---|---|---|---|\n");
    for (const bool deep : {false, true}) {
        const std::string small = deep ? Deep(4 << 20) : Flat(4 << 20);
        const std::string large = deep ? Deep(16 << 20) : Flat(16 << 20);
        const QString a = QString::fromLatin1(small.data(), qsizetype(small.size()));
        const QString b = QString::fromLatin1(large.data(), qsizetype(large.size()));
        const char *path = deep ? "e/e/e" : "r/i";
        const std::vector<double> best =
            Alternate({[&] { Ours(a, path); }, [&] { Ours(b, path); }}, 5);
        std::printf("| %s `%s` | %.1f | %.1f | %.2f | %.2f |\n",
                    deep ? "one element 2.4 million deep" : "flat siblings", path, best[0] * 1e3,
                    best[1] * 1e3, best[1] / best[0], PeakMultiple(b, large.size(), path));
    }
    return 0;
}
