#include "compress/OutputFolder.h"
#include "util/PrivateFolder.h"

#include "TestSupport.h"

#include <unistd.h>

using namespace TestSupport;

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
        else
            entries << name + (info.isDir() ? QString("/") : '=' + QString::fromUtf8(readFile(info.filePath())));
    }
    entries.sort();
    return entries;
}

// setup: what is made or done first, some of it at a path of its own ("cd old", "mount old/usb"); detail: part of the refusal's.
struct RefusalCase { QString setup, path; bool replace; OutputFolder::Refusal::Kind refusal; QString detail; };
struct EndingCase { QString path, ending; QStringList after; }; // after: the tree below the root, real/ left out

}

// The folder a batch writes into: never one that holds an input; a replaced one only goes once something is written.
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
        QVERIFY(writeFile(at("real/input.mp4"), "video") && writeFile(at("old/keep.txt"), "mine") && writeFile(at("a file"), "text"));
    }
    void cleanup()
    {
        for (const QString &mount : std::exchange(m_mounts, {}))
            QProcess::execute("umount", { mount });
        m_root.reset();
    }

    void refusals_data()
    {
        QTest::addColumn<RefusalCase>("row");
        using R = OutputFolder::Refusal;
        QTest::newRow("exists, not to be replaced") << RefusalCase { "", "old", false, R::exists, "" };
        QTest::newRow("a file is never replaced") << RefusalCase { "", "a file", true, R::notAFolder, "a file" };
        QTest::newRow("a link to the inputs' folder") << RefusalCase { "link", "linked", true, R::holdsInput, "input.mp4" };
        QTest::newRow("a hard link to an input") << RefusalCase { "hardlink", "old", true, R::holdsInput, "input.mp4" };
        QTest::newRow("a bind mount of the inputs' folder") << RefusalCase { "bind view", "view", true, R::holdsInput, "input.mp4" };
        QTest::newRow("no parent") << RefusalCase { "", "missing/new", false, R::cannotCreate, "No such file or directory" };
        // Replacing deletes what the folder held: never where the user stands, lives, or another disk hangs.
        QTest::newRow("the current folder") << RefusalCase { "cd old", "old", true, R::unsafe, "it is the current folder" };
        QTest::newRow("above the current folder") << RefusalCase { "cd old/deeper", "old", true, R::unsafe, "it holds the current folder" };
        QTest::newRow("the home folder") << RefusalCase { "home old", "old", true, R::unsafe, "it is your home folder" };
        QTest::newRow("a mount inside") << RefusalCase { "mount old/usb", "old", true, R::unsafe, "mounted inside it, at" };
        QTest::newRow("a mount on it") << RefusalCase { "mount old", "old", true, R::unsafe, "a file system is mounted on it" };
        QTest::newRow("another run writes it") << RefusalCase { "busy", "old", true, R::busy, "" };
    }
    void refusals()
    {
        QFETCH(const RefusalCase, row);
        const auto &[setup, path, replace, refusal, detail] = row;
        if (setup == "link")
            QVERIFY(QFile::link(at("real"), at("linked")));
        if (setup == "hardlink")
            QCOMPARE(::link(QFile::encodeName(at("real/input.mp4")).constData(), QFile::encodeName(at("old/again.mp4")).constData()), 0);
        const auto back = qScopeGuard([previous = QDir::currentPath()] { QDir::setCurrent(previous); });
        std::optional<ScopedEnvironment> home;
        std::optional<OutputFolder> other;
        const QString place = at(setup.section(' ', 1)); // of "cd", "home", "mount" or "bind"
        QVERIFY(!setup.contains(' ') || QDir().mkpath(place));
        if (setup.startsWith("cd "))
            QDir::setCurrent(place);
        if (setup.startsWith("home "))
            home.emplace("HOME", place);
        if (setup.startsWith("mount ") || setup.startsWith("bind ")) {
            if (QProcess::execute("mount", (setup.startsWith("bind ") ? QStringList { "--bind", at("real") } : QStringList { "-t", "tmpfs", "tmpfs" }) << place) != 0)
                QSKIP("a mount needs root");
            m_mounts << place;
        }
        if (setup == "busy") {
            auto first = OutputFolder::create(at(path), replace, {});
            QVERIFY(std::holds_alternative<OutputFolder>(first));
            other.emplace(std::move(std::get<OutputFolder>(first)));
        }
        const QStringList before = tree(m_root->path());
        auto made = OutputFolder::create(at(path), replace, { at("real/input.mp4") });
        QVERIFY(std::holds_alternative<OutputFolder::Refusal>(made));
        const auto &why = std::get<OutputFolder::Refusal>(made);
        QCOMPARE(int(why.kind), int(refusal));
        QVERIFY2(why.detail.contains(detail), qPrintable(why.detail));
        QCOMPARE(tree(m_root->path()), before); // nothing moved, nothing made
    }

    // Only a finished batch that wrote something replaces the folder; a link as a link, what it leads to untouched.
    void endings_data()
    {
        QTest::addColumn<EndingCase>("row");
        const QStringList untouched { "a file=text", "old/", "old/keep.txt=mine" };
        QTest::newRow("replaced, an output written") << EndingCase { "old", "output", QStringList { "a file=text", "old/", "old/out.mp4=new" } };
        QTest::newRow("replaced, nothing written") << EndingCase { "old", "nothing", untouched };
        QTest::newRow("replaced, let go of") << EndingCase { "old", "destroyed", untouched };
        QTest::newRow("new, nothing written") << EndingCase { "new", "nothing", untouched + QStringList { "new/" } };
        QTest::newRow("new, an output written") << EndingCase { "new", "output", untouched + QStringList { "new/", "new/out.mp4=new" } };
        QTest::newRow("new, let go of") << EndingCase { "new", "destroyed", untouched };
        QTest::newRow("a link to a folder, let go of") << EndingCase { "linked", "destroyed", untouched + QStringList { "linked -> OLD" } };
        QTest::newRow("a link to a folder, replaced") << EndingCase { "linked", "output", untouched + QStringList { "linked/", "linked/out.mp4=new" } };
        // The exchange needs both; a folder the user moved away meanwhile leaves the place free.
        QTest::newRow("replaced, gone meanwhile") << EndingCase { "old", "gone", QStringList { "a file=text", "old/", "old/out.mp4=new" } };
    }
    void endings()
    {
        QFETCH(const EndingCase, row);
        auto [path, ending, after] = row;
        if (path == "linked")
            QVERIFY(QFile::link(at("old"), at("linked")));
        const QStringList before = tree(m_root->path());
        {
            auto made = OutputFolder::create(at(path), true, { at("real/input.mp4") });
            QVERIFY(std::holds_alternative<OutputFolder>(made));
            OutputFolder folder = std::move(std::get<OutputFolder>(made));
            QCOMPARE(QFileInfo(folder.workPath()).fileName(), "." + path + ".veltrane-partial");
            QCOMPARE(tree(m_root->path()).filter(QRegularExpression("^(?!\\.)")), before);
            if (ending != "nothing")
                QVERIFY(writeFile(folder.workPath() + "/out.mp4", "new"));
            if (ending == "gone")
                QVERIFY(QDir(at(path)).removeRecursively());
            if (ending != "destroyed")
                QCOMPARE(folder.finish(ending != "nothing"), std::nullopt);
        }
        after.replaceInStrings("OLD", at("old")).sort();
        QCOMPARE(tree(m_root->path()).filter(QRegularExpression("^(?!real)")), after);
    }

    // A killed run's work goes at the next start, said so; a live run's, or a folder not ours, is left alone.
    void killedRun()
    {
        const ScopedEnvironment state("XDG_STATE_HOME", at("state"));
        QProcess child; // with XDG_STATE_HOME as set here
        child.start(QCoreApplication::applicationFilePath(), { "holdFolder", at("old") });
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(at(".old.veltrane-partial/out.mp4")), 10000);
        QCOMPARE(OutputFolder::recoverLeftovers(), QStringList()); // alive: its lock is held
        child.kill();
        QVERIFY(child.waitForFinished(5000));
        QCOMPARE(tree(at("old")), QStringList { "keep.txt=mine" });
        QVERIFY(writeFile(at("state/veltrane/runs/run-forged"), "{\"path\": \"" + at("a file").toUtf8() + "\", \"work\": \"" + at("old").toUtf8() + "\"}"));
        QCOMPARE(OutputFolder::recoverLeftovers(),
                 QStringList { "A batch writing “" + at("old") + "” was stopped before it finished; its unfinished files were removed." });
        QVERIFY(!QFileInfo::exists(at(".old.veltrane-partial")) && QFileInfo(at("a file")).isFile());
        QCOMPARE(tree(at("old")), QStringList { "keep.txt=mine" });
        QVERIFY(QDir(at("state/veltrane/runs")).isEmpty());
    }

    // A killed process's folder goes; a live one's, a link, anything not named as ours and our own stay.
    void privateFolderLeftovers()
    {
        QProcess gone;
        gone.start("true");
        QVERIFY(gone.waitForStarted());
        const QString dead = QString::number(gone.processId()); // Qt says 0 once it has ended
        QVERIFY(gone.waitForFinished());
        QTemporaryDir root;
        const QStringList names { "veltrane-" + dead + "-a1B2c3", "veltrane-1-a1B2c3",
                                  QString("veltrane-%1-a1B2c3").arg(QCoreApplication::applicationPid()),
                                  "veltrane-" + dead + "-short", "other-" + dead + "-a1B2c3" };
        for (const QString &name : names)
            QVERIFY(QDir(root.path()).mkpath(name + "/inside"));
        QVERIFY(QFile::link(root.filePath(names[1]), root.filePath("veltrane-" + dead + "-link01")));
        QCOMPARE(PrivateFolder::removeLeftovers(root.path()), 1);
        QCOMPARE(entries(root.path()).size(), 5);
        QVERIFY(!QFileInfo::exists(root.filePath(names[0])));

        // Ours is named so that a later run knows whose it was.
        QVERIFY(QFileInfo(PrivateFolder::path()).fileName().startsWith(QString("veltrane-%1-").arg(QCoreApplication::applicationPid())));
    }
};

// Started as "holdFolder PATH": makes PATH's work folder, writes into it and waits to be killed.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "holdFolder") {
        auto made = OutputFolder::create(QString::fromLocal8Bit(argv[2]), true, {});
        if (!std::holds_alternative<OutputFolder>(made))
            return 1;
        writeFile(std::get<OutputFolder>(made).workPath() + "/out.mp4", "new");
        ::pause();
        return 0;
    }
    TestOutputFolder test;
    return QTest::qExec(&test, argc, argv);
}
#include "TestOutputFolder.moc"
