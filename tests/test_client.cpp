// The map-service client below the window: requests, the download against a real local
// server that misbehaves on demand, the readers on realistic answers, and the links.
#include "fake_map_service.h"
#include "test_support.h"

#include "geo_files/L_GEODST.h"
#include "geo_files/L_TEMPPA.h"
#include "map_service/L_GEOGOG.h"
#include "map_service/L_INET.h"
#include "map_service/L_SHELL.h"
#include "map_service/L_VALUE.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace L_GEOGOG;

namespace {

GeoQuery GeocodeFixture(const QString &name) {
    GeoQuery query;
    L_TEMPPA::ReadFileText(Fixture(name), query.ResponseText);
    ReadGeocodeResponse(query);
    return query;
}

RouteQuery RouteFixture(const QString &name) {
    RouteQuery query;
    L_TEMPPA::ReadFileText(Fixture(name), query.ResponseText);
    ReadRouteResponse(query);
    return query;
}

QString Km(double km) {
    return L_VALUE::FormatNumber(km, "#,###.0") + " km";
}

// A fake service, a temp folder for the response file, and the environment pointing there.
struct ServiceFixture : ::testing::Test {
    FakeMapService service{GEODATEN_FIXTURES};
    QTemporaryDir temp;
    ScopedEnv url{"GEODATEN_SERVICE_URL", QString::fromStdString(service.Url())};
    ScopedEnv map{"GEODATEN_MAP_URL", QString::fromStdString(service.Url())};
    ScopedEnv tempEnv{"TEMP", temp.path()};
    ScopedEnv key{"GEODATEN_API_KEY", QString()};
    ScopedEnv timeout{"GEODATEN_TIMEOUT_MS", "1500"};
    ScopedEnv noProxy{"no_proxy", "127.0.0.1"};
    QString Url(const QString &target) const {
        return QString::fromStdString(service.Url()) + target;
    }
    QStringList FilesInTemp() const {
        return QDir(temp.path()).entryList(QDir::Files | QDir::Hidden);
    }
};

} // namespace

TEST(GeocodeReader, RealisticAnswers) {
    const GeoQuery ok = GeocodeFixture("geocode.xml");
    ASSERT_EQ(ok.HitCount, 3);
    ASSERT_EQ(ok.HitAddresses.size(), 4);
    EXPECT_EQ(ok.HitAddresses[1], "9220 Velden am Wörthersee, Österreich") << "decoded from UTF-8";
    EXPECT_EQ(ok.HitAddresses[3], "Veldener Straße, 9220 Velden-Augsdorf, Österreich");
    EXPECT_EQ(ok.HitCoordinates[1], "13.8558,46.6247,0") << "longitude first";
    EXPECT_DOUBLE_EQ(ok.HitLongitudes[1], 13.8558);
    EXPECT_DOUBLE_EQ(ok.HitLatitudes[1], 46.6247) << "not the viewport's";
    EXPECT_DOUBLE_EQ(ok.HitLongitudes[2], 13.8497);
    EXPECT_DOUBLE_EQ(ok.HitLongitudes[3], -13.9702);
    EXPECT_EQ(ok.HitAddresses[0], "") << "entry 0 stays";

    const struct {
        const char *file;
        int hits;
    } statuses[] = {
        {"geocode-lower.xml", 1}, {"geocode-zero.xml", 0},    {"geocode-denied.xml", 0},
        {"geocode-kml.xml", 2},   {"geocode-kmlfail.xml", 0}, {"directions.xml", 0},
    };
    for (const auto &c : statuses) {
        SCOPED_TRACE(c.file);
        const GeoQuery query = GeocodeFixture(c.file);
        EXPECT_EQ(query.HitCount, c.hits);
        EXPECT_EQ(query.HitAddresses.size(), c.hits + 1);
        EXPECT_EQ(query.HitLatitudes.size(), c.hits + 1);
    }
    const GeoQuery kml = GeocodeFixture("geocode-kml.xml");
    EXPECT_EQ(kml.HitAddresses[1], "9220 Velden am Wörthersee, Österreich");
    EXPECT_EQ(kml.HitCoordinates[1], "13.9554210,46.6124980,0");
    EXPECT_DOUBLE_EQ(kml.HitLongitudes[2], 12.2555) << "pieces trimmed";
    EXPECT_DOUBLE_EQ(kml.HitLatitudes[2], 48.3647);
}

