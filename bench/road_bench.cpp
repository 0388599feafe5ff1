// The road of one search on the real window (offscreen) against the fake map service:
// from the Enter key in the address box to the rows painted, for a 3-hit and a 200-hit
// answer, beside the bare download of the same answer (the network's share).
#include "bench_support.h"

#include "fake_map_service.h"
#include "main_window/B_MAIN.h"
#include "map_service/L_GEOGOG.h"
#include "map_service/L_INET.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    KeepFreedMemory();
    QApplication app(argc, argv);
    FakeMapService service(GEODATEN_FIXTURES);
    QTemporaryDir temp;
    qputenv("GEODATEN_SERVICE_URL", QByteArray::fromStdString(service.Url()));
    qputenv("TEMP", temp.path().toUtf8());
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    B_MAIN window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    auto *box = window.findChild<QLineEdit *>("txtAdr");
    std::printf(
        "| answer | key press to rows shown, ms | download alone, ms | without the network, ms |\n"
        "|---|---|---|---|\n");
    for (const char *address : {"9220 Velden AT", "hits200"}) {
        box->setText(address);
        const QString url = L_GEOGOG::GeocodeRequestUrl(address);
        const QString file = temp.path() + "/bench.tmp";
        const std::vector<double> best = Alternate({[&] {
                                                        QTest::keyClick(box, Qt::Key_Return);
                                                        window.repaint();
                                                    },
                                                    [&] { L_INET::DownloadToFile(url, file); }},
                                                   21);
        std::printf("| %s | %.2f | %.2f | %.2f |\n",
                    address[0] == 'h' ? "200 hits" : "3 hits (9220 Velden AT)", best[0] * 1e3,
                    best[1] * 1e3, (best[0] - best[1]) * 1e3);
    }
    return 0;
}
