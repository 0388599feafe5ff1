// geodaten-batch: its CSV reading, and the program itself run on lists against the fake
// services, the way a hostile server, a careless user and a new user would.
#include "test_support.h"

#include "batch_tool/L_MATCH.h"
#include "xml_text/L_CSV.h"

#include <QBuffer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Every record of the bytes, fields joined with "|" and records with "/".
QString Records(const QByteArray &bytes, L_CSV::Dialect &dialect, qint64 *unterminated = nullptr) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const bool utf8 = L_CSV::ScanBytes(buffer).invalidLine == 0;
    dialect = L_CSV::Detect(bytes, ',');
    buffer.seek(dialect.headerAt);
    L_CSV::Source source{&buffer,
                         dialect.delimiter,
                         utf8 ? L_CSV::Encoding::Utf8 : L_CSV::Encoding::Windows1252,
                         {},
                         0,
                         1};
    QStringList records, fields;
    qint64 line = 0;
    for (L_CSV::Read read; (read = L_CSV::ReadRecord(source, fields, line)) != L_CSV::Read::End;) {
        if (read == L_CSV::Read::Unterminated && unterminated) *unterminated = line;
        records.append(fields.join(u'|'));
        if (read == L_CSV::Read::Unterminated) break;
    }
    return records.join(u'/');
}

// The program's environment: the fake's open services (or its commercial one), unpaced,
// quick to time out, with folders of the test's own and no answers kept.
QProcessEnvironment Environment(const FakeMapService &service, const QString &temp, bool google,
                                const QStringList &more) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"GEODATEN_PROVIDER", "GEODATEN_API_KEY", "GEODATEN_SERVICE_URL"})
        env.remove(name);
    env.insert(google ? "GEODATEN_SERVICE_URL" : "GEODATEN_NOMINATIM_URL", Seams::Url(service));
    const QStringList assignments =
        QString("GEODATEN_OSRM_URL=http://localhost:%1 GEODATEN_PACE_MS=0 GEODATEN_TIMEOUT_MS=1000 "
                "GEODATEN_RETRY_MS=100 GEODATEN_CACHE=off TEMP=%2 XDG_RUNTIME_DIR=%2 "
                "XDG_CACHE_HOME=%2 no_proxy=127.0.0.1,localhost LC_ALL=de_AT.UTF-8")
            .arg(service.Port())
            .arg(temp)
            .split(u' ') +
        more;
    for (const QString &assignment : assignments)
        env.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1));
    return env;
}

// Each answer kept in the cache file, as "<days it is kept> <its q=>", shortest first.
QStringList KeptDays(const QString &file) {
    QStringList kept;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "kept");
        db.setDatabaseName(file);
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        QSqlQuery query(db);
        if (db.open() && query.exec("SELECT (expires - strftime('%s', 'now') + 3600) / 86400, "
                                    "url FROM answers ORDER BY 1"))
            while (query.next())
                kept.append(query.value(0).toString() + ' ' +
                            query.value(1).toString().section(QRegularExpression("q=|&"), 1, 1));
    }
    QSqlDatabase::removeDatabase("kept");
    return kept;
}

struct Outcome {
    QByteArray output;
    QString errors;
    int exitCode;
};

Outcome RunBatch(const FakeMapService &service, const QString &temp, const QStringList &arguments,
                 const QByteArray &input, bool google, const QStringList &more,
                 const QString &program = GEODATEN_BATCH) {
    QProcess batch;
    batch.setProcessEnvironment(Environment(service, temp, google, more));
    batch.start(program, arguments);
    batch.write(input);
    batch.closeWriteChannel();
    batch.waitForFinished(60000);
    return {batch.readAllStandardOutput(), QString::fromUtf8(batch.readAllStandardError()),
            batch.exitCode()};
}

struct Batch : ::testing::Test {
    FakeMapService service{GEODATEN_FIXTURES};
    QTemporaryDir temp;
    int exitCode = -1;
    QString errors;
    QByteArray Run(const QStringList &arguments, const QByteArray &input, bool google = false,
                   const QStringList &more = {}) {
        const Outcome outcome = RunBatch(service, temp.path(), arguments, input, google, more);
        exitCode = outcome.exitCode;
        errors = outcome.errors;
        return outcome.output;
    }
    QStringList Lines(const QByteArray &csv) {
        return QString::fromUtf8(csv).split("\n", Qt::SkipEmptyParts);
    }
    QString File(const QString &name) const { return temp.path() + "/" + name; }
    // A run in the background, paced so that it can be stopped in the middle.
    std::unique_ptr<QProcess> Start(const QStringList &arguments, const QStringList &more) {
        auto batch = std::make_unique<QProcess>();
        batch->setProcessEnvironment(Environment(service, temp.path(), false, more));
        batch->start(GEODATEN_BATCH, arguments);
        batch->waitForStarted();
        return batch;
    }
    // True once the fake service has seen `count` requests (within 10 s).
    bool Asked(size_t count) {
        QElapsedTimer timer;
        for (timer.start(); service.Requests().size() < count; QThread::msleep(5))
            if (timer.elapsed() > 10000) return false;
        return true;
    }
    QByteArray Numbered(int rows, const QByteArray &header = "Adresse") {
        QByteArray list = header + "\n";
        for (int k = 1; k <= rows; ++k) list += "Ort " + QByteArray::number(k) + "\n";
        return list;
    }
};

} // namespace

