#include "app/AppDelegate.h"

#include "BuildConfig.h"
#include "app/BatchNotification.h"
#include "app/Completion.h"
#include "app/FileListModel.h"
#include "app/Resources.h"
#include "app/SavePanel.h"
#include "app/TaskbarProgress.h"
#include "app/Thumbnail.h"
#include "compress/Planning.h"
#include "filelist/Intake.h"
#include "filelist/IntakeJob.h"
#include "filelist/RowRecord.h"
#include "probe/FileProbe.h"
#include "tools/Tools.h"
#include "ui_MainWindow.h"
#include "ui_ProgressSheet.h"
#include "util/Diagnostics.h"
#include "util/NotificationCenter.h"
#include "util/TextFormat.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

// The progress sheet goes only when its work ends. A plain dialog hides on
// Escape or a close request, and the cancel button would go with it while the
// batch runs on.
class SheetDialog : public QDialog
{
public:
    using QDialog::QDialog;
    void reject() override {}
};

}

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
    , m_ui(std::make_unique<Ui::MainWindow>())
    , m_sheetUi(std::make_unique<Ui::ProgressSheet>())
    , m_window(std::make_unique<QMainWindow>())
{
    Resources::init();
    m_ui->setupUi(m_window.get());
    window = m_window.get();
    window->setWindowIcon(QIcon(QStringLiteral(":/images/veltrane")));

    fileListArrayController = new FileListModel(this);
    fileListView = m_ui->fileListView;
    fileListView->setModel(fileListArrayController);
    fileListView->setIconSize(QSize(FileListModel::thumbnailHeight * 16 / 9, FileListModel::thumbnailHeight));
    fileListView->verticalHeader()->setDefaultSectionSize(FileListModel::thumbnailHeight + 8);
    fileListView->horizontalHeader()->resizeSection(FileListModel::thumbnailColumn, FileListModel::thumbnailHeight * 16 / 9 + 12);
    const std::pair<int, int> widths[] = { { FileListModel::nameColumn, 200 },
                                           { FileListModel::resolutionColumn, 90 },
                                           { FileListModel::sizeColumn, 80 },
                                           { FileListModel::durationColumn, 95 } };
    for (const auto &[column, width] : widths)
        fileListView->horizontalHeader()->resizeSection(column, width);
    fileListView->addAction(m_ui->actionRemove);

    fileSizeSlider = m_ui->fileSizeSlider;
    targetFileSizeTF = m_ui->targetFileSizeTF;
    leftFileSizeTF = m_ui->leftFileSizeTF;
    middleFileSizeTF = m_ui->middleFileSizeTF;
    rightFileSizeTF = m_ui->rightFileSizeTF;
    outputResolutionSlider = m_ui->outputResolutionSlider;
    outputResolutionTF = m_ui->outputResolutionTF;
    QFont bold = targetFileSizeTF->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    targetFileSizeTF->setFont(bold);

    m_ui->dropImageView->setText(
        tr("<img src=\":/images/veltrane\" width=\"96\" height=\"96\"><p><b>Drop videos here</b></p>"
           "<p>or use Open to add them</p>"));

    progressWindow = new SheetDialog(window);
    m_sheetUi->setupUi(progressWindow);
    progressWindow->setWindowModality(Qt::NonModal);
    // No close button in its title bar either.
    progressWindow->setWindowFlags(Qt::Sheet | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    progressTitle = m_sheetUi->progressTitle;
    progressBar = m_sheetUi->progressBar;
    progressCancel = m_sheetUi->progressCancel;

    const QStyle *style = window->style();
    // The desktop's own icons where its theme has them.
    const auto icon = [style](const char *themeName, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(QString::fromLatin1(themeName), style->standardIcon(fallback));
    };
    m_ui->actionOpen->setIcon(icon("document-open", QStyle::SP_DialogOpenButton));
    m_ui->actionOpenToolBar->setIcon(m_ui->actionOpen->icon());
    m_ui->actionSave->setIcon(icon("document-save", QStyle::SP_DialogSaveButton));
    m_ui->actionCompress->setIcon(m_ui->actionSave->icon());
    m_ui->actionRemove->setIcon(icon("list-remove", QStyle::SP_TrashIcon));
    m_ui->actionHelp->setIcon(icon("help-about", QStyle::SP_DialogHelpButton));
    m_ui->actionQuit->setIcon(icon("application-exit", QStyle::SP_DialogCloseButton));

    connect(m_ui->actionOpen, &QAction::triggered, this, &AppDelegate::openMenuBTNClicked);
    connect(m_ui->actionOpenToolBar, &QAction::triggered, this, &AppDelegate::openToolBarBTNClicked);
    connect(m_ui->actionRemove, &QAction::triggered, this, &AppDelegate::removeItemsACTION);
    connect(m_ui->actionHelp, &QAction::triggered, this, &AppDelegate::helpBTNClickedWithSender);
    connect(m_ui->actionCompress, &QAction::triggered, this, &AppDelegate::compressVideoBTNClicked);
    connect(m_ui->compressButton, &QPushButton::clicked, this, &AppDelegate::compressVideoBTNClicked);
    connect(m_ui->actionSave, &QAction::triggered, this, &AppDelegate::saveMenuBTNClicked);
    connect(progressCancel, &QPushButton::clicked, this, &AppDelegate::cancelBTNInsideProgressWindowClicked);
    connect(m_ui->actionQuit, &QAction::triggered, qApp, &QApplication::quit, Qt::QueuedConnection);
    connect(fileSizeSlider, &QSlider::valueChanged, this, &AppDelegate::fileSizeSliderChanged);
    connect(outputResolutionSlider, &QSlider::valueChanged, this, &AppDelegate::outputResolutionSliderChanged);
    window->installEventFilter(this);
    progressWindow->installEventFilter(this);

    m_taskbar = new TaskbarProgress(this);
    m_notification = new BatchNotification(window);
    connect(m_notification, &BatchNotification::activated, this, [this] { applicationShouldHandleReopen(false); });
}

AppDelegate::~AppDelegate() { applicationWillTerminate(); }

void AppDelegate::applicationDidFinishLaunching()
{
    connect(&NotificationCenter::defaultCenter(), &NotificationCenter::posted, this,
            &AppDelegate::filesAddedByDragAndDropWithNotification);
    resetControls();
    // What a killed run left behind is dealt with, and told, before anything else.
    if (const QStringList recovered = OutputFolder::recoverLeftovers(); !recovered.isEmpty())
        showAlert(QStringLiteral("Veltrane cleaned up after a batch that was stopped:"), recovered.join(QLatin1Char('\n')),
                  { Completion::okButton });
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (hasVisibleWindows) {
        window->raise();
    } else {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
        window->raise();
        window->activateWindow();
    }
    return true;
}

void AppDelegate::applicationWillTerminate()
{
    if (!isBatchRunning())
        return;
    // No transcoder may outlive the application, and nothing would remove the
    // unfinished work after this. Letting go of the run stops its transcoder
    // (terminate, then kill), waits for it and removes what it wrote; its end
    // is never reported.
    m_run.reset();
    hideProgressSheet();
    setBatchControlsEnabled(true);
}

void AppDelegate::terminateForSignal(int signal) { stopAndQuit(128 + signal); }

void AppDelegate::stopAndQuit(int status)
{
    applicationWillTerminate();
    emit quitRequested(status);
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    // Quitting asks every window to close, the sheet too: whichever is asked
    // first, the question comes up.
    if ((watched == window || watched == progressWindow) && event->type() == QEvent::Close && isBatchRunning()) {
        event->ignore();
        askToStopAndQuit();
        return true;
    }
    // Closing the window during a pass stops it: its tools go, the files not
    // yet listed are dropped, and the window closes as asked.
    if (watched == window && event->type() == QEvent::Close && m_intake)
        m_intake->cancel();
    return QObject::eventFilter(watched, event);
}

void AppDelegate::askToStopAndQuit()
{
    // An answered question may wait a while for its deletion.
    if (m_stopQuestion && m_stopQuestion->isVisible()) {
        m_stopQuestion->raise();
        return;
    }
    m_stopQuestion = new QMessageBox(QMessageBox::Question, QStringLiteral("Veltrane"), QStringLiteral("Stop compressing and quit?"),
                                     QMessageBox::NoButton, window);
    m_stopQuestion->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *stop = m_stopQuestion->addButton(QStringLiteral("Stop"), QMessageBox::DestructiveRole);
    m_stopQuestion->setDefaultButton(m_stopQuestion->addButton(QStringLiteral("Continue"), QMessageBox::RejectRole));
    connect(m_stopQuestion, &QMessageBox::buttonClicked, this, [this, stop](QAbstractButton *button) {
        if (button == stop)
            stopAndQuit(0);
    });
    m_stopQuestion->open();
}

void AppDelegate::resetControls()
{
    const QSignalBlocker sizeBlocker(fileSizeSlider);
    const QSignalBlocker resolutionBlocker(outputResolutionSlider);
    fileSizeSlider->setValue(55);
    targetFileSizeTF->setText(QStringLiteral("0 MB"));
    leftFileSizeTF->setText(QStringLiteral("0 MB"));
    middleFileSizeTF->setText(QStringLiteral("0 MB"));
    rightFileSizeTF->setText(QStringLiteral("0 MB"));
    outputResolutionSlider->setValue(100);
    outputResolutionTF->setText(QStringLiteral("100%"));
    progressCancel->setHidden(true);
}

// ---- adding files ----------------------------------------------------------

void AppDelegate::openMenuBTNClicked() { showOpenPanel(); }

void AppDelegate::openToolBarBTNClicked() { showOpenPanel(); }

void AppDelegate::showOpenPanel()
{
    auto *panel = new QFileDialog(window);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setFileMode(QFileDialog::ExistingFiles);
    panel->setWindowModality(Qt::WindowModal);
    // filesSelected, not urlsSelected: Qt's own dialog, used where the desktop
    // offers none, emits only the former.
    connect(panel, &QFileDialog::filesSelected, this, &AppDelegate::analyzeAndAddFilesLater);
    panel->open();
}

void AppDelegate::filesAddedByDragAndDropWithNotification(const QString &name, const QVariantMap &userInfo)
{
    if (name != FilesAddedByDragAndDrop)
        return;
    const QVariant key = userInfo.value(QStringLiteral("key"));
    if (!key.canConvert<QStringList>())
        return;
    // The pass runs after the drop has been answered, so the file manager
    // that started the drag is not held up while the files are probed.
    analyzeAndAddFilesLater(key.toStringList());
}

void AppDelegate::analyzeAndAddFilesLater(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    QTimer::singleShot(0, this, [this, urls] { analyzeAndAddFiles(urls); });
}

void AppDelegate::analyzeAndAddFiles(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &url : urls)
        paths.append(url.toLocalFile());
    // None while a batch runs: a pass resets the controls and takes over the sheet.
    if (isBatchRunning()) {
        m_afterBatch += paths;
        return;
    }
    // Files that come during a pass join it.
    if (!m_intake) {
        resetControls();
        showAnalyzingSheet();
        m_intake = std::make_unique<IntakeJob>(QThread::idealThreadCount(), [](const FileProbe &probe, const IntakeJob::Worker &worker) {
            return QVariant(Thumbnail::make(probe, Thumbnail::workingPath(worker.number), &worker.stop));
        });
        connect(m_intake.get(), &IntakeJob::examined, this, [this](const Intake::Examined &file) {
            if (!file.refusal)
                addRowForProbe(file.probe, file.prepared.value<QImage>());
        });
        connect(m_intake.get(), &IntakeJob::progress, this, &AppDelegate::setProgress);
        connect(m_intake.get(), &IntakeJob::finished, this, &AppDelegate::intakeEnded);
    }
    m_intake->add(paths);
}

