#include "app/MainWindow.h"

#include "app/Resources.h"
#include "ui_MainWindow.h"

#include "util/TextFormat.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>

namespace {

const QString formatKey = QStringLiteral("choices/format");
const QString automaticKey = QStringLiteral("choices/automaticResolution");

// Where each plays decides more than the picture does.
struct Format
{
    Codec codec;
    const char *name;
    const char *note;
};
// Sizes to fit under, as upload limits are given.
const QStringList fitUnderPresets { QStringLiteral("8 MB"),  QStringLiteral("10 MiB"), QStringLiteral("16 MB"),
                                    QStringLiteral("25 MB"), QStringLiteral("50 MB"),  QStringLiteral("100 MiB") };

// A typed size: with its unit, or a plain number of megabytes (nobody means
// bytes when typing "25" into a window).
std::optional<qint64> fitUnderBytes(const QString &text)
{
    static const QRegularExpression plainNumber(QStringLiteral("^\\s*[0-9]+(\\.[0-9]+)?\\s*$"));
    return TextFormat::byteCountFromText(plainNumber.match(text).hasMatch() ? text + QStringLiteral(" MB") : text);
}

const Format formats[] = {
    { Codec::h264, QT_TRANSLATE_NOOP("MainWindow", "H.264"), QT_TRANSLATE_NOOP("MainWindow", "Plays everywhere.") },
    { Codec::h265, QT_TRANSLATE_NOOP("MainWindow", "H.265"),
      QT_TRANSLATE_NOOP("MainWindow", "A better picture for the size. Plays on recent phones, in most browsers, and on Windows with its HEVC extension.") },
    { Codec::av1, QT_TRANSLATE_NOOP("MainWindow", "AV1"),
      QT_TRANSLATE_NOOP("MainWindow", "Better still. Plays in recent browsers and on recent phones, not on older Apple devices.") },
};

}

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
    setUpPictureChoices();
    setUpFitUnder();
}

void MainWindow::setUpFitUnder()
{
    QComboBox *choice = m_ui->fitUnderChoice;
    choice->addItems(fitUnderPresets);
    choice->setCurrentIndex(-1);
    choice->lineEdit()->setPlaceholderText(tr("as the slider says"));
    connect(choice, &QComboBox::activated, this, &MainWindow::takeFitUnder);
    connect(choice->lineEdit(), &QLineEdit::editingFinished, this, &MainWindow::takeFitUnder);
}

void MainWindow::takeFitUnder()
{
    const QString text = m_ui->fitUnderChoice->currentText().trimmed();
    const std::optional<qint64> bytes = text.isEmpty() ? std::nullopt : fitUnderBytes(text);
    if (!text.isEmpty() && !bytes)
        m_ui->fitUnderNote->setText(tr("“%1” is not a size: type one such as 10 MiB, 25 MB or 700 KB.").arg(text));
    else
        m_ui->fitUnderNote->setText(bytes ? tr("Every file fits under %1 bytes; none already under it is made larger.")
                                                .arg(QLocale().toString(*bytes))
                                          : QString());
    if (bytes == m_fitUnder)
        return;
    m_fitUnder = bytes;
    emit fitUnderChanged();
}

void MainWindow::clearFitUnder()
{
    m_ui->fitUnderChoice->setCurrentIndex(-1);
    m_ui->fitUnderChoice->clearEditText();
    m_ui->fitUnderNote->clear();
    m_fitUnder.reset();
}

void MainWindow::setUpPictureChoices()
{
    QComboBox *choice = m_ui->formatChoice;
    for (const Format &format : formats)
        choice->addItem(tr(format.name), codecName(format.codec));
    const QSettings settings;
    choice->setCurrentIndex(std::max(0, choice->findData(settings.value(formatKey).toString())));
    m_ui->automaticResolution->setChecked(settings.value(automaticKey, false).toBool());
    m_ui->outputResolutionSlider->setEnabled(!automaticResolution());

    const auto showNote = [this, choice] {
        const QString note = tr(formats[std::max(0, choice->currentIndex())].note);
        m_ui->formatNote->setText(note);
        choice->setAccessibleDescription(note);
    };
    showNote();
    connect(choice, &QComboBox::currentIndexChanged, this, [this, choice, showNote] {
        showNote();
        QSettings().setValue(formatKey, choice->currentData());
        emit choicesChanged();
    });
    connect(m_ui->automaticResolution, &QCheckBox::toggled, this, [this](bool automatic) {
        m_ui->outputResolutionSlider->setEnabled(!automatic);
        QSettings().setValue(automaticKey, automatic);
        emit choicesChanged();
    });
}

Codec MainWindow::codec() const { return codecNamed(m_ui->formatChoice->currentData().toString()).value_or(Codec::h264); }

bool MainWindow::automaticResolution() const { return m_ui->automaticResolution->isChecked(); }

TranscoderCommand::Choices MainWindow::choices() const
{
    // Automatic: the picture's size and the sound's bitrate both follow each file's budget.
    const bool automatic = automaticResolution();
    return { .resolutionPercent = double(m_ui->outputResolutionSlider->value()),
             .automaticPicture = automatic,
             .automaticAudio = automatic,
             .codec = codec(),
             .filters = {} };
}

MainWindow::~MainWindow()
{
    // Closing takes the focus from a box being typed in, which would end its
    // editing on a window already half gone.
    disconnect(m_ui->fitUnderChoice->lineEdit(), nullptr, this, nullptr);
}

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
