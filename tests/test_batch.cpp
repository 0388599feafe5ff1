// geodaten-batch: its CSV reading, and the program itself run on lists against the fake
// services; the WGS84 geodesic against published values.
#include "test_support.h"

#include "geo_files/L_GEODST.h"
#include "xml_text/L_CSV.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <QDir>
#include <signal.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Every record of the bytes, fields joined with "|" and records with "/".
QString Records(const QByteArray &bytes, L_CSV::Dialect &dialect, qint64 *unterminated = nullptr) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const bool utf8 = L_CSV::IsUtf8(buffer);
    dialect = L_CSV::Detect(bytes, ',');
    buffer.seek(dialect.bom ? 3 : 0);
    L_CSV::Source source;
    source.device = &buffer;
    source.delimiter = dialect.delimiter;
    source.encoding = utf8 ? L_CSV::Encoding::Utf8 : L_CSV::Encoding::Windows1252;
    QStringList records, fields;
    qint64 line = 0;
    for (L_CSV::Read read; (read = L_CSV::ReadRecord(source, fields, line)) != L_CSV::Read::End;) {
        if (read == L_CSV::Read::Unterminated && unterminated) *unterminated = line;
        records.append(fields.join(u'|'));
        if (read == L_CSV::Read::Unterminated) break;
    }
    return records.join(u'/');
}

struct Outcome {
    QByteArray output;
    QString errors;
    int exitCode;
};

