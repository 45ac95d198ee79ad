#pragma once

#include <QObject>
#include <QTimer>

// The window's progress on its taskbar or dock entry, through the
// LauncherEntry signal that KDE Plasma's task manager and GNOME's docks show.
// What is asked is sent once the current event is done and only when it
// changes in whole percent, so a busy batch does not flood the bus and a
// bar set and cleared in one go is never shown.
class TaskbarProgress : public QObject
{
    Q_OBJECT

public:
    explicit TaskbarProgress(QObject *parent = nullptr);
    // A bar still shown goes with it.
    ~TaskbarProgress() override;

    // Shows the bar at percent (0 to 100).
    void setProgress(double percent);
    void clear();

private:
    struct State
    {
        bool visible = false;
        int percent = 0;
        bool operator==(const State &) const = default;
    };
    void want(State state);
    void send();

    State m_wanted;
    State m_sent;
    QTimer m_pending;
};
