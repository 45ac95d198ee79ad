#pragma once

// Helpers for the tests that drive the main window offscreen.

#include "app/AppDelegate.h"
#include "filelist/FileListModel.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QUrl>

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

inline QList<QMessageBox *> visibleAlerts(const AppDelegate &delegate)
{
    QList<QMessageBox *> shown;
    for (QMessageBox *box : delegate.window->findChildren<QMessageBox *>())
        if (box->isVisible())
            shown.append(box);
    return shown;
}

inline QFileDialog *visiblePanel(const AppDelegate &delegate)
{
    for (QFileDialog *panel : delegate.window->findChildren<QFileDialog *>())
        if (panel->isVisible())
            return panel;
    return nullptr;
}

inline QStringList buttonTitles(const QMessageBox *box)
{
    QStringList titles;
    for (const QAbstractButton *button : box->buttons())
        titles.append(button->text());
    return titles;
}

inline QAbstractButton *button(const QMessageBox *box, const QString &title)
{
    for (QAbstractButton *candidate : box->buttons())
        if (candidate->text() == title)
            return candidate;
    return nullptr;
}

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
