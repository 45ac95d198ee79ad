#pragma once

// Helpers for the tests that drive the main window offscreen.

#include "app/AppDelegate.h"
#include "app/FileListModel.h"

#include <QtWidgets>

#include <csignal>
#include <memory>

namespace WindowTest {

// The controller as main() starts it: window shown, launch done.
inline std::unique_ptr<AppDelegate> launch()
{
    auto delegate = std::make_unique<AppDelegate>();
    delegate->window->show();
    delegate->applicationDidFinishLaunching();
    return delegate;
}

template<typename Widget>
QList<Widget *> visible(const AppDelegate &delegate)
{
    QList<Widget *> shown = delegate.window->findChildren<Widget *>();
    shown.removeIf([](const Widget *widget) { return !widget->isVisible(); });
    return shown;
}

inline QList<QMessageBox *> visibleAlerts(const AppDelegate &delegate) { return visible<QMessageBox>(delegate); }
inline QFileDialog *visiblePanel(const AppDelegate &delegate) { return visible<QFileDialog>(delegate).value(0); }

inline QList<QUrl> fileUrls(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    return urls;
}

inline QStringList rowNames(const AppDelegate &delegate)
{
    QStringList names;
    for (const QVariantMap &row : delegate.fileListArrayController->rows())
        names.append(row.value(QStringLiteral("fileName")).toString());
    return names;
}

// True while a process with this id exists (a reaped child is gone).
inline bool processExists(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) == 0; }

}
