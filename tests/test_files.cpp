// Paths, existence tests, the temp folder's candidates and the whole-file read.
#include "geo_files/L_PFADE.h"
#include "geo_files/L_TEMPPA.h"

#include "test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace L_PFADE;

namespace {
const QString Sep = NativeSeparator();
} // namespace

TEST(Paths, SplittingWithBothSeparators) {
    const struct {
        const char *name;
        QString path;
        QString lastPart, lastPartStripped, parent, stripped;
    } cases[] = {
        {"backslash file", "C:\\a\\b.txt", "b.txt", "b.txt", "C:\\a", "C:\\a\\b.txt"},
        {"backslash folder", "C:\\a\\b\\", "", "b", "C:\\a\\b", "C:\\a\\b"},
        {"mixed separators", "a/b\\c", "c", "c", "a/b", "a/b\\c"},
        {"separator first", "\\x", "x", "x", "", "\\x"},
        {"drive root", "C:\\", "", "C:", "C:", "C:"},
        {"lone separator stays", "/", "", "", "", "/"},
        {"two trailing, one stripped", "a\\\\", "", "", "a\\", "a\\"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PathLastPart(c.path, false), c.lastPart);
        EXPECT_EQ(PathLastPart(c.path, true), c.lastPartStripped);
        EXPECT_EQ(PathParent(c.path), c.parent);
        EXPECT_EQ(StripTrailingSeparator(c.path), c.stripped);
    }
}

TEST(Paths, AddBackslashAndCutAtNul) {
    EXPECT_EQ(AddBackslash("  /data/x  "), "/data/x" + Sep);
    EXPECT_EQ(AddBackslash("/data/x" + Sep), "/data/x" + Sep) << "already ends in one";
    EXPECT_EQ(AddBackslash("   "), "");
#ifdef Q_OS_WIN
    EXPECT_EQ(AddBackslash("C:/Data/"), "C:/Data/\\") << "only the backslash counts";
#else
    EXPECT_EQ(AddBackslash("C:\\Data\\"), "C:\\Data\\/") << "only the native separator counts";
#endif
    EXPECT_EQ(CutAtNul("C:\\WINDOWS" + QString(QChar(0)) + "   "), "C:\\WINDOWS");
    EXPECT_EQ(CutAtNul(" plain "), "plain");
    EXPECT_EQ(TrimSpaces(" \t a \n "), "\t a \n") << "spaces only";
}

TEST(Paths, Existence) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    WriteAll(folder + "/answer.txt", "x");
    const struct {
        const char *name;
        QString path;
        bool file, folderExists;
    } cases[] = {
        {"empty", "", false, false},
        {"folder without separator", folder, true, true},
        {"folder with slash", folder + "/", true, true},
        {"folder with backslash", folder + "\\", false, true},
        {"file", folder + "/answer.txt", true, false},
        {"wildcard match", folder + "/*.txt", true, false},
        {"wildcard no match", folder + "/*.xml", false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FileExists(c.path), c.file);
        EXPECT_EQ(FolderExists(c.path), c.folderExists);
    }
}

TEST(TempFolder, CandidatesInOrder) {
    QTemporaryDir a, b, c, d, e;
    const QString missing = a.path() + "/missing";
    QString fileInstead = a.path() + "/file";
    WriteAll(fileInstead, "x");
    const QString null;
    const struct {
        const char *name;
        QString temp, tmp, tmpdir, runtime, cache;
        QString expected; // empty: anything but the shared /tmp
    } cases[] = {
        {"TEMP wins over all", a.path(), b.path(), c.path(), d.path(), e.path(), a.path() + Sep},
        {"missing TEMP, TMP next", missing, b.path(), c.path(), d.path(), null, b.path() + Sep},
        {"TEMP naming a file is skipped", fileInstead, b.path(), null, null, null, b.path() + Sep},
        {"TMPDIR third", missing, missing, c.path(), d.path(), e.path(), c.path() + Sep},
        {"XDG_RUNTIME_DIR fourth", null, missing, missing, d.path(), e.path(), d.path() + Sep},
        {"then the user's own cache folder", null, null, null, null, e.path(), e.path() + Sep},
        {"a new account without one: still not the shared /tmp", null, null, null, null, missing,
         ""},
    };
    for (const auto &t : cases) {
        SCOPED_TRACE(t.name);
        ScopedEnv g1("TEMP", t.temp), g2("TMP", t.tmp), g3("TMPDIR", t.tmpdir),
            g4("XDG_RUNTIME_DIR", t.runtime), g5("XDG_CACHE_HOME", t.cache);
        const QString folder = L_TEMPPA::GetTempFolder();
        if (t.expected.isEmpty())
            EXPECT_NE(folder, "/tmp/");
        else
            EXPECT_EQ(folder, t.expected);
        EXPECT_TRUE(folder.endsWith(Sep)) << "the file name is appended directly";
    }
}

TEST(ReadFileText, BytesOneToOne) {
    QTemporaryDir dir;
    QByteArray all;
    for (int k = 0; k < 256; ++k) all += char(k);
    WriteAll(dir.path() + "/all", all);
    WriteAll(dir.path() + "/empty", "");

    QString content = "previous";
    EXPECT_EQ(L_TEMPPA::ReadFileText(dir.path() + "/missing", content), 0);
    EXPECT_EQ(content, "previous") << "a missing file leaves the content";
    EXPECT_EQ(L_TEMPPA::ReadFileText(dir.path(), content), 0) << "a folder cannot be read";
    EXPECT_EQ(content, "previous");

    EXPECT_EQ(L_TEMPPA::ReadFileText(dir.path() + "/all", content), 256);
    EXPECT_EQ(content.toLatin1(), all);

    EXPECT_EQ(L_TEMPPA::ReadFileText(dir.path() + "/empty", content), 0);
    EXPECT_EQ(content, "");
}
