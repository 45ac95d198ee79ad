#include "BuildConfig.h"
#include "CliTestSupport.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "cli/Cli.h"
#include "filelist/RowRecord.h"
#include "tools/Tools.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <future>
#include <map>

#include <sys/stat.h>

using namespace TestSupport;
using namespace WindowTest;

namespace {

const QString address = QString::fromUtf8(BuildConfig::supportEmail);

// Every input, what the probe makes of it ("errors", "valid", "video",
// "audio": the flags that are set) and why intake refuses it (nothing: the
// file is accepted and must compress like any other).
struct BadInput
{
    const char *name;
    const char *probe;
    const char *refusal;
};

const BadInput corpus[] = {
    { "empty.mp4", "errors", "the file could not be opened or read as media" },
    { "truncated.mp4", "errors", "the file could not be opened or read as media" },
    { "text.mp4", "errors", "the file could not be opened or read as media" },
    { "dvd.vob", "valid video", "VOB files are not supported" },
    { "audio.m4a", "valid audio", "it has no video track" },
    // A lone picture has no time of its own; the picture readers make one up
    // (nothing at all for PNG, one frame at 25 fps for JPEG).
    { "still.png", "valid video", "it is a still picture, not a video" },
    { "still.jpg", "valid video", "it is a still picture, not a video" },
    // Never opened: a reader would wait for a writer.
    { "pipe.mp4", "", "not a media file" },
    { "link to pipe.mp4", "", "not a media file" },
    { "dangling.mp4", "errors", "the file could not be opened or read as media" },
    { "folder.mp4", "errors", "the file could not be opened or read as media" },
    { "with  spaces .mp4", "valid video audio", nullptr },
    { "quotes \"double\" 'single' `back` $HOME.mp4", "valid video audio", nullptr },
    { "new\nline.mp4", "valid video audio", nullptr },
    { "ÜnïcødéЖ 日本.mp4", "valid video audio", nullptr },
    { "-dash.mp4", "valid video audio", nullptr },
};

// What lies at path, without following a link or opening a pipe: enough to
// tell that nothing was removed, replaced or written to.
QString fingerprint(const QString &path)
{
    namespace fs = std::filesystem;
    const fs::path native(path.toStdString());
    std::error_code error;
    switch (fs::symlink_status(native, error).type()) {
    case fs::file_type::symlink: return "link to " + QString::fromStdString(fs::read_symlink(native, error).string());
    case fs::file_type::fifo: return QStringLiteral("pipe");
    case fs::file_type::directory:
        return "folder of " + QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).join('|');
    case fs::file_type::regular: {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("unreadable");
        return "file " + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
    }
    default: return QStringLiteral("nothing");
    }
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

QString outputName(const QString &input) { return QFileInfo(input).completeBaseName() + ".mp4"; }

// A reader opening the pipe would wait for a writer until the tool's time
// bound; with the bound short, that shows as a run that took too long.
class PipeWatch
{
public:
    PipeWatch() { m_clock.start(); }
    bool quick() const { return m_clock.elapsed() < 2000; }

private:
    ScopedEnvironment m_bound { "VELTRANE_TOOL_TIMEOUT_MS", QStringLiteral("3000") };
    QElapsedTimer m_clock;
};

}

class TestBadInputs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void window();
    void cliProbe_data() { corpusRows(); }
    void cliProbe();
    void cliCompress_data() { corpusRows(); }
    void cliCompress();
    void cliFileVanishes();
    void outputFolderUnderAFile();

private:
    QString input(const QString &name) const { return m_corpus.filePath(name); }
    static void corpusRows();

    QTemporaryDir m_corpus;
    QTemporaryDir m_clips; // good clips, beside the corpus
    std::optional<QTemporaryDir> m_work;
    std::map<QString, QString> m_fingerprints;
    std::optional<DiagnosticCapture> m_quiet;
};

