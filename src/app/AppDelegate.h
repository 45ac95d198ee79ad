#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <memory>

#include "compress/BatchJob.h"
#include "compress/CompressionRun.h"
#include "compress/Planning.h"
#include "filelist/IntakeJob.h"

#include <optional>

class BatchNotification;
class FileListModel;
class FileProbe;
class QDialog;
class QImage;
class QLabel;
class QMainWindow;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QSlider;
class QTableView;
class MainWindow;
class ProgressSheet;
namespace Ui {
class MainWindow;
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
    // Without visible windows, or when the window is asked for (another
    // start, a click on the notification), it comes forward, unminimized,
    // with the keyboard; otherwise it is only raised.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    void applicationWillTerminate();
    // SIGTERM, SIGINT or SIGHUP: a running batch is stopped and its folder
    // removed (a replaced one put back), then the application quits with
    // 128 + the signal.
    void terminateForSignal(int signal);

    void resetControls();
    void analyzeAndAddFiles(const QList<QUrl> &urls);
    // The same pass once the current event is done: a panel has closed, a
    // drop has been answered, the window is up. Relative paths are taken from
    // the current folder.
    void analyzeAndAddFilesLater(const QStringList &paths);
    // thumbnail: made on the intake worker, already decoded.
    void addRowForProbe(const FileProbe &probe, const QImage &thumbnail);
    void refreshSizeControls();
    void updateFileSizeLabels();
    void updateOutputResolutionLabel();
    // The plan column, from the list and the controls as they are now.
    void updatePlans();

    void askForOutputFolder();
    void prepareOutputFolder(const QString &path);
    void planBatch(const QString &folder);
    void startBatch(const Batch &batch);
    void showCompressionSheet();
    void hideProgressSheet();
    // placingProblem: the finished files could not be put in place, and why.
    void finishBatch(const Batch &batch, const QList<RowResult> &results, const std::optional<QString> &placingProblem = {});
    bool isBatchRunning() const { return m_run && m_run->job().isRunning(); }

    // The running transcoder (its process id, 0 when none) and the cancel
    // flag: views of the batch job, which owns both.
    qint64 globalProcess() const { return m_run ? m_run->job().processId() : 0; }
    bool isProcessCancelledByUser() const { return m_run && m_run->job().isCancelled(); }

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
    // The application should quit now with this status (main() connects it).
    void quitRequested(int status);

protected:
    // A close request to the window during a batch asks first; a quit during
    // an intake pass goes through its sheet.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What the size slider aims every row at.
    Planning::Target target() const;
    void showOpenPanel();
    void intakeEnded(const QList<Intake::Refusal> &refused, bool stopped);
    // Files that arrived during a batch get their pass afterwards.
    void runPendingIntake();
    void showAnalyzingSheet();
    void setProgress(double percent);
    void endSheet();
    void setBatchControlsEnabled(bool enabled);
    // Stops a running batch, removes its folder (putting back a replaced one), and asks to quit.
    void stopAndQuit(int status);
    void askToStopAndQuit();
    enum class Modality { sheet, none };
    QMessageBox *showAlert(const QString &message, const QString &informative, const QStringList &buttons,
                           Modality modality = Modality::sheet);

    std::unique_ptr<MainWindow> m_window;
    Ui::MainWindow *m_ui; // the window's
    // The intake pass going on, if any; files that come meanwhile join it.
    std::unique_ptr<IntakeJob> m_intake;
    // Files that came during a batch: their pass comes after it.
    QStringList m_afterBatch;
    // The last batch: running, or finished and kept until the next one starts.
    std::unique_ptr<CompressionRun> m_run;
    QPointer<QMessageBox> m_stopQuestion;
    ProgressSheet *m_sheet = nullptr; // owned by the window
    // A notification for a batch that ends while the window is not watched.
    BatchNotification *m_notification = nullptr;
};
