#include "BuildConfig.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "util/NotificationCenter.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;
using namespace WindowTest;

namespace {

const QString address = QString::fromUtf8(BuildConfig::supportEmail);
const QString fileManager = QStringLiteral("org.freedesktop.FileManager1");

// A transcoder that only pretends: thumbnail runs write nothing, compression
// runs (their arguments start with "-i") log their process id to $RUNS, then
// do what the rest of the script says with the output path in $out.
QString fakeCreator(const QString &behaviour)
{
    return QStringLiteral("[ \"$1\" = \"-i\" ] || exit 0\n"
                          "for out; do :; done\n"
                          "echo $$ >> \"$RUNS\"\n")
        + behaviour;
}

const QString compresses = QStringLiteral(
    "for t in 25 50 75; do echo \"frame=1 time=00:00:00.$t bitrate=1k\" >&2; sleep 0.2; done\n"
    "echo data > \"$out\"\n");
const QString failsOnBeta = QStringLiteral("case \"$2\" in *beta*) exit 1;; esac\n") + compresses;
const QString runsForever = QStringLiteral("while :; do echo \"time=00:00:00.50\" >&2; sleep 0.1; done\n");

// A file manager on the session bus that only takes note.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shownItems;
    QList<QStringList> shownFolders;

public slots:
    void ShowItems(const QStringList &uris, const QString &) { shownItems.append(uris); }
    void ShowFolders(const QStringList &uris, const QString &) { shownFolders.append(uris); }
};

// Stands in for the desktop where QDesktopServices would open a file URL.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    UrlCatcher() { QDesktopServices::setUrlHandler("file", this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler("file"); }
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

bool fileManagerOnBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    return bus.interface()->isServiceRegistered(fileManager).value()
        || bus.interface()->activatableServiceNames().value().contains(fileManager);
}

}

class TestCompressWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { m_quiet.emplace(); }
    void cleanup() { m_quiet.reset(); }
    void completion_data();
    void completion();
    void folderHoldingInputsIsRefused_data();
    void folderHoldingInputsIsRefused();
    void cancelStopsAtOnceAndRemovesFolder();
    void quittingStopsTheBatch();
    void filesDroppedDuringBatchWait();
    void showInFinder_data();
    void showInFinder();
    void showInFinderWithoutFileManager();

private:
    // The window with the two clips listed.
    std::unique_ptr<AppDelegate> listed();
    // Answers the save panel the way a user does: a new name, then Save.
    static void answer(QFileDialog *panel, const QString &folder);
    // A whole successful batch into folder; the completion alert is up.
    QMessageBox *compressInto(AppDelegate &d, const QString &folder);

    QTemporaryDir m_media;
    std::optional<DiagnosticCapture> m_quiet; // the window's diagnostic lines, kept out of the log
    QString m_alpha;
    QString m_beta;
};

void TestCompressWindow::initTestCase()
{
    QVERIFY(m_media.isValid());
    QVERIFY(QDir(m_media.path()).mkdir("in"));
    m_alpha = m_media.filePath("in/alpha.mp4");
    m_beta = m_media.filePath("in/beta.mkv");
    QVERIFY(makeVideo(m_alpha, 160, 120, 1.0));
    QVERIFY(makeVideo(m_beta, 160, 120, 1.0, 0));
}

std::unique_ptr<AppDelegate> TestCompressWindow::listed()
{
    auto d = launch();
    d->analyzeAndAddFiles(fileUrls({ m_alpha, m_beta }));
    return d;
}

void TestCompressWindow::answer(QFileDialog *panel, const QString &folder)
{
    QVERIFY(panel);
    panel->setDirectory(QFileInfo(folder).absolutePath());
    panel->selectFile(QFileInfo(folder).fileName());
    static_cast<QDialog *>(panel)->accept(); // QFileDialog hides its override
}

QMessageBox *TestCompressWindow::compressInto(AppDelegate &d, const QString &folder)
{
    QSignalSpy finished(&d, &AppDelegate::batchFinished);
    d.compressVideoBTNClicked();
    answer(visiblePanel(d), folder);
    if (!finished.wait(20000) || visibleAlerts(d).size() != 1)
        return nullptr;
    return visibleAlerts(d).first();
}

