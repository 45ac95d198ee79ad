#include "BuildConfig.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "app/DropTargets.h"
#include "app/SavePanel.h"
#include "app/SingleInstance.h"
#include "app/WindowGeometry.h"

#include <QAccessible>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QtTest>

using namespace TestSupport;
using namespace WindowTest;

namespace {

const QString applicationId = QString::fromLatin1(BuildConfig::applicationId);

QString veltrane() { return QCoreApplication::applicationDirPath() + "/veltrane"; }

// The files the thumbnail runs of one process were given, in order, relative to folder.
QStringList thumbnailed(const FakeTools &tools, qint64 pid, const QString &folder)
{
    QStringList inputs;
    for (const QString &run : tools.runs()) {
        if (run.section(' ', 0, 0).toLongLong() == pid)
            inputs << QDir(folder).relativeFilePath(run.section(' ', 1));
    }
    // In path order: the runs go on in parallel, whichever starts first.
    inputs.sort();
    return inputs;
}

// A notification server that records what it is asked; a silent one never answers.
class NotificationServer : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QString kind; // markup, plain or silent
    QList<QVariantList> notified; // the arguments of each Notify

public slots:
    QStringList GetCapabilities()
    {
        setDelayedReply(kind == "silent");
        return kind == "markup" ? QStringList { "actions", "body", "body-markup" } : QStringList { "actions", "body" };
    }
    uint Notify(const QString &appName, uint replacesId, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        notified.append({ appName, replacesId, icon, summary, body, actions, hints, timeout });
        return 41 + notified.size();
    }

signals:
    void ActionInvoked(uint id, const QString &action);
    void ActivationToken(uint id, const QString &token);
};

// A dock: the LauncherEntry updates it sees, as "visible percent" or "hidden", and whose entry they were for.
class Dock : public QObject
{
    Q_OBJECT

public:
    QStringList updates;
    QSet<QString> entries;

public slots:
    void Update(const QString &entry, const QVariantMap &properties)
    {
        entries << entry;
        updates << (properties.value("progress-visible").toBool()
                        ? QString("visible %1").arg(qRound(properties.value("progress").toDouble() * 100))
                        : QString("hidden"));
    }
};

// What a dock saw of one piece of work: shown first, then only ever growing, each value once, and hidden at the end.
void checkBar(const QStringList &updates, bool progressBetween)
{
    QVERIFY2(updates.size() >= 2 && updates.first().startsWith("visible") && updates.last() == "hidden", qPrintable(updates.join(", ")));
    int last = -1;
    bool between = false;
    for (const QString &update : updates.mid(0, updates.size() - 1)) {
        const int percent = update.section(' ', 1).toInt();
        QVERIFY2(update.startsWith("visible") && percent > last && percent <= 100, qPrintable(updates.join(", ")));
        between |= percent > 0 && percent < 100;
        last = percent;
    }
    QVERIFY2(between || !progressBetween, qPrintable(updates.join(", ")));
}

}

// Starts of the real application on a session bus of the test's own; the
// window as a keyboard, a screen reader and the window manager see it, and as
// the desktop's notification server and dock see it; its save panel.
class TestDesktop : public QObject
{
    Q_OBJECT
    QTemporaryDir m_media, m_config;
    ScopedEnvironment m_tinyVariable { "TINY", m_config.filePath("tiny.mp4") }; // what the pretending transcoder writes
    DiagnosticCapture m_quiet;
    ScopedEnvironment m_settings { "XDG_CONFIG_HOME", m_config.path() };
    // A transcoder that writes no thumbnail, and logs its parent's id and input.
    FakeTools m_tools { QStringLiteral("for a; do [ \"$p\" = -i ] && echo \"$PPID $a\" >> \"$RUNS\"; p=$a; done") };
    const QString m_clip = "clip #1, 50% ü.mp4"; // a name that has to survive being a URI
    const QStringList m_listed { m_clip, "videos/a 10.mkv", "videos/a 2.mp4", "videos/b.mp4", "videos/sub/c.mp4" };

