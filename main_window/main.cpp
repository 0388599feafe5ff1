#include "main_window/B_MAIN.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("geodaten"));
    QApplication::setDesktopFileName(QStringLiteral("geodaten"));
    B_MAIN window;
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    return QApplication::exec();
}