void TestCompressWindow::completion_data()
{
    QTest::addColumn<QString>("creator"); // empty: none at all
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<bool>("empty"); // nothing listed
    QTest::addColumn<bool>("folderExists");
    QTest::addColumn<QString>("message"); // %1: the folder
    QTest::addColumn<QString>("informative");
    QTest::addColumn<QStringList>("outputs");

    const QString success = QStringLiteral("File(s) compressed sucessfully:\n%1");
    const QString failure = QStringLiteral("Veltrane not able to compress these file(s):");
    QTest::newRow("all compressed, from the button")
        << fakeCreator(compresses) << "button" << false << false << success << "Questions?: " + address
        << QStringList { "alpha.mp4", "beta.mp4" };
    QTest::newRow("all compressed, from the menu, over an existing folder")
        << fakeCreator(compresses) << "menu" << false << true << success << "Questions?: " + address
        << QStringList { "alpha.mp4", "beta.mp4" };
    QTest::newRow("nothing listed") << fakeCreator(compresses) << "button" << true << false << success
                                    << "Questions?: " + address << QStringList {};
    QTest::newRow("one run fails") << fakeCreator(failsOnBeta) << "button" << false << false << failure
                                   << "beta.mkv\n\nQuestions? : " + address << QStringList { "alpha.mp4" };
    QTest::newRow("no transcoder") << QString() << "button" << false << false << failure
                                   << "alpha.mp4, beta.mkv\n\nQuestions? : " + address << QStringList {};
}

void TestCompressWindow::completion()
{
    QFETCH(QString, creator);
    QFETCH(QString, trigger);
    QFETCH(bool, empty);
    QFETCH(bool, folderExists);
    QFETCH(QString, message);
    QFETCH(QString, informative);
    QFETCH(QStringList, outputs);

    const FakeTools tools(creator.isEmpty() ? std::nullopt : std::optional(creator));
    QTemporaryDir out;
    const auto d = empty ? launch() : listed();
    const QString folder = out.filePath("Compressed Files");
    const bool runs = !creator.isEmpty() && !empty;
    if (folderExists) {
        QVERIFY(QDir().mkpath(folder + "/older"));
        QVERIFY(QFile(folder + "/older/file.mp4").open(QIODevice::WriteOnly));
    }

    const DiagnosticCapture diagnostics;
    QSignalSpy bar(d->progressBar, &QProgressBar::valueChanged);
    QSignalSpy finished(d.get(), &AppDelegate::batchFinished);
    if (trigger == "button")
        d->window->findChild<QPushButton *>("compressButton")->click();
    else
        d->window->findChild<QAction *>("actionSave")->trigger();

    QFileDialog *panel = visiblePanel(*d);
    QVERIFY(panel);
    QCOMPARE(panel->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(panel->windowModality(), Qt::WindowModal);
    QCOMPARE(panel->labelText(QFileDialog::FileName), QStringLiteral("Create folded named:"));
    QCOMPARE(QFileInfo(panel->selectedFiles().value(0)).fileName(), QStringLiteral("Compressed Files"));
    if (folderExists) {
        // Qt's own panel steps into an existing folder instead of choosing it;
        // a desktop's panel asks to replace it and then answers like this.
        emit panel->fileSelected(folder);
        panel->reject();
    } else {
        answer(panel, folder);
    }

    if (runs) {
        QTRY_VERIFY(d->progressWindow->isVisible());
        QCOMPARE(d->progressTitle->text(), QStringLiteral("Compressing Videos..."));
        QVERIFY(!d->progressCancel->isHidden());
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
    QVERIFY(!d->progressWindow->isVisible());
    QVERIFY(d->progressCancel->isHidden());
    if (runs) {
        const bool moved = std::any_of(bar.begin(), bar.end(), [](const QList<QVariant> &change) {
            return change.first().toInt() > 0 && change.first().toInt() < 10000;
        });
        QVERIFY2(moved, "the bar never showed progress");
    }

    const auto alerts = visibleAlerts(*d);
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(alerts.first()->text(), message.contains("%1") ? message.arg(folder) : message);
    QCOMPARE(alerts.first()->informativeText(), informative);
    QCOMPARE(buttonTitles(alerts.first()), (QStringList { "OK", "Show in Finder" }));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name), outputs);
    QVERIFY(diagnostics.lines().first().startsWith(empty ? "[]" : "[[\"-i\", \"" + m_alpha + "\""));
}

