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

namespace L_XML {

// Count of matches; results[1..count] hold, in document order, the content of every
// element at `path` (its own attributes first, written as child elements; inner tags
// written anew without attributes; ">" in text dropped) and the value of every attribute
// that the path names. The entries are byte texts like the document.
// A path is absolute from the top level of the document: "/a", a path matching nothing and
// a path with a character outside Latin-1 give 0 and a list of entry 0 alone; a trailing
// "/" is ignored; case is ignored.
qint32 XmlQuery(const QString &document, const QString &path, QStringList &results);
// The first entry of XmlQuery, or empty; `found` tells whether there was one.
QString XmlFirst(const QString &document, const QString &path, bool *found = nullptr);

// --- Steps of the pass over the document's bytes; positions index the bytes. ---

// One tag as the reader sees it.
struct XmlTag {
    std::string_view name;       // up to the first space (a tab or line break stays in it)
    std::string_view attributes; // after that space, trimmed of spaces
    bool selfClosing = false;    // the tag ended in "/"
    qsizetype end = 0;           // the ">" that ends the tag (the first one, even in quotes), or n
    qsizetype textEnd = -1;      // the "<" that ends the text after the tag, when the tag's own
                                 // scan saw it with no ">" before it; else -1
};

// The document's bytes, one per character (Latin-1; other characters become "?").
void XmlTextToBytes(const QString &text, QByteArray &bytes);
// The tag that starts with the "<" (or "</") at i. Not on a "<": an empty tag ending at i.
XmlTag XmlReadTag(std::string_view bytes, qsizetype i);
// From the "<" at i, the position of the next ">", or n.
qsizetype XmlSkipTag(std::string_view bytes, qsizetype i);
// The section from i through the next "]]>", or to the end; the pass goes on after it.
std::string_view XmlReadCData(std::string_view bytes, qsizetype i);
// Value of the attribute `name` (ignoring case), trimmed of spaces; empty when absent.
std::string_view XmlAttrValue(std::string_view name, std::string_view attributes);
// Appends the attributes as elements: <key>value</key> for each pair in double quotes.
void XmlAttrsToElements(std::string_view attributes, std::string &out);

} // namespace L_XML
