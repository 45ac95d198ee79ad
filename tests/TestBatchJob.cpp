#include "compress/BatchJob.h"
#include "compress/RowEncoder.h"
#include "util/TextFormat.h"

#include "TestSupport.h"

namespace {

// Logs "<pid> <name> <pass> <video bitrate>", then does what the input's name says with the clips in $CLIPS.
// Its stdin must not be the terminal: ffmpeg reads keys there.
const char fakeCreator[] = R"SH(
[ "$(readlink /proc/$$/fd/0)" = /dev/null ] || exit 9
for output; do :; done
name=${2##*/}
pass=0 rate= prev=
for a; do case $prev in -pass) pass=$a ;; -b:v) rate=$a ;; -fastfirstpass) pass=0 ;; -passlogfile) log=$a ;; esac; prev=$a; done
echo "$$ ${name%.*} $pass $rate" >> "$RUNS"
# Those that must run to their end show no clock: a clock read after their output was written could stop them early.
case $name in big*|huge*|seq*|pass2fail*|floor*|retry*) ;; *) echo 'frame=   25 fps=0.0 q=28.0 size=       1kB time=00:00:01.00 bitrate=   8.2kbits/s speed=  2x' >&2 ;; esac
small() { cp "$CLIPS/tiny.mp4" "$output"; }
case $name in
  ok*) small ;;
  fail*) exit 3 ;;
  crash*) ulimit -c 0; kill -SEGV $$ ;;
  empty*) : > "$output" ;;
  stubborn*) trap '' TERM; for i in $(seq 100); do sleep 0.1; done ;;
  slow*) for i in $(seq 100); do sleep 0.1; done ;;
  late*) sleep 0.3; echo 'frame= 50 time=00:00:00.50' >&2; sleep 0.3; echo 'frame= 75 time=00:00:03.00' >&2; small ;;
  big*) if [ $pass = 0 ]; then cp "$CLIPS/big.mp4" "$output"; else small; fi ;;
  floor*) if [ $pass = 0 ]; then cp "$CLIPS/big.mp4" "$output"; else echo '[libx264] requested bitrate is too low. estimated minimum is 13 kbps' >&2; exit 1; fi ;;
  pass2fail*) case $pass in 0) sleep 0.3; cp "$CLIPS/big.mp4" "$output" ;; 1) small ;; 2) head -c 3000 "$CLIPS/big.mp4" > "$output"; exit 3 ;; esac ;;
  noaudio*|tracks*) cp "$CLIPS/$([ "${name#tracks}" = "$name" ] || echo sound)tiny.mp4" "$output" ;;
  huge*) cp "$CLIPS/big.mp4" "$output" ;;
  heading*) if [ $pass = 0 ]; then cp "$CLIPS/big.mp4" "$output"; echo 'frame= 15 time=00:00:00.60' >&2; exec sleep 10; else small; fi ;;
  junk*) printf data > "$output" ;;
  still*) [ $pass = 0 ] && echo 'in:1 out:1 type:P dur:2 q:40.00 tex:9 mv:9 misc:9 imb:0 pmb:10 smb:990 d:- ref:0 ;' > "$log-0.log"; small ;;
  short*) cp "$CLIPS/short.mp4" "$output" ;;
  full*) head -c 3000 "$CLIPS/big.mp4" > "$output"; echo 'av_interleaved_write_frame(): No space left on device' >&2 ;;
  nospace*) head -c 3000 "$CLIPS/big.mp4" > "$output"; echo 'Error writing trailer: No space left on device' >&2; exit 1 ;;
  stall*) exec sleep 30 ;;
  seq*) # seq-A-B-...: the Nth encode that writes an output copies clip N (a first pass writes a small one)
    if [ $pass = 1 ]; then small; else
      n=$(grep -c " ${name%.*} [02] " "$RUNS"); set -- $(echo "${name%.*}" | tr - ' '); shift $n; cp "$CLIPS/$1.mp4" "$output"; fi ;;
  retry*) if [ $pass = 2 ]; then exec sleep 10; elif [ $pass = 0 ]; then cp "$CLIPS/big.mp4" "$output"; else small; fi ;;
esac
)SH";

constexpr qint64 target = 50'000;

