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

// Open elements: names[0] is empty and names no element; upperPath is the upper-cased
// stack path, kept incrementally so that matching a tag costs nothing per level.
struct XmlStack {
    std::vector<std::string_view> names{std::string_view()};
    std::vector<size_t> pathEnds{0}; // upperPath's length once names[k] was pushed
    std::string upperPath;
};

// The text being captured; `version` changes with every change of `bytes`.
struct XmlText {
    std::string bytes;
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
void XmlStoreMatch(const XmlText &text, XmlMatches &results, std::string_view closingName,
                   std::string &captureName, bool &capturing);

} // namespace L_XML
