#pragma once
// The reader's own records: the open elements and the capture. Only L_XML.cpp and its
// tests include this.
#include "xml_text/L_XML.h"

#include <vector>

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

} // namespace L_XML
