#include "app/WindowGeometry.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSettings>
#include <QWidget>

namespace WindowGeometry {

namespace {

const QString key = QStringLiteral("mainWindow/geometry");

void save(const QWidget *window) { QSettings().setValue(key, window->saveGeometry()); }

class SaveOnClose : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            save(static_cast<QWidget *>(watched));
        return false;
    }
};

}

void remember(QWidget *window)
{
    // restoreGeometry also moves a window saved on a screen that is gone
    // back onto one that is there.
    window->restoreGeometry(QSettings().value(key).toByteArray());
    window->installEventFilter(new SaveOnClose(window));
    // A signal quits without closing the window first.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, window, [window] { save(window); });
}

}
