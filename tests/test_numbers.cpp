// Numbers between locale and service, durations, distances, URL encoding and umlauts.
#include "test_support.h"

#include "geo_files/L_GEODST.h"
#include "geo_files/L_MATH.h"
#include "geo_files/L_POINT.h"
#include "map_service/L_GEOGOG.h"
#include "map_service/L_TIME.h"
#include "map_service/L_URLCOD.h"
#include "map_service/L_VALUE.h"

#include <GeographicLib/DMS.hpp>
#include <gtest/gtest.h>

#include <cmath>

using L_VALUE::FormatGeneral;
using L_VALUE::FormatNumber;

TEST(FormatNumber, PatternsUnderBothLocales) {
    const struct {
        const char *name;
        double value;
        const char *pattern;
        QString german, english;
    } cases[] = {
        {"km", 24.312, "#,###.0", "24,3", "24.3"},
        {"grouped", 1234.567, "#,###.0", "1.234,6", "1,234.6"},
        {"below 1: no leading digit", 0.5, "#,###.0", ",5", ".5"},
        {"rounding carries into grouping", 999.95, "#,###.0", "1.000,0", "1,000.0"},
        {"negative rounding to zero has no sign", -0.04, "#,###.0", ",0", ".0"},
        // regression: rounded as written, not as the binary double lies (1.35 < 1.35)
        {"350 m", 0.35, "#,###.0", ",4", ".4"},
        {"1250 m: halves away from zero", 1.25, "#,###.0", "1,3", "1.3"},
        {"infinity does not fit", HUGE_VAL, "#,###.0", "", ""},
    };
    for (const auto &c : cases) {
        for (const QLocale &l : {German, English}) {
            SCOPED_TRACE(std::string(c.name) + (l == German ? " German" : " English"));
            LocaleGuard locale(l);
            EXPECT_EQ(FormatNumber(c.value, c.pattern), l == German ? c.german : c.english);
        }
    }
}

TEST(FormatGeneral, DisplayFormRoundTrips) {
    const struct {
        const char *name;
        double value;
        QString german, english;
    } cases[] = {
        {"longitude", 13.8497, "13,8497", "13.8497"},
        {"15 significant digits", 0.1 + 0.2, "0,3", "0.3"},
        {"small: no exponent", 0.00001, "0,00001", "0.00001"},
        {"full precision kept", 46.612498012345, "46,612498012345", "46.612498012345"},
    };
    for (const auto &c : cases) {
        for (const QLocale &l : {German, English}) {
            SCOPED_TRACE(std::string(c.name) + (l == German ? " German" : " English"));
            LocaleGuard locale(l);
            const QString text = FormatGeneral(c.value);
            EXPECT_EQ(text, l == German ? c.german : c.english);
            EXPECT_EQ(FormatGeneral(L_VALUE::ParseLocaleNumber(text)), text) << "read back";
        }
    }
    EXPECT_EQ(FormatGeneral(std::nan("")), "") << "a number that does not fit shows nothing";
}

TEST(ParseNumbers, LocaleAndService) {
    const struct {
        const char *text;
        bool german;
        double number;
    } locale[] = {
        {"46,6247", true, 46.6247},  {"1.234,5", true, 1234.5},  {"12,5%", true, 12.5},
        {"46.6247", false, 46.6247}, {"1,234.5", false, 1234.5}, {"abc", true, 0.0},
    };
    for (const auto &c : locale) {
        SCOPED_TRACE(c.text);
        LocaleGuard guard(c.german ? German : English);
        EXPECT_DOUBLE_EQ(L_VALUE::ParseLocaleNumber(c.text), c.number);
    }
    const struct {
        const char *text;
        double number;
    } leading[] = {
        {"46.62abc", 46.62}, {"  -13.5", -13.5}, {"\n 46.6\n", 46.6},
        {".5", 0.5},         {"1e3", 1000},      {"2E-2x", 0.02},
        {"1.2.3", 1.2},      {"1,5", 1},         {"1e400", HUGE_VAL},
    };
    LocaleGuard guard(German); // the service's form never meets the locale
    for (const auto &c : leading) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(L_VALUE::LeadingNumber(c.text), c.number);
    }
    EXPECT_DOUBLE_EQ(L_VALUE::ParseDecimal("46,6247"), 46.6247);
    QString decimal, grouping;
    LocaleGuard french(QLocale(QLocale::French, QLocale::France));
    EXPECT_TRUE(L_VALUE::GetNumberSeparators(decimal, grouping));
    EXPECT_EQ(decimal, ",");
    EXPECT_DOUBLE_EQ(L_VALUE::ParseLocaleNumber(FormatNumber(1234.5, "#,###.0")), 1234.5);
}

