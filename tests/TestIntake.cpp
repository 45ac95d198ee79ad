#include "CliTestSupport.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "filelist/RowRecord.h"
#include "tools/Tools.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>


using namespace TestSupport;
using namespace WindowTest;

namespace {

// The fake tools answer at once, then end after the delay written beside
// their file (later files are quicker, so they finish first). Each run logs
// how many fake runs are going on as it starts, itself included, then its
// name and its file.
QString delayed(const QString &answer)
{
    return "touch \"$RUNS.$$\"\nset -- \"$RUNS\".*\necho \"$# ${0##*/} $f\" >> \"$RUNS\"\n" + answer
        + "\nsleep \"$(cat \"$f.delay\")\"\nrm -f \"$RUNS.$$\"";
}
// The probe answers with the report beside its file, the thumbnail run with the picture beside its input.
const QString sniffer = "for f; do :; done\n" + delayed("cat \"$f.json\"");
const QString creator = "while [ $# -gt 0 ]; do [ \"$1\" = -i ] && f=$2; out=$1; shift; done\n" + delayed("cp \"$f.jpg\" \"$out\"");

struct Input
{
    const char *name;
    QSize video; // empty: the probe reports an error
};
// Input order; the .vob has a usable report and is refused by its name only.
const QList<Input> inputs { { "01.mp4", { 320, 240 } }, { "02 dvd.vob", { 320, 240 } }, { "03.mkv", { 200, 200 } },
                            { "04 broken.mp4", {} },   { "05.mov", { 120, 160 } },     { "06.mp4", { 400, 100 } },
                            { "07.avi", { 160, 90 } }, { "08 empty.mp4", {} } };
const QStringList accepted { "01.mp4", "03.mkv", "05.mov", "06.mp4", "07.avi" };
const QStringList refused { "02 dvd.vob", "04 broken.mp4", "08 empty.mp4" };

// The most fake runs that were going on at once, and the files the probe was run on.
std::pair<int, QStringList> concurrencyAndProbes(const FakeTools &tools)
{
    int most = 0;
    QStringList probed;
    for (const QString &run : tools.runs()) {
        most = std::max(most, run.section(' ', 0, 0).toInt());
        if (run.section(' ', 1, 1) == Tools::sniffer)
            probed << QFileInfo(run.section(' ', 2)).fileName();
    }
    return { most, probed };
}

}

class TestIntake : public QObject
{
    Q_OBJECT

    QTemporaryDir m_fakes; // inputs the fake tools answer for, each with its report, picture and delay
    QTemporaryDir m_clips; // real clips
    QStringList m_fakeInputs, m_realClips;

private slots:
    void initTestCase()
    {
        for (qsizetype i = 0; i < inputs.size(); ++i) {
            const QString path = m_fakes.filePath(inputs[i].name);
            const QSize video = inputs[i].video;
            const QByteArray report = video.isEmpty() ? R"({"error":{"code":-1}})"
                : QStringLiteral(R"({"streams":[{"codec_type":"video","codec_name":"h264","width":%1,"height":%2,)"
                                 R"("avg_frame_rate":"25/1"}],"format":{"duration":"2.5","format_name":"mov"}})")
                      .arg(video.width()).arg(video.height()).toUtf8();
            const std::pair<QString, QByteArray> files[] = { { path, "bytes" }, { path + ".json", report },
                                                              { path + ".delay", QByteArray::number(0.02 * double(inputs.size() - i)) } };
            for (const auto &[name, bytes] : files) {
                QFile file(name);
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
            }
            if (!video.isEmpty()) {
                QImage picture(video, QImage::Format_RGB32);
                picture.fill(Qt::darkCyan);
                QVERIFY(picture.save(path + ".jpg", "JPEG"));
            }
            m_fakeInputs << path;
        }

        // A dozen real clips: sizes, lengths, audio layouts and containers that differ.
        const char *extensions[] = { "mp4", "mkv", "mov" };
        for (int i = 0; i < 12; ++i) {
            const QString path = m_clips.filePath(QStringLiteral("clip %1.%2").arg(i, 2, 10, QLatin1Char('0')).arg(extensions[i % 3]));
            QVERIFY2(makeVideo(path, 96 + 16 * i, 64 + 8 * (i % 5), 0.4 + 0.1 * (i % 4), i % 4 == 3 ? 6 : i % 3), qPrintable(path));
            m_realClips << path;
        }
    }