TEST(GeocodeReader, AddGeoHit) {
    LocaleGuard locale(German); // the service's numbers never meet the locale
    GeoQuery query;
    EXPECT_FALSE(AddGeoHit(query, "", "1,2"));
    EXPECT_FALSE(AddGeoHit(query, "A", ""));
    EXPECT_FALSE(AddGeoHit(query, "A", "13.85"));
    EXPECT_TRUE(AddGeoHit(query, "A", "13.85 , 46.62 , 0"));
    EXPECT_TRUE(AddGeoHit(query, QString::fromLatin1("W\xC3\xB6rth"), ",x"));
    ASSERT_EQ(query.HitCount, 2);
    EXPECT_DOUBLE_EQ(query.HitLongitudes[1], 13.85);
    EXPECT_DOUBLE_EQ(query.HitLatitudes[1], 46.62);
    EXPECT_EQ(query.HitAddresses[2], "Wörth");
    EXPECT_EQ(query.HitLongitudes[2], 0.0) << "no leading number";
    EXPECT_EQ(query.HitCoordinates[2], ",x");
}

TEST(RouteReader, RealisticAnswerUnderBothLocales) {
    for (const bool german : {true, false}) {
        SCOPED_TRACE(german ? "German" : "English");
        LocaleGuard locale(german ? German : English);
        const RouteQuery route = RouteFixture("directions.xml");
        EXPECT_EQ(route.DrivingDistance, german ? "24,3 km" : "24.3 km");
        EXPECT_EQ(route.DrivingTime, "00:24:36");
        EXPECT_EQ(route.StartLatitude, "46.6124980") << "the leg's, not a step's";
        EXPECT_EQ(route.StartLongitude, "13.9554210");
        EXPECT_EQ(route.EndLatitude, "46.6103300");
        EXPECT_EQ(route.EndLongitude, "13.8558200");
        EXPECT_EQ(route.EndAddress, QString::fromLatin1("9500 Villach, \xC3\x96sterreich"))
            << "not shown: left as bytes";
        EXPECT_EQ(route.StraightDistance,
                  Km(L_GEODST::SphereDistance(13.9554210, 46.6124980, 13.8558200, 46.6103300)));
        EXPECT_EQ(route.StraightDistance, german ? "7,6 km" : "7.6 km");
    }
    LocaleGuard locale(German);
    const RouteQuery lower = RouteFixture("directions-lower.xml");
    EXPECT_EQ(lower.DrivingDistance, "1.234,6 km");
    EXPECT_EQ(lower.DrivingTime, "01:02:05");
    EXPECT_EQ(lower.StraightDistance, "10.018,8 km") << "quarter of the equator";
    EXPECT_EQ(lower.StartAddress, "Start");

    const RouteQuery denied = RouteFixture("directions-denied.xml");
    for (const QString *field :
         {&denied.StartAddress, &denied.EndAddress, &denied.StartLatitude, &denied.StartLongitude,
          &denied.EndLatitude, &denied.EndLongitude, &denied.StraightDistance,
          &denied.DrivingDistance, &denied.DrivingTime})
        EXPECT_EQ(*field, "");

    RouteQuery small;
    small.ResponseText = "<DirectionsResponse><status>OK</status><route><leg><distance><value>500"
                         "</value></distance><duration><value>2.5</value></duration></leg></route>"
                         "</DirectionsResponse>";
    ReadRouteResponse(small);
    EXPECT_EQ(small.DrivingDistance, ",5 km");
    EXPECT_EQ(small.DrivingTime, "00:00:02") << "halves go to the even neighbour";
    EXPECT_EQ(small.StraightDistance, ",0 km") << "missing coordinates read as 0";
    EXPECT_EQ(small.StartLatitude, "");
}

