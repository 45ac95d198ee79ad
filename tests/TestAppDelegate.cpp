#include "BuildConfig.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "app/DropTargets.h"
#include "app/Thumbnail.h"
#include "filelist/RowRecord.h"
#include "probe/FileProbe.h"
#include "util/NotificationCenter.h"
#include "util/TextFormat.h"

#include <QDBusConnection>
#include <QtTest>

using namespace TestSupport;
using namespace WindowTest;

namespace {

const QString address = QString::fromUtf8(BuildConfig::supportEmail);

// The four size labels, then the resolution label.
QStringList labels(const AppDelegate &d)
{
    return { d.targetFileSizeTF->text(), d.leftFileSizeTF->text(), d.middleFileSizeTF->text(), d.rightFileSizeTF->text(),
             d.outputResolutionTF->text() };
}

QStringList expectedLabels(qint64 reference, int percent, const QString &resolution)
{
    const auto text = [](double bytes) { return TextFormat::byteCountText(qint64(bytes)); };
    return { text(percent / 100.0 * reference), text(reference * 0.1), text(reference * 0.55), text(reference), resolution };
}

// Drags urls onto a view and drops them: true when the drag is offered the copy action and the drop taken.
bool dropOn(QWidget *view, const QList<QUrl> &urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    QApplication::sendEvent(view, &drop);
    return enter.isAccepted() && enter.dropAction() == Qt::CopyAction && drop.isAccepted();
}

}

// The test also stands in for the file manager, on a session bus of its own.
class TestAppDelegate : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
    QTemporaryDir m_media;
    QTemporaryDir m_tiny; // outside the media folder, which the window may not take as an output
    ScopedEnvironment m_tinyVariable { "TINY", m_tiny.filePath("tiny.mp4") };
    DiagnosticCapture m_quiet; // keeps the window's diagnostic lines out of the log
    QList<QStringList> m_shownItems;

    QString media(const QString &name) const { return m_media.filePath(name); }
    QList<QUrl> urls(QStringList names) const
    {
        for (QString &name : names)
            name = media(name);
        return fileUrls(names);
    }

public slots:
    void ShowItems(const QStringList &uris, const QString &) { m_shownItems.append(uris); }

