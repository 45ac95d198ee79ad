#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QMessageBox;
class QObject;
class QWidget;

// The alerts the window shows: informational, with the buttons given (the
// first accepts), deleted once answered.
namespace Alerts {

// sheet: window-modal, as a sheet on the window; otherwise not modal, so that
// a close request or a signal still reaches the window while it is up.
// Asks question on window with Stop and Continue (the default); Stop calls
// stop, on context.
QMessageBox *askToStop(QWidget *window, const QString &question, const QObject *context, const std::function<void()> &stop);

// buttons: the texts the code knows them by (marked for translation in the
// Alerts context); they show in the user's language, as buttonText gives them.
QMessageBox *show(QWidget *window, const QString &message, const QString &informative, const QStringList &buttons,
                  bool sheet = true);
QString buttonText(const QString &title);

}
