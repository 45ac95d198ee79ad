// A tool and what it starts end together (when Veltrane itself is killed: TestCliCompress's SIGKILL case).
#include "compress/TranscoderRun.h"
#include "tools/Tools.h"

#include "TestSupport.h"

#include <csignal>
#include <thread>

using namespace TestSupport;

namespace {

// Leaves a child that writes "$RUNS.late" half a second later, then ends or, as "$END" says, waits to be stopped.
const QString leavesAChild = R"SH(
( sleep 0.5; echo late > "$RUNS.late" ) &
echo "$! child" >> "$RUNS"
echo "$$ tool" >> "$RUNS"
[ "$END" = ends ] || exec sleep 30
)SH";

// Waits, on any thread, until the fake tools have logged that many lines.
bool waitForRuns(const FakeTools &tools, qsizetype count)
{
    const QDeadlineTimer deadline(5000);
    while (tools.runs().size() < count && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return tools.runs().size() >= count;
}

}

class TestTools : public QObject
{
    Q_OBJECT

private slots:
    // The transcoder's runs and Tools::run's, on the application's thread and on a worker: each end takes the same way out.
    void leftChildrenEnd()
    {
        const std::pair<QString, QString> cases[] = { { "transcoder", "ends" }, { "transcoder", "cancelled" }, { "tool", "ends" },
                                                       { "worker", "stopped" } }; // worker: a tool on a worker thread
        for (const auto &[runner, end] : cases) {
            const FakeTools tools(leavesAChild);
            const ScopedEnvironment ending("END", end);
            const QString creator = tools.path() + "/creator";
            std::atomic<bool> stop { false };
            std::jthread stopper;
            if (end != "ends")
                stopper = std::jthread([&] { stop.store(waitForRuns(tools, 2)); });
            if (runner == "transcoder") {
                std::atomic<qint64> processId { 0 };
                const auto result = TranscoderRun::run(creator, {}, tools.path() + "/out.mp4", TranscoderRun::Output::discard, stop, processId, {});
                QCOMPARE(result.end, end == "ends" ? TranscoderRun::End::exited : TranscoderRun::End::cancelled);
            } else if (runner == "tool") {
                QVERIFY(!Tools::run(creator, {}, Tools::Stream::discard, Tools::Stream::discard).timedOut);
            } else {
                Tools::RunResult result;
                std::thread worker([&] { result = Tools::run(creator, {}, Tools::Stream::discard, Tools::Stream::discard, &stop); });
                worker.join();
                QVERIFY(result.stopped);
            }
            QCOMPARE(tools.runs().size(), 2);
            // Killed, not left to end on its own half a second later.
            QTRY_VERIFY2_WITH_TIMEOUT(tools.allGone(), qPrintable(runner + ' ' + end + ": " + tools.runs().join(", ")), 300);
            QTest::qWait(800);
            QVERIFY2(!QFileInfo::exists(tools.path() + "/runs.late"), qPrintable(runner + ' ' + end + ": a child the tool left wrote after its run"));
        }
    }
};

QTEST_GUILESS_MAIN(TestTools)
#include "TestTools.moc"