void AppDelegate::intakeEnded(const QList<Intake::Refusal> &refused, bool stopped)
{
    // Let go of once its signal is done; its workers are idle by now.
    m_intake.release()->deleteLater();
    setProgress(0);
    endSheet();
    if (!refused.isEmpty()) {
        Diagnostics::line(QStringLiteral("nonWorkableFiles : ") + Intake::refusedNames(refused).join(QStringLiteral(", ")));
        if (!stopped)
            showAlert(Intake::refusalMessageText, TextFormat::namedFilesAlertText(Intake::refusedNames(refused)), {});
    }
    refreshSizeControls();
    emit intakeFinished();
}

void AppDelegate::runPendingIntake()
{
    if (!m_afterBatch.isEmpty())
        analyzeAndAddFilesLater(std::exchange(m_afterBatch, {}));
}

void AppDelegate::addRowForProbe(const FileProbe &probe, const QImage &thumbnail)
{
    fileListArrayController->addObject(RowRecord::make(probe, thumbnail));
}

// ---- sizes -------------------------------------------------------------------

void AppDelegate::fileSizeSliderChanged()
{
    if (fileListArrayController->rowCount() > 0)
        updateFileSizeLabels();
}

void AppDelegate::outputResolutionSliderChanged() { updateOutputResolutionLabel(); }