Batch batchOf(const QStringList &names, const QString &folder)
{
    Batch batch;
    batch.outputFolder = folder;
    // A name that starts with "noaudio" or "tracks" has sound, the latter 8 tracks of it and 2 of subtitles.
    for (const QString &name : names) {
        const bool sound = name.startsWith("noaudio") || name.startsWith("tracks");
        batch.rows << RowPlan { .input = "/in/" + name + ".mov", .output = folder + '/' + name + ".mp4", .duration = 2.0,
                                .targetBytes = target, .videoKbps = 100, .audioKbps = sound ? std::optional(32.0) : std::nullopt,
                                .frameRate = 25, .audioTracks = name.startsWith("tracks") ? 8 : sound, .subtitleTracks = name.startsWith("tracks") ? 2 : 0 };
    }
    return batch;
}

// The letters of the outcomes, in RowOutcome's order.
QString letters(const QList<RowResult> &results)
{
    QString text;
    for (const RowResult &result : results)
        text += QChar("SFCENXUOT"[int(result.outcome)]);
    return text;
}

// when: cancel "before" the start, or once the named run is launched; outcomes: their letters.
struct RunsCase { QStringList names; QString when, outcomes; };
// name: the input, whose start says what the fake does; runs: the pass of each run, 0 a single run; reason: part of the description.
struct EncodeCase { QString name; Passes passes; QString outcome, runs, reason; };

}

class TestBatchJob : public QObject
{
    Q_OBJECT

    QTemporaryDir m_clips; // tiny.mp4, soundtiny.mp4 (with sound) and big.mp4 of 2 s, short.mp4 of 1.52 s
    std::optional<TestSupport::ScopedEnvironment> m_clipsVariable;

private slots:
    void initTestCase()
    {
        using TestSupport::makeClip;
        const QStringList noise { "-f", "lavfi", "-i", "testsrc=s=320x240:r=25:d=2,noise=alls=40:allf=t", "-pix_fmt", "yuv420p" };
        QVERIFY(makeClip(m_clips.filePath("tiny.mp4"), { "-f", "lavfi", "-i", "color=s=32x32:r=25:d=2", "-pix_fmt", "yuv420p" }));
        QVERIFY(makeClip(m_clips.filePath("short.mp4"), { "-f", "lavfi", "-i", "color=s=32x32:r=25:d=1.52", "-pix_fmt", "yuv420p" }));
        QVERIFY(makeClip(m_clips.filePath("soundtiny.mp4"), { "-f", "lavfi", "-i", "color=s=32x32:r=25:d=2", "-f", "lavfi", "-i",
                                                              "anullsrc=r=8000:cl=mono", "-t", "2", "-pix_fmt", "yuv420p", "-b:a", "8k" }));
        // Over the target: two below big.mp4 and apart from each other. Fitting: "under" leaves a good part of it unspent.
        const std::pair<QString, QString> rates[] = { { "big", "1M" }, { "over1", "230k" }, { "over2", "320k" }, { "under", "140k" }, { "fuller", "175k" } };
        for (const auto &[name, rate] : rates)
            QVERIFY2(makeClip(m_clips.filePath(name + ".mp4"), noise + QStringList { "-b:v", rate }), qPrintable(name));
        const auto size = [this](const char *name) { return QFileInfo(m_clips.filePath(name)).size(); };
        QVERIFY(size("tiny.mp4") < target && target < size("over1.mp4") && size("over1.mp4") < size("over2.mp4")
                && size("over2.mp4") < size("big.mp4") && size("big.mp4") > 2 * target && size("under.mp4") > 0.5 * target
                && size("under.mp4") < 0.93 * target && size("under.mp4") < size("fuller.mp4") && size("fuller.mp4") <= target);
        m_clipsVariable.emplace("CLIPS", m_clips.path());
    }

