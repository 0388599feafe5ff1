#pragma once
// Query-string values.
#include <QString>

namespace L_URLCOD {

// The UTF-8 bytes of the text: ASCII letters and digits as they are, a space as "+" (or
// "%20" without spaceAsPlus), every other byte as "%" and two upper-case hex digits
// ("-", ".", "_", "~" included). No length limit.
QString UrlEncode(const QString &text, bool spaceAsPlus);
// A service's base URL: the variable's value when it is set and not empty, else the
// fallback; without trailing "/".
QString BaseUrl(const char *variable, const QString &fallback);

} // namespace L_URLCOD
