#pragma once

#include <QDialog>

#include <memory>

class BatchJob;
class QLabel;
class QMainWindow;
class QProgressBar;
class QPushButton;
class TaskbarProgress;
namespace Ui {
class ProgressSheet;
}

// The sheet that stands over the window while files are examined or
// compressed: a title, one bar (mirrored on the taskbar entry) and, for a
// batch, Cancel. The window takes no input while it is up; it is not modal,
// since a modal one would swallow the window's close requests. It goes only
// when its work ends: Escape is Cancel, where there is one; neither Escape nor
// a close request takes it away.
class ProgressSheet : public QDialog
{
    Q_OBJECT

public:
    explicit ProgressSheet(QMainWindow *window);
    ~ProgressSheet() override;

    // Puts the sheet up with the bar at 0.
    void begin(const QString &title, bool cancellable);
    // Takes it away and gives the window back.
    void end();
    // Percent of the work; past the end stays full.
    void setProgress(double percent);
    // The bar follows the batch, and the line under it says where it is:
    // "File 2 of 5 · name · pass 1 of 2".
    void follow(const BatchJob &job);

    QLabel *title() const;
    QProgressBar *bar() const;
    QPushButton *cancelButton() const;

    void reject() override {}

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setWindowEnabled(bool enabled);
    void setDetail(const QString &text);

    QMainWindow *const m_window;
    std::unique_ptr<Ui::ProgressSheet> m_ui;
    TaskbarProgress *m_taskbar = nullptr;
};
