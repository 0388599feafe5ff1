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
// True when the text (blanks around it aside) is wholly one decimal number with a point, a
// sign at most and no exponent, and lies within `limit` degrees of 0: a service's
// coordinate, read strictly. The value is the number read, in range or not.
bool ReadDegrees(const QString &text, double limit, double &value);
// A number in the user's locale: grouping removed, decimal separator to ".", "%" removed,
// then the leading number. "1.234,5" is 1234.5 under German.
double ParseLocaleNumber(const QString &text);
// The number at the start of the text (after blanks, tabs and line breaks), read with "."
// as decimal point whatever the locale; 0 when the text does not begin with a number.
double LeadingNumber(const QString &text);
// The value in the user's locale by a pattern of "0" (digit always shown), "#" (digit
// shown when significant), "," (thousands grouping) and "." (decimal separator; the places
// after it are the decimals). Rounded as the number reads with 15 significant digits,
// halves away from zero: 0.35 with "0.0" is "0,4" under German, though the double lies
// below 0.35. An integer part of 0 shows no digit when all its places are "#": 0.5 is ",5".
// Infinity or NaN (a number that does not fit) gives an empty text.
QString FormatNumber(double value, const QString &pattern);
// Display form: the locale's decimal separator, up to 15 significant digits, no grouping,
// no trailing zeros; from 1e15 on the locale's exponent form ("1E+15"). 13.8497 is
// "13,8497" under German. Infinity or NaN gives an empty text.
QString FormatGeneral(double value);
// The display form's digits with a decimal point whatever the locale (up to 15 significant
// digits, never an exponent): what the service and the web map read. Empty for inf/NaN.
QString FormatServiceNumber(double value);
// The value with a decimal point and as many decimals as `written` shows after its "."
// (0 to 12): a service's number written again from the number read, never from its text.
QString FormatLike(double value, const QString &written);

} // namespace L_VALUE