private slots:
    void initTestCase()
    {
        QVERIFY(makeVideo(media("small.mp4"), 160, 120, 1.0, 0) && makeVideo(media("large.mkv"), 480, 360, 1.0));
        QVERIFY(makeTinyClip(m_tiny.filePath("tiny.mp4")));
        for (const char *name : { "notes.txt", "empty.mp4" })
            QVERIFY(QFile(media(name)).open(QIODevice::WriteOnly));
        QVERIFY(QDir(m_media.path()).mkdir("folder"));
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "file-manager");
        QVERIFY(bus.registerObject("/org/freedesktop/FileManager1", this, QDBusConnection::ExportAllSlots));
        QVERIFY2(bus.registerService("org.freedesktop.FileManager1"), "wants a session bus of its own: dbus-run-session");
    }

    // The start state, help, drops on both views, the pass's rows and alert, the labels as sliders move and rows go.
    void startDropIntakeAndLabels()
    {
        const auto d = launch();
        const QStringList cleared { "0 MB", "0 MB", "0 MB", "0 MB", "100%" };
        QCOMPARE(labels(*d), cleared);
        QVERIFY(d->fileSizeSlider->value() == 55 && d->outputResolutionSlider->value() == 100
                && d->progressCancel->isHidden() && !d->progressWindow->isVisible());
        d->window->findChild<QAction *>("actionHelp")->trigger();
        QCOMPARE(alerts(*d), "Comments/Questions? | " + address + " | OK");
        visibleAlerts(*d).first()->close();

        // Folders and missing paths are left out, also when nothing is left; a drop without local files is declined.
        QWidget *list = d->fileListView->viewport(), *picture = d->window->findChild<DragAndDropFilesInNSImageView *>();
        const DiagnosticCapture diagnostics;
        QSignalSpy posted(&NotificationCenter::defaultCenter(), &NotificationCenter::posted);
        QVERIFY(!dropOn(list, { QUrl("https://example.org/a.mp4") }));
        QVERIFY(dropOn(picture, urls({ "folder", "missing.mp4" })));
        QVERIFY(dropOn(list, urls({ "small.mp4", "folder", "notes.txt", "large.mkv", "missing.mp4", "empty.mp4", "large.mkv" })));
        QCOMPARE(posted.size(), 2);
        QCOMPARE(posted.first(), (QVariantList { FilesAddedByDragAndDrop, QVariantMap { { "key", QStringList {} } } }));
        QTRY_COMPARE(rowNames(*d), (QStringList { "small.mp4", "large.mkv", "large.mkv" }));
        QVERIFY(!d->progressWindow->isVisible());
        QCOMPARE(alerts(*d), "Veltrane not able to open these file(s): | notes.txt, empty.mp4\n\nQuestions? : " + address + " | OK");
        QCOMPARE(diagnostics.lines().filter("nonWorkableFiles"), QStringList { "nonWorkableFiles : notes.txt, empty.mp4" });
        for (const QVariantMap &row : d->fileListArrayController->rows()) {
            QStringList kinds;
            for (auto value = row.begin(); value != row.end(); ++value)
                kinds << value.key() + ':' + value->typeName();
            QCOMPARE(kinds.join(' '), "coverArt:QImage duration:double fileName:QString filePath:QString fileSize:qlonglong "
                                      "fileSizeHuman:QString hasAudioTrack:bool hasAudioTrackWhichHasMoreThanTwoChannels:bool "
                                      "resolution:QString tracksInfo:QVariantList validMedia:QString videoFieldOrder:QString "
                                      "videoHeight:qlonglong videoMatrix:QString videoPrimaries:QString videoTransfer:QString "
                                      "videoWidth:qlonglong");
            const bool large = row["fileName"] == "large.mkv";
            QCOMPARE(row["resolution"].toString() + " " + row["hasAudioTrack"].toString(), large ? "480x360 true" : "160x120 false");
            QVERIFY(row["validMedia"] == "YES" && row["coverArt"].value<QImage>() != Thumbnail::placeholder());
        }
        // The Tracks column names each track; the tooltip gives the path, then a track a line.
        const QModelIndex tracks = d->fileListArrayController->index(1, FileListModel::tracksColumn);
        QCOMPARE(tracks.data().toString(), "H264 480x360 · VORBIS stereo");
        QCOMPARE(tracks.data(Qt::ToolTipRole).toString(), media("large.mkv") + "\nH264 480x360\nVORBIS stereo");
        // A video in HLG, made of fields, says so.
        const FileProbe hlg(media("small.mp4"), R"({"streams":[{"codec_type":"video","codec_name":"hevc","width":8,"height":6,
            "color_transfer":"arib-std-b67","field_order":"tt"}],"format":{}})");
        QCOMPARE(FileListModel::trackSummary(RowRecord::make(hlg)[RowKeys::tracksInfo].toList()), "HEVC 8x6 HDR interlaced");

        const qint64 small = QFileInfo(media("small.mp4")).size(), large = QFileInfo(media("large.mkv")).size();
        QCOMPARE(labels(*d), expectedLabels(small, 55, "100%"));
        d->fileSizeSlider->setValue(80);
        d->outputResolutionSlider->setValue(75);
        QCOMPARE(labels(*d), expectedLabels(small, 80, "75%"));
        d->fileListView->selectRow(0);
        d->window->findChild<QAction *>("actionRemove")->trigger();
        QCOMPARE(labels(*d), expectedLabels(large, 80, "75%"));
        d->fileListView->selectAll();
        d->window->findChild<QAction *>("actionRemove")->trigger();
        QCOMPARE(labels(*d), cleared);
    }

    void toolMishaps_data()
    {
        QTest::addColumn<QString>("creator"); // empty: none at all
        QTest::newRow("thumbnail run writes nothing") << "exit 0";
        QTest::newRow("no transcoder") << QString();
        QTest::newRow("thumbnail run hangs") << "echo $$ > \"$RUNS\"; exec sleep 30";
    }

    // After a real picture, a run that gives none shows the placeholder. A hanging run is stopped within the
    // bound; meanwhile the sheet stays up and the window paints, but a click on Compress is not taken.
    void toolMishaps()
    {
        QFETCH(QString, creator);
        const auto d = launch();
        d->analyzeAndAddFiles(urls({ "small.mp4" }));
        const FakeTools tools(creator.isEmpty() ? std::nullopt : std::optional(creator));
        const ScopedEnvironment timeout("VELTRANE_TOOL_TIMEOUT_MS", QStringLiteral("3000"));
        const QPushButton *compress = d->window->findChild<QPushButton *>("compressButton");
        int ticks = 0;
        bool sheetUp = true;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            sheetUp &= d->progressWindow->isVisible() && d->progressTitle->text() == "Analyzing Videos...";
            if (++ticks == 3) // through the window, as a real click arrives
                QTest::mouseClick(d->window->windowHandle(), Qt::LeftButton, {}, compress->mapTo(d->window, compress->rect().center()));
        });
        timer.start(100);
        d->analyzeAndAddFiles(urls({ "large.mkv" }));
        timer.stop();

        const bool hangs = creator.contains("sleep");
        QVERIFY2(ticks < 100 && (!hangs || ticks >= 20) && sheetUp, qPrintable(QString("%1 ticks").arg(ticks)));
        const qint64 pid = tools.runs().value(0).toLongLong();
        QVERIFY2((pid > 0) == hangs && !processExists(pid), "the stopped tool is still running");
        QVERIFY(d->fileListArrayController->rows().value(1)[RowKeys::coverArt] == Thumbnail::placeholder());
        QVERIFY(!visiblePanel(*d));
    }

    // One window through the save panel: a batch that compresses, one with a failing run, then a cancel and a
    // quit in the middle of a run.
    void compressFlow()
    {
        QTemporaryDir out;
        const QString folder = out.filePath("Compressed Files");
        std::optional<FakeTools> tools(std::in_place, pretend + compresses);
        const auto d = launch();
        d->analyzeAndAddFiles(urls({ "small.mp4", "large.mkv" }));
        QSignalSpy bar(d->progressBar, &QProgressBar::valueChanged);
        QSignalSpy finished(d.get(), &AppDelegate::batchFinished);
        const auto compressInto = [&](const QString &path) { // once the last batch's alert is answered
            for (QMessageBox *alert : visibleAlerts(*d))
                alert->buttons().first()->click();
            d->window->findChild<QPushButton *>("compressButton")->click();
            emit visiblePanel(*d)->fileSelected(path); // as the panel does once it has asked to replace
            visiblePanel(*d)->reject();
        };

        compressInto(folder);
        QTRY_VERIFY(d->progressWindow->isVisible() && !d->progressCancel->isHidden()
                    && d->progressTitle->text() == "Compressing Videos...");
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QVERIFY2(!d->progressWindow->isVisible() && d->progressCancel->isHidden()
                     && std::any_of(bar.begin(), bar.end(), [](const QList<QVariant> &v) { return v[0].toInt() % 10000; }),
                 "the sheet stayed, or its bar never showed progress");
        QCOMPARE(alerts(*d), "File(s) compressed sucessfully:\n" + folder + " | Questions?: " + address + " | OK, Show in Finder");
        visibleAlerts(*d).first()->buttons().at(1)->click();
        const QString in = QUrl::fromLocalFile(folder).toString();
        QTRY_COMPARE(m_shownItems, (QList<QStringList> { { in + "/large.mp4", in + "/small.mp4" } }));

        tools.emplace(pretend + "case \"$2\" in *large*) echo 'Error while opening encoder' >&2; exit 1;; esac\n" + compresses);
        compressInto(folder);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 20000);
        QCOMPARE(alerts(*d), "Veltrane not able to compress these file(s): | large.mkv\n\nQuestions? : " + address
                                 + " | OK, Show in Finder, Show Details...");
        // The details give each failed file's reason and what the transcoder last said.
        QCOMPARE(visibleAlerts(*d).first()->detailedText(), "large.mkv: the transcoder reported an error\n    Error while opening encoder");
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList { "small.mp4" });

        tools.emplace(pretend + "while :; do echo time=00:00:00.50 >&2; sleep 0.1; done");
        compressInto(folder);
        QTRY_VERIFY(tools->runs().size() == 1 && d->progressWindow->isVisible());
        // Neither Escape nor a drop takes the sheet away; a close request asks first (Continue is the default).
        QTest::keyClick(d->progressWindow, Qt::Key_Escape);
        d->progressWindow->close();
        QTRY_COMPARE(alerts(*d), "Stop compressing and quit? |  | Continue, Stop");
        visibleAlerts(*d).first()->reject();
        NotificationCenter::defaultCenter().post(FilesAddedByDragAndDrop, { { "key", QStringList { media("small.mp4") } } });
        QTest::qWait(200);
        QVERIFY(d->progressCancel->isVisible() && d->progressTitle->text() == "Compressing Videos...");
        QTest::mouseClick(d->progressCancel, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, 5000);
        // The folder it replaced is back as it was; nothing is left beside it.
        const auto untouched = [&] {
            return QDir(folder).entryList(QDir::Files) == QStringList { "small.mp4" }
                && QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) == QStringList { "Compressed Files" };
        };
        QVERIFY(!processExists(tools->runs()[0].toLongLong()) && untouched() && alerts(*d).isEmpty());
        QTRY_COMPARE(rowNames(*d).size(), 3); // the dropped file's pass waited for the batch

        // A close request asks first: Continue goes on, Stop stops the batch and quits; so does a signal.
        QSignalSpy quits(d.get(), &AppDelegate::quitRequested);
        const auto answer = [&](const QString &button) {
            d->window->close();
            QTRY_COMPARE(alerts(*d), "Stop compressing and quit? |  | Continue, Stop");
            for (QAbstractButton *b : visibleAlerts(*d).first()->buttons())
                if (b->text() == button)
                    b->click();
        };
        compressInto(folder);
        QTRY_COMPARE(tools->runs().size(), 2);
        // Ctrl+Q asks the same (a quit only goes through inside the application's loop).
        QTimer::singleShot(0, d->window->findChild<QAction *>("actionQuit"), &QAction::trigger);
        QTimer::singleShot(300, qApp, [] { QCoreApplication::exit(); });
        QCoreApplication::exec();
        QTRY_COMPARE(alerts(*d), "Stop compressing and quit? |  | Continue, Stop");
        visibleAlerts(*d).first()->reject();
        answer("Continue");
        QTest::qWait(200);
        QVERIFY(d->isBatchRunning() && processExists(tools->runs()[1].toLongLong()) && d->window->isVisible() && quits.isEmpty());
        QElapsedTimer clock;
        clock.start();
        answer("Stop");
        QVERIFY(clock.elapsed() < 5000 && !processExists(tools->runs()[1].toLongLong()) && untouched());
        QCOMPARE(quits, (QList<QVariantList> { { 0 } }));
        compressInto(folder);
        QTRY_COMPARE(tools->runs().size(), 3);
        d->terminateForSignal(SIGTERM);
        QVERIFY(!processExists(tools->runs()[2].toLongLong()) && untouched());
        QCOMPARE(quits.last(), QVariantList { 143 });
        QTest::qWait(200);
        QVERIFY(alerts(*d).isEmpty() && !d->progressWindow->isVisible() && !d->isBatchRunning());
        QCOMPARE(tools->runs().size(), 3); // no batch went on to its next file
    }
};

QTEST_MAIN(TestAppDelegate)
#include "TestAppDelegate.moc"
