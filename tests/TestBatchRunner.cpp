#include "compress/BatchRunner.h"
#include "util/TextFormat.h"

#include "TestSupport.h"

#include <QtTest>

#include <csignal>
#include <future>

namespace {

// Logs "<pid> <name>" at launch, reports 1 s of a 2 s clip, then does what the
// input's name says. Its stdin must not be the terminal: ffmpeg reads keys there.
const char fakeCreator[] = R"SH(
[ "$(readlink /proc/$$/fd/0)" = /dev/null ] || exit 9
for output; do :; done
name=${2##*/}
echo "$$ ${name%.*}" >> "$RUNS"
echo 'frame=   25 fps=0.0 q=28.0 size=       1kB time=00:00:01.00 bitrate=   8.2kbits/s speed=  2x' >&2
case $name in
  ok*) printf data > "$output" ;;
  fail*) exit 3 ;;
  crash*) ulimit -c 0; kill -SEGV $$ ;;
  empty*) : > "$output" ;;
  stubborn*) trap '' TERM; for i in $(seq 100); do sleep 0.1; done ;;
  slow*) for i in $(seq 100); do sleep 0.1; done ;;
esac
)SH";

}

class TestBatchRunner : public QObject
{
    Q_OBJECT

private slots:
    void progress_data()
    {
        QTest::addColumn<QByteArray>("chunk"); // from row 1 of two, each 60 s long
        QTest::addColumn<QString>("percent"); // empty: no update

        QTest::newRow("past the end, unclamped") << QByteArray("frame= 1525 fps=250 size= 2048kB time=00:01:01.00 bitrate= 275.0kbits/s\r")
                                                 << "100.83333333333333";
        QTest::newRow("first clock of the chunk") << QByteArray("  Duration: 00:01:00.00, start: 0.0\nframe= 1 time=00:00:30.00") << "100.0";
        QTest::newRow("clock without time=") << QByteArray("  Duration: 00:00:30.00, start: 0.0") << "";
        QTest::newRow("not UTF-8") << QByteArray("time=00:00:30.00 \xff\xfe") << "";
        QTest::newRow("split mid-clock") << QByteArray("frame= 9 time=00:00:3") << "";
    }
    void progress()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(QString, percent);
        const TestSupport::DiagnosticCapture capture;
        const auto value = handleTranscoderOutput(chunk, 1, 2, { 60, 60 });
        QCOMPARE(value ? TextFormat::decimalText(*value) : QString(), percent);
        QCOMPARE(capture.lines(), percent.isEmpty() ? QStringList() : QStringList { "Percent : " + percent });
    }

    void runs_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("when"); // to cancel, or once the named run is launched
        QTest::addColumn<int>("presses");
        QTest::addColumn<QString>("outcomes"); // S, Failed to start, Crashed, Exit status, No output, X
        QTest::addColumn<int>("launches"); // at most
        const QStringList two { "ok-a", "ok-b" }, three { "ok-a", "slow-b", "ok-c" };

        QTest::newRow("every end of a run") << QStringList { "ok-1", "fail-2", "crash-3", "none-4", "empty-5" } << "" << 0 << "SECNN" << 5;
        QTest::newRow("empty batch") << QStringList {} << "" << 0 << "" << 0;
        QTest::newRow("no transcoder") << two << "no creator" << 0 << "FF" << 0;
        QTest::newRow("cancel before the first launch") << two << "before" << 1 << "XX" << 0;
        QTest::newRow("cancel mid-run") << three << "slow-b" << 1 << "SXX" << 2;
        QTest::newRow("cancel twice") << three << "slow-b" << 2 << "SXX" << 2;
        // Past the runner's check for row 1, before it records the new process.
        QTest::newRow("cancel between check and launch") << three << "row 1" << 1 << "SXX" << 2;
        QTest::newRow("cancel after the last run") << two << "after" << 1 << "SS" << 2;
        QTest::newRow("transcoder ignores terminate") << QStringList { "stubborn-a", "ok-b" } << "stubborn-a" << 1 << "XX" << 1;
    }
    void runs()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, when);
        QFETCH(int, presses);
        QFETCH(QString, outcomes);
        QFETCH(int, launches);
        const TestSupport::FakeTools tools(when == "no creator" ? std::optional<QString>() : QString(fakeCreator));
        const TestSupport::DiagnosticCapture quiet; // the "Percent : " lines

        Batch batch;
        for (const QString &name : names) {
            batch.inputs << "/in/" + name + ".mov";
            batch.outputs << tools.path() + '/' + name + ".mp4";
            batch.argumentLists << QStringList { "-i", batch.inputs.last(), "-y", batch.outputs.last() };
            batch.durations << 2.0;
        }

        // The runner on the pool, cancelled through the flag and the slot, as by the button.
        std::atomic<bool> cancelled { false };
        ProcessSlot slot;
        const auto press = [&] {
            for (int k = 0; k < presses; ++k) {
                cancelled.store(true); // flag first, as the button does
                slot.terminate();
            }
        };
        QList<double> progress; // the runner's: read once it is done
        const auto atRowStart = [&](qsizetype row) { if (when == "row 1" && row == 1) press(); };
        const RunnerHooks hooks { [&](double percent, qsizetype) { progress << percent; }, atRowStart };
        if (when == "before")
            press();
        std::promise<QList<RowResult>> promise;
        std::future<QList<RowResult>> done = promise.get_future();
        // A slow run alone takes 10 s; one that ignores terminate is killed 3 s after it.
        const QDeadlineTimer deadline(when.startsWith("stubborn") ? 8000 : 3000);
        QThreadPool::globalInstance()->start(
            [&] { promise.set_value(runBatch(batch, cancelled, slot, hooks, TranscoderOutput::discard)); });
        if (names.contains(when)) {
            // Known from the fake's log alone: no synchronisation with the runner, as for a click.
            QTRY_VERIFY_WITH_TIMEOUT(!tools.runs().filter(' ' + when).isEmpty(), 10000);
            press();
        }
        if (done.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
            qFatal("the runner did not finish");
        const QList<RowResult> results = done.get();
        QVERIFY2(!deadline.hasExpired(), "the batch took too long");
        if (when == "after")
            press();

        QString letters; // in RowOutcome's order
        for (const RowResult &result : results)
            letters += QChar("SFCENX"[int(result.outcome)]);
        QCOMPARE(letters, outcomes);
        // The alert names every row neither done nor cancelled.
        QCOMPARE(failedInputs(batch, results).size(), outcomes.size() - outcomes.count('S') - outcomes.count('X'));
        if (outcomes == "SECNN") // 1 s of 2 s in row i of 5
            QCOMPARE(progress, (QList<double> { 10, 30, 50, 70, 90 }));
        QVERIFY(tools.runs().size() <= launches);
        for (const QString &launch : tools.runs())
            QVERIFY2(::kill(pid_t(launch.section(' ', 0, 0).toLongLong()), 0) != 0 && errno == ESRCH, qPrintable(launch));
    }
};

QTEST_GUILESS_MAIN(TestBatchRunner)
#include "TestBatchRunner.moc"
