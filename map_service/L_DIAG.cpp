#include "map_service/L_DIAG.h"

#include "xml_text/L_REPLAC.h"

#include <QSet>

#include <mutex>

Q_LOGGING_CATEGORY(lcService, "geodaten.service")

namespace L_DIAG {

namespace {

constexpr qsizetype ShownCharacters = 300; // of a message or URL in a failure line

} // namespace

void FailureLine(const QString &service, const QString &what, const QString &message,
                 const QString &url) {
    using L_REPLAC::Shown;
    const QString sent = message.isEmpty() ? QString() : QStringLiteral(": ") + message;
    qCWarning(lcService).noquote() << service + QStringLiteral(": ") +
                                          Shown(what + sent, ShownCharacters) +
                                          QStringLiteral(" (") + Shown(url, ShownCharacters) + u')';
}

bool FirstTime(const QString &trouble) {
    static std::mutex mutex;
    static QSet<QString> told;
    const std::lock_guard<std::mutex> lock(mutex);
    if (told.contains(trouble)) return false;
    told.insert(trouble);
    return true;
}

} // namespace L_DIAG
