#include "xml_text/L_REPLAC.h"

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

} // namespace L_REPLAC
