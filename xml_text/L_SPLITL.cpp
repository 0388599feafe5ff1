#include "xml_text/L_SPLITL.h"

#include "geo_files/L_PFADE.h"
#include "xml_text/L_REPLAC.h"

namespace L_SPLITL {

int SplitList(const QString &text, QStringList &list, const QString &separator, int compareMode,
              bool trim, bool skipEmpty) {
    list = QStringList{QString()};
    if (separator.isEmpty()) return 0;
    // One separator appended, so that the last field ends like all the others.
    const QString extended = text + separator;
    const Qt::CaseSensitivity cs = L_REPLAC::CaseFor(compareMode);
    qsizetype start = 0;
    for (qsizetype hit = extended.indexOf(separator, 0, cs); hit >= 0;
         hit = extended.indexOf(separator, start, cs)) {
        QString field = extended.mid(start, hit - start);
        if (trim) field = L_PFADE::TrimSpaces(field);
        if (!skipEmpty || !field.isEmpty()) list.append(field);
        start = hit + separator.size();
    }
    return int(list.size() - 1);
}

QString JoinList(const QStringList &list, const QString &separator, bool trim, bool skipEmpty) {
    QString result;
    for (qsizetype k = 1; k < list.size(); ++k) {
        const QString item = trim ? L_PFADE::TrimSpaces(list[k]) : list[k];
        if (!skipEmpty || !item.isEmpty()) result += item + separator;
    }
    if (!separator.isEmpty() && result.endsWith(separator)) result.chop(separator.size());
    return result;
}

} // namespace L_SPLITL
