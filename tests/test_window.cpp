// The real window, driven by key and mouse events, against the fake map service.
#include "fake_map_service.h"
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
#include <QtTest>

#include <memory>

namespace {

const QString Crlf = "\r\n";

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

    FakeMapService service{GEODATEN_FIXTURES};
    QTemporaryDir temp;
    std::unique_ptr<ScopedEnv> env[4];
    std::unique_ptr<RecordingBrowser> browser;
    std::unique_ptr<B_MAIN> window;

    template <typename T> T *Find(const char *name) {
        T *child = window->findChild<T *>(name);
        if (!child) qFatal("no control %s", name);
        return child;
    }
    L_LSVIEW::ListView *List() { return Find<L_LSVIEW::ListView>("lv"); }
    QString Cell(int row, int column) { return List()->item(row, column)->text(); }
    QString Report() { return Find<QPlainTextEdit>("txtErg")->property("Text").toString(); }
    void Click(const char *button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
    void PressRow(int row, Qt::MouseButton button = Qt::LeftButton) {
        L_LSVIEW::ListView *lv = List();
        QTest::mouseClick(lv->viewport(), button, {},
                          lv->visualItemRect(lv->item(row, 1)).center());
    }
    void Search(const QString &address) {
        QLineEdit *box = Find<QLineEdit>("txtAdr");
        box->setText(address);
        QTest::keyClick(box, Qt::Key_Return);
    }
    size_t Requests() { return service.RequestLines().size(); }
    QString LastRequest() { return QString::fromStdString(service.RequestLines().back()); }

private Q_SLOTS:
    void initTestCase() {
        const QString url = QString::fromStdString(service.Url());
        env[0] = std::make_unique<ScopedEnv>("GEODATEN_SERVICE_URL", url);
        env[1] = std::make_unique<ScopedEnv>("GEODATEN_MAP_URL", url);
        env[2] = std::make_unique<ScopedEnv>("TEMP", temp.path());
        env[3] = std::make_unique<ScopedEnv>("GEODATEN_TIMEOUT_MS", "2000");
        browser = std::make_unique<RecordingBrowser>(temp.path() + "/opened.txt");
    }

    void init() {
        QLocale::setDefault(German);
        QFile::remove(browser->log);
        service.ClearRequests();
        window = std::make_unique<B_MAIN>();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void cleanup() { window.reset(); }

    void startState() {
        QCOMPARE(window->windowTitle(), "GEO Daten zur Adresse  mit Google ermitteln");
        QCOMPARE(window->size(), QSize(692, 430));
        QVERIFY(!window->windowIcon().isNull());
        QCOMPARE(Find<QLineEdit>("txtAdr")->text(), "9220 Velden AT");
        QCOMPARE(Find<QLineEdit>("txtAdr1")->text(), "9220 Velden AT");
        QCOMPARE(Find<QLineEdit>("txtAdr2")->text(), "9500 Villach AT");
        for (const char *empty : {"txtLG", "txtBR", "txtRLink"})
            QCOMPARE(Find<QLineEdit>(empty)->text(), "");
        QCOMPARE(Find<QPlainTextEdit>("txtErg")->toPlainText(), "");
        QCOMPARE(Find<QGroupBox>("FM(1)")->geometry(), QRect(4, 40, 681, 385));
        QCOMPARE(Find<QGroupBox>("FM(0)")->geometry(), QRect(4, 40, 681, 385));
        QVERIFY(Find<QGroupBox>("FM(0)")->isVisible());
        QVERIFY(!Find<QGroupBox>("FM(1)")->isVisible());
        QVERIFY(Find<QRadioButton>("optD(0)")->isChecked());
        QCOMPARE(QApplication::focusWidget(), Find<QPushButton>("cmdDo"));
        QCOMPARE(Find<QPushButton>("cmdOK")->text(), "&Beenden");
        QCOMPARE(Find<QLabel>("Label1")->text(), "Länge : ");
        QCOMPARE(Find<QPushButton>("cmdCopyBR")->toolTip(), "Kopieren der Koordinate");
        L_LSVIEW::ListView *lv = List();
        QCOMPARE(lv->toolTip(), "Doppelclick zum Öffnen in Google-Maps");
        QCOMPARE(lv->rowCount(), 0);
        QCOMPARE(lv->columnCount(), 4);
        const char *headers[] = {"Adresse", "Länge", "Breite", ""};
        for (int column = 0; column < 4; ++column)
            QCOMPARE(lv->horizontalHeaderItem(column)->text(), QString::fromUtf8(headers[column]));
        QVERIFY(lv->showGrid());
        QCOMPARE(lv->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(lv->SendMessage(L_LSVIEW::LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 33);
        const QFontInfo courier(Find<QPlainTextEdit>("txtErg")->font());
        QVERIFY2(courier.fixedPitch(), qPrintable(courier.family()));
        QCOMPARE(Find<QPlainTextEdit>("txtErg")->font().pointSizeF(), 9.75);
    }

    void tabOrder() {
        const char *order[] = {"cmdDo",     "lv",        "txtAdr",  "txtLG", "txtBR",
                               "cmdCopyLG", "cmdCopyBR", "optD(0)", "cmdOK"};
        for (int k = 1; k < int(std::size(order)); ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString(order[k]));
        }
    }

    void lastColumnFillsTheList() {
        Search("9220 Velden AT");
        L_LSVIEW::ListView *lv = List();
        QHeaderView *header = lv->horizontalHeader();
        QCOMPARE(header->sectionViewportPosition(3) + header->sectionSize(3),
                 lv->viewport()->width());
        QVERIFY(header->sectionSize(0) >= lv->fontMetrics().horizontalAdvance(Cell(0, 0)));
        QVERIFY(header->sectionSize(1) >= header->sectionSizeHint(1));
    }

    void listViewMessages() {
        L_LSVIEW::ListView *lv = List();
        L_LSVIEW::LvGridLines(lv, L_LSVIEW::Off);
        QVERIFY(!lv->showGrid());
        QCOMPARE(lv->selectionBehavior(), QAbstractItemView::SelectRows); // full-row kept
        L_LSVIEW::LvFullRowSelect(lv, L_LSVIEW::Off);
        L_LSVIEW::LvGridLines(lv, L_LSVIEW::On);
        QCOMPARE(lv->SendMessage(L_LSVIEW::LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 1);
        const int before = lv->columnWidth(0);
        lv->View = 1;
        L_LSVIEW::LvSetColumnWidths(lv, 1, before + 50);
        QCOMPARE(lv->columnWidth(0), before); // not in report view
        lv->View = L_LSVIEW::ViewReport;
        L_LSVIEW::LvSetColumnWidths(lv, 1, before + 50);
        QCOMPARE(lv->columnWidth(0), before + 50);
        L_LSVIEW::LvSetColumnWidths(lv, 5, 10);
        L_LSVIEW::LvSetColumnWidths(lv, 0, 10);
        QCOMPARE(lv->columnWidth(0), before + 50); // columns outside 1..n are ignored
        QVERIFY2(lv->isVisible(), "shown again");
        L_LSVIEW::LvSetColumnWidths(nullptr, -1, -2);
        QVERIFY(L_LSVIEW::LvItemIsNothing(nullptr));
    }

    void enterAndButtonSearch() {
        Search("9220 Velden AT");
        QCOMPARE(Requests(), size_t(1));
        QCOMPARE(LastRequest(),
                 "GET /maps/api/geocode/xml?address=9220+Velden+AT&sensor=false HTTP/1.1");
        L_LSVIEW::ListView *lv = List();
        QCOMPARE(lv->rowCount(), 3);
        QCOMPARE(Cell(0, 0), "9220 Velden am Wörthersee, Österreich");
        QCOMPARE(Cell(1, 0), "9220 Lind ob Velden, Österreich");
        QCOMPARE(Cell(0, 1), "13,8558");
        QCOMPARE(Cell(0, 2), "46,6247");
        QCOMPARE(Cell(2, 1), "-13,9702");
        QCOMPARE(Cell(0, 3), "");
        QVERIFY(!lv->item(0, 0)->icon().isNull());
        Find<QLineEdit>("txtAdr")->setText("Klagenfurt am Wörthersee");
        Click("cmdDo");
        QCOMPARE(Requests(), size_t(2));
        QVERIFY(LastRequest().contains("address=Klagenfurt+am+Woerthersee&"));
        QCOMPARE(Find<QLineEdit>("txtAdr")->text(), "Klagenfurt am Wörthersee"); // box keeps ö
        QCOMPARE(lv->rowCount(), 3);
    }

    void emptyAddressMakesNoRequest() {
        Search("9220 Velden AT");
        Find<QLineEdit>("txtAdr")->clear();
        Click("cmdDo");
        QCOMPARE(List()->rowCount(), 0);
        QCOMPARE(Requests(), size_t(1));
        Search("   ");
        QCOMPARE(Requests(), size_t(2)); // blanks are searched, not trimmed
    }

    void pressFillsAndClearsTheBoxes() {
        Search("9220 Velden AT");
        PressRow(1);
        QCOMPARE(Find<QLineEdit>("txtLG")->text(), "13,8497");
        QCOMPARE(Find<QLineEdit>("txtBR")->text(), "46,6313");
        PressRow(0, Qt::RightButton);
        QCOMPARE(Find<QLineEdit>("txtLG")->text(), "13,8558"); // any button
        Search("zero");                                        // a new search, with no hits
        QCOMPARE(List()->rowCount(), 0);
        QCOMPARE(Find<QLineEdit>("txtLG")->text(), "13,8558"); // kept over a search
        Search("9220 Velden AT");
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                          QPoint(20, List()->viewport()->height() - 5));
        QCOMPARE(Find<QLineEdit>("txtLG")->text(), "");
        QCOMPARE(Find<QLineEdit>("txtBR")->text(), "");
    }

    void copyUnderBothLocales() {
        for (const QLocale &locale : {German, English}) {
            QLocale::setDefault(locale);
            Search("9220 Velden AT");
            PressRow(0);
            Click("cmdCopyLG");
            QCOMPARE(QGuiApplication::clipboard()->text(),
                     locale == German ? "13,8558" : "13.8558");
            Click("cmdCopyBR");
            QCOMPARE(QGuiApplication::clipboard()->text(),
                     locale == German ? "46,6247" : "46.6247");
        }
        Find<QLineEdit>("txtLG")->setText(" 1,5 ");
        Click("cmdCopyLG");
        QCOMPARE(QGuiApplication::clipboard()->text(), " 1,5 "); // unchanged, no line end
        Find<QLineEdit>("txtBR")->clear();
        Click("cmdCopyBR");
        QCOMPARE(QGuiApplication::clipboard()->text(), "");
    }

    void doubleClickOpensTheMap() {
        Search("9220 Velden AT");
        L_LSVIEW::ListView *lv = List();
        QTest::mouseDClick(lv->viewport(), Qt::LeftButton, {},
                           lv->visualItemRect(lv->item(2, 0)).center());
        const QStringList opened = OpenedUrls(browser->log, 1);
        QCOMPARE(opened,
                 QStringList{QString::fromStdString(service.Url()) + "/maps?q=46.6061,-13.9702"});
        QTest::mouseDClick(lv->viewport(), Qt::LeftButton, {},
                           QPoint(20, lv->viewport()->height() - 5));
        QTest::qWait(300);
        QCOMPARE(OpenedUrls(browser->log, 2, 0).size(), 1); // no row, nothing opened
    }

    void distanceReport() {
        QTest::mouseClick(Find<QRadioButton>("optD(1)"), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), Find<QPushButton>("cmdOK"));
        QTest::keyClick(Find<QLineEdit>("txtAdr1"), Qt::Key_Return);
        QCOMPARE(Requests(), size_t(0)); // Enter in the distance boxes does nothing
        Find<QLineEdit>("txtAdr1")->setText("Wörthersee");
        Click("cmdDo1");
        QCOMPARE(LastRequest(),
                 "GET /maps/api/directions/xml?origin=Woerthersee&destination=9500+Villach+AT"
                 "&optimize:false&sensor=false&region=at HTTP/1.1");
        const QString expected = "Startadresse : Woerthersee" + Crlf + "      Länge  : 13.9554210" +
                                 Crlf + "      Breite : 46.6124980" + Crlf + Crlf +
                                 "Endadresse   : 9500 Villach AT" + Crlf +
                                 "      Länge  : 13.8558200" + Crlf + "      Breite : 46.6103300" +
                                 Crlf + Crlf + "Luftlinie    : 7,6 km" + Crlf + Crlf +
                                 "Entfernung   : 24,3 km" + Crlf + "Fahrtzeit    : 00:24:36" + Crlf;
        QCOMPARE(Report(), expected);
        QCOMPARE(Report().split(Crlf).size(), 13); // twelve lines, each ending in CR LF
        QCOMPARE(Find<QPlainTextEdit>("txtErg")->toPlainText().split('\n').first(),
                 "Startadresse : Woerthersee");
        QCOMPARE(Find<QLineEdit>("txtAdr1")->text(), "Wörthersee");
        const QString link =
            QString::fromStdString(service.Url()) + "/maps?saddr=Woerthersee&daddr=9500+Villach+AT";
        QCOMPARE(Find<QLineEdit>("txtRLink")->text(), link);
        Click("cmdRoute");
        QCOMPARE(OpenedUrls(browser->log, 1), QStringList{link});

        Find<QLineEdit>("txtAdr2")->clear();
        Click("cmdDo1");
        QCOMPARE(Report(), "");
        QCOMPARE(Find<QLineEdit>("txtRLink")->text(), link); // kept after an early stop
        QCOMPARE(Requests(), size_t(1));
    }

    void failureReport() {
        QTest::mouseClick(Find<QRadioButton>("optD(1)"), Qt::LeftButton);
        for (const char *origin : {"denied", "misbehave404", "misbehavesilent"}) {
            Find<QLineEdit>("txtAdr1")->setText(origin);
            Click("cmdDo1");
            const QString expected = QString("Startadresse : ") + origin + Crlf +
                                     "      Länge  : " + Crlf + "      Breite : " + Crlf + Crlf +
                                     "Endadresse   : 9500 Villach AT" + Crlf +
                                     "      Länge  : " + Crlf + "      Breite : " + Crlf + Crlf +
                                     "Luftlinie    : " + Crlf + Crlf + "Entfernung   : " + Crlf +
                                     "Fahrtzeit    : " + Crlf;
            QCOMPARE(Report(), expected);
            QVERIFY(Find<QLineEdit>("txtRLink")
                        ->text()
                        .endsWith(QString("saddr=") + origin + "&daddr=9500+Villach+AT"));
        }
        QTest::mouseClick(Find<QRadioButton>("optD(0)"), Qt::LeftButton);
        Search("misbehavegarbage");
        QCOMPARE(List()->rowCount(), 0);
        Search("denied");
        QCOMPARE(List()->rowCount(), 0);
        QVERIFY2(window->isVisible(), "still usable");
    }

    void viewSwitchesKeepEverything() {
        Search("9220 Velden AT");
        PressRow(0);
        QTest::mouseClick(Find<QRadioButton>("optD(1)"), Qt::LeftButton);
        QVERIFY(Find<QGroupBox>("FM(1)")->isVisible());
        QVERIFY(!Find<QGroupBox>("FM(0)")->isVisible());
        QVERIFY(!Find<QRadioButton>("optD(0)")->isChecked());
        Click("cmdDo1");
        const QString report = Report();
        QTest::mouseClick(Find<QRadioButton>("optD(0)"), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), Find<QPushButton>("cmdOK"));
        QCOMPARE(List()->rowCount(), 3);
        QCOMPARE(Find<QLineEdit>("txtLG")->text(), "13,8558");
        QTest::mouseClick(Find<QRadioButton>("optD(1)"), Qt::LeftButton);
        QCOMPARE(Report(), report);
    }

    void closingAsksNothing() {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_B, Qt::AltModifier);
        QTRY_VERIFY(!window->isVisible()); // an access key presses its button animated
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
