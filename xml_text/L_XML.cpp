#include "xml_text/L_XML.h"

#include "geo_files/L_PFADE.h"
#include "xml_text/L_SPLITL.h"

#include <array>
#include <bit>
#include <cstring>

// The hot steps are inlined into the pass; the compilers need to be told.
#if defined(__GNUC__)
#define HOT_INLINE [[gnu::always_inline]] inline
#elif defined(_MSC_VER)
#define HOT_INLINE __forceinline
#else
#define HOT_INLINE inline
#endif

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define GEODATEN_SSE2 1
#endif

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

inline unsigned char Up(char c) {
    return Upper[static_cast<unsigned char>(c)];
}

// Equal bytes, compared a word at a time: names are short and mostly equal, and a
// byte loop pays a branch per byte.
HOT_INLINE bool SameBytes(const char *a, const char *b, size_t n) {
    if (n >= 8) {
        quint64 x, y;
        for (size_t k = 0; k + 8 <= n; k += 8) {
            std::memcpy(&x, a + k, 8);
            std::memcpy(&y, b + k, 8);
            if (x != y) return false;
        }
        std::memcpy(&x, a + n - 8, 8); // the tail, overlapping the last word
        std::memcpy(&y, b + n - 8, 8);
        return x == y;
    }
    if (n >= 4) {
        quint32 x, y, u, v;
        std::memcpy(&x, a, 4);
        std::memcpy(&y, b, 4);
        std::memcpy(&u, a + n - 4, 4);
        std::memcpy(&v, b + n - 4, 4);
        return x == y && u == v;
    }
    for (size_t k = 0; k < n; ++k)
        if (a[k] != b[k]) return false;
    return true;
}

HOT_INLINE bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (SameBytes(a.data(), b.data(), a.size())) return true;
    for (size_t k = 0; k < a.size(); ++k)
        if (a[k] != b[k] && Up(a[k]) != Up(b[k])) return false;
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
    size_t parentLength;   // the parent path is a prefix of the full path: its length tells it
    std::string last;      // as written
    std::string lastEqual; // upper case last name followed by "="
};

QueryPath MakeQueryPath(const QString &path) {
    using L_PFADE::StripTrailingSeparator;
    const QString full = L_PFADE::TrimSpaces(StripTrailingSeparator(L_PFADE::TrimSpaces(path)));
    const QString last = L_PFADE::PathLastPart(full, false);
    QueryPath q;
    q.full = UpperBytes(full);
    q.parentLength = size_t(StripTrailingSeparator(L_PFADE::PathParent(full)).toLatin1().size());
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
        const std::string_view value = TrimSpaces(attributes.substr(open + 1, valueEnd - open - 1));
        if (!key.empty() && key.back() == '=') key = TrimSpaces(key.substr(0, key.size() - 1));
        if (pair(key, value) || close == std::string_view::npos) return;
        pos = close + 1;
    }
}

// --- The capture text: verbatim spans of the input, copied lazily. ---

inline void Flush(XmlText &text) {
    if (text.spanLength) text.bytes.append(text.span, text.spanLength);
    text.spanLength = 0;
}

HOT_INLINE void AppendVerbatim(XmlText &text, const char *from, size_t length) {
    if (!length) return;
    if (text.spanLength && text.span + text.spanLength == from) {
        text.spanLength += length;
    } else {
        Flush(text);
        text.span = from;
        text.spanLength = length;
    }
    ++text.version;
}

void Assign(XmlText &text, std::string_view bytes) {
    text.spanLength = 0;
    text.bytes.assign(bytes);
    ++text.version;
}

bool IsEmpty(const XmlText &text) {
    return text.bytes.empty() && !text.spanLength;
}

std::string_view View(XmlText &text) {
    if (text.bytes.empty()) return std::string_view(text.span, text.spanLength);
    Flush(text);
    return text.bytes;
}

void AppendTag(XmlText &text, std::string_view open, std::string_view name) {
    Flush(text);
    text.bytes.append(open).append(name).append(1, '>');
    ++text.version;
}

