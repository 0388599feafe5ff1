#pragma once
// What the tests share: fixtures, the environment, the locale, the recording browser and
// the diagnostic lines.
#include "fake_map_service.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QThread>

#include <ostream>

inline QString Fixture(const QString &name) {
    return QStringLiteral(GEODATEN_FIXTURES "/") + name;
}

inline QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Sets (or, for a null value, unsets) an environment variable while it lives.
struct ScopedEnv {
    QByteArray name, saved;
    bool had;
    ScopedEnv(const char *n, const QString &value)
        : name(n), saved(qgetenv(n)), had(qEnvironmentVariableIsSet(n)) {
        value.isNull() ? qunsetenv(n) : qputenv(n, value.toUtf8());
    }
    ~ScopedEnv() { had ? qputenv(name.constData(), saved) : qunsetenv(name.constData()); }
};

// Every seam of the services pointed at a fake on 127.0.0.1, for one provider: with
// `google` the commercial service's (by its URL), else the open ones, unpaced (the router
// by the name "localhost": another host for the pacing), no answers kept.
struct Seams {
    ScopedEnv service, map, nominatim, osrm, osm, key, provider, pace, timeout, noProxy, cache;
    Seams(const FakeMapService &fake, bool google, const QString &timeoutMs = "2000")
        : service("GEODATEN_SERVICE_URL", google ? Url(fake) : QString()),
          map("GEODATEN_MAP_URL", Url(fake)), nominatim("GEODATEN_NOMINATIM_URL", Url(fake)),
          osrm("GEODATEN_OSRM_URL", "http://localhost:" + QString::number(fake.Port())),
          osm("GEODATEN_OSM_URL", Url(fake)), key("GEODATEN_API_KEY", QString()),
          provider("GEODATEN_PROVIDER", QString()), pace("GEODATEN_PACE_MS", "0"),
          timeout("GEODATEN_TIMEOUT_MS", timeoutMs), noProxy("no_proxy", "127.0.0.1,localhost"),
          cache("GEODATEN_CACHE", "off") {}
    static QString Url(const FakeMapService &fake) { return QString::fromStdString(fake.Url()); }
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
    QStringList urls;
    do {
        urls = QString::fromUtf8(ReadAll(log))
                   .split(u'\n', Qt::SkipEmptyParts)
                   .filter(QStringLiteral("://"));
        if (urls.size() >= count) break;
        QThread::msleep(20);
    } while (timer.elapsed() < ms);
    return urls;
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

// The diagnostic lines ("geodaten.service") written while it lives.
struct ServiceLines {
    static inline QStringList lines;
    QtMessageHandler previous;
    ServiceLines() : previous(qInstallMessageHandler(&Keep)) { lines.clear(); }
    ~ServiceLines() { qInstallMessageHandler(previous); }
    static void Keep(QtMsgType, const QMessageLogContext &context, const QString &text) {
        if (QByteArray(context.category) == "geodaten.service") lines.append(text);
    }
};

// Readable QStrings in GoogleTest's failure messages.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}
inline std::ostream &operator<<(std::ostream &out, const QString &text) {
    return out << text.toStdString();
}