void TestCompressWindow::folderHoldingInputsIsRefused_data()
{
    QTest::addColumn<QString>("chosen"); // relative to the media folder; "." is the folder itself

    QTest::newRow("the videos' folder") << "in";
    QTest::newRow("a folder above it") << ".";
    QTest::newRow("a listed video") << "in/alpha.mp4";
}

void TestCompressWindow::folderHoldingInputsIsRefused()
{
    QFETCH(QString, chosen);

    const FakeTools tools(fakeCreator(compresses));
    const auto d = listed();
    QSignalSpy finished(d.get(), &AppDelegate::batchFinished);
    const QString path = QDir::cleanPath(m_media.filePath(chosen));

    d->compressVideoBTNClicked();
    QFileDialog *panel = visiblePanel(*d);
    QVERIFY(panel);
    emit panel->fileSelected(path); // as after the panel's own replace question
    panel->reject();

    QTRY_COMPARE(visibleAlerts(*d).size(), 1);
    const QMessageBox *alert = visibleAlerts(*d).first();
    QCOMPARE(alert->text(), QStringLiteral("Veltrane can't replace a folder that holds files from the list:"));
    QCOMPARE(alert->informativeText(), path);
    QCOMPARE(buttonTitles(alert), QStringList { "OK" });
    QTest::qWait(300);
    QVERIFY(!d->progressWindow->isVisible());
    QCOMPARE(finished.count(), 0);
    QVERIFY(tools.runs().isEmpty());
    QVERIFY(QFileInfo(m_alpha).isFile());
    QVERIFY(QFileInfo(m_beta).isFile());
}

void TestCompressWindow::cancelStopsAtOnceAndRemovesFolder()
{
    const FakeTools tools(fakeCreator(runsForever));
    QTemporaryDir out;
    const auto d = listed();
    QSignalSpy finished(d.get(), &AppDelegate::batchFinished);
    const QString folder = out.filePath("Compressed Files");

    d->compressVideoBTNClicked();
    answer(visiblePanel(*d), folder);
    QTRY_COMPARE(tools.runs().size(), 1);
    QTRY_VERIFY(d->progressWindow->isVisible());
    const qint64 pid = tools.runs().value(0).toLongLong();
    QVERIFY(processExists(pid));

    // Only the end of the batch takes the sheet away, never Escape or a close
    // request: the cancel button must stay within reach.
    QTest::keyClick(d->progressWindow, Qt::Key_Escape);
    d->progressWindow->close();
    QVERIFY(d->progressWindow->isVisible());
    QVERIFY(d->progressCancel->isVisible());

    QTest::mouseClick(d->progressCancel, Qt::LeftButton);
    if (d->progressCancel->isVisible())
        QTest::mouseClick(d->progressCancel, Qt::LeftButton); // a second press changes nothing
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QVERIFY(!processExists(pid));
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(!d->progressWindow->isVisible());
    QVERIFY(visibleAlerts(*d).isEmpty());
    QCOMPARE(tools.runs().size(), 1); // the second file never started
}

void TestCompressWindow::quittingStopsTheBatch()
{
    const FakeTools tools(fakeCreator(runsForever));
    QTemporaryDir out;
    const auto d = listed();
    const QString folder = out.filePath("Compressed Files");

    d->compressVideoBTNClicked();
    answer(visiblePanel(*d), folder);
    QTRY_COMPARE(tools.runs().size(), 1);
    const qint64 pid = tools.runs().value(0).toLongLong();

    QElapsedTimer clock;
    clock.start();
    d->applicationWillTerminate(); // what quitting runs, from aboutToQuit
    QVERIFY2(clock.elapsed() < 5000, "quitting waited too long for the transcoder");
    QVERIFY(!processExists(pid));
    QVERIFY(!QFileInfo::exists(folder));
    QTest::qWait(200);
    QVERIFY(visibleAlerts(*d).isEmpty());
    QCOMPARE(tools.runs().size(), 1);
}

