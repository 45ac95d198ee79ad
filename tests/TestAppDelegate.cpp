#include "BuildConfig.h"
#include "WindowTestSupport.h"

#include "app/DropTargets.h"
#include "app/Thumbnail.h"
#include "filelist/RowRecord.h"
#include "util/NotificationCenter.h"
#include "util/TextFormat.h"

#include <QDBusConnection>
#include <QtTest>

using namespace TestSupport;
using namespace WindowTest;

namespace {

const QString address = QString::fromUtf8(BuildConfig::supportEmail);

// The four size labels, then the resolution label, as they should be.
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
        QVERIFY(makeVideo(media("small.mp4"), 160, 120, 1.0, 0) && makeVideo(media("large.mkv"), 480, 360, 1.0)
                && makeTinyClip(m_tiny.filePath("tiny.mp4")));
        for (const char *name : { "notes.txt", "empty.mp4" })
            QVERIFY(QFile(media(name)).open(QIODevice::WriteOnly));
        QVERIFY(QDir(m_media.path()).mkdir("folder"));
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "file-manager");
        QVERIFY(bus.registerObject("/org/freedesktop/FileManager1", this, QDBusConnection::ExportAllSlots));
        QVERIFY2(bus.registerService("org.freedesktop.FileManager1"), "wants a session bus of its own: dbus-run-session");
    }

    // Help; drops on both views; the pass's rows and alert; the labels as sliders move and rows go.
    void dropIntakeAndLabels()
    {
        const auto d = launch();
        d->window->findChild<QAction *>("actionHelp")->trigger();
        QCOMPARE(alerts(*d), "Comments/Questions? | " + address + " | OK");
        visibleAlerts(*d).first()->close();

        // Folders and missing paths are left out, also when nothing is left; a drop without local files is declined.
        QWidget *list = d->fileListView->viewport(), *picture = d->window->findChild<DragAndDropFilesInNSImageView *>();
        QVERIFY(!dropOn(list, { QUrl("https://example.org/a.mp4") }));
        QVERIFY(dropOn(picture, urls({ "folder", "missing.mp4" })));
        QVERIFY(dropOn(list, urls({ "small.mp4", "folder", "notes.txt", "large.mkv", "missing.mp4", "empty.mp4", "large.mkv" })));
        QTRY_COMPARE(rowNames(*d), (QStringList { "small.mp4", "large.mkv", "large.mkv" }));
        QCOMPARE(alerts(*d), "Veltrane not able to open these file(s): | notes.txt, empty.mp4\n\nQuestions? : " + address + " | OK");

        // The smallest file is the reference; the labels follow the sliders, and go back to nothing with the rows.
        const auto labels = [&] {
            return QStringList { d->targetFileSizeTF->text(), d->leftFileSizeTF->text(), d->middleFileSizeTF->text(),
                                 d->rightFileSizeTF->text(), d->outputResolutionTF->text() };
        };
        const qint64 small = QFileInfo(media("small.mp4")).size(), large = QFileInfo(media("large.mkv")).size();
        QCOMPARE(labels(), expectedLabels(small, 55, "100%"));
        d->fileSizeSlider->setValue(80);
        d->outputResolutionSlider->setValue(75);
        QCOMPARE(labels(), expectedLabels(small, 80, "75%"));
        d->fileListView->selectRow(0);
        d->window->findChild<QAction *>("actionRemove")->trigger();
        QCOMPARE(labels(), expectedLabels(large, 80, "75%"));
        d->fileListView->selectAll();
        d->window->findChild<QAction *>("actionRemove")->trigger();
        QCOMPARE(labels(), (QStringList { "0 MB", "0 MB", "0 MB", "0 MB", "100%" }));
    }

    // A thumbnail run that hangs is stopped within the bound, and the placeholder shows, not the last file's
    // picture; meanwhile the sheet stays up and the window paints, but a click on Compress is not taken.
    void hangingThumbnail()
    {
        const auto d = launch(urls({ "small.mp4" }));
        const FakeTools tools(QStringLiteral("echo $$ > \"$RUNS\"; exec sleep 30"));
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
        QVERIFY(addFiles(*d, urls({ "large.mkv" })));
        timer.stop();
        // About 30 ticks in the 3 s; a starved machine under a sanitizer drops many, a blocked window all.
        QVERIFY2(ticks >= 10 && ticks < 100 && sheetUp, qPrintable(QString("%1 ticks").arg(ticks)));
        const qint64 pid = tools.runs().value(0).toLongLong();
        QVERIFY2(pid > 0 && !processExists(pid), "the stopped tool is still running");
        QVERIFY(d->fileListArrayController->rows().value(1)[RowKeys::coverArt] == Thumbnail::placeholder());
        QVERIFY(!visiblePanel(*d));
    }

    // One window through a batch that compresses, one with a failing run, then a cancel, a close request,
    // Ctrl+Q and a signal in the middle of a run.
    void compressFlow()
    {
        QTemporaryDir out;
        const QString folder = out.filePath("Compressed Files");
        std::optional<FakeTools> tools(std::in_place, pretend + compresses);
        const auto d = launch(urls({ "small.mp4", "large.mkv" }));
        QSignalSpy finished(d.get(), &AppDelegate::batchFinished);
        const auto compress = [&] { // once the last batch's alert is answered
            for (QMessageBox *alert : visibleAlerts(*d))
                click(alert, "OK");
            d->window->findChild<QPushButton *>("compressButton")->click();
            emit visiblePanel(*d)->fileSelected(folder); // as the panel does once it has asked to replace
            visiblePanel(*d)->reject();
        };

        compress();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QCOMPARE(alerts(*d), "File(s) compressed sucessfully:\n" + folder + " | Questions?: " + address + " | OK, Show in Finder");
        click(visibleAlerts(*d).first(), "Show in Finder");
        const QString in = QUrl::fromLocalFile(folder).toString();
        QTRY_COMPARE(m_shownItems, (QList<QStringList> { { in + "/large.mp4", in + "/small.mp4" } }));

        tools.emplace(pretend + "case \"$2\" in *large*) echo 'Error while opening encoder' >&2; exit 1;; esac\n" + compresses);
        compress();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 20000);
        QCOMPARE(alerts(*d), "Veltrane not able to compress these file(s): | large.mkv\n\nQuestions? : " + address
                                 + " | OK, Show in Finder, Show Details...");
        // The details give each failed file's reason and what the transcoder last said.
        QCOMPARE(visibleAlerts(*d).first()->detailedText(), "large.mkv: the transcoder reported an error\n    Error while opening encoder");
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList { "small.mp4" });

        // Neither Escape nor a drop takes the sheet away; the drop waits for the batch. Cancel puts back the
        // folder it replaced, as it was, with nothing left beside it.
        tools.emplace(pretend + "while :; do echo time=00:00:00.50 >&2; sleep 0.1; done");
        compress();
        QTRY_VERIFY(tools->runs().size() == 1 && d->progressWindow->isVisible());
        QTest::keyClick(d->progressWindow, Qt::Key_Escape);
        NotificationCenter::defaultCenter().post(FilesAddedByDragAndDrop, { { "key", QStringList { media("small.mp4") } } });
        QTest::qWait(200);
        QVERIFY(d->progressCancel->isVisible() && d->progressTitle->text() == "Compressing Videos...");
        QTest::mouseClick(d->progressCancel, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, 5000);
        const auto untouched = [&] {
            return QDir(folder).entryList(QDir::Files) == QStringList { "small.mp4" }
                && QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) == QStringList { "Compressed Files" };
        };
        QVERIFY(!processExists(tools->runs()[0].toLongLong()) && untouched() && alerts(*d).isEmpty());
        QTRY_COMPARE(rowNames(*d).size(), 3);

        // Ctrl+Q or a close request to the sheet or the window asks first: Continue goes on, Stop stops the
        // batch and quits; so does a signal, with its own status.
        QSignalSpy quits(d.get(), &AppDelegate::quitRequested);
        const auto answer = [&](const QString &button) {
            QTRY_COMPARE(alerts(*d), "Stop compressing and quit? |  | Continue, Stop");
            click(visibleAlerts(*d).first(), button);
        };
        compress();
        QTRY_COMPARE(tools->runs().size(), 2);
        // A quit only goes through inside the application's loop.
        QTimer::singleShot(0, d->window->findChild<QAction *>("actionQuit"), &QAction::trigger);
        QTimer::singleShot(300, qApp, [] { QCoreApplication::exit(); });
        QCoreApplication::exec();
        answer("Continue");
        d->progressWindow->close();
        answer("Continue");
        QTest::qWait(200);
        QVERIFY(d->isBatchRunning() && processExists(tools->runs()[1].toLongLong()) && d->window->isVisible() && quits.isEmpty());
        QElapsedTimer clock;
        clock.start();
        d->window->close();
        answer("Stop");
        QVERIFY(clock.elapsed() < 5000 && !processExists(tools->runs()[1].toLongLong()) && untouched());
        QCOMPARE(quits, (QList<QVariantList> { { 0 } }));

        compress();
        QTRY_COMPARE(tools->runs().size(), 3);
        d->terminateForSignal(SIGTERM);
        QVERIFY(!processExists(tools->runs()[2].toLongLong()) && untouched());
        QCOMPARE(quits.last(), QVariantList { 143 });
        QTest::qWait(200); // no alert, and no batch going on to its next file
        QVERIFY(alerts(*d).isEmpty() && !d->progressWindow->isVisible() && !d->isBatchRunning() && tools->runs().size() == 3);
    }
};

QTEST_MAIN(TestAppDelegate)
#include "TestAppDelegate.moc"
