// The map services below the window: readers on realistic answers, requests and links,
// the provider rule, and the road of a query against a real local server that misbehaves.
#include "test_support.h"

#include "geo_files/L_TEMPPA.h"
#include "map_service/L_GEOOSM.h"
#include "map_service/L_INET.h"
#include "map_service/L_SHELL.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

using namespace L_GEOGOG;

namespace {

GeoQuery Geocoded(const QString &fixture, bool osm) {
    GeoQuery query;
    query.ResponseText = QString::fromLatin1(ReadAll(Fixture(fixture)));
    osm ? L_GEOOSM::ReadSearchResponse(query) : ReadGeocodeResponse(query);
    return query;
}

// A temp folder for the response file and a fake service for one provider.
struct Road : ::testing::Test {
    FakeMapService service{GEODATEN_FIXTURES};
    QTemporaryDir temp;
    ScopedEnv tempEnv{"TEMP", temp.path()};
    QString ResponseFile() const { return temp.path() + "/~googlegeodata.tmp"; }
    QStringList FilesInTemp() const {
        return QDir(temp.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    QStringList RequestLines() const {
        QStringList lines;
        for (const auto &request : service.Requests())
            lines.append(QString::fromStdString(request.line));
        return lines;
    }
};

} // namespace

TEST(Readers, GeocodingAnswersOfBothServices) {
    const struct {
        const char *file;
        bool osm;
        int hits;
        const char *first, *coordinates;
    } cases[] = {
        {"geocode.xml", false, 3, "9220 Velden am Wörthersee, Österreich", "13.8558,46.6247,0"},
        {"geocode-lower.xml", false, 1, "Klagenfurt am Wörthersee, Österreich",
         "14.3122246,46.6364598,0"},
        {"geocode-zero.xml", false, 0, nullptr, nullptr},
        {"geocode-denied.xml", false, 0, nullptr, nullptr},
        {"geocode-kml.xml", false, 2, "9220 Velden am Wörthersee, Österreich",
         "13.9554210,46.6124980,0"},
        {"geocode-kmlfail.xml", false, 0, nullptr, nullptr},
        {"directions.xml", false, 0, nullptr, nullptr},
        {"search.xml", true, 3,
         "Velden am Wörthersee, Bezirk Villach-Land, Kärnten, 9220, Österreich",
         "13.9554210,46.6124980,0"},
        {"search-nichts.xml", true, 0, nullptr, nullptr},
        {"search-status400.xml", true, 0, nullptr, nullptr},
        {"geocode.xml", true, 0, nullptr, nullptr},
    };
    LocaleGuard locale(German); // the service's numbers never meet the locale
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const GeoQuery query = Geocoded(c.file, c.osm);
        EXPECT_EQ(query.HitCount, c.hits);
        EXPECT_EQ(query.HitLatitudes.size(), c.hits + 1) << "entry 0 stays";
        if (c.hits == 0) continue;
        EXPECT_EQ(query.HitAddresses[1], QString::fromUtf8(c.first));
        EXPECT_EQ(query.HitCoordinates[1], c.coordinates);
    }
    const GeoQuery google = Geocoded("geocode.xml", false), osm = Geocoded("search.xml", true);
    EXPECT_DOUBLE_EQ(google.HitLatitudes[1], 46.6247) << "the location's, not the viewport's";
    EXPECT_DOUBLE_EQ(google.HitLongitudes[3], -13.9702);
    EXPECT_EQ(Geocoded("geocode-kml.xml", false).HitLatitudes[2], 48.3647) << "pieces trimmed";
    EXPECT_EQ(osm.HitAddresses[2],
              "Müller & Söhne, Seecorso 10, Velden am Wörthersee, 9220, Österreich")
        << "entities decoded, addressdetails children ignored";
    EXPECT_DOUBLE_EQ(osm.HitLongitudes[3], -13.9702);

