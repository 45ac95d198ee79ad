#include "BuildConfig.h"
#include "compress/BatchRunner.h"
#include "compress/Completion.h"
#include "util/TextFormat.h"

#include "TestSupport.h"

#include <QtTest>

#include <condition_variable>
#include <csignal>
#include <mutex>

namespace {

// The fake transcoder: records "<pid> <name>" for every launch, prints one
// progress line (1 s of a 2 s clip), then does what the input's name asks.
// Its standard input must not be the user's terminal: ffmpeg reads keys there.
const char fakeCreator[] = R"SH(
ulimit -c 0
[ "$(readlink /proc/$$/fd/0)" = /dev/null ] || exit 9
input=$2
for output; do :; done
name=${input##*/}
case $name in stubborn*) trap '' TERM ;; esac
echo "$$ ${name%.*}" >> "$FAKE_LOG"
printf 'frame=   25 fps=0.0 q=28.0 size=       1kB time=00:00:01.00 bitrate=   8.2kbits/s speed=  2x\n' >&2
pause() { i=0; while [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done; }
case $name in
  ok*) printf data > "$output" ;;
  fail*) exit 3 ;;
  crash*) kill -SEGV $$ ;;
  none*) ;;
  empty*) : > "$output" ;;
  slow*) pause; printf data > "$output" ;;
  stubborn*) pause ;;
esac
)SH";

bool processGone(qint64 pid)
{
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// runBatch on the global thread pool, as the window runs it, with cancel
// coming from the test's thread through the flag and the process slot.
class BackgroundRun
{
public:
    std::function<void(qsizetype row)> atRowStart; // on the runner's thread

    void start(const Batch &batch)
    {
        m_clock.start();
        QThreadPool::globalInstance()->start([this, batch] {
            RunnerHooks hooks;
            hooks.rowStarted = [this](qsizetype row) {
                if (atRowStart)
                    atRowStart(row);
            };
            hooks.progress = [this](double percent, qsizetype row) {
                std::lock_guard lock(m_mutex);
                m_progress.append({ row, percent });
                m_changed.notify_all();
            };
            const QList<RowResult> results = runBatch(batch, cancelled, slot, hooks, TranscoderOutput::discard);
            std::lock_guard lock(m_mutex);
            m_results = results;
            m_done = true;
            m_changed.notify_all();
        });
    }

    // What the cancel button does.
    void cancel()
    {
        cancelled.store(true);
        slot.terminate();
    }

    QList<RowResult> finish()
    {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, std::chrono::seconds(30), [&] { return m_done; }))
            qFatal("the runner did not finish");
        m_elapsed = m_clock.elapsed();
        return m_results;
    }

    QList<QPair<qsizetype, double>> progress()
    {
        std::lock_guard lock(m_mutex);
        return m_progress;
    }

    // Waits on the runner's thread until the test's thread calls release().
    void holdHere()
    {
        std::unique_lock lock(m_mutex);
        m_held = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_released; });
    }
    void waitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        QVERIFY(m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_held; }));
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

    qint64 elapsed() const { return m_elapsed; }

    std::atomic<bool> cancelled { false };
    ProcessSlot slot;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<QPair<qsizetype, double>> m_progress;
    QList<RowResult> m_results;
    bool m_done = false;
    bool m_held = false;
    bool m_released = false;
    QElapsedTimer m_clock;
    qint64 m_elapsed = 0;
};

}