void AppDelegate::updateFileSizeLabels()
{
    const auto labels = Planning::sizeLabels(Planning::referenceFileSize(fileListArrayController->rows()),
                                             fileSizeSlider->value());
    targetFileSizeTF->setText(labels.target);
    leftFileSizeTF->setText(labels.left);
    middleFileSizeTF->setText(labels.middle);
    rightFileSizeTF->setText(labels.right);
}

void AppDelegate::updateOutputResolutionLabel()
{
    outputResolutionTF->setText(Planning::resolutionLabel(outputResolutionSlider->value()));
}

void AppDelegate::refreshSizeControls()
{
    if (fileListArrayController->rowCount() > 0)
        updateFileSizeLabels();
    else
        resetControls();
}

void AppDelegate::removeItemsACTION()
{
    QList<int> positions;
    for (const QModelIndex &index : fileListView->selectionModel()->selectedRows())
        positions.append(index.row());
    fileListArrayController->removeObjectsAtArrangedObjectIndexes(positions);
    refreshSizeControls();
}

// ---- compressing -------------------------------------------------------------

void AppDelegate::compressVideoBTNClicked() { askForOutputFolder(); }

void AppDelegate::saveMenuBTNClicked() { askForOutputFolder(); }

void AppDelegate::askForOutputFolder()
{
    if (isBatchRunning())
        return;
    auto *panel = new SavePanel(window);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setLabelText(QFileDialog::FileName, QStringLiteral("Create folded named:"));
    // Propose the new folder beside the first listed video.
    if (!fileListArrayController->rows().isEmpty())
        panel->setDirectory(QFileInfo(fileListArrayController->rows().first().value(RowKeys::filePath).toString()).absolutePath());
    panel->selectFile(QStringLiteral("Compressed Files"));
    panel->setInputs(listedPaths());
    connect(panel, &QFileDialog::fileSelected, this, [this](const QString &path) {
        if (!path.isEmpty())
            QTimer::singleShot(0, this, [this, path] { prepareOutputFolder(path); });
    });
    panel->open();
}