void TestBadInputs::initTestCase()
{
    if (!QFileInfo(realTool(Tools::creator)).isExecutable() || !QFileInfo(realTool(Tools::sniffer)).isExecutable())
        QSKIP("ffmpeg / ffprobe are not in the resources folder");
    QVERIFY(m_corpus.isValid() && m_clips.isValid());

    // ffmpeg is slow to start: the clips are made side by side.
    const QString clip = m_clips.filePath("good.mp4");
    const QString lavfiVideo = QStringLiteral("testsrc=size=160x120:rate=25:duration=1");
    std::vector<std::future<bool>> made;
    const auto make = [&made](auto &&maker) { made.push_back(std::async(std::launch::async, maker)); };
    make([=, this] { return makeVideo(clip); });
    make([=, this] { return makeVideo(m_clips.filePath("other.mkv"), 160, 120, 1.0, 0); });
    make([=, this] { return makeClip(input("dvd.vob"), { "-f", "lavfi", "-i", lavfiVideo, "-target", "ntsc-dvd", "-s", "160x120" }); });
    make([=, this] { return makeClip(input("audio.m4a"), { "-f", "lavfi", "-i", "sine=duration=1", "-c:a", "aac" }); });
    for (const char *still : { "still.png", "still.jpg" })
        make([=, this] { return makeClip(input(still), { "-f", "lavfi", "-i", "testsrc=size=160x120", "-frames:v", "1" }); });
    for (auto &done : made)
        QVERIFY(done.get());

    QFile original(clip);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    QVERIFY(bytes.size() > 8192);
    QVERIFY(writeFile(input("empty.mp4"), {}));
    QVERIFY(writeFile(input("truncated.mp4"), bytes.left(4096))); // its index is written last
    QVERIFY(writeFile(input("text.mp4"), "Notes for Monday\n- call the plumber\n"));
    QCOMPARE(::mkfifo(input("pipe.mp4").toLocal8Bit().constData(), 0600), 0);
    QVERIFY(QFile::link(input("pipe.mp4"), input("link to pipe.mp4")));
    QVERIFY(QFile::link(input("gone.mp4"), input("dangling.mp4")));
    QVERIFY(QDir(m_corpus.path()).mkdir("folder.mp4"));
    for (const BadInput &entry : corpus)
        if (!entry.refusal)
            QVERIFY(QFile::copy(clip, input(entry.name)));

    for (const BadInput &entry : corpus)
        m_fingerprints[input(entry.name)] = fingerprint(input(entry.name));
    for (const QString &name : { "good.mp4", "other.mkv" })
        m_fingerprints[m_clips.filePath(name)] = fingerprint(m_clips.filePath(name));
}

void TestBadInputs::init()
{
    m_work.emplace();
    m_quiet.emplace();
}

// No input is ever lost or changed, whatever the test did with it.
void TestBadInputs::cleanup()
{
    m_quiet.reset();
    m_work.reset();
    for (const auto &[path, print] : m_fingerprints)
        QVERIFY2(fingerprint(path) == print, qPrintable(path + ": " + fingerprint(path)));
}

void TestBadInputs::corpusRows()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("probe");
    QTest::addColumn<QString>("refusal");
    for (const BadInput &entry : corpus)
        QTest::newRow(QString::fromUtf8(entry.name).replace('\n', "\\n").toUtf8().constData())
            << QString::fromUtf8(entry.name) << QString::fromUtf8(entry.probe) << QString::fromUtf8(entry.refusal);
}