    GeoQuery added;
    EXPECT_FALSE(AddGeoHit(added, "", "1,2"));
    EXPECT_FALSE(AddGeoHit(added, "A", "13.85")) << "no comma";
    EXPECT_TRUE(AddGeoHit(added, "A", "13.85 , 46.62 , 0"));
    EXPECT_TRUE(AddGeoHit(added, QString::fromLatin1("W\xC3\xB6rth"), ",x"));
    EXPECT_EQ(added.HitLatitudes[1], 46.62);
    EXPECT_EQ(added.HitAddresses[2], "Wörth");
    EXPECT_EQ(added.HitLongitudes[2], 0.0) << "no leading number";
}

TEST(Readers, RoutesUnderBothLocales) {
    const struct {
        const char *name, *answer;
        QString german, english, time;
    } cases[] = {
        {"realistic", nullptr, "24,3 km", "24.3 km", "00:24:36"},
        {"500 m", "<value>500</value>", ",5 km", ".5 km", "00:00:02"},
        {"1234567 m", "<value>1234567</value>", "1.234,6 km", "1,234.6 km", "00:00:02"},
        {"beyond the double", "<value>1e400</value>", "", "", "00:00:02"},
    };
    for (const auto &c : cases) {
        for (const QLocale &l : {German, English}) {
            SCOPED_TRACE(std::string(c.name) + (l == German ? " German" : " English"));
            LocaleGuard locale(l);
            RouteQuery route;
            route.ResponseText = c.answer
                                     ? QString("<DirectionsResponse><status>ok</status><route><leg>"
                                               "<distance>%1</distance><duration><value>2.5</value>"
                                               "</duration></leg></route></DirectionsResponse>")
                                           .arg(c.answer)
                                     : QString::fromLatin1(ReadAll(Fixture("directions.xml")));
            ReadRouteResponse(route);
            EXPECT_EQ(route.DrivingDistance, l == German ? c.german : c.english);
            EXPECT_EQ(route.DrivingTime, c.time) << "halves go to the even neighbour";
        }
    }
    LocaleGuard locale(German);
    RouteQuery route;
    route.ResponseText = QString::fromLatin1(ReadAll(Fixture("directions.xml")));
    ReadRouteResponse(route);
    EXPECT_EQ(route.StartLatitude, "46.6124980") << "the leg's, not a step's";
    EXPECT_EQ(route.EndLongitude, "13.8558200");
    EXPECT_EQ(route.StraightDistance, "7,6 km");
    EXPECT_EQ(route.EndAddress, QString::fromLatin1("9500 Villach, \xC3\x96sterreich")) << "bytes";
    RouteQuery denied;
    denied.ResponseText = QString::fromLatin1(ReadAll(Fixture("directions-denied.xml")));
    ReadRouteResponse(denied);
    EXPECT_EQ(denied.StartLatitude + denied.StraightDistance + denied.DrivingTime, "");

    const struct {
        const char *json, *word, *distance, *time;
    } router[] = {
        {R"({"code":"Ok","routes":[{"distance":24312.3,"duration":1476.5}]})", "OK", "24,3 km",
         "00:24:36"},
        {R"({"code":"Ok","routes":[{"distance":1350,"duration":3e9}]})", "OK", "1,4 km", ""},
        {R"({"code":"NoRoute","message":"Impossible route between points"})", "NoRoute", "", ""},
        {"<html>502 Bad Gateway</html>", "INVALID_RESPONSE", "", ""},
    };
    for (const auto &c : router) {
        SCOPED_TRACE(c.json);
        RouteQuery query;
        ServiceStatus status;
        QString message;
        L_GEOOSM::ReadRouteAnswer(c.json, query, status, message);
        EXPECT_EQ(status.Word, c.word);
        EXPECT_EQ(query.DrivingDistance, c.distance);
        EXPECT_EQ(query.DrivingTime, c.time);
    }
}

TEST(Provider, RuleOfTheThreeVariables) {
    const struct {
        const char *provider, *key, *url;
        Provider expected;
        int warnings;
    } cases[] = {
        {nullptr, nullptr, nullptr, Provider::Osm, 0},
        {"", "", "", Provider::Osm, 0},
        {nullptr, "k", nullptr, Provider::Google, 0},
        {nullptr, nullptr, "http://127.0.0.1:9", Provider::Google, 0},
        {"osm", "k", "http://127.0.0.1:9", Provider::Osm, 0},
        {"google", nullptr, nullptr, Provider::Google, 0},
        {" OSM ", nullptr, nullptr, Provider::Osm, 0},
        {"bing", nullptr, nullptr, Provider::Osm, 1},
        {"bing", "k", nullptr, Provider::Google, 0}, // warned once per value
        {"here", nullptr, "http://x", Provider::Google, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.provider ? c.provider : "-") + "/" + (c.key ? c.key : "-") +
                     "/" + (c.url ? c.url : "-"));
        ScopedEnv provider("GEODATEN_PROVIDER", c.provider), key("GEODATEN_API_KEY", c.key),
            url("GEODATEN_SERVICE_URL", c.url);
        static int warned = 0;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &, const QString &text) {
                warned += type == QtWarningMsg && text.contains("\"google\" nor \"osm\"");
            });
        warned = 0;
        EXPECT_EQ(ActiveProvider(), c.expected);
        EXPECT_EQ(ActiveProvider(), c.expected);
        qInstallMessageHandler(previous);
        EXPECT_EQ(warned, c.warnings);
    }
}

