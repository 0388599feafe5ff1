#include "map_service/L_URLCOD.h"

#include "xml_text/L_UNICOD.h"

namespace L_URLCOD {

QString UrlEncode(const QString &text, bool spaceAsPlus) {
    static const char Hex[] = "0123456789ABCDEF";
    const QString bytes = L_UNICOD::TextToUtf8(text);
    QString result;
    result.reserve(bytes.size() * 3);
    for (const QChar c : bytes) {
        const ushort byte = c.unicode() & 0xFF;
        const bool plain = (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= 'a' && byte <= 'z');
        if (plain) {
            result += c;
        } else if (byte == ' ' && spaceAsPlus) {
            result += u'+';
        } else {
            result += u'%';
            result += QChar(Hex[byte >> 4]);
            result += QChar(Hex[byte & 0xF]);
        }
    }
    return result;
}

QString BaseUrl(const char *variable, const QString &fallback) {
    QString base = qEnvironmentVariable(variable);
    if (base.isEmpty()) base = fallback;
    while (base.endsWith(u'/')) base.chop(1);
    return base;
}

} // namespace L_URLCOD