    QString media(const QString &name) const { return m_media.filePath(name); }
    QStringList thumbnailed(qint64 pid) const { return ::thumbnailed(m_tools, pid, m_media.path()); }

private slots:
    void initTestCase()
    {
        QVERIFY(makeVideo(media(m_clip)) && makeTinyClip(m_config.filePath("tiny.mp4")));
        QVERIFY(QDir(m_media.path()).mkpath("videos/sub") && QDir(m_media.path()).mkpath("videos/.cache"));
        for (const char *name : { "b.mp4", "a 10.mkv", "a 2.mp4", ".hidden.mp4", ".cache/d.mp4", "sub/c.mp4" })
            QVERIFY(QFile::copy(media(m_clip), media("videos/") + name));
        for (const char *name : { "videos/notes.txt", "videos/sub/empty.mp4" })
            QVERIFY(QFile(media(name)).open(QIODevice::WriteOnly));
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "wants a session bus of its own: dbus-run-session");
    }

    // A folder dropped beside a file: its videos in path order, hidden ones left out, the others named.
    void droppedFolder()
    {
        const auto d = launch();
        QMimeData mime;
        mime.setUrls(fileUrls({ media("videos"), media(m_clip) }));
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        DropTargets::performDrop(&drop); // what both views do with a drop
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(rowNames(*d), (QStringList { "a 10.mkv", "a 2.mp4", "b.mp4", "c.mp4", m_clip }));
        QCOMPARE(visibleAlerts(*d).value(0)->informativeText().section('\n', 0, 0), "notes.txt, empty.mp4");
    }

    // A second start hands its files, relative to its own folder, to the running window and ends; a third with
    // none just brings the window forward. The window's size and place are saved when it quits.
    void secondStart()
    {
        QProcess first, second, third;
        first.start(veltrane(), {});
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(applicationId), 20000);
        QDBusInterface application(applicationId, SingleInstance::objectPath(), "org.freedesktop.Application");
        QVERIFY(application.call("Activate", QVariantMap()).type() == QDBusMessage::ReplyMessage); // its loop runs

        second.setWorkingDirectory(m_media.path());
        second.start(veltrane(), { m_clip, "videos" });
        QVERIFY(second.waitForFinished(10000) && second.exitCode() == 0);
        QTRY_COMPARE_WITH_TIMEOUT(thumbnailed(first.processId()), m_listed, 20000);
        QByteArray output;
        QTRY_VERIFY((output += first.readAllStandardOutput()).contains("nonWorkableFiles : notes.txt, empty.mp4"));
        third.start(veltrane(), {});
        QVERIFY(third.waitForFinished(10000) && third.exitCode() == 0);
        QCOMPARE(application.call("ActivateAction", "compress", QVariantList(), QVariantMap()).errorName(),
                 QDBusError::errorString(QDBusError::InvalidArgs));
        first.terminate(); // SIGTERM quits, saving the window on the way
        QVERIFY(first.waitForFinished(10000));
        QVERIFY(QSettings(m_config.filePath("Veltrane/Veltrane.conf"), QSettings::IniFormat).contains("mainWindow/geometry"));
    }

    void withoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("answer"); // its first line
        QTest::newRow("--help") << QStringList { "--help" } << "Usage: " + veltrane() + " [options] [FILE...]";
        QTest::newRow("-h among Qt's options") << QStringList { "-platform", "xcb", "-h" } << "Usage: " + veltrane() + " [options] [FILE...]";
        QTest::newRow("--version") << QStringList { "--version" } << QString("Veltrane ") + BuildConfig::version;
    }

    void withoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, answer);
        QProcess app;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            environment.remove(name);
        app.setProcessEnvironment(environment);
        app.start(veltrane(), arguments);
        QVERIFY(app.waitForFinished(10000));
        QCOMPARE(app.exitCode(), 0);
        QCOMPARE(QString(app.readAllStandardOutput()).section('\n', 0, 0), answer);
    }

    // What a screen reader reads: every control and value has a name, and a value's label says what it is.
    void accessibleNames()
    {
        const auto d = launch();
        for (QWidget *top : { static_cast<QWidget *>(d->window), static_cast<QWidget *>(d->progressWindow) }) {
            for (QWidget *widget : top->findChildren<QWidget *>()) {
                const bool fromInterfaceFile = !widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_");
                if (!fromInterfaceFile || !(qobject_cast<QAbstractSlider *>(widget) || qobject_cast<QAbstractItemView *>(widget)
                                            || qobject_cast<QProgressBar *>(widget) || qobject_cast<QLabel *>(widget)
                                            || qobject_cast<QAbstractButton *>(widget)))
                    continue;
                const QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
                QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
                const auto *label = qobject_cast<QLabel *>(widget);
                QVERIFY2(!label || !label->text().contains(QRegularExpression("[0-9]")) || !accessible->text(QAccessible::Description).isEmpty(),
                         qPrintable(widget->objectName()));
            }
        }
    }

    void batchOnTheDesktop_data()
    {
        QTest::addColumn<QString>("server"); // of notifications: markup, plain, silent, or none
        QTest::addColumn<bool>("watched");   // the window has the keyboard as the batch ends
        QTest::addColumn<QString>("creator"); // what the pretending transcoder does; "cancel": runs until cancelled
        QTest::addColumn<QString>("summary"); // of the notification; empty: none
        const QString failsB = "case \"$2\" in */b.mp4) exit 1;; esac\n" + compresses;
        QTest::newRow("unwatched") << "markup" << false << compresses << "2 files compressed";
        QTest::newRow("unwatched, one fails, no markup") << "plain" << false << failsB << "1 file compressed, 1 failed";
        QTest::newRow("watched") << "markup" << true << compresses << QString();
        QTest::newRow("cancelled") << "markup" << false << "cancel" << QString();
        QTest::newRow("no notification server") << "none" << false << compresses << QString();
        QTest::newRow("the server never answers") << "silent" << false << compresses << QString();
    }

    // The dock's bar through a pass and a batch; the notification of a batch that ends while the window is not
    // looked at, naming its folder, and clicking it brings the window back. A cancel, a watched window or a
    // missing or mute server send nothing, and nothing waits for the server.
    void batchOnTheDesktop()
    {
        QFETCH(QString, server);
        QFETCH(bool, watched);
        QFETCH(QString, creator);
        QFETCH(QString, summary);
        const QTemporaryDir out;
        const QString folder = out.filePath("Clips & <more>");
        NotificationServer notifications;
        notifications.kind = server;
        Dock dock;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "desktop");
        const auto release = qScopeGuard([] { QDBusConnection::disconnectFromBus("desktop"); });
        QVERIFY(bus.connect({}, {}, "com.canonical.Unity.LauncherEntry", "Update", &dock, SLOT(Update(QString, QVariantMap))));
        if (server != "none") {
            QVERIFY(bus.registerObject("/org/freedesktop/Notifications", &notifications,
                                       QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
            QVERIFY(bus.registerService("org.freedesktop.Notifications"));
        }

        const auto d = launch();
        d->analyzeAndAddFiles(fileUrls({ media(m_clip), media("videos/b.mp4") }));
        QTRY_VERIFY(dock.updates.endsWith("hidden"));
        // Both files are examined at once and may be listed together: no step between is owed.
        checkBar(std::exchange(dock.updates, {}), false);

        const FakeTools tools(pretend + (creator == "cancel" ? "while :; do echo time=00:00:00.50 >&2; sleep 0.1; done" : creator));
        QSignalSpy finished(d.get(), &AppDelegate::batchFinished);
        d->prepareOutputFolder(folder);
        QWidget elsewhere;
        QWidget *active = watched ? static_cast<QWidget *>(d->window) : &elsewhere;
        active->show();
        active->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(active));
        if (creator == "cancel") {
            QTRY_COMPARE(tools.runs().size(), 1);
            d->progressCancel->click();
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QVERIFY(visibleAlerts(*d).size() == (creator == "cancel" ? 0 : 1));
        QTRY_VERIFY(dock.updates.endsWith("hidden"));
        checkBar(dock.updates, creator != "cancel");
        QCOMPARE(dock.entries, QSet<QString> { "application://" + applicationId + ".desktop" });

        // A call on the window's connection, which the server sees after any the window made before it.
        if (server == "markup" || server == "plain") {
            const QDBusPendingCall ping = QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
                "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "GetCapabilities"));
            QTRY_VERIFY(ping.isFinished());
        }
        if (summary.isEmpty()) {
            QVERIFY(notifications.notified.isEmpty());
            return;
        }
        QCOMPARE(notifications.notified.size(), 1);
        const QVariantList notified = notifications.notified.first();
        QCOMPARE(notified.mid(1, 5), (QVariantList { 0u, applicationId, summary, server == "markup" ? folder.toHtmlEscaped() : folder,
                                                     QStringList { "default", "Show" } }));
        QCOMPARE(notified[6].toMap().value("desktop-entry"), applicationId);

        // Clicking another program's notification does nothing; clicking this one brings the window back, with the
        // token the server gave for it.
        const ScopedEnvironment token("XDG_ACTIVATION_TOKEN", std::nullopt);
        emit notifications.ActionInvoked(7, "default");
        QTest::qWait(200);
        QVERIFY(!d->window->isActiveWindow());
        emit notifications.ActivationToken(42, "token-1");
        emit notifications.ActionInvoked(42, "default");
        QTRY_VERIFY(d->window->isActiveWindow());
        QCOMPARE(qgetenv("XDG_ACTIVATION_TOKEN"), "token-1");
    }

    void savePanel_data()
    {
        QTest::addColumn<QString>("existing"); // at media/Compressed Files: folder, file, or nothing
        QTest::addColumn<QString>("name");     // typed, then Enter; empty: the one proposed, or with select the folder
        QTest::addColumn<bool>("select");      // selected in the list, then Save
        QTest::addColumn<QString>("answer");   // to the question whether to replace; empty: none asked
        QTest::addColumn<QString>("alert");    // after; "compressed": the batch's success; empty: the panel stays
        QTest::newRow("proposed name of a folder") << "folder" << QString() << false << "Replace" << "compressed";
        QTest::newRow("selected folder") << "folder" << QString() << true << "Replace" << "compressed";
        QTest::newRow("replace cancelled") << "folder" << QString() << false << "Cancel" << QString();
        QTest::newRow("folder holding an input") << "nothing" << "videos" << false << "Replace"
                                                 << "Veltrane can't replace a folder that holds files from the list: | " + media("videos") + " | OK";
        QTest::newRow("a file") << "file" << QString() << false << QString()
                                << "Veltrane can only replace a folder, not a file: | " + media("Compressed Files") + " | OK";
        QTest::newRow("a new name") << "nothing" << QString() << false << QString() << "compressed";
        QTest::newRow("up with ..") << "folder" << ".." << false << QString() << QString();
    }

    // The name of a folder that exists asks whether to replace it instead of going into it; the answer Replace
    // runs the replacement, which refuses a folder that holds a listed input. A second Save of the proposed
    // name replaces the first one's folder, it does not write into it.
    void savePanel()
    {
        QFETCH(QString, existing);
        QFETCH(QString, name);
        QFETCH(bool, select);
        QFETCH(QString, answer);
        QFETCH(QString, alert);
        const QString folder = media("Compressed Files");
        const auto remove = qScopeGuard([&] { QDir(folder).removeRecursively(), QFile::remove(folder); });
        if (existing == "folder")
            QVERIFY(QDir().mkpath(folder + "/earlier") && QFile(folder + "/earlier.mp4").open(QIODevice::WriteOnly));
        if (existing == "file")
            QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        const auto d = launch();
        d->analyzeAndAddFiles(fileUrls({ media(m_clip), media("videos/b.mp4") }));
        const FakeTools tools(pretend + "cp \"$TINY\" \"$out\"");
        QSignalSpy finished(d.get(), &AppDelegate::batchFinished);

        d->window->findChild<QAction *>("actionSave")->trigger();
        auto *panel = qobject_cast<SavePanel *>(visiblePanel(*d));
        QVERIFY(panel);
        auto *nameEdit = panel->findChild<QLineEdit *>("fileNameEdit");
        QCOMPARE(panel->labelText(QFileDialog::FileName) + " " + nameEdit->text(), "Create folded named: Compressed Files");
        if (!name.isEmpty())
            nameEdit->setText(name);
        if (select) {
            const auto *list = panel->findChild<QListView *>("listView");
            const auto *model = qobject_cast<const QFileSystemModel *>(list->model());
            QTRY_VERIFY(model->index(folder).isValid());
            list->selectionModel()->select(model->index(folder), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        QPushButton *save = panel->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save);
        QCOMPARE(save->text(), "&Save"); // not Qt's Open, for what is not opened
        if (select)
            save->click();
        else
            QTest::keyClick(nameEdit, Qt::Key_Return);

        auto *question = panel->findChild<QMessageBox *>();
        QCOMPARE(question && question->isVisible(), !answer.isEmpty());
        if (question) {
            const QString asked = QFileInfo(name.isEmpty() ? folder : media(name)).fileName();
            QCOMPARE(question->text(), "A folder named “" + asked + "” already exists. Do you want to replace it?");
            for (QAbstractButton *button : question->buttons())
                if (button->text() == answer)
                    button->click();
        }
        if (alert.isEmpty()) {
            QTest::qWait(100);
            QVERIFY(panel->isVisible() && alerts(*d).isEmpty() && finished.isEmpty());
            QCOMPARE(panel->directory().absolutePath(), name == ".." ? QFileInfo(m_media.path()).absolutePath() : m_media.path());
            QVERIFY(existing != "folder" || QFileInfo::exists(folder + "/earlier.mp4"));
            panel->reject();
            return;
        }
        if (alert == "compressed") {
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList { "b.mp4", m_clip }));
            alert = "File(s) compressed sucessfully:\n" + folder + " | Questions?: " + BuildConfig::supportEmail + " | OK, Show in Finder";
        }
        QTRY_COMPARE(alerts(*d), alert);
        QVERIFY(!visiblePanel(*d) && QFileInfo::exists(media("videos/b.mp4")));
    }

    // The next window comes back where the last one was closed.
    void windowGeometry()
    {
        const QRect placed(60, 70, 800, 560);
        {
            QMainWindow window;
            WindowGeometry::remember(&window);
            window.setGeometry(placed);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.close();
        }
        QMainWindow window;
        WindowGeometry::remember(&window);
        QCOMPARE(window.geometry(), placed);
    }
};

QTEST_MAIN(TestDesktop)
#include "TestDesktop.moc"
