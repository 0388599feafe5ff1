#include "map_service/L_SHELL.h"

#ifdef Q_OS_WIN
#include <shellapi.h>
#include <windows.h>
#else
#include <QProcess>
#endif

namespace L_SHELL {

namespace {
constexpr qintptr FileNotFound = 2; // what the shell answers for nothing to open
constexpr qintptr Started = 42;     // any value above 32 means success
} // namespace

qintptr ShellOpen(qintptr windowHandle, const QString &file, const QString &parameters,
                  qint32 showMode) {
    if (file.isEmpty()) return FileNotFound;
#ifdef Q_OS_WIN
    const QByteArray target = file.toLocal8Bit();
    const QByteArray args = parameters.toLocal8Bit();
    return qintptr(ShellExecuteA(reinterpret_cast<HWND>(windowHandle), "open", target.constData(),
                                 parameters.isEmpty() ? nullptr : args.constData(), nullptr,
                                 showMode));
#else
    Q_UNUSED(windowHandle);
    Q_UNUSED(showMode);
    QStringList arguments{file};
    if (!parameters.isEmpty()) arguments += QProcess::splitCommand(parameters);
    return QProcess::startDetached(QStringLiteral("xdg-open"), arguments) ? Started : FileNotFound;
#endif
}

} // namespace L_SHELL
