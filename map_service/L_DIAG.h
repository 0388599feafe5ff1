#pragma once
// The failure line: what every failed request, refused request or empty answer tells on
// the logging category "geodaten.service", and the rule that a trouble is told once.
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcService)

namespace L_DIAG {

// One line "<service>: <what>[: <message>] (<url>)", the service's own message when it sent
// one; control characters shown as \xNN, message and url cut at 300 characters. The url
// must not carry a secret.
void FailureLine(const QString &service, const QString &what, const QString &message,
                 const QString &url);
// True the first time this process meets `trouble`, false ever after: a trouble is told
// once, not once per request or thread.
bool FirstTime(const QString &trouble);

} // namespace L_DIAG