// The whole corpus in one pass: the refused files in one alert and one line,
// in the order given, the others as rows. Then the rows compress: odd names
// like any other, while a file gone since it was listed fails and is named,
// and the files after it still compress.
void TestBadInputs::window()
{
    const auto d = launch();
    {
        const PipeWatch watch;
        d->analyzeAndAddFiles(fileUrls({ input("pipe.mp4"), input("link to pipe.mp4") }));
        QVERIFY2(watch.quick(), "the pipe was opened");
        QCOMPARE(visibleAlerts(*d).size(), 1);
        visibleAlerts(*d).first()->buttons().first()->click();
        QTRY_VERIFY(visibleAlerts(*d).isEmpty());
    }

    const QString vanishing = m_work->filePath("vanishing.mp4");
    QVERIFY(QFile::copy(m_clips.filePath("good.mp4"), vanishing));
    QStringList paths, refused, rows, outputs;
    for (const BadInput &entry : corpus) {
        paths.append(input(entry.name));
        if (entry.refusal) {
            refused.append(QString::fromUtf8(entry.name));
            continue;
        }
        rows.append(QString::fromUtf8(entry.name));
        outputs.append(outputName(entry.name));
        if (rows.size() == 2) {
            paths.append(vanishing);
            rows.append(QStringLiteral("vanishing.mp4"));
        }
    }

    const DiagnosticCapture diagnostics;
    d->analyzeAndAddFiles(fileUrls(paths));
    QCOMPARE(rowNames(*d), rows);
    for (const QVariantMap &row : d->fileListArrayController->rows()) {
        QCOMPARE(row.value("resolution").toString(), QStringLiteral("160x120"));
        QVERIFY(qAbs(row.value("duration").toDouble() - 1.0) < 0.1);
        QVERIFY(row.value(RowKeys::coverArt).value<QImage>() != placeholderImage());
    }
    auto alerts = visibleAlerts(*d);
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(alerts.first()->text(), QStringLiteral("Veltrane not able to open these file(s):"));
    QCOMPARE(alerts.first()->informativeText(), refused.join(", ") + "\n\nQuestions? : " + address);
    QCOMPARE(diagnostics.lines().filter("nonWorkableFiles : "), QStringList { "nonWorkableFiles : " + refused.join(", ") });
    alerts.first()->buttons().first()->click();
    QTRY_VERIFY(visibleAlerts(*d).isEmpty());

    QVERIFY(QFile::remove(vanishing));
    QSignalSpy finished(d.get(), &AppDelegate::batchFinished);
    const QString folder = m_work->filePath("Compressed Files");
    d->compressVideoBTNClicked();
    QFileDialog *panel = visiblePanel(*d);
    QVERIFY(panel);
    emit panel->fileSelected(folder);
    panel->reject();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);

    alerts = visibleAlerts(*d);
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(alerts.first()->text(), QStringLiteral("Veltrane not able to compress these file(s):"));
    QCOMPARE(alerts.first()->informativeText(), "vanishing.mp4\n\nQuestions? : " + address);
    outputs.sort();
    QCOMPARE(entries(folder), outputs);
    for (const QString &name : outputs)
        QVERIFY2(QFileInfo(folder + "/" + name).size() > 0, qPrintable(name));
}

void TestBadInputs::cliProbe()
{
    QFETCH(QString, name);
    QFETCH(QString, probe);

    std::optional<PipeWatch> watch;
    if (name.contains("pipe"))
        watch.emplace();
    const CliRun run = runCli({ "probe", input(name) });
    QVERIFY2(!watch || watch->quick(), "the pipe was opened");
    QVERIFY2(run.status == Cli::success, qPrintable(describe(run)));

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError && document.isArray() && document.array().size() == 1,
             qPrintable(run.out));
    const QJsonObject entry = document.array().first().toObject();
    QCOMPARE(entry.value("fileFullPath").toString(), input(name));
    QStringList flags;
    for (const auto &[key, flag] : { std::pair { "hasErrors", "errors" }, { "isValidMediaFile", "valid" },
                                     { "hasVideoTrack", "video" }, { "hasAudioTrack", "audio" } })
        if (entry.value(key).toBool())
            flags.append(flag);
    QCOMPARE(flags.join(' '), probe);
    const QFileInfo info(input(name));
    QCOMPARE(entry.value("fileSize").toInteger(), info.isFile() ? info.size() : 0);
}