TEST(Durations, Table) {
    const struct {
        qint32 seconds;
        const char *text;
    } cases[] = {
        {59, "00:00:59"},   {1476, "00:24:36"},    {3725, "01:02:05"},
        {-90, "-00:01:30"}, {360000, "100:00:00"}, {INT32_MIN, "-596.523:14:08"},
    };
    LocaleGuard guard(German);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(L_TIME::FormatDuration(c.seconds, true, 99), c.text);
    }
    EXPECT_EQ(L_GEOGOG::DrivingTimeText(1476.5), "00:24:36") << "halves to the even neighbour";
    EXPECT_EQ(L_GEOGOG::DrivingTimeText(3e9), "") << "beyond 32 bits: does not fit";
}

TEST(GreatCircle, KnownDistances) {
    using L_GEODST::GeoDistance;
    const double quarter = 10018.754, half = 20037.508; // R = 6378.137 km, not 6371
    EXPECT_NEAR(GeoDistance(0, 0, 90, 0, 0), quarter, 0.0005);
    EXPECT_NEAR(GeoDistance(10, 20, -170, -20, 0), half, 0.0005) << "antipodes";
    for (const double east : {13.95, 13.95 + 360}) // east-west: latitude first gives 11.132
        EXPECT_NEAR(GeoDistance(east, 46.61, 13.85, 46.61, 0), 7.6472, 1e-4) << "longitude first";
    EXPECT_EQ(L_MATH::ArcCos(1.0000000000000002), 0.0);
    EXPECT_DOUBLE_EQ(L_MATH::ArcCos(-1.0000000000000002), L_MATH::PiTimes(1));
    // The WGS84 geodesic: a row of GeographicLib's published test set, and Velden - Villach
    // (the sphere of the report is 0.18 % shorter there, east-west).
    EXPECT_NEAR(GeoDistance(-139.44815, 35.60777, -69.95921, -11.17491, 1), 8935.2445604818, 1e-6);
    EXPECT_NEAR(GeoDistance(13.9554210, 46.6124980, 13.8558200, 46.6103300, 1), 7.6338043, 1e-6);
}

