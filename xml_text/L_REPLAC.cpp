#include "xml_text/L_REPLAC.h"

#include <algorithm>

namespace L_REPLAC {

Qt::CaseSensitivity CaseFor(int compareMode) {
    return compareMode == 1 ? Qt::CaseInsensitive : Qt::CaseSensitive;
}

int ReplaceAll(QString &text, const QString &search, const QString &replacement, int compareMode) {
    if (search.isEmpty()) return 0;
    const Qt::CaseSensitivity cs = CaseFor(compareMode);
    qsizetype hit = text.indexOf(search, 0, cs);
    if (hit < 0) return 0;
    QString result;
    result.reserve(text.size());
    qsizetype from = 0;
    int count = 0;
    for (; hit >= 0; hit = text.indexOf(search, from, cs)) {
        result.append(QStringView(text).mid(from, hit - from)).append(replacement);
        from = hit + search.size();
        ++count;
    }
    result.append(QStringView(text).mid(from));
    text = result;
    return count;
}

QString StripTrailingNul(const QString &text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QChar(0)) --end;
    return text.left(end);
}

namespace {

bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The end of the escape sequence that starts with the ESC at k.
qsizetype EscapeEnd(const QString &text, qsizetype k) {
    const qsizetype n = text.size();
    if (k + 1 >= n) return n;
    const char16_t kind = text[k + 1].unicode();
    qsizetype end = k + 2;
    if (kind == u'[') { // CSI: parameters up to a final byte
        while (end < n && !(text[end].unicode() >= 0x40 && text[end].unicode() <= 0x7E)) ++end;
        return qMin(end + 1, n);
    }
    if (kind == u']') { // OSC: up to BEL or ESC backslash
        while (end < n && text[end] != QChar(7) && text[end] != QChar(0x1B)) ++end;
        return end < n && text[end] == QChar(0x1B) ? qMin(end + 2, n) : qMin(end + 1, n);
    }
    return end;
}

} // namespace

QString Clean(const QString &text) {
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return IsControl(c.unicode()); }))
        return text; // the usual case: nothing to remove, nothing to copy
    QString out;
    out.reserve(text.size());
    for (qsizetype k = 0; k < text.size();) {
        const char16_t c = text[k].unicode();
        if (c == 0x1B) {
            k = EscapeEnd(text, k);
            continue;
        }
        if (!IsControl(c) || c == u'\t') out += text[k];
        ++k;
    }
    return out;
}

QString Shown(const QString &text, qsizetype most) {
    QString out;
    for (qsizetype k = 0; k < text.size() && k < most; ++k) {
        const char16_t c = text[k].unicode();
        if (IsControl(c))
            out += QStringLiteral("\\x") + QString::number(c, 16).toUpper().rightJustified(2, u'0');
        else
            out += text[k];
    }
    return text.size() > most ? out + QStringLiteral("...") : out;
}

} // namespace L_REPLAC
