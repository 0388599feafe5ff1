// The real window, driven by key and mouse events, against the fake map services, under
// both providers.
#include "test_support.h"

#include "main_window/B_MAIN.h"

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <memory>

namespace {

const QString Crlf = "\r\n";

QString Report(const QStringList &values) { // the twelve lines around the nine values
    const char *labels[] = {
        "Startadresse : ", "      Länge  : ", "      Breite : ", nullptr,
        "Endadresse   : ", "      Länge  : ", "      Breite : ", nullptr,
        "Luftlinie    : ", nullptr,           "Entfernung   : ", "Fahrtzeit    : "};
    QString report;
    int value = 0;
    for (const char *label : labels)
        report += (label ? QString::fromUtf8(label) + values.value(value++) : QString()) + Crlf;
    return report;
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

    FakeMapService service{GEODATEN_FIXTURES};
    QString fake = QString::fromStdString(service.Url());
    QTemporaryDir temp;
    std::unique_ptr<ScopedEnv> tempEnv;
    std::unique_ptr<RecordingBrowser> browser;
    std::unique_ptr<Seams> seams;
    std::unique_ptr<B_MAIN> window;

    template <typename T> T *Find(const char *name) {
        T *child = window->findChild<T *>(name);
        if (!child) qFatal("no control %s", name);
        return child;
    }
    L_LSVIEW::ListView *List() { return Find<L_LSVIEW::ListView>("lv"); }
    QString Cell(int row, int column) { return List()->item(row, column)->text(); }
    QString Text(const char *box) { return Find<QLineEdit>(box)->text(); }
    QString ReportText() { return Find<QPlainTextEdit>("txtErg")->property("Text").toString(); }
    QWidget *Focus() { return QApplication::focusWidget(); }
    void Click(const char *button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
    void PressRow(int row, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(List()->viewport(), button, {},
                          List()->visualItemRect(List()->item(row, 1)).center());
    }
    void Search(const QString &address) {
        Find<QLineEdit>("txtAdr")->setText(address);
        QTest::keyClick(Find<QLineEdit>("txtAdr"), Qt::Key_Return);
    }
    void Compute(const QString &origin) {
        QTest::mouseClick(Find<QRadioButton>("optD(1)"), Qt::LeftButton);
        QCOMPARE(Focus(), Find<QPushButton>("cmdOK")); // after every switch of view
        Find<QLineEdit>("txtAdr1")->setText(origin);
        Click("cmdDo1");
    }
    size_t Requests() { return service.Requests().size(); }
    QString LastRequest() { return QString::fromStdString(service.Requests().back().line); }
    // The window, started with the services of one provider.
    void Open(bool google) {
        window.reset();
        seams.reset(); // first: it restores the environment it found
        seams = std::make_unique<Seams>(service, google);
        service.ClearRequests();
        window = std::make_unique<B_MAIN>();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void Providers() {
        QTest::addColumn<bool>("google");
        QTest::newRow("google") << true;
        QTest::newRow("osm") << false;
    }

private Q_SLOTS:
    void initTestCase() {
        tempEnv = std::make_unique<ScopedEnv>("TEMP", temp.path());
        browser = std::make_unique<RecordingBrowser>(temp.path() + "/opened.txt");
    }

    void init() {
        QLocale::setDefault(German);
        QFile::remove(browser->log);
        Open(true);
    }

    void cleanup() { window.reset(); }

    void startState_data() { Providers(); }
    void startState() {
        QFETCH(bool, google);
        Open(google);
        QCOMPARE(window->windowTitle(), google
                                            ? "GEO Daten zur Adresse  mit Google ermitteln"
                                            : "GEO Daten zur Adresse  mit OpenStreetMap ermitteln");
        QCOMPARE(List()->toolTip(), google ? "Doppelclick zum Öffnen in Google-Maps"
                                           : "Doppelklick zum Öffnen in OpenStreetMap\n"
                                             "Daten © OpenStreetMap-Mitwirkende (ODbL)");
        QCOMPARE(window->size(), QSize(692, 430));
        QVERIFY(window->windowIcon().availableSizes().size() >= 10);
        QCOMPARE(Find<QGroupBox>("FM(1)")->geometry(), QRect(4, 40, 681, 385)); // onto FM(0)
        QVERIFY(Find<QGroupBox>("FM(0)")->isVisible() && !Find<QGroupBox>("FM(1)")->isVisible());
        QVERIFY(Find<QRadioButton>("optD(0)")->isChecked());
        QCOMPARE(Focus(), Find<QPushButton>("cmdDo")); // the first in tab order, at first show
        QCOMPARE(List()->SendMessage(L_LSVIEW::LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 33);
        QVERIFY(QFontInfo(Find<QPlainTextEdit>("txtErg")->font()).fixedPitch());
    }

    void keyboard() {
        const char *order[] = {"cmdDo",     "lv",        "txtAdr",  "txtLG", "txtBR",
                               "cmdCopyLG", "cmdCopyBR", "optD(0)", "cmdOK"};
        Search("9220 Velden AT"); // rows in the list: Tab still leaves it
        Find<QPushButton>("cmdDo")->setFocus();
        for (int k = 1; k < int(std::size(order)); ++k) {
            QTest::keyClick(Focus(), Qt::Key_Tab);
            QCOMPARE(Focus()->objectName(), QString(order[k]));
        }
        List()->setFocus();
        QTest::keyClick(Focus(), Qt::Key_Backtab);
        QCOMPARE(Focus()->objectName(), "cmdDo");
        for (const auto &[key, view] :
             {std::pair{Qt::Key_Right, "FM(1)"}, {Qt::Key_Left, "FM(0)"}}) {
            Find<QRadioButton>(key == Qt::Key_Right ? "optD(0)" : "optD(1)")->setFocus();
            QTest::keyClick(Focus(), key);
            QVERIFY(Find<QGroupBox>(view)->isVisible());
            QCOMPARE(Focus()->objectName(), "cmdOK"); // after a switch by the keyboard too
        }
    }

    void search_data() {
        QTest::addColumn<bool>("google");
        QTest::addColumn<QStringList>("first");
        QTest::newRow("google") << true
                                << QStringList{"9220 Velden am Wörthersee, Österreich", "13,8558",
                                               "46,6247"};
        QTest::newRow("osm") << false
                             << QStringList{
                                    "Velden am Wörthersee, Bezirk Villach-Land, Kärnten, 9220, "
                                    "Österreich",
                                    "13,955421", "46,612498"};
    }
    void search() {
        QFETCH(bool, google);
        QFETCH(QStringList, first);
        Open(google);
        Search("Klagenfurt am Wörthersee");
        QCOMPARE(Text("txtAdr"), "Klagenfurt am Wörthersee"); // the box keeps what was typed
        QCOMPARE(List()->rowCount(), 3);
        QCOMPARE(QStringList({Cell(0, 0), Cell(0, 1), Cell(0, 2)}), first);
        QCOMPARE(Cell(2, 1), "-13,9702");
        QCOMPARE(Cell(0, 3), "");
        QVERIFY(!List()->item(0, 0)->icon().isNull());
        QHeaderView *header = List()->horizontalHeader();
        QCOMPARE(header->sectionViewportPosition(3) + header->sectionSize(3),
                 List()->viewport()->width()); // the last column fills the view
        Click("cmdDo");
        QCOMPARE(Requests(), size_t(2)); // the button as Enter
        Find<QLineEdit>("txtAdr")->clear();
        Click("cmdDo");
        QCOMPARE(List()->rowCount(), 0);
        QCOMPARE(Requests(), size_t(2)); // an empty address asks nothing
        Search("   ");
        QCOMPARE(Requests(), size_t(3));        // blanks are searched, not trimmed
        const QString longAddress(40000, u'x'); // no silent cut at Qt's 32767
        Search(longAddress);
        QVERIFY(LastRequest().contains(longAddress));
    }

    // While the road waits for late answers, the window repaints under the wait cursor, and
    // the whole computation ends within the total timeout: the third of three answers, each
    // well within it, comes too late for the report.
    void waitingWindow() {
        Open(false);
        ScopedEnv timeout("GEODATEN_TIMEOUT_MS", "2500");
        service.delayMs = 1000; // each of the three answers of a distance
        QStringList seen;
        QTimer during;
        connect(&during, &QTimer::timeout, this, [&] {
            const QCursor *cursor = QApplication::overrideCursor();
            seen.append(cursor && cursor->shape() == Qt::WaitCursor ? "wait" : "arrow");
        });
        during.start(100);
        Compute("9220 Velden AT");
        during.stop();
        service.delayMs = 0;
        QVERIFY2(seen.size() >= 5 && !seen.contains("arrow"), qPrintable(seen.join(' ')));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(ReportText().section(Crlf, 0, 0), "Startadresse : 9220 Velden AT");
        QCOMPARE(ReportText().section(Crlf, 10, 11), "Entfernung   : " + Crlf + "Fahrtzeit    : ");
    }

    // A close request while a search waits ends the program once the road has returned
    // (which it does at once): by the close box, by "&Beenden", by Alt+B.
    void closeDuringTheWait_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("close box") << 0;
        QTest::newRow("Beenden") << 1;
        QTest::newRow("Alt+B") << 2;
    }
    void closeDuringTheWait() {
        QFETCH(int, how);
        service.delayMs = 1500;
        QTimer::singleShot(0, this, [&] {
            QTimer::singleShot(0, this, [&] { // inside the wait
                if (how == 0) window->windowHandle()->close();
                if (how == 1) Click("cmdOK");
                if (how == 2) QTest::keyClick(Focus(), Qt::Key_B, Qt::AltModifier);
            });
            Search("9220 Velden AT");
        });
        QTimer lost; // a close request that is lost leaves the program running
        lost.callOnTimeout([] { QCoreApplication::exit(1); });
        lost.start(20000);
        const int status = QCoreApplication::exec();
        service.delayMs = 0;
        QCOMPARE(status, 0);
        QVERIFY(!window->isVisible());
    }

    // Input while a search waits: clicks into the list are dropped (the rows they aimed at
    // are gone), typing and button clicks arrive after the answer, in their order.
    void inputDuringTheWait() {
        Search("9220 Velden AT");
        PressRow(1);
        service.delayMs = 300;
        QString during;
        QTimer::singleShot(0, this, [&] {
            QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, QPoint(40, 8));
            QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, QPoint(40, 8));
            QTest::keyClicks(Find<QLineEdit>("txtAdr"), " West");
            Click("cmdDo");
            during = Text("txtAdr");
        });
        Search("9220 Velden AT");
        service.delayMs = 0;
        QCOMPARE(during, "9220 Velden AT");                               // held until the answer
        QTRY_VERIFY(LastRequest().contains("9220+Velden+AT+West"));       // the click on "Suchen"
        QCOMPARE(Text("txtLG") + " " + Text("txtBR"), "13,8497 46,6313"); // no press reached a row
        QVERIFY(!List()->selectionModel()->hasSelection());
    }

    // The open road looks a pasted point up in reverse, and a repeated search is answered
    // from the answers kept.
    void pointsAndKeptAnswers() {
        Open(false);
        ScopedEnv cache("GEODATEN_CACHE", temp.path() + "/answers.sqlite");
        Search("46°36'49.5\"N 13°57'21.6\"O");
        QCOMPARE(LastRequest().section(u'&', 0, 1), "GET /reverse?lat=46.6137500&lon=13.9560000");
        QCOMPARE(List()->rowCount(), 1);
        QCOMPARE(QStringList({Cell(0, 0), Cell(0, 1), Cell(0, 2)}),
                 QStringList({"Seecorso 12, 9220 Velden am Wörthersee, Kärnten, Österreich",
                              "13,956", "46,61375"}));
        Search("9220 Velden AT");
        Search("9220 Velden AT");
        QCOMPARE(Requests(), size_t(2));
        QCOMPARE(List()->rowCount(), 3);
    }

    void rowsBoxesAndClipboard() {
        Search("9220 Velden AT");
        PressRow(1);
        QCOMPARE(Text("txtLG") + " " + Text("txtBR"), "13,8497 46,6313");
        PressRow(0, Qt::RightButton); // any button
        Click("cmdCopyLG");
        QCOMPARE(QGuiApplication::clipboard()->text(), "13,8558");
        Search("zero"); // no hits
        QCOMPARE(List()->rowCount(), 0);
        QCOMPARE(Text("txtLG"), "13,8558"); // kept over a search
        QLocale::setDefault(English);
        Search("9220 Velden AT");
        PressRow(0);
        Click("cmdCopyBR");
        QCOMPARE(QGuiApplication::clipboard()->text(), "46.6247");
        Compute("9220 Velden AT"); // a switch of view and back keeps list and boxes
        QTest::mouseClick(Find<QRadioButton>("optD(0)"), Qt::LeftButton);
        QCOMPARE(Focus(), Find<QPushButton>("cmdOK"));
        QCOMPARE(List()->rowCount() + Text("txtBR").size(), 3 + 7);
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                          QPoint(20, List()->viewport()->height() - 5));
        QCOMPARE(Text("txtLG") + Text("txtBR"), ""); // below the rows: none
        Click("cmdCopyBR");
        QCOMPARE(QGuiApplication::clipboard()->text(), "");
    }

