// The temp folder's candidates and the whole-file read.
#include "geo_files/L_TEMPPA.h"

#include "test_support.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

TEST(TempFolder, CandidatesInOrder) {
    QTemporaryDir a, b, c, d, e;
    const QString missing = a.path() + "/missing";
    QString fileInstead = a.path() + "/file";
    WriteAll(fileInstead, "x");
    const QString null, runtime = QString("/run/user/%1").arg(::getuid());
    const QString own =
        QFileInfo(runtime).isDir() ? runtime + "/" : QCoreApplication::applicationDirPath() + "/";
    const struct {
        const char *name;
        QString temp, tmp, tmpdir, runtime, cache, expected;
    } cases[] = {
        {"TEMP wins over all", a.path(), b.path(), c.path(), d.path(), e.path(), a.path() + "/"},
        {"missing TEMP, TMP next", missing, b.path(), c.path(), d.path(), null, b.path() + "/"},
        {"TEMP naming a file is skipped", fileInstead, b.path(), null, null, null, b.path() + "/"},
        {"TMPDIR third", missing, missing, c.path(), d.path(), e.path(), c.path() + "/"},
        {"XDG_RUNTIME_DIR fourth", null, missing, missing, d.path(), e.path(), d.path() + "/"},
        {"then the user's own cache folder", null, null, null, null, e.path(), e.path() + "/"},
        {"a new account without one: its runtime folder, else the program's, never /tmp", null,
         null, null, null, missing, own},
    };
    for (const auto &t : cases) {
        SCOPED_TRACE(t.name);
        ScopedEnv g1("TEMP", t.temp), g2("TMP", t.tmp), g3("TMPDIR", t.tmpdir),
            g4("XDG_RUNTIME_DIR", t.runtime), g5("XDG_CACHE_HOME", t.cache);
        EXPECT_EQ(L_TEMPPA::GetTempFolder(), t.expected);
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