// The program (or `program` running it) on the input bytes as standard input, with the
// open services of the fake, or its commercial one.
Outcome RunBatch(const FakeMapService &service, const QString &temp, const QStringList &arguments,
                 const QByteArray &input, bool google, const QStringList &environment,
                 const QString &program) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"GEODATEN_PROVIDER", "GEODATEN_API_KEY", "GEODATEN_SERVICE_URL"})
        env.remove(name);
    env.insert(google ? "GEODATEN_SERVICE_URL" : "GEODATEN_NOMINATIM_URL", Seams::Url(service));
    env.insert("GEODATEN_OSRM_URL", "http://localhost:" + QString::number(service.Port()));
    env.insert("GEODATEN_PACE_MS", "0");
    env.insert("GEODATEN_TIMEOUT_MS", "1000");
    env.insert("TEMP", temp);
    env.insert("no_proxy", "127.0.0.1,localhost");
    env.insert("LC_ALL", "de_AT.UTF-8");
    for (const QString &assignment : environment)
        env.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1));
    QProcess batch;
    batch.setProcessEnvironment(env);
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
                   const QStringList &environment = {}, const QString &program = GEODATEN_BATCH) {
        const Outcome outcome =
            RunBatch(service, temp.path(), arguments, input, google, environment, program);
        exitCode = outcome.exitCode;
        errors = outcome.errors;
        return outcome.output;
    }
    QStringList Lines(const QByteArray &csv) {
        return QString::fromUtf8(csv).split("\n", Qt::SkipEmptyParts);
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
        {"BOM",
         "\xEF\xBB\xBF"
         "Adresse;x\nWien;1\n",
         ';', "\n", "Adresse|x/Wien|1"},
        {"Windows-1252",
         "Stra\xDF"
         "e;\x80;\x8A\n",
         ';', "\n", "Straße|€|Š"},
        {"broken quoting read on", "\"ab\"cd,e\n", ',', "\n", "abcd|e"},
        {"empty fields kept", ";;\n", ';', "\n", "||"},
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

TEST_F(Batch, GeocodeStatusesAndOneRequestPerAddress) {
    const QByteArray list = "Name;Adresse\nA;9220 Velden AT\nB;nichts\nC; 9220 Velden AT \nD;\nE\n"
                            "F;status400\nG;misbehavesilent\n";
    const QStringList lines = Lines(Run({"geocode", "--quiet"}, list));
    EXPECT_EQ(exitCode, 1) << errors;
    EXPECT_EQ(lines.value(0), "Name;Adresse;lat;lon;formatted_address;hits;status");
    EXPECT_EQ(lines.value(1), "A;9220 Velden AT;46,6124980;13,9554210;Velden am Wörthersee, Bezirk "
                              "Villach-Land, Kärnten, 9220, Österreich;3;OK")
        << "decimal commas after \";\"";
    const char *statuses[] = {"OK",      "ZERO_RESULTS", "OK",     "EMPTY",
                              "COLUMNS", "HTTP 400",     "NETWORK"};
    for (int k = 0; k < 7; ++k)
        EXPECT_TRUE(lines.value(k + 1).endsWith(statuses[k])) << lines.value(k + 1);
    EXPECT_TRUE(lines.value(5).startsWith("E;;")) << "a short row keeps its columns";
    EXPECT_EQ(service.Requests().size(), 4u) << "the repeated address is asked once";
    EXPECT_TRUE(errors.contains("7 Zeilen, 2 gefunden, 5 ohne Ergebnis"));
    EXPECT_EQ(errors.count("geodaten.service:"), 3) << "one line per failed request";

    const QStringList all =
        Lines(Run({"geocode", "--all", "--column", "Ort"}, "Ort,x\n9220 Velden AT,1\n"));
    EXPECT_EQ(all.size(), 4) << "a row per hit";
    EXPECT_TRUE(all.value(3).startsWith("9220 Velden AT,1,46.6061000,-13.9702000,\"Lind ob Velden"))
        << all.value(3);
}

TEST_F(Batch, PointFormatsParseBack) {
    const QByteArray list = "address;note\n9220 Velden AT;\"a \"\"quoted\"\" note\"\nnichts;x\n";
    const QJsonObject json =
        QJsonDocument::fromJson(Run({"geocode", "--format", "geojson"}, list)).object();
    const QJsonArray features = json.value("features").toArray();
    ASSERT_EQ(features.size(), 1) << "rows without a hit are left out";
    const QJsonObject feature = features[0].toObject();
    EXPECT_EQ(feature["geometry"]["coordinates"].toArray(), QJsonArray({13.955421, 46.612498}));
    EXPECT_EQ(feature["properties"]["note"].toString(), "a \"quoted\" note");
    EXPECT_EQ(feature["properties"]["name"].toString(), "9220 Velden AT");
    for (const char *format : {"gpx", "kml"}) {
        SCOPED_TRACE(format);
        QXmlStreamReader xml(Run({"geocode", "--format", format, "--all"}, list));
        QStringList points;
        while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd())
            if (xml.isStartElement() && (xml.name() == u"wpt" || xml.name() == u"coordinates"))
                points.append(xml.name() == u"wpt"
                                  ? xml.attributes().value("lon").toString() + "," +
                                        xml.attributes().value("lat").toString()
                                  : xml.readElementText());
        EXPECT_FALSE(xml.hasError()) << xml.errorString();
        EXPECT_EQ(points,
                  QStringList({"13.955421,46.612498", "13.8497,46.6313", "-13.9702,46.6061"}));
    }
}

TEST_F(Batch, DistancesBesideTheSphere) {
    const QByteArray list =
        "Start,Ziel,Name\n9220 Velden AT,9500 Villach AT,Anna\nInsel,9500 Villach AT,Bert\n"
        "nichts,9500 Villach AT,Carl\n";
    const QStringList lines = Lines(Run({"distance"}, list));
    EXPECT_EQ(exitCode, 1) << errors;
    EXPECT_EQ(lines.value(1),
              "9220 Velden AT,9500 Villach AT,Anna,46.6124980,13.9554210,46.6103300,"
              "13.8558200,7.620,7.634,24.312,00:24:36,1476,OK");
    EXPECT_EQ(
        lines.value(2),
        "Insel,9500 Villach AT,Bert,47.5,9.5,46.6103300,13.8558200,344.822,345.353,,,,NoRoute");
    EXPECT_EQ(lines.value(3), "nichts,9500 Villach AT,Carl,,,,,,,,,,ZERO_RESULTS");
    int villach = 0;
    for (const auto &request : service.Requests())
        villach += request.line.find("Villach") != std::string::npos;
    EXPECT_EQ(villach, 1) << "the common destination is asked once";
    const QStringList google =
        Lines(Run({"distance", "--columns", "Ziel,Start"}, "Start,Ziel\nx,denied\n", true));
    EXPECT_EQ(google.value(1), "x,denied,,,,,,,,,,REQUEST_DENIED");
}