void TestCompressWindow::filesDroppedDuringBatchWait()
{
    const FakeTools tools(fakeCreator(runsForever));
    QTemporaryDir out;
    const auto d = listed();
    QSignalSpy finished(d.get(), &AppDelegate::batchFinished);
    QSignalSpy added(d.get(), &AppDelegate::intakeFinished);

    d->compressVideoBTNClicked();
    answer(visiblePanel(*d), out.filePath("Compressed Files"));
    QTRY_COMPARE(tools.runs().size(), 1);
    QTRY_VERIFY(d->progressWindow->isVisible());

    // A drop that reaches the window behind the sheet.
    NotificationCenter::defaultCenter().post(FilesAddedByDragAndDrop, { { "key", QStringList { m_beta } } });
    QTest::qWait(300);
    QCOMPARE(added.count(), 0);
    QVERIFY(d->progressWindow->isVisible());
    QCOMPARE(d->progressTitle->text(), QStringLiteral("Compressing Videos..."));
    QVERIFY(d->progressCancel->isVisible());

    QTest::mouseClick(d->progressCancel, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QTRY_COMPARE(added.count(), 1);
    QCOMPARE(rowNames(*d), (QStringList { "alpha.mp4", "beta.mkv", "beta.mkv" }));
}

void TestCompressWindow::showInFinder_data()
{
    QTest::addColumn<QString>("creator");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("items");   // ShowItems, names in the folder
    QTest::addColumn<bool>("folderShown");    // ShowFolders with the folder

    QTest::newRow("Show in Finder") << fakeCreator(compresses) << "Show in Finder"
                                    << QStringList { "alpha.mp4", "beta.mp4" } << false;
    QTest::newRow("Show in Finder, nothing written") << fakeCreator("exit 1") << "Show in Finder" << QStringList {}
                                                     << true;
    QTest::newRow("OK") << fakeCreator(compresses) << "OK" << QStringList {} << false;
}

void TestCompressWindow::showInFinder()
{
    QFETCH(QString, creator);
    QFETCH(QString, button);
    QFETCH(QStringList, items);
    QFETCH(bool, folderShown);

    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("no D-Bus session bus; ctest runs this test under dbus-run-session");
    if (fileManagerOnBus())
        QSKIP("a real file manager serves this bus; the test would open it");
    QDBusConnection service = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-file-manager");
    const auto disconnect = qScopeGuard([] { QDBusConnection::disconnectFromBus("fake-file-manager"); });
    FakeFileManager fake;
    QVERIFY(service.registerObject("/org/freedesktop/FileManager1", &fake, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(fileManager));
    const UrlCatcher desktop;

    const FakeTools tools(creator);
    QTemporaryDir out;
    const auto d = listed();
    const QString folder = out.filePath("Compressed Files");
    QMessageBox *alert = compressInto(*d, folder);
    QVERIFY(alert);
    WindowTest::button(alert, button)->click();
    QTRY_VERIFY(visibleAlerts(*d).isEmpty());

    QStringList uris;
    for (const QString &name : items)
        uris.append(QUrl::fromLocalFile(folder + "/" + name).toString());
    QList<QStringList> expectedItems, expectedFolders;
    if (!items.isEmpty())
        expectedItems.append(uris);
    if (folderShown)
        expectedFolders.append(QStringList { QUrl::fromLocalFile(folder).toString() });
    QTRY_COMPARE(fake.shownItems.size() + fake.shownFolders.size(), int(expectedItems.size() + expectedFolders.size()));
    QTest::qWait(100);
    QCOMPARE(fake.shownItems, expectedItems);
    QCOMPARE(fake.shownFolders, expectedFolders);
    QVERIFY(desktop.opened.isEmpty());
}

void TestCompressWindow::showInFinderWithoutFileManager()
{
    if (fileManagerOnBus())
        QSKIP("a real file manager serves this bus; the test would open it");
    const UrlCatcher desktop;

    const FakeTools tools(fakeCreator(compresses));
    QTemporaryDir out;
    const auto d = listed();
    const QString folder = out.filePath("Compressed Files");
    QMessageBox *alert = compressInto(*d, folder);
    QVERIFY(alert);

    QElapsedTimer clock;
    clock.start();
    WindowTest::button(alert, "Show in Finder")->click();
    QVERIFY2(clock.elapsed() < 1000, "the window waited for the file manager");
    QTRY_COMPARE(desktop.opened, QList<QUrl> { QUrl::fromLocalFile(folder) });
}

QTEST_MAIN(TestCompressWindow)
#include "TestCompressWindow.moc"
