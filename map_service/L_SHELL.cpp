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
// The user's own key is ours alone: the opener and the browser it starts never see it.
constexpr char SecretVariable[] = "GEODATEN_API_KEY";
} // namespace

qintptr ShellOpen(qintptr windowHandle, const QString &file, const QString &parameters,
                  qint32 showMode) {
    if (file.isEmpty()) return FileNotFound;
#ifdef Q_OS_WIN
    // The shell's children inherit this process's environment: the key leaves it meanwhile.
    const QByteArray key = qgetenv(SecretVariable);
    qunsetenv(SecretVariable);
    const QByteArray target = file.toLocal8Bit();
    const QByteArray args = parameters.toLocal8Bit();
    const auto result = qintptr(
        ShellExecuteA(reinterpret_cast<HWND>(windowHandle), "open", target.constData(),
                      parameters.isEmpty() ? nullptr : args.constData(), nullptr, showMode));
    if (!key.isNull()) qputenv(SecretVariable, key);
    return result;
#else
    Q_UNUSED(windowHandle);
    Q_UNUSED(showMode);
    QProcess opener;
    opener.setProgram(QStringLiteral("xdg-open"));
    QStringList arguments{file};
    if (!parameters.isEmpty()) arguments += QProcess::splitCommand(parameters);
    opener.setArguments(arguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QLatin1String(SecretVariable));
    opener.setProcessEnvironment(environment);
    return opener.startDetached() ? Started : FileNotFound;
#endif
}

} // namespace L_SHELL
