#pragma once
// Numbers between the user's locale (QLocale(), the display) and the service's form
// (decimal point, what the service and the web map speak).
#include <QString>

namespace L_VALUE {

// Decimal and grouping separator of the user's locale, read off 1000 written with
// "0,000.0"; true when that text has the expected 7 characters. Both are set in any case.
bool GetNumberSeparators(QString &decimalSeparator, QString &groupingSeparator);
// The leading number of the text after every "," became "."; 0 when there is none.
double ParseDecimal(const QString &text);
// A number in the user's locale: grouping removed, decimal separator to ".", "%" removed,
// then the leading number. "1.234,5" is 1234.5 under German.
double ParseLocaleNumber(const QString &text);
// The number at the start of the text (after blanks, tabs and line breaks), read with "."
// as decimal point whatever the locale; 0 when the text does not begin with a number.
double LeadingNumber(const QString &text);
// The value in the user's locale by a pattern of "0" (digit always shown), "#" (digit
// shown when significant), "," (thousands grouping) and "." (decimal separator; the places
// after it are the decimals, rounded). An integer part of 0 shows no digit when all its
// places are "#": 0.5 with "#,###.0" is ",5" under German.
QString FormatNumber(double value, const QString &pattern);
// Display form: the locale's decimal separator, up to 15 significant digits, no grouping,
// no trailing zeros, never an exponent. 13.8497 is "13,8497" under German.
QString FormatGeneral(double value);

} // namespace L_VALUE