TEST(Requests, UrlsAndLinksOfBothServices) {
    ScopedEnv url("GEODATEN_SERVICE_URL", QString()), map("GEODATEN_MAP_URL", QString()),
        key("GEODATEN_API_KEY", QString()), nominatim("GEODATEN_NOMINATIM_URL", QString()),
        osrm("GEODATEN_OSRM_URL", QString()), osm("GEODATEN_OSM_URL", QString());
    EXPECT_EQ(GeocodeRequestUrl("9220 Velden AT"),
              "http://maps.google.com/maps/api/geocode/xml?address=9220+Velden+AT&sensor=false");
    EXPECT_EQ(DirectionsRequestUrl("9220 Velden AT", "9500 Villach AT"),
              "http://maps.google.com/maps/api/directions/xml?origin=9220+Velden+AT"
              "&destination=9500+Villach+AT&optimize:false&sensor=false&region=at");
    EXPECT_EQ(RouteLinkUrl("9220 Velden AT", "Woerthersee"),
              "http://maps.google.at/maps?saddr=9220+Velden+AT&daddr=Woerthersee");
    EXPECT_EQ(L_GEOOSM::SearchRequestUrl("Wörthersee 1"),
              "https://nominatim.openstreetmap.org/search?q=W%C3%B6rthersee+1"
              "&format=xml&limit=50&accept-language=de");
    EXPECT_EQ(L_GEOOSM::RouteRequestUrl("13.9554210", "46.6124980", "13.85582", "-46.61"),
              "https://router.project-osrm.org/route/v1/driving/13.9554210,46.6124980;"
              "13.85582,-46.61?overview=false");
    RouteQuery route;
    route.Origin = "Wörthersee";
    route.Destination = "9500 Villach AT";
    EXPECT_EQ(L_GEOOSM::RouteLink(route),
              "https://www.openstreetmap.org/directions?engine=fossgis_osrm_car"
              "&from=W%C3%B6rthersee&to=9500+Villach+AT")
        << "no coordinates: the addresses";
    route.StartLatitude = "46.6124980";
    route.StartLongitude = "13.9554210";
    route.EndLatitude = "46.61033";
    route.EndLongitude = "13.85582";
    EXPECT_EQ(L_GEOOSM::RouteLink(route),
              "https://www.openstreetmap.org/directions?engine="
              "fossgis_osrm_car&route=46.6124980,13.9554210;46.61033,13.85582");
    for (const QLocale &l : {German, English}) {
        LocaleGuard locale(l);
        EXPECT_EQ(
            L_GEOOSM::PointLink(-33.8688, 151.2093),
            "https://www.openstreetmap.org/?mlat=-33.8688&mlon=151.2093#map=17/-33.8688/151.2093");
    }
    ScopedEnv withKey("GEODATEN_API_KEY", "my key/1");
    EXPECT_EQ(GeocodeRequestUrl("x"),
              "https://maps.google.com/maps/api/geocode/xml?address=x&sensor=false&key=my+key%2F1");
    EXPECT_EQ(RouteLinkUrl("a", "b"), "http://maps.google.at/maps?saddr=a&daddr=b") << "no key";
}

