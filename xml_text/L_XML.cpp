#include "xml_text/L_XML.h"

#include "geo_files/L_PFADE.h"
#include "xml_text/L_SPLITL.h"

#include <array>
#include <cstring>

namespace L_XML {

namespace {

// Upper case of a Latin-1 byte where Latin-1 has one: a-z and U+00E0..U+00FE but U+00F7.
constexpr std::array<unsigned char, 256> MakeUpperTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const bool lower = (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
        table[c] = static_cast<unsigned char>(lower ? c - 0x20 : c);
    }
    return table;
}
constexpr std::array<unsigned char, 256> Upper = MakeUpperTable();

inline unsigned char Up(char c) { return Upper[static_cast<unsigned char>(c)]; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (Up(a[k]) != Up(b[k])) return false;
    return true;
}

// `upperNeedle` is already upper case. The needle is a name from the query path, so this
// costs the attribute text's length times a short constant.
bool ContainsIgnoringCase(std::string_view haystack, std::string_view upperNeedle) {
    if (upperNeedle.size() > haystack.size()) return false;
    const size_t last = haystack.size() - upperNeedle.size();
    for (size_t start = 0; start <= last; ++start) {
        size_t k = 0;
        while (k < upperNeedle.size() && Up(haystack[start + k]) == Up(upperNeedle[k])) ++k;
        if (k == upperNeedle.size()) return true;
    }
    return false;
}

std::string UpperBytes(const QString &text) {
    std::string bytes = text.toLatin1().toStdString();
    for (char &c : bytes) c = static_cast<char>(Up(c));
    return bytes;
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// The query path taken apart once per query.
struct QueryPath {
    std::string full;      // upper case
    std::string parent;    // upper case
    std::string last;      // as written
    std::string lastEqual; // upper case last name followed by "="
};

QueryPath MakeQueryPath(const QString &path) {
    using L_PFADE::StripTrailingSeparator;
    const QString full = L_PFADE::TrimSpaces(StripTrailingSeparator(L_PFADE::TrimSpaces(path)));
    const QString last = L_PFADE::PathLastPart(full, false);
    QueryPath q;
    q.full = UpperBytes(full);
    q.parent = UpperBytes(StripTrailingSeparator(L_PFADE::PathParent(full)));
    q.last = last.toLatin1().toStdString();
    q.lastEqual = UpperBytes(last) + "=";
    return q;
}

// Calls pair(key, value) for every key="value" pair of an attribute text: the text split
// at double quotes, fields trimmed, odd fields the keys (less a trailing "="), even fields
// the values. Stops early when pair returns true.
template <typename Pair> void ForEachAttribute(std::string_view attributes, Pair pair) {
    size_t pos = 0;
    for (;;) {
        const size_t open = attributes.find('"', pos);
        if (open == std::string_view::npos) return;
        std::string_view key = TrimSpaces(attributes.substr(pos, open - pos));
        const size_t close = attributes.find('"', open + 1);
        const size_t valueEnd = close == std::string_view::npos ? attributes.size() : close;
        const std::string_view value =
            TrimSpaces(attributes.substr(open + 1, valueEnd - open - 1));
        if (!key.empty() && key.back() == '=') key = TrimSpaces(key.substr(0, key.size() - 1));
        if (pair(key, value) || close == std::string_view::npos) return;
        pos = close + 1;
    }
}

void Append(XmlText &text, std::string_view bytes) {
    text.bytes.append(bytes);
    ++text.version;
}

void AppendTag(XmlText &text, std::string_view open, std::string_view name) {
    text.bytes.append(open).append(name).append(1, '>');
    ++text.version;
}

// Text bytes of a capture: copied in runs, every ">" dropped.
void AppendTextRun(XmlText &text, std::string_view run) {
    for (size_t gt; (gt = run.find('>')) != std::string_view::npos; run.remove_prefix(gt + 1))
        text.bytes.append(run.substr(0, gt));
    text.bytes.append(run);
    ++text.version;
}

// One query: the state of the pass and the handling of what stands at a position.
struct Pass {
    std::string_view b;
    qsizetype n;
    QueryPath q;
    XmlStack stack;
    XmlMatches matches;
    XmlText capture;
    std::string captureName;
    bool capturing = false;

    void StartTag(qsizetype &i) {
        std::string_view attributes;
        bool selfClosing = false;
        const std::string_view name = XmlReadTag(b, i, attributes, selfClosing);
        XmlPushName(stack, name);
        if (capturing) AppendTag(capture, "<", name);
        if (!capturing && stack.upperPath == q.full) {
            captureName.assign(name);
            capture.bytes.clear();
            ++capture.version;
            capturing = true;
        }
        if (!attributes.empty() && capturing) {
            XmlAttrsToElements(attributes, capture.bytes);
            ++capture.version;
        }
        if (!capturing && stack.upperPath == q.parent &&
            ContainsIgnoringCase(attributes, q.lastEqual)) {
            capture.bytes.assign(XmlAttrValue(q.last, attributes));
            ++capture.version;
            std::string nameCopy = q.last;
            XmlStoreMatch(capture, matches, q.last, nameCopy, capturing);
        }
        if (selfClosing) CloseElement(name);
    }

    void EndTag(qsizetype &i) {
        std::string_view attributes;
        bool selfClosing = false;
        CloseElement(XmlReadTag(b, i, attributes, selfClosing));
    }

    void CloseElement(std::string_view name) {
        XmlPopName(stack, name);
        XmlStoreMatch(capture, matches, name, captureName, capturing);
        if (capturing) AppendTag(capture, "</", name);
    }

    // A start tag, an end tag, or a run of text at i; returns the next position to look at.
    qsizetype TagOrText(qsizetype i) {
        if (b[i] == '<') {
            if (i == n - 1) { // a lone "<" at the end is text
                if (capturing) Append(capture, "<");
                return n;
            }
            if (b[i + 1] == '/') EndTag(i);
            else StartTag(i);
            return i + 1; // i is on the ">" (never text) or at the buffer's end
        }
        const void *lt = std::memchr(b.data() + i, '<', size_t(n - i));
        const qsizetype end = lt ? static_cast<const char *>(lt) - b.data() : n;
        if (capturing) AppendTextRun(capture, b.substr(size_t(i), size_t(end - i)));
        return end;
    }

    void Run() {
        qsizetype i = 0;
        while (i < n) {
            const bool open = b[i] == '<';
            if (open && i < n - 1 && b[i + 1] == '?') {
                XmlSkipTag(b, i);
                ++i;
                continue;
            }
            if (open && i < n - 2 && b[i + 1] == '!' && b[i + 2] == '[') {
                Append(capture, XmlReadCData(b, i)); // kept whether capturing or not
                if (i >= n) break;
            }
            i = TagOrText(i);
        }
    }
};

} // namespace

void XmlTextToBytes(const QString &text, QByteArray &bytes) { bytes = text.toLatin1(); }

std::string_view XmlReadTag(std::string_view bytes, qsizetype &i, std::string_view &attributes,
                            bool &selfClosing) {
    attributes = {};
    selfClosing = false;
    const qsizetype n = qsizetype(bytes.size());
    if (i < 0 || i >= n || bytes[size_t(i)] != '<') return {};
    if (i + 1 < n && bytes[size_t(i + 1)] == '/') ++i;
    const qsizetype begin = i + 1;
    const void *gt = begin < n ? std::memchr(bytes.data() + begin, '>', size_t(n - begin)) : nullptr;
    const qsizetype end = gt ? static_cast<const char *>(gt) - bytes.data() : n;
    i = end;
    std::string_view tag = bytes.substr(size_t(qMin(begin, n)), size_t(qMax<qsizetype>(end - begin, 0)));
    if (!tag.empty() && tag.back() == '/') {
        selfClosing = true;
        tag = TrimSpaces(tag.substr(0, tag.size() - 1));
    }
    const size_t space = tag.find(' ');
    if (space == std::string_view::npos) return tag;
    attributes = TrimSpaces(tag.substr(space + 1));
    return TrimSpaces(tag.substr(0, space));
}

void XmlSkipTag(std::string_view bytes, qsizetype &i) {
    const qsizetype n = qsizetype(bytes.size());
    if (i < 0 || i >= n || bytes[size_t(i)] != '<') return;
    const size_t gt = bytes.find('>', size_t(i));
    i = gt == std::string_view::npos ? n : qsizetype(gt);
}

std::string_view XmlReadCData(std::string_view bytes, qsizetype &i) {
    const qsizetype n = qsizetype(bytes.size());
    if (i < 0 || i >= n) return {};
    const size_t close = bytes.find("]]>", size_t(i));
    const qsizetype end = close == std::string_view::npos ? n : qsizetype(close) + 3;
    const std::string_view section = bytes.substr(size_t(i), size_t(end - i));
    i = end;
    return section;
}

qint32 XmlPushName(XmlStack &stack, std::string_view name) {
    if (!name.empty()) {
        if (!stack.upperPath.empty()) stack.upperPath.push_back('/');
        for (const char c : name) stack.upperPath.push_back(static_cast<char>(Up(c)));
    }
    stack.names.push_back(name);
    stack.pathEnds.push_back(stack.upperPath.size());
    return qint32(stack.names.size() - 1);
}

qint32 XmlPopName(XmlStack &stack, std::string_view name) {
    if (stack.names.size() > 1 && EqualsIgnoringCase(stack.names.back(), name)) {
        stack.names.pop_back();
        stack.pathEnds.pop_back();
        stack.upperPath.resize(stack.pathEnds.back());
    }
    return qint32(stack.names.size() - 1);
}

QString XmlStackPath(const XmlStack &stack) {
    QStringList names;
    for (const std::string_view name : stack.names)
        names.append(QString::fromLatin1(name.data(), qsizetype(name.size())));
    return L_SPLITL::JoinList(names, QStringLiteral("/"), false, true);
}

std::string_view XmlAttrValue(std::string_view name, std::string_view attributes) {
    std::string_view found;
    ForEachAttribute(attributes, [&](std::string_view key, std::string_view value) {
        if (!EqualsIgnoringCase(key, name)) return false;
        found = value;
        return true;
    });
    return found;
}

void XmlAttrsToElements(std::string_view attributes, std::string &out) {
    ForEachAttribute(attributes, [&](std::string_view key, std::string_view value) {
        out.append(1, '<').append(key).append(1, '>').append(value);
        out.append("</").append(key).append(1, '>');
        return false;
    });
}

void XmlStoreMatch(const XmlText &text, XmlMatches &results, std::string_view closingName,
                   std::string &captureName, bool &capturing) {
    if (text.bytes.empty() || !EqualsIgnoringCase(closingName, captureName)) return;
    captureName.clear();
    if (results.lastVersion == text.version && results.entries.size() > 1) {
        results.entries.append(results.entries.back()); // shared, not copied
    } else {
        results.entries.append(QString::fromLatin1(text.bytes.data(), qsizetype(text.bytes.size())));
        results.lastVersion = text.version;
    }
    capturing = false;
}

qint32 XmlQuery(const QString &document, const QString &path, QStringList &results) {
    QByteArray buffer;
    XmlTextToBytes(document, buffer);
    Pass pass{std::string_view(buffer.constData(), size_t(buffer.size())), buffer.size(),
              MakeQueryPath(path), {}, {}, {}, {}, false};
    pass.Run();
    results = std::move(pass.matches.entries);
    return qint32(results.size() - 1);
}

} // namespace L_XML
