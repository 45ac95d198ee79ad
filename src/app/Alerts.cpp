#include "app/Alerts.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace Alerts {

QString buttonText(const QString &title) { return QCoreApplication::translate("Alerts", qUtf8Printable(title)); }

QMessageBox *show(QWidget *window, const QString &message, const QString &informative, const QStringList &buttons, bool sheet)
{
    auto *alert = new QMessageBox(window);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(sheet ? Qt::WindowModal : Qt::NonModal);
    alert->setIcon(QMessageBox::Information);
    alert->setText(message);
    alert->setInformativeText(informative);
    for (const QString &title : buttons) {
        QPushButton *button =
            alert->addButton(buttonText(title), buttons.indexOf(title) == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
        // Escape answers as the first button does; beside an action, Qt would give it no key.
        if (buttons.indexOf(title) == 0)
            alert->setEscapeButton(button);
    }
    if (sheet)
        alert->open();
    else
        alert->show();
    return alert;
}

QMessageBox *askToStop(QWidget *window, const QString &question, const QObject *context, const std::function<void()> &stop)
{
    auto *box = new QMessageBox(QMessageBox::Question, QStringLiteral("Veltrane"), question, QMessageBox::NoButton, window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *stopButton = box->addButton(QCoreApplication::translate("Alerts", "Stop"), QMessageBox::DestructiveRole);
    box->setDefaultButton(box->addButton(QCoreApplication::translate("Alerts", "Continue"), QMessageBox::RejectRole));
    QObject::connect(box, &QMessageBox::buttonClicked, context, [stopButton, stop](QAbstractButton *button) {
        if (button == stopButton)
            stop();
    });
    box->open();
    return box;
}

}