    // Standard error cut anywhere: the clocks of status lines (as ffmpeg 5.1 writes them), and what a failure keeps.
    void standardError()
    {
        const auto check = [](const char *name, const QByteArrayList &reads, const QString &clocks, const QString &tail) { // tail: null, not checked
            QStringList seen;
            TranscoderRun::MessageTail messages;
            const auto line = [&](QByteArrayView text) {
                messages.add(text);
                if (const auto seconds = TranscoderRun::progressSeconds(text))
                    seen << TextFormat::decimalText(*seconds);
            };
            TranscoderRun::LineSplitter splitter;
            for (const QByteArray &bytes : reads)
                splitter.feed(bytes, line);
            splitter.finish(line);
            QCOMPARE(name + (": " + seen.join(' ')), name + (": " + clocks));
            QVERIFY2(tail.isNull() || messages.text() == tail, qPrintable(name + ("\n" + messages.text())));
        };
        const auto clock = [&](const char *name, const QByteArray &line, const QString &clocks) { check(name, { line }, clocks, QString()); };
        clock("audio only", "size=      36kB time=00:01:04.01 bitrate=  72.9kbits/s speed=36.4x    ", "64.01");
        clock("past 99 hours", "frame=   25 fps=0.0 q=-0.0 Lsize=N/A time=100:00:01.00 bitrate=N/A speed=3.96e+07x    ", "360001.0");
        clock("negative", "frame=    1 fps=0.0 q=-0.0 size=N/A time=-00:00:00.16 bitrate=N/A speed=N/A    ", "0.0");
        clock("N/A", "frame=    0 fps=0.0 q=0.0 size=       0kB time=N/A bitrate=N/A speed=N/A    ", "");
        clock("Duration header", "  Duration: 00:00:04.00, start: 0.000000, bitrate: 118 kb/s", "");
        clock("a name with a clock", "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'at time=00:00:09.00.mp4':", "");
        clock("cut short", "frame=    1 fps=0.0 q=0.0 size=       0kB time=00:00:0", "");
        clock("not a field of its own", "out_time=00:00:01.000000", "");
        const auto captured = [](const char *name) { // in reads of 7 bytes
            const QByteArray bytes = TestSupport::readFile(QString(VELTRANE_TEST_DATA "/stderr/") + name);
            QByteArrayList reads;
            for (qsizetype at = 0; at < bytes.size(); at += 7)
                reads << bytes.mid(at, 7);
            return reads;
        };
        check("odd size: x264 says why", captured("odd-size.txt"), "",
              "[libx264 @ 0x558328328300] width not divisible by 2 (321x241)\n"
              "Error initializing output stream 0:0 -- Error while opening encoder for output stream #0:0 - "
              "maybe incorrect parameters such as bit_rate, rate, width or height\n"
              "[aac @ 0x55832832e6c0] 2 frames left in the queue on closing\n"
              "Conversion failed!");
        check("a run that worked says nothing", captured("compressed.txt"), "0.04 4.01", "");
        check("other encoders: info goes, warnings stay",
              { "x265 [info]: HEVC encoder version 3.5+1-f0c1022b6\nx265 [warning]: Source height < 720p; disabling lookahead-slices\n"
                "encoded 25 frames in 0.16s (159.27 fps), 38.94 kb/s, Avg QP:32.42\nSvt[info]: Number of logical cores available: 2\n"
                "[libx264 @ 0x1] final ratefactor: 21.84\n[libx264 @ 0x1] ratecontrol_init: can't open stats file\n" },
              "", "x265 [warning]: Source height < 720p; disabling lookahead-slices\n[libx264 @ 0x1] ratecontrol_init: can't open stats file");
        check("progress lines end in CR", { "frame= 1 time=00:00:0", "0.04 x\rframe= 2 time=00:00:00.08 x\r" }, "0.04 0.08", "");
        check("blank lines, CRLF, no end", { "a\r\n\r\n", "\nb\r", "\nno end" }, "", "a\nb\nno end");
        // Handed on in 4 KB pieces, of which the tail (4 KB at most) keeps the last.
        check("a line that never ends", { QByteArray(3000, 'x'), QByteArray(3000, 'x') + "\nz" }, "", QString(1904, 'x') + "\nz");
        QByteArray many;
        for (int k = 1; k <= 25; ++k)
            many += "complaint " + QByteArray::number(k) + "\n";
        check("the last 20 lines", { many }, "", QString(many.mid(many.indexOf("complaint 6")).trimmed()));
    }

