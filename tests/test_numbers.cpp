// Numbers between locale and service, durations, the great circle, URL encoding and
// umlauts.
#include "geo_files/L_GEODST.h"
#include "geo_files/L_MATH.h"
#include "map_service/L_GEOGOG.h"
#include "map_service/L_TIME.h"
#include "map_service/L_URLCOD.h"
#include "map_service/L_VALUE.h"

#include <QLocale>

#include "test_support.h"
#include <cmath>

#include <gtest/gtest.h>

TEST(FormatNumber, PatternsUnderBothLocales) {
    const struct {
        const char *name;
        double value;
        const char *pattern;
        QString german, english;
    } cases[] = {
        {"km", 24.312, "#,###.0", "24,3", "24.3"},
        {"km grouped", 1234.567, "#,###.0", "1.234,6", "1,234.6"},
        {"below 1: no leading digit", 0.5, "#,###.0", ",5", ".5"},
        {"zero km", 0.0, "#,###.0", ",0", ".0"},
        {"rounding carries into grouping", 999.96, "#,###.0", "1.000,0", "1,000.0"},
        {"negative", -2.5, "#,###.0", "-2,5", "-2.5"},
        {"negative rounding to zero has no sign", -0.04, "#,###.0", ",0", ".0"},
        {"millions", 1234567.0, "#,###.0", "1.234.567,0", "1,234,567.0"},
        {"hours 0", 0, "#,#00", "00", "00"},
        {"hours 5", 5, "#,#00", "05", "05"},
        {"hours 123", 123, "#,#00", "123", "123"},
        {"hours 1000", 1000, "#,#00", "1.000", "1,000"},
        {"minutes", 7, "00", "07", "07"},
        {"probe", 1000, "0,000.0", "1.000,0", "1,000.0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        {
            LocaleGuard locale(German);
            EXPECT_EQ(L_VALUE::FormatNumber(c.value, c.pattern), c.german);
        }
        LocaleGuard locale(English);
        EXPECT_EQ(L_VALUE::FormatNumber(c.value, c.pattern), c.english);
    }
}

TEST(FormatGeneral, DisplayForm) {
    const struct {
        const char *name;
        double value;
        QString german, english;
    } cases[] = {
        {"longitude", 13.8497, "13,8497", "13.8497"},
        {"negative", -33.8688, "-33,8688", "-33.8688"},
        {"whole", 13.0, "13", "13"},
        {"no grouping", 1234567.5, "1234567,5", "1234567.5"},
        {"15 significant digits", 0.1 + 0.2, "0,3", "0.3"},
        {"small: no exponent", 0.00001, "0,00001", "0.00001"},
        {"full precision kept", 46.612498012345, "46,612498012345", "46.612498012345"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        {
            LocaleGuard locale(German);
            EXPECT_EQ(L_VALUE::FormatGeneral(c.value), c.german);
            EXPECT_DOUBLE_EQ(L_VALUE::ParseLocaleNumber(c.german), c.value) << "round trip";
        }
        LocaleGuard locale(English);
        EXPECT_EQ(L_VALUE::FormatGeneral(c.value), c.english);
        EXPECT_DOUBLE_EQ(L_VALUE::ParseLocaleNumber(c.english), c.value) << "round trip";
    }
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
        {"46.62abc", 46.62},
        {"  -13.5", -13.5},
        {"\n 46.6\n", 46.6},
        {"abc", 0},
        {"", 0},
        {".5", 0.5},
        {"1e3", 1000},
        {"1e", 1},
        {"2E-2x", 0.02},
        {"+7", 7},
        {"-", 0},
        {"1.2.3", 1.2},
        {"1,5", 1},
        {"1476", 1476},
    };
    LocaleGuard guard(German); // the service's form never meets the locale
    for (const auto &c : leading) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(L_VALUE::LeadingNumber(c.text), c.number);
    }
    EXPECT_DOUBLE_EQ(L_VALUE::ParseDecimal("46,6247"), 46.6247);
    EXPECT_DOUBLE_EQ(L_VALUE::ParseDecimal("46.6247"), 46.6247);
    EXPECT_DOUBLE_EQ(L_VALUE::ParseDecimal(""), 0.0);
}

