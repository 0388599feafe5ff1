// Replace, split, the UTF-8 byte texts, and a service's text made fit for files and lines.
#include "xml_text/L_REPLAC.h"
#include "xml_text/L_SPLITL.h"
#include "xml_text/L_UNICOD.h"

#include "test_support.h"

#include <gtest/gtest.h>

namespace {
const QString Nul(QChar(0));
} // namespace

TEST(ReplaceAll, Table) {
    const struct {
        const char *name;
        QString text, search, replacement;
        int mode;
        QString expected;
        int count;
    } cases[] = {
        {"umlaut, case folded", "Äpfel und äpfel", "ä", "ae", 1, "aepfel und aepfel", 2},
        {"capital search finds small", "straße STRASSE", "ß", "ss", 1, "strasse STRASSE", 1},
        {"replacement holds search: one pass", "a.b", ".", "..", 0, "a..b", 1},
        {"empty search changes nothing", "abc", "", "x", 0, "abc", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString text = c.text;
        EXPECT_EQ(L_REPLAC::ReplaceAll(text, c.search, c.replacement, c.mode), c.count);
        EXPECT_EQ(text, c.expected);
    }
    QString whole(4'000'000, u','); // regression: a rebuild per occurrence takes minutes here
    EXPECT_EQ(L_REPLAC::ReplaceAll(whole, ",", ".", 0), 4'000'000);
    EXPECT_EQ(L_REPLAC::StripTrailingNul("ab" + Nul + "c" + Nul + Nul), "ab" + Nul + "c");
}

TEST(SplitList, Table) {
    const struct {
        const char *name;
        QString text, separator;
        int mode;
        bool trim, skipEmpty;
        int count;
        QString fields; // entries 1..count joined with "|"
    } cases[] = {
        {"coordinates trimmed", "13.85 , 46.62 , 0", ",", 1, true, false, 3, "13.85|46.62|0"},
        {"only spaces trimmed, tab stays", "\ta \t", ",", 0, true, false, 1, "\ta \t"},
        {"adjacent separators", "a,,b", ",", 0, false, false, 3, "a||b"},
        {"trailing separator", "a,", ",", 0, false, false, 2, "a|"},
        {"empty text is one field", "", ",", 0, false, false, 1, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList list{"stale", "entries"};
        EXPECT_EQ(L_SPLITL::SplitList(c.text, list, c.separator, c.mode, c.trim, c.skipEmpty),
                  c.count);
        ASSERT_EQ(list.size(), c.count + 1);
        EXPECT_EQ(list[0], "");
        EXPECT_EQ(list.mid(1).join(u'|'), c.fields);
    }
}

TEST(Unicode, Utf8ByteTexts) {
    const struct {
        const char *name;
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"a-umlaut", "ä", "\xC3\xA4"},
        {"supplementary plane", QString::fromUtf8("\xF0\x9F\x8C\x8D"), "\xF0\x9F\x8C\x8D"},
        {"empty", "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString byteText = L_UNICOD::TextToUtf8(c.text);
        EXPECT_EQ(byteText.toLatin1(), c.bytes) << "one character per byte";
        EXPECT_EQ(L_UNICOD::Utf8ToText(byteText), c.text);
    }
    EXPECT_EQ(L_UNICOD::TextToUtf8("ab" + Nul + "cd"), "ab");
    EXPECT_EQ(L_UNICOD::Utf8ToText(QString::fromLatin1("\xC3")), QString(QChar(0xFFFD)))
        << "a cut sequence is substituted, not dropped";
}

TEST(ServiceText, CleanForFilesShownInLines) {
    const struct {
        const char *name;
        QString text, clean, shown;
    } cases[] = {
        {"colour escape", "\x1B[31mrot\x1B[0m", "rot", "\\x1B[31mrot\\x1B[0m"},
        {"title escape (OSC)", "a\x1B]0;owned\x07z", "az", "a\\x1B]0;owned\\x07z"},
        {"C0, DEL and C1, tab kept", "a\r\nb\tc\x7F" + QString(QChar(0x9B)), "ab\tc",
         "a\\x0D\\x0Ab\\x09c\\x7F\\x9B"},
        {"umlauts stay", "Wörthersee", "Wörthersee", "Wörthersee"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(L_REPLAC::Clean(c.text), c.clean);
        EXPECT_EQ(L_REPLAC::Shown(c.text, 300), c.shown);
    }
    EXPECT_EQ(L_REPLAC::Shown(QString(400, u'u'), 300), QString(300, u'u') + "...");
}
