#include "app/MainWindow.h"

#include "app/Resources.h"
#include "ui_MainWindow.h"

MainWindow::MainWindow()
    : m_ui(std::make_unique<Ui::MainWindow>())
{
    Resources::init();
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/images/veltrane")));
    Resources::setThemeIcons(*m_ui, style());
    QFont bold = m_ui->targetFileSizeTF->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    m_ui->targetFileSizeTF->setFont(bold);
    m_ui->dropImageView->setText(
        tr("<img src=\":/images/veltrane\" width=\"96\" height=\"96\"><p><b>Drop videos here</b></p>"
           "<p>or use Open to add them</p>"));
    m_ui->fileListView->addAction(m_ui->actionRemove);
}

MainWindow::~MainWindow() = default;

void MainWindow::bringForward()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

QFileDialog *MainWindow::openPanel()
{
    auto *panel = new QFileDialog(this);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setFileMode(QFileDialog::ExistingFiles);
    panel->setWindowModality(Qt::WindowModal);
    panel->open(); // returns at once: the choice comes later
    return panel;
}