TEST_F(Road, BothProvidersByteForByte) {
    for (const bool google : {true, false}) {
        SCOPED_TRACE(google ? "google" : "osm");
        Seams seams(service, google);
        service.ClearRequests();
        GeoQuery query;
        QString address = "Klagenfurt am Wörthersee";
        ServiceStatus status;
        ASSERT_TRUE(QueryGeocode(query, address, status));
        EXPECT_EQ(status.Word, "OK");
        EXPECT_EQ(query.TempFile, ResponseFile());
        EXPECT_EQ(query.ResponseText.toLatin1(), ReadAll(ResponseFile()))
            << "what was read is on disk";
        RouteQuery route;
        QString origin = "9220 Velden AT", destination = "9500 Villach AT";
        ASSERT_TRUE(QueryRoute(route, origin, destination, status, nullptr));
        EXPECT_EQ(route.DrivingTime, "00:24:36");
        EXPECT_EQ(status.DrivingMetres, google ? 24312 : 24312.3);
        const QStringList expected =
            google ? QStringList{"GET "
                                 "/maps/api/geocode/"
                                 "xml?address=Klagenfurt+am+Woerthersee&sensor=false HTTP/1.1",
                                 "GET "
                                 "/maps/api/directions/"
                                 "xml?origin=9220+Velden+AT&destination=9500+Villach+AT"
                                 "&optimize:false&sensor=false&region=at HTTP/1.1"}
                   : QStringList{
                         "GET "
                         "/search?q=Klagenfurt+am+W%C3%B6rthersee&format=xml&limit=50&accept-"
                         "language=de HTTP/1.1",
                         "GET /search?q=9220+Velden+AT&format=xml&limit=50&accept-language=de "
                         "HTTP/1.1",
                         "GET /search?q=9500+Villach+AT&format=xml&limit=50&accept-language=de "
                         "HTTP/1.1",
                         "GET "
                         "/route/v1/driving/"
                         "13.9554210,46.6124980;13.8558200,46.6103300?overview=false HTTP/1.1"};
        EXPECT_EQ(RequestLines(), expected);
        for (const auto &request : service.Requests())
            EXPECT_EQ(request.userAgent, google ? "" : "geodaten/" GEODATEN_VERSION);
        EXPECT_EQ(FilesInTemp(), QStringList{"~googlegeodata.tmp"}) << "nothing else is written";
    }
}

TEST_F(Road, PacingOfTheOpenServices) {
    for (const char *pace : {static_cast<const char *>(nullptr), "0"}) {
        Seams seams(service, false);
        ScopedEnv paced("GEODATEN_PACE_MS", pace);
        service.ClearRequests();
        RouteQuery route;
        QString origin = "9220 Velden AT", destination = "9500 Villach AT";
        QueryRoute(route, origin, destination);
        const auto requests = service.Requests();
        ASSERT_EQ(requests.size(), 3u);
        const double apart = requests[1].atMs - requests[0].atMs;
        EXPECT_TRUE(pace ? apart < 500 : apart >= 900)
            << apart << " ms apart, pace " << (pace ? pace : "default");
        EXPECT_LT(requests[2].atMs - requests[1].atMs, 500) << "the router is another host";
    }
}

