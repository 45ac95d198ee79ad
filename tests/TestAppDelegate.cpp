#include "BuildConfig.h"
#include "WindowTestSupport.h"

#include "app/Completion.h"
#include "app/DropTargets.h"
#include "app/Thumbnail.h"
#include "filelist/RowRecord.h"
#include "util/NotificationCenter.h"
#include "util/TextFormat.h"

#include <QDBusConnection>

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

// format: its place in the Format choice; typed: into Fit under, "↓" the arrow key from an empty box, to the first preset;
// label (the bold one) and slider: once typed; plans: a row each, "⚠ " marking a starved picture.
struct PlanCase { int format; bool automatic; int size, resolution; QString typed, label; int slider; QStringList plans; };
// inputs: listed, gone.mp4 deleted once listed; creator: after pretend; alert: with {folder} and {address};
// details: a pattern for each line, "(size) … (target) … (percent)" for a close call.
struct AlertCase { QStringList inputs; QString creator, alert; QStringList details; };
// fileManager: answers on the bus; opener: what xdg-open does, if there is one; told: that nothing could show the files.
struct ShowCase { bool fileManager; QString opener; bool told; };
// compressed: after a batch that made both outputs; gesture: with the first row current; item: the menu item's key, if the
// gesture brings the menu; opener: something on the desktop opens files; effect: "out/" standing for the batch's folder.
struct OpenCase { bool compressed; QString gesture, item; bool opener; QString effect; };

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
    QStringList m_opened; // by the desktop's opener, as openFile stands in for it

    QString media(const QString &name) const { return m_media.filePath(name); }
    QList<QUrl> urls(const QStringList &names) const { return fileUrls(names, m_media.path()); }

public:
    Q_INVOKABLE void openFile(const QUrl &url) { m_opened.append(url.toLocalFile()); }

public slots:
    void ShowItems(const QStringList &uris, const QString &) { m_shownItems.append(uris); }