    void doubleClickOpensTheMap_data() {
        QTest::addColumn<bool>("google");
        QTest::addColumn<QStringList>("links"); // of the third row, then of the first
        QTest::newRow("google") << true
                                << QStringList{"/maps?q=46.6061,-13.9702",
                                               "/maps?q=46.6247,13.8558"};
        QTest::newRow("osm") << false
                             << QStringList{"/?mlat=46.6061&mlon=-13.9702#map=17/46.6061/-13.9702",
                                            "/?mlat=46.612498&mlon=13.955421#map=17/46.612498/"
                                            "13.955421"};
    }
    void doubleClickOpensTheMap() {
        QFETCH(bool, google);
        QFETCH(QStringList, links);
        Open(google);
        Search("9220 Velden AT");
        L_LSVIEW::ListView *lv = List();
        QTest::mouseDClick(lv->viewport(), Qt::LeftButton, {},
                           lv->visualItemRect(lv->item(2, 0)).center());
        QCOMPARE(OpenedUrls(browser->log, 1), QStringList{fake + links[0]});
        QTest::mouseDClick(lv->viewport(), Qt::LeftButton, {},
                           QPoint(20, lv->viewport()->height() - 5)); // below the rows: nothing
        QTest::mouseDClick(lv->viewport(), Qt::LeftButton, {},
                           lv->visualItemRect(lv->item(0, 0)).center());
        QCOMPARE(OpenedUrls(browser->log, 2), QStringList({fake + links[0], fake + links[1]}));
    }