TEST_F(Road, EveryFailureGivesItsQuietResultAndOneLine) {
    const struct {
        bool google;
        const char *address, *word, *line; // the line holds this
        int hits;
    } cases[] = {
        {true, "misbehave404", "HTTP 404", "Google geocoding: HTTP 404 (http", 0},
        {true, "misbehave500", "HTTP 500", "HTTP 500", 0},
        {true, "misbehaveredirect", "OK", nullptr, 3},
        {true, "misbehaveloop", "NETWORK", "redirect", 0},
        {true, "misbehaveheaders", "NETWORK", "Timeout", 0},
        {true, "misbehavesilent", "NETWORK", "Timeout", 0},
        {true, "misbehaveclose", "NETWORK", "Server returned nothing", 0},
        {true, "misbehavetruncated", "NETWORK", "Transferred a partial file", 0},
        {true, "misbehaveendless", "NETWORK", "Failed writing", 0},
        {true, "misbehavehuge", "NETWORK", "Maximum file size exceeded", 0},
        {true, "misbehavegarbage", "INVALID_RESPONSE", "INVALID_RESPONSE", 0},
        {true, "misbehaveokonly", "ZERO_RESULTS", "ZERO_RESULTS", 0},
        {true, "zero", "ZERO_RESULTS", "ZERO_RESULTS", 0},
        {true, "denied", "REQUEST_DENIED", "REQUEST_DENIED: You must use an API key", 0},
        {false, "nichts", "ZERO_RESULTS", "Nominatim: ZERO_RESULTS (http", 0},
        {false, "status400", "HTTP 400", "HTTP 400: Nominatim has encountered an internal error",
         0},
        {false, "status429", "HTTP 429", "Nominatim: HTTP 429 (", 0},
        {false, "misbehavesilent", "NETWORK", "Nominatim: Timeout", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.address);
        Seams seams(service, c.google, "1500");
        WriteAll(ResponseFile(), "previous answer");
        ServiceLines lines;
        GeoQuery query;
        QString address = c.address;
        ServiceStatus status;
        QElapsedTimer timer;
        timer.start();
        const bool read = QueryGeocode(query, address, status);
        EXPECT_LT(timer.elapsed(), 5000) << "bounded by the timeouts";
        EXPECT_EQ(status.Word, c.word);
        EXPECT_EQ(query.HitCount, c.hits);
        EXPECT_EQ(lines.lines.size(), c.line ? 1 : 0) << lines.lines.join('\n');
        if (c.line && !lines.lines.isEmpty()) {
            EXPECT_TRUE(lines.lines[0].contains(c.line)) << lines.lines[0];
        }
        EXPECT_EQ(ReadAll(ResponseFile()) == "previous answer", !read) << "kept after a failure";
        EXPECT_EQ(FilesInTemp(), QStringList{"~googlegeodata.tmp"}) << "no part file left";
    }
    const struct {
        const char *origin, *word, *line;
        bool straight;
    } routes[] = {
        {"nichts", "ZERO_RESULTS", "Nominatim: ZERO_RESULTS", false},
        {"Insel", "NoRoute", "OSRM: HTTP 400: NoRoute: Impossible route between points", true},
        {"Kaputt", "INVALID_RESPONSE", "OSRM: INVALID_RESPONSE", true},
    };
    for (const auto &c : routes) {
        SCOPED_TRACE(c.origin);
        Seams seams(service, false);
        ServiceLines lines;
        RouteQuery route;
        QString origin = c.origin, destination = "9500 Villach AT";
        ServiceStatus status;
        QueryRoute(route, origin, destination, status, nullptr);
        EXPECT_EQ(status.Word, c.word);
        EXPECT_EQ(route.Origin, c.origin);
        EXPECT_EQ(!route.StraightDistance.isEmpty(), c.straight) << "the coordinates stay";
        EXPECT_EQ(route.DrivingDistance + route.DrivingTime, "");
        ASSERT_EQ(lines.lines.size(), 1);
        EXPECT_TRUE(lines.lines[0].contains(c.line)) << lines.lines[0];
    }
}

