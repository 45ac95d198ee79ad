#include "app/AppDelegate.h"

#include "app/BatchNotification.h"
#include "app/Completion.h"
#include "app/FileListModel.h"
#include "app/MainWindow.h"
#include "app/ProgressSheet.h"
#include "app/SavePanel.h"
#include "filelist/RowRecord.h"
#include "ui_MainWindow.h"
#include "util/Diagnostics.h"

#include <QFileInfo>
#include <QTimer>

// From Compress to the end of the batch: the folder, the run, its sheet and its report.

void AppDelegate::compressVideoBTNClicked() { askForOutputFolder(); }

void AppDelegate::saveMenuBTNClicked() { askForOutputFolder(); }

void AppDelegate::askForOutputFolder()
{
    if (isBatchRunning() || fileListArrayController->rowCount() == 0)
        return;
    auto *panel = new SavePanel(window);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setLabelText(QFileDialog::FileName, tr("Create folded named:"));
    // Propose the new folder beside the first listed video.
    if (!fileListArrayController->rows().isEmpty())
        panel->setDirectory(QFileInfo(fileListArrayController->rows().first().value(RowKeys::filePath).toString()).absolutePath());
    panel->selectFile(tr("Compressed Files"));
    panel->setInputs(fileListArrayController->paths());
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
    const Batch batch = Batch::plan(fileListArrayController->rows(), folder, target(), m_window->choices());
    Diagnostics::line(Batch::argumentListsText(batch.plannedArgumentLists()));
    startBatch(batch);
}

void AppDelegate::startBatch(const Batch &batch)
{
    // The panel has asked before replacing anything; the run checks the
    // tools and makes the folder, or says why it cannot.
    auto prepared = CompressionRun::prepare(batch, {}, true, fileListArrayController->paths());
    if (const auto *refusal = std::get_if<CompressionRun::Refusal>(&prepared)) {
        Completion::showRefusal(window, *refusal, batch.outputFolder);
        return;
    }
    m_run = std::move(std::get<std::unique_ptr<CompressionRun>>(prepared));
    m_sheet->follow(m_run->job());
    fileListArrayController->follow(m_run->job());
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

void AppDelegate::showCompressionSheet() { m_sheet->begin(tr("Compressing Videos..."), true); }

void AppDelegate::hideProgressSheet() { m_sheet->end(); }

void AppDelegate::cancelBTNInsideProgressWindowClicked()
{
    // The job sets its flag first, then stops the process.
    if (isBatchRunning())
        m_run->cancel();
}

void AppDelegate::finishBatch(const Batch &batch, const QList<RowResult> &results, const std::optional<QString> &placingProblem)
{
    setBatchControlsEnabled(true);
    // A cancelled batch has left the folder as it was, without a word.
    if (!isProcessCancelledByUser()) {
        if (placingProblem)
            showAlert(tr("Veltrane can't put the compressed files in place:"), *placingProblem, { Completion::okButton });
        else // not modal: a close request or a signal must still reach the window
            Completion::showAlert(window, batch, results);
    }
    emit batchFinished();
    runPendingIntake();
}

void AppDelegate::setBatchControlsEnabled(bool enabled)
{
    for (QAction *action : { m_ui->actionOpen, m_ui->actionOpenToolBar, m_ui->actionRemove })
        action->setEnabled(enabled);
    // An empty list would make an empty folder and call that a success.
    const bool compressible = enabled && fileListArrayController->rowCount() > 0;
    for (QAction *action : { m_ui->actionSave, m_ui->actionCompress })
        action->setEnabled(compressible);
    m_ui->compressButton->setEnabled(compressible);
}