    void distanceReport_data() {
        QTest::addColumn<bool>("google");
        QTest::addColumn<QString>("origin");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("link");
        const QStringList ends{"13.9554210", "46.6124980", "9500 Villach AT", "13.8558200",
                               "46.6103300", "7,6 km",     "24,3 km",         "00:24:36"};
        QTest::newRow("google") << true << "Woerthersee"
                                << Report(QStringList{"Woerthersee"} + ends)
                                << "/maps?saddr=Woerthersee&daddr=9500+Villach+AT";
        QTest::newRow("osm") << false << "Wörthersee" << Report(QStringList{"Wörthersee"} + ends)
                             << "/directions?engine=fossgis_osrm_car&route=46.6124980,13.9554210;"
                                "46.6103300,13.8558200";
    }
    void distanceReport() {
        QFETCH(bool, google);
        QFETCH(QString, report);
        QFETCH(QString, link);
        Open(google);
        QTest::keyClick(Find<QLineEdit>("txtAdr1"), Qt::Key_Return);
        QCOMPARE(Requests(), size_t(0)); // Enter in the distance boxes does nothing
        Compute("Wörthersee");
        QCOMPARE(ReportText(), report);
        QCOMPARE(Find<QPlainTextEdit>("txtErg")->toPlainText().split('\n').size(), 13);
        QCOMPARE(Text("txtAdr1"), "Wörthersee");
        QCOMPARE(Text("txtRLink"), fake + link);
        Click("cmdRoute");
        QCOMPARE(OpenedUrls(browser->log, 1), QStringList{fake + link});
        Find<QLineEdit>("txtAdr2")->clear();
        Click("cmdDo1");
        QCOMPARE(ReportText(), "");
        QCOMPARE(Text("txtRLink"), fake + link); // kept after an early stop
    }

