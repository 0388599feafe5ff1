#pragma once
// The reader's own records (the open elements and the capture) and the byte scans of its
// pass. Only L_XML.cpp includes this.
#include "xml_text/L_XML.h"

#include <array>
#include <bit>
#include <cstring>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define GEODATEN_SSE2 1
#endif

// The steps of the pass are inlined into it; the compilers need to be told.
#if defined(__GNUC__)
#define HOT_INLINE [[gnu::always_inline]] inline
#elif defined(_MSC_VER)
#define HOT_INLINE __forceinline
#else
#define HOT_INLINE inline
#endif

namespace L_XML {

// Open elements: entries[0..top], entry 0 empty and naming no element. Instead of the
// stack path each entry keeps how much of `target` (the upper-cased query path) the path
// up to it matches: every path the pass compares with is a prefix of the query path, so a
// tag costs the same at any depth. Sixteen bytes an entry: a document nested a million
// deep keeps a million of them.
struct XmlOpenElement {
    static constexpr quint32 OffTarget = ~quint32(0); // the path here is no prefix of target
    const char *name = nullptr;                       // the name's bytes in the document
    quint32 nameLength = 0;
    quint32 pathEnd = 0; // the path up to here equals target's first pathEnd bytes
    std::string_view Name() const { return {name, nameLength}; }
};
struct XmlStack {
    std::vector<XmlOpenElement> entries = std::vector<XmlOpenElement>(32);
    size_t top = 0;
    std::string_view target;
    // True when the stack path equals target's first `length` bytes, ignoring case.
    bool PathIs(size_t length) const {
        Q_ASSERT(length != XmlOpenElement::OffTarget);
        return entries[top].pathEnd == length;
    }
};

// The text of the element being captured, and after a store the text last stored (the
// pass may store it again). Most of it is the input itself: a run of input bytes stays a
// span of the input and is copied only when something else must follow it.
struct XmlCapture {
    std::string_view name; // the element whose end tag stores the capture; empty when idle
    bool active = false;

