#include "BuildConfig.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "app/DropTargets.h"
#include "filelist/RowRecord.h"
#include "tools/Tools.h"
#include "util/NotificationCenter.h"
#include "util/TextFormat.h"

#include <QAction>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;
using namespace WindowTest;

namespace {

const QString address = QString::fromUtf8(BuildConfig::supportEmail);

QStringList sizeLabels(const AppDelegate &d)
{
    return { d.targetFileSizeTF->text(), d.leftFileSizeTF->text(), d.middleFileSizeTF->text(), d.rightFileSizeTF->text() };
}

// What the four labels read for a reference size and a slider position.
QStringList expectedSizeLabels(qint64 reference, int percent)
{
    const double r = double(reference);
    return { TextFormat::byteCountText(qint64(percent / 100.0 * r)), TextFormat::byteCountText(qint64(r * 0.1)),
             TextFormat::byteCountText(qint64(r * 0.55)), TextFormat::byteCountText(reference) };
}

QImage coverArt(const AppDelegate &d, int row)
{
    return d.fileListArrayController->rows().at(row).value(RowKeys::coverArt).value<QImage>();
}

QAction *action(const AppDelegate &d, const char *name) { return d.window->findChild<QAction *>(QLatin1String(name)); }

}

class TestAppDelegate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { m_quiet.emplace(); }
    void cleanup() { m_quiet.reset(); }
    void startState();
    void helpAlert();
    void openPanel_data();
    void openPanel();
    void intake_data();
    void intake();
    void labelsFollowListAndSliders();
    void toolMishaps_data();
    void toolMishaps();
    void thumbnailRunsInPrivateFolder();
    void slowProbeKeepsPaintingButTakesNoInput();
    void drop_data();
    void drop();
    void filesFromCommandLine();

private:
    QString media(const QString &name) const { return m_media.filePath(name); }
    QStringList media(const QStringList &names) const
    {
        QStringList paths;
        for (const QString &name : names)
            paths.append(media(name));
        return paths;
    }

    QTemporaryDir m_media;
    std::optional<DiagnosticCapture> m_quiet; // the window's diagnostic lines, kept out of the log
};