TEST_F(Road, TheKeyStaysSecret) {
    const QString fake = QString::fromStdString(service.Url());
    const struct {
        const char *name;
        QString url, word;
        bool asked;
    } cases[] = {
        {"loopback http", fake, "OK", true},
        {"no scheme: plain http", fake.mid(7), "REFUSED", false},
        {"http to another host", "http://192.0.2.1", "REFUSED", false},
        {"redirect to http", fake + "/misbehaveredirect", "NETWORK", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Seams seams(service, true);
        ScopedEnv url("GEODATEN_SERVICE_URL", c.url), key("GEODATEN_API_KEY", "s3cret");
        service.ClearRequests();
        ServiceLines lines;
        GeoQuery query;
        QString address = "9220 Velden AT";
        ServiceStatus status;
        QueryGeocode(query, address, status);
        EXPECT_EQ(status.Word, c.word);
        EXPECT_EQ(!service.Requests().empty(), c.asked);
        EXPECT_FALSE(lines.lines.join(' ').contains("s3cret"));
    }
    RecordingBrowser browser(temp.path() + "/opened.txt");
    ScopedEnv key("GEODATEN_API_KEY", "s3cret");
    EXPECT_GT(L_SHELL::ShellOpen(0, "http://example.invalid/maps?q=1,2", "", 1), 32);
    EXPECT_EQ(OpenedUrls(browser.log, 1).size(), 1);
    QThread::msleep(200); // the names follow the URL
    const QByteArray seen = ReadAll(browser.log);
    EXPECT_TRUE(seen.contains("GEODATEN_BROWSER_LOG")) << "the opener's environment was written";
    EXPECT_FALSE(seen.contains("GEODATEN_API_KEY"));
}

TEST_F(Road, WhatIsReadIsWhatWasDownloaded) {
    Seams seams(service, true, "5000");
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.path() + "/victim";
    WriteAll(victim, "precious");
    const struct {
        const char *name;
        std::function<void(const QString &)> plant;
    } swaps[] = {
        {"symlink", [&](const QString &at) { QFile::link(victim, at); }},
        {"fifo", [](const QString &at) { ::mkfifo(QFile::encodeName(at), 0600); }},
        {"device", [](const QString &at) { QFile::link("/dev/zero", at); }},
    };
    for (const auto &swap : swaps) {
        SCOPED_TRACE(swap.name);
        std::atomic<bool> done{false};
        std::thread planter([&] { // at the name, over and over, until the download returns
            while (!done) {
                QFile::remove(ResponseFile());
                swap.plant(ResponseFile());
            }
        });
        QElapsedTimer timer;
        timer.start();
        const L_INET::Answer answer = L_INET::Download(
            L_INET::Request{GeocodeRequestUrl("misbehaveslow"), {}, false}, ResponseFile());
        done = true;
        planter.join();
        EXPECT_LT(timer.elapsed(), 3000) << "no hang";
        EXPECT_EQ(answer.outcome, L_INET::Outcome::Replaced);
        EXPECT_EQ(answer.body, ReadAll(Fixture("geocode.xml"))) << "its own bytes, not the name's";
        EXPECT_EQ(ReadAll(victim), "precious");
        QFile::remove(ResponseFile());
        swap.plant(ResponseFile());
        QString text;
        EXPECT_EQ(L_TEMPPA::ReadFileText(ResponseFile(), text), 0) << "only regular files";
        EXPECT_TRUE(text.isEmpty());
    }
    long connect = 0, total = 0;
    for (const auto &[value, wantedTotal, wantedConnect] :
         std::initializer_list<std::tuple<const char *, long, long>>{
             {"45000", 30000, 10000},
             {"1500", 1500, 1500},
             {"abc", 30000, 10000},
             {"-5", 30000, 10000},
             {"99999999999999999", 30000, 10000}}) {
        ScopedEnv timeout("GEODATEN_TIMEOUT_MS", value);
        L_INET::Timeouts(connect, total);
        EXPECT_EQ(total, wantedTotal) << value << ": it only shortens";
        EXPECT_EQ(connect, wantedConnect) << value;
    }
    EXPECT_FALSE(L_INET::DownloadToFile("file:///etc/hostname", ResponseFile())) << "http only";
    EXPECT_FALSE(L_INET::DownloadToFile(GeocodeRequestUrl("x"), temp.path() + "/missing/file"));
}

TEST(Links, OpenedInTheBrowser) {
    QTemporaryDir dir;
    RecordingBrowser browser(dir.path() + "/opened.txt");
    EXPECT_LE(L_SHELL::ShellOpen(0, "", "", 1), 32) << "an empty link opens nothing";
    for (const bool google : {true, false}) {
        ScopedEnv url("GEODATEN_SERVICE_URL", google ? "http://127.0.0.1:8765" : QString()),
            key("GEODATEN_API_KEY", QString()), provider("GEODATEN_PROVIDER", QString()),
            osm("GEODATEN_OSM_URL", "http://127.0.0.1:8766");
        LocaleGuard locale(google ? German : English);
        ShowHitOnMap(-33.8688, 151.2093);
        OpenedUrls(browser.log, google ? 1 : 2);
    }
    EXPECT_EQ(OpenedUrls(browser.log, 2),
              QStringList(
                  {"http://127.0.0.1:8765/maps?q=-33.8688,151.2093",
                   "http://127.0.0.1:8766/?mlat=-33.8688&mlon=151.2093#map=17/-33.8688/151.2093"}));
}