// The stack path equals the first `length` bytes of the target, ignoring case.
HOT_INLINE bool PathIs(const XmlStack &stack, size_t length) {
    return stack.entries[stack.top].pathEnd == length; // never XmlOffTarget
}

// Scanning, 16 bytes at a time where the CPU allows: the hot loops of the reader.
// FirstOf returns the first position from `from` that holds `stop`, or n; `also`, when
// given, gets the first position before it that holds `other` (or stays -1). `nextAt`, when
// given, gets the first `next` after the stop if the stop's block shows it with no other
// stop in between, else -1: a tag's scan tells where the text after it ends.
HOT_INLINE qsizetype FirstOf(const char *data, qsizetype from, qsizetype n, char stop, char other,
                             qsizetype *also, char next = 0, qsizetype *nextAt = nullptr) {
    qsizetype k = from;
    if (nextAt) *nextAt = -1;
#ifdef GEODATEN_SSE2
    const __m128i stops = _mm_set1_epi8(stop), others = _mm_set1_epi8(other),
                  nexts = _mm_set1_epi8(next);
    for (; k + 16 <= n; k += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + k));
        const unsigned hit = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, stops)));
        if (also && *also < 0) {
            unsigned seen = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, others)));
            if (hit) seen &= (1u << std::countr_zero(hit)) - 1;
            if (seen) *also = k + std::countr_zero(seen);
        }
        if (!hit) continue;
        const int at = std::countr_zero(hit);
        if (nextAt) {
            const unsigned after = ~((2u << at) - 1); // the bits beyond the stop
            const unsigned seen = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, nexts))) & after;
            if (seen && !(hit & after & ((1u << std::countr_zero(seen)) - 1)))
                *nextAt = k + std::countr_zero(seen);
        }
        return k + at;
    }
#endif
    for (; k < n && data[k] != stop; ++k)
        if (also && *also < 0 && data[k] == other) *also = k;
    return k;
}

HOT_INLINE qint32 Push(XmlStack &stack, std::string_view name) {
    // The storage only grows at a new greatest depth, and only by what is used.
    if (stack.top + 1 == stack.entries.size()) stack.entries.emplace_back();
    // The fields are written in place: a record built aside and copied in would be read
    // back before its bytes had left the store buffer, stalling every tag.
    const XmlOpenElement &parent = stack.entries[stack.top];
    XmlOpenElement &entry = stack.entries[++stack.top];
    entry.name = name.data();
    entry.nameLength = quint32(name.size());
    quint32 pathEnd = parent.pathEnd;
    if (!name.empty() && pathEnd != XmlOffTarget) { // off the target stays off it
        const size_t separator = pathEnd > 0 ? 1 : 0;
        const size_t length = pathEnd + separator + name.size();
        const std::string_view target = stack.target;
        const size_t at = pathEnd + separator;
        bool onTarget = length <= target.size() && (!separator || target[pathEnd] == '/');
        for (size_t k = 0; onTarget && k < name.size(); ++k)
            onTarget = Up(name[k]) == static_cast<unsigned char>(target[at + k]);
        pathEnd = onTarget ? quint32(length) : XmlOffTarget;
    }
    entry.pathEnd = pathEnd;
    return qint32(stack.top);
}

HOT_INLINE qint32 Pop(XmlStack &stack, std::string_view name) {
    if (stack.top > 0 && EqualsIgnoringCase(stack.entries[stack.top].Name(), name)) --stack.top;
    return qint32(stack.top);
}

