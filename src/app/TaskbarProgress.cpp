#include "app/TaskbarProgress.h"

#include "BuildConfig.h"
#include "app/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <algorithm>
#include <cmath>

TaskbarProgress::TaskbarProgress(QObject *parent)
    : QObject(parent)
{
    m_pending.setSingleShot(true);
    m_pending.setInterval(0);
    connect(&m_pending, &QTimer::timeout, this, &TaskbarProgress::send);
}

TaskbarProgress::~TaskbarProgress()
{
    m_wanted = {};
    send();
}

void TaskbarProgress::setProgress(double percent) { want({ true, int(std::floor(std::clamp(percent, 0.0, 100.0))) }); }

void TaskbarProgress::clear() { want({}); }

void TaskbarProgress::want(State state)
{
    m_wanted = state;
    if (!m_pending.isActive())
        m_pending.start();
}

void TaskbarProgress::send()
{
    m_pending.stop();
    if (m_wanted == m_sent)
        return;
    m_sent = m_wanted;
    // The entry is found by the desktop entry's name; any object path will do.
    QDBusMessage update = QDBusMessage::createSignal(SingleInstance::objectPath() + QStringLiteral("/LauncherEntry"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    update << QStringLiteral("application://%1.desktop").arg(QString::fromLatin1(BuildConfig::applicationId))
           << QVariantMap { { QStringLiteral("progress"), m_sent.percent / 100.0 },
                            { QStringLiteral("progress-visible"), m_sent.visible } };
    QDBusConnection::sessionBus().send(update);
}
