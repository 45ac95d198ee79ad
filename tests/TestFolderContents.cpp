#include "util/FolderContents.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

// Makes each entry under root: "dir/", "file", "link -> target" ("$OUT" in a target is the other folder), "fifo|".
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

}

class TestFolderContents : public QObject
{
    Q_OBJECT

private slots:
    // Sorted as a file manager would in the user's language.
    void initTestCase() { QLocale::setDefault(QLocale("en_US")); }

    void regularFiles()
    {
        // outside: entries of a folder elsewhere, "$OUT", which sits beside a link to its parent, which holds root too
        const auto listed = [](const QStringList &entries, const QStringList &outside = {}) {
            QTemporaryDir root, elsewhere;
            make(elsewhere.path(), {}, outside);
            make(root.path(), elsewhere.path(), entries);
            QStringList files = FolderContents::regularFiles(root.path());
            for (QString &file : files)
                file = QDir(root.path()).relativeFilePath(file);
            return files;
        };
        // As the file manager sorts, folder by folder.
        QCOMPARE(listed({ "b.mp4", "clip 10.mp4", "a.mp4", "sub/deeper/d.mp4", "B2.mkv", "clip 2.mp4", "sub/c.mp4", "Sub 2/e.mp4" }),
                 (QStringList { "a.mp4", "b.mp4", "B2.mkv", "clip 2.mp4", "clip 10.mp4", "sub/c.mp4", "sub/deeper/d.mp4", "Sub 2/e.mp4" }));
        QCOMPARE(listed({ "a.mp4", "A.mp4" }), (QStringList { "A.mp4", "a.mp4" })); // names differing in case alone keep an order
        // Hidden entries, pipes and dangling links left out.
        QCOMPARE(listed({ ".hidden.mp4", ".cache/x.mp4", "pipe.mp4|", "dangling.mp4 -> gone.mp4", "shown.mp4", "link.mp4 -> shown.mp4", "empty/" }),
                 (QStringList { "link.mp4", "shown.mp4" }));
        // Linked folders: loops and repeats left out, the rest followed.
        QCOMPARE(listed({ "in/loop -> ..", "in/self -> .", "in/twin -> ../real", "in/out -> $OUT", "in/out again -> $OUT/", "in/up -> $OUT/..", "real/a.mp4" }, { "o.mp4" }),
                 (QStringList { "in/out/o.mp4", "real/a.mp4" }));
    }

    // A folder gives way to its files in place; anything else, even a path that is gone, stays for intake to refuse by name.
    void namedPaths()
    {
        QTemporaryDir root;
        make(root.path(), {}, { "videos/b.mp4", "videos/a.mp4", "clip.mp4" });
        const QString at = root.path() + '/';
        QCOMPARE(FolderContents::withFolderContents({ at + "gone.mp4", at + "videos", at + "clip.mp4" }),
                 (QStringList { at + "gone.mp4", at + "videos/a.mp4", at + "videos/b.mp4", at + "clip.mp4" }));
    }
};

QTEST_GUILESS_MAIN(TestFolderContents)
#include "TestFolderContents.moc"