// XmlReadTag once its caller knows that bytes[i] is "<": the reader's hot path.
HOT_INLINE std::string_view ReadTagAt(const char *data, qsizetype n, qsizetype &i,
                                      std::string_view &attributes, bool &selfClosing,
                                      qsizetype &textEnd) {
    if (i + 1 < n && data[i + 1] == '/') ++i;
    // One scan finds the ">" that ends the tag and the first space in it.
    const qsizetype begin = i + 1;
    qsizetype space = -1;
    const qsizetype k = FirstOf(data, begin, n, '>', ' ', &space, '<', &textEnd);
    i = k;
    std::string_view tag(data + begin, size_t(k - begin));
    if (!tag.empty() && tag.back() == '/') {
        selfClosing = true;
        tag = TrimSpaces(tag.substr(0, tag.size() - 1));
        const size_t first = tag.find(' ');
        space =
            first == std::string_view::npos ? -1 : qsizetype(tag.data() - data) + qsizetype(first);
    }
    if (space < 0) return tag;
    const size_t cut = size_t(space - (tag.data() - data));
    attributes = TrimSpaces(tag.substr(cut + 1));
    return tag.substr(0, cut); // holds no space: nothing to trim
}

// One query: the state of the pass and the handling of what stands at a position.
// While capturing, the input from `live` on is part of the capture text as it stands; it
// is cut off into the capture only where the output departs from the input (a tag
// rewritten, a ">" dropped, a processing instruction skipped) or a match is stored.
struct Pass {
    std::string_view b;
    qsizetype n;
    QueryPath q;
    XmlStack stack;
    XmlMatches matches;
    XmlText capture;
    std::string captureName;
    bool capturing = false;
    const char *live = nullptr;

    void Cut(qsizetype at) {
        if (!live) return;
        AppendVerbatim(capture, live, size_t(b.data() + at - live));
        live = nullptr;
    }
    void Resume(qsizetype at) {
        if (capturing) live = b.data() + at;
    }

    // A tag rewritten as "<name>" or "</name>" equals its input bytes when its text is
    // exactly the name and its ">" was found.
    bool Plain(qsizetype from, qsizetype gt, std::string_view name, bool selfClosing) const {
        return gt < n && !selfClosing && name.data() == b.data() + from &&
               qsizetype(name.size()) == gt - from;
    }

    void Store(qsizetype at, std::string_view closingName) {
        if (!EqualsIgnoringCase(closingName, captureName)) return; // nothing would change
        Cut(at);
        XmlStoreMatch(capture, matches, closingName, captureName, capturing);
    }

    void StartTag(qsizetype &i, qsizetype &textEnd) {
        const qsizetype open = i;
        std::string_view attributes;
        bool selfClosing = false;
        const std::string_view name = ReadTagAt(b.data(), n, i, attributes, selfClosing, textEnd);
        Push(stack, name);
        const bool plain = Plain(open + 1, i, name, selfClosing);
        if (capturing && !plain) {
            Cut(open);
            AppendTag(capture, "<", name);
        }
        if (!capturing && PathIs(stack, q.full.size())) {
            captureName.assign(name);
            Assign(capture, {});
            capturing = true;
        }
        if (!attributes.empty() && capturing) {
            Flush(capture); // a tag with attributes is never plain: nothing is live here
            XmlAttrsToElements(attributes, capture.bytes);
            ++capture.version;
        }
        if (!capturing && PathIs(stack, q.parentLength) &&
            ContainsIgnoringCase(attributes, q.lastEqual)) {
            Assign(capture, XmlAttrValue(q.last, attributes));
            std::string nameCopy = q.last;
            XmlStoreMatch(capture, matches, q.last, nameCopy, capturing);
        }
        if (selfClosing) {
            Pop(stack, name);
            Store(i, name);
            if (capturing) AppendTag(capture, "</", name);
        }
        if (capturing && !live) Resume(qMin(i + 1, n));
    }

    void EndTag(qsizetype &i, qsizetype &textEnd) {
        const qsizetype open = i;
        std::string_view attributes;
        bool selfClosing = false;
        const std::string_view name = ReadTagAt(b.data(), n, i, attributes, selfClosing, textEnd);
        Pop(stack, name);
        Store(open, name);
        if (!capturing) return;
        if (Plain(open + 2, i, name, selfClosing)) {
            if (!live) Resume(open);
            return;
        }
        Cut(open);
        AppendTag(capture, "</", name);
        Resume(qMin(i + 1, n));
    }