private slots:
    void initTestCase()
    {
        QVERIFY(makeVideo(media("small.mp4"), 160, 120, false) && makeVideo(media("large.mkv"), 480, 360) && makeTinyClip(m_tiny.filePath("tiny.mp4")));
        QVERIFY(writeFile(media("notes.txt"), {}) && writeFile(media("empty.mp4"), {}));
        // The tiny clip and 64 bytes of an empty box: a target the tiny clip misses by a little.
        QVERIFY(writeFile(media("close.mp4"), readFile(m_tiny.filePath("tiny.mp4")) + QByteArray("\0\0\0\x40" "free", 8) + QByteArray(56, '\0')));
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
        QTest::keyClick(visibleAlerts(*d).first(), Qt::Key_Escape);
        QTRY_VERIFY(alerts(*d).isEmpty());

        // An empty list would make an empty folder and call it a success.
        const auto compressEnabled = [&] {
            return QList<bool> { d->window->findChild<QPushButton *>("compressButton")->isEnabled(),
                                 d->window->findChild<QAction *>("actionCompress")->isEnabled(),
                                 d->window->findChild<QAction *>("actionSave")->isEnabled() };
        };
        const auto pressCtrlS = [&] {
            d->window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d->window));
            QTest::keyClick(d->window, Qt::Key_S, Qt::ControlModifier);
        };
        QCOMPARE(compressEnabled(), QList<bool>(3, false));
        pressCtrlS();
        QVERIFY(!visiblePanel(*d));

        // Folders and missing paths are left out, also when nothing is left; a drop without local files is declined.
        QWidget *list = d->fileListView->viewport(), *picture = d->window->findChild<DragAndDropFilesInNSImageView *>();
        QVERIFY(!dropOn(list, { QUrl("https://example.org/a.mp4") }));
        QVERIFY(dropOn(picture, urls({ "folder", "missing.mp4" })));
        QVERIFY(dropOn(list, urls({ "small.mp4", "folder", "notes.txt", "large.mkv", "missing.mp4", "empty.mp4", "large.mkv" })));
        QTRY_COMPARE(rowNames(*d), (QStringList { "small.mp4", "large.mkv", "large.mkv" }));
        QCOMPARE(alerts(*d), "Veltrane not able to open these file(s): | notes.txt, empty.mp4\n\nQuestions? : " + address + " | OK, Show Details...");
        QCOMPARE(visibleAlerts(*d).first()->detailedText(), "notes.txt: the file could not be opened or read as media\nempty.mp4: the file could not be opened or read as media");
        QCOMPARE(compressEnabled(), QList<bool>(3, true));
        visibleAlerts(*d).first()->close();
        pressCtrlS();
        QTRY_VERIFY(visiblePanel(*d));
        visiblePanel(*d)->reject();

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
        QCOMPARE(compressEnabled(), QList<bool>(3, false));
    }

    // The list is one stop among the controls, each slider has its key, and Compress shows that it has the keyboard.
    void keyboard()
    {
        const struct { const char *name, *from; QKeySequence keys; const char *to; } cases[] = { // from: the control with the keyboard
            { "Tab leaves the list", "fileListView", Qt::Key_Tab, "fileSizeSlider" },
            { "Shift+Tab leaves it backwards", "fileListView", Qt::SHIFT | Qt::Key_Backtab, "compressButton" },
            { "Ctrl+Tab leaves it", "fileListView", Qt::CTRL | Qt::Key_Tab, "fileSizeSlider" },
            { "Ctrl+Shift+Tab leaves it", "fileListView", Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, "compressButton" },
            { "the arrows move inside it", "fileListView", Qt::Key_Down, "fileListView" },
            { "Tab reaches Compress", "formatChoice", Qt::Key_Tab, "compressButton" },
            { "Alt+T: the target size", "compressButton", Qt::ALT | Qt::Key_T, "fileSizeSlider" },
            { "Alt+R: the resolution", "fileListView", Qt::ALT | Qt::Key_R, "outputResolutionSlider" },
            { "Alt+M: the format", "fileListView", Qt::ALT | Qt::Key_M, "formatChoice" },
        };
        const auto d = launch(urls({ "small.mp4", "large.mkv" }));
        // The sheet of the pass has given the keyboard back.
        QTRY_COMPARE(QApplication::activeWindow(), d->window);
        QWidget *compress = d->window->findChild<QWidget *>("compressButton");
        for (const auto &[name, from, keys, to] : cases) {
            d->fileListView->setCurrentIndex(d->fileListArrayController->index(0, FileListModel::nameColumn));
            d->window->findChild<QWidget *>(from)->setFocus();
            const QImage unfocused = compress->grab().toImage();
            QCOMPARE(QApplication::focusWidget(), d->window->findChild<QWidget *>(from));
            QTest::keySequence(QApplication::focusWidget(), keys);
            const QString focused = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "none";
            const int current = d->fileListView->currentIndex().row();
            QCOMPARE(QString("%1: %2 at row %3").arg(name, focused).arg(current), QString("%1: %2 at row %3").arg(name, to).arg(keys == Qt::Key_Down));
            QVERIFY2(QString(to) != "compressButton" || compress->grab().toImage() != unfocused, name);
        }
    }

    // A hanging thumbnail run is stopped within the bound, the placeholder shown; the window paints, Compress is not taken.
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
            // Up for as long as the tool hangs; a loaded machine may tick before it starts or after it is stopped.
            if (const qint64 hanging = tools.runs().value(0).toLongLong(); hanging > 0 && processExists(hanging))
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

    // One window through a batch, then a cancel, a close request, Ctrl+Q and a signal in the middle of a run.
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
        QCOMPARE(alerts(*d), "File(s) compressed sucessfully:\n" + folder + " | Questions?: " + address + " | OK, Show in File Manager");

        // A drop waits for the batch; Escape cancels, putting back the folder it replaced, nothing left beside it.
        tools.emplace(pretend + "while :; do echo time=00:00:00.50 >&2; sleep 0.1; done");
        compress();
        QTRY_VERIFY(tools->runs().size() == 1 && d->progressWindow->isVisible());
        QVERIFY(!d->window->findChild<QAction *>("actionSave")->isEnabled());
        NotificationCenter::defaultCenter().post(FilesAddedByDragAndDrop, { { "key", QStringList { media("small.mp4") } } });
        QTest::qWait(200);
        QVERIFY(d->isBatchRunning() && d->progressCancel->isVisible() && d->progressTitle->text() == "Compressing Videos...");
        QTest::keyClick(d->progressWindow, Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 5000);
        const auto untouched = [&] { return entries(folder) == QStringList { "large.mp4", "small.mp4" } && entries(out.path()) == QStringList { "Compressed Files" }; };
        QVERIFY(!processExists(tools->runs()[0].toLongLong()) && untouched() && alerts(*d).isEmpty());
        QTRY_COMPARE(rowNames(*d).size(), 3);

        // Ctrl+Q or a close request asks first: Continue goes on, Stop stops and quits; so does a signal, with its status.
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

    void planColumn_data()
    {
        QTest::addColumn<PlanCase>("given");
        // 200 s of 1080p60, the smallest file (100 MB), and 10 s of 720p30; neither has sound.
        const auto row = [](const char *name, int format, bool automatic, int size, int resolution, const QString &plans) {
            QTest::newRow(name) << PlanCase { format, automatic, size, resolution, "", "", size, plans.split('|') };
        };
        row("H.265 at 0.040 bits a pixel: enough", 1, false, 70, 75, "1920×1080 60 fps → 1440×810 60 fps · H.265 · 2.8 Mb/s|1280×720 30 fps → 960×540 30 fps · H.265 · 55.6 Mb/s");
        row("H.264 at the same: starved", 0, false, 70, 75, "⚠ 1920×1080 60 fps → 1440×810 60 fps · H.264 · 2.8 Mb/s|1280×720 30 fps → 960×540 30 fps · H.264 · 55.6 Mb/s");
        row("H.265 at 0.031: starved", 1, false, 55, 75, "⚠ 1920×1080 60 fps → 1440×810 60 fps · H.265 · 2.2 Mb/s|1280×720 30 fps → 960×540 30 fps · H.265 · 43.7 Mb/s");
        row("AV1 at the same: enough", 2, false, 55, 75, "1920×1080 60 fps → 1440×810 60 fps · AV1 · 2.2 Mb/s|1280×720 30 fps → 960×540 30 fps · AV1 · 43.7 Mb/s");
        row("Automatic: judged at half the size", 0, true, 55, 100,
            "1920×1080 60 fps → size chosen when compressing · H.264 · 2.2 Mb/s|1280×720 30 fps → size chosen when compressing · H.264 · 43.7 Mb/s");
        row("Automatic, starved even at half", 0, true, 20, 100,
            "⚠ 1920×1080 60 fps → size chosen when compressing · H.264 · 795 kb/s|1280×720 30 fps → size chosen when compressing · H.264 · 15.9 Mb/s");
        const auto fit = [](const char *name, const QString &typed, const QString &label, int slider, const QString &plans) {
            QTest::newRow(name) << PlanCase { 0, false, 55, 100, typed, label, slider, plans.split('|') };
        };
        fit("Fit under 10 MiB, the chat limit", "10 MiB", "10.5 MB", 10, "⚠ 1920×1080 60 fps · H.264 · 417 kb/s|1280×720 30 fps · H.264 · 8.3 Mb/s");
        fit("first preset by keyboard", "↓", "8 MB", 10, "⚠ 1920×1080 60 fps · H.264 · 318 kb/s|1280×720 30 fps · H.264 · 6.4 Mb/s");
        fit("a plain number is MB", "25", "25 MB", 25, "⚠ 1920×1080 60 fps · H.264 · 993 kb/s|1280×720 30 fps · H.264 · 19.9 Mb/s");
        fit("over the smallest: it is not grown", "150mb", "150 MB", 100,
            "1920×1080 60 fps · already fits: copied as it is|1280×720 30 fps · H.264 · 119.2 Mb/s");
        fit("not a size: the slider rules, H.264 at full size starved", "ten MB", "55 MB", 55,
            "⚠ 1920×1080 60 fps · H.264 · 2.2 Mb/s|1280×720 30 fps · H.264 · 43.7 Mb/s");
    }

    // A picture the format cannot take is marked, the reason in its tip; Automatic only where even the full size is too small.
    void planTooSmall()
    {
        struct Case { Codec codec; qint64 width, height; bool automatic, tooSmall; };
        for (const Case &c : { Case { Codec::av1, 66, 40, false, true }, Case { Codec::h265, 66, 40, false, false },
                               Case { Codec::h265, 48, 32, false, true }, Case { Codec::h264, 48, 32, false, false },
                               Case { Codec::av1, 128, 96, true, false }, Case { Codec::av1, 96, 60, true, true } }) {
            const RowPlan plan { .videoKbps = 100, .codec = c.codec, .frameRate = 25, .outputFrameRate = 25, .width = c.width,
                                 .height = c.height, .automaticPicture = c.automatic, .sourceWidth = c.width, .sourceHeight = c.height };
            FileListModel list;
            list.addObject({ { RowKeys::filePath, "/in/a.mov" }, { RowKeys::fileName, "a.mov" } });
            list.setPlans({ plan });
            const QModelIndex cell = list.index(0, FileListModel::planColumn);
            QCOMPARE(cell.data().toString().startsWith("✗ "), c.tooSmall);
            QCOMPARE(cell.data(Qt::ToolTipRole).toString().contains("too small for this format"), c.tooSmall);
        }
    }

    // The plan column follows the controls, marks a starved picture; a size to fit under aims every row, until a slider moves.
    void planColumn()
    {
        QFETCH(const PlanCase, given);
        const auto &[format, automatic, size, resolution, typed, label, slider, plans] = given;
        const auto d = launch();
        const auto leaveDefaults = defaultsAfter(d);
        const auto row = [](const QString &name, qint64 bytes, double seconds, qint64 width, qint64 height, double fps) {
            return QVariantMap { { RowKeys::filePath, "/in/" + name }, { RowKeys::fileName, name }, { RowKeys::fileSize, bytes },
                                 { RowKeys::duration, seconds }, { RowKeys::hasAudioTrack, false }, { RowKeys::videoWidth, width },
                                 { RowKeys::videoHeight, height }, { RowKeys::videoFrameRate, fps } };
        };
        FileListModel &list = *d->fileListArrayController;
        list.addObject(row("long.mov", 100'000'000, 200, 1920, 1080, 60));
        list.addObject(row("short.mov", 200'000'000, 10, 1280, 720, 30));
        d->refreshSizeControls();
        formatChoice(*d)->setCurrentIndex(format);
        automaticResolution(*d)->setChecked(automatic);
        d->fileSizeSlider->setValue(size);
        d->outputResolutionSlider->setValue(resolution);
        auto *fitUnder = d->window->findChild<QComboBox *>("fitUnderChoice");
        if (!typed.isEmpty()) {
            d->window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d->window));
            QTest::keyClick(d->window, Qt::Key_U, Qt::AltModifier);
            QTRY_VERIFY(fitUnder->hasFocus());
            if (typed == "↓")
                QTest::keyClick(fitUnder, Qt::Key_Down);
            else
                QTest::keyClicks(fitUnder->lineEdit(), typed), QTest::keyClick(fitUnder->lineEdit(), Qt::Key_Return);
            QCOMPARE(d->targetFileSizeTF->text(), label);
            QCOMPARE(d->fileSizeSlider->value(), slider);
            QCOMPARE(d->window->findChild<QLabel *>("fitUnderNote")->text().startsWith("“ten MB” is not a size"), typed == "ten MB");
        }
        for (int i = 0; i < 2; ++i) {
            const QModelIndex cell = list.index(i, FileListModel::planColumn);
            QCOMPARE(cell.data().toString(), plans[i]);
            const QString tip = cell.data(Qt::ToolTipRole).toString();
            QVERIFY2(tip.contains("What helps: a larger target") == plans[i].startsWith("⚠"), qPrintable(tip));
        }
        if (!typed.isEmpty()) {
            d->fileSizeSlider->setValue(30);
            QVERIFY(fitUnder->currentText().isEmpty());
            QCOMPARE(d->targetFileSizeTF->text(), "30 MB");
        }
    }

    // Rows show a running batch's progress, then how each ended; the Format and Automatic reach every run and are kept.
    void rowStatuses()
    {
        const QTemporaryDir out;
        const ScopedEnvironment arguments("ARGUMENTS", out.filePath("arguments"));
        QVERIFY(QFile::copy(media("small.mp4"), media("gone.mp4")));
        auto d = launch(urls({ "small.mp4", "gone.mp4" }));
        QFile::remove(media("gone.mp4"));
        const FakeTools tools(pretend + "echo \"$*\" >> \"$ARGUMENTS\"\n" + compresses);
        QSignalSpy finished(d.get(), &AppDelegate::batchFinished);
        const auto status = [&](int row, int role = Qt::DisplayRole) {
            return d->fileListArrayController->index(row, FileListModel::statusColumn).data(role).toString();
        };
        const auto plan = [&] { return d->fileListArrayController->index(0, FileListModel::planColumn).data().toString(); };
        const auto leaveDefaults = defaultsAfter(d);
        formatChoice(*d)->setCurrentIndex(1); // H.265
        automaticResolution(*d)->setChecked(true);
        d->outputResolutionSlider->setValue(50);
        QVERIFY(!d->outputResolutionSlider->isEnabled()); // the plan's "size chosen when compressing": planColumn
        const qsizetype before = m_quiet.lines().size();
        QStringList seen; // what the first row and the sheet said as it ran
        QTimer watch;
        const auto look = [&] { seen << status(0) << d->window->findChild<QLabel *>("progressDetail")->text(); };
        connect(&watch, &QTimer::timeout, look);
        watch.start(20);
        // A finished row's file, while the batch still runs: the one it wrote, not one of that name in a folder replaced.
        QString writing;
        connect(d->fileListArrayController, &QAbstractItemModel::dataChanged, this, [&] {
            if (finished.isEmpty() && status(0).startsWith("✓"))
                writing = d->fileListArrayController->outputPath(0);
        });
        d->prepareOutputFolder(out.filePath("Compressed Files"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QVERIFY2(writing.startsWith(out.filePath(".Compressed Files.veltrane-partial/")), qPrintable(writing));
        QCOMPARE(d->fileListArrayController->outputPath(0), out.filePath("Compressed Files/small.mp4"));
        watch.stop();
        look(); // the second file fails at once: the sheet's last word
        seen.removeDuplicates();
        QVERIFY2(seen.contains("File 1 of 2 · small.mp4") && seen.contains("File 2 of 2 · gone.mp4"), qPrintable(seen.join(" | ")));
        QVERIFY2(!seen.filter(QRegularExpression("^[1-9][0-9]? %$")).isEmpty(), qPrintable(seen.join(" | ")));

        const qint64 size = QFileInfo(out.filePath("Compressed Files/small.mp4")).size();
        QVERIFY(size > 0);
        const QString sized = "^✓ " + QRegularExpression::escape(TextFormat::byteCountText(size)) + " · [0-9]{1,2} % of the target$";
        QVERIFY2(QRegularExpression(sized).match(status(0)).hasMatch(), qPrintable(status(0)));
        QVERIFY2(status(0, Qt::ToolTipRole).contains("for a target of"), qPrintable(status(0, Qt::ToolTipRole)));
        // The size is chosen now.
        QVERIFY2(plan().startsWith("160×120") && !plan().contains("chosen"), qPrintable(plan()));
        QCOMPARE(status(1), "✗ the file is no longer there");
        QVERIFY2(status(1, Qt::ToolTipRole).contains("gone.mp4: No such file or directory"), qPrintable(status(1, Qt::ToolTipRole)));

        const QString planned = m_quiet.lines().mid(before).filter("[[\"-i\"").value(0);
        QVERIFY2(!planned.isEmpty() && !planned.contains("scale="), qPrintable(planned));
        const QStringList runs = QString::fromUtf8(readFile(out.filePath("arguments"))).split('\n', Qt::SkipEmptyParts);
        QVERIFY(!runs.isEmpty()); // written by the runs that compress: the gone file's never gets this far
        for (const QString &run : runs)
            QVERIFY2(run.contains("-c:v libx265"), qPrintable(run));

        d->fileSizeSlider->setValue(40);
        QCOMPARE(status(0) + status(1), QString());
        d = launch();
        QVERIFY(formatChoice(*d)->currentIndex() == 1 && automaticResolution(*d)->isChecked());
        QVERIFY(d->window->findChild<QLabel *>("formatNote")->text().startsWith("A better"));
    }

    void completionAlert_data()
    {
        QTest::addColumn<AlertCase>("row");
        // 256 bytes over the tiny clip: 192 over its target.
        const QString over = "cp \"$TINY\" \"$out\"; printf '\\000\\000\\001\\000free' >> \"$out\"; head -c 248 /dev/zero >> \"$out\"";
        const QString kept = "close\\.mp4: ([0-9.]+ KB) for a target of ([0-9.]+ KB): the smallest this encoder could make "
                             "\\(([0-9.]+) % over\\); kept as close\\.mp4";
        const QString failed = "Veltrane not able to compress these file(s): | small.mp4\n\nQuestions? : {address} | OK, Show in File Manager, Show Details...";
        QTest::newRow("kept over its target by a little: a warning") << AlertCase { { "close.mp4" }, over,
            "File(s) compressed sucessfully:\n{folder} | Compressed, but over the target size: close.mp4\n\nQuestions?: {address} | OK, Show in File Manager, Show Details...",
            { kept } };
        QTest::newRow("a file gone, apart from one over its target") << AlertCase { { "close.mp4", "gone.mp4" }, over,
            "Veltrane not able to compress these file(s): | gone.mp4\n\nCompressed, but over the target size: close.mp4\n\nQuestions? : {address} | OK, Show in File Manager, Show Details...",
            { "gone\\.mp4: the file is no longer there", "    /.*/gone\\.mp4: No such file or directory", kept } };
        QTest::newRow("a full disk") << AlertCase { { "small.mp4" }, "echo \"Error writing trailer of $out: No space left on device\" >&2; exit 1", failed,
                                                    { "small\\.mp4: the disk is full", "    Error writing trailer of /.*: No space left on device" } };
        QTest::newRow("settings the encoder refuses") << AlertCase { { "small.mp4" },
            "echo 'Error initializing output stream 0:0 -- Error while opening encoder for output stream #0:0 - maybe incorrect parameters' >&2\n"
            "echo 'Conversion failed!' >&2; exit 1",
            failed, { "small\\.mp4: the encoder refused the settings", "    Error initializing output stream 0:0 -- .*", "    Conversion failed!" } };
    }

    // A batch's alert: each failure's reason in plain words, then the transcoder's; an output over its target warns.
    void completionAlert()
    {
        QFETCH(const AlertCase, row);
        const auto &[inputs, creator, alert, details] = row;
        const QTemporaryDir out;
        const QString folder = out.filePath("Compressed Files");
        QVERIFY(!inputs.contains("gone.mp4") || QFile::copy(media("small.mp4"), media("gone.mp4")));
        const auto d = launch(urls(inputs));
        QCOMPARE(rowNames(*d), inputs);
        QFile::remove(media("gone.mp4"));
        const FakeTools tools(pretend + creator);
        d->fileSizeSlider->setValue(100);
        QVERIFY(compressInto(*d, folder));
        QCOMPARE(alerts(*d), QString(alert).replace("{folder}", folder).replace("{address}", address));
        QMessageBox *box = visibleAlerts(*d).first();
        QCOMPARE(box->icon(), QMessageBox::Warning);
        const QStringList lines = box->detailedText().split('\n');
        QCOMPARE(lines.size(), details.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const auto match = QRegularExpression(QRegularExpression::anchoredPattern(details[i])).match(lines[i]);
            QVERIFY2(match.hasMatch(), qPrintable(lines[i]));
            QVERIFY2(match.lastCapturedIndex() < 3 || (match.captured(1) != match.captured(2) && match.captured(3).contains(QRegularExpression("[1-9]"))),
                     qPrintable(lines[i]));
        }
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(alerts(*d).isEmpty());
    }

    void showInFolder_data()
    {
        QTest::addColumn<ShowCase>("row");
        QTest::newRow("the file manager shows them") << ShowCase { true, "exit 0", false };
        QTest::newRow("no file manager: the folder is opened") << ShowCase { false, "exit 0", false };
        QTest::newRow("nothing to open the folder with") << ShowCase { false, "exit 3", true };
        QTest::newRow("no xdg-open") << ShowCase { false, QString(), true };
    }

    // "Show in File Manager" selects the files, else opens the folder, else says so.
    void showInFolder()
    {
        QFETCH(const ShowCase, row);
        const auto &[fileManager, opener, told] = row;
        const QTemporaryDir folder, bin;
        QVERIFY(QFile(folder.filePath("a.mp4")).open(QIODevice::WriteOnly));
        const QString opened = bin.filePath("xdg-open.opened"); // what the opener was given
        QVERIFY(opener.isEmpty() || writeFile(bin.filePath("xdg-open"), "#!/bin/sh\necho \"$1\" > \"$0.opened\"\n" + opener.toUtf8(), true));
        const ScopedEnvironment path("PATH", bin.path());
        QDBusConnection bus("file-manager");
        QVERIFY(fileManager || bus.unregisterService("org.freedesktop.FileManager1"));
        const auto registerAgain = qScopeGuard([&] { bus.registerService("org.freedesktop.FileManager1"); });
        m_shownItems.clear();

        const auto d = launch();
        Completion::showAlert(d->window, Batch { folder.path(), {}, {} }, {});
        click(visibleAlerts(*d).first(), "Show in File Manager");
        const QString url = QUrl::fromLocalFile(folder.path()).toString();
        if (told)
            QTRY_COMPARE(alerts(*d), "No file manager could be opened. The compressed files are in: | " + folder.path() + " | OK");
        else if (fileManager)
            QTRY_COMPARE(m_shownItems, QList<QStringList> { { url + "/a.mp4" } });
        else
            QTRY_VERIFY(QFile::exists(opened));
        QTest::qWait(100);
        QCOMPARE(alerts(*d).isEmpty(), !told);
        QCOMPARE(readFile(opened).trimmed(), fileManager || opener.isEmpty() ? "" : url.toUtf8());
    }

    void openRow_data()
    {
        QTest::addColumn<OpenCase>("row");
        QTest::newRow("a double click opens the input") << OpenCase { false, "double-click", "", true, "open small.mp4" };
        QTest::newRow("Enter too") << OpenCase { false, "Enter", "", true, "open small.mp4" };
        QTest::newRow("Space too") << OpenCase { false, "Space", "", true, "open small.mp4" };
        QTest::newRow("Open on the row right-clicked") << OpenCase { true, "right-click", "o", true, "open out/large.mp4" };
        QTest::newRow("Show in folder, from Shift+F10") << OpenCase { true, "Shift+F10", "f", true, "show out/small.mp4" };
        QTest::newRow("Remove, from the Menu key") << OpenCase { false, "Menu", "r", true, "rows large.mkv" };
        QTest::newRow("nothing opens it: said") << OpenCase { false, "Enter", "", false, "alert Veltrane can't open the file: | small.mp4 | OK" };
    }

    // A row opens its file, or its output once made; the list's menu from the pointer or the keyboard.
    void openRow()
    {
        QFETCH(const OpenCase, row);
        const auto &[compressed, gesture, item, opener, effect] = row;
        const QTemporaryDir out, noOpener;
        const QString folder = out.filePath("Compressed Files");
        const auto d = launch(urls({ "small.mp4", "large.mkv" }));
        if (compressed) {
            const FakeTools tools(pretend + compresses);
            QVERIFY(compressInto(*d, folder));
            click(visibleAlerts(*d).first(), "OK");
        }
        m_opened.clear(), m_shownItems.clear();
        if (opener)
            QDesktopServices::setUrlHandler("file", this, "openFile");
        const auto noHandler = qScopeGuard([] { QDesktopServices::unsetUrlHandler("file"); });
        const ScopedEnvironment path("PATH", opener ? qEnvironmentVariable("PATH") : noOpener.path());

        QTableView *list = d->fileListView;
        list->setCurrentIndex(d->fileListArrayController->index(0, FileListModel::nameColumn));
        list->setFocus();
        const auto cellCentre = [&](int row) { return list->visualRect(list->model()->index(row, FileListModel::nameColumn)).center(); };
        // Clicks through the window, which makes double clicks and menu events of them as the desktop's would.
        if (gesture == "double-click")
            QTest::mouseDClick(d->window->windowHandle(), Qt::LeftButton, {}, list->viewport()->mapTo(d->window, cellCentre(0)));
        else if (gesture == "right-click")
            QTest::mouseClick(d->window->windowHandle(), Qt::RightButton, {}, list->viewport()->mapTo(d->window, cellCentre(1)));
        else
            QTest::keySequence(list, QKeySequence(gesture));
        if (!item.isEmpty()) {
            QMenu *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QTest::keyClick(menu, item.at(0).toLatin1());
        }

        const auto seen = [&] {
            QStringList seen;
            for (const QString &file : m_opened)
                seen << "open " + file;
            for (const QStringList &uris : m_shownItems)
                for (const QString &uri : uris)
                    seen << "show " + QUrl(uri).toLocalFile();
            if (!alerts(*d).isEmpty())
                seen << "alert " + alerts(*d);
            if (rowNames(*d).size() < 2)
                seen << "rows " + rowNames(*d).join(", ");
            return seen.join("; ").replace(folder + "/", "out/").replace(m_media.path() + "/", "");
        };
        QTRY_COMPARE(seen(), effect);
    }
};

QTEST_MAIN(TestAppDelegate)
#include "TestAppDelegate.moc"