TEST(Csv, ReadAsSpreadsheetsWriteIt) {
    const struct {
        const char *name;
        QByteArray bytes;
        char delimiter;
        const char *lineEnd, *records;
    } cases[] = {
        {"semicolon, quotes", "a;b\n\"x;y\";\"say \"\"hi\"\"\"\n", ';', "\n", "a|b/x;y|say \"hi\""},
        {"CR LF, and inside quotes", "a,b\r\n\"1\r\n2\",3\r\n", ',', "\r\n", "a|b/1\r\n2|3"},
        {"tab, empty lines skipped", "a\tb\n\n1\t2\n\n", '\t', "\n", "a|b/1|2"},
        {"the most frequent delimiter", "a,b;c;d\n1,2;3;4\n", ';', "\n", "a,b|c|d/1,2|3|4"},
        {"delimiters in quotes do not count", "\"a;b;c\",d\n", ',', "\n", "a;b;c|d"},
        {"BOM", "\xEF\xBB\xBFName;x\nWien;1\n", ';', "\n", "Name|x/Wien|1"},
        {"Excel's sep= line", "sep=;\r\na,b;c\r\n1,5;2\r\n", ';', "\r\n", "a,b|c/1,5|2"},
        {"Excel's sep= line, quoted", "\"sep=,\"\na;b,c\n", ',', "\n", "a;b|c"},
        // regression: a "sep=" of a byte no delimiter may be read every line as endless fields
        {"a sep= line with no delimiter is a line", "sep=\xFF\na\n", ',', "\n", "sep=ÿ/a"},
        {"Windows-1252", "Gro\xDF;\x80;\x8A\n", ';', "\n", "Groß|€|Š"},
        {"broken quoting read on", "\"ab\"cd,e\n", ',', "\n", "abcd|e"},
        {"empty fields kept", "a;;\n;;\n", ';', "\n", "a||/||"},
        {"empty rows before the header", "\n;;\n \na;b\r\n1;2\r\n", ';', "\r\n", "a|b/1|2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        L_CSV::Dialect dialect;
        EXPECT_EQ(Records(c.bytes, dialect), QString::fromUtf8(c.records));
        EXPECT_EQ(dialect.delimiter, c.delimiter);
        EXPECT_EQ(dialect.lineEnd, c.lineEnd);
    }
    L_CSV::Dialect dialect;
    qint64 line = 0;
    EXPECT_EQ(Records("a\nb\n\"open\nc\nd", dialect, &line), "a/b/open\nc\nd");
    EXPECT_EQ(line, 3) << "where the field began";
    EXPECT_EQ(L_CSV::EncodeRecord({"a;b", "c\"d", "e\nf", "g"}, ';'),
              "\"a;b\";\"c\"\"d\";\"e\nf\";g");
}

TEST(Csv, ScanFindsEncodingAndNul) {
    const struct {
        const char *name;
        QByteArray bytes;
        bool multiByte;
        qint64 invalid, nul;
    } cases[] = {
        {"UTF-8", "a\nW\xC3\xB6rth\n", true, 0, 0},
        {"Windows-1252", "a\nW\xF6rth\n", false, 2, 0},
        {"both", "\xC3\xA4\nx\n\xE4\n", true, 3, 0},
        {"a sequence cut by the end", "a\xE2\x82", false, 1, 0},
        {"an overlong form is no UTF-8", "\xC0\xAF", false, 1, 0},
        {"a surrogate is no UTF-8", "\xED\xA0\x80", false, 1, 0},
        {"NUL", QByteArrayLiteral("a\nb\0c\n"), false, 0, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QBuffer buffer;
        buffer.setData(c.bytes);
        buffer.open(QIODevice::ReadOnly);
        const L_CSV::Scan scan = L_CSV::ScanBytes(buffer);
        EXPECT_EQ(scan.multiByte, c.multiByte);
        EXPECT_EQ(scan.invalidLine, c.invalid);
        EXPECT_EQ(scan.nulLine, c.nul);
    }
}

TEST(Match, TownsAndPostcodesAsPeopleWriteThem) {
    const struct {
        const char *a, *b;
        bool same;
    } towns[] = {
        {"Velden", "Velden am Wörther See", true},
        {"Velden am Wörthersee", "Velden am Wörther See", true},
        {"St. Veit/Glan", "Sankt Veit an der Glan", true},
        {"ST.VEIT", "Sankt Veit an der Glan", true},
        {"Muenchen", "München", true},
        {"Saint-Étienne", "Saint Etienne", true},
        {"Villach", "Villach-Land", false},
        {"Frankfurt am Main", "Frankfurt (Oder)", false},
        {"Lind ob Velden", "Velden am Wörthersee", false},
    };
    for (const auto &t : towns)
        EXPECT_EQ(L_MATCH::SameTown(QString::fromUtf8(t.a), QString::fromUtf8(t.b)), t.same)
            << t.a << " | " << t.b;
    const struct {
        const char *address, *named;
    } addresses[] = {
        {"Seecorso 12, 9220 Velden", "9220|Velden"},
        {"D-84149 Velden", "84149|Velden"},
        {"9220 Velden AT", "9220|Velden"},
        {"Hauptplatz 1, 9500 Villach, Österreich", "9500|Villach"},
        {"Velden am Wörthersee", "|"},
    };
    for (const auto &a : addresses) {
        QString postcode, town;
        L_MATCH::PostcodeAndTown(QString::fromUtf8(a.address), postcode, town);
        EXPECT_EQ(postcode + u'|' + town, QString::fromUtf8(a.named)) << a.address;
    }
}

TEST_F(Batch, GeocodeStatusesAndOneRequestPerAddress) {
    const QByteArray list = "Name;Adresse\nA;9220 Velden AT\nB;nichts\nC; 9220 Velden AT \nD;\n;\n"
                            "E\nF;status400\nG;misbehaveclose\n";
    const QStringList lines = Lines(Run({"geocode"}, list));
    EXPECT_EQ(exitCode, 1) << errors;
    EXPECT_EQ(lines.value(0),
              "Name;Adresse;lat;lon;formatted_address;hits;precision;mismatch;status");
    EXPECT_EQ(lines.value(1), "A;9220 Velden AT;46,6124980;13,9554210;Velden am Wörthersee, Bezirk "
                              "Villach-Land, Kärnten, 9220, Österreich;3;place;;OK")
        << "decimal commas after \";\"";
    const char *statuses[] = {"OK",    "ZERO_RESULTS", "OK",       "EMPTY",
                              "EMPTY", "COLUMNS",      "HTTP 400", "NETWORK"};
    for (int k = 0; k < 8; ++k)
        EXPECT_TRUE(lines.value(k + 1).endsWith(statuses[k])) << lines.value(k + 1);
    EXPECT_TRUE(lines.value(6).startsWith("E;;")) << "a short row keeps its columns";
    EXPECT_EQ(service.Requests().size(), 7u)
        << "the repeated address once; the failing one 4 times";
    EXPECT_TRUE(
        errors.contains("8 Zeilen, 2 gefunden, 4 ohne Ergebnis, 2 leer, 1 Wiederholung;") &&
        errors.contains("; ohne Ergebnis: 1 COLUMNS, 1 HTTP 400, 1 NETWORK, 1 ZERO_RESULTS"))
        << errors;
    EXPECT_EQ(errors.count("geodaten.service: Zeile "), 3) << "once per failure, with its line";
    EXPECT_TRUE(errors.contains("geodaten.service: Zeile 9: Nominatim: Server returned nothing"));
    Run({"geocode", "--quiet"}, "Name;Adresse\nA;9220 Velden AT\nD;\n");
    EXPECT_EQ(exitCode, 0) << "an empty row is no failure";
    EXPECT_EQ(errors, "") << "--quiet: only what ends a run";

    WriteAll(File("libcurl.so.4"), "no library"); // libcurl missing: no answer, no crash
    const QByteArray without = Run({"geocode"}, "Adresse\nx\n", false,
                                   {"LD_LIBRARY_PATH=" + temp.path(), "GEODATEN_RETRY_MS=0"});
    EXPECT_TRUE(without.endsWith(";NETWORK\n") && errors.contains("libcurl cannot start"))
        << errors;
    const QStringList all = Lines(Run({"geocode", "--all", "--column", "Ort", "--coords", "geo"},
                                      "Ort,x\n9220 Velden AT,1\n"));
    EXPECT_EQ(all.size(), 4) << "a row per hit";
    EXPECT_EQ(all.value(3),
              "9220 Velden AT,1,46.6061000,-13.9702000,\"Lind ob Velden, Velden am "
              "Wörthersee, 9220, Österreich\",3,place,,\"geo:46.6061000,-13.9702000\",OK");
}

TEST_F(Batch, PointFormatsParseBack) {
    const QByteArray list =
        "note²;address\n\"a \"\"quoted\"\" note\";9220 Velden AT\nx;nichts\ny;Unzeichen\n";
    const QByteArray geojson = Run({"geocode", "--format", "geojson"}, list);
    const QJsonArray features = QJsonDocument::fromJson(geojson)["features"].toArray();
    ASSERT_EQ(features.size(), 2) << "rows without a hit are left out";
    EXPECT_EQ(features[0]["geometry"]["coordinates"].toArray(), QJsonArray({13.955421, 46.612498}));
    EXPECT_TRUE(
        geojson.contains("\"properties\":{\"name\":\"9220 Velden AT\",\"description\":"
                         "\"Velden am Wörthersee, Bezirk Villach-Land, Kärnten, 9220, "
                         "Österreich\",\"note²\":\"a \\\"quoted\\\" note\",\"address\":\"9220 "
                         "Velden AT\",\"formatted_address\":"))
        << "the list's columns in the list's order, then the program's";
    EXPECT_TRUE(geojson.contains("\"hits\":\"3\",\"precision\":\"place\",\"mismatch\":\"\","
                                 "\"status\":\"OK\"}"));
    for (const char *format : {"gpx", "kml"}) {
        SCOPED_TRACE(format);
        const QByteArray document = Run({"geocode", "--format", format, "--all"}, list);
        EXPECT_TRUE(document.contains(">Velden am See<")) << "U+1FFFE goes as a pair, whole";
        EXPECT_TRUE(format[0] == 'k' || document.contains("<geodaten:note_>"))
            << "\"²\" is in no XML name";
        QXmlStreamReader xml(document);
        QStringList points;
        while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd())
            if (xml.isStartElement() && (xml.name() == u"wpt" || xml.name() == u"coordinates"))
                points.append(xml.name() == u"wpt"
                                  ? xml.attributes().value("lon").toString() + "," +
                                        xml.attributes().value("lat").toString()
                                  : xml.readElementText());
        EXPECT_FALSE(xml.hasError()) << xml.errorString();
        EXPECT_EQ(points, QStringList({"13.955421,46.612498", "13.8497,46.6313", "-13.9702,46.6061",
                                       "13.9,46.6"}))
            << "a name with U+FFFF or U+FFFE, which XML cannot hold, is still a point";
    }
}

TEST_F(Batch, DistancesSayWhatWasMatched) {
    const QByteArray list =
        "Start,Ziel,Name\n9220 Velden AT,9500 Villach AT,Anna\nInsel,9500 Villach AT,Bert\n"
        "nichts,9500 Villach AT,Carl\n9999 Nirgendwo,9500 Villach AT,Dora\n";
    const QStringList lines = Lines(Run({"distance"}, list));
    EXPECT_EQ(exitCode, 1) << errors;
    EXPECT_EQ(lines.value(0), "Start,Ziel,Name,start_address,start_lat,start_lon,start_hits,"
                              "start_precision,end_address,end_lat,end_lon,end_hits,end_precision,"
                              "luftlinie_km,geodesic_km,driving_km,driving_time,driving_s,"
                              "driving_m,shortest_km,commute_km,status");
    EXPECT_EQ(lines.value(1), "9220 Velden AT,9500 Villach AT,Anna,\"Velden am Wörthersee, Bezirk "
                              "Villach-Land, Kärnten, 9220, Österreich\",46.6124980,13.9554210,3,"
                              "place,\"Villach, Kärnten, 9500, Österreich\",46.6103300,13.8558200,"
                              "1,place,7.620,7.634,24.312,00:24:36,1476,24312,24.312,24,OK");
    EXPECT_TRUE(lines.value(2).endsWith(",344.822,345.353,,,,,,,NoRoute")) << lines.value(2);
    EXPECT_EQ(lines.value(3), "nichts,9500 Villach AT,Carl,,,,0,,,,,,,,,,,,,,,ZERO_RESULTS");
    EXPECT_TRUE(lines.value(4).endsWith(",1,place,7.620,7.634,,,,,,,MISMATCH"))
        << "the start is not in its town: no road asked for it, no allowance" << lines.value(4);
    int villach = 0;
    for (const auto &request : service.Requests())
        villach += request.line.find("Villach") != std::string::npos;
    EXPECT_EQ(villach, 1) << "the common destination is asked once";
    EXPECT_EQ(service.Requests().size(), 7u) << "3 starts, Villach once, 2 roads";
    const QStringList google =
        Lines(Run({"distance", "--columns", "Ziel,Start"}, "Start,Ziel\nx,denied\n", true));
    EXPECT_TRUE(google.value(1).endsWith(",REQUEST_DENIED")) << google.value(1);
}

TEST_F(Batch, TheListsPeopleHave) {
    const struct {
        const char *name, *arguments, *list;
        const char *asked; // the q= of the first request; empty: none
        const char *said;  // what the run says first
    } cases[] = {
        {"a member list: its Nr. numbers members", "geocode",
         "Nr.;Vorname;Nachname;Straße;Haus-Nr.;PLZ;Ort\n17;Anna;Berg;Seecorso;12;9220;Velden\n",
         "Seecorso+12%2C+9220+Velden",
         "aus Straße, Haus-Nr., PLZ, Ort, z. B. „Seecorso 12, 9220 Velden“"},
        {"Nr. right after the street", "geocode",
         "Straße;Nr.;Postleitzahl;Ort\nSeecorso;12;9220;V\n", "Seecorso+12%2C+9220+V",
         "aus Straße, Nr., Postleitzahl, Ort"},
        {"HNr, and no dot", "geocode", "ID;Str;HNr;Stadt\n3;Seecorso;12;Velden\n",
         "Seecorso+12%2C+Velden", "aus Str, HNr, Stadt"},
        {"Hausnr, in any case", "geocode", "STRASSE;HAUSNR;ZIP;CITY\nSeecorso;12;9220;Velden\n",
         "Seecorso+12%2C+9220+Velden", "aus STRASSE, HAUSNR, ZIP, CITY"},
        {"a column whose name says address", "geocode",
         "Nr.;Name;Wohnadresse\n1;Anna;Seecorso 12\n", "Seecorso+12", "aus Wohnadresse"},
        {"two such columns: the user says which", "geocode",
         "Name;Wohnadresse;Firmenadresse\nA;x;y\n", "", "--column A,B,C nennt sie"},
        {"postal parts, the empty left out", "geocode", "Strasse;Ort;Land\n;Velden;AT\n",
         "Velden%2C+AT", "aus Strasse, Ort, Land"},
        {"Anschrift wins", "geocode", "Ort;Anschrift\nx;9220 Velden AT\n", "9220+Velden+AT",
         "aus Anschrift"},
        {"its own output: the answers are no question", "geocode",
         "Straße;Hausnummer;PLZ;Ort;lat;lon;formatted_address;hits;status\n"
         "Seecorso;12;9220;Velden;1;2;Bahnweg 7, 4020 Linz;1;OK\n",
         "Seecorso+12%2C+9220+Velden", "aus Straße, Hausnummer, PLZ, Ort,"},
        {"street with its number, postcode with its town", "geocode",
         "Name;Straße u. Nr.;PLZ/Ort\nA;Seecorso 12;9220 Velden\n", "Seecorso+12%2C+9220+Velden",
         "aus Straße u. Nr., PLZ/Ort"},
        {"a field too many: said", "geocode", "Name;Adresse\nA;9220 Velden;bezahlt\n",
         "9220+Velden", "Zeile 2 hat mehr Felder als die Kopfzeile"},
        {"a cell of two lines", "geocode", "Name;Adresse\nA;\"Seecorso 12\r\n9220 Velden\"\n",
         "Seecorso+12%2C+9220+Velden", "„Seecorso 12, 9220 Velden“"},
        {"one column", "geocode", "Wo\n9220 Velden AT\n", "9220+Velden+AT", "aus Wo"},
        {"--column joins", "geocode --column Ort,Land", "Ort;Land\nVelden;AT\n", "Velden%2C+AT",
         "aus Ort, Land"},
        {"member numbers are no address", "geocode", "Mitglied;Name\n17;Anna\n", "",
         "Adresse unter Mitglied, Name; --column A,B,C nennt sie"},
        {"a title above the header", "geocode", "Mitglieder 2026;;\nName;Straße;Ort\n", "",
         "(die erste Zeile muss die Kopfzeile sein, kein Titel)"},
        {"Wohnort and Arbeitsort", "distance",
         "Wohnort;Arbeitsort\n9220 Velden AT;9500 Villach AT\n", "9220+Velden+AT",
         "aus Wohnort, Arbeitsort"},
        {"names are no ends", "distance", "Name;Vorname\nA;B\n", "",
         "Ziel unter Name, Vorname; --from A --to B nennt sie"},
        {"--from and --to", "distance --from PLZ,Ort --to Ziel",
         "PLZ;Ort;Ziel\n9220;Velden;9500 Villach AT\n", "9220%2C+Velden", "aus PLZ, Ort, Ziel"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        service.ClearRequests();
        Run(QString(c.arguments).split(u' '), c.list);
        const auto requests = service.Requests();
        EXPECT_EQ(requests.empty() ? QString()
                                   : QString::fromStdString(requests[0].line)
                                         .section(QRegularExpression("q=|&"), 1, 1),
                  QString(c.asked));
        EXPECT_EQ(exitCode, requests.empty() ? 2 : 0) << errors;
        EXPECT_TRUE(errors.contains(QString::fromUtf8(c.said))) << errors;
    }
}

TEST_F(Batch, BadInputGetsItsMessage) {
    WriteAll(File("list.csv"), "Adresse\n9220 Velden AT\n");
    QFile::link(File("list.csv"), File("link.csv"));
    const struct {
        const char *name;
        QString arguments;
        QByteArray input;
        int exit;
        const char *message;
    } cases[] = {
        {"unknown option", "geocode --frmat kml", "", 2, "unbekannte Option: frmat"},
        {"no rates before 2021", "distance --pauschale 2020", "", 2, "--pauschale braucht"},
        {"distance as geojson", "distance --format geojson", "", 2,
         "distance kennt --format geojson nicht"},
        {"resume without a file", "geocode --resume", "", 2, "--resume braucht -o DATEI"},
        {"missing file", "geocode /nonexistent/list.csv", "", 2, "list.csv kann nicht gelesen"},
        {"nothing", "geocode", "\n;;\n", 2, "Standardeingabe ist leer"},
        {"unknown column", "geocode --column Ort", "Adresse\nx\n", 2, "keine Spalte \"Ort\""},
        {"unterminated quote", "geocode", "Adresse\n9220 Velden AT\n\"open\nmore\n", 2,
         "Zeile 3: das Anführungszeichen"},
        {"Windows-1252", "geocode", "Adresse\nW\xF6rthersee\n", 0, "als Windows-1252 gelesen"},
        {"UTF-8 mixed with other bytes", "geocode", "Adresse\nW\xC3\xB6rth\nW\xF6rth\n", 2,
         "Zeile 3: kein gültiges UTF-8"},
        {"--encoding says which", "geocode --encoding windows-1252",
         "Adresse\nW\xC3\xB6rth\nW\xF6rth\n", 0, "2 gefunden"},
        {"--encoding utf-8 says what it replaced", "geocode --encoding utf-8",
         "Adresse\nW\xC3\xB6rth\nW\xF6rth\n", 0,
         "an einer Stelle kein UTF-8; dort steht �, zuerst in Zeile 3"},
        {"a header that is not what --encoding says", "geocode --encoding windows-1252",
         "Stra\xC3\x9F"
         "e;Ort\nx;y\n",
         2, "die Kopfzeile ist nicht windows-1252"},
        {"--tage alone", "distance --tage 200", "", 2, "--tage gilt nur mit --pauschale"},
        {"a GPX file named .csv", "geocode --format gpx -o " + File("p.csv"), "Adresse\nx\n", 0,
         "p.csv endet auf .csv, geschrieben wird aber gpx"},
        {"a NUL byte", "geocode", QByteArrayLiteral("Adresse\nVelden\0AT\n"), 2,
         "Zeile 2: ein NUL-Byte"},
        {"the output is the input, through a link",
         "geocode -o " + File("link.csv") + " " + File("list.csv"), "", 2, "ist die Eingabe"},
        {"both outputs one file that does not exist yet",
         "geocode -o " + File("new.csv") + " --failed " + temp.path() + "/./new.csv", "", 2,
         "nennen dieselbe Datei"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray out = Run(c.arguments.split(u' '), c.input);
        EXPECT_EQ(exitCode, c.exit);
        EXPECT_TRUE(errors.contains(QString::fromUtf8(c.message))) << errors;
        if (c.input.contains("open")) {
            EXPECT_EQ(Lines(out).size(), 2) << "the rows before it";
        }
    }
    for (const char *output : {"-o", "--failed"}) { // "< list.csv": standard input is a file too
        QProcess redirected;
        redirected.setProcessEnvironment(Environment(service, temp.path(), false, {}));
        redirected.setStandardInputFile(File("list.csv"));
        redirected.start(GEODATEN_BATCH, {"geocode", output, File("link.csv")});
        redirected.waitForFinished(20000);
        EXPECT_EQ(redirected.exitCode(), 2) << output;
    }
    EXPECT_EQ(ReadAll(File("list.csv")), "Adresse\n9220 Velden AT\n") << "the input untouched";
    EXPECT_FALSE(QFile::exists(File("new.csv"))) << "nothing written";
    EXPECT_TRUE(Run({"geocode"}, "Adresse\nW\xF6rthersee\n")
                    .startsWith("\xEF\xBB\xBF"
                                "Adresse;lat"))
        << "a BOM for the spreadsheet";
    service.ClearRequests();
    const QStringList lines = Lines(Run({"geocode"}, "Adresse\n" + QByteArray(501, 'x') + "\n"));
    EXPECT_TRUE(lines.value(1).endsWith(";BAD_INPUT")) << "too long for any address";
    EXPECT_EQ(service.Requests().size(), 0u) << "and not sent";
}

TEST_F(Batch, ServiceTextIsNeverAFormulaNorAnEscape) {
    const QStringList lines = Lines(Run({"geocode", "--all"}, "Adresse;Notiz\nFormel;=SUM(A1)\n"));
    EXPECT_EQ(lines.value(1), "Formel;=SUM(A1);46,6000000;13,9000000;\"'=HYPERLINK(\"\"http://"
                              "evil.example\"\",\"\"Velden\"\")\";2;;;OK")
        << "the service's text gets an apostrophe, the user's own stays";
    EXPECT_EQ(lines.value(2), "Formel;=SUM(A1);46,7000000;13,8000000;Wien;2;;;OK")
        << "escapes removed";
    const QString word = "\"'=HYPERLINK(\"\"http://evil.example\"\")\"";
    EXPECT_EQ(Lines(Run({"geocode", "--failed", File("f.csv")}, "Adresse\nFormelstatus\n", true))
                  .value(1),
              "Formelstatus;;;;0;;;" + word)
        << "the service's own word too, in the output and in --failed";
    EXPECT_TRUE(ReadAll(File("f.csv")).endsWith(word.toUtf8() + "\n"));
    const QStringList google = Lines(Run({"geocode"}, "Adresse\nUnmoeglich\n", true));
    EXPECT_EQ(google.value(1), "Unmoeglich;;;;0;;;ZERO_RESULTS") << "NaN, 123.4, 1e400: no place";
    EXPECT_FALSE(errors.contains(QChar(0x1B))) << "no escape reaches the terminal";
}

TEST_F(Batch, NothingLost) {
    WriteAll(File("list.csv"), Numbered(40));
    const QByteArray whole = Run({"geocode", "--quiet", File("list.csv")}, "");
    service.ClearRequests();
    QProcess full; // a medium that fills up: never a cut row, never a claim of rows not written
    full.setProcessEnvironment(Environment(service, temp.path(), false, {}));
    full.setChildProcessModifier([] { // as prlimit --fsize: SIGXFSZ would kill it mid-row
        const rlimit size{2500, 2500};
        ::setrlimit(RLIMIT_FSIZE, &size);
    });
    full.start(GEODATEN_BATCH, {"geocode", "-o", File("cut.csv"), File("list.csv")});
    full.waitForFinished(20000);
    EXPECT_EQ(full.exitCode(), 3);
    const QString said = QString::fromUtf8(full.readAllStandardError());
    EXPECT_TRUE(said.contains("cut.csv: File too large")) << said;
    const QByteArray cut = ReadAll(File("cut.csv"));
    EXPECT_TRUE(whole.startsWith(cut) && cut.endsWith("OK\n")) << "ends at a complete row";
    const qint64 rows = cut.count('\n') - 1;
    EXPECT_TRUE(said.contains(QString("%1 Zeilen, %1 gefunden").arg(rows))) << said;
    EXPECT_EQ(service.Requests().size(), size_t(rows + 1)) << "no further requests";

    service.ClearRequests();
    auto first = Start(
        {"geocode", "--quiet", "-o", File("out.csv"), "--failed", File("f.csv"), File("list.csv")},
        {"GEODATEN_PACE_MS=50"});
    ASSERT_TRUE(Asked(1));
    ::kill(pid_t(first->processId()), SIGSTOP); // Ctrl+Z: its files stay held meanwhile
    for (const QString &other : {File("out.csv"), File("other.csv")}) {
        Run({"geocode", "-o", other, "--failed", File("f.csv"), File("list.csv")}, "");
        EXPECT_EQ(exitCode, 2) << "one writer at a time, of either file";
        EXPECT_TRUE(errors.contains("wird gerade von einem anderen Lauf geschrieben")) << errors;
    }
    ::kill(pid_t(first->processId()), SIGCONT);
    first->waitForFinished(20000);
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_EQ(ReadAll(File("out.csv")), whole) << "the first run unharmed";

    WriteAll(File("notes.txt"), "my notes\nstay\n");
    Run({"geocode", "--resume", "-o", File("notes.txt"), File("list.csv")}, "");
    EXPECT_EQ(exitCode, 2);
    EXPECT_EQ(ReadAll(File("notes.txt")), "my notes\nstay\n") << "a foreign file stays as it was";
    QProcess devFull;
    devFull.setProcessEnvironment(Environment(service, temp.path(), false, {}));
    devFull.setStandardOutputFile("/dev/full");
    devFull.start(GEODATEN_BATCH, {"geocode", File("list.csv")});
    devFull.waitForFinished(20000);
    EXPECT_EQ(devFull.exitCode(), 3) << "> /dev/full";
}

TEST_F(Batch, ResumeAfterAKillInEveryFormat) {
    WriteAll(File("list.csv"), Numbered(12) + "Ort 12\n"); // identical rows at the end
    // With --all a row is a record per hit: its last one cut.
    for (const QString format : {"csv", "geojson", "gpx", "kml", "csv --all"}) {
        SCOPED_TRACE(format.toStdString());
        const QStringList options = QString("geocode --format " + format).split(u' ');
        const QString out = File("out " + format), list = File("list.csv");
        const QByteArray whole = Run(options + QStringList{list}, "");
        service.ClearRequests();
        auto killed = Start(options + QStringList{"-o", out, list}, {"GEODATEN_PACE_MS=120"});
        ASSERT_TRUE(Asked(5)) << "four rows answered and written";
        ::kill(pid_t(killed->processId()), SIGKILL);
        killed->waitForFinished();
        QFile cut(out);
        cut.open(QIODevice::ReadWrite);
        cut.resize(cut.size() - 5); // cut off in the middle of a record
        cut.close();
        service.ClearRequests();
        Run(options + QStringList{"--resume", "-o", out, list}, "");
        EXPECT_EQ(exitCode, 0) << errors;
        EXPECT_EQ(ReadAll(out), whole) << "every row once, in input order";
        EXPECT_LT(service.Requests().size(), 12u) << "the rows written are not asked again";
    }
    WriteAll(File("out.csv"),
             "Adresse;lat;lon;formatted_address;hits;precision;mismatch;status\n"
             "Ort 1;1;2;x;1;;;OK\nOrt 2;;;;0;;;NETWORK\nOrt 3;;;;0;;;ZERO_RESULTS\n"
             "Ort 4;;;;0;;;HTTP 429\nOrt 5;1;2;x;1;;;OK\n");
    service.ClearRequests();
    const QStringList lines = Lines(Run(
        {"geocode", "--resume", "-o", File("out.csv"), "--failed", File("f.csv"), File("list.csv")},
        ""));
    EXPECT_EQ(exitCode, 1) << "as an uninterrupted run: the kept row without a result counts";
    EXPECT_EQ(ReadAll(File("f.csv")), "Adresse;status\nOrt 3;ZERO_RESULTS\n");
    const QStringList result = Lines(ReadAll(File("out.csv")));
    EXPECT_EQ(result.size(), 14);
    EXPECT_EQ(result.mid(1, 5),
              QStringList({"Ort 1;1;2;x;1;;;OK", result[2], "Ort 3;;;;0;;;ZERO_RESULTS", result[4],
                           "Ort 5;1;2;x;1;;;OK"}));
    EXPECT_TRUE(result[2].startsWith("Ort 2;46,6124980") && result[4].startsWith("Ort 4;46,61"))
        << "passing failures asked again";
    EXPECT_EQ(service.Requests().size(), 2u + 7u) << "the repeated last row from memory";
    EXPECT_TRUE(errors.contains("3 schon erledigt")) << errors;
}

TEST_F(Batch, RetriesHonourTheServer) {
    const struct {
        const char *name, *address, *status;
        size_t requests;
        qint64 atLeastMs;
        int exit;
    } cases[] = {
        {"429 with Retry-After: 1", "misbehavebusy", "OK", 2, 1000, 0},
        {"5xx: three more tries, 0.1, 0.2 and 0.4 s apart", "misbehave500", "HTTP 500", 4, 700, 1},
        {"an hour's Retry-After stops the run", "misbehavelater", nullptr, 1, 0, 1},
        {"a Retry-After beyond any clock is clamped, not 0", "misbehaveforever", nullptr, 1, 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        service.ClearRequests();
        QElapsedTimer timer;
        timer.start();
        const QStringList lines =
            Lines(Run({"geocode"}, QByteArray("Adresse\n") + c.address + "\nOrt\n"));
        EXPECT_GE(timer.elapsed(), c.atLeastMs);
        EXPECT_EQ(exitCode, c.exit) << errors;
        EXPECT_EQ(service.Requests().size(), c.requests + (c.status ? 1 : 0));
        const bool stopped = lines.size() == 1 && errors.contains("danach mit --resume fortsetzen");
        EXPECT_TRUE(c.status ? lines.value(1).endsWith(c.status) : stopped) << errors;
    }
}

TEST_F(Batch, CtrlCAgainstASilentServer) {
    WriteAll(File("list.csv"), "Adresse\n9220 Velden AT\nmisbehavesilent\n9500 Villach AT\n");
    for (const bool resume : {false, true}) { // then once more, continuing the output it left
        SCOPED_TRACE(resume ? "--resume" : "a new output");
        QStringList arguments{"geocode", "--format",      "kml",
                              "-o",      File("out.kml"), File("list.csv")};
        if (resume) arguments.insert(1, "--resume");
        auto batch = Start(arguments, {"GEODATEN_TIMEOUT_MS=30000"});
        ASSERT_TRUE(Asked(resume ? 3 : 2)) << "the silent row asked; the kept one not again";
        QElapsedTimer timer;
        timer.start();
        ::kill(pid_t(batch->processId()), SIGINT);
        batch->waitForFinished(20000);
        EXPECT_LT(timer.elapsed(), 5000) << "the waiting transfer is abandoned, not waited out";
        EXPECT_EQ(batch->exitCode(), 130);
        QXmlStreamReader xml(ReadAll(File("out.kml")));
        int places = 0;
        while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd())
            places += xml.isStartElement() && xml.name() == u"Placemark";
        EXPECT_FALSE(xml.hasError()) << "closed as a valid document";
        EXPECT_EQ(places, 1) << "the finished row kept, the waiting one not written";
    }
}

TEST_F(Batch, TwoProcessesTakeTurnsAtOneHost) {
    WriteAll(File("list.csv"), Numbered(8));
    auto stopped =
        Start({"geocode", "-o", File("out.csv"), File("list.csv")}, {"GEODATEN_PACE_MS=300"});
    ASSERT_TRUE(Asked(2));
    ::kill(pid_t(stopped->processId()), SIGSTOP); // Ctrl+Z, a turn reserved or waited for
    std::thread other([&] {                       // as from cron, without XDG_RUNTIME_DIR
        Run({"geocode"}, Numbered(6), false, {"GEODATEN_PACE_MS=300", "XDG_RUNTIME_DIR="});
    });
    EXPECT_TRUE(Asked(3)) << "a stopped run holds no turn";
    ::kill(pid_t(stopped->processId()), SIGCONT); // then both take turns
    other.join();
    stopped->waitForFinished(20000);
    EXPECT_EQ(exitCode + stopped->exitCode(), 0) << errors;
    std::vector<double> times;
    for (const auto &request : service.Requests()) times.push_back(request.atMs);
    std::sort(times.begin(), times.end());
    ASSERT_EQ(times.size(), 14u);
    for (size_t k = 1; k < times.size(); ++k)
        EXPECT_GE(times[k] - times[k - 1], 250) << "request " << k << " of both runs together";
}

TEST_F(Batch, EveryHitCheckedAgainstTheRow) {
    const struct {
        const char *name, *arguments, *address;
        bool google;
        const char *rows;  // each written row's lat;lon;hits;precision;mismatch;status, "|" between
        const char *asked; // in the request
    } cases[] = {
        {"the first hit in the row's town, not the first", "", "Lindenweg 5, 9500 Villach", false,
         "46,6180500;13,8721300;2;house;;OK", "&addressdetails=1"},
        {"every hit its own check", "--all", "Lindenweg 5, 9500 Villach", false,
         "46,6411200;14,3080100;2;house;postcode,town;OK|46,6180500;13,8721300;2;house;;OK", ""},
        {"a typo in the postcode, the right town", "", "9221 Velden", false,
         "46,6124980;13,9554210;3;place;postcode;OK", ""},
        {"the right postcode in another town", "", "9220 Villach", false,
         "46,6124980;13,9554210;3;place;town;OK", ""},
        {"nothing in the row's town: shown, not taken", "", "9999 Nirgendwo", false,
         "46,6124980;13,9554210;3;place;postcode,town;MISMATCH", ""},
        {"only some countries", "--country AT,de", "9220 Velden AT", false,
         "46,6124980;13,9554210;3;place;;OK", "&countrycodes=at,de"},
        {"the commercial service's location types and partial match", "--all --country at",
         "9220 Velden AT", true,
         "46,6247000;13,8558000;3;place;;OK|46,6313000;13,8497000;3;postcode;;OK|"
         "46,6061000;-13,9702000;3;street;postcode,town,partial;OK",
         "&components=country%3Aat"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        service.ClearRequests();
        const QStringList args =
            QString("geocode %1").arg(c.arguments).split(u' ', Qt::SkipEmptyParts);
        QStringList rows;
        for (const QString &line :
             Lines(Run(args, QByteArray("Adresse\n") + c.address + "\n", c.google)).mid(1))
            rows.append(line.section(u';', 1, 2) + u';' + line.section(u';', 4));
        EXPECT_EQ(rows.join(u'|'), QString::fromUtf8(c.rows)) << errors;
        EXPECT_TRUE(QString::fromStdString(service.Requests().at(0).line).contains(c.asked));
    }
    const QByteArray features = Run({"geocode", "--format", "geojson", "--failed", File("f.csv")},
                                    "Adresse\n9999 Nirgendwo\n");
    EXPECT_EQ(QJsonDocument::fromJson(features)["features"].toArray().size(), 0)
        << "a place in another town is no point";
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(errors.contains("1 Zeile, 0 gefunden, 0 ohne Ergebnis, 1 abweichend")) << errors;
    EXPECT_EQ(ReadAll(File("f.csv")), "Adresse;status\n9999 Nirgendwo;MISMATCH\n");
}

TEST_F(Batch, FailedRowsToCorrect) {
    Run({"geocode", "-o", File("out.csv"), "--failed", File("failed.csv")},
        "sep=;\r\nName;Adresse\r\nA;9220 Velden AT\r\nB;nichts\r\n;\r\nD;status400\r\n"
        "E;misbehave500\r\n");
    EXPECT_EQ(ReadAll(File("failed.csv")),
              "sep=;\r\nName;Adresse;status\r\nB;nichts;ZERO_RESULTS\r\nD;status400;HTTP 400\r\n"
              "E;misbehave500;HTTP 500\r\n")
        << "in the input's dialect, empty rows left out";
    EXPECT_TRUE(errors.contains("; --resume fragt 1 davon neu")) << "HTTP 500 passes" << errors;
    const QByteArray out = ReadAll(File("out.csv"));
    EXPECT_EQ(Run({"geocode", File("out.csv")}, ""), out)
        << "run on its own output: each column once";
    EXPECT_TRUE(
        Run({"geocode", File("failed.csv")}, "").startsWith("sep=;\r\nName;Adresse;lat;lon"));
}

// Files of other users, and a user's read-only file: as nobody, where the test runs as root.
TEST_F(Batch, AsAnotherUser) {
    const QStringList nobody{"--reuid=65534", "--regid=65534", "--clear-groups"};
    if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty() ||
        QProcess::execute("setpriv", nobody + QStringList{GEODATEN_BATCH, "--version"}) != 0)
        GTEST_SKIP() << "needs root, and a build folder another user can reach";
    const QString shared = temp.path() + "/shared";
    QDir().mkdir(shared);
    ::chmod(QFile::encodeName(shared), 01777); // as /tmp
    ::chmod(QFile::encodeName(temp.path()), 0755);
    WriteAll(shared + "/~googlegeodata.tmp", "planted"); // root's: nobody may not replace it
    const Outcome out =
        RunBatch(service, temp.path(), nobody + QStringList{GEODATEN_BATCH, "geocode"},
                 "Adresse\n9220 Velden AT\n", true, {"TEMP=" + shared, "XDG_RUNTIME_DIR=" + shared},
                 "setpriv");
    EXPECT_TRUE(out.output.endsWith(";0;;;FILE\n")) << out.output.constData() << out.errors;
    EXPECT_EQ(out.errors.count("geodaten.service: Zeile 2: Google geocoding: cannot replace"), 1)
        << out.errors;
    EXPECT_EQ(ReadAll(shared + "/~googlegeodata.tmp"), "planted");
    const QString own = temp.path() + "/own", file = own + "/answers.sqlite"; // nobody's
    const QByteArray list = "Adresse\n9220 Velden AT\n9500 Villach AT\n";
    const QByteArray asked = Run({"geocode"}, list, false, {"GEODATEN_CACHE=" + file});
    const QByteArray bytes = ReadAll(file);
    for (const QString &path : {own, file}) ::chown(QFile::encodeName(path), 65534, 65534);
    ::chmod(QFile::encodeName(file), 0444); // read-only to its owner: root would write it still
    const QStringList env{"GEODATEN_CACHE=" + file, "TEMP=" + own, "XDG_RUNTIME_DIR=" + own};
    const Outcome readOnly =
        RunBatch(service, temp.path(), nobody + QStringList{GEODATEN_BATCH, "geocode"},
                 list + "Ort 1\n", false, env, "setpriv"); // Ort 1: an answer to keep
    EXPECT_EQ(readOnly.exitCode, 0) << readOnly.errors;
    EXPECT_TRUE(readOnly.output.startsWith(asked)) << readOnly.output.constData();
    EXPECT_EQ(readOnly.errors.count("cache: cannot be written"), 1) << readOnly.errors;
    EXPECT_EQ(ReadAll(file), bytes) << "nothing written into it";
}

TEST_F(Batch, CommutersGetTheShortestRoadInWholeKilometres) {
    const QByteArray list = "Name;Wohnort;Arbeitsort\nA;1, 1;2, 2\nB;1.5, 1;2, 2\nC;3, 3;4, 4\n";
    const struct {
        const char *name, *arguments, *more;
        const char *rows; // commute_km;pauschale_eur of each row, "|" between rows
        size_t requests;  // the points are asked of no geocoder
    } cases[] = {
        {"2021: 0.30 and 0.35 euro", "--pauschale 2021", "", "14;924,00|15;990,00|35;2475,00", 3},
        {"2025: 0.30 and 0.38 euro", "--pauschale 2025", "", "14;924,00|15;990,00|35;2574,00", 3},
        {"2026: 0.38 euro from the first km", "--pauschale 2026 --tage 200", "",
         "14;1064,00|15;1140,00|35;2660,00", 3},
        {"a server that routes by distance", "--pauschale 2026",
         "GEODATEN_OSRM_SHORTEST_URL=", "15;1254,00|15;1254,00|36;3009,60", 6},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        service.ClearRequests();
        const QStringList more{*c.more ? c.more + Seams::Url(service) : QString("x=y")};
        const QStringList lines =
            Lines(Run(QString("distance %1").arg(c.arguments).split(u' ', Qt::SkipEmptyParts), list,
                      false, more));
        QStringList rows;
        for (const QString &line : lines.mid(1))
            rows.append(line.section(u';', *c.arguments ? -3 : -2, -2));
        EXPECT_EQ(rows.join(u'|'), c.rows) << lines.join('\n').toStdString();
        EXPECT_EQ(service.Requests().size(), c.requests);
        EXPECT_EQ(errors.contains("eine Näherung"), !*c.more) << "said where it is one";
    }
    EXPECT_TRUE(
        Lines(Run({"distance"}, list))
            .value(1)
            .endsWith(";;1,0000000;1,0000000;;;;2,0000000;2,0000000;;;157,402;156,876;15,200;"
                      "00:15:00;900;15200;14,999;14;OK"))
        << "never rounded up past its whole km";
}

TEST_F(Batch, ReverseFromBothServices) {
    const QByteArray list = "Name;Breite;Länge\nA;46,61375;13,9560278\nB;0;0\nC;89;0\nD;x;y\n"
                            "E;46 36 49.5;13 57 21.7\nF;46;13 0\n";
    for (const bool google : {false, true}) {
        SCOPED_TRACE(google ? "google" : "osm");
        const QStringList lines = Lines(Run({"reverse", "--coords", "utm"}, list, google));
        EXPECT_EQ(lines.value(0), "Name;Breite;Länge;address;road;house_number;postcode;city;"
                                  "country;coords;status");
        EXPECT_TRUE(lines.value(1).endsWith(";Seecorso;12;9220;Velden am Wörthersee;Österreich;"
                                            "33T 420061 5162772;OK"))
            << lines.value(1);
        EXPECT_TRUE(lines.value(2).endsWith(";ZERO_RESULTS")) << "Unable to geocode";
        EXPECT_TRUE(lines.value(3).endsWith(google ? ";REQUEST_DENIED" : ";HTTP 400"));
        EXPECT_TRUE(lines.value(4).endsWith(";BAD_INPUT")) << lines.value(4);
        EXPECT_TRUE(lines.value(5).endsWith(";OK")) << "each column read alone, as devices write";
        EXPECT_TRUE(lines.value(6).section(u';', -2).startsWith("33T 345136 5095992"))
            << "13 0 is 13°0', never 130" << lines.value(6);
        EXPECT_EQ(errors.count("geodaten.service:"), 2) << "a line for each but the found";
    }
    const QJsonArray features =
        QJsonDocument::fromJson(Run({"reverse", "--format", "geojson", "--point", "Wo"},
                                    "Wo\n46.61375 13.9560278\n"))["features"]
            .toArray();
    EXPECT_EQ(features.size(), 1);
    EXPECT_EQ(features[0]["properties"]["description"].toString(),
              "Seecorso 12, 9220 Velden am Wörthersee, Kärnten, Österreich");
    EXPECT_EQ(features[0]["properties"]["postcode"].toString() + "|" +
                  features[0]["properties"]["status"].toString(),
              "9220|OK")
        << "the address's parts as properties";
}

TEST_F(Batch, AnswersKeptInTheCache) {
    const QString file = File("kept/answers.sqlite");
    const QStringList cache{"GEODATEN_CACHE=" + file};
    WriteAll(File("a.csv"), Numbered(6));
    WriteAll(File("b.csv"), Numbered(12));
    Outcome other; // two processes share the file at once
    std::thread process([&] {
        other = RunBatch(service, temp.path(), {"geocode", File("a.csv")}, "", false, cache);
    });
    const QByteArray first = Run({"geocode", File("b.csv")}, "", false, cache);
    process.join();
    EXPECT_EQ(exitCode + other.exitCode, 0) << errors << other.errors;
    EXPECT_FALSE((errors + other.errors).contains("cache")) << errors << other.errors;
    service.ClearRequests();
    EXPECT_EQ(Run({"geocode", File("b.csv")}, "", false, cache), first) << "the same output";
    EXPECT_EQ(service.Requests().size(), 0u) << "a re-run asks nothing";
    EXPECT_TRUE(errors.contains("12 aus gespeicherten Antworten")) << errors;
    struct stat mode {};
    ::stat(QFile::encodeName(file), &mode);
    EXPECT_EQ(mode.st_mode & 0777, 0600u);
    ::stat(QFile::encodeName(File("kept")), &mode);
    EXPECT_EQ(mode.st_mode & 0777, 0700u);
    Run({"geocode", "--no-cache", File("b.csv")}, "", false, cache);
    EXPECT_EQ(service.Requests().size(), 12u) << "--no-cache asks again";
    const QStringList times{"GEODATEN_CACHE=" + File("times.sqlite")};
    for (int run = 0; run < 2; ++run) // "nichts" kept: told when it came, not from the cache
        Run({"geocode"}, "Adresse\n9220 Velden AT\nnichts\nstatus400\nmisbehaveclose\n", false,
            times);
    EXPECT_EQ(errors.count("geodaten.service"), 2) << "the failures asked again" << errors;
    EXPECT_TRUE(errors.contains("2 aus gespeicherten Antworten;")) << errors;
    Run({"geocode"}, "Adresse\n9220 Velden AT\n", true, times); // the commercial service's
    EXPECT_EQ(KeptDays(File("times.sqlite")), QStringList({"1 nichts", "90 9220+Velden+AT"}))
        << "nothing found a day, a place 90 days, failures and commercial answers never";
    EXPECT_FALSE(QFile::exists(File("geodaten/answers.sqlite"))) << "GEODATEN_CACHE=off";
    const QString theirs = File("theirs.sqlite"); // another user's, or one to keep away from
    QFile::copy(file, theirs);
    const QByteArray theirBytes = ReadAll(theirs), listBytes = ReadAll(File("a.csv"));
    const auto copy = [&](const QString &to, mode_t mode) {
        QFile::copy(theirs, to);
        ::chmod(QFile::encodeName(to), mode);
        return to;
    };
    const auto sql = [](const QString &path, const QStringList &statements,
                        const QByteArray &blob) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", path); // open while the test runs
        db.setDatabaseName(path);
        db.open();
        for (const QString &statement : statements) {
            QSqlQuery query(db);
            query.prepare(statement);
            if (statement.contains('?')) query.addBindValue(blob);
            query.exec();
        }
        return path;
    };
    const QByteArray eiffel = "<searchresults><place lat=\"48.85826\" lon=\"2.294499\" "
                              "display_name=\"Eiffelturm\"/></searchresults>";
    const struct {
        const char *name;
        std::function<QString()> plant; // GEODATEN_CACHE of the row; null: the row is skipped
        const char *line;               // its one line; none: used, but not that entry
    } damaged[] = {
        {"the list itself: no database, left byte for byte", [&] { return File("a.csv"); },
         "no SQLite database; not used"},
        {"a device", [] { return QString("/dev/full"); }, "is no regular file"},
        {"a symlink, never followed", [&] { return QFile::link(theirs, File("l")), File("l"); },
         "is a symlink"},
        {"a dangling symlink, nothing made through it",
         [&] { return QFile::link(File("made"), File("dangling")), File("dangling"); },
         "is a symlink"},
        {"a file others may write", [&] { return copy(File("wide"), 0666); }, "is open to others"},
        {"in a folder others may write",
         [&] {
             QDir().mkdir(File("open"));
             return ::chmod(QFile::encodeName(File("open")), 0777), copy(File("open/a"), 0600);
         },
         "its folder is open to others"},
        {"another user's",
         [&] {
             const QString foreign = copy(File("foreign"), 0600);
             return ::chown(QFile::encodeName(foreign), 65534, 65534) == 0 ? foreign : QString();
         },
         "belongs to another user"},
        {"locked by another process",
         [&] {
             return sql(copy(File("locked"), 0600),
                        {"PRAGMA journal_mode=DELETE", "BEGIN EXCLUSIVE", "DELETE FROM answers"},
                        {});
         },
         "locked by another process; not used in this run"},
        {"an entry that would inflate beyond the cap",
         [&] { // its size said 17 MiB: not inflated, so not the planted place
             return sql(file, {"UPDATE answers SET body = ?"},
                        QByteArray::fromHex("01100000") + qCompress(eiffel).mid(4));
         },
         nullptr},
        {"damaged at the program's own path: moved aside",
         [&] {
             QDir().mkpath(File("geodaten"));
             return WriteAll(File("geodaten/answers.sqlite"), "no database"), QString("");
         },
         "no SQLite database; moved aside"},
    };
    const QByteArray asked = Run({"geocode", File("a.csv")}, "");
    for (const auto &d : damaged) {
        SCOPED_TRACE(d.name);
        const QString planted = d.plant();
        if (planted.isNull()) continue;
        QElapsedTimer timer;
        timer.start();
        const Outcome kept = RunBatch(service, temp.path(), {"geocode", File("a.csv")}, "", false,
                                      {"GEODATEN_CACHE=" + planted});
        EXPECT_LT(timer.elapsed(), 8000) << "a lock is waited for about 2 s once, not each time";
        EXPECT_EQ(kept.exitCode, 0);
        EXPECT_EQ(kept.output, asked) << "never a wrong answer";
        EXPECT_EQ(kept.errors.count("geodaten.service: cache:"), d.line ? 1 : 0) << kept.errors;
        EXPECT_TRUE(!d.line || kept.errors.contains(d.line)) << kept.errors;
    }
    EXPECT_EQ(ReadAll(File("a.csv")), listBytes);
    EXPECT_EQ(ReadAll(theirs), theirBytes) << "no link followed";
    EXPECT_FALSE(QFileInfo::exists(File("made"))) << "nothing made through a dangling link";
    EXPECT_TRUE(QFile::exists(File("geodaten/answers.sqlite.broken")));
    ::stat(QFile::encodeName(File("geodaten")), &mode);
    EXPECT_EQ(mode.st_mode & 0777, 0700u) << "the program's own folder narrowed from 0755";
}

TEST_F(Batch, InParallelToOnesOwnServer) {
    WriteAll(File("list.csv"), Numbered(12) + Numbered(12).mid(8)); // each address asked once
    const QByteArray serial = Run({"geocode", File("list.csv")}, "");
    service.delayMs = 100;
    service.ClearRequests();
    EXPECT_EQ(Run({"geocode", "--parallel", "8", File("list.csv")}, ""), serial)
        << "in input order";
    service.delayMs = 0;
    EXPECT_EQ(service.Requests().size(), 12u) << "an address in flight is waited for";
    QByteArray list = Numbered(23); // rows 3 to 5 hang: four requests in flight, one moving
    for (const char *row : {"Ort 3\n", "Ort 4\n", "Ort 5\n"})
        list.replace(row, "misbehavesilent " + QByteArray(row).mid(4));
    WriteAll(File("list.csv"), list);
    service.ClearRequests();
    auto batch = Start({"geocode", "--parallel", "4", "--format", "geojson", "-o", File("out.json"),
                        File("list.csv")},
                       {"GEODATEN_TIMEOUT_MS=30000"});
    ASSERT_TRUE(Asked(23)) << "the rows behind the hanging ones asked meanwhile";
    QElapsedTimer timer;
    timer.start();
    ::kill(pid_t(batch->processId()), SIGINT);
    batch->waitForFinished(20000);
    EXPECT_LT(timer.elapsed(), 5000) << "Ctrl+C ends the waiting transfer at once";
    EXPECT_EQ(batch->exitCode(), 130);
    const QJsonArray features =
        QJsonDocument::fromJson(ReadAll(File("out.json"))).object()["features"].toArray();
    EXPECT_EQ(features.size(), 2);
    for (int k = 0; k < features.size(); ++k)
        EXPECT_EQ(features[k]["id"].toString(), QString::number(k + 1))
            << "a valid document of the rows before them: those behind wait in order";
    service.ClearRequests(); // a public host, however written, through a proxy: one a second
    Run({"geocode", "--parallel", "8"}, Numbered(3), false,
        {"GEODATEN_NOMINATIM_URL=http://Nominatim.OpenStreetMap.org.",
         "http_proxy=" + Seams::Url(service)});
    EXPECT_TRUE(errors.contains("--parallel gilt nur für eigene Server")) << errors;
    const auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_GE(requests[2].atMs - requests[1].atMs, 900);
    EXPECT_GE(requests[1].atMs - requests[0].atMs, 900);
}