void AppDelegate::prepareOutputFolder(const QString &path)
{
    if (isBatchRunning())
        return;
    planBatch(path);
}

void AppDelegate::planBatch(const QString &folder)
{
    const Batch batch = Batch::plan(fileListArrayController->rows(), folder,
                                    Planning::Target::ofSmallest(fileSizeSlider->value()), outputResolutionSlider->value());
    Diagnostics::line(Batch::argumentListsText(batch.plannedArgumentLists()));
    startBatch(batch);
}

void AppDelegate::startBatch(const Batch &batch)
{
    // The panel has asked before replacing anything; the run checks the
    // tools and makes the folder, or says why it cannot.
    auto prepared = CompressionRun::prepare(batch, {}, true, listedPaths());
    if (const auto *refusal = std::get_if<CompressionRun::Refusal>(&prepared)) {
        showRefusal(*refusal, batch.outputFolder);
        return;
    }
    m_run = std::move(std::get<std::unique_ptr<CompressionRun>>(prepared));
    connect(&m_run->job(), &BatchJob::progress, this, [this](double percent) { setProgress(percent); });
    connect(m_run.get(), &CompressionRun::ended, this,
            [this](const QList<RowResult> &results, bool cancelled, const std::optional<QString> &placingProblem) {
                // Asked before the sheet goes, which may hand the focus on.
                const bool unwatched = !m_notification->isWindowActive();
                hideProgressSheet();
                if (unwatched && !cancelled && !placingProblem)
                    m_notification->batchEnded(m_run->batch().outputFolder, results);
                finishBatch(m_run->batch(), results, placingProblem);
            });
    setBatchControlsEnabled(false);
    showCompressionSheet();
    m_run->start();
}

void AppDelegate::showRefusal(const CompressionRun::Refusal &refusal, const QString &path)
{
    using Kind = OutputFolder::Refusal::Kind;
    QString title = QStringLiteral("Veltrane can't create the folder:");
    QString text = refusal.text;
    if (!refusal.folder)
        title = QStringLiteral("Veltrane can't compress:");
    else if (refusal.folder->kind == Kind::holdsInput)
        title = OutputFolder::holdsInputMessageText, text = path;
    else if (refusal.folder->kind == Kind::notAFolder)
        title = QStringLiteral("Veltrane can only replace a folder, not a file:"), text = path;
    else if (refusal.folder->kind == Kind::unsafe)
        title = QStringLiteral("Veltrane can't replace this folder:");
    showAlert(title, text, { Completion::okButton });
}