TEST_F(Batch, BadInputGetsItsMessage) {
    const struct {
        const char *name;
        QStringList arguments;
        QByteArray input;
        int exit;
        const char *message;
    } cases[] = {
        {"no mode", {}, "", 2, "Aufruf: geodaten-batch"},
        {"distance as geojson", {"distance", "--format", "geojson"}, "", 2, "nur csv"},
        {"resume without a file", {"geocode", "--resume"}, "", 2, "--resume braucht -o DATEI"},
        {"missing file",
         {"geocode", "/nonexistent/list.csv"},
         "",
         2,
         "list.csv kann nicht gelesen werden"},
        {"no header", {"geocode"}, "", 2, "hat keine Kopfzeile"},
        {"unknown column",
         {"geocode", "--column", "Ort"},
         "Adresse\nx\n",
         2,
         "keine Spalte \"Ort\""},
        {"unterminated quote",
         {"geocode"},
         "Adresse\n9220 Velden AT\n\"open\nmore\n",
         2,
         "Zeile 3: das Anführungszeichen"},
        {"Windows-1252", {"geocode"}, "Adresse\nW\xF6rthersee\n", 0, "als Windows-1252 gelesen"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray out = Run(c.arguments, c.input);
        EXPECT_EQ(exitCode, c.exit);
        EXPECT_TRUE(errors.contains(QString::fromUtf8(c.message))) << errors;
        if (c.input.contains("open")) {
            EXPECT_EQ(Lines(out).size(), 2) << "the rows before it are written";
        }
    }
    EXPECT_TRUE(Run({"geocode"}, "Adresse\nW\xF6rthersee\n")
                    .startsWith("\xEF\xBB\xBF"
                                "Adresse;lat"))
        << "a BOM for the spreadsheet";
}

TEST_F(Batch, ResumeAndInterruption) {
    const QString file = temp.path() + "/out.csv";
    QByteArray list = "Adresse\n";
    for (int k = 1; k <= 12; ++k) list += "Ort " + QByteArray::number(k) + "\n";
    WriteAll(file, "Adresse;lat;lon;formatted_address;hits;status\nOrt 1;1;2;x;1;OK\nOrt "
                   "2;1;2;x;1;OK\nOrt 3;1");
    Run({"geocode", "--resume", "-o", file}, list);
    const QStringList lines = Lines(ReadAll(file));
    EXPECT_EQ(lines.size(), 13) << "header, 2 kept rows, 10 new ones: the cut row is done again";
    EXPECT_EQ(service.Requests().size(), 10u);
    EXPECT_TRUE(lines.value(3).startsWith("Ort 3;46,6124980")) << lines.value(3);
    EXPECT_TRUE(errors.contains("2 schon erledigt"));
    WriteAll(file, "other,header\n");
    Run({"geocode", "--resume", "-o", file}, list);
    EXPECT_EQ(exitCode, 2) << "not the output of this list";

    QProcess batch; // a stop in the middle of a slow run
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("GEODATEN_NOMINATIM_URL", QString::fromStdString(service.Url()));
    env.insert("GEODATEN_PACE_MS", "200");
    env.insert("TEMP", temp.path());
    env.remove("GEODATEN_SERVICE_URL");
    batch.setProcessEnvironment(env);
    WriteAll(temp.path() + "/list.csv", list);
    batch.start(GEODATEN_BATCH,
                {"geocode", "--format", "geojson", "-o", file, temp.path() + "/list.csv"});
    QThread::msleep(700);
    ::kill(pid_t(batch.processId()), SIGINT);
    batch.waitForFinished(10000);
    EXPECT_EQ(batch.exitCode(), 130);
    const QJsonArray features =
        QJsonDocument::fromJson(ReadAll(file)).object()["features"].toArray();
    EXPECT_GE(features.size(), 1) << "finished rows kept, in a valid document";
    EXPECT_LT(features.size(), 12);
    const QByteArray said = batch.readAllStandardError();
    EXPECT_TRUE(said.contains("abgebrochen")) << said.constData();
}

TEST_F(Batch, TwoProcessesEachReadTheirOwnAnswers) {
    QByteArray one = "Adresse\n", two = "Adresse\n";
    for (int k = 0; k < 500; ++k) {
        one += "hits1 a" + QByteArray::number(k) + "\n";
        two += "hits2 b" + QByteArray::number(k) + "\n";
    }
    Outcome first;
    std::thread process([&] {
        first = RunBatch(service, temp.path(), {"geocode"}, one, true, {}, GEODATEN_BATCH);
    });
    const QByteArray second = Run({"geocode"}, two, true); // at the same moment, the same folder
    process.join();
    EXPECT_EQ(first.output.count(";1;OK"), 500) << "every row its own answer";
    EXPECT_EQ(second.count(";2;OK"), 500); // a header without delimiter: ";" as in de_AT
}

TEST_F(Batch, AFileOfAnotherUserInASharedFolder) {
    const QStringList nobody{"--reuid=65534", "--regid=65534", "--clear-groups"};
    if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty() ||
        QProcess::execute("setpriv", nobody + QStringList{GEODATEN_BATCH, "--version"}) != 0)
        GTEST_SKIP() << "needs root, and a build folder another user can reach";
    const QString shared = temp.path() + "/shared";
    QDir().mkdir(shared);
    ::chmod(QFile::encodeName(shared), 01777); // as /tmp
    ::chmod(QFile::encodeName(temp.path()), 0755);
    WriteAll(shared + "/~googlegeodata.tmp", "planted"); // root's: nobody may not replace it
    const QByteArray out = Run(nobody + QStringList{GEODATEN_BATCH, "geocode"},
                               "Adresse\n9220 Velden AT\n", true, {"TEMP=" + shared}, "setpriv");
    EXPECT_TRUE(out.endsWith(";0;FILE\n")) << out.constData() << errors;
    EXPECT_EQ(errors.count("geodaten.service: Google geocoding: cannot replace"), 1) << errors;
    EXPECT_EQ(ReadAll(shared + "/~googlegeodata.tmp"), "planted");
    EXPECT_EQ(QDir(shared).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no part file left";
}

TEST(Geodesic, PublishedValuesAndAustrianTowns) {
    const struct {
        double lat1, lon1, lat2, lon2, metres;
    } cases[] = {
        // GeographicLib's own test set (testcases[] of its test suites)
        {35.60777, -139.44815, -11.17491, -69.95921, 8935244.5604818305},
        {-66.99028, 112.2363, -12.70631, 285.90344, 11150344.2312080241},
        {46.6124980, 13.9554210, 46.6103300, 13.8558200, 7633.8043}, // Velden - Villach
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.metres);
        EXPECT_NEAR(L_GEODST::GeoDistance(c.lon1, c.lat1, c.lon2, c.lat2, 1) * 1000, c.metres,
                    0.001);
    }
    EXPECT_NEAR(L_GEODST::GeoDistance(13.9554210, 46.6124980, 13.8558200, 46.6103300, 0), 7.620,
                0.0005)
        << "the sphere: 0.18 % less, east-west";
}
