#include "app/AppDelegate.h"

#include "BuildConfig.h"
#include "app/Alerts.h"
#include "app/BatchNotification.h"
#include "app/Completion.h"
#include "app/FileListModel.h"
#include "app/MainWindow.h"
#include "app/ProgressSheet.h"
#include "app/RowActions.h"
#include "app/Thumbnail.h"
#include "compress/Planning.h"
#include "filelist/Intake.h"
#include "filelist/IntakeJob.h"
#include "filelist/RowRecord.h"
#include "ui_MainWindow.h"
#include "util/Diagnostics.h"
#include "util/NotificationCenter.h"
#include "util/TextFormat.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <algorithm>

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
    , m_window(std::make_unique<MainWindow>())
    , m_ui(&m_window->ui())
{
    window = m_window.get();
    fileListArrayController = new FileListModel(this);
    fileListView = m_ui->fileListView;
    fileListArrayController->setUpView(fileListView);
    new RowActions(fileListView, fileListArrayController, m_ui->actionRemove); // owned by the list
    fileSizeSlider = m_ui->fileSizeSlider;
    targetFileSizeTF = m_ui->targetFileSizeTF;
    leftFileSizeTF = m_ui->leftFileSizeTF;
    middleFileSizeTF = m_ui->middleFileSizeTF;
    rightFileSizeTF = m_ui->rightFileSizeTF;
    outputResolutionSlider = m_ui->outputResolutionSlider;
    outputResolutionTF = m_ui->outputResolutionTF;
    m_sheet = new ProgressSheet(window);
    progressWindow = m_sheet;
    progressTitle = m_sheet->title();
    progressBar = m_sheet->bar();
    progressCancel = m_sheet->cancelButton();

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
    connect(m_window.get(), &MainWindow::choicesChanged, this, &AppDelegate::updatePlans);
    connect(m_window.get(), &MainWindow::fitUnderChanged, this, &AppDelegate::refreshSizeControls);
    window->installEventFilter(this);
    progressWindow->installEventFilter(this);

    m_notification = new BatchNotification(window);
    connect(m_notification, &BatchNotification::activated, this, [this] { applicationShouldHandleReopen(false); });
}

AppDelegate::~AppDelegate() { applicationWillTerminate(); }

void AppDelegate::applicationDidFinishLaunching()
{
    connect(&NotificationCenter::defaultCenter(), &NotificationCenter::posted, this,
            &AppDelegate::filesAddedByDragAndDropWithNotification);
    resetControls();
    setBatchControlsEnabled(true);
    // What a killed run left behind is dealt with, and told, before anything else.
    if (const QStringList recovered = OutputFolder::recoverLeftovers(); !recovered.isEmpty())
        showAlert(tr("Veltrane cleaned up after a batch that was stopped:"), recovered.join(QLatin1Char('\n')),
                  { Completion::okButton });
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (hasVisibleWindows)
        window->raise();
    else
        m_window->bringForward();
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
    m_stopQuestion = Alerts::askToStop(window, tr("Stop compressing and quit?"), this, [this] { stopAndQuit(0); });
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

void AppDelegate::showOpenPanel() { m_window->askForVideos(this, &AppDelegate::analyzeAndAddFilesLater); }

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
        if (!stopped) {
            // The reasons under the names: which file was not media, which could not be read.
            if (QMessageBox *box = showAlert(QCoreApplication::translate("Intake", qUtf8Printable(Intake::refusalMessageText)),
                                             TextFormat::namedFilesAlertText(Intake::refusedNames(refused)), {}))
                box->setDetailedText(Intake::refusalDetails(refused));
        }
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
    // Moved by hand: its share of the smallest file rules again.
    m_window->clearFitUnder();
    if (fileListArrayController->rowCount() > 0)
        updateFileSizeLabels();
    updatePlans();
}

void AppDelegate::outputResolutionSliderChanged()
{
    updateOutputResolutionLabel();
    updatePlans();
}

void AppDelegate::updateFileSizeLabels()
{
    const qint64 reference = Planning::referenceFileSize(fileListArrayController->rows());
    const auto labels = Planning::sizeLabels(reference, fileSizeSlider->value());
    targetFileSizeTF->setText(labels.target);
    if (const std::optional<qint64> fitUnder = m_window->fitUnder()) {
        // The slider shows where the size falls against the smallest file.
        const QSignalBlocker blocker(fileSizeSlider);
        fileSizeSlider->setValue(int(std::round(100.0 * double(*fitUnder) / double(std::max<qint64>(1, reference)))));
        targetFileSizeTF->setText(TextFormat::byteCountText(*fitUnder));
    }
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
    updatePlans();
    setBatchControlsEnabled(!isBatchRunning());
}

Planning::Target AppDelegate::target() const
{
    if (const std::optional<qint64> fitUnder = m_window->fitUnder())
        return Planning::Target::exactly(*fitUnder);
    return Planning::Target::ofSmallest(fileSizeSlider->value());
}

void AppDelegate::updatePlans()
{
    // No folder yet: the outputs' names do not show.
    fileListArrayController->setPlans(Batch::plan(fileListArrayController->rows(), {}, target(), m_window->choices()).rows);
}

void AppDelegate::removeItemsACTION()
{
    QList<int> positions;
    for (const QModelIndex &index : fileListView->selectionModel()->selectedRows())
        positions.append(index.row());
    fileListArrayController->removeObjectsAtArrangedObjectIndexes(positions);
    refreshSizeControls();
}

// ---- sheets and alerts ---------------------------------------------------------

void AppDelegate::showAnalyzingSheet() { m_sheet->begin(tr("Analyzing Videos..."), false); }

void AppDelegate::setProgress(double percent) { m_sheet->setProgress(percent); }

void AppDelegate::endSheet() { m_sheet->end(); }

QMessageBox *AppDelegate::showAlert(const QString &message, const QString &informative, const QStringList &buttons,
                                    Modality modality)
{
    return Alerts::show(window, message, informative, buttons, modality == Modality::sheet);
}

void AppDelegate::helpBTNClickedWithSender()
{
    showAlert(tr("Comments/Questions?"), QString::fromUtf8(BuildConfig::supportEmail), { Completion::okButton });
}
