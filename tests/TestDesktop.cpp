#include "BuildConfig.h"
#include "WindowTestSupport.h"

#include "app/SavePanel.h"
#include "app/SingleInstance.h"

#include <QAccessible>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusPendingCallWatcher>

using namespace TestSupport;
using namespace WindowTest;

namespace {

const QString applicationId = QString::fromLatin1(BuildConfig::applicationId);

QString veltrane() { return QCoreApplication::applicationDirPath() + "/veltrane"; }

// A notification server (a silent one never answers) and a dock recording updates as "visible percent" or "hidden".
class Desktop : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QString kind; // markup, plain or silent
    QList<QVariantList> notified; // the arguments of each Notify
    QStringList updates;

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
    void Update(const QString &entry, const QVariantMap &properties)
    {
        updates << (entry != "application://" + applicationId + ".desktop" ? "for " + entry
                    : properties.value("progress-visible").toBool() ? QString("visible %1").arg(qRound(properties.value("progress").toDouble() * 100))
                                                                    : QString("hidden"));
    }

signals:
    void ActionInvoked(uint id, const QString &action);
    void ActivationToken(uint id, const QString &token);
};

// What a dock saw of one piece of work: shown, then only ever growing, and hidden at the end.
void checkBar(const QStringList &updates, bool progressBetween)
{
    const QByteArray seen = updates.join(", ").toUtf8();
    QVERIFY2(updates.size() >= 2 && updates.last() == "hidden", seen);
    int last = -1;
    bool between = false;
    for (const QString &update : updates.first(updates.size() - 1)) {
        const int percent = update.section(' ', 1).toInt();
        QVERIFY2(update.startsWith("visible") && percent > last && percent <= 100, seen);
        between |= percent > 0 && percent < 100;
        last = percent;
    }
    QVERIFY2(between || !progressBetween, seen);
}

// server: of notifications, markup, plain or silent; watched: the window has the keyboard as the batch ends;
// creator: what the pretending transcoder does, "cancel" running until cancelled; summary: of the notification, if any.
struct BatchCase { QString server; bool watched; QString creator, summary; };
// existing: at media/Compressed Files, a folder, a file or nothing; name: typed, if not the one proposed; answer: to the
// question whether to replace, if asked; outcome: "compressed", the alert shown, or nothing while the panel stays.
struct PanelCase { QString existing, name, answer, outcome; };

}

// The real application on a session bus of the test's own, as the desktop sees it; its save panel.
class TestDesktop : public QObject
{
    Q_OBJECT
    QTemporaryDir m_media, m_config;
    ScopedEnvironment m_tinyVariable { "TINY", m_config.filePath("tiny.mp4") }; // what the pretending transcoder writes
    DiagnosticCapture m_quiet;
    ScopedEnvironment m_settings { "XDG_CONFIG_HOME", m_config.path() };
    const QString m_clip = "clip #1, 50% ü.mp4"; // a name that has to survive being a URI