void TestBadInputs::cliCompress()
{
    QFETCH(QString, name);
    QFETCH(QString, refusal);

    const QString folder = m_work->filePath("out");
    std::optional<PipeWatch> watch;
    if (name.contains("pipe"))
        watch.emplace();
    const CliRun run = runCli({ "compress", "--output", folder, input(name) });
    QVERIFY2(!watch || watch->quick(), "the pipe was opened");
    if (refusal.isEmpty()) {
        QVERIFY2(run.status == Cli::success, qPrintable(describe(run)));
        QCOMPARE(entries(folder), QStringList { outputName(name) });
        QVERIFY(QFileInfo(folder + "/" + outputName(name)).size() > 0);
    } else {
        QVERIFY2(run.status == Cli::failure, qPrintable(describe(run)));
        QVERIFY2(run.err.contains("refused " + input(name) + ": " + refusal), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QVERIFY(!QFileInfo::exists(folder));
    }
}

// A file probed and then gone before its turn: named as failed, the others compressed.
void TestBadInputs::cliFileVanishes()
{
    const FakeTools tools(QStringLiteral("exec '%1' \"$@\"").arg(realTool(Tools::creator)),
                          QStringLiteral("'%1' \"$@\"; status=$?\n"
                                         "for last; do :; done\n"
                                         "case \"$last\" in *vanishing*) rm -f \"$last\";; esac\n"
                                         "exit $status")
                              .arg(realTool(Tools::sniffer)));
    const QString vanishing = m_work->filePath("vanishing.mp4");
    QVERIFY(QFile::copy(m_clips.filePath("good.mp4"), vanishing));
    const QString folder = m_work->filePath("out");

    const CliRun run = runCli({ "compress", "--output", folder, m_clips.filePath("good.mp4"), vanishing,
                             m_clips.filePath("other.mkv") });
    QVERIFY2(run.status == Cli::failure, qPrintable(describe(run)));
    QVERIFY2(run.out.contains("FAILED " + vanishing + ": "), qPrintable(run.out));
    QCOMPARE(run.out.count("FAILED"), 1);
    QCOMPARE(entries(folder), (QStringList { "good.mp4", "other.mp4" }));
}

// A folder that cannot be made: every file fails and is named, nothing is
// reported as compressed, and the file in the way is left as it was.
void TestBadInputs::outputFolderUnderAFile()
{
    const QString blocker = m_work->filePath("afile");
    QVERIFY(writeFile(blocker, "in the way\n"));
    const QString folder = blocker + "/out";
    const QStringList inputs { m_clips.filePath("good.mp4"), m_clips.filePath("other.mkv") };

    const CliRun run = runCli(QStringList { "compress", "--output", folder } + inputs);
    QVERIFY2(run.status == Cli::failure, qPrintable(describe(run)));
    QVERIFY2(run.err.contains("could not create " + folder), qPrintable(run.err));
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), inputs.size());
    for (qsizetype i = 0; i < inputs.size(); ++i)
        QVERIFY2(lines.at(i).startsWith("FAILED " + inputs.at(i) + ": "), qPrintable(run.out));

    const auto d = launch();
    d->analyzeAndAddFiles(fileUrls(inputs));
    QSignalSpy finished(d.get(), &AppDelegate::batchFinished);
    d->compressVideoBTNClicked();
    QFileDialog *panel = visiblePanel(*d);
    QVERIFY(panel);
    emit panel->fileSelected(folder);
    panel->reject();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
    const auto alerts = visibleAlerts(*d);
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(alerts.first()->text(), QStringLiteral("Veltrane not able to compress these file(s):"));
    QCOMPARE(alerts.first()->informativeText(), "good.mp4, other.mkv\n\nQuestions? : " + address);

    QFile kept(blocker);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("in the way\n"));
    QCOMPARE(entries(m_work->path()), QStringList { "afile" });
}

QTEST_MAIN(TestBadInputs)
#include "TestBadInputs.moc"
