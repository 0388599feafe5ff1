#pragma once
// The system's own small XML reader: one forward pass per query over the document's
// bytes, no tree. It knows start, end and self-closing tags, attributes in double quotes,
// processing instructions (skipped) and CDATA (kept with its delimiters). It decodes no
// entity, knows no comment or doctype (read as start tags) and checks nothing.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

namespace L_XML {

// Count of matches; results[1..count] hold, in document order, the content of every
// element at `path` (its own attributes first, written as child elements; inner tags
// written anew without attributes; ">" in text dropped) and the value of every attribute
// that the path names. The entries are byte texts like the document.
// A path is absolute from the top level of the document: "/a" and a path matching
// nothing give 0 and a list of entry 0 alone; a trailing "/" is ignored; case is ignored.
qint32 XmlQuery(const QString &document, const QString &path, QStringList &results);

// --- The steps of the pass. Positions index the byte buffer. ---

// Open elements: entries[0..top], entry 0 empty and naming no element. Instead of the
// stack path itself each entry keeps its length and whether it is still a prefix of
// `target` (the upper-cased query path, ignoring case): the paths the reader compares with
// are all prefixes of the query path, so a tag costs nothing per level of depth.
// Sixteen bytes an entry: a document nested a million deep keeps a million of them.
constexpr quint32 XmlOffTarget = ~quint32(0);
struct XmlOpenElement {
    const char *name = nullptr; // the name's bytes in the document
    quint32 nameLength = 0;     // a name is shorter than 4 GiB, as is any real document
    // The stack path up to here equals target's first pathEnd bytes; XmlOffTarget once the
    // path is no prefix of target.
    quint32 pathEnd = 0;
    std::string_view Name() const { return {name, nameLength}; }
};
struct XmlStack {
    std::vector<XmlOpenElement> entries = std::vector<XmlOpenElement>(64); // storage
    size_t top = 0;
    std::string_view target;
};

// The text being captured: `bytes`, followed by a span of the input that is copied
// verbatim only when something else must follow it (most entries are one such span and
// are converted straight from the input). `version` changes with every change.
struct XmlText {
    std::string bytes;
    const char *span = nullptr;
    size_t spanLength = 0;
    quint64 version = 0;
};

// The result list being built; `lastVersion` is the capture version that its last entry
// holds, so storing the same capture again shares that entry instead of copying it.
struct XmlMatches {
    QStringList entries{QString()};
    quint64 lastVersion = ~quint64(0);
};

// The document's bytes, one per character (Latin-1; other characters become "?").
void XmlTextToBytes(const QString &text, QByteArray &bytes);
// Tag name; i is left on the ">" that ends the tag (the first one, even inside quotes), or
// on the buffer's end. Not on a "<": empty name and i unchanged. The name ends at the first
// space only; a trailing "/" makes the tag self-closing.
std::string_view XmlReadTag(std::string_view bytes, qsizetype &i, std::string_view &attributes,
                            bool &selfClosing);
// From a "<", moves i to the next ">" or the buffer's end.
void XmlSkipTag(std::string_view bytes, qsizetype &i);
// The section from i through the next "]]>" (or the buffer's end); i is left one past it.
std::string_view XmlReadCData(std::string_view bytes, qsizetype &i);
// Index of the new top entry.
qint32 XmlPushName(XmlStack &stack, std::string_view name);
// Removes the top entry when it names `name` ignoring case (never entry 0); index of the
// top entry afterwards.
qint32 XmlPopName(XmlStack &stack, std::string_view name);
// The non-empty names of the open elements joined with "/".
QString XmlStackPath(const XmlStack &stack);
// Value of the attribute `name` (ignoring case), trimmed of spaces; empty when absent.
std::string_view XmlAttrValue(std::string_view name, std::string_view attributes);
// Appends the attributes as elements: <key>value</key> for each pair in double quotes.
void XmlAttrsToElements(std::string_view attributes, std::string &out);
// Ends the capture when `text` is not empty and the closing name is the capture name
// (ignoring case): text becomes the next entry, capture name is emptied, capturing false.
void XmlStoreMatch(XmlText &text, XmlMatches &results, std::string_view closingName,
                   std::string &captureName, bool &capturing);

} // namespace L_XML
