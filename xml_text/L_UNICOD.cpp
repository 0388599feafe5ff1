#include "xml_text/L_UNICOD.h"

#include "xml_text/L_REPLAC.h"

#include <QHash>

namespace L_UNICOD {

namespace {

int Resolve(int codePage) {
    if (codePage == CodePageAnsiQuery || codePage == CodePageAnsi) return CodePageLatin1;
    return codePage;
}

QStringView UpToNul(const QString &text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? QStringView(text) : QStringView(text).left(nul);
}

QByteArrayView UpToZero(const QByteArray &bytes) {
    const qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? QByteArrayView(bytes) : QByteArrayView(bytes).first(zero);
}

} // namespace

QByteArray TextToMultiByte(const QString &text, int codePage, int /*flags*/) {
    switch (Resolve(codePage)) {
    case CodePageLatin1:
        return UpToNul(text).toLatin1();
    case CodePageUtf8:
        return UpToNul(text).toUtf8();
    default:
        return QByteArray();
    }
}

QString MultiByteToText(const QByteArray &bytes, int codePage, int /*flags*/) {
    switch (Resolve(codePage)) {
    case CodePageLatin1:
        return QString::fromLatin1(UpToZero(bytes));
    case CodePageUtf8:
        return QString::fromUtf8(UpToZero(bytes));
    default:
        return QString();
    }
}

QString Utf8ToText(const QString &byteText) {
    if (byteText.isEmpty()) return QString();
    return MultiByteToText(TextToMultiByte(byteText, CodePageAnsi, 0), CodePageUtf8, 0);
}

QString TextToUtf8(const QString &text) {
    if (text.isEmpty()) return QString();
    const QByteArray bytes = TextToMultiByte(text, CodePageUtf8, 0);
    return L_REPLAC::StripTrailingNul(QString::fromLatin1(bytes));
}

QString DecodeEntities(const QString &byteText) {
    if (!byteText.contains(u'&')) return byteText;
    static const QHash<QString, QString> named{{QStringLiteral("amp"), QStringLiteral("&")},
                                               {QStringLiteral("lt"), QStringLiteral("<")},
                                               {QStringLiteral("gt"), QStringLiteral(">")},
                                               {QStringLiteral("quot"), QStringLiteral("\"")},
                                               {QStringLiteral("apos"), QStringLiteral("'")}};
    QString out;
    for (qsizetype k = 0; k < byteText.size(); ++k) {
        // An entity is short: its ";" is looked for within 10 characters, not to the end.
        const qsizetype at =
            byteText[k] == u'&' ? QStringView(byteText).mid(k, 11).indexOf(u';') : -1;
        const qsizetype end = at < 0 ? -1 : k + at;
        if (end < 0) {
            out += byteText[k];
            continue;
        }
        const QString name = byteText.mid(k + 1, end - k - 1);
        bool number = false;
        const uint code = name.startsWith(u'#') ? (name.startsWith(QStringLiteral("#x"))
                                                       ? name.mid(2).toUInt(&number, 16)
                                                       : name.mid(1).toUInt(&number, 10))
                                                : 0;
        const QString character =
            number ? TextToUtf8(QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1))
                   : named.value(name);
        out += character.isEmpty() ? byteText.mid(k, end - k + 1) : character;
        k = end;
    }
    return out;
}

} // namespace L_UNICOD