    void Start(std::string_view element);      // capturing `element`, with an empty text
    void Verbatim(const char *from, size_t n); // input bytes as they stand
    void Rewritten(std::string_view more);     // bytes of the reader's own
    void Assign(std::string_view value);       // the text becomes `value` (a copy)
    bool Store(QStringList &results);          // appends the text; false (nothing) when empty

private:
    std::string bytes;                                   // the text up to the span
    const char *spanBegin = nullptr, *spanEnd = nullptr; // the input bytes that follow `bytes`
    bool stored = false; // the text is results' last entry: storing again shares it
    void Flush();        // the span joins `bytes`
};

// Called for every tag and text of a capture: defined here, so that the pass inlines them.
inline void XmlCapture::Flush() {
    bytes.append(spanBegin, size_t(spanEnd - spanBegin));
    spanBegin = spanEnd = nullptr;
}

inline void XmlCapture::Verbatim(const char *from, size_t n) {
    Q_ASSERT(from);
    if (from == spanEnd) { // the input goes on where the span ends (never just after a store:
        Q_ASSERT(!stored); // the end tag that stored it lies between)
        spanEnd += n;
        return;
    }
    stored = false;
    if (n == 0) return;
    if (spanEnd != spanBegin) Flush();
    spanBegin = from;
    spanEnd = from + n;
}

inline void XmlCapture::Rewritten(std::string_view more) {
    stored = false;
    if (spanEnd != spanBegin) Flush();
    bytes.append(more);
}

// Index of the new top entry.
qint32 XmlPushName(XmlStack &stack, std::string_view name);
// Removes the top entry when it names `name` ignoring case (never entry 0); index of the
// top entry afterwards.
qint32 XmlPopName(XmlStack &stack, std::string_view name);
// The non-empty names of the open elements joined with "/".
QString XmlStackPath(const XmlStack &stack);
// Ends the capture when the closing name is the capture's (ignoring case) and its text is
// not empty: the text becomes the next entry and the capture goes idle.
void XmlStoreMatch(XmlCapture &capture, QStringList &results, std::string_view closingName);

// The byte scans the pass inlines: case folding, comparisons, the search for the next stop
// byte a 16-byte block at a time, and the reading of one tag.
namespace scan {

// Upper case of a Latin-1 byte where Latin-1 has one: a-z and U+00E0..U+00FE but U+00F7.
constexpr std::array<unsigned char, 256> MakeUpperTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const bool lower = (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
        table[c] = static_cast<unsigned char>(lower ? c - 0x20 : c);
    }
    return table;
}
inline constexpr std::array<unsigned char, 256> Upper = MakeUpperTable();

inline unsigned char Up(char c) {
    return Upper[static_cast<unsigned char>(c)];
}

// Equal bytes, a word at a time: names are short and mostly equal, and a byte loop pays a
// branch per byte.
HOT_INLINE bool SameBytes(const char *a, const char *b, size_t n) {
    quint64 x = 0, y = 0;
    if (n >= 8) {
        for (size_t k = 0; k + 8 <= n; k += 8) {
            std::memcpy(&x, a + k, 8);
            std::memcpy(&y, b + k, 8);
            if (x != y) return false;
        }
        std::memcpy(&x, a + n - 8, 8); // the tail, overlapping the last word
        std::memcpy(&y, b + n - 8, 8);
        return x == y;
    }
    if (n >= 4) { // two half words, overlapping
        quint32 u = 0, v = 0, s = 0, t = 0;
        std::memcpy(&u, a, 4);
        std::memcpy(&v, b, 4);
        std::memcpy(&s, a + n - 4, 4);
        std::memcpy(&t, b + n - 4, 4);
        return u == v && s == t;
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

// True when the attributes hold `upperName` followed by "=", ignoring case. The name is one
// from the query path, so this costs the attribute text's length times a short constant.
inline bool HasNameEquals(std::string_view attributes, std::string_view upperName) {
    for (size_t at = 0; at + upperName.size() < attributes.size(); ++at) {
        size_t k = 0;
        while (k < upperName.size() && Up(attributes[at + k]) == Up(upperName[k])) ++k;
        if (k == upperName.size() && attributes[at + k] == '=') return true;
    }
    return false;
}

inline std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// Which of the 16 bytes at p hold one of `Stops`: bit k for byte p + k. The reader's only
// SIMD: the runs between tags are short, and one block usually holds a whole tag and the
// text after it.
template <char... Stops> HOT_INLINE unsigned Bits16(const char *p) {
#ifdef GEODATEN_SSE2
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    return unsigned(_mm_movemask_epi8((... | _mm_cmpeq_epi8(block, _mm_set1_epi8(Stops)))));
#else
    unsigned bits = 0;
    for (unsigned k = 0; k < 16; ++k)
        if (((p[k] == Stops) || ...)) bits |= 1u << k;
    return bits;
#endif
}

// The first position in [from, n) that holds one of `Stops`, or n.
template <char... Stops> HOT_INLINE qsizetype Find(const char *data, qsizetype from, qsizetype n) {
    for (; from + 16 <= n; from += 16)
        if (const unsigned bits = Bits16<Stops...>(data + from))
            return from + std::countr_zero(bits);
    while (from < n && ((data[from] != Stops) && ...)) ++from;
    return from;
}

// The rule for a tag's text: a trailing "/" makes the tag self-closing and goes with the
// spaces around it; the name ends at the first space, the attributes follow it.
inline void SplitTagText(std::string_view text, XmlTag &tag) {
    if (!text.empty() && text.back() == '/') {
        tag.selfClosing = true;
        text = TrimSpaces(text.substr(0, text.size() - 1));
    }
    const size_t space = text.find(' ');
    tag.name = TrimSpaces(text.substr(0, space));
    if (space != std::string_view::npos) tag.attributes = TrimSpaces(text.substr(space + 1));
}

// A tag whose text is its name, perhaps with a "/" (most tags), read a block at a time from
// the byte after its "<" (the name begins there or, in an end tag, one byte later: the scan
// need not wait for that byte). The block that holds its ">" often shows the "<" that ends
// the text after it too. False, with nothing read, when a space comes first or the bytes
// left are fewer than a block.
HOT_INLINE bool ReadPlainTag(const char *data, qsizetype i, qsizetype begin, qsizetype n,
                             XmlTag &tag) {
    for (qsizetype at = i + 1; at + 16 <= n; at += 16) {
        const unsigned gts = Bits16<'>'>(data + at);
        const unsigned gt = gts & -gts;                      // the first ">", as a bit
        if (Bits16<' '>(data + at) & (gt - 1)) return false; // a space before it, or no ">"
        if (!gt) continue;
        tag.end = at + std::countr_zero(gt);
        tag.selfClosing = tag.end > begin && data[tag.end - 1] == '/';
        tag.name = std::string_view(data + begin, size_t(tag.end - begin - tag.selfClosing));
        const unsigned after = ~((gt << 1) - 1); // the bytes after the ">"
        const unsigned lts = Bits16<'<'>(data + at) & after, lt = lts & -lts;
        if (lt && !(gts & after & (lt - 1))) tag.textEnd = at + std::countr_zero(lt);
        return true;
    }
    return false;
}

// The tag at the "<" at i (i + 1 < n): the pass's XmlReadTag.
HOT_INLINE XmlTag ReadTagAt(std::string_view bytes, qsizetype i) {
    XmlTag tag;
    const qsizetype n = qsizetype(bytes.size());
    const qsizetype begin = bytes[size_t(i + 1)] == '/' ? i + 2 : i + 1;
    if (ReadPlainTag(bytes.data(), i, begin, n, tag)) [[likely]]
        return tag;
    tag.end = Find<'>'>(bytes.data(), begin, n);
    SplitTagText(bytes.substr(size_t(begin), size_t(tag.end - begin)), tag);
    return tag;
}

} // namespace scan

} // namespace L_XML