    QString media(const QString &name) const { return m_media.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(makeVideo(media(m_clip)) && makeTinyClip(m_config.filePath("tiny.mp4")));
        QVERIFY(QDir(m_media.path()).mkpath("videos/sub") && QDir(m_media.path()).mkpath("videos/.cache"));
        for (const char *name : { "b.mp4", "a 10.mkv", "a 2.mp4", ".hidden.mp4", ".cache/d.mp4", "sub/c.mp4" })
            QVERIFY(QFile::copy(media(m_clip), media("videos/") + name));
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "wants a session bus of its own: dbus-run-session");
    }

    // A second start hands its files, relative to its folder, to the running window; a signal quits, saving its place.
    void secondStart()
    {
        // A transcoder that writes no thumbnail, and logs the input: what the window was given.
        const FakeTools tools(QStringLiteral("for a; do [ \"$p\" = -i ] && echo \"$a\" >> \"$RUNS\"; p=$a; done"));
        const auto thumbnailed = [&] { // sorted: the runs go on in parallel, whichever starts first
            QStringList inputs = tools.runs();
            inputs.replaceInStrings(m_media.path() + '/', QString()).sort();
            return inputs;
        };
        QProcess first, second;
        first.start(veltrane(), {});
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(applicationId), 20000);
        QDBusInterface application(applicationId, SingleInstance::objectPath(), "org.freedesktop.Application");
        QVERIFY(application.call("Activate", QVariantMap()).type() == QDBusMessage::ReplyMessage); // its loop runs
        second.setWorkingDirectory(m_media.path());
        second.start(veltrane(), { m_clip, "videos" });
        QVERIFY(second.waitForFinished(10000) && second.exitCode() == 0);
        QTRY_COMPARE_WITH_TIMEOUT(thumbnailed(), (QStringList { m_clip, "videos/a 10.mkv", "videos/a 2.mp4", "videos/b.mp4", "videos/sub/c.mp4" }),
                                  20000);
        first.terminate(); // SIGTERM quits with 143, saving the window on the way
        QVERIFY(first.waitForFinished(10000) && first.exitStatus() == QProcess::NormalExit && first.exitCode() == 143);
        QVERIFY(QSettings(m_config.filePath("Veltrane/Veltrane.conf"), QSettings::IniFormat).contains("mainWindow/geometry"));
    }

    // What a screen reader reads: every control and value has a name, and a value's label says what it is.
    void accessibleNames()
    {
        const auto d = launch();
        for (QWidget *widget : d->window->findChildren<QWidget *>()) { // the sheet's too
            const auto *label = qobject_cast<QLabel *>(widget);
            const bool control = label || qobject_cast<QAbstractSlider *>(widget) || qobject_cast<QAbstractItemView *>(widget)
                || qobject_cast<QProgressBar *>(widget) || qobject_cast<QAbstractButton *>(widget);
            if (!control || widget->objectName().isEmpty() || widget->objectName().startsWith("qt_")) // not from an interface file
                continue;
            const QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
            QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
            QVERIFY2(!label || !label->text().contains(QRegularExpression("[0-9]")) || !accessible->text(QAccessible::Description).isEmpty(),
                     qPrintable(widget->objectName()));
        }
    }

    void batchOnTheDesktop_data()
    {
        QTest::addColumn<BatchCase>("row");
        const QString failsB = "case \"$2\" in */b.mp4) exit 1;; esac\n" + compresses;
        QTest::newRow("unwatched") << BatchCase { "markup", false, compresses, "2 files compressed" };
        QTest::newRow("unwatched, one fails, no markup") << BatchCase { "plain", false, failsB, "1 file compressed, 1 failed" };
        // Its input as it is: larger than the target every time, and kept.
        QTest::newRow("unwatched, one over its target")
            << BatchCase { "markup", false, "case \"$2\" in */b.mp4) cp \"$2\" \"$out\"; exit;; esac\n" + compresses, "1 file compressed, 1 over its target" };
        QTest::newRow("watched") << BatchCase { "markup", true, compresses, {} };
        QTest::newRow("cancelled") << BatchCase { "markup", false, "cancel", {} };
        QTest::newRow("the server never answers") << BatchCase { "silent", false, compresses, {} };
    }

    // The dock's bar; a batch ending unwatched notifies and a click brings the window back; else nothing waits.
    void batchOnTheDesktop()
    {
        QFETCH(const BatchCase, row);
        const auto &[server, watched, creator, summary] = row;
        const QTemporaryDir out;
        const QString folder = out.filePath("Clips & <more>");
        Desktop desktop;
        desktop.kind = server;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "desktop");
        const auto release = qScopeGuard([] { QDBusConnection::disconnectFromBus("desktop"); });
        QVERIFY(bus.connect({}, {}, "com.canonical.Unity.LauncherEntry", "Update", &desktop, SLOT(Update(QString, QVariantMap))));
        QVERIFY(bus.registerObject("/org/freedesktop/Notifications", &desktop, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)
                && bus.registerService("org.freedesktop.Notifications"));

        const auto d = launch(fileUrls({ media(m_clip), media("videos/b.mp4") }));
        QTRY_VERIFY(desktop.updates.endsWith("hidden"));
        // Both files are examined at once and may be listed together: no step between is owed.
        checkBar(std::exchange(desktop.updates, {}), false);

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
        QTRY_VERIFY(desktop.updates.endsWith("hidden"));
        checkBar(desktop.updates, creator != "cancel");

        // Two round trips on the window's connection: the server has then seen all the window sent, answers included.
        for (int trip = 0; server != "silent" && trip < 2; ++trip) {
            // Waited for as the window waits for its answers, in their order, not as soon as the bus has it.
            QDBusPendingCallWatcher ping(QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
                "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "GetCapabilities")));
            QSignalSpy answered(&ping, &QDBusPendingCallWatcher::finished);
            QTRY_COMPARE(answered.count(), 1);
        }
        if (summary.isEmpty()) {
            QVERIFY(desktop.notified.isEmpty());
            return;
        }
        QCOMPARE(desktop.notified.size(), 1);
        const QVariantList notified = desktop.notified.first();
        QCOMPARE(notified.mid(1, 5), (QVariantList { 0u, applicationId, summary, server == "markup" ? folder.toHtmlEscaped() : folder,
                                                     QStringList { "default", "Show" } }));
        QCOMPARE(notified[6].toMap().value("desktop-entry"), applicationId);

        // Clicking it brings the window back, with the token the server gave for it.
        const ScopedEnvironment token("XDG_ACTIVATION_TOKEN", std::nullopt);
        QVERIFY(!d->window->isActiveWindow());
        emit desktop.ActivationToken(42, "token-1");
        emit desktop.ActionInvoked(42, "default");
        QTRY_VERIFY(d->window->isActiveWindow());
        QCOMPARE(qgetenv("XDG_ACTIVATION_TOKEN"), "token-1");
    }

    void savePanel_data()
    {
        QTest::addColumn<PanelCase>("row");
        QTest::newRow("proposed name of a folder") << PanelCase { "folder", {}, "Replace", "compressed" };
        QTest::newRow("replace cancelled") << PanelCase { "folder", {}, "Cancel", {} };
        // Refused before anyone is asked to replace it; the panel stays for another name.
        QTest::newRow("folder holding an input") << PanelCase { "nothing", "videos", "OK", {} };
        QTest::newRow("a file") << PanelCase { "file", {}, {}, "Veltrane can only replace a folder, not a file: | " + media("Compressed Files") + " | OK" };
        QTest::newRow("up with ..") << PanelCase { "folder", "..", {}, {} };
    }

    // An existing folder's name asks to replace it, else a second Save would write into the first's folder; refused where inputs are.
    void savePanel()
    {
        QFETCH(const PanelCase, row);
        const auto &[existing, name, answer, outcome] = row;
        const QString folder = media("Compressed Files");
        const auto remove = qScopeGuard([&] { QDir(folder).removeRecursively(), QFile::remove(folder); });
        if (existing == "folder")
            QVERIFY(QDir().mkpath(folder + "/earlier") && QFile(folder + "/earlier.mp4").open(QIODevice::WriteOnly));
        if (existing == "file")
            QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        const auto d = launch(fileUrls({ media(m_clip), media("videos/b.mp4") }));
        const FakeTools tools(pretend + "cp \"$TINY\" \"$out\"");
        QSignalSpy finished(d.get(), &AppDelegate::batchFinished);

        d->window->findChild<QAction *>("actionSave")->trigger();
        auto *panel = qobject_cast<SavePanel *>(visiblePanel(*d));
        QVERIFY(panel);
        auto *nameEdit = panel->findChild<QLineEdit *>("fileNameEdit");
        QCOMPARE(panel->labelText(QFileDialog::FileName) + " " + nameEdit->text(), "Create folded named: Compressed Files");
        if (!name.isEmpty())
            nameEdit->setText(name);
        // Not Qt's Open, for what is not opened.
        QCOMPARE(panel->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->text(), "&Save");
        QTest::keyClick(nameEdit, Qt::Key_Return);

        auto *question = panel->findChild<QMessageBox *>();
        QCOMPARE(question && question->isVisible(), !answer.isEmpty());
        if (question) {
            const QString asked = QFileInfo(name.isEmpty() ? folder : media(name)).fileName();
            if (answer == "OK")
                QCOMPARE(question->text() + ' ' + question->informativeText(),
                         "Veltrane can't replace this folder: “" + media(name) + "” holds “" + media("videos/b.mp4") + "”; it cannot be the output folder");
            else
                QCOMPARE(question->text(), "A folder named “" + asked + "” already exists. Do you want to replace it?");
            click(question, answer);
        }
        if (outcome.isEmpty()) {
            QTest::qWait(100);
            QVERIFY(panel->isVisible() && alerts(*d).isEmpty() && finished.isEmpty());
            QCOMPARE(panel->directory().absolutePath(), name == ".." ? QFileInfo(m_media.path()).absolutePath() : m_media.path());
            QVERIFY(existing != "folder" || QFileInfo::exists(folder + "/earlier.mp4"));
            panel->reject();
            return;
        }
        if (outcome == "compressed") {
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList { "b.mp4", m_clip }));
        } else {
            QTRY_COMPARE(alerts(*d), outcome);
        }
        QVERIFY(!visiblePanel(*d) && QFileInfo::exists(media("videos/b.mp4")));
    }
};

QTEST_MAIN(TestDesktop)
#include "TestDesktop.moc"
