#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

// One window per session. The first start owns the application ID on the
// session bus and answers org.freedesktop.Application there (so a desktop
// entry may also reach it by D-Bus activation); a later start hands its files
// to it and ends. Without a bus, or when the owner does not answer, each start
// runs on its own.
class SingleInstance : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit SingleInstance(const QDBusConnection &bus, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The object path the interface lives at, from the application ID.
    static QString objectPath();

    // The desktop's token that lets the next window activation take the focus.
    static void useActivationToken(const QString &token);

    // Claims the application ID, or hands paths (absolute) to the start that
    // holds it. True when they were handed over and this start is done.
    bool handOff(const QStringList &paths);

    // The window is ready: requests reach it from now on, and those that came
    // while it was being built are passed on at once.
    void serve();

    // The interface's methods, under its own names.
public slots:
    Q_SCRIPTABLE void Activate(const QVariantMap &platformData);
    Q_SCRIPTABLE void Open(const QStringList &uris, const QVariantMap &platformData);
    Q_SCRIPTABLE void ActivateAction(const QString &name, const QVariantList &parameter, const QVariantMap &platformData);

signals:
    // Bring the window forward.
    void activated();
    // Local files another start was given, absolute; activated() follows.
    void filesOpened(const QStringList &paths);

private:
    void passOn();

    QDBusConnection m_bus;
    bool m_owner = false;
    bool m_serving = false;
    QStringList m_pendingFiles;
    bool m_pendingActivation = false;
};
