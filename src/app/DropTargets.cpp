#include "app/DropTargets.h"

#include "util/FolderContents.h"
#include "util/NotificationCenter.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace DropTargets {

std::optional<QStringList> droppedFilePaths(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return std::nullopt;
    bool anyLocal = false;
    QStringList paths;
    for (const QUrl &url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        anyLocal = true;
        const QFileInfo info(url.toLocalFile());
        if (info.exists())
            paths.append(info.absoluteFilePath());
    }
    if (!anyLocal)
        return std::nullopt;
    return FolderContents::withFolderContents(paths);
}

void acceptDrag(QDropEvent *event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void performDrop(QDropEvent *event)
{
    const auto paths = droppedFilePaths(event->mimeData());
    if (!paths) {
        event->ignore();
        return;
    }
    NotificationCenter::defaultCenter().post(FilesAddedByDragAndDrop, { { QStringLiteral("key"), *paths } });
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

}

DragAndDropFilesInNSScrollView::DragAndDropFilesInNSScrollView(QWidget *parent)
    : FileDropTarget<QTableView>(parent)
{
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    // One stop among the window's controls: the arrows move inside it, Tab leaves it.
    setTabKeyNavigation(false);
}

void DragAndDropFilesInNSScrollView::keyPressEvent(QKeyEvent *event)
{
    // Ctrl+Tab leaves it too, as it leaves any control that keeps Tab for itself.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier)) {
        focusNextPrevChild(event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
        return;
    }
    FileDropTarget<QTableView>::keyPressEvent(event);
}

DragAndDropFilesInNSImageView::DragAndDropFilesInNSImageView(QWidget *parent)
    : FileDropTarget<QLabel>(parent)
{
}
