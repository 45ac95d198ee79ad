#include "app/Resources.h"

#include "ui_MainWindow.h"

#include <QIcon>
#include <QStyle>

#include <QtGlobal>

#include <mutex>

// Q_INIT_RESOURCE expands to a call of a global function, which must be made
// from outside any namespace.
static void initResourcesOnce() { Q_INIT_RESOURCE(resources); }

namespace Resources {

void init()
{
    static std::once_flag once;
    std::call_once(once, initResourcesOnce);
}

void setThemeIcons(Ui::MainWindow &ui, const QStyle *style)
{
    const auto icon = [style](const char *themeName, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(QString::fromLatin1(themeName), style->standardIcon(fallback));
    };
    ui.actionOpen->setIcon(icon("document-open", QStyle::SP_DialogOpenButton));
    ui.actionOpenToolBar->setIcon(ui.actionOpen->icon());
    ui.actionSave->setIcon(icon("document-save", QStyle::SP_DialogSaveButton));
    ui.actionCompress->setIcon(ui.actionSave->icon());
    ui.actionRemove->setIcon(icon("list-remove", QStyle::SP_TrashIcon));
    ui.actionHelp->setIcon(icon("help-about", QStyle::SP_DialogHelpButton));
    ui.actionQuit->setIcon(icon("application-exit", QStyle::SP_DialogCloseButton));
}

}
