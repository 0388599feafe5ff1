// The map services below the window: readers on realistic answers, requests, the provider
// rule, and the road of a query against a real local server that misbehaves.
#include "test_support.h"

#include "geo_files/L_TEMPPA.h"
#include "map_service/L_GEOOSM.h"
#include "map_service/L_PACE.h"
#include "map_service/L_QUERY.h"
#include "map_service/L_SHELL.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

using namespace L_GEOGOG;
using L_QUERY::Provider;
using L_STATUS::Word;

namespace {

// A temp folder for the response file and a fake service.
struct Road : ::testing::Test {
    FakeMapService service{GEODATEN_FIXTURES};
    QTemporaryDir temp;
    ScopedEnv tempEnv{"TEMP", temp.path()};
    QString ResponseFile() const { return temp.path() + "/~googlegeodata.tmp"; }
    QStringList FilesInTemp() const {
        return QDir(temp.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
};

} // namespace

TEST(Readers, AnswersOfBothServices) {
    const struct {
        const char *file;
        bool osm;
        int hits;
        const char *first, *coordinates;
    } cases[] = {
        {"geocode-lower.xml", false, 1, "Klagenfurt am Wörthersee, Österreich",
         "14.3122246,46.6364598,0"},
        {"geocode-kml.xml", false, 2, "9220 Velden am Wörthersee, Österreich",
         "13.9554210,46.6124980,0"},
        {"search.xml", true, 3,
         "Velden am Wörthersee, Bezirk Villach-Land, Kärnten, 9220, Österreich",
         "13.9554210,46.6124980,0"},
        {"geocode-kmlfail.xml", false, 0, "", ""},
    };
    LocaleGuard locale(German); // the service's numbers never meet the locale
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        GeoQuery query;
        query.ResponseText = QString::fromLatin1(ReadAll(Fixture(c.file)));
        c.osm ? L_GEOOSM::ReadSearchResponse(query) : ReadGeocodeResponse(query);
        EXPECT_EQ(query.HitCount, c.hits);
        if (c.hits == 0) continue;
        EXPECT_EQ(query.HitAddresses[1], QString::fromUtf8(c.first));
        EXPECT_EQ(query.HitCoordinates[1], c.coordinates);
        EXPECT_TRUE(!c.osm || query.HitAddresses[2].startsWith("Müller & Söhne, Seecorso"))
            << "entities decoded";
    }
    GeoQuery hostile; // the open geocoder's places are anyone's to edit
    hostile.ResponseText = R"(<searchresults><place lat="NaN" lon="1" display_name="a"/>
        <place lat="123.4" lon="1" display_name="b"/><place lat="1e400" lon="1" display_name="c"/>
        <place lat="46.6" lon="../../admin" display_name="d"/>
        <place lat="46.6" lon="13.9" display_name="&#x1B;[2J=1+1"/></searchresults>)";
    L_GEOOSM::ReadSearchResponse(hostile);
    EXPECT_EQ(hostile.HitCount, 1) << "no place on earth is no hit";
    EXPECT_EQ(hostile.HitAddresses.value(1), "=1+1") << "the escape sequence removed";
    RouteQuery lower; // its status in lower case, a leg of 1234567 m and 3725 s
    lower.ResponseText = QString::fromLatin1(ReadAll(Fixture("directions-lower.xml")));
    ReadRouteResponse(lower);
    EXPECT_EQ(lower.DrivingDistance + "|" + lower.DrivingTime + "|" + lower.StraightDistance,
              "1.234,6 km|01:02:05|10.018,8 km");
}

