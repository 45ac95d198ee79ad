#include "compress/OutputFolder.h"

#include "TestSupport.h"

#include <QtTest>

#include <unistd.h>

namespace {

// A folder tree as "name=content" for files and "name/" for folders, links as "name -> target".
QStringList tree(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString name = QDir(root).relativeFilePath(info.filePath());
        if (info.isSymLink())
            entries << name + " -> " + info.symLinkTarget();
        else if (info.isDir())
            entries << name + '/';
        else {
            QFile file(info.filePath());
            entries << name + '=' + (file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString("?"));
        }
    }
    entries.sort();
    return entries;
}

bool write(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Runs a command, true when it succeeds: mount and umount for the cases that need root.
bool command(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}

// The folder a batch writes into: never one that holds an input, however it is reached; a replaced
// folder is only gone once the batch has written something.
class TestOutputFolder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root; // real/input.mp4 and old/keep.txt, made again for every case
    QStringList m_mounts;

    QString at(const QString &name) const { return m_root.filePath(name); }

private slots:
    void init()
    {
        for (const QString &mount : std::exchange(m_mounts, {}))
            command("umount", { mount });
        for (const QString &name : QDir(m_root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            QFile(at(name)).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFileInfo(at(name)).isDir() && !QFileInfo(at(name)).isSymLink() ? (void)QDir(at(name)).removeRecursively() : (void)QFile::remove(at(name));
        }
        QVERIFY(write(at("real/input.mp4"), "video") && write(at("old/keep.txt"), "mine") && write(at("a file"), "text"));
    }
    void cleanupTestCase() { init(); }

    void refusals_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<int>("refusal"); // -1: made
        QTest::addColumn<QString>("detail"); // part of it
        using R = OutputFolder::Refusal;
        QTest::newRow("new") << "" << "new" << false << -1 << "";
        QTest::newRow("exists, not to be replaced") << "" << "old" << false << int(R::exists) << "";
        QTest::newRow("replaced") << "" << "old" << true << -1 << "";
        QTest::newRow("a file is never replaced") << "" << "a file" << true << int(R::notAFolder) << "a file";
        QTest::newRow("a link to a folder: the link goes aside") << "link old" << "linked" << true << -1 << "";
        QTest::newRow("holds an input") << "" << "real" << true << int(R::holdsInput) << "real/input.mp4";
        QTest::newRow("a link to the inputs' folder") << "link real" << "linked" << true << int(R::holdsInput) << "input.mp4";
        QTest::newRow("a hard link to an input") << "hardlink" << "old" << true << int(R::holdsInput) << "input.mp4";
        QTest::newRow("a bind mount of the inputs' folder") << "bind" << "view" << true << int(R::holdsInput) << "input.mp4";
        QTest::newRow("no parent") << "" << "missing/new" << false << int(R::cannotCreate) << "No such file or directory";
        QTest::newRow("read-only parent") << "read-only" << "locked/new" << false << int(R::cannotCreate)
                                          << (::getuid() == 0 ? "Read-only file system" : "Permission denied");
    }
    void refusals()
    {
        QFETCH(QString, setup);
        QFETCH(QString, path);
        QFETCH(bool, replace);
        QFETCH(int, refusal);
        QFETCH(QString, detail);
        if (setup.startsWith("link "))
            QVERIFY(QFile::link(at(setup.mid(5)), at("linked")));
        if (setup == "hardlink")
            QCOMPARE(::link(QFile::encodeName(at("real/input.mp4")).constData(), QFile::encodeName(at("old/again.mp4")).constData()), 0);
        if (setup == "bind") {
            QVERIFY(QDir().mkpath(at("view")));
            if (!command("mount", { "--bind", at("real"), at("view") }))
                QSKIP("a bind mount needs root");
            m_mounts << at("view");
        }
        if (setup == "read-only") {
            QVERIFY(QDir().mkpath(at("locked")));
            if (::getuid() == 0) {
                if (!command("mount", { "-t", "tmpfs", "-o", "ro,size=64k", "tmpfs", at("locked") }))
                    QSKIP("a read-only mount needs root");
                m_mounts << at("locked");
            } else {
                QVERIFY(QFile(at("locked")).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
            }
        }
        const QStringList before = tree(m_root.path());

        auto made = OutputFolder::create(at(path), replace, { at("real/input.mp4") });
        if (refusal >= 0) {
            QVERIFY(std::holds_alternative<OutputFolder::Refusal>(made));
            const auto &why = std::get<OutputFolder::Refusal>(made);
            QCOMPARE(int(why.kind), refusal);
            QVERIFY2(why.detail.contains(detail), qPrintable(why.detail));
            QCOMPARE(tree(m_root.path()), before); // nothing moved, nothing made
            return;
        }
        QVERIFY(std::holds_alternative<OutputFolder>(made));
        OutputFolder &folder = std::get<OutputFolder>(made);
        QCOMPARE(folder.path(), at(path));
        QVERIFY(QFileInfo(at(path)).isDir() && !QFileInfo(at(path)).isSymLink() && QDir(at(path)).isEmpty());
        QCOMPARE(folder.replaces(), replace);
        QVERIFY(write(at(path) + "/out.mp4", "new"));
        folder.abandon(); // as a cancel: what it wrote goes, what it replaced comes back
        QCOMPARE(tree(m_root.path()), before);
    }

    // After a batch: kept with an output, given back without one.
    void endings_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QStringList>("after"); // the tree below the root, real/ left out
        const QStringList untouched { "a file=text", "old/", "old/keep.txt=mine" };
        QTest::newRow("replaced, an output written") << "old" << "output" << QStringList { "a file=text", "old/", "old/out.mp4=new" };
        QTest::newRow("replaced, nothing written") << "old" << "nothing" << untouched;
        QTest::newRow("replaced, let go of") << "old" << "destroyed" << untouched;
        QTest::newRow("new, nothing written") << "new" << "nothing" << untouched + QStringList { "new/" };
        QTest::newRow("new, let go of") << "new" << "destroyed" << untouched;
    }
    void endings()
    {
        QFETCH(QString, path);
        QFETCH(QString, ending);
        QFETCH(QStringList, after);
        {
            auto made = OutputFolder::create(at(path), true, {});
            QVERIFY(std::holds_alternative<OutputFolder>(made));
            OutputFolder folder = std::move(std::get<OutputFolder>(made));
            if (ending == "output")
                QVERIFY(write(at(path) + "/out.mp4", "new"));
            if (ending != "destroyed")
                folder.finish(ending == "output");
        }
        after.sort();
        QCOMPARE(tree(m_root.path()).filter(QRegularExpression("^(?!real)")), after);
    }

    // Two batches asking for the same new folder at once: one has it, the other is told it exists.
    void race()
    {
        auto first = OutputFolder::create(at("same"), false, {});
        auto second = OutputFolder::create(at("same"), false, {});
        QVERIFY(std::holds_alternative<OutputFolder>(first));
        QVERIFY(std::holds_alternative<OutputFolder::Refusal>(second));
        QCOMPARE(std::get<OutputFolder::Refusal>(second).kind, OutputFolder::Refusal::exists);
    }
};

QTEST_GUILESS_MAIN(TestOutputFolder)
#include "TestOutputFolder.moc"
