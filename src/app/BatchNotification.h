#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

#include "compress/RowResult.h"

class QWidget;

// Tells the desktop (org.freedesktop.Notifications) that a batch has ended,
// for when nobody is looking at the window; clicking the notification asks
// for the window back. Every call is asynchronous: a notification server that
// is missing or slow costs the window nothing.
class BatchNotification : public QObject
{
    Q_OBJECT

public:
    explicit BatchNotification(QWidget *window);

    // The window or one of its dialogs has the keyboard.
    bool isWindowActive() const;

    // Names the folder and how many files were compressed and how many failed.
    // A notification of the last batch still on show is replaced.
    void batchEnded(const QString &folder, const QList<RowResult> &results);

signals:
    // The notification was clicked; the window should come forward.
    void activated();

private slots:
    void actionInvoked(uint id, const QString &action);
    void activationToken(uint id, const QString &token);
    void notificationClosed(uint id, uint reason);

private:
    void notify(const QString &summary, const QString &body);

    QWidget *m_window;
    bool m_listening = false; // to the server's signals
    // Whether the server reads markup in the body, once it has said.
    std::optional<bool> m_bodyMarkup;
    uint m_id = 0; // the notification on show, 0 when none
    QString m_token; // what lets the window take the focus once it is clicked
};