TEST(ParseNumbers, Separators) {
    QString decimal, grouping;
    {
        LocaleGuard guard(German);
        EXPECT_TRUE(L_VALUE::GetNumberSeparators(decimal, grouping));
        EXPECT_EQ(decimal, ",");
        EXPECT_EQ(grouping, ".");
    }
    LocaleGuard guard(QLocale(QLocale::French, QLocale::France));
    EXPECT_TRUE(L_VALUE::GetNumberSeparators(decimal, grouping));
    EXPECT_EQ(decimal, ",");
    EXPECT_DOUBLE_EQ(L_VALUE::ParseLocaleNumber(L_VALUE::FormatNumber(1234.5, "#,###.0")), 1234.5);
}

TEST(FormatDuration, Table) {
    const struct {
        qint32 seconds;
        bool alwaysHours;
        qint32 limit;
        const char *text;
    } cases[] = {
        {59, true, 99, "00:00:59"},      {1476, true, 99, "00:24:36"},
        {3725, true, 99, "01:02:05"},    {-90, true, 99, "-00:01:30"},
        {360000, true, 99, "100:00:00"}, {5999, false, 99, "99:59"},
        {6000, false, 99, "01:40:00"},   {90, false, 99, "01:30"},
        {0, true, 99, "00:00:00"},       {INT32_MIN, true, 99, "-596.523:14:08"},
    };
    LocaleGuard guard(German);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(L_TIME::FormatDuration(c.seconds, c.alwaysHours, c.limit), c.text);
    }
}

TEST(GreatCircle, KnownDistances) {
    using L_GEODST::GeoDistance;
    const double quarter = 10018.754, half = 20037.508; // R = 6378.137 km, not 6371
    EXPECT_NEAR(GeoDistance(0, 0, 90, 0, 0), quarter, 0.0005);
    EXPECT_NEAR(GeoDistance(0, 0, 180, 0, 0), half, 0.0005);
    EXPECT_NEAR(GeoDistance(10, 20, -170, -20, 0), half, 0.0005) << "antipodes";
    EXPECT_NEAR(GeoDistance(0, 90, 0, -90, 0), half, 0.0005) << "pole to pole";
    EXPECT_LT(GeoDistance(13.9554210, 46.6124980, 13.9554210, 46.6124980, 0), 0.001);
    EXPECT_DOUBLE_EQ(GeoDistance(13.95, 46.61, 13.85, 46.61, 0),
                     GeoDistance(13.85, 46.61, 13.95, 46.61, 0));
    EXPECT_NEAR(GeoDistance(13.95 + 360, 46.61, 13.85, 46.61, 0),
                GeoDistance(13.95, 46.61, 13.85, 46.61, 0), 1e-6);
    EXPECT_NE(GeoDistance(46.61, 13.95, 46.61, 13.85, 0),
              GeoDistance(13.95, 46.61, 13.85, 46.61, 0))
        << "longitude comes first";
    EXPECT_EQ(GeoDistance(0, 0, 90, 0, 1), 0.0) << "only method 0 is defined";
    EXPECT_EQ(L_MATH::ArcCos(1.0000000000000002), 0.0);
    EXPECT_DOUBLE_EQ(L_MATH::ArcCos(-1.0000000000000002), L_MATH::PiTimes(1));
}

TEST(UrlEncode, AddressesAsSent) {
    const struct {
        const char *typed, *sent;
    } cases[] = {
        {"9220 Velden AT", "9220+Velden+AT"},
        {"Klagenfurt am Wörthersee", "Klagenfurt+am+Woerthersee"},
        {"Ärztegasse 1", "aerztegasse+1"},
        {"Straße", "Strasse"},
        {"ÖSTERREICH", "oeSTERREICH"},
        {"Hauptplatz 1, Graz", "Hauptplatz+1%2C+Graz"},
        {"Wien-Mitte", "Wien%2DMitte"},
        {"St. Veit", "St%2E+Veit"},
        {"a_b~c", "a%5Fb%7Ec"},
        {"Café", "Caf%C3%A9"},
        {"€", "%E2%82%AC"},
        {"", ""},
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
