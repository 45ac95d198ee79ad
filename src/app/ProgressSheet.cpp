#include "app/ProgressSheet.h"

#include "app/TaskbarProgress.h"
#include "compress/BatchJob.h"
#include "util/Paths.h"
#include "ui_ProgressSheet.h"

#include <QKeyEvent>
#include <QMainWindow>

#include <algorithm>

ProgressSheet::ProgressSheet(QMainWindow *window)
    : QDialog(window)
    , m_window(window)
    , m_ui(std::make_unique<Ui::ProgressSheet>())
    , m_taskbar(new TaskbarProgress(this))
{
    m_ui->setupUi(this);
    m_ui->progressDetail->hide();
    setWindowModality(Qt::NonModal);
    // No close button in its title bar either.
    setWindowFlags(Qt::Sheet | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

ProgressSheet::~ProgressSheet() = default;

QLabel *ProgressSheet::title() const { return m_ui->progressTitle; }
QProgressBar *ProgressSheet::bar() const { return m_ui->progressBar; }
QPushButton *ProgressSheet::cancelButton() const { return m_ui->progressCancel; }

void ProgressSheet::begin(const QString &title, bool cancellable)
{
    setProgress(0);
    setDetail({});
    m_ui->progressTitle->setText(title);
    m_ui->progressCancel->setHidden(!cancellable);
    setWindowEnabled(false);
    show();
    raise();
}

void ProgressSheet::end()
{
    setProgress(0);
    m_ui->progressCancel->setHidden(true);
    const bool hadKeyboard = isActiveWindow();
    hide();
    m_taskbar->clear();
    setWindowEnabled(true);
    // Not every window system hands it back by itself.
    if (hadKeyboard)
        m_window->activateWindow();
}

void ProgressSheet::setProgress(double percent)
{
    // The bar counts hundredths of a percent.
    m_ui->progressBar->setValue(int(std::clamp(percent, 0.0, 100.0) * 100 + 0.5));
    m_taskbar->setProgress(percent);
}

void ProgressSheet::follow(const BatchJob &job)
{
    const qsizetype count = job.batch().count();
    const auto place = [this, count, batch = &job.batch()](qsizetype row) {
        return tr("File %1 of %2").arg(row + 1).arg(count) + QStringLiteral(" · ") + Paths::lastComponent(batch->rows.value(row).input);
    };
    connect(&job, &BatchJob::rowStarted, this, [this, place](qsizetype row) { setDetail(place(row)); });
    connect(&job, &BatchJob::progress, this, [this, place](double percent, qsizetype row, int, int pass) {
        setProgress(percent);
        setDetail(pass > 0 ? place(row) + QStringLiteral(" · ") + tr("pass %1 of 2").arg(pass) : place(row));
    });
}

void ProgressSheet::setDetail(const QString &text)
{
    m_ui->progressDetail->setText(text);
    m_ui->progressDetail->setHidden(text.isEmpty());
}

void ProgressSheet::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_ui->progressCancel->isVisible()) {
        m_ui->progressCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ProgressSheet::setWindowEnabled(bool enabled)
{
    for (QWidget *part : m_window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (part != this && !part->isWindow())
            part->setEnabled(enabled);
}
