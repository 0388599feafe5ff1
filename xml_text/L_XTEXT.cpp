#include "xml_text/L_XTEXT.h"

#include "xml_text/L_UNICOD.h"

#include <QStringList>

namespace L_XTEXT {

namespace {

// The end of the markup that starts with the "<" at k: just after its ">" outside quotes,
// after "-->" for a comment, "]]>" for CDATA and "?>" for a processing instruction.
qsizetype MarkupEnd(const QString &d, qsizetype k) {
    for (const auto &[open, close] : {std::pair{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}})
        if (QStringView(d).mid(k).startsWith(QLatin1String(open))) {
            const qsizetype end = d.indexOf(QLatin1String(close), k + 2);
            return end < 0 ? d.size() : end + qsizetype(strlen(close));
        }
    QChar quote;
    for (qsizetype j = k + 1; j < d.size(); ++j) {
        if (!quote.isNull()) {
            if (d[j] == quote) quote = QChar();
        } else if (d[j] == u'"' || d[j] == u'\'') {
            quote = d[j];
        } else if (d[j] == u'>') {
            return j + 1;
        }
    }
    return d.size();
}

// A tag's name, lower case: after "<" or "</", up to a blank, "/" or ">".
QString TagName(const QString &d, qsizetype k, qsizetype end) {
    qsizetype from = k + (d.mid(k, 2) == QStringLiteral("</") ? 2 : 1), to = from;
    while (to < end && !d[to].isSpace() && d[to] != u'/' && d[to] != u'>') ++to;
    return d.mid(from, to - from).toLower();
}

} // namespace

QString TextOf(const QString &d, const QString &path) {
    const QStringList target = path.toLower().split(u'/', Qt::SkipEmptyParts);
    qsizetype depth = 0;   // of the open elements
    qsizetype matched = 0; // how many of the open ones are the target's first names
    qsizetype inside = -1; // the depth of the element whose text is read; -1: not yet
    QString text;
    for (qsizetype k = 0; k < d.size();) {
        const qsizetype lt = d.indexOf(u'<', k);
        const qsizetype stop = lt < 0 ? d.size() : lt;
        if (inside >= 0) text += L_UNICOD::DecodeEntities(d.mid(k, stop - k));
        if (lt < 0) break;
        const qsizetype end = MarkupEnd(d, lt);
        const QStringView markup = QStringView(d).mid(lt, end - lt);
        k = end;
        if (markup.startsWith(u"<![CDATA[")) {
            if (inside >= 0)
                text += markup.mid(9, markup.endsWith(u"]]>") ? markup.size() - 12 : -1);
        } else if (markup.startsWith(u"</")) {
            depth = qMax<qsizetype>(0, depth - 1);
            matched = qMin(matched, depth);
            if (inside >= 0 && depth < inside) return text;
        } else if (!markup.startsWith(u"<!") && !markup.startsWith(u"<?")) {
            if (matched == depth && depth < target.size() && TagName(d, lt, end) == target[depth])
                ++matched;
            ++depth;
            const bool empty = markup.endsWith(u"/>");
            if (inside < 0 && matched == target.size() && depth == matched) {
                if (empty) return text;
                inside = depth;
            }
            if (empty) matched = qMin(matched, --depth);
        }
    }
    return text;
}

} // namespace L_XTEXT
