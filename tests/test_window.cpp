#include <QtTest>
class WindowTest : public QObject { Q_OBJECT };
QTEST_MAIN(WindowTest)
#include "test_window.moc"
