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

TEST(Paths, SeparatorsAddedAndStripped) {
    EXPECT_EQ(AddBackslash("  /data/x  "), "/data/x" + Sep);
    EXPECT_EQ(AddBackslash("/data/x" + Sep), "/data/x" + Sep) << "already ends in one";
    EXPECT_EQ(AddBackslash("   "), "");
#ifndef Q_OS_WIN
    EXPECT_EQ(AddBackslash("C:\\Data\\"), "C:\\Data\\/") << "only the native separator counts";
#endif
    EXPECT_EQ(StripTrailingSeparator("C:\\"), "C:");
    EXPECT_EQ(StripTrailingSeparator("/"), "/") << "a lone separator stays";
    EXPECT_EQ(StripTrailingSeparator("a\\\\"), "a\\") << "one of two";
    EXPECT_EQ(CutAtNul("C:\\WINDOWS" + QString(QChar(0)) + "   "), "C:\\WINDOWS");
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
    QString content = "previous";
    EXPECT_EQ(L_TEMPPA::ReadFileText(dir.path() + "/missing", content), 0);
    EXPECT_EQ(L_TEMPPA::ReadFileText(dir.path(), content), 0) << "a folder cannot be read";
    EXPECT_EQ(content, "previous") << "left as it was";
    EXPECT_EQ(L_TEMPPA::ReadFileText(dir.path() + "/all", content), 256);
    EXPECT_EQ(content.toLatin1(), all);
}
