#include "batch_tool/L_MATCH.h"

#include <QRegularExpression>

namespace L_MATCH {

namespace {

// Words that join a town's name to its qualifier ("am Wörthersee", "a. d. Donau").
bool Joining(const QString &word) {
    static const QStringList words{"am", "an",  "der",   "die", "dem", "den", "im", "in", "bei",
                                   "ob", "auf", "unter", "a",   "d",   "i",   "b",  "o",  "u"};
    return words.contains(word);
}

// Lower case, umlauts and ß written out, accents dropped, "st." as "sankt", hyphens and dots
// as blanks; "/", "(" and "," stay, as they begin a qualifier.
QString Even(const QString &name) {
    QString text = name.toLower();
    text.replace(u'ä', QStringLiteral("ae"))
        .replace(u'ö', QStringLiteral("oe"))
        .replace(u'ü', QStringLiteral("ue"))
        .replace(u'ß', QStringLiteral("ss"));
    QString plain;
    for (const QChar c : text.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing) plain += c;
    static const QRegularExpression saint(QStringLiteral("\\bst\\b\\.?"));
    plain.replace(saint, QStringLiteral("sankt "));
    plain.replace(u'-', u' ').replace(u'.', u' ').replace(u')', u' ');
    return plain.simplified();
}

// The name's base (its words up to the first qualifier) and the qualifier's letters.
void Split(const QString &even, QString &base, QString &qualifier) {
    const qsizetype mark = even.indexOf(QRegularExpression(QStringLiteral("[/(,]")));
    QStringList words = even.left(mark < 0 ? even.size() : mark).split(u' ', Qt::SkipEmptyParts);
    qsizetype k = 1;
    while (k < words.size() && !Joining(words[k])) ++k;
    base = words.mid(0, k).join(u' ');
    QStringList rest = words.mid(k) + (mark < 0 ? QStringList() : even.mid(mark + 1).split(u' '));
    qualifier.clear();
    for (const QString &word : rest)
        if (!Joining(word))
            for (const QChar c : word)
                if (c.isLetterOrNumber()) qualifier += c;
}

// A postcode as written anywhere: no blanks, upper case, no country letter before a "-".
QString PostcodeKey(const QString &postcode) {
    QString key = postcode.toUpper().remove(u' ');
    static const QRegularExpression country(QStringLiteral("^[A-Z]{1,2}-"));
    return key.remove(country);
}

} // namespace

void PostcodeAndTown(const QString &address, QString &postcode, QString &town) {
    static const QRegularExpression named(
        QStringLiteral("(?:^|[\\s,])(?:[A-Za-z]{1,2}-)?(\\d{4,5})\\s+([^,\\d][^,]*?)(?:\\s+[A-Z]{2}"
                       ")?\\s*(?:,|$)"));
    const QRegularExpressionMatch m = named.match(address);
    postcode = m.hasMatch() ? m.captured(1) : QString();
    town = m.hasMatch() ? m.captured(2).trimmed() : QString();
}

bool SameTown(const QString &a, const QString &b) {
    QString baseA, baseB, qualifierA, qualifierB;
    Split(Even(a), baseA, qualifierA);
    Split(Even(b), baseB, qualifierB);
    if (baseA.isEmpty() || baseA != baseB) return false;
    return qualifierA.startsWith(qualifierB) || qualifierB.startsWith(qualifierA);
}

Check Compare(const QString &postcode, const QString &town, const L_GEOGOG::HitParts &hit) {
    Check check;
    const bool samePostcode = !postcode.isEmpty() && !hit.postcode.isEmpty() &&
                              PostcodeKey(postcode) == PostcodeKey(hit.postcode);
    bool sameTown = false;
    for (const QString &place : hit.places) sameTown = sameTown || SameTown(town, place);
    check.agrees = samePostcode || sameTown || (postcode.isEmpty() && town.isEmpty());
    // A hit that agrees names only what it shows otherwise; one that does not, all it misses.
    if (!postcode.isEmpty() && !samePostcode && (!check.agrees || !hit.postcode.isEmpty()))
        check.differs.append(QStringLiteral("postcode"));
    if (!town.isEmpty() && !sameTown && (!check.agrees || !hit.places.isEmpty()))
        check.differs.append(QStringLiteral("town"));
    if (hit.partial) check.differs.append(QStringLiteral("partial"));
    return check;
}

} // namespace L_MATCH