TEST(Readers, RouterAnswers) {
    const struct {
        const char *json, *word, *distance;
        double shortest;
    } cases[] = {
        {R"({"code":"Ok","routes":[{"distance":24312.3,"duration":1476.5},
            {"distance":14999.9,"duration":1600}]})",
         "OK", "24,3 km", 14999.9},
        {R"({"code":"NoRoute","message":"Impossible route between points"})", "NoRoute", "", NAN},
        {"<html>502 Bad Gateway</html>", "INVALID_RESPONSE", "", NAN},
        {R"({"code":"Ok","routes":[{"distance":-5,"duration":10}]})", "INVALID_RESPONSE", "", NAN},
        {R"({"code":"Ok","routes":[{"distance":1e19,"duration":10}]})", "INVALID_RESPONSE", "",
         NAN},
        {R"({"code":"Ok","routes":[{"distance":5,"duration":1e300}]})", "INVALID_RESPONSE", "",
         NAN},
        {R"({"code":"Ok","routes":[{"distance":4.1e7,"duration":9e5}]})", "INVALID_RESPONSE", "",
         NAN},
    };
    LocaleGuard german(German);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.json);
        RouteQuery query;
        L_STATUS::ServiceStatus status;
        QString message;
        L_GEOOSM::ReadRouteAnswer(c.json, query, status, message);
        EXPECT_EQ(Word(status) + query.DrivingDistance, QString(c.word) + c.distance);
        if (std::isfinite(c.shortest)) {
            EXPECT_EQ(status.ShortestMetres, c.shortest);
        }
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
        {nullptr, nullptr, "http://x", Provider::Google, 0},
        {"osm", "k", "http://x", Provider::Osm, 0},
        {"google", nullptr, nullptr, Provider::Google, 0},
        {" OSM ", nullptr, nullptr, Provider::Osm, 0},
        {"bing", nullptr, nullptr, Provider::Osm, 1},
        {"bing", "k", nullptr, Provider::Google, 0}, // warned once per value
        {"here", nullptr, "http://x", Provider::Google, 1},
    };
    static int warned = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.provider ? c.provider : "-") + (c.key ? c.key : "-") +
                     (c.url ? c.url : "-"));
        ScopedEnv provider("GEODATEN_PROVIDER", c.provider), key("GEODATEN_API_KEY", c.key),
            url("GEODATEN_SERVICE_URL", c.url);
        warned = 0;
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
                warned += text.contains("\"google\" nor \"osm\"");
            });
        EXPECT_TRUE(L_QUERY::ActiveProvider() == c.expected &&
                    L_QUERY::ActiveProvider() == c.expected);
        qInstallMessageHandler(previous);
        EXPECT_EQ(warned, c.warnings);
    }
}