    void failureReport_data() {
        QTest::addColumn<bool>("google");
        QTest::addColumn<QString>("origin");
        QTest::addColumn<QString>("coordinates");
        QTest::addColumn<QString>("link");
        const QString addresses = "/maps?saddr=%1&daddr=9500+Villach+AT";
        QTest::newRow("denied") << true << "denied"
                                << "" << addresses.arg("denied");
        QTest::newRow("osm, nothing found")
            << false << "nichts"
            << ""
            << "/directions?engine=fossgis_osrm_car&from=nichts&to=9500+Villach+AT";
        QTest::newRow("osm, no route") << false << "Insel"
                                       << "9.5000000|47.5000000|13.8558200|46.6103300|344,8 km"
                                       << "/directions?engine=fossgis_osrm_car&route=47.5000000,9."
                                          "5000000;46.6103300,13.8558200";
    }
    void failureReport() {
        QFETCH(bool, google);
        QFETCH(QString, origin);
        QFETCH(QString, coordinates);
        QFETCH(QString, link);
        Open(google);
        Compute(origin);
        QStringList values{origin};
        const QStringList ends = coordinates.split('|');
        values << ends.value(0) << ends.value(1) << "9500 Villach AT" << ends.value(2)
               << ends.value(3) << ends.value(4);
        QCOMPARE(ReportText(), Report(values));
        QCOMPARE(Text("txtRLink"), fake + link);
        QVERIFY2(window->isVisible(), "still usable");
    }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