    void cliKeepsOrder_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("jobs");
        QTest::newRow("probe, 2 jobs") << QStringList { "probe" } << 2;
        QTest::newRow("compress, 3 jobs") << QStringList { "compress", "--dry-run", "--verbose", "--output", m_fakes.filePath("out") } << 3;
    }

    // Whichever file finishes first, the output (results, refusals, diagnostic lines) is that of one job.
    void cliKeepsOrder()
    {
        QFETCH(QStringList, command);
        QFETCH(int, jobs);
        const FakeTools tools(creator, sniffer);
        const CliRun sequential = runCli(command + QStringList { "--jobs", "1" } + m_fakeInputs);
        QCOMPARE(concurrencyAndProbes(tools).first, 1);
        const FakeTools moreTools(creator, sniffer);
        const CliRun parallel = runCli(command + QStringList { "--jobs", QString::number(jobs) } + m_fakeInputs);
        QCOMPARE(parallel.out, sequential.out);
        QCOMPARE(parallel.err, sequential.err);
        QCOMPARE(parallel.status, sequential.status);
        const auto [most, probed] = concurrencyAndProbes(moreTools);
        QVERIFY2(most >= 2 && most <= jobs, qPrintable(QString::number(most)));
        QVERIFY(probed.contains("02 dvd.vob") && !sequential.out.isEmpty());
    }

    void jobsOption_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("probe, zero") << QStringList { "probe", "--jobs", "0" };
        QTest::newRow("compress, a word") << QStringList { "compress", "--jobs", "two" };
    }

    void jobsOption()
    {
        QFETCH(QStringList, arguments);
        const CliRun run = runCli(arguments + QStringList { m_fakeInputs.first() });
        QCOMPARE(run.status, int(Cli::usageError));
        QVERIFY2(run.err.startsWith("veltrane-cli " + arguments.first() + ": --jobs must be a whole number from 1 up, not '"
                                    + arguments.last() + "'"),
                 qPrintable(run.err));
    }

    // Rows, their pictures, the alert, the diagnostic line and the bar as one job would give them; a pass asked
    // for meanwhile comes after; never more tools at once than workers.
    void windowKeepsOrder()
    {
        const FakeTools tools(creator, sniffer);
        const DiagnosticCapture diagnostics;
        const auto d = launch();
        QSignalSpy bar(d->progressBar, &QProgressBar::valueChanged);
        QSignalSpy finished(d.get(), &AppDelegate::intakeFinished);
        const QString later = m_fakes.filePath("09 later.mp4");
        for (const char *suffix : { "", ".json", ".jpg", ".delay" })
            QVERIFY(QFile::copy(m_fakeInputs.first() + suffix, later + suffix));
        bool askedDuringPass = false;
        QTimer::singleShot(100, d.get(), [&] {
            askedDuringPass = d->progressWindow->isVisible();
            d->analyzeAndAddFiles(fileUrls({ later }));
        });
        d->analyzeAndAddFiles(fileUrls(m_fakeInputs));

        QCOMPARE(rowNames(*d), accepted);
        QTRY_COMPARE(finished.size(), 2);
        QVERIFY(askedDuringPass);
        QCOMPARE(rowNames(*d), accepted + QStringList { "09 later.mp4" });
        for (const QVariantMap &row : d->fileListArrayController->rows()) {
            const QSize picture = row.value(RowKeys::coverArt).value<QImage>().size();
            QCOMPARE(QString("%1x%2").arg(picture.width()).arg(picture.height()), row.value(RowKeys::resolution).toString());
        }
        QCOMPARE(visibleAlerts(*d).size(), 1);
        QVERIFY(visibleAlerts(*d).first()->informativeText().startsWith(refused.join(", ") + "\n"));
        QCOMPARE(diagnostics.lines().filter("nonWorkableFiles"), QStringList { "nonWorkableFiles : " + refused.join(", ") });
        QList<int> values;
        for (const QList<QVariant> &change : bar)
            values << change.first().toInt();
        // After each accepted file its share of the whole, then empty; the later pass's single file fills it.
        QCOMPARE(values, (QList<int> { 1250, 3750, 6250, 7500, 8750, 0, 10000, 0 }));
        const auto [most, probed] = concurrencyAndProbes(tools);
        QVERIFY2(most >= std::min(2, QThread::idealThreadCount()) && most <= QThread::idealThreadCount(), qPrintable(QString::number(most)));
        QVERIFY(probed.contains("02 dvd.vob"));
    }

    // The thumbnail runs write into the process's private folder, a file per worker; there are never more runs than
    // workers, and closing the window during the pass quits at once and stops them.
    void closeDuringPass()
    {
        const FakeTools tools(QStringLiteral("echo $$ \"$@\" >> \"$RUNS\"; exec sleep 30"));
        const int workers = std::min(QThread::idealThreadCount(), 3);
        const auto d = launch();
        QSignalSpy finished(d.get(), &AppDelegate::intakeFinished);
        QStringList runs;
        QElapsedTimer sinceClose;
        QTimer poll; // a while after every worker has its run going, as a window manager would
        connect(&poll, &QTimer::timeout, this, [&] {
            if (tools.runs().size() < workers || !runs.isEmpty())
                return;
            runs = tools.runs();
            QTimer::singleShot(300, d->window, [&] {
                sinceClose.start();
                d->window->close();
            });
        });
        poll.start(50);
        QTimer::singleShot(0, d.get(), [&] { d->analyzeAndAddFiles(fileUrls(m_realClips.mid(0, 3))); });
        QTimer::singleShot(30000, this, [] { QCoreApplication::exit(1); }); // the pass never ended
        QCOMPARE(QCoreApplication::exec(), 0); // closing the last window quits, as in the application
        QVERIFY2(sinceClose.isValid() && sinceClose.elapsed() < 5000, "the pass went on after the window closed");
        QCOMPARE(finished.size(), 1);
        QCOMPARE(tools.runs(), runs);
        QStringList outputs;
        for (const QString &run : runs) {
            QVERIFY(!processExists(run.section(' ', 0, 0).toLongLong()));
            outputs << run.section(' ', -1);
        }
        outputs.removeDuplicates();
        QCOMPARE(outputs.size(), workers);
        const QFileInfo picture(outputs.first());
        QVERIFY(picture.fileName().startsWith("snapShot-") && picture.absolutePath() != QDir::tempPath());
        QCOMPARE(QFileInfo(picture.absolutePath()).permissions(),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    }

    // Real clips: four jobs give the same report as one, field by field.
    void realClipsAsWithOneJob()
    {
        const CliRun sequential = runCli(QStringList { "probe", "--jobs", "1" } + m_realClips);
        const CliRun parallel = runCli(QStringList { "probe", "--jobs", "4" } + m_realClips);
        QVERIFY2(sequential.status == 0 && parallel.status == 0, qPrintable(describe(parallel)));
        const QJsonArray one = QJsonDocument::fromJson(sequential.out.toUtf8()).array(),
                         four = QJsonDocument::fromJson(parallel.out.toUtf8()).array();
        QCOMPARE(four.size(), m_realClips.size());
        QCOMPARE(one.size(), m_realClips.size());
        for (qsizetype i = 0; i < one.size(); ++i) {
            const QJsonObject expected = one[i].toObject(), actual = four[i].toObject();
            QVERIFY(expected["isValidMediaFile"].toBool() && expected["fileFullPath"] == m_realClips[i]);
            QCOMPARE(actual.keys(), expected.keys());
            for (const QString &field : expected.keys())
                QVERIFY2(actual[field] == expected[field], qPrintable(m_realClips[i] + ": " + field));
        }
    }
};

QTEST_MAIN(TestIntake)
#include "TestIntake.moc"