TEST(Pace, PublicHostsHoweverWritten) {
    const struct {
        const char *url;
        bool isPublic;
    } cases[] = {
        {"https://nominatim.openstreetmap.org/search", true},
        {"http://Nominatim.OpenStreetMap.ORG./search", true}, // case, a trailing dot
        {"http://ROUTER.project-osrm.org.:80/route", true},
        {"http://\xEF\xBD\x8E\xEF\xBD\x8Fminatim.openstreetmap.org/", true}, // IDN: full-width
        {"http://nominatim.openstreetmap.org.example/search", false},
        {"http://localhost:8080/search", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(L_SERVICE::IsPublic(L_GEOOSM::Entry, QString::fromUtf8(c.url)), c.isPublic);
    }
}

TEST(Requests, TheKeyOverHttps) {
    ScopedEnv url("GEODATEN_SERVICE_URL", QString()), key("GEODATEN_API_KEY", "my key/1");
    EXPECT_EQ(GeocodeRequestUrl("x"),
              "https://maps.google.com/maps/api/geocode/xml?address=x&sensor=false&key=my+key%2F1");
}

TEST_F(Road, BothProvidersByteForByte) {
    for (const bool google : {true, false}) {
        SCOPED_TRACE(google ? "google" : "osm");
        Seams seams(service, google);
        service.ClearRequests();
        GeoQuery query;
        QString address = "Klagenfurt am Wörthersee", origin = "9220 Velden AT",
                destination = "9500 Villach AT";
        ASSERT_TRUE(L_QUERY::QueryGeocode(query, address));
        EXPECT_EQ(query.ResponseText.toLatin1(), ReadAll(ResponseFile()))
            << "what was read is on disk";
        RouteQuery route;
        ASSERT_TRUE(L_QUERY::QueryRoute(route, origin, destination));
        EXPECT_EQ(route.DrivingTime, "00:24:36");
        QStringList lines;
        for (const auto &request : service.Requests()) {
            lines.append(QString::fromStdString(request.line));
            EXPECT_EQ(request.userAgent, google ? "" : "geodaten/" GEODATEN_VERSION);
        }
        const QString search = "GET /search?q=%1&format=xml&limit=50&accept-language=de HTTP/1.1";
        const QStringList expected =
            google ? QStringList{"GET /maps/api/geocode/xml?address=Klagenfurt+am+Woerthersee"
                                 "&sensor=false HTTP/1.1",
                                 "GET /maps/api/directions/xml?origin=9220+Velden+AT&destination="
                                 "9500+Villach+AT&optimize:false&sensor=false&region=at HTTP/1.1"}
                   : QStringList{search.arg("Klagenfurt+am+W%C3%B6rthersee"),
                                 search.arg("9220+Velden+AT"), search.arg("9500+Villach+AT"),
                                 "GET /route/v1/driving/13.9554210,46.6124980;13.8558200,"
                                 "46.6103300?overview=false HTTP/1.1"};
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(FilesInTemp(), QStringList{"~googlegeodata.tmp"}) << "nothing else is written";
    }
}

TEST_F(Road, EveryFailureGivesItsQuietResultAndOneLine) {
    const struct {
        bool google;
        const char *address, *word, *line; // the one line holds this
        int hits;
    } cases[] = {
        {true, "misbehave404", "HTTP 404", "Google geocoding: HTTP 404 (http", 0},
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
        {true, "denied", "REQUEST_DENIED", "REQUEST_DENIED: You must use an API key", 0},
        {false, "nichts", "ZERO_RESULTS", "Nominatim: ZERO_RESULTS (http", 0},
        {false, "status400", "HTTP 400", "HTTP 400: Nominatim has encountered an internal error",
         0},
        {false, "misbehavesilent", "NETWORK", "Nominatim: Timeout", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.address);
        Seams seams(service, c.google, "1500");
        WriteAll(ResponseFile(), "previous answer");
        ServiceLines lines;
        GeoQuery query;
        QString address = c.address;
        L_STATUS::ServiceStatus status;
        QElapsedTimer timer;
        timer.start();
        const bool read = L_QUERY::QueryGeocode(query, address, status, nullptr);
        EXPECT_LT(timer.elapsed(), 8000) << "bounded by the timeouts";
        EXPECT_EQ(Word(status) + " " + QString::number(query.HitCount),
                  QString(c.word) + " " + QString::number(c.hits));
        EXPECT_EQ(lines.lines.size(), c.line ? 1 : 0) << lines.lines.join('\n');
        EXPECT_TRUE(!c.line || lines.lines.value(0).contains(c.line)) << lines.lines.value(0);
        EXPECT_EQ(ReadAll(ResponseFile()) == "previous answer", !read) << "kept after a failure";
        EXPECT_EQ(FilesInTemp(), QStringList{"~googlegeodata.tmp"}) << "no part file left";
    }
    for (const auto &[origin, line] :
         {std::pair{"nichts", "Nominatim: ZERO_RESULTS"},
          {"Insel", "OSRM: HTTP 400: NoRoute: Impossible route between points"},
          {"Kaputt", "OSRM: INVALID_RESPONSE"}}) {
        Seams seams(service, false);
        ServiceLines lines;
        RouteQuery route;
        QString from = origin, to = "9500 Villach AT";
        L_QUERY::QueryRoute(route, from, to);
        EXPECT_EQ(lines.lines.size(), 1) << origin;
        EXPECT_TRUE(lines.lines.value(0).contains(line)) << lines.lines.value(0);
    }
}

TEST_F(Road, TheKeyStaysSecret) {
    const QString fake = Seams::Url(service);
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
        L_STATUS::ServiceStatus status;
        L_QUERY::QueryGeocode(query, address, status, nullptr);
        EXPECT_EQ(Word(status), c.word);
        EXPECT_EQ(!service.Requests().empty(), c.asked);
        EXPECT_FALSE(lines.lines.join(' ').contains("s3cret"));
    }
    RecordingBrowser browser(temp.path() + "/opened.txt");
    ScopedEnv key("GEODATEN_API_KEY", "s3cret");
    EXPECT_LE(L_SHELL::ShellOpen(0, "", "", 1), 32) << "an empty link opens nothing";
    EXPECT_GT(L_SHELL::ShellOpen(0, "http://example.invalid/maps?q=1,2", "", 1), 32);
    EXPECT_EQ(OpenedUrls(browser.log, 1).size(), 1); // written after the names
    EXPECT_TRUE(ReadAll(browser.log).contains("GEODATEN_BROWSER_LOG"))
        << "the opener's environment was written";
    EXPECT_FALSE(ReadAll(browser.log).contains("GEODATEN_API_KEY"));
}

