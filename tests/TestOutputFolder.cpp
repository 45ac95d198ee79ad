#include "compress/OutputFolder.h"
#include "util/PrivateFolder.h"

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
        QFile file(info.filePath());
        if (info.isSymLink())
            entries << name + " -> " + info.symLinkTarget();
        else
            entries << name + (info.isDir() ? QString("/") : '=' + QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : "?"));
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

}

// The folder a batch writes into: never one that holds an input, however it is reached; a replaced
// folder is only gone once the batch has written something. And the private folder beside it.
class TestOutputFolder : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_root; // real/input.mp4, old/keep.txt and "a file", made again for every case
    QStringList m_mounts;

    QString at(const QString &name) const { return m_root->filePath(name); }

private slots:
    void init()
    {
        m_root.emplace();
        QVERIFY(write(at("real/input.mp4"), "video") && write(at("old/keep.txt"), "mine") && write(at("a file"), "text"));
    }
    void cleanup()
    {
        for (const QString &mount : std::exchange(m_mounts, {}))
            QProcess::execute("umount", { mount });
        m_root.reset();
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<QString>("detail"); // part of it
        using R = OutputFolder::Refusal;
        QTest::newRow("exists, not to be replaced") << "" << "old" << false << int(R::exists) << "";
        QTest::newRow("a file is never replaced") << "" << "a file" << true << int(R::notAFolder) << "a file";
        QTest::newRow("a link to the inputs' folder") << "link" << "linked" << true << int(R::holdsInput) << "input.mp4";
        QTest::newRow("a hard link to an input") << "hardlink" << "old" << true << int(R::holdsInput) << "input.mp4";
        QTest::newRow("a bind mount of the inputs' folder") << "bind" << "view" << true << int(R::holdsInput) << "input.mp4";
        QTest::newRow("no parent") << "" << "missing/new" << false << int(R::cannotCreate) << "No such file or directory";
    }
    void refusals()
    {
        QFETCH(QString, setup);
        QFETCH(QString, path);
        QFETCH(bool, replace);
        QFETCH(int, refusal);
        QFETCH(QString, detail);
        if (setup == "link")
            QVERIFY(QFile::link(at("real"), at("linked")));
        if (setup == "hardlink")
            QCOMPARE(::link(QFile::encodeName(at("real/input.mp4")).constData(), QFile::encodeName(at("old/again.mp4")).constData()), 0);
        if (setup == "bind") {
            QVERIFY(QDir().mkpath(at("view")));
            if (QProcess::execute("mount", { "--bind", at("real"), at("view") }) != 0)
                QSKIP("a bind mount needs root");
            m_mounts << at("view");
        }
        const QStringList before = tree(m_root->path());
        auto made = OutputFolder::create(at(path), replace, { at("real/input.mp4") });
        QVERIFY(std::holds_alternative<OutputFolder::Refusal>(made));
        const auto &why = std::get<OutputFolder::Refusal>(made);
        QCOMPARE(int(why.kind), refusal);
        QVERIFY2(why.detail.contains(detail), qPrintable(why.detail));
        QCOMPARE(tree(m_root->path()), before); // nothing moved, nothing made
    }

    // After a batch: kept with an output, given back without one or when let go of (a cancel).
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
        // The link goes aside and comes back; what it leads to is never touched.
        QTest::newRow("a link to a folder, let go of") << "linked" << "destroyed" << untouched + QStringList { "linked -> OLD" };
    }
    void endings()
    {
        QFETCH(QString, path);
        QFETCH(QString, ending);
        QFETCH(QStringList, after);
        if (path == "linked")
            QVERIFY(QFile::link(at("old"), at("linked")));
        {
            auto made = OutputFolder::create(at(path), true, { at("real/input.mp4") });
            QVERIFY(std::holds_alternative<OutputFolder>(made));
            OutputFolder folder = std::move(std::get<OutputFolder>(made));
            QVERIFY(QFileInfo(at(path)).isDir() && !QFileInfo(at(path)).isSymLink() && QDir(at(path)).isEmpty());
            if (ending != "nothing")
                QVERIFY(write(at(path) + "/out.mp4", "new"));
            if (ending != "destroyed")
                folder.finish(ending == "output");
        }
        after.replaceInStrings("OLD", at("old")).sort();
        QCOMPARE(tree(m_root->path()).filter(QRegularExpression("^(?!real)")), after);
    }

    // A killed process's folder goes; a live one's, a link, anything not
    // named as ours and our own stay.
    void privateFolderLeftovers()
    {
        QProcess gone;
        gone.start("true");
        QVERIFY(gone.waitForFinished());
        const QString dead = QString::number(gone.processId() ? gone.processId() : 999999);
        QTemporaryDir root;
        const QStringList names { "veltrane-" + dead + "-a1B2c3", "veltrane-1-a1B2c3",
                                  QString("veltrane-%1-a1B2c3").arg(QCoreApplication::applicationPid()),
                                  "veltrane-" + dead + "-short", "other-" + dead + "-a1B2c3" };
        for (const QString &name : names)
            QVERIFY(QDir(root.path()).mkpath(name + "/inside"));
        QVERIFY(QFile::link(root.filePath(names[1]), root.filePath("veltrane-" + dead + "-link01")));
        QCOMPARE(PrivateFolder::removeLeftovers(root.path()), 1);
        QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(), 5);
        QVERIFY(!QFileInfo::exists(root.filePath(names[0])));

        // Ours is named so that a later run knows whose it was.
        QVERIFY(QFileInfo(PrivateFolder::path()).fileName().startsWith(QString("veltrane-%1-").arg(QCoreApplication::applicationPid())));
    }
};

QTEST_GUILESS_MAIN(TestOutputFolder)
#include "TestOutputFolder.moc"
