// Faults injected through fake tools, signals and odd names: each case checks
// what the user is told (status, message) and that nothing of theirs was lost.
#include "cli/Cli.h"
#include "tools/Tools.h"

#include "CliTestSupport.h"
#include "TestSupport.h"

#include <QtTest>

#include <csignal>

using namespace TestSupport;

namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

bool allProcessesGone(const QStringList &runs)
{
    for (const QString &run : runs)
        if (::kill(pid_t(run.toLongLong()), 0) == 0)
            return false;
    return true;
}

// A transcoder that logs its process id, reports a little progress and then sleeps: a run to interrupt.
const QString sleeper = "echo $$ >> \"$RUNS\"\necho 'frame= 1 time=00:00:00.10' >&2\nexec sleep 30";

}

class TestFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work; // the current folder: clip.mp4 (1 s), keep/old.txt

private slots:
    void initTestCase()
    {
        if (!QFileInfo(realTool(Tools::creator)).isExecutable())
            QSKIP("ffmpeg is not in the resources folder");
        QVERIFY(QDir::setCurrent(m_work.path()) && makeVideo("clip.mp4", 160, 120, 1.0, 0));
        QVERIFY(QDir().mkpath("keep") && QFile("keep/old.txt").open(QIODevice::WriteOnly));
    }
    void cleanup()
    {
        QDir("out").removeRecursively();
        // Nothing of the user's was touched, and nothing was left behind.
        QVERIFY(QFileInfo("clip.mp4").size() > 0 && QFileInfo::exists("keep/old.txt"));
        QVERIFY2(entries(".").filter(QRegularExpression("^\\.")).isEmpty(), qPrintable(entries(".").join(", ")));
    }

    // Missing or misbehaving tools, and a folder that cannot be made: the user is told why, and
    // the transcoder runs only into a folder made for it.
    void cli_data()
    {
        QTest::addColumn<QString>("creator"); // fake's body; empty: none
        QTest::addColumn<QString>("sniffer"); // fake's body; empty: the real one
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("message"); // on stdout or stderr; %1 is the current folder
        QTest::addColumn<bool>("made"); // out/ exists afterwards, empty, and the transcoder ran
        QTest::newRow("no probe tool") << sleeper << "MISSING" << "out" << "the probe tool (sniffer) was not found in " << false;
        QTest::newRow("a probe tool that says nothing") << sleeper << "echo Segmentation fault" << "out"
                                                         << "the probe tool gave no readable report" << false;
        QTest::newRow("a probe tool that hangs") << sleeper << "exec sleep 30" << "out" << "the probe tool did not answer within 1 s" << false;
        QTest::newRow("no transcoder") << "" << "" << "out" << "the transcoder (creator) was not found in " << false;
        QTest::newRow("no parent folder") << sleeper << "" << "missing/out" << "could not create %1/missing/out: No such file or directory" << false;
        // Its last lines go under the failure, progress lines left out.
        QTest::newRow("a transcoder that fails") << "echo $$ >> \"$RUNS\"\necho 'frame= 1 time=00:00:00.10' >&2\necho 'Conversion failed!' >&2\nexit 1"
                                                 << "" << "out" << "%1/clip.mp4: the transcoder reported an error\n    Conversion failed!\n" << true;
    }
    void cli()
    {
        QFETCH(QString, creator);
        QFETCH(QString, sniffer);
        QFETCH(QString, output);
        QFETCH(QString, message);
        QFETCH(bool, made);
        const FakeTools tools(creator.isEmpty() ? std::optional<QString>() : creator, sniffer.isEmpty() ? std::optional<QString>() : sniffer);
        if (sniffer == "MISSING")
            QFile::remove(tools.path() + "/sniffer");
        const ScopedEnvironment bound("VELTRANE_TOOL_TIMEOUT_MS", QString("1000"));
        const CliRun run = runCli({ "compress", "--output", output, "clip.mp4" });
        QVERIFY2(run.status == Cli::failure && (run.out + run.err).contains(message.arg(QDir::currentPath())), qPrintable(describe(run)));
        QCOMPARE(QFileInfo::exists("out") ? entries("out") : QStringList { "-" }, made ? QStringList() : QStringList { "-" });
        QCOMPARE(tools.runs().size(), made ? 1 : 0);
    }

    // Ctrl-C, termination and a closed terminal stop the batch, remove what it wrote, put back the
    // folder it was replacing, and say so with their own status.
    void cliSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("status");
        QTest::newRow("SIGINT") << int(SIGINT) << 130;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
        QTest::newRow("SIGHUP") << int(SIGHUP) << 129;
    }
    void cliSignals()
    {
        QFETCH(int, signal);
        QFETCH(int, status);
        const FakeTools tools(sleeper);
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/veltrane-cli", { "compress", "--force", "--output", "keep", "clip.mp4" });
        QTRY_COMPARE_WITH_TIMEOUT(tools.runs().size(), 1, 10000);
        ::kill(pid_t(cli.processId()), signal);
        QVERIFY(cli.waitForFinished(5000));
        QCOMPARE(cli.exitCode(), status);
        QVERIFY(QString::fromUtf8(cli.readAllStandardError()).contains("put back the folder it replaced"));
        QCOMPARE(entries("keep"), QStringList { "old.txt" });
        QVERIFY(allProcessesGone(tools.runs()));
    }

    // The window quits on the same signals, with the same statuses.
    void windowSignals()
    {
        QProcess app;
        app.start(QCoreApplication::applicationDirPath() + "/veltrane", {});
        QVERIFY(app.waitForStarted());
        // Once it catches SIGTERM, as the kernel tells (SigCgt is a hexadecimal mask, bit n - 1 for signal n).
        const auto catchesTerm = [&app] {
            QFile status(QString("/proc/%1/status").arg(app.processId()));
            if (!status.open(QIODevice::ReadOnly))
                return false;
            for (const QByteArray &line : status.readAll().split('\n'))
                if (line.startsWith("SigCgt:"))
                    return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(catchesTerm(), 10000);
        ::kill(pid_t(app.processId()), SIGTERM);
        QVERIFY(app.waitForFinished(5000));
        QCOMPARE(app.exitCode(), 143);
    }

    // A name whose bytes are not UTF-8 is refused for that reason, not as missing.
    void nameNotUtf8()
    {
        const QString cli = QCoreApplication::applicationDirPath() + "/veltrane-cli";
        QProcess shell;
        shell.start("/bin/sh", { "-c", "name=\"$(printf 'bad\\377\\376').mp4\"; cp clip.mp4 \"$name\"; \"$1\" compress --output out \"$name\"; "
                                       "status=$?; rm \"$name\"; exit $status", "sh", cli });
        QVERIFY(shell.waitForFinished(30000));
        QCOMPARE(shell.exitCode(), 1);
        QVERIFY(QString::fromUtf8(shell.readAllStandardError()).contains(": the name is not valid UTF-8"));
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "TestFaults.moc"