void TestAppDelegate::initTestCase()
{
    QVERIFY(m_media.isValid());
    QVERIFY(makeVideo(media("small.mp4"), 160, 120, 1.0, 0));
    QVERIFY(makeVideo(media("large.mkv"), 480, 360, 1.0));
    QVERIFY(QFileInfo(media("large.mkv")).size() > QFileInfo(media("small.mp4")).size());
    QVERIFY(QFile::copy(media("small.mp4"), media("my clip ü.mp4")));
    QVERIFY(QFile::copy(media("small.mp4"), media("clip.vob.mp4")));
    // A well-formed DVD stream, refused for its name alone.
    QVERIFY(makeClip(media("dvd.mpg"), { "-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1", "-f", "vob" }));
    QVERIFY(QFile::copy(media("dvd.mpg"), media("DVD.VOB")));
    QVERIFY(QFile::copy(media("dvd.mpg"), media("old.vob")));
    QVERIFY(makeClip(media("tone.m4a"), { "-f", "lavfi", "-i", "sine=frequency=440:duration=1" }));
    QFile text(media("notes.txt"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a video\n");
    text.close();
    QFile empty(media("empty.mp4"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
}

void TestAppDelegate::startState()
{
    const auto d = launch();
    QCOMPARE(d->fileSizeSlider->value(), 55);
    QCOMPARE(d->fileSizeSlider->minimum(), 10);
    QCOMPARE(d->fileSizeSlider->maximum(), 100);
    QCOMPARE(d->outputResolutionSlider->value(), 100);
    QCOMPARE(d->outputResolutionSlider->minimum(), 10);
    QCOMPARE(d->outputResolutionSlider->maximum(), 100);
    QCOMPARE(sizeLabels(*d), QStringList(4, QStringLiteral("0 MB")));
    QCOMPARE(d->outputResolutionTF->text(), QStringLiteral("100%"));
    QVERIFY(d->progressCancel->isHidden());
    QVERIFY(!d->progressWindow->isVisible());
    QVERIFY(!d->isProcessCancelledByUser->load());
    QCOMPARE(d->fileListArrayController->rowCount(), 0);
    QVERIFY(visibleAlerts(*d).isEmpty());

    // Reopening brings a hidden window back.
    d->window->hide();
    QVERIFY(d->applicationShouldHandleReopen(false));
    QVERIFY(d->window->isVisible());
    QVERIFY(d->applicationShouldHandleReopen(true));
    QVERIFY(d->window->isVisible());
}

void TestAppDelegate::helpAlert()
{
    const auto d = launch();
    action(*d, "actionHelp")->trigger();
    const auto alerts = visibleAlerts(*d);
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(alerts.first()->text(), QStringLiteral("Comments/Questions?"));
    QCOMPARE(alerts.first()->informativeText(), address);
    QCOMPARE(buttonTitles(alerts.first()), QStringList { "OK" });
    QCOMPARE(alerts.first()->windowModality(), Qt::WindowModal);
    alerts.first()->buttons().first()->click();
    QTRY_VERIFY(visibleAlerts(*d).isEmpty());
}

void TestAppDelegate::openPanel_data()
{
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("rows");

    for (const char *name : { "actionOpen", "actionOpenToolBar" }) {
        QTest::addRow("%s, two files chosen", name) << name << true << QStringList { "large.mkv", "small.mp4" };
        QTest::addRow("%s, cancelled", name) << name << false << QStringList {};
    }
}

void TestAppDelegate::openPanel()
{
    QFETCH(QString, actionName);
    QFETCH(bool, answer);
    QFETCH(QStringList, rows);

    const auto d = launch();
    QSignalSpy finished(d.get(), &AppDelegate::intakeFinished);
    action(*d, actionName.toLatin1().constData())->trigger();
    QFileDialog *panel = visiblePanel(*d);
    QVERIFY(panel);
    QCOMPARE(panel->fileMode(), QFileDialog::ExistingFiles);
    QCOMPARE(panel->acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(panel->windowModality(), Qt::WindowModal);
    if (answer) {
        panel->setDirectory(m_media.path());
        panel->selectFile(QStringLiteral("\"large.mkv\" \"small.mp4\""));
        static_cast<QDialog *>(panel)->accept(); // QFileDialog hides its override
        QTRY_COMPARE(finished.count(), 1);
    } else {
        panel->reject();
        QTest::qWait(100);
        QCOMPARE(finished.count(), 0);
    }
    QCOMPARE(rowNames(*d), rows);
}

void TestAppDelegate::intake_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("refused");
    QTest::addColumn<QList<int>>("bar"); // hundredths of a percent, after each accepted file

    QTest::newRow("second of three refused") << QStringList { "small.mp4", "notes.txt", "large.mkv" }
                                             << QStringList { "small.mp4", "large.mkv" } << QStringList { "notes.txt" }
                                             << QList<int> { 3333, 10000 };
    QTest::newRow("every kind of refusal")
        << QStringList { "notes.txt", "tone.m4a", "empty.mp4", "DVD.VOB" } << QStringList {}
        << QStringList { "notes.txt", "tone.m4a", "empty.mp4", "DVD.VOB" } << QList<int> {};
    QTest::newRow("vob refused by its name in any case")
        << QStringList { "DVD.VOB", "dvd.mpg", "old.vob", "clip.vob.mp4" } << QStringList { "dvd.mpg", "clip.vob.mp4" }
        << QStringList { "DVD.VOB", "old.vob" } << QList<int> { 5000, 10000 };
    QTest::newRow("spaces and accents") << QStringList { "my clip ü.mp4" } << QStringList { "my clip ü.mp4" }
                                        << QStringList {} << QList<int> { 10000 };
    QTest::newRow("same file twice") << QStringList { "small.mp4", "small.mp4" }
                                     << QStringList { "small.mp4", "small.mp4" } << QStringList {}
                                     << QList<int> { 5000, 10000 };
    QTest::newRow("no files") << QStringList {} << QStringList {} << QStringList {} << QList<int> {};
}

void TestAppDelegate::intake()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, refused);
    QFETCH(QList<int>, bar);

    const auto d = launch();
    const DiagnosticCapture diagnostics;
    QSignalSpy barSpy(d->progressBar, &QProgressBar::valueChanged);
    d->analyzeAndAddFiles(fileUrls(media(files)));

    QCOMPARE(rowNames(*d), rows);
    QList<int> barValues;
    for (const QList<QVariant> &change : barSpy)
        barValues.append(change.first().toInt());
    if (!bar.isEmpty())
        bar.append(0); // set back when the sheet goes
    QCOMPARE(barValues, bar);
    QVERIFY(!d->progressWindow->isVisible());

    static const QStringList keys = [] {
        QStringList all { "validMedia", "filePath", "fileName", "tracksInfo", "coverArt", "fileSize", "fileSizeHuman",
                          "resolution", "duration", "hasAudioTrack", "hasAudioTrackWhichHasMoreThanTwoChannels",
                          "videoWidth", "videoHeight" };
        all.sort();
        return all;
    }();
    for (const QVariantMap &row : d->fileListArrayController->rows()) {
        const QString path = row.value("filePath").toString();
        QCOMPARE(row.keys(), keys);
        QVERIFY(media(files).contains(path));
        QCOMPARE(row.value("fileName").toString(), QFileInfo(path).fileName());
        QCOMPARE(row.value("validMedia").toString(), QStringLiteral("YES"));
        QCOMPARE(row.value("fileSize").typeId(), QMetaType::LongLong);
        QCOMPARE(row.value("fileSize").toLongLong(), QFileInfo(path).size());
        QCOMPARE(row.value("duration").typeId(), QMetaType::Double);
        QVERIFY(qAbs(row.value("duration").toDouble() - 1.0) < 0.1);
        QCOMPARE(row.value("hasAudioTrack").typeId(), QMetaType::Bool);
        QCOMPARE(row.value("hasAudioTrackWhichHasMoreThanTwoChannels").typeId(), QMetaType::Bool);
        const bool large = path.endsWith("large.mkv");
        QCOMPARE(row.value("resolution").toString(), large ? QStringLiteral("480x360") : QStringLiteral("160x120"));
        QCOMPARE(row.value("videoWidth").toLongLong(), large ? 480 : 160);
        QCOMPARE(row.value("videoHeight").toLongLong(), large ? 360 : 120);
        QCOMPARE(row.value("tracksInfo").typeId(), QMetaType::QVariantList);
        QVERIFY(!row.value("tracksInfo").toList().isEmpty());
        QCOMPARE(row.value("coverArt").typeId(), QMetaType::QImage);
        const QImage picture = row.value("coverArt").value<QImage>();
        QCOMPARE(picture.height(), 200);
        QVERIFY(picture != placeholderImage());
    }

    const auto alerts = visibleAlerts(*d);
    const QStringList lines = diagnostics.lines();
    const bool lineWritten = std::any_of(lines.begin(), lines.end(),
                                         [](const QString &line) { return line.startsWith("nonWorkableFiles : "); });
    if (refused.isEmpty()) {
        QVERIFY(alerts.isEmpty());
        QVERIFY(!lineWritten);
    } else {
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(alerts.first()->text(), QStringLiteral("Veltrane not able to open these file(s):"));
        QCOMPARE(alerts.first()->informativeText(), refused.join(", ") + "\n\nQuestions? : " + address);
        QCOMPARE(buttonTitles(alerts.first()), QStringList { "OK" });
        QVERIFY(lines.contains("nonWorkableFiles : " + refused.join(", ")));
    }
    if (rows.isEmpty())
        QCOMPARE(sizeLabels(*d), QStringList(4, QStringLiteral("0 MB")));
}

void TestAppDelegate::labelsFollowListAndSliders()
{
    const auto d = launch();
    const qint64 small = QFileInfo(media("small.mp4")).size();
    const qint64 large = QFileInfo(media("large.mkv")).size();

    d->analyzeAndAddFiles(fileUrls(media(QStringList { "large.mkv", "small.mp4" })));
    QCOMPARE(sizeLabels(*d), expectedSizeLabels(small, 55));

    d->fileSizeSlider->setValue(80);
    QCOMPARE(sizeLabels(*d), expectedSizeLabels(small, 80));
    d->outputResolutionSlider->setValue(75);
    QCOMPARE(d->outputResolutionTF->text(), QStringLiteral("75%"));

    // Nothing selected: nothing removed, labels refreshed all the same.
    d->fileListView->clearSelection();
    action(*d, "actionRemove")->trigger();
    QCOMPARE(rowNames(*d), (QStringList { "large.mkv", "small.mp4" }));
    QCOMPARE(sizeLabels(*d), expectedSizeLabels(small, 80));

    // Without the smaller file the larger one is the reference.
    d->fileListView->selectRow(1);
    action(*d, "actionRemove")->trigger();
    QCOMPARE(rowNames(*d), QStringList { "large.mkv" });
    QCOMPARE(sizeLabels(*d), expectedSizeLabels(large, 80));
    QCOMPARE(d->fileSizeSlider->value(), 80);

    // Adding files puts both sliders back, then counts every row.
    d->analyzeAndAddFiles(fileUrls({ media("small.mp4") }));
    QCOMPARE(d->fileSizeSlider->value(), 55);
    QCOMPARE(d->outputResolutionSlider->value(), 100);
    QCOMPARE(d->outputResolutionTF->text(), QStringLiteral("100%"));
    QCOMPARE(sizeLabels(*d), expectedSizeLabels(small, 55));

    d->fileListView->selectAll();
    action(*d, "actionRemove")->trigger();
    QCOMPARE(d->fileListArrayController->rowCount(), 0);
    QCOMPARE(sizeLabels(*d), QStringList(4, QStringLiteral("0 MB")));
    d->fileSizeSlider->setValue(30);
    QCOMPARE(sizeLabels(*d), QStringList(4, QStringLiteral("0 MB")));
}

void TestAppDelegate::toolMishaps_data()
{
    QTest::addColumn<QString>("sniffer"); // empty: the real one
    QTest::addColumn<QString>("creator"); // empty: none at all
    QTest::addColumn<int>("timeoutMs");   // 0: the normal bound
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("hangs");

    const QString hang = QStringLiteral("echo $$ > \"$RUNS\"; exec sleep 30");
    QTest::newRow("thumbnail run writes nothing") << QString() << "exit 0" << 0 << true << false;
    QTest::newRow("thumbnail run fails") << QString() << "exit 1" << 0 << true << false;
    QTest::newRow("no transcoder") << QString() << QString() << 0 << true << false;
    QTest::newRow("thumbnail run hangs") << QString() << hang << 3000 << true << true;
    QTest::newRow("probe hangs") << hang << "exit 0" << 3000 << false << true;
}

void TestAppDelegate::toolMishaps()
{
    QFETCH(QString, sniffer);
    QFETCH(QString, creator);
    QFETCH(int, timeoutMs);
    QFETCH(bool, accepted);
    QFETCH(bool, hangs);

    const auto d = launch();
    // A real picture first, so a later run that writes nothing has one to fall back on wrongly.
    d->analyzeAndAddFiles(fileUrls({ media("small.mp4") }));
    QVERIFY(coverArt(*d, 0) != placeholderImage());

    const FakeTools tools(creator.isEmpty() ? std::nullopt : std::optional(creator),
                          sniffer.isEmpty() ? std::nullopt : std::optional(sniffer));
    const ScopedEnvironment timeout("VELTRANE_TOOL_TIMEOUT_MS",
                                    timeoutMs ? std::optional(QString::number(timeoutMs)) : std::nullopt);

    QElapsedTimer clock;
    clock.start();
    d->analyzeAndAddFiles(fileUrls({ media("large.mkv") }));
    QVERIFY2(clock.elapsed() < 10000, "the pass waited for a hanging tool");

    if (accepted) {
        QCOMPARE(rowNames(*d), (QStringList { "small.mp4", "large.mkv" }));
        QCOMPARE(coverArt(*d, 1), placeholderImage());
    } else {
        QCOMPARE(rowNames(*d), QStringList { "small.mp4" });
        QCOMPARE(visibleAlerts(*d).size(), 1);
        QVERIFY(visibleAlerts(*d).first()->informativeText().startsWith("large.mkv\n\n"));
    }
    const qint64 pid = tools.runs().value(0).toLongLong();
    QCOMPARE(pid > 0, hangs);
    if (hangs)
        QVERIFY2(!processExists(pid), "the stopped tool is still running");
}

void TestAppDelegate::thumbnailRunsInPrivateFolder()
{
    const FakeTools tools(QStringLiteral("for last; do :; done; echo \"$last\" >> \"$RUNS\""));
    const auto d = launch();
    d->analyzeAndAddFiles(fileUrls({ media("small.mp4") }));
    QCOMPARE(tools.runs().size(), 1);
    const QFileInfo info(tools.runs().first());
    QCOMPARE(info.fileName(), QStringLiteral("snapShot.jpg"));
    QVERIFY(QDir(info.absolutePath()) != QDir(QDir::tempPath()));
    struct stat folder = {};
    QCOMPARE(::stat(info.absolutePath().toLocal8Bit().constData(), &folder), 0);
    QCOMPARE(folder.st_mode & 07777, mode_t(0700));
    QCOMPARE(folder.st_uid, ::getuid());
}

void TestAppDelegate::slowProbeKeepsPaintingButTakesNoInput()
{
    const FakeTools tools(std::nullopt, QStringLiteral("echo start >> \"$RUNS\"; sleep 1; echo end >> \"$RUNS\"; "
                                                       "exec '%1' \"$@\"")
                                            .arg(realTool(Tools::sniffer)));

    const auto d = launch();
    QSignalSpy finished(d.get(), &AppDelegate::intakeFinished);
    const QPushButton *compress = d->window->findChild<QPushButton *>("compressButton");
    QVERIFY(compress);

    bool firstPass = true;
    int ticks = 0;
    bool sheetUp = true;
    bool panelSeen = false;
    QTimer timer;
    timer.setInterval(50);
    connect(&timer, &QTimer::timeout, this, [&] {
        panelSeen |= visiblePanel(*d) != nullptr;
        if (!firstPass)
            return;
        ++ticks;
        sheetUp &= d->progressWindow->isVisible() && d->progressTitle->text() == QStringLiteral("Analyzing Videos...");
        if (ticks == 3) {
            // An impatient user clicks Compress (through the window, as a real click arrives).
            QTest::mouseClick(d->window->windowHandle(), Qt::LeftButton, {},
                              compress->mapTo(d->window, compress->rect().center()));
        } else if (ticks == 5) {
            // Another drop: its pass must wait for this one.
            NotificationCenter::defaultCenter().post(FilesAddedByDragAndDrop,
                                                     { { "key", QStringList { media("large.mkv") } } });
        }
    });
    timer.start();
    d->analyzeAndAddFiles(fileUrls({ media("small.mp4") }));
    firstPass = false;

    QCOMPARE(rowNames(*d), QStringList { "small.mp4" });
    QVERIFY2(ticks >= 10, qPrintable(QStringLiteral("only %1 timer ticks during the pass").arg(ticks)));
    QVERIFY(sheetUp);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 15000);
    QCOMPARE(rowNames(*d), (QStringList { "small.mp4", "large.mkv" }));
    QTest::qWait(200);
    QVERIFY(!panelSeen);
    QVERIFY(!visiblePanel(*d));
    QCOMPARE(tools.runs(), (QStringList { "start", "end", "start", "end" })); // one pass after the other
}

void TestAppDelegate::drop_data()
{
    QTest::addColumn<QString>("view");
    QTest::addColumn<QStringList>("payload");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("posted"); // file names under "key", when accepted

    for (const char *view : { "list", "picture" }) {
        QTest::addRow("%s: two files, a folder, a deleted path", view)
            << view << QStringList { "small.mp4", "<folder>", "<deleted>", "large.mkv" } << true
            << QStringList { "small.mp4", "large.mkv" };
        QTest::addRow("%s: only a folder", view) << view << QStringList { "<folder>" } << true << QStringList {};
        QTest::addRow("%s: only a web address", view) << view << QStringList { "<web>" } << false << QStringList {};
        QTest::addRow("%s: only text", view) << view << QStringList {} << false << QStringList {};
    }
}

void TestAppDelegate::drop()
{
    QFETCH(QString, view);
    QFETCH(QStringList, payload);
    QFETCH(bool, accepted);
    QFETCH(QStringList, posted);

    QTemporaryDir scratch;
    const QString deleted = scratch.filePath("gone.mp4");
    QVERIFY(QFile::copy(media("small.mp4"), deleted));
    QList<QUrl> urls;
    for (const QString &item : payload) {
        if (item == "<folder>")
            urls.append(QUrl::fromLocalFile(m_media.path()));
        else if (item == "<deleted>")
            urls.append(QUrl::fromLocalFile(deleted));
        else if (item == "<web>")
            urls.append(QUrl("https://example.org/clip.mp4"));
        else
            urls.append(QUrl::fromLocalFile(media(item)));
    }
    QVERIFY(QFile::remove(deleted));
    QMimeData mime;
    mime.setText("clip.mp4");
    if (!urls.isEmpty())
        mime.setUrls(urls);

    const auto d = launch();
    QWidget *target = view == "list" ? qobject_cast<DragAndDropFilesInNSScrollView *>(d->fileListView)->viewport()
                                     : static_cast<QWidget *>(d->window->findChild<DragAndDropFilesInNSImageView *>());
    QVERIFY(target);
    QSignalSpy notifications(&NotificationCenter::defaultCenter(), &NotificationCenter::posted);
    QSignalSpy finished(d.get(), &AppDelegate::intakeFinished);

    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(5, 5), offered, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted()); // every drag is offered the copy action
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QDropEvent event(QPointF(5, 5), offered, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
    QCOMPARE(event.isAccepted(), accepted);
    if (!accepted) {
        QTest::qWait(100);
        QCOMPARE(notifications.count(), 0);
        QCOMPARE(finished.count(), 0);
        return;
    }
    QCOMPARE(event.dropAction(), Qt::CopyAction);
    QCOMPARE(notifications.count(), 1);
    QCOMPARE(notifications.first().at(0).toString(), FilesAddedByDragAndDrop);
    const QVariantMap info = notifications.first().at(1).toMap();
    QCOMPARE(info.keys(), QStringList { "key" });
    QCOMPARE(info.value("key").toStringList(), media(posted));
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(rowNames(*d), posted);
    QVERIFY(visibleAlerts(*d).isEmpty());
}

void TestAppDelegate::filesFromCommandLine()
{
    // The thumbnail runs, made only for accepted files, show what was listed.
    const FakeTools tools(QStringLiteral("echo \"$@\" >> \"$RUNS\"; exec '%1' \"$@\"").arg(realTool(Tools::creator)));
    QProcess app;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    app.setProcessEnvironment(environment);
    app.setWorkingDirectory(m_media.path());
    QByteArray output;
    connect(&app, &QProcess::readyReadStandardOutput, this, [&] { output += app.readAllStandardOutput(); });
    app.start(QCoreApplication::applicationDirPath() + "/veltrane", { "small.mp4", "notes.txt", "large.mkv" });
    QVERIFY(app.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(output.contains("nonWorkableFiles : notes.txt\n"), 30000);

    const QStringList runs = tools.runs();
    const QString folder = QDir(m_media.path()).canonicalPath();
    QCOMPARE(runs.size(), 2);
    QVERIFY2(runs.at(0).contains(" -i " + folder + "/small.mp4 "), qPrintable(runs.at(0)));
    QVERIFY2(runs.at(1).contains(" -i " + folder + "/large.mkv "), qPrintable(runs.at(1)));

    app.terminate();
    QVERIFY(app.waitForFinished(10000));
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);
}

QTEST_MAIN(TestAppDelegate)
#include "TestAppDelegate.moc"