QStringList AppDelegate::listedPaths() const
{
    QStringList paths;
    for (const QVariantMap &row : fileListArrayController->rows())
        paths.append(row.value(RowKeys::filePath).toString());
    return paths;
}

void AppDelegate::showCompressionSheet()
{
    setProgress(0);
    progressTitle->setText(QStringLiteral("Compressing Videos..."));
    progressCancel->setHidden(false);
    openSheet();
}

void AppDelegate::hideProgressSheet()
{
    setProgress(0);
    progressCancel->setHidden(true);
    endSheet();
}

void AppDelegate::cancelBTNInsideProgressWindowClicked()
{
    // The job sets its flag first, then stops the process.
    if (isBatchRunning())
        m_run->cancel();
}

void AppDelegate::finishBatch(const Batch &batch, const QList<RowResult> &results, const std::optional<QString> &placingProblem)
{
    setBatchControlsEnabled(true);
    const QString folder = batch.outputFolder;
    // A cancelled batch has left the folder as it was, without a word.
    if (isProcessCancelledByUser()) {
        emit batchFinished();
        runPendingIntake();
        return;
    }
    if (placingProblem) {
        showAlert(QStringLiteral("Veltrane can't put the compressed files in place:"), *placingProblem, { Completion::okButton });
        emit batchFinished();
        runPendingIntake();
        return;
    }
    const Completion::Alert text = Completion::completionAlert(batch, results);
    const QList<QUrl> entries = Completion::outputEntries(folder);
    // Not modal: a close request or a signal must still reach the window.
    QMessageBox *alert = showAlert(text.message, text.informative, { Completion::okButton, Completion::showButton },
                                   Modality::none);
    if (text.failed)
        alert->setIcon(QMessageBox::Warning);
    if (!text.details.isEmpty())
        alert->setDetailedText(text.details);
    connect(alert, &QMessageBox::buttonClicked, this, [folder, entries](QAbstractButton *button) {
        if (button->text() == Completion::showButton)
            Completion::revealInFileManager(folder, entries);
    });
    emit batchFinished();
    runPendingIntake();
}

void AppDelegate::setBatchControlsEnabled(bool enabled)
{
    for (QAction *action : { m_ui->actionOpen, m_ui->actionOpenToolBar, m_ui->actionSave, m_ui->actionCompress,
                             m_ui->actionRemove })
        action->setEnabled(enabled);
    m_ui->compressButton->setEnabled(enabled);
}

// ---- sheets and alerts ---------------------------------------------------------

void AppDelegate::showAnalyzingSheet()
{
    setProgress(0);
    progressTitle->setText(QStringLiteral("Analyzing Videos..."));
    openSheet();
}

void AppDelegate::setProgress(double percent)
{
    // The bar counts hundredths of a percent; progress past the end stays full.
    progressBar->setValue(int(std::clamp(percent, 0.0, 100.0) * 100 + 0.5));
    m_taskbar->setProgress(percent);
}

// The sheet stands over the window's work: the window takes no input while
// it is up. It is not modal, since a modal one would swallow the window's
// close requests.
void AppDelegate::openSheet()
{
    for (QWidget *part : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (part != progressWindow && !part->isWindow())
            part->setEnabled(false);
    progressWindow->show();
    progressWindow->raise();
}

void AppDelegate::endSheet()
{
    progressWindow->hide();
    m_taskbar->clear();
    for (QWidget *part : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (!part->isWindow())
            part->setEnabled(true);
}

QMessageBox *AppDelegate::showAlert(const QString &message, const QString &informative, const QStringList &buttons,
                                    Modality modality)
{
    auto *alert = new QMessageBox(window);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(modality == Modality::sheet ? Qt::WindowModal : Qt::NonModal);
    alert->setIcon(QMessageBox::Information);
    alert->setText(message);
    alert->setInformativeText(informative);
    for (const QString &title : buttons)
        alert->addButton(title, buttons.indexOf(title) == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
    if (modality == Modality::sheet)
        alert->open();
    else
        alert->show();
    return alert;
}

void AppDelegate::helpBTNClickedWithSender()
{
    showAlert(QStringLiteral("Comments/Questions?"), QString::fromUtf8(BuildConfig::supportEmail), { QStringLiteral("OK") });
}