class TestBatchRunner : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::optional<TestSupport::ScopedEnvironment> m_resources;
    std::optional<TestSupport::ScopedEnvironment> m_log;
    std::optional<TestSupport::DiagnosticCapture> m_diagnostics;

    QString logPath() const { return m_dir.filePath("launches.log"); }

    Batch batchOf(const QStringList &names) const
    {
        Batch batch;
        batch.outputFolder = m_dir.filePath("out");
        for (const QString &name : names) {
            const QString input = "/in/" + name + ".mov";
            const QString output = batch.outputFolder + '/' + name + ".mp4";
            batch.inputs << input;
            batch.outputs << output;
            batch.argumentLists << QStringList { "-i", input, "-y", output };
            batch.durations << 2.0;
            batch.targetSizes << 1000;
        }
        return batch;
    }

    // Launches as the fake recorded them: name -> pid.
    QList<QPair<QString, qint64>> launches() const
    {
        QFile file(logPath());
        QList<QPair<QString, qint64>> launched;
        if (!file.open(QIODevice::ReadOnly))
            return launched;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() == 2)
                launched.append({ QString::fromUtf8(fields.at(1)), fields.at(0).toLongLong() });
        }
        return launched;
    }
    QStringList launchedNames() const
    {
        QStringList names;
        for (const auto &launch : launches())
            names.append(launch.first);
        return names;
    }
    // Polls the fake's log, which tells the test thread nothing about the
    // runner's memory: a cancel after this meets the runner with no
    // synchronisation of the test's own, as a click would.
    bool waitForLaunch(const QString &name) const
    {
        QDeadlineTimer deadline(10000);
        while (!launchedNames().contains(name)) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(5);
        }
        return true;
    }
    void verifyNoProcessLeft() const
    {
        for (const auto &launch : launches())
            QVERIFY2(processGone(launch.second), qPrintable(launch.first + " is still running"));
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(logPath());
        QDir(m_dir.filePath("out")).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir.filePath("out")));
        QVERIFY(!TestSupport::writeFakeTool(m_dir.filePath("tools"), "creator", fakeCreator).isEmpty());
        m_resources.emplace("VELTRANE_RESOURCES", m_dir.filePath("tools"));
        m_log.emplace("FAKE_LOG", logPath());
        m_diagnostics.emplace(); // the "Percent : " lines
    }

    void cleanup()
    {
        m_diagnostics.reset();
        m_log.reset();
        m_resources.reset();
    }

    void progress_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<int>("row");
        QTest::addColumn<QList<double>>("durations");
        QTest::addColumn<QString>("percent"); // empty: no update

        const QByteArray line = "frame=  750 fps=250 q=28.0 size=    1024kB time=00:00:30.00 bitrate= 279.6kbits/s speed=10x\r";
        QTest::newRow("second of three") << line << 1 << QList<double> { 60, 60, 60 } << "50.0";
        QTest::newRow("one row") << QByteArray("size= 1kB time=00:00:12.50 bitrate=1k") << 0 << QList<double> { 50 } << "25.0";
        QTest::newRow("past the end, unclamped") << QByteArray("time=00:01:01.00") << 1 << QList<double> { 60, 60 }
                                                << "100.83333333333333";
        QTest::newRow("no clock text") << QByteArray("frame=  0 fps=0.0 size=N/A time=N/A bitrate=N/A") << 0
                                       << QList<double> { 60 } << "";
        QTest::newRow("clock without time=") << QByteArray("  Duration: 00:00:30.00, start: 0.000000") << 0
                                             << QList<double> { 60 } << "";
        QTest::newRow("header clock comes first")
            << QByteArray("  Duration: 00:01:00.00, start: 0.000000, bitrate: 3 kb/s\nframe= 1 time=00:00:30.00 bitrate=1k")
            << 0 << QList<double> { 120 } << "50.0";
        QTest::newRow("not UTF-8") << QByteArray("time=00:00:30.00 \xff\xfe") << 0 << QList<double> { 60 } << "";
        QTest::newRow("split mid-clock") << QByteArray("frame= 9 time=00:00:3") << 0 << QList<double> { 60 } << "";
    }

    void progress()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(int, row);
        QFETCH(QList<double>, durations);
        QFETCH(QString, percent);

        TestSupport::DiagnosticCapture capture;
        const auto value = handleTranscoderOutput(chunk, row, durations.size(), durations);
        QCOMPARE(value ? TextFormat::decimalText(*value) : QString(), percent);
        QCOMPARE(capture.lines(), percent.isEmpty() ? QStringList() : QStringList { "Percent : " + percent });
    }

    // One batch mixing every outcome; the progress of each row reaches the hook.
    void outcomes()
    {
        const Batch batch = batchOf({ "ok-1", "fail-2", "crash-3", "none-4", "empty-5" });
        BackgroundRun run;
        run.start(batch);
        const QList<RowResult> results = run.finish();

        QCOMPARE(results.size(), 5);
        const QList<RowOutcome> expected { RowOutcome::succeeded, RowOutcome::exitedNonZero, RowOutcome::crashed,
                                           RowOutcome::noOutput, RowOutcome::noOutput };
        for (int i = 0; i < 5; ++i)
            QVERIFY2(results.at(i).outcome == expected.at(i), qPrintable(batch.inputs.at(i) + ": " + describe(results.at(i).outcome)));
        QCOMPARE(results.at(1).exitCode, 3);
        QCOMPARE(failedInputs(batch, results),
                 (QStringList { "/in/fail-2.mov", "/in/crash-3.mov", "/in/none-4.mov", "/in/empty-5.mov" }));
        QCOMPARE(launchedNames(), (QStringList { "ok-1", "fail-2", "crash-3", "none-4", "empty-5" }));

        // 1 s of 2 s in row i of 5: 10, 30, 50, 70, 90.
        QList<double> seen(5, -1);
        for (const auto &[row, percent] : run.progress())
            seen[row] = percent;
        QCOMPARE(seen, (QList<double> { 10, 30, 50, 70, 90 }));
        verifyNoProcessLeft();

        // The alert names the failed files instead of claiming success.
        const Completion::Alert alert = Completion::completionAlert(batch.outputFolder, failedInputs(batch, results));
        QVERIFY(alert.failed);
        QCOMPARE(alert.message, QString("Veltrane not able to compress these file(s):"));
        QCOMPARE(alert.informative, "fail-2.mov, crash-3.mov, none-4.mov, empty-5.mov\n\nQuestions? : "
                                        + QString::fromUtf8(BuildConfig::supportEmail));
        const Completion::Alert success = Completion::completionAlert(batch.outputFolder, {});
        QVERIFY(!success.failed);
        QCOMPARE(success.message, "File(s) compressed sucessfully:\n" + batch.outputFolder);
    }

    void transcoderCannotStart_data()
    {
        QTest::addColumn<QString>("creator"); // script text; empty: no creator at all
        QTest::addColumn<bool>("executable");

        QTest::newRow("missing") << "" << true;
        QTest::newRow("not executable") << "#!/bin/sh\nexit 0\n" << false;
        QTest::newRow("bad interpreter") << "#!/nonexistent/interpreter\n" << true;
    }

    void transcoderCannotStart()
    {
        QFETCH(QString, creator);
        QFETCH(bool, executable);

        const QString tools = m_dir.filePath("tools");
        QFile::remove(tools + "/creator");
        if (!creator.isEmpty()) {
            QFile file(tools + "/creator");
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(creator.toUtf8());
            file.close();
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | (executable ? QFile::ExeOwner : QFile::Permissions()));
        }
        const Batch batch = batchOf({ "ok-1", "ok-2" });
        BackgroundRun run;
        run.start(batch);
        const QList<RowResult> results = run.finish();
        QCOMPARE(results.size(), 2);
        for (const RowResult &result : results)
            QCOMPARE(describe(result.outcome), describe(RowOutcome::failedToStart));
        QCOMPARE(failedInputs(batch, results), batch.inputs);
    }

    void emptyBatch()
    {
        BackgroundRun run;
        bool hookCalled = false;
        run.atRowStart = [&](qsizetype) { hookCalled = true; };
        run.start(batchOf({}));
        QVERIFY(run.finish().isEmpty());
        QVERIFY(!hookCalled);
        QVERIFY(launches().isEmpty());
    }

    void cancel_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("when");
        QTest::addColumn<int>("presses");
        QTest::addColumn<QString>("outcomes"); // per row: S succeeded, C cancelled
        QTest::addColumn<QStringList>("neverStarted");

        QTest::newRow("before the first launch") << QStringList { "ok-a", "ok-b" } << "before" << 1 << "CC"
                                                 << QStringList { "ok-a", "ok-b" };
        QTest::newRow("during the first") << QStringList { "slow-a", "ok-b", "ok-c" } << "running slow-a" << 1 << "CCC"
                                          << QStringList { "ok-b", "ok-c" };
        QTest::newRow("during the second of three") << QStringList { "ok-a", "slow-b", "ok-c" } << "running slow-b" << 1
                                                     << "SCC" << QStringList { "ok-c" };
        QTest::newRow("pressed twice") << QStringList { "ok-a", "slow-b", "ok-c" } << "running slow-b" << 2 << "SCC"
                                       << QStringList { "ok-c" };
        // The runner has passed its check for row 1 but not yet recorded the
        // new process: the cancel must still stop that run.
        QTest::newRow("between check and launch") << QStringList { "ok-a", "slow-b", "ok-c" } << "row start 1" << 1
                                                  << "SCC" << QStringList { "ok-c" };
        QTest::newRow("after the last run") << QStringList { "ok-a", "ok-b" } << "after" << 1 << "SS" << QStringList {};
    }

    void cancel()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, when);
        QFETCH(int, presses);
        QFETCH(QString, outcomes);
        QFETCH(QStringList, neverStarted);

        BackgroundRun run;
        const auto press = [&] {
            for (int k = 0; k < presses; ++k)
                run.cancel();
        };
        if (when == "before")
            press();
        if (when == "row start 1")
            run.atRowStart = [&](qsizetype row) {
                if (row == 1)
                    run.holdHere();
            };
        run.start(batchOf(names));
        if (when.startsWith("running ")) {
            QVERIFY(waitForLaunch(when.mid(8)));
            press();
        } else if (when == "row start 1") {
            run.waitUntilHeld();
            press();
            run.release();
        }
        const QList<RowResult> results = run.finish();
        if (when == "after")
            press();

        QString seen;
        for (const RowResult &result : results)
            seen += result.outcome == RowOutcome::succeeded ? 'S' : result.outcome == RowOutcome::cancelled ? 'C' : '?';
        QCOMPARE(seen, outcomes);
        // A slow run takes 10 s; a cancelled one ends at once.
        QVERIFY2(run.elapsed() < 3000, qPrintable(QString::number(run.elapsed()) + " ms"));
        for (const QString &name : neverStarted)
            QVERIFY2(!launchedNames().contains(name), qPrintable(name + " was started"));
        QVERIFY(failedInputs(batchOf(names), results).isEmpty());
        verifyNoProcessLeft();
    }

    void transcoderIgnoringTerminateIsKilled()
    {
        BackgroundRun run;
        run.start(batchOf({ "stubborn-a", "ok-b" }));
        QVERIFY(waitForLaunch("stubborn-a"));
        run.cancel();
        const QList<RowResult> results = run.finish();
        QCOMPARE(results.size(), 2);
        QVERIFY(results.at(0).outcome == RowOutcome::cancelled && results.at(1).outcome == RowOutcome::cancelled);
        // Asked to stop, then killed after the grace period.
        QVERIFY2(run.elapsed() > 2500 && run.elapsed() < 8000, qPrintable(QString::number(run.elapsed()) + " ms"));
        QCOMPARE(launchedNames(), QStringList { "stubborn-a" });
        verifyNoProcessLeft();
    }
};

QTEST_GUILESS_MAIN(TestBatchRunner)
#include "TestBatchRunner.moc"