TEST(Requests, HostsKeyAndLinks) {
    ScopedEnv url("GEODATEN_SERVICE_URL", QString()), map("GEODATEN_MAP_URL", QString()),
        key("GEODATEN_API_KEY", QString());
    EXPECT_EQ(ServiceUrl(), "http://maps.google.com");
    EXPECT_EQ(RegionalUrl(), "http://maps.google.at");
    EXPECT_EQ(GeocodeRequestUrl("9220 Velden AT"),
              "http://maps.google.com/maps/api/geocode/xml?address=9220+Velden+AT&sensor=false");
    EXPECT_EQ(DirectionsRequestUrl("9220 Velden AT", "9500 Villach AT"),
              "http://maps.google.com/maps/api/directions/xml?origin=9220+Velden+AT"
              "&destination=9500+Villach+AT&optimize:false&sensor=false&region=at");
    EXPECT_EQ(RouteLinkUrl("9220 Velden AT", "Woerthersee"),
              "http://maps.google.at/maps?saddr=9220+Velden+AT&daddr=Woerthersee");
    {
        ScopedEnv withKey("GEODATEN_API_KEY", "my key/1");
        EXPECT_EQ(
            GeocodeRequestUrl("x"),
            "https://maps.google.com/maps/api/geocode/xml?address=x&sensor=false&key=my+key%2F1");
        EXPECT_TRUE(DirectionsRequestUrl("a", "b").endsWith("&region=at&key=my+key%2F1"));
        EXPECT_EQ(RouteLinkUrl("a", "b"), "http://maps.google.at/maps?saddr=a&daddr=b") << "no key";
        EXPECT_EQ(ServiceUrl(), "http://maps.google.com") << "map links carry no key";
        ScopedEnv local("GEODATEN_SERVICE_URL", "http://127.0.0.1:9/");
        EXPECT_EQ(GeocodeRequestUrl("x"),
                  "http://127.0.0.1:9/maps/api/geocode/xml?address=x&sensor=false&key=my+key%2F1");
    }
    ScopedEnv temp("TEMP", QDir::tempPath());
    EXPECT_EQ(ResponseFilePath(), QDir::tempPath() + "/~googlegeodata.tmp");
}

TEST_F(ServiceFixture, TheRoadOfOneGeocodingQuery) {
    GeoQuery query;
    QString address = "Klagenfurt am Wörthersee";
    ReplaceUmlauts(address);
    query.Address = address;
    query.TempFile = ResponseFilePath();
    query.RequestUrl = GeocodeRequestUrl(query.Address);
    EXPECT_EQ(query.TempFile, temp.path() + "/~googlegeodata.tmp");
    ASSERT_TRUE(FetchResponse(query.RequestUrl, query.TempFile, query.ResponseText));
    ReadGeocodeResponse(query);
    EXPECT_EQ(query.HitCount, 3);
    EXPECT_EQ(query.ResponseText.toLatin1(), ReadAll(Fixture("geocode.xml"))) << "byte for byte";
    ASSERT_EQ(service.RequestLines().size(), 1u);
    EXPECT_EQ(service.RequestLines()[0],
              "GET /maps/api/geocode/xml?address=Klagenfurt+am+Woerthersee&sensor=false HTTP/1.1");
    EXPECT_EQ(FilesInTemp(), QStringList{"~googlegeodata.tmp"}) << "nothing else is written";

    RouteQuery route;
    route.TempFile = ResponseFilePath();
    route.RequestUrl = DirectionsRequestUrl("9220 Velden AT", "9500 Villach AT");
    ASSERT_TRUE(FetchResponse(route.RequestUrl, route.TempFile, route.ResponseText));
    ReadRouteResponse(route);
    EXPECT_EQ(route.DrivingTime, "00:24:36");
    EXPECT_EQ(service.RequestLines().back(),
              "GET /maps/api/directions/xml?origin=9220+Velden+AT&destination=9500+Villach+AT"
              "&optimize:false&sensor=false&region=at HTTP/1.1");
}