    // A start or end tag and the text after it, or a run of text, at i; returns the next
    // position to look at.
    qsizetype TagOrText(qsizetype i) {
        if (b[i] == '<') {
            if (i == n - 1) return n; // a lone "<" at the end is text: already in a live capture
            qsizetype textEnd;
            if (b[i + 1] == '/')
                EndTag(i, textEnd);
            else
                StartTag(i, textEnd);
            if (i >= n) return n;
            // i is on the ">" (never text). Text without a ">" is passive: while capturing,
            // it is already live.
            return textEnd >= 0 ? textEnd : Text(i + 1);
        }
        return Text(i);
    }

    // A run of text from i, up to the next "<" or the end.
    qsizetype Text(qsizetype i) {
        if (!capturing) return FirstOf(b.data(), i, n, '<', '<', nullptr);
        qsizetype close = -1;
        const qsizetype end = FirstOf(b.data(), i, n, '<', '>', &close);
        while (close >= 0) { // every ">" in text is dropped
            Cut(close);
            Resume(close + 1);
            const qsizetype next = FirstOf(b.data(), close + 1, end, '>', '>', nullptr);
            close = next < end ? next : -1;
        }
        return end;
    }

    void Run() {
        stack.target = q.full;
        qsizetype i = 0;
        while (i < n) {
            const bool open = b[i] == '<';
            if (open && i < n - 1 && b[i + 1] == '?') {
                Cut(i);
                XmlSkipTag(b, i);
                Resume(qMin(i + 1, n));
                ++i;
                continue;
            }
            if (open && i < n - 2 && b[i + 1] == '!' && b[i + 2] == '[') {
                const std::string_view section =
                    XmlReadCData(b, i); // kept whether capturing or not
                if (!live) AppendVerbatim(capture, section.data(), section.size());
                if (i >= n) break;
            }
            i = TagOrText(i);
        }
    }
};

} // namespace

void XmlTextToBytes(const QString &text, QByteArray &bytes) {
    bytes = text.toLatin1();
}

std::string_view XmlReadTag(std::string_view bytes, qsizetype &i, std::string_view &attributes,
                            bool &selfClosing) {
    attributes = {};
    selfClosing = false;
    const qsizetype n = qsizetype(bytes.size());
    if (i < 0 || i >= n || bytes[size_t(i)] != '<') return {};
    qsizetype textEnd;
    return ReadTagAt(bytes.data(), n, i, attributes, selfClosing, textEnd);
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
    return Push(stack, name);
}

qint32 XmlPopName(XmlStack &stack, std::string_view name) {
    return Pop(stack, name);
}

QString XmlStackPath(const XmlStack &stack) {
    QStringList names;
    for (size_t k = 0; k <= stack.top; ++k)
        names.append(
            QString::fromLatin1(stack.entries[k].name, qsizetype(stack.entries[k].nameLength)));
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

void XmlStoreMatch(XmlText &text, XmlMatches &results, std::string_view closingName,
                   std::string &captureName, bool &capturing) {
    if (IsEmpty(text) || !EqualsIgnoringCase(closingName, captureName)) return;
    captureName.clear();
    if (results.lastVersion == text.version && results.entries.size() > 1) {
        results.entries.append(results.entries.back()); // shared, not copied
    } else {
        const std::string_view entry = View(text);
        results.entries.append(QString::fromLatin1(entry.data(), qsizetype(entry.size())));
        results.lastVersion = text.version;
    }
    capturing = false;
}

qint32 XmlQuery(const QString &document, const QString &path, QStringList &results) {
    QByteArray buffer;
    XmlTextToBytes(document, buffer);
    Pass pass{std::string_view(buffer.constData(), size_t(buffer.size())),
              buffer.size(),
              MakeQueryPath(path),
              {},
              {},
              {},
              {},
              false};
    pass.Run();
    results = std::move(pass.matches.entries);
    return qint32(results.size() - 1);
}

} // namespace L_XML
