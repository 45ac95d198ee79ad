#include "compress/BatchJob.h"
#include "util/TextFormat.h"

#include "TestSupport.h"

#include <QtTest>

#include <csignal>

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
  late*) sleep 0.3; echo 'frame= 50 time=00:00:00.50' >&2; sleep 0.3; echo 'frame= 75 time=00:00:03.00' >&2; printf data > "$output" ;;
esac
)SH";

Batch batchOf(const QStringList &names, const QString &folder)
{
    Batch batch;
    for (const QString &name : names) {
        batch.inputs << "/in/" + name + ".mov";
        batch.outputs << folder + '/' + name + ".mp4";
        batch.argumentLists << QStringList { "-i", batch.inputs.last(), "-y", batch.outputs.last() };
        batch.durations << 2.0;
    }
    return batch;
}

bool allGone(const QStringList &runs)
{
    for (const QString &launch : runs)
        if (::kill(pid_t(launch.section(' ', 0, 0).toLongLong()), 0) == 0 || errno != ESRCH)
            return false;
    return true;
}

}

class TestBatchJob : public QObject
{
    Q_OBJECT

private slots:
    void progressText_data()
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
    void progressText()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(QString, percent);
        const TestSupport::DiagnosticCapture capture;
        const auto value = BatchJob::handleTranscoderOutput(chunk, 1, 2, { 60, 60 });
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
        QTest::newRow("cancel before the start") << two << "before" << 1 << "XX" << 0;
        QTest::newRow("cancel mid-run") << three << "slow-b" << 1 << "SXX" << 2;
        QTest::newRow("cancel twice") << three << "slow-b" << 2 << "SXX" << 2;
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

        BatchJob job(batchOf(names, tools.path()), BatchJob::TranscoderOutput::discard);
        QSignalSpy finished(&job, &BatchJob::finished);
        QSignalSpy started(&job, &BatchJob::rowStarted);
        QList<double> progress;
        connect(&job, &BatchJob::progress, this, [&](double percent) { progress << percent; });
        const auto press = [&] {
            for (int k = 0; k < presses; ++k)
                job.cancel();
        };
        if (when == "before")
            press();
        // A slow run alone takes 10 s; one that ignores terminate is killed 3 s after it.
        const QDeadlineTimer deadline(when.startsWith("stubborn") ? 8000 : 3000);
        job.start();
        QVERIFY(job.isRunning());
        if (names.contains(when)) {
            // Known from the fake's log alone, as a click would come.
            QTRY_VERIFY_WITH_TIMEOUT(!tools.runs().filter(' ' + when).isEmpty(), 10000);
            QVERIFY(job.processId() > 0);
            press();
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
        QVERIFY2(!deadline.hasExpired(), "the batch took too long");
        QVERIFY(!job.isRunning() && job.processId() == 0);
        if (when == "after")
            press();

        QString letters; // in RowOutcome's order
        for (const RowResult &result : job.results())
            letters += QChar("SFCENX"[int(result.outcome)]);
        QCOMPARE(letters, outcomes);
        QCOMPARE(finished.first().first().value<QList<RowResult>>().size(), names.size());
        // The alert names every row neither done nor cancelled.
        QCOMPARE(BatchJob::failedInputs(job.batch(), job.results()).size(), outcomes.size() - outcomes.count('S') - outcomes.count('X'));
        QCOMPARE(started.size(), outcomes.size() - outcomes.count('X') + (names.contains(when) ? 1 : 0));
        if (outcomes == "SECNN") // each row starts at its share and reports 1 s of 2 s
            QCOMPARE(progress, (QList<double> { 0, 10, 20, 30, 40, 50, 60, 70, 80, 90 }));
        QVERIFY(tools.runs().size() <= launches);
        QVERIFY2(allGone(tools.runs()), qPrintable(tools.runs().join(", ")));
    }

    // Progress only grows and stays within the row's share: a clock past the
    // duration (3 s of 2) stops at the row's end, and a lower one is dropped.
    void progressOnlyGrows()
    {
        const TestSupport::FakeTools tools{QString(fakeCreator)};
        const TestSupport::DiagnosticCapture quiet;
        BatchJob job(batchOf({ "late-a", "ok-b" }, tools.path()), BatchJob::TranscoderOutput::discard);
        QList<std::pair<double, qsizetype>> progress;
        connect(&job, &BatchJob::progress, this, [&](double percent, qsizetype row) { progress.append({ percent, row }); });
        QSignalSpy finished(&job, &BatchJob::finished);
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        // Row 0: its start, 1 s, 0.5 s dropped, 3 s held at 50; row 1: its start (50 again) dropped, then 1 s.
        QCOMPARE(progress, (QList<std::pair<double, qsizetype>> { { 0, 0 }, { 25, 0 }, { 50, 0 }, { 75, 1 } }));
    }

    // A job let go of in the middle of a run stops its transcoder at once,
    // waits for it, and nothing it started calls anyone afterwards.
    void destroyedMidRun()
    {
        const TestSupport::FakeTools tools{QString(fakeCreator)};
        const TestSupport::DiagnosticCapture quiet;
        auto listener = std::make_unique<QObject>();
        int calls = 0;
        auto job = std::make_unique<BatchJob>(batchOf({ "slow-a", "ok-b" }, tools.path()), BatchJob::TranscoderOutput::discard);
        connect(job.get(), &BatchJob::progress, listener.get(), [&] { ++calls; });
        connect(job.get(), &BatchJob::rowFinished, listener.get(), [&] { ++calls; });
        connect(job.get(), &BatchJob::finished, listener.get(), [&] { ++calls; });
        job->start();
        QTRY_VERIFY_WITH_TIMEOUT(tools.runs().size() == 1, 10000);
        QElapsedTimer clock;
        clock.start();
        job.reset();
        QVERIFY2(clock.elapsed() < 2000, "letting go waited for the slow run");
        QVERIFY(allGone(tools.runs()));
        const int before = calls;
        QTest::qWait(300);
        QCOMPARE(calls, before);
        QCOMPARE(tools.runs().size(), 1); // the next row never started
    }
};

QTEST_GUILESS_MAIN(TestBatchJob)
#include "TestBatchJob.moc"
