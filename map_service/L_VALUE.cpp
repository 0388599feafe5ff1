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

// Adds one to a string of decimal digits; true when it carried out of the first digit.
bool Increment(QString &digits) {
    for (qsizetype k = digits.size() - 1; k >= 0; --k) {
        if (digits[k] != u'9') {
            digits[k] = QChar(digits[k].unicode() + 1);
            return false;
        }
        digits[k] = u'0';
    }
    digits.prepend(u'1');
    return true;
}

// The magnitude as the decimal number it reads as (15 significant digits), rounded to
// `decimals` places, halves away from zero: its integer digits ("0" for none) and exactly
// `decimals` fraction digits. 0.35 is "0" and "4", though the double lies below 0.35.
void RoundDecimal(double magnitude, int decimals, QString &integer, QString &fraction) {
    const QString written = QString::number(magnitude, 'e', 14); // d.dddddddddddddde+xx
    const qsizetype e = written.indexOf(u'e');
    QString digits = written.left(1) + written.mid(2, e - 2);
    qsizetype point = magnitude == 0 ? 1 : written.mid(e + 1).toInt() + 1; // digits before "."
    const qsizetype keep = point + decimals;
    if (keep < digits.size()) {
        const bool up = keep >= 0 && digits[keep] >= u'5';
        digits.truncate(qMax<qsizetype>(keep, 0));
        if (up && Increment(digits)) ++point;
    }
    if (point <= 0) { // below 1: zeros between the point and the first digit
        digits.prepend(QString(1 - point, u'0'));
        point = 1;
    }
    while (digits.size() < point + decimals) digits.append(u'0');
    integer = digits.left(point);
    fraction = digits.mid(point, decimals);
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

bool ReadDegrees(const QString &text, double limit, double &value) {
    const QString trimmed = text.trimmed();
    std::string number;
    bool digits = false;
    for (qsizetype k = 0; k < trimmed.size(); ++k) {
        const QChar c = trimmed[k];
        const bool sign = k == 0 && (c == u'-' || c == u'+');
        if (!IsDigit(c) && c != u'.' && !sign) return false;
        digits = digits || IsDigit(c);
        if (c != u'+') number += char(c.unicode());
    }
    const auto end = number.data() + number.size();
    const auto result = std::from_chars(number.data(), end, value, std::chars_format::fixed);
    return digits && result.ec == std::errc() && result.ptr == end && std::isfinite(value) &&
           std::fabs(value) <= limit;
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
    if (!std::isfinite(value)) return QString(); // a number that does not fit shows nothing
    const qsizetype point = pattern.indexOf(u'.');
    const QStringView integerPattern =
        QStringView(pattern).left(point < 0 ? pattern.size() : point);
    const QStringView fractionPattern =
        point < 0 ? QStringView() : QStringView(pattern).mid(point + 1);
    const int decimals = int(fractionPattern.count(u'0') + fractionPattern.count(u'#'));
    const qsizetype minimumDigits = integerPattern.count(u'0');

    // Rounded once, in decimal digits; only then dressed in the locale.
    QString integer, fraction;
    RoundDecimal(std::fabs(value), decimals, integer, fraction);
    const bool zero =
        integer == QStringLiteral("0") &&
        std::all_of(fraction.begin(), fraction.end(), [](QChar c) { return c == u'0'; });
    if (integer == QStringLiteral("0") && minimumDigits == 0) integer.clear();
    while (integer.size() < minimumDigits) integer.prepend(u'0');
    const QLocale locale;
    if (integerPattern.contains(u',')) integer = Grouped(integer, locale.groupSeparator());
    QString result = integer;
    if (decimals > 0) result += locale.decimalPoint() + fraction;
    return value < 0 && !zero ? QStringLiteral("-") + result : result;
}

QString FormatServiceNumber(double value) {
    if (!std::isfinite(value)) return QString();
    QString digits = QString::number(value, 'g', 15);
    if (digits.contains(u'e')) {
        const int exponent = int(std::floor(std::log10(std::fabs(value))));
        digits = StripFractionZeros(QString::number(value, 'f', qMax(0, 14 - exponent)));
    }
    return digits;
}

QString FormatLike(double value, const QString &written) {
    const qsizetype point = written.indexOf(u'.');
    qsizetype decimals = 0;
    while (point >= 0 && point + 1 + decimals < written.size() &&
           IsDigit(written[point + 1 + decimals]))
        ++decimals;
    return std::isfinite(value) ? QString::number(value, 'f', int(qMin<qsizetype>(decimals, 12)))
                                : QString();
}

QString FormatGeneral(double value) {
    if (!std::isfinite(value)) return QString();
    if (std::fabs(value) >= 1e15) { // beyond 15 digits the locale's exponent form says it
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale.toString(value, 'g', 15);
    }
    return FormatServiceNumber(value).replace(u'.', QLocale().decimalPoint());
}

} // namespace L_VALUE