TEST_F(Road, WhatIsReadIsWhatWasDownloaded) {
    Seams seams(service, true, "30000");
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.path() + "/victim";
    WriteAll(victim, "precious");
    const std::function<void(const QString &)> plants[] = {
        [&](const QString &at) { QFile::link(victim, at); },
        [](const QString &at) { ::mkfifo(QFile::encodeName(at), 0600); },
        [](const QString &at) { QFile::link("/dev/zero", at); },
    };
    for (const auto &plant : plants) { // a symlink, a FIFO, a device
        std::atomic<bool> done{false};
        std::thread planter([&] { // at the name, over and over, until the download returns
            for (; !done; plant(ResponseFile())) QFile::remove(ResponseFile());
        });
        QElapsedTimer timer;
        timer.start();
        const L_INET::Answer answer =
            L_INET::Download({GeocodeRequestUrl("misbehaveslow"), {}, false}, ResponseFile());
        done = true;
        planter.join();
        EXPECT_LT(timer.elapsed(), 8000) << "no hang";
        EXPECT_EQ(answer.outcome, L_INET::Outcome::Answered);
        EXPECT_EQ(answer.body, ReadAll(Fixture("geocode.xml"))) << "its own bytes, not the name's";
        EXPECT_EQ(ReadAll(victim), "precious");
        QFile::remove(ResponseFile());
        plant(ResponseFile());
        QString text;
        EXPECT_EQ(L_TEMPPA::ReadFileText(ResponseFile(), text), 0) << "only regular files";
    }
    long connect = 0, total = 0;
    for (const auto &[value, wanted] : {std::pair{"45000", 30000L}, {"1500", 1500L}}) {
        ScopedEnv timeout("GEODATEN_TIMEOUT_MS", value);
        L_INET::Timeouts(connect, total);
        EXPECT_EQ(total, wanted) << value << ": it only shortens";
    }
}

TEST_F(Road, ConnectionsKeptTrustedAndStopped) {
    Seams seams(service, true, "30000");
    const L_INET::Request good{GeocodeRequestUrl("x"), {}, false};
    for (int k = 0; k < 2; ++k)
        EXPECT_EQ(L_INET::Download(good, ResponseFile()).outcome, L_INET::Outcome::Answered);
    EXPECT_EQ(service.Connections(), 1) << "the second request on the first one's connection";
    FakeMapService secure{GEODATEN_FIXTURES, 0, true}; // trusted through SSL_CERT_FILE only
    const L_INET::Request https{QString::fromStdString(secure.Url()) + "/search?q=x", {}, false};
    EXPECT_EQ(L_INET::Download(https, ResponseFile()).outcome, L_INET::Outcome::NoAnswer);
    ScopedEnv trusted("SSL_CERT_FILE", Fixture("tls-cert.pem"));
    EXPECT_EQ(L_INET::Download(https, ResponseFile()).outcome, L_INET::Outcome::Answered);
    std::atomic<bool> stop{false};
    std::atomic<qint64> stoppedAt{0};
    std::thread stopper([&] { // once the silent request has come in on the kept connection
        while (service.Requests().size() < 3) QThread::msleep(5);
        stoppedAt = L_LIMIT::NowMs();
        stop = true;
    });
    L_LIMIT::SetLimits({&stop, 0});
    const L_INET::Answer answer =
        L_INET::Download({GeocodeRequestUrl("misbehavesilent"), {}, false}, ResponseFile());
    const qint64 took = L_LIMIT::NowMs() - stoppedAt;
    stopper.join();
    L_LIMIT::SetLimits({});
    EXPECT_EQ(answer.error, "abgebrochen");
    EXPECT_LT(took, 5000) << "ended at the stop, not at the 30 s timeout";
    EXPECT_EQ(service.Connections(), 1);
}
