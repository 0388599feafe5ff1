#include "map_service/L_VALUE.h"

#include "xml_text/L_REPLAC.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace L_VALUE {

namespace {

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Digits with the locale's grouping separator between every three from the right.
QString Grouped(const QString &digits, const QString &separator) {
    QString out;
    for (qsizetype k = 0; k < digits.size(); ++k) {
        if (k > 0 && (digits.size() - k) % 3 == 0) out += separator;
        out += digits[k];
    }
    return out;
}

QString StripFractionZeros(QString digits) {
    if (!digits.contains(u'.')) return digits;
    while (digits.endsWith(u'0')) digits.chop(1);
    if (digits.endsWith(u'.')) digits.chop(1);
    return digits;
}

} // namespace

bool GetNumberSeparators(QString &decimalSeparator, QString &groupingSeparator) {
    const QString probe = FormatNumber(1000.0, QStringLiteral("0,000.0"));
    decimalSeparator = probe.mid(5, 1);
    groupingSeparator = probe.mid(1, 1);
    return probe.size() == 7;
}

double LeadingNumber(const QString &text) {
    qsizetype k = 0;
    while (k < text.size() &&
           (text[k] == u' ' || text[k] == u'\t' || text[k] == u'\r' || text[k] == u'\n'))
        ++k;
    std::string number;
    if (k < text.size() && (text[k] == u'-' || text[k] == u'+')) {
        if (text[k] == u'-') number += '-';
        ++k;
    }
    bool digits = false;
    for (; k < text.size() && IsDigit(text[k]); ++k, digits = true)
        number += char(text[k].unicode());
    if (k < text.size() && text[k] == u'.') {
        number += '.';
        for (++k; k < text.size() && IsDigit(text[k]); ++k, digits = true)
            number += char(text[k].unicode());
    }
    if (!digits) return 0.0;
    // An exponent counts only when digits follow it.
    if (k + 1 < text.size() && (text[k] == u'e' || text[k] == u'E')) {
        qsizetype e = k + 1;
        std::string exponent = "e";
        if (text[e] == u'-' || text[e] == u'+') exponent += char(text[e++].unicode());
        if (e < text.size() && IsDigit(text[e])) {
            for (; e < text.size() && IsDigit(text[e]); ++e) exponent += char(text[e].unicode());
            number += exponent;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    const std::errc error = result.ec;
    if (error == std::errc::result_out_of_range) return number[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    return error == std::errc() ? value : 0.0;
}

double ParseDecimal(const QString &text) {
    QString copy = text;
    copy.replace(u',', u'.');
    return LeadingNumber(copy);
}

double ParseLocaleNumber(const QString &text) {
    QString decimal, grouping;
    if (!GetNumberSeparators(decimal, grouping)) {
        grouping = QStringLiteral(".");
        decimal = QStringLiteral(",");
    }
    QString copy = text;
    L_REPLAC::ReplaceAll(copy, grouping, QString(), 0);
    L_REPLAC::ReplaceAll(copy, decimal, QStringLiteral("."), 0);
    L_REPLAC::ReplaceAll(copy, QStringLiteral("%"), QString(), 0);
    return LeadingNumber(copy);
}

QString FormatNumber(double value, const QString &pattern) {
    const qsizetype point = pattern.indexOf(u'.');
    const QStringView integerPattern =
        QStringView(pattern).left(point < 0 ? pattern.size() : point);
    const QStringView fractionPattern =
        point < 0 ? QStringView() : QStringView(pattern).mid(point + 1);
    const int decimals = int(fractionPattern.count(u'0') + fractionPattern.count(u'#'));
    const qsizetype minimumDigits = integerPattern.count(u'0');
    const bool grouping = integerPattern.contains(u',');
    if (!std::isfinite(value)) return QString::number(value);

    // Rounded once, exactly, in the C form; only then dressed in the locale.
    const QString fixed = QString::number(std::fabs(value), 'f', decimals);
    const qsizetype dot = fixed.indexOf(u'.');
    QString integer = dot < 0 ? fixed : fixed.left(dot);
    const QString fraction = dot < 0 ? QString() : fixed.mid(dot + 1);
    if (integer == QStringLiteral("0") && minimumDigits == 0) integer.clear();
    while (integer.size() < minimumDigits) integer.prepend(u'0');
    const QLocale locale;
    if (grouping) integer = Grouped(integer, locale.groupSeparator());
    QString result = integer;
    if (decimals > 0) result += locale.decimalPoint() + fraction;
    const bool zero =
        std::all_of(fixed.begin(), fixed.end(), [](QChar c) { return c == u'0' || c == u'.'; });
    return value < 0 && !zero ? QStringLiteral("-") + result : result;
}

QString FormatGeneral(double value) {
    if (!std::isfinite(value)) return QString::number(value);
    QString digits = QString::number(value, 'g', 15);
    if (digits.contains(u'e')) {
        const int exponent = int(std::floor(std::log10(std::fabs(value))));
        digits = StripFractionZeros(QString::number(value, 'f', qMax(0, 14 - exponent)));
    }
    digits.replace(u'.', QLocale().decimalPoint());
    return digits;
}

} // namespace L_VALUE
