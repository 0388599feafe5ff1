#include "xml_text/L_XML_p.h"

#include "geo_files/L_PFADE.h"
#include "xml_text/L_SPLITL.h"

namespace L_XML {

namespace {

using namespace scan;

// The query path taken apart once per query: the parent path and the last name are a
// prefix and a suffix of the full path.
struct QueryPath {
    std::string full;    // upper case
    size_t parentLength; // the parent path: the path before the last separator, less one
                         // trailing separator; the whole path when it has none
    size_t lastAt;       // the last name: what follows the last separator, or the whole path
    std::string_view Last() const { return std::string_view(full).substr(lastAt); }
};

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// False when the path has a character outside Latin-1, which no byte of a document matches.
bool MakeQueryPath(const QString &path, QueryPath &q) {
    using L_PFADE::StripTrailingSeparator;
    const QString full = L_PFADE::TrimSpaces(StripTrailingSeparator(L_PFADE::TrimSpaces(path)));
    q.full.resize(size_t(full.size()));
    for (qsizetype k = 0; k < full.size(); ++k) {
        if (full[k].unicode() > 0xFF) return false;
        q.full[size_t(k)] = char(Upper[full[k].unicode()]);
    }
    size_t cut = q.full.size();
    while (cut > 0 && !IsSeparator(q.full[cut - 1])) --cut;
    q.lastAt = cut;
    q.parentLength = cut == 0 ? q.full.size() : cut - 1;
    if (q.parentLength > 1 && IsSeparator(q.full[q.parentLength - 1])) --q.parentLength;
    return true;
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

// How much of `target` the path of the parent (matching its first parentEnd bytes) and
// then `name` matches, or OffTarget.
HOT_INLINE quint32 PathEndAfter(std::string_view target, quint32 parentEnd, std::string_view name) {
    if (parentEnd == XmlOpenElement::OffTarget) return parentEnd; // off the target stays off
    const size_t at = parentEnd == 0 ? 0 : parentEnd + 1;
    if (at + name.size() > target.size() || (parentEnd > 0 && target[parentEnd] != '/'))
        return XmlOpenElement::OffTarget;
    for (size_t k = 0; k < name.size(); ++k)
        if (Up(name[k]) != static_cast<unsigned char>(target[at + k]))
            return XmlOpenElement::OffTarget;
    return quint32(at + name.size());
}

// XmlPushName and XmlPopName, inlined into the pass.
HOT_INLINE qint32 Push(XmlStack &stack, std::string_view name) {
    // The storage only grows at a new greatest depth, and only by what is used.
    if (stack.top + 1 == stack.entries.size()) stack.entries.emplace_back();
    const quint32 parentEnd = stack.entries[stack.top].pathEnd;
    XmlOpenElement &entry = stack.entries[++stack.top];
    entry.name = name.data();
    entry.nameLength = quint32(name.size());
    entry.pathEnd = name.empty() ? parentEnd : PathEndAfter(stack.target, parentEnd, name);
    return qint32(stack.top);
}

HOT_INLINE qint32 Pop(XmlStack &stack, std::string_view name) {
    if (stack.top > 0 && EqualsIgnoringCase(stack.entries[stack.top].Name(), name)) --stack.top;
    return qint32(stack.top);
}

HOT_INLINE void StoreMatch(XmlCapture &capture, QStringList &results,
                           std::string_view closingName) {
    if (!EqualsIgnoringCase(closingName, capture.name) || !capture.Store(results)) return;
    capture.name = {};
    capture.active = false;
}

// One query: the state of the pass and one function for each kind of markup it meets.
struct Pass {
    std::string_view b; // the document's bytes
    qsizetype n;
    const QueryPath &path;
    XmlStack stack;
    XmlCapture capture;
    QStringList results{QString()};
    std::string rewritten; // scratch for the bytes of a rewritten tag

    Pass(std::string_view bytes, const QueryPath &query)
        : b(bytes), n(qsizetype(bytes.size())), path(query) {
        stack.target = path.full;
    }

    // A "<" at i, and `next` after it.
    bool Opens(qsizetype i, char next) const {
        return i + 1 < n && b[size_t(i)] == '<' && b[size_t(i + 1)] == next;
    }

    void Run() {
        for (qsizetype i = 0; i < n;) {
            if (Opens(i, '?')) i = XmlSkipTag(b, i); // a processing instruction: to its ">"
            if (Opens(i, '!') && i + 2 < n && b[size_t(i + 2)] == '[') i = CData(i);
            XmlTag tag; // a tag's scan may have seen where the text after it ends
            if (i + 1 < n && b[size_t(i)] == '<') { // a start or end tag: each ends on its ">"
                tag = b[size_t(i + 1)] == '/' ? EndTag(i) : StartTag(i);
                i = tag.end;
            }
            i = Text(i, tag.textEnd); // the text after it, up to the next "<"
        }
    }

    // A CDATA section joins the capture text, whether capturing or not.
    qsizetype CData(qsizetype i) {
        const std::string_view section = XmlReadCData(b, i);
        capture.Verbatim(section.data(), section.size());
        return i + qsizetype(section.size());
    }

    // A start tag, or a self-closing one; the pass goes on at its ">".
    HOT_INLINE XmlTag StartTag(qsizetype i) {
        const XmlTag tag = ReadTagAt(b, i);
        Push(stack, tag.name);
        if (capture.active)
            CopyTag(i, "<", tag); // inside the capture: written anew
        else if (stack.PathIs(path.full.size()))
            capture.Start(tag.name); // the element at the path: its capture begins
        if (capture.active && !tag.attributes.empty()) AttributesAsElements(tag);
        if (!capture.active && stack.PathIs(path.parentLength))
            AttributeRoute(tag); // "a/b" of <a b="">
        if (tag.selfClosing) {   // its end at once
            Pop(stack, tag.name);
            StoreMatch(capture, results, tag.name);
            if (capture.active) Rewrite("</", tag.name);
        }
        return tag;
    }

    // An end tag; the pass goes on at its ">".
    HOT_INLINE XmlTag EndTag(qsizetype i) {
        const XmlTag tag = ReadTagAt(b, i);
        Pop(stack, tag.name);
        StoreMatch(capture, results, tag.name);
        if (capture.active) CopyTag(i, "</", tag);
        return tag;
    }

    // Text: byte i, whatever it is (a "<" here is the last byte), and the run after
    // it up to the next "<". While capturing it joins the capture, less every ">".
    // `knownEnd`, when above i, is that next "<", with no ">" before it.
    HOT_INLINE qsizetype Text(qsizetype i, qsizetype knownEnd) {
        if (i >= n) return n;
        if (knownEnd > i) [[likely]] {
            Q_ASSERT(b[size_t(i)] == '>' && knownEnd < n && b[size_t(knownEnd)] == '<');
            if (capture.active) capture.Verbatim(b.data() + i + 1, size_t(knownEnd - i - 1));
            return knownEnd;
        }
        if (!capture.active) return Find<'<'>(b.data(), i + 1, n);
        qsizetype from = b[size_t(i)] == '>' ? i + 1 : i; // every ">" in text is dropped
        for (qsizetype stop = Find<'<', '>'>(b.data(), i + 1, n);;
             stop = Find<'<', '>'>(b.data(), from, n)) {
            capture.Verbatim(b.data() + from, size_t(stop - from));
            if (stop == n || b[size_t(stop)] == '<') return stop;
            from = stop + 1;
        }
    }

    // The tag at i written as open + name + ">": its own bytes when they read so already.
    HOT_INLINE void CopyTag(qsizetype i, std::string_view open, const XmlTag &tag) {
        const qsizetype nameAt = i + qsizetype(open.size());
        const bool plain = tag.end < n && tag.name.data() == b.data() + nameAt &&
                           qsizetype(tag.name.size()) == tag.end - nameAt;
        Q_ASSERT(!plain || (tag.attributes.empty() && !tag.selfClosing));
        if (plain)
            capture.Verbatim(b.data() + i, size_t(tag.end + 1 - i));
        else
            Rewrite(open, tag.name);
    }

    void Rewrite(std::string_view open, std::string_view name) {
        rewritten.assign(open).append(name).append(1, '>');
        capture.Rewritten(rewritten);
    }

    void AttributesAsElements(const XmlTag &tag) {
        rewritten.clear();
        XmlAttrsToElements(tag.attributes, rewritten);
        capture.Rewritten(rewritten);
    }

    // An attribute that the path names is a match of its own.
    void AttributeRoute(const XmlTag &tag) {
        if (!HasNameEquals(tag.attributes, path.Last())) return;
        capture.Assign(XmlAttrValue(path.Last(), tag.attributes));
        capture.Store(results);
    }
};

} // namespace

void XmlCapture::Start(std::string_view element) {
    name = element;
    active = true;
    bytes.clear();
    spanBegin = spanEnd = nullptr;
    stored = false;
}

void XmlCapture::Assign(std::string_view value) {
    bytes.assign(value);
    spanBegin = spanEnd = nullptr;
    stored = false;
}

bool XmlCapture::Store(QStringList &results) {
    // Most entries are one span of the input: they are converted from there, not copied.
    if (!bytes.empty() && spanEnd != spanBegin) Flush();
    const std::string_view text =
        bytes.empty() ? std::string_view(spanBegin, size_t(spanEnd - spanBegin)) : bytes;
    if (text.empty()) return false;
    Q_ASSERT(!stored || results.size() > 1);
    if (stored) // unchanged since it was stored: the entry is shared, not copied
        results.append(results.constLast());
    else
        results.append(QString::fromLatin1(text.data(), qsizetype(text.size())));
    stored = true;
    return true;
}

void XmlTextToBytes(const QString &text, QByteArray &bytes) {
    bytes = text.toLatin1();
}

XmlTag XmlReadTag(std::string_view bytes, qsizetype i) {
    const qsizetype n = qsizetype(bytes.size());
    if (i < 0 || i >= n || bytes[size_t(i)] != '<') return XmlTag{{}, {}, false, i};
    if (i + 1 == n) return XmlTag{{}, {}, false, n}; // a "<" at the end: an empty tag
    return ReadTagAt(bytes, i);
}

qsizetype XmlSkipTag(std::string_view bytes, qsizetype i) {
    const qsizetype n = qsizetype(bytes.size());
    if (i < 0 || i >= n || bytes[size_t(i)] != '<') return i;
    return Find<'>'>(bytes.data(), i, n);
}

std::string_view XmlReadCData(std::string_view bytes, qsizetype i) {
    if (i < 0 || i >= qsizetype(bytes.size())) return {};
    const size_t close = bytes.find("]]>", size_t(i));
    const size_t end = close == std::string_view::npos ? bytes.size() : close + 3;
    return bytes.substr(size_t(i), end - size_t(i));
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

void XmlStoreMatch(XmlCapture &capture, QStringList &results, std::string_view closingName) {
    StoreMatch(capture, results, closingName);
}

qint32 XmlQuery(const QString &document, const QString &path, QStringList &results) {
    QueryPath query;
    if (!MakeQueryPath(path, query)) {
        results = QStringList{QString()};
        return 0;
    }
    QByteArray bytes; // before results are replaced: the document may be one of them
    XmlTextToBytes(document, bytes);
    Pass pass(std::string_view(bytes.constData(), size_t(bytes.size())), query);
    pass.Run();
    results = std::move(pass.results);
    return qint32(results.size() - 1);
}

QString XmlFirst(const QString &document, const QString &path, bool *found) {
    QStringList entries;
    const bool any = XmlQuery(document, path, entries) >= 1;
    if (found) *found = any;
    return any ? entries[1] : QString();
}

} // namespace L_XML
