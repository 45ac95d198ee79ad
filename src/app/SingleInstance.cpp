#include "app/SingleInstance.h"

#include "BuildConfig.h"
#include "util/Diagnostics.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>

#include <utility>

namespace {

const QString interfaceName = QStringLiteral("org.freedesktop.Application");

// The running window answers at once unless it is stuck; a start that waits
// longer than this opens a window of its own.
constexpr int handOffTimeoutMilliseconds = 3000;

QString applicationId() { return QString::fromLatin1(BuildConfig::applicationId); }

// What lets the running window take the focus on behalf of this start: the
// launcher's token for Wayland compositors, its startup id for X11.
QVariantMap platformDataOfThisStart()
{
    QVariantMap data;
    if (qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"))
        data.insert(QStringLiteral("activation-token"), qEnvironmentVariable("XDG_ACTIVATION_TOKEN"));
    if (qEnvironmentVariableIsSet("DESKTOP_STARTUP_ID"))
        data.insert(QStringLiteral("desktop-startup-id"), qEnvironmentVariable("DESKTOP_STARTUP_ID"));
    return data;
}

}

SingleInstance::SingleInstance(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
}

SingleInstance::~SingleInstance()
{
    if (!m_owner)
        return;
    m_bus.unregisterObject(objectPath());
    m_bus.unregisterService(applicationId());
}

void SingleInstance::useActivationToken(const QString &token)
{
    // Qt's Wayland backend activates a window with the token found here.
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
}

QString SingleInstance::objectPath()
{
    // example.veltrane.Veltrane -> /example/veltrane/Veltrane
    return QLatin1Char('/') + applicationId().replace(QLatin1Char('.'), QLatin1Char('/')).replace(QLatin1Char('-'), QLatin1Char('_'));
}

bool SingleInstance::handOff(const QStringList &paths)
{
    if (!m_bus.isConnected())
        return false;
    // The object is there before the name, so no call finds the one without the other.
    if (!m_bus.registerObject(objectPath(), this, QDBusConnection::ExportScriptableSlots))
        return false;
    const auto claimed = m_bus.interface()->registerService(applicationId(), QDBusConnectionInterface::DontQueueService,
                                                           QDBusConnectionInterface::DontAllowReplacement);
    if (claimed.isValid() && claimed.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_owner = true;
        return false;
    }
    m_bus.unregisterObject(objectPath());
    if (!claimed.isValid())
        return false;

    const bool open = !paths.isEmpty();
    QDBusMessage call = QDBusMessage::createMethodCall(applicationId(), objectPath(), interfaceName,
                                                       open ? QStringLiteral("Open") : QStringLiteral("Activate"));
    if (open) {
        QStringList uris;
        for (const QString &path : paths)
            uris.append(QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded()));
        call << uris;
    }
    call << platformDataOfThisStart();
    call.setAutoStartService(false);
    const QDBusMessage answer = m_bus.call(call, QDBus::Block, handOffTimeoutMilliseconds);
    if (answer.type() == QDBusMessage::ReplyMessage)
        return true;
    Diagnostics::line(QStringLiteral("The running window did not answer; opening another: ") + answer.errorMessage());
    return false;
}

void SingleInstance::serve()
{
    m_serving = true;
    passOn();
}

void SingleInstance::passOn()
{
    if (!m_serving)
        return;
    if (!m_pendingFiles.isEmpty())
        emit filesOpened(std::exchange(m_pendingFiles, {}));
    if (std::exchange(m_pendingActivation, false))
        emit activated();
}

void SingleInstance::Activate(const QVariantMap &platformData)
{
    useActivationToken(platformData.value(QStringLiteral("activation-token")).toString());
    m_pendingActivation = true;
    passOn();
}

void SingleInstance::Open(const QStringList &uris, const QVariantMap &platformData)
{
    for (const QString &uri : uris) {
        const QUrl url(uri);
        if (url.isLocalFile())
            m_pendingFiles.append(url.toLocalFile());
        else
            Diagnostics::line(QStringLiteral("Not a local file: ") + uri);
    }
    Activate(platformData);
}

void SingleInstance::ActivateAction(const QString &name, const QVariantList &, const QVariantMap &)
{
    // The desktop entry declares no actions.
    sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No action named ") + name);
}