TEST_F(ServiceFixture, EveryMisbehaviourGivesItsQuietResult) {
    const QString target = temp.path() + "/~googlegeodata.tmp";
    const struct {
        const char *mode;
        bool ok;
        int hits;
    } cases[] = {
        {"404", false, 0},     {"500", false, 0},    {"redirect", true, 3}, {"loop", false, 0},
        {"headers", false, 0}, {"silent", false, 0}, {"close", false, 0},   {"truncated", false, 0},
        {"endless", false, 0}, {"garbage", true, 0}, {"okonly", true, 0},   {"huge", false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        { // the previous answer, which a failure must leave as it was
            QFile previous(target);
            ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
            previous.write("previous answer");
        }
        QElapsedTimer timer;
        timer.start();
        GeoQuery query;
        const bool ok = FetchResponse(GeocodeRequestUrl(QStringLiteral("misbehave") + c.mode),
                                      target, query.ResponseText);
        ReadGeocodeResponse(query);
        EXPECT_LT(timer.elapsed(), 6000) << "bounded by the timeouts";
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(query.HitCount, c.hits);
        if (!c.ok) {
            EXPECT_EQ(ReadAll(target), "previous answer");
            EXPECT_EQ(query.ResponseText, "") << "nothing read after a failure";
        }
        EXPECT_EQ(FilesInTemp(), QStringList{"~googlegeodata.tmp"}) << "no part file left";
    }
}

TEST_F(ServiceFixture, UnreachableAndForbiddenTargets) {
    const QString target = temp.path() + "/~googlegeodata.tmp";
    EXPECT_FALSE(L_INET::DownloadToFile("http://127.0.0.1:1/maps", target)) << "refused";
    EXPECT_FALSE(L_INET::DownloadToFile("file:///etc/hostname", target)) << "http only";
    EXPECT_FALSE(L_INET::DownloadToFile("not a url", target));
    EXPECT_FALSE(L_INET::DownloadToFile("", target));
    EXPECT_FALSE(L_INET::DownloadToFile(Url("/maps?q=1,2"), temp.path() + "/missing/file"));
    EXPECT_TRUE(FilesInTemp().isEmpty());

    // A symlink planted at the target is replaced, never followed.
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.path() + "/victim";
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("precious");
    }
    ASSERT_TRUE(QFile::link(victim, target));
    EXPECT_TRUE(L_INET::DownloadToFile(Url("/maps/api/geocode/xml?address=x"), target));
    EXPECT_FALSE(QFileInfo(target).isSymLink());
    EXPECT_EQ(ReadAll(victim), "precious");
    EXPECT_EQ(ReadAll(target), ReadAll(Fixture("geocode.xml")));
}

TEST_F(ServiceFixture, GeneratedManyHits) {
    GeoQuery query;
    ASSERT_TRUE(
        FetchResponse(GeocodeRequestUrl("hits200"), ResponseFilePath(), query.ResponseText));
    ReadGeocodeResponse(query);
    ASSERT_EQ(query.HitCount, 200);
    EXPECT_DOUBLE_EQ(query.HitLatitudes[200], 46.12);
    EXPECT_EQ(query.HitAddresses[7], "Ort 7, 9220 Velden am Wörthersee, Österreich");
}

TEST(Links, OpenedInTheBrowser) {
    QTemporaryDir dir;
    RecordingBrowser browser(dir.path() + "/opened.txt");
    ScopedEnv url("GEODATEN_SERVICE_URL", "http://127.0.0.1:8765");
    EXPECT_LE(L_SHELL::ShellOpen(0, "", "", 1), 32) << "an empty link opens nothing";
    {
        LocaleGuard locale(German);
        ShowHitOnMap(46.6247, 13.8558);
    }
    {
        LocaleGuard locale(English);
        ShowHitOnMap(-33.8688, 151.2093);
    }
    EXPECT_GT(L_SHELL::ShellOpen(0, "http://example.invalid/maps?saddr=a&daddr=b", "", 1), 32);
    const QStringList opened = OpenedUrls(browser.log, 3);
    ASSERT_EQ(opened.size(), 3);
    EXPECT_TRUE(opened.contains("http://127.0.0.1:8765/maps?q=46.6247,13.8558"));
    EXPECT_TRUE(opened.contains("http://127.0.0.1:8765/maps?q=-33.8688,151.2093"));
    EXPECT_TRUE(opened.contains("http://example.invalid/maps?saddr=a&daddr=b"));
}
