#pragma once
// The text of an element as a reader expects it: its own text and its children's, in
// order, with CDATA sections unwrapped and a raw ">" kept. XmlQuery rewrites an element's
// inner tags and drops ">" from its text; a place's name needs neither.
#include <QString>

namespace L_XTEXT {

// The text content of the first element at `path` (absolute from the document's top, "/"
// between names, any case) of a byte text: text and CDATA of it and every element inside
// it, tags left out; entities decoded in text, not in CDATA; a byte text still. Processing
// instructions, comments and declarations are no text. Empty without a match; a document
// that ends inside the element gives the text up to its end.
QString TextOf(const QString &document, const QString &path);

} // namespace L_XTEXT