    void runs_data()
    {
        QTest::addColumn<RunsCase>("row");
        const QStringList three { "ok-a", "slow-b", "ok-c" };
        QTest::newRow("every end of a run") << RunsCase { QStringList { "ok-1", "fail-2", "crash-3", "none-4", "empty-5" }, "", "SECNN" };
        QTest::newRow("no transcoder") << RunsCase { QStringList { "ok-a", "ok-b" }, "no creator", "FF" };
        QTest::newRow("cancel before the start") << RunsCase { three, "before", "XXX" };
        QTest::newRow("cancel mid-run") << RunsCase { three, "slow-b", "SXX" };
        QTest::newRow("transcoder ignores terminate") << RunsCase { QStringList { "stubborn-a", "ok-b" }, "stubborn-a", "XX" };
    }
    void runs()
    {
        QFETCH(const RunsCase, row);
        const auto &[names, when, outcomes] = row;
        const TestSupport::FakeTools tools(when == "no creator" ? std::optional<QString>() : QString(fakeCreator));
        const TestSupport::DiagnosticCapture quiet; // the "Percent : " lines

        BatchJob job(batchOf(names, tools.path()), { Passes::automatic, TranscoderRun::Output::discard });
        QSignalSpy finished(&job, &BatchJob::finished), started(&job, &BatchJob::rowStarted);
        QList<double> progress;
        connect(&job, &BatchJob::progress, this, [&](double percent) { progress << percent; });
        if (when == "before")
            job.cancel();
        // A slow run alone takes 10 s; one that ignores terminate is killed 3 s after it.
        const QDeadlineTimer deadline(when.startsWith("stubborn") ? 8000 : 3000);
        job.start();
        if (names.contains(when)) {
            // Known from the fake's log alone, as a click would come.
            QTRY_VERIFY_WITH_TIMEOUT(!tools.runs().filter(' ' + when).isEmpty(), 10000);
            QVERIFY(job.processId() > 0);
            job.cancel();
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
        QVERIFY2(!deadline.hasExpired(), "the batch took too long");
        QVERIFY(!job.isRunning() && job.processId() == 0);

        QCOMPARE(letters(job.results()), outcomes);
        // The alert names every row neither done nor cancelled.
        QCOMPARE(BatchJob::failedInputs(job.batch(), job.results()).size(), outcomes.size() - outcomes.count('S') - outcomes.count('X'));
        // The row cancelled mid-run was started, none after it.
        const qsizetype launched = outcomes.size() - outcomes.count('X') + (names.contains(when) ? 1 : 0);
        QCOMPARE(started.size(), launched);
        QCOMPARE(tools.runs().size(), when == "no creator" ? 0 : launched);
        for (qsizetype k = 1; k < progress.size(); ++k)
            QVERIFY(progress[k] > progress[k - 1]);
        QCOMPARE(progress.contains(100.0), !outcomes.contains('X')); // only at the end of a whole batch
        QVERIFY2(tools.allGone(), qPrintable(tools.runs().join(", ")));
    }

    // A clock past the duration (3 s of 2) stops short of the row's end; a lower one, and the next row's start, are dropped.
    void progressOnlyGrows()
    {
        const TestSupport::FakeTools tools { QString(fakeCreator) };
        const TestSupport::DiagnosticCapture quiet; // the "Percent : " lines
        BatchJob job(batchOf({ "late-a", "ok-b" }, tools.path()), { Passes::one, TranscoderRun::Output::discard });
        QStringList progress, percentLines;
        connect(&job, &BatchJob::progress, this, [&](double percent, qsizetype row) {
            progress << QString("%1@%2").arg(percent).arg(row);
            percentLines << "Percent : " + TextFormat::decimalText(percent);
        });
        QSignalSpy finished(&job, &BatchJob::finished);
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(progress.join(' '), "0@0 25@0 49.5@0 50@0 75@1 99.5@1 100@1");
        QCOMPARE(quiet.lines(), percentLines); // the diagnostic says what the bar shows
    }

    // The runs of a row, its output checked, the best kept under the planned name, nothing else left.
    void encodes_data()
    {
        QTest::addColumn<EncodeCase>("row");
        const Passes automatic = Passes::automatic, one = Passes::one, two = Passes::two;
        QTest::newRow("over, then a second pass fits") << EncodeCase { "big-a", automatic, "S", "02", "compressed in two passes" };
        QTest::newRow("never fits: the smallest is kept") << EncodeCase { "huge-a", automatic, "O", "0222",
                                                                         "for a target of 50 KB: the smallest this encoder could make" };
        QTest::newRow("over before it was done: stopped early") << EncodeCase { "heading-a", automatic, "S", "012", "compressed in two passes" };
        QTest::newRow("one pass: over is a warning") << EncodeCase { "big-a", one, "S", "0", "compressed, over its target by" };
        QTest::newRow("two passes from the start") << EncodeCase { "ok-a", two, "S", "12", "compressed in two passes" };
        QTest::newRow("unplayable") << EncodeCase { "junk-a", automatic, "U", "0", "the output is not a playable video; its output was removed" };
        QTest::newRow("truncated, disk full") << EncodeCase { "full-a", automatic, "U", "0", "not a playable video; the disk may be full; its output" };
        QTest::newRow("failed, disk full") << EncodeCase { "nospace-a", automatic, "E", "0",
                                                          "the transcoder reported an error; the disk may be full; its output was removed" };
        // A quarter short is a cut output, however short the clip.
        QTest::newRow("shorter than its input") << EncodeCase { "short-a", automatic, "U", "0", "the output is 1.52 s long, the input 2 s" };
        QTest::newRow("lost its audio") << EncodeCase { "noaudio-a", automatic, "U", "0", "the output lost the input's audio; its output was removed" };
        QTest::newRow("tracks left out") << EncodeCase { "tracks-a", automatic, "S", "0", "compressed | kept 1 of 8 audio tracks; left out 2 subtitle tracks" };
        // Every encode's file goes with it when it fails; an earlier output that came out over stays, said so.
        QTest::newRow("second pass fails, two passes") << EncodeCase { "pass2fail-a", two, "E", "12", "reported an error; its output was removed" };
        QTest::newRow("second pass fails after an output") << EncodeCase { "pass2fail-a", automatic, "O", "02",
                                                                          "a further encode failed: the transcoder reported an error, and its file was removed" };
        QTest::newRow("a second pass below the encoder's floor") << EncodeCase { "floor-a", automatic, "O", "02",
                                                                                "the smallest this encoder could make; the encoder cannot go lower at this picture size" };
        QTest::newRow("stalled") << EncodeCase { "stall-a", automatic, "T", "0", "the transcoder stopped making progress" };
        QTest::newRow("still pictures that fit: a second pass") << EncodeCase { "still-a", automatic, "S", "02", "compressed in two passes" };
        // What is kept: the output that fits, whenever it came; with none, the smallest, whenever it came.
        QTest::newRow("fits at last") << EncodeCase { "seq-big-over1-tiny", automatic, "S", "022", "compressed in two passes" };
        QTest::newRow("none fits, the second is smallest") << EncodeCase { "seq-over2-over1-big-over2", automatic, "O", "0222",
                                                                          "the smallest this encoder could make" };
        // One well under is raised, and when that comes out over, once more between the two.
        QTest::newRow("under: raised, came out over") << EncodeCase { "seq-under-over1-tiny-big", automatic, "S", "022", "" };
        QTest::newRow("under: raised once, fits") << EncodeCase { "seq-under-fuller-tiny", automatic, "S", "02", "compressed in two passes" };
        // Cancelled during the second pass of a retry: cancelled, not failed, and its first output goes too.
        QTest::newRow("cancelled in a retry") << EncodeCase { "retry-a", automatic, "X", "02", "" };
    }
    void encodes()
    {
        QFETCH(const EncodeCase, row);
        const auto &[name, passes, outcome, runs, reason] = row;
        const bool kept = outcome == "S" || outcome == "O";
        const TestSupport::FakeTools tools { QString(fakeCreator) };
        const TestSupport::ScopedEnvironment stall("VELTRANE_STALL_TIMEOUT_S", QString("1"));
        const TestSupport::DiagnosticCapture quiet;
        QTemporaryDir out;
        BatchJob job(batchOf({ name }, out.path()), { passes, TranscoderRun::Output::discard });
        QSignalSpy retries(&job, &BatchJob::attemptStarted), finished(&job, &BatchJob::finished);
        const QDeadlineTimer deadline(8000); // the early stop does not wait for the 10 s run
        job.start();
        if (outcome == "X") { // once the last run is launched
            QTRY_COMPARE_WITH_TIMEOUT(tools.runs().size(), runs.size(), 10000);
            job.cancel();
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
        QVERIFY(!deadline.hasExpired());

        const RowResult result = job.results().value(0);
        QCOMPARE(letters(job.results()), outcome);
        const QString said = result.description() + (result.notes.isEmpty() ? QString() : " | " + result.notes.join("; "));
        QVERIFY2(said.contains(reason), qPrintable(said));
        QString passesRun;
        for (const QString &run : tools.runs())
            passesRun += run.section(' ', 2, 2);
        QCOMPARE(passesRun, runs);
        QCOMPARE(result.attempts, runs.count('0') + runs.count('2'));
        QCOMPARE(retries.size(), result.attempts - 1);
        QCOMPARE(TestSupport::entries(out.path()), kept ? QStringList { name + ".mp4" } : QStringList());
        QCOMPARE(result.size, kept ? QFileInfo(out.filePath(name + ".mp4")).size() : 0);
        if (name.startsWith("seq")) { // the clip each encode wrote; kept: the largest that fits, or else the smallest
            QList<qint64> sizes, fitting;
            for (const QString &clip : name.split('-').mid(1, runs.count('0') + runs.count('2')))
                (QFileInfo(m_clips.filePath(clip + ".mp4")).size() <= target ? fitting : sizes) << QFileInfo(m_clips.filePath(clip + ".mp4")).size();
            QCOMPARE(result.size, fitting.isEmpty() ? *std::min_element(sizes.cbegin(), sizes.cend()) : *std::max_element(fitting.cbegin(), fitting.cend()));
        }
        if (name == "huge-a") { // each correction after a second pass asks less than the one before
            const auto rate = [&](int run) { return tools.runs().at(run).section(' ', 3).chopped(1).toDouble(); };
            QVERIFY(rate(2) < rate(1) && rate(3) < rate(2));
            QCOMPARE(result.size, QFileInfo(m_clips.filePath("big.mp4")).size());
        }
        QVERIFY(tools.allGone());
    }

    // The rate of the next correcting encode, only the video following it; and after a first run stopped early.
    void corrections()
    {
        using M = Fitting::Measured;
        const Codec h264 = Codec::h264, av1 = Codec::av1;
        const struct { const char *name; Codec codec; QList<M> encodes; double kbps; } cases[] = { // encodes: size, video bytes, kb/s asked, second pass; kbps 0: none
            { "first run far over: no guide", h264, { { 60000, 55000, 100, false } }, 178.68 },
            { "first run 10 % over its rate", h264, { { 32500, 27500, 100, false } }, 164.64 },
            { "first run under its rate: the usual", h264, { { 40000, 22000, 100, false } }, 125.89 },
            { "second pass over", h264, { { 60000, 55000, 100, false }, { 51000, 46000, 178.68, true } }, 170.91 },
            { "sound alone over", h264, { { 60000, 10000, 100, false } }, 0.0 },
            { "nothing measured", h264, {}, 0.0 },
            { "a first run far over bounds no second pass", h264, { { 62500, 60000, 190, false }, { 30000, 27500, 150, true } }, 253.64 },
            { "under a second pass that fitted: between", h264, { { 62500, 60000, 190, false }, { 30000, 27500, 150, true }, { 70000, 67500, 170, true } }, 159.69 },
            { "AV1, under a rate that fitted: between", av1, { { 60000, 55000, 100, false }, { 47000, 42000, 80, false }, { 70000, 65000, 85, false } }, 82.46 },
            { "AV1, one run", av1, { { 60000, 55000, 100, false } }, 83.49 },
            { "AV1, two runs near in rate: mostly the usual", av1, { { 60000, 55000, 100, false }, { 52000, 47000, 80, false } }, 72.55 },
            { "AV1 at its floor: a quarter of the rate, as large", av1, { { 60000, 55000, 100, false }, { 59000, 54000, 25, false } }, 0.0 },
            { "AV1, one run far under: still pictures", av1, { { 20000, 15000, 100, false } }, 151.68 },
            { "AV1, still pictures: raised far over", av1, { { 20000, 15000, 100, false }, { 80000, 75000, 250, false } }, 180.93 },
        };
        for (const auto &[name, codec, encodes, kbps] : cases) {
            const std::optional<double> rate = Fitting::correctedKbps(RowPlan { .duration = 2.0, .targetBytes = 50000, .codec = codec }, encodes);
            QVERIFY2(rate.has_value() == (kbps > 0) && (!rate || std::abs(*rate - kbps) < 0.01), qPrintable(QString("%1: %2").arg(name).arg(rate.value_or(0))));
        }
        // A well-fed picture's bytes follow SVT-AV1's rate: undamped.
        const RowPlan wellFed { .duration = 2.0, .targetBytes = 50000, .videoKbps = 100, .codec = av1, .frameRate = 25, .width = 64, .height = 36 };
        QVERIFY(std::abs(Fitting::correctedKbps(wellFed, { { 60000, 55000, 100, false } }).value_or(0) - 79.11) < 0.01);
        RowPlan plan { .duration = 2.0, .targetBytes = 50000, .videoKbps = 100 };
        QVERIFY(std::abs(Fitting::afterEarlyStopKbps(plan, 100000) - 99.49) < 0.01);
        plan.codec = Codec::av1;
        QVERIFY(std::abs(Fitting::afterEarlyStopKbps(plan, 100000) - 47.5) < 0.01);
        QCOMPARE(Fitting::afterEarlyStopKbps(plan, 20000), 100.0);
    }

    // AV1 over still pictures is fitted by CRF: the level of the next encode. Target 50000, 2 s: the planned 100 kb/s is 25000 bytes of video.
    void crfLevels()
    {
        using M = Fitting::Measured;
        const M stills { 20000, 10000, 100 }; // spent 0.4 of its rate
        const auto at = [](qint64 size, int crf) { return M { .size = size, .videoBytes = size - 10000, .crf = crf }; };
        const struct { const char *name; Codec codec; QList<M> encodes; int crf; } cases[] = { // crf 0: none
            { "stills, no picture size: the middle level first", Codec::av1, { stills }, 31 },
            { "camera content: rates", Codec::av1, { { 20000, 15000, 100 } }, 0 },
            { "a raise of a fifth that bought nothing: levels", Codec::av1, { { 40000, 30000, 100 }, { 41000, 31000, 125 } }, 31 },
            { "a raise that bought its share: rates", Codec::av1, { { 40000, 30000, 100 }, { 47500, 37500, 125 } }, 0 },
            { "H.264: rates", Codec::h264, { stills }, 0 },
            { "over: fewer bytes by the usual step", Codec::av1, { stills, at(60000, 35) }, 37 },
            { "under: more", Codec::av1, { stills, at(30000, 35) }, 30 },
            { "two levels: their own step, from the nearer", Codec::av1, { stills, at(30000, 35), at(70000, 27) }, 30 },
            { "kept between a level that fits and one over", Codec::av1, { stills, at(30000, 35), at(51000, 33) }, 34 },
            { "a level that fits, the next one over: done", Codec::av1, { stills, at(40000, 35), at(51000, 34) }, 0 },
            { "the last level over: done", Codec::av1, { stills, at(60000, 63) }, 0 },
            { "six levels down bought next to nothing: done", Codec::av1, { stills, at(30000, 35), at(31500, 29) }, 0 },
        };
        for (const auto &[name, codec, encodes, crf] : cases) {
            const std::optional<int> level = Fitting::nextCrf(RowPlan { .duration = 2.0, .targetBytes = 50000, .videoKbps = 100, .codec = codec }, encodes);
            QCOMPARE(QString("%1: %2").arg(name).arg(level.value_or(0)), QString("%1: %2").arg(name).arg(crf));
            QVERIFY2(codec != Codec::av1 || encodes.size() < 2 || Fitting::landed({ .duration = 2.0, .targetBytes = 50000, .codec = codec }, encodes, 1) == !level, name);
        }
        // The first level follows the bits per pixel: a 1080p slide show at 355 and at 42 kb/s.
        for (const auto &[kbps, crf] : { std::pair(355.0, 31), std::pair(42.0, 50) })
            QCOMPARE(Fitting::nextCrf({ .duration = 2.0, .targetBytes = 50000, .videoKbps = kbps, .codec = Codec::av1, .frameRate = 25, .width = 1920, .height = 1080 }, { stills }), crf);
    }

    // When a first run stops early, and when a row is done.
    void decisions()
    {
        // An early stop: written bytes, the share reached in thousandths, seconds of clip; target 200000.
        const struct { const char *name; QList<qint64> sizes; const char *expected; } stops[] = {
            { "over already", { 210000, 100, 5 }, "over target before it was done: two passes" },
            { "over already, late: let it finish", { 210000, 650, 5 }, "" },
            { "heading over", { 75000, 300, 30 }, "heading over target by 25.0 %: two passes" },
            { "heading over a short clip: may yet fit", { 75000, 300, 29 }, "" },
            { "heading a little over: may yet fit", { 68000, 300, 60 }, "" },
            { "heading over, too soon to say", { 75000, 200, 60 }, "" },
            { "heading over, too few bytes to say", { 63000, 250, 60 }, "" },
            { "heading over, late: let it finish", { 150000, 600, 60 }, "" },
        };
        for (const auto &[name, sizes, expected] : stops)
            QCOMPARE(name + (": " + Fitting::stopEarly(sizes.at(0), sizes.at(1) / 1000.0, 200000, double(sizes.at(2))).value_or(QString())),
                     name + (": " + QString(expected)));
        // Done or not, target 50000: negative sizes are one-pass corrections; "av1" doubles each rate; raises -2: fits already.
        const struct { const char *name; QList<qint64> sizes; int raises; QString first; bool done; } rows[] = {
            { "none fits", { 60000 }, 0, "", false },
            { "fits, full enough", { 60000, 47000 }, 0, "", true },
            { "under: raise it", { 40000 }, 0, "", false },
            { "under half: nothing to buy", { 20000 }, 0, "", true },
            { "raised, still under", { 40000, 42000 }, 1, "", true },
            { "raised, came out over", { 40000, 52000 }, 1, "", false },
            { "then between the two", { 40000, 52000, 44000 }, 1, "", true },
            { "raised in one pass, still under: again", { 40000, -42000 }, 1, "", false },
            { "raised twice in one pass, still under", { 40000, -42000, -44000 }, 2, "", true },
            { "a draft that fits: raised", { 47000 }, 0, "draft", false },
            { "a draft near its target", { 49000 }, 0, "draft", true },
            { "a draft raised, came out over: kept", { 47000, 52000 }, 1, "draft", true },
            { "already under its target", { 30000 }, -2, "", true },
            { "stills that fit: a second pass", { 49500 }, 0, "stills", false },
            { "stills, the second pass over: again", { 49500, 52000 }, 1, "stills", false },
            { "stills, then a second pass that fits", { 49500, 52000, 47000 }, 1, "stills", true },
            { "AV1 far under: raised", { 20000 }, 0, "av1", false },
            { "AV1 raised, bought next to nothing", { 20000, -21000 }, 1, "av1", true },
            { "AV1 raised, still far under: again", { 12000, -20000 }, 1, "av1", false },
        };
        for (const auto &[name, sizes, raises, first, done] : rows) {
            QList<Fitting::Measured> encodes;
            for (qint64 size : sizes)
                encodes.append(Fitting::Measured { .size = std::abs(size), .kbps = 100.0 * (1 << encodes.size()),
                                                   .secondPass = size > 0 && !encodes.isEmpty(),
                                                   .draft = first == "draft" && encodes.isEmpty(),
                                                   .mostlyStill = first == "stills" && encodes.isEmpty() });
            const RowPlan plan { .targetBytes = target, .codec = first == "av1" ? Codec::av1 : Codec::h264, .alreadyFits = raises == -2 };
            QVERIFY2(Fitting::landed(plan, encodes, std::max(raises, 0)) == done, name);
        }
    }

    // The output kept: the largest that fits, a run of stills only where nothing else fits, else the smallest.
    void keptOutput()
    {
        const struct { const char *name; QList<qint64> sizes; qsizetype kept; } cases[] = { // target 50000; negative: stills
            { "the largest that fits", { 60000, 45000, 48000 }, 2 },
            { "none fits: the smallest", { 60000, 55000, 58000 }, 1 },
            { "a second pass that fits over larger stills", { -49500, 52000, 47000 }, 2 },
            { "stills where nothing else fits", { -49500, 52000, 51000 }, 0 },
        };
        for (const auto &[name, sizes, kept] : cases) {
            QList<Fitting::Measured> encodes;
            for (qint64 size : sizes)
                encodes.append(Fitting::Measured { .size = std::abs(size), .mostlyStill = size < 0 });
            QCOMPARE(QString("%1: %2").arg(name).arg(Fitting::kept(encodes, target)), QString("%1: %2").arg(name).arg(kept));
        }
    }

    // x264's statistics: the share of its predicted frames' blocks skipped.
    void mostlyStill()
    {
        const auto frame = [](char type, int intra, int predicted, int skipped) {
            return QByteArray("in:1 out:1 type:") + type + " dur:2 cpbdur:2 q:24.00 aq:20.00 tex:100 mv:10 misc:5 imb:"
                + QByteArray::number(intra) + " pmb:" + QByteArray::number(predicted) + " smb:" + QByteArray::number(skipped) + " d:- ref:0 ;\n";
        };
        const QByteArray options = "#options: 960x540 fps=25/1 timebase=1/25 bitdepth=8 cabac=1\n";
        const struct { const char *name; QByteArray log; bool still; } cases[] = {
            { "slides", options + frame('I', 2040, 0, 0) + frame('P', 22, 117, 1901) + frame('b', 0, 40, 2000), true },
            { "camera", options + frame('I', 3600, 0, 0) + frame('P', 300, 2500, 800) + frame('B', 100, 1500, 2000), false },
            { "a key frame alone counts for nothing", options + frame('I', 3600, 0, 0), false },
            { "no statistics", QByteArray(), false },
        };
        for (const auto &[name, log, still] : cases)
            QVERIFY2(Fitting::mostlyStill(log) == still, name);
    }

    // A job let go of mid-run stops its transcoder at once, and nothing it started calls anyone afterwards.
    void destroyedMidRun()
    {
        const TestSupport::FakeTools tools { QString(fakeCreator) };
        const TestSupport::DiagnosticCapture quiet;
        auto job = std::make_unique<BatchJob>(batchOf({ "slow-a", "ok-b" }, tools.path()), EncodeOptions { Passes::automatic, TranscoderRun::Output::discard });
        QSignalSpy rowFinished(job.get(), &BatchJob::rowFinished), finished(job.get(), &BatchJob::finished);
        job->start();
        QTRY_VERIFY_WITH_TIMEOUT(tools.runs().size() == 1, 10000);
        const QDeadlineTimer deadline(2000);
        job.reset();
        QVERIFY2(!deadline.hasExpired(), "letting go waited for the slow run");
        QVERIFY(tools.allGone());
        QTest::qWait(300);
        QVERIFY(rowFinished.isEmpty() && finished.isEmpty());
        QCOMPARE(tools.runs().size(), 1); // the next row never started
    }
};

QTEST_GUILESS_MAIN(TestBatchJob)
#include "TestBatchJob.moc"
