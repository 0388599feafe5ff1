// The XML reader: what callers rely on, and its odd corners, which are its behaviour.
#include "xml_text/L_XML.h"
#include "xml_text/L_XTEXT.h"

#include "test_support.h"

#include <gtest/gtest.h>

namespace {

QString Query(const QString &document, const QString &path, int *count = nullptr) {
    QStringList results{"stale"};
    const int n = L_XML::XmlQuery(document, path, results);
    EXPECT_EQ(n, results.size() - 1);
    EXPECT_EQ(results.value(0), "") << "entry 0 stays empty";
    if (count) *count = n;
    return results.mid(1).join(u'|');
}

} // namespace

TEST(XmlQuery, Table) {
    const struct {
        const char *name, *doc, *path;
        int count;
        const char *entries; // joined with "|"
    } cases[] = {
        {"repeated elements in order",
         "<r><result>a</result><result>b</result><result>c</result></r>", "r/result", 3, "a|b|c"},
        {"paths ignore case", "<r><Result>a</Result></r>", "R/rESULT", 1, "a"},
        {"trailing slash ignored", "<r><x>1</x></r>", "r/x/", 1, "1"},
        {"leading slash gives 0", "<r><x>1</x></r>", "/r/x", 0, ""},
        {"one name: top level only", "<a><b>1</b></a><b>2</b>", "b", 1, "2"},
        {"absolute, not searched deeper", "<a><b><c>1</c></b></a>", "b/c", 0, ""},
        {"content keeps breaks and indentation", "<r>\n <x>1</x>\n</r>", "r", 1, "\n <x>1</x>\n"},
        {"inner tags written anew without attributes", "<r><x id=\"7\">1</x></r>", "r", 1,
         "<x><id>7</id>1</x>"},
        {"own attributes first, as children", "<r k=\"v\"><x>1</x></r>", "r", 1,
         "<k>v</k><x>1</x>"},
        {"self-closing with attributes", "<a><loc lat=\"46.6\" lng=\"13.8\"/></a>", "a/loc", 1,
         "<lat>46.6</lat><lng>13.8</lng>"},
        {"attribute route", "<a><loc lat=\"46.6\" lng=\"13.8\"/></a>", "a/loc/LNG", 1, "13.8"},
        {"attribute value trimmed", "<a><loc lat=\" 46.6 \"/></a>", "a/loc/lat", 1, "46.6"},
        {"attribute before child of the same name", "<G status=\"A\"><status>B</status></G>",
         "G/status", 2, "A|B"},
        {"space before = hides the attribute", "<a><loc lat = \"1\"/></a>", "a/loc/lat", 0, ""},
        {"single quotes make no pair", "<a><loc lat='1'/></a>", "a/loc/lat", 0, ""},
        {"self-closing inside a capture", "<r><a x=\"1\"/>t</r>", "r", 1, "<a><x>1</x></a>t"},
        {"CDATA kept with delimiters", "<r><![CDATA[a<b>]]></r>", "r", 1, "<![CDATA[a<b>]]>"},
        {"CDATA then a tag at once", "<r><![CDATA[x]]><y>1</y></r>", "r/y", 1, "1"},
        {"processing instructions vanish", "<?xml version=\"1.0\"?><r>a<?pi x?>b</r>", "r", 1,
         "ab"},
        {"entities left alone", "<r>&lt;b&gt; &amp; &#228;</r>", "r", 1, "&lt;b&gt; &amp; &#228;"},
        {"> dropped from text", "<r>a > b</r>", "r", 1, "a  b"},
        {"comment read as a start tag spoils paths", "<r><!-- note --><x>1</x></r>", "r/x", 0, ""},
        {"capture ends at inner element of the same name", "<a><b>1<b>2</b>3</b></a>", "a/b", 1,
         "1<b>2"},
        {"line break after the name is part of it", "<r><x\n>1</x></r>", "r/x", 0, ""},
        {"empty element keeps the capture open", "<r><x></x><x>a</x></r>", "r/x", 1, "</x><x>a"},
        {"unclosed element gives nothing", "<r><x>1", "r/x", 0, ""},
        {"no path in the document", "<r/>", "q", 0, ""},
        // regression: the tag scan reads 16-byte blocks from the byte after "<"
        {"a \"/\" ending one block, its \">\" the next",
         "<r><nnnnnnnnnnnnnnn/>tttttttttttttttttttt</r>", "r", 1,
         "<nnnnnnnnnnnnnnn></nnnnnnnnnnnnnnn>tttttttttttttttttttt"},
        {"names longer than a block",
         "<r><nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn>x</nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn></r>",
         "r/nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn", 1, "x"},
        {"a \">\" in the text a block shows", "<r><x>a>b</x>cd>e<y/></r>", "r", 1,
         "<x>ab</x>cde<y></y>"},
        {"empty document", "", "r", 0, ""},
        {"a < after the end", "<a>x</a><", "a", 1, "x"},
        {"the first > ends a tag, also in quotes", "<r><a x=\">\">t</a></r>", "r", 1,
         "<a><x></x>\"t</a>"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        int count = -1;
        EXPECT_EQ(Query(QString::fromUtf8(c.doc), QString::fromUtf8(c.path), &count),
                  QString::fromUtf8(c.entries));
        EXPECT_EQ(count, c.count);
    }
}

TEST(XmlQuery, BytesPassThroughUndecoded) {
    // The answer arrives as a byte text of UTF-8: entries keep the bytes as they were.
    const QString doc = QString::fromLatin1("<r>W\xC3\xB6rthersee \x80\xFF</r>");
    EXPECT_EQ(Query(doc, "r"), QString::fromLatin1("W\xC3\xB6rthersee \x80\xFF"));
}

TEST(XmlQuery, DeepDocuments) {
    const int depth = 200000;
    QString deep;
    for (int k = 0; k < depth; ++k) deep += "<e>";
    deep += "x";
    for (int k = 0; k < depth; ++k) deep += "</e>";
    EXPECT_EQ(Query(deep, "e/e/e/e"), QString("<e>").repeated(depth - 4) + "x")
        << "the capture ends at the first inner end tag of its name";
}

TEST(XmlText, AsAReaderExpectsIt) {
    const struct {
        const char *name, *doc, *path, *text;
    } cases[] = {
        {"text, children, CDATA and a raw >",
         "<r><result a=\"x>y\">Am &gt; Bach <b>7</b>, <![CDATA[Dorf &amp; Co]]> > "
         "Ende</result></r>",
         "r/result", "Am > Bach 7, Dorf &amp; Co > Ende"},
        {"only at its path", "<x><r><result>no</result></r></x><r><result>yes</result></r>",
         "R/Result", "yes"},
        {"no comment, no instruction", "<r>a<!-- <r>b</r> -->c<?pi x?></r>", "r", "ac"},
        {"an inner element of its name", "<r>a<r>b</r>c</r>", "r", "abc"},
        {"empty", "<r/><r>late</r>", "r", ""},
        {"cut off", "<r>a<b>c", "r", "ac"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(L_XTEXT::TextOf(c.doc, c.path), QString(c.text)) << c.name;
}
