#pragma once

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLabel>
#include <QTableView>

#include <optional>

class QMimeData;

namespace DropTargets {

// The paths a drop carries that exist, in drag order, each folder replaced by
// the regular files inside it; nothing when the drop carries no local files
// at all.
std::optional<QStringList> droppedFilePaths(const QMimeData *mime);

// Offers the copy action to every drag.
void acceptDrag(QDropEvent *event);

// Posts FilesAddedByDragAndDrop with the dropped paths, or declines a drop
// without local files.
void performDrop(QDropEvent *event);

}

// Both views let files be dropped on the main window, with the same behaviour.
template<typename View>
class FileDropTarget : public View
{
public:
    explicit FileDropTarget(QWidget *parent = nullptr)
        : View(parent)
    {
        this->setAcceptDrops(true);
    }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override { DropTargets::acceptDrag(event); }
    void dragMoveEvent(QDragMoveEvent *event) override { DropTargets::acceptDrag(event); }
    void dropEvent(QDropEvent *event) override { DropTargets::performDrop(event); }
};

// The file list.
class DragAndDropFilesInNSScrollView : public FileDropTarget<QTableView>
{
    Q_OBJECT

public:
    explicit DragAndDropFilesInNSScrollView(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// The picture beside the list that invites a drop.
class DragAndDropFilesInNSImageView : public FileDropTarget<QLabel>
{
    Q_OBJECT

public:
    explicit DragAndDropFilesInNSImageView(QWidget *parent = nullptr);
};