TEST(UrlEncode, AddressesAsSent) {
    const struct {
        const char *typed, *sent;
    } cases[] = {
        {"9220 Velden AT", "9220+Velden+AT"},
        {"Ärztegasse 1", "aerztegasse+1"},
        {"Straße", "Strasse"},
        {"Hauptplatz 1, Graz", "Hauptplatz+1%2C+Graz"},
        {"Wien-Mitte. a_b~c", "Wien%2DMitte%2E+a%5Fb%7Ec"},
        {"Café", "Caf%C3%A9"},
        {"€", "%E2%82%AC"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        QString address = QString::fromUtf8(c.typed);
        L_GEOGOG::ReplaceUmlauts(address);
        EXPECT_EQ(L_URLCOD::UrlEncode(address, true), c.sent);
    }
    EXPECT_EQ(L_URLCOD::UrlEncode("a b", false), "a%20b");
    EXPECT_EQ(L_URLCOD::UrlEncode(QString(40000, u'ä'), true).size(), 40000 * 6)
        << "no length limit";
}

TEST(Points, EveryFormReadsToTheSamePoint) {
    const auto dms = [](const char *text) { // GeographicLib's own reading
        GeographicLib::DMS::flag hemisphere;
        return GeographicLib::DMS::Decode(text, hemisphere);
    };
    const struct {
        double latitude, longitude;
        std::vector<const char *> forms;
    } points[] = {
        {46.6137,
         13.956,
         {"46.6137, 13.956", "46,6137; 13,956", "46,6137 13,956", "46.6137,13.956",
          "46°36'49.32\"N 13°57'21.6\"O", "N 46° 36' 49.32\" O 13° 57' 21.6\"",
          "46° 36.822′ N, 13° 57.36′ E", "13°57'21.6\"E 46°36'49.32\"N", "geo:46.6137,13.956",
          "GEO:46.6137,13.956,500;crs=wgs84;u=35",
          "https://www.openstreetmap.org/?mlat=46.6137&mlon=13.956#map=12/46.65/13.9",
          "https://www.google.com/maps/place/Velden/@46.6181,13.9587,15z/"
          "data=!3m1!4b1!4m6!3m5!1s0x0:0x0!8m2!3d46.6137!4d13.956",
          "geo:0,0?q=46.6137,13.956(Velden)",
          "https://www.openstreetmap.org/#map=17/46.6137/13.956",
          "https://www.google.com/maps/@46.6137,13.956,17z",
          "https://maps.google.com/?q=46.6137%2C13.956", "33T 420059.296 5162766.767",
          "33n 420059,296 5162766,767", "33TVM2005929662766766"}},
        {-33.8688,
         151.2093,
         {"-33.8688, 151.2093", "33°52'7.68\"S 151°12'33.48\"E", "S33.8688 E151.2093"}},
        {dms("46d36'49.5\"N"),
         dms("13d57'21.7\"E"),
         {"46 36 49.5 N, 13 57 21.7 E", "46 36 49.5 N 13 57 21.7 E", "13 57 21,7 O 46 36 49,5 N"}},
        {dms("46d36.825'"), dms("13d57.362'"), {"N 46 36.825 E 13 57.362", "46 36.825; 13 57.362"}},
        {dms("22d54'30\"S"), dms("43d11'47\"W"), {"S 22 54 30 W 43 11 47"}},
        {46, 13, {"46 13"}},
    };
    for (const auto &p : points)
        for (const char *form : p.forms) {
            SCOPED_TRACE(form);
            L_POINT::Point read;
            QString reason;
            ASSERT_TRUE(L_POINT::ReadPoint(QString::fromUtf8(form), read, reason)) << reason;
            EXPECT_NEAR(read.latitude, p.latitude, 1e-6);
            EXPECT_NEAR(read.longitude, p.longitude, 1e-6);
        }
    const std::string overlong = "46.6137, 13.956" + std::string(90, '0'); // no point is so long
    for (const char *text :
         {"9220 Velden AT", "91, 13", "46.6137, 200", "46.6137 13.956 x",
          "geo:46.6137,13.956;crs=EPSG:32633", "46°61'N 13°E", "N 46 N 13", "", "1e1, 2",
          "33T 420059", "https://example.org/?mlat=99&mlon=1", "geo:0,0?q=Velden", "46.6 13.9 500",
          "1 2 3", "46° 13 5", "46° 0 5' N, 13 E", "46 13 N", "46-1, 13", overlong.data()}) {
        SCOPED_TRACE(text);
        L_POINT::Point read;
        QString reason;
        EXPECT_FALSE(L_POINT::ReadPoint(QString::fromUtf8(text), read, reason));
        EXPECT_FALSE(reason.isEmpty());
    }
    const L_POINT::Point velden{46.6137, 13.956};
    const struct {
        const char *form, *text;
        double within;
    } forms[] = {
        {"dms", "46°36'49.3\"N 13°57'21.6\"E", 1e-4}, {"dm", "46°36.822'N 13°57.360'E", 1e-5},
        {"utm", "33T 420059 5162766", 2e-5},          {"mgrs", "33TVM2005962766", 2e-5},
        {"geo", "geo:46.6137000,13.9560000", 1e-7},
    };
    for (const auto &f : forms) {
        SCOPED_TRACE(f.form);
        const QString text = L_POINT::FormatPoint(velden, f.form);
        EXPECT_EQ(text, QString::fromUtf8(f.text));
        L_POINT::Point back;
        QString reason;
        EXPECT_TRUE(L_POINT::ReadPoint(text, back, reason)) << "read back";
        EXPECT_NEAR(back.latitude, velden.latitude, f.within);
        EXPECT_NEAR(back.longitude, velden.longitude, f.within);
    }
}
