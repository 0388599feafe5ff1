#pragma once
// Small helpers shared by the tests: fixtures, environment and the recording browser.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QString>
#include <QThread>

inline QString Fixture(const QString &name) {
    return QStringLiteral(GEODATEN_FIXTURES "/") + name;
}

inline QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sets (or, for a null value, unsets) an environment variable while it lives.
struct ScopedEnv {
    QByteArray name, saved;
    bool had;
    ScopedEnv(const char *n, const QString &value)
        : name(n), saved(qgetenv(n)), had(qEnvironmentVariableIsSet(n)) {
        if (value.isNull())
            qunsetenv(n);
        else
            qputenv(n, value.toUtf8());
    }
    ~ScopedEnv() {
        if (had)
            qputenv(name.constData(), saved);
        else
            qunsetenv(name.constData());
    }
};

inline const QLocale German(QLocale::German, QLocale::Germany);
inline const QLocale English(QLocale::English, QLocale::UnitedStates);

// Makes `locale` the default while it lives.
struct LocaleGuard {
    explicit LocaleGuard(const QLocale &locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(QLocale::c()); }
};

// The URLs that the recording browser wrote, waiting up to `ms` for `count` of them.
inline QStringList OpenedUrls(const QString &log, int count, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    QStringList lines;
    do {
        lines = QString::fromUtf8(ReadAll(log)).split(u'\n', Qt::SkipEmptyParts);
        if (lines.size() >= count) break;
        QThread::msleep(20);
    } while (timer.elapsed() < ms);
    return lines;
}

// Points the desktop's opener at the recording browser: no display and no desktop, so
// that xdg-open goes straight to $BROWSER.
struct RecordingBrowser {
    QString log;
    ScopedEnv browser{"BROWSER", QStringLiteral(GEODATEN_TESTS_DIR "/record_browser.sh")};
    ScopedEnv display{"DISPLAY", QString()}, wayland{"WAYLAND_DISPLAY", QString()},
        desktop{"XDG_CURRENT_DESKTOP", QString()}, session{"DESKTOP_SESSION", QString()};
    ScopedEnv logEnv;
    explicit RecordingBrowser(const QString &file)
        : log(file), logEnv("GEODATEN_BROWSER_LOG", file) {
        QFile::remove(file);
    }
};

#include <ostream>
// Readable QStrings in GoogleTest's failure messages.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}
