#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <memory>

#include "compress/BatchJob.h"

class FileListModel;
class FileProbe;
class QDialog;
class QLabel;
class QMainWindow;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QSlider;
class QTableView;
namespace Ui {
class MainWindow;
class ProgressSheet;
}

// The one controller: it builds the window from its interface files, holds
// the outlets, and turns every user action into calls on the core.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    void applicationWillTerminate();

    void resetControls();
    void analyzeAndAddFiles(const QList<QUrl> &urls);
    // The same pass once the current event is done: a panel has closed, a
    // drop has been answered, the window is up. Relative paths are taken from
    // the current folder.
    void analyzeAndAddFilesLater(const QStringList &paths);
    void addRowForProbe(const FileProbe &probe);
    void refreshSizeControls();
    void updateFileSizeLabels();
    void updateOutputResolutionLabel();

    void askForOutputFolder();
    void prepareOutputFolder(const QString &path);
    void planBatch(const QString &folder);
    void startBatch(const Batch &batch);
    void showCompressionSheet();
    void hideProgressSheet();
    void finishBatch(const Batch &batch, const QList<RowResult> &results);
    bool isBatchRunning() const { return m_job && m_job->isRunning(); }

    // The running transcoder (its process id, 0 when none) and the cancel
    // flag: views of the batch job, which owns both.
    qint64 globalProcess() const { return m_job ? m_job->processId() : 0; }
    bool isProcessCancelledByUser() const { return m_job && m_job->isCancelled(); }

    // Outlets, owned by the window.
    QMainWindow *window = nullptr;
    FileListModel *fileListArrayController = nullptr;
    QTableView *fileListView = nullptr;
    QSlider *fileSizeSlider = nullptr;
    QLabel *targetFileSizeTF = nullptr;
    QLabel *leftFileSizeTF = nullptr;
    QLabel *middleFileSizeTF = nullptr;
    QLabel *rightFileSizeTF = nullptr;
    QSlider *outputResolutionSlider = nullptr;
    QLabel *outputResolutionTF = nullptr;
    QDialog *progressWindow = nullptr;
    QLabel *progressTitle = nullptr;
    QProgressBar *progressBar = nullptr;
    QPushButton *progressCancel = nullptr;

public slots:
    void openMenuBTNClicked();
    void openToolBarBTNClicked();
    void filesAddedByDragAndDropWithNotification(const QString &name, const QVariantMap &userInfo);
    void fileSizeSliderChanged();
    void outputResolutionSliderChanged();
    void removeItemsACTION();
    void compressVideoBTNClicked();
    void saveMenuBTNClicked();
    void cancelBTNInsideProgressWindowClicked();
    void helpBTNClickedWithSender();

signals:
    // An intake pass has ended (the refusal alert, if any, is up).
    void intakeFinished();
    // A batch has ended: its alert is up, or its folder was removed after a cancel.
    void batchFinished();

private:
    void showOpenPanel();
    // Files that arrived during a pass or a batch get their pass afterwards.
    void runPendingIntake();
    void showAnalyzingSheet();
    void setProgress(double percent);
    void endSheet();
    void setBatchControlsEnabled(bool enabled);
    QMessageBox *showAlert(const QString &message, const QString &informative, const QStringList &buttons);

    std::unique_ptr<Ui::MainWindow> m_ui;
    std::unique_ptr<Ui::ProgressSheet> m_sheetUi;
    std::unique_ptr<QMainWindow> m_window;
    bool m_analyzing = false;
    QStringList m_pendingIntake;
    // The last batch: running, or finished and kept until the next one starts.
    std::unique_ptr<BatchJob> m_job;
};
