#include "app/WindowGeometry.h"

#include <QEvent>
#include <QSettings>
#include <QWidget>

namespace WindowGeometry {

namespace {

const QString key = QStringLiteral("mainWindow/geometry");

class SaveOnClose : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            QSettings().setValue(key, static_cast<QWidget *>(watched)->saveGeometry());
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
}

}
