#pragma once

#include <QObject>
#include <QPoint>

class FileListModel;
class QAction;
class QTableView;

// What the list does with one row: opens its file in the desktop's player
// (double click, Enter, Space), shows it in the file manager, and offers
// both, with Remove, in the list's context menu (right click, the Menu key,
// Shift+F10). After a batch a row's file is its output.
class RowActions : public QObject
{
    Q_OBJECT

public:
    // remove: the window's own Remove, enabled as the window has it.
    RowActions(QTableView *view, const FileListModel *model, QAction *remove);

    // The output the last batch kept for the row while it is there, else its input.
    QString fileAt(int row) const;
    // Says so on the window when the file is gone or nothing opens it.
    void open(int row);
    void showInFolder(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // row: the one the menu acts on, -1 for none; at: where it shows, on the list's viewport.
    void showMenu(int row, const QPoint &at);

    QTableView *m_view;
    const FileListModel *m_model;
    QAction *m_remove;
};
