#include "app/BatchNotification.h"

#include "BuildConfig.h"
#include "app/Completion.h"
#include "app/SingleInstance.h"
#include "util/Diagnostics.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString defaultAction = QStringLiteral("default");

QString applicationId() { return QString::fromLatin1(BuildConfig::applicationId); }

QString files(qsizetype count)
{
    return count == 1 ? QCoreApplication::translate("BatchNotification", "1 file")
                      : QCoreApplication::translate("BatchNotification", "%n files", nullptr, int(count));
}

// "2 files compressed", "1 file compressed, 1 failed", "1 file compressed, 1 over its target".
QString summaryText(const QList<RowResult> &results)
{
    const auto count = [&](auto is) { return std::count_if(results.cbegin(), results.cend(), is); };
    const auto over = count(&Completion::keptOverTarget);
    const auto failed = count([](const RowResult &r) { return r.failed() && !Completion::keptOverTarget(r); });
    QString text = files(count([](const RowResult &r) { return r.outcome == RowOutcome::succeeded; }))
        + QCoreApplication::translate("BatchNotification", " compressed");
    if (failed > 0)
        text += QCoreApplication::translate("BatchNotification", ", %1 failed").arg(failed);
    if (over > 0)
        text += over == 1 ? QCoreApplication::translate("BatchNotification", ", 1 over its target")
                          : QCoreApplication::translate("BatchNotification", ", %n over their targets", nullptr, int(over));
    return text;
}

// Calls a method of the server and hands its answer to done, on the receiver's thread, unless the receiver is gone.
template<typename Reply, typename Done>
void callServer(QObject *receiver, const QString &method, const QVariantList &arguments, Done done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, method);
    call.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), receiver);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, receiver, [watcher, method, done] {
        watcher->deleteLater();
        const QDBusPendingReply<Reply> reply = *watcher;
        if (reply.isError())
            Diagnostics::line(QStringLiteral("No notification: %1: %2").arg(method, reply.error().message()));
        else
            done(reply.value());
    });
}

}

BatchNotification::BatchNotification(QWidget *window)
    : QObject(window)
    , m_window(window)
{
}

bool BatchNotification::isWindowActive() const
{
    // The sheet, the alerts and the question before quitting are windows of their own.
    for (const QWidget *active = QApplication::activeWindow(); active; active = active->parentWidget())
        if (active == m_window)
            return true;
    return false;
}

void BatchNotification::batchEnded(const QString &folder, const QList<RowResult> &results)
{
    // Only now, and from any sender: naming the server would make Qt ask the
    // bus for its owner while the window waits. The ids tell ours apart.
    if (!std::exchange(m_listening, true)) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.connect({}, path, service, QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
        bus.connect({}, path, service, QStringLiteral("ActivationToken"), this, SLOT(activationToken(uint, QString)));
        bus.connect({}, path, service, QStringLiteral("NotificationClosed"), this, SLOT(notificationClosed(uint, uint)));
    }
    const QString summary = summaryText(results);
    if (m_bodyMarkup) {
        notify(summary, folder);
        return;
    }
    callServer<QStringList>(this, QStringLiteral("GetCapabilities"), {}, [this, summary, folder](const QStringList &capabilities) {
        m_bodyMarkup = capabilities.contains(QStringLiteral("body-markup"));
        notify(summary, folder);
    });
}

void BatchNotification::notify(const QString &summary, const QString &body)
{
    // A server that reads markup would take an "&" or a "<" in the folder's path for markup.
    const QVariantList arguments {
        QApplication::applicationDisplayName(),
        m_id,
        applicationId(), // the icon's name
        summary,
        *m_bodyMarkup ? body.toHtmlEscaped() : body,
        QStringList { defaultAction, tr("Show") },
        QVariantMap { { QStringLiteral("desktop-entry"), applicationId() },
                      { QStringLiteral("urgency"), QVariant::fromValue(uchar(1)) } },
        qint32(-1),
    };
    callServer<uint>(this, QStringLiteral("Notify"), arguments, [this](uint id) { m_id = id; });
}

void BatchNotification::actionInvoked(uint id, const QString &action)
{
    if (id == 0 || id != m_id || action != defaultAction)
        return;
    SingleInstance::useActivationToken(std::exchange(m_token, {}));
    emit activated();
}

void BatchNotification::activationToken(uint id, const QString &token)
{
    if (id != 0 && id == m_id)
        m_token = token;
}

void BatchNotification::notificationClosed(uint id, uint)
{
    if (id != 0 && id == m_id) {
        m_id = 0;
        m_token.clear();
    }
}
