#include "app/RowActions.h"

#include "app/Alerts.h"
#include "app/Completion.h"
#include "app/FileListModel.h"
#include "util/Paths.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QPersistentModelIndex>
#include <QTableView>

RowActions::RowActions(QTableView *view, const FileListModel *model, QAction *remove)
    : QObject(view)
    , m_view(view)
    , m_model(model)
    , m_remove(remove)
{
    // Our own menu rather than the view's actions: Open and Show act on the
    // row under the pointer, not on the selection.
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { showMenu(m_view->indexAt(at).row(), at); });
    connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) { open(index.row()); });
    view->installEventFilter(this);
}

QString RowActions::fileAt(int row) const
{
    const QString output = m_model->outputPath(row);
    return output.isEmpty() ? m_model->paths().value(row) : output;
}

void RowActions::open(int row)
{
    const QString file = fileAt(row);
    if (file.isEmpty())
        return;
    // openUrl only says whether an opener started; a missing file would fail later, in the player.
    if (!QFileInfo::exists(file) || !QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        Alerts::show(m_view->window(), tr("Veltrane can't open the file:"), file, { Completion::okButton }, false);
}

void RowActions::showInFolder(int row)
{
    const QString file = fileAt(row);
    if (file.isEmpty())
        return;
    Completion::revealInFileManager(m_view->window(), QFileInfo(file).absolutePath(), { QUrl::fromLocalFile(file) },
                                    tr("No file manager could be opened. The file is in:"));
}

bool RowActions::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_view || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    const int current = m_view->currentIndex().row();
    // Ctrl+Space still toggles the row's selection.
    const bool opens = modifiers == Qt::NoModifier
        && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space);
    // Qt makes a menu event of the Menu key on some platforms only, and of
    // Shift+F10 on none. Where it does, that event finds this menu up, which ignores it.
    const bool menu = (key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier)
        || (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
    if (opens && current >= 0)
        open(current);
    else if (menu)
        showMenu(current, current >= 0 ? m_view->visualRect(m_view->currentIndex()).center() : QPoint());
    else
        return QObject::eventFilter(watched, event);
    return true;
}

void RowActions::showMenu(int row, const QPoint &at)
{
    auto *menu = new QMenu(m_view);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QString file = row >= 0 ? fileAt(row) : QString();
    menu->setAccessibleName(file.isEmpty() ? tr("Files") : Paths::lastComponent(file));
    // The row may move while the menu is up: files still arrive.
    const QPersistentModelIndex index = m_model->index(row, 0);
    const auto onRow = [this, index](void (RowActions::*act)(int)) {
        return [this, index, act] {
            if (index.isValid())
                (this->*act)(index.row());
        };
    };
    const bool there = QFileInfo::exists(file);
    menu->addAction(tr("&Open"), this, onRow(&RowActions::open))->setEnabled(there);
    menu->addAction(tr("Show in &folder"), this, onRow(&RowActions::showInFolder))->setEnabled(there);
    menu->addSeparator();
    menu->addAction(m_remove);
    menu->popup(m_view->viewport()->mapToGlobal(at));
}
