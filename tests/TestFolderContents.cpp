#include "util/FolderContents.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

// Makes each entry under root: "dir/", "file", "link -> target" ("$OUT" in a
// target stands for the other folder), "fifo|".
void make(const QString &root, const QString &outside, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const QString path = root + '/' + entry.section(" -> ", 0, 0);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (entry.contains(" -> "))
            QFile::link(entry.section(" -> ", 1).replace("$OUT", outside), path);
        else if (entry.endsWith('/'))
            QDir().mkpath(path);
        else if (entry.endsWith('|'))
            ::mkfifo(QFile::encodeName(path.chopped(1)).constData(), 0600);
        else
            QFile(path).open(QIODevice::WriteOnly);
    }
}

QStringList relativeTo(const QString &root, QStringList paths)
{
    for (QString &path : paths)
        path = QDir(root).relativeFilePath(path);
    return paths;
}

}

class TestFolderContents : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void regularFiles_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("outside"); // entries of a folder elsewhere, "$OUT"
        QTest::addColumn<QStringList>("listed");

        const QStringList names { "b.mp4", "clip 10.mp4", "a.mp4", "sub/deeper/d.mp4", "B2.mkv", "clip 2.mp4", "sub/c.mp4", "Sub 2/e.mp4" };
        QTest::newRow("as the file manager sorts, folder by folder") << "en_US" << names << QStringList()
            << QStringList { "a.mp4", "b.mp4", "B2.mkv", "clip 2.mp4", "clip 10.mp4", "sub/c.mp4", "sub/deeper/d.mp4", "Sub 2/e.mp4" };
        QTest::newRow("C locale: letter case aside, numbers as text") << "C" << names << QStringList()
            << QStringList { "a.mp4", "b.mp4", "B2.mkv", "clip 10.mp4", "clip 2.mp4", "sub/c.mp4", "sub/deeper/d.mp4", "Sub 2/e.mp4" };
        QTest::newRow("names differing in case alone keep an order") << "en_US" << QStringList { "a.mp4", "A.mp4" } << QStringList()
            << QStringList { "A.mp4", "a.mp4" };
        QTest::newRow("hidden, special and dangling entries left out")
            << "C" << QStringList { ".hidden.mp4", ".cache/x.mp4", "pipe.mp4|", "dangling.mp4 -> gone.mp4", "shown.mp4", "link.mp4 -> shown.mp4", "empty/" }
            << QStringList() << QStringList { "link.mp4", "shown.mp4" };
        QTest::newRow("linked folders: loops and repeats left out, the rest followed")
            << "C" << QStringList { "in/loop -> ..", "in/self -> .", "in/twin -> ../real", "in/out -> $OUT", "in/out again -> $OUT/", "in/up -> $OUT/..", "real/a.mp4" }
            << QStringList { "o.mp4" } << QStringList { "in/out/o.mp4", "real/a.mp4" };
    }

    void regularFiles()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, outside);
        QFETCH(QStringList, listed);
        QLocale::setDefault(QLocale(locale));
        QTemporaryDir root, elsewhere;
        // The other folder sits beside a link to its parent, which holds root too.
        make(elsewhere.path(), {}, outside);
        make(root.path(), elsewhere.path(), entries);
        QCOMPARE(relativeTo(root.path(), FolderContents::regularFiles(root.path())), listed);
    }

    // Folders open in place; files, and paths that are neither, stay for intake to name.
    void withFolderContents()
    {
        QTemporaryDir root;
        make(root.path(), {}, { "first.mp4", "folder/b.mp4", "folder/a.mp4", "last.mkv" });
        const QString path = root.path() + '/';
        QCOMPARE(FolderContents::withFolderContents({ path + "last.mkv", path + "folder", path + "missing.mp4", path + "first.mp4" }),
                 (QStringList { path + "last.mkv", path + "folder/a.mp4", path + "folder/b.mp4", path + "missing.mp4", path + "first.mp4" }));
    }
};

QTEST_GUILESS_MAIN(TestFolderContents)
#include "TestFolderContents.moc"
