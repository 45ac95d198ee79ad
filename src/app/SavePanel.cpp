#include "app/SavePanel.h"

#include "compress/OutputFolder.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

SavePanel::SavePanel(QWidget *parent)
    : QFileDialog(parent)
{
    setOption(DontUseNativeDialog);
    // A file of that name is refused as it is; a question first would promise what cannot be done.
    setOption(DontConfirmOverwrite);
    setAcceptMode(AcceptSave);
    setFileMode(AnyFile);

    // Qt names its button Open while the name is that of a folder, which here
    // is saved into, not opened. Its own update runs first: it was connected first.
    const auto keepSaveLabel = [this] { setLabelText(Accept, QFileDialog::tr("&Save")); };
    m_name = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (m_name)
        connect(m_name, &QLineEdit::textChanged, this, keepSaveLabel);
    if (const auto *list = findChild<QAbstractItemView *>(QStringLiteral("listView")))
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, keepSaveLabel);
    connect(this, &QFileDialog::directoryEntered, this, keepSaveLabel);
}

void SavePanel::accept()
{
    const QString chosen = selectedFiles().value(0);
    const QFileInfo info(chosen);
    // ".." goes up, and the folder on show (nothing named, or ".") is where
    // the new one goes: Qt's own handling is right for those.
    const bool goesUp = m_name && m_name->text() == QLatin1String("..");
    if (goesUp || !info.isDir() || QDir(chosen) == directory()) {
        QFileDialog::accept();
        return;
    }
    const QString folder = QDir::cleanPath(info.absoluteFilePath());
    if (const auto refusal = OutputFolder::replaceRefusal(folder, m_inputs)) {
        refuse(refusal->text(folder));
        return;
    }
    askToReplace(folder);
}

void SavePanel::refuse(const QString &why)
{
    if (m_question)
        return;
    m_question = new QMessageBox(QMessageBox::Warning, windowTitle(), tr("Veltrane can't replace this folder:"),
                                 QMessageBox::Ok, this);
    m_question->setInformativeText(why);
    m_question->setAttribute(Qt::WA_DeleteOnClose);
    m_question->setWindowModality(Qt::WindowModal);
    m_question->open();
}

void SavePanel::askToReplace(const QString &folder)
{
    if (m_question)
        return;
    m_question = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                 tr("A folder named “%1” already exists. Do you want to replace it?")
                                     .arg(QFileInfo(folder).fileName()),
                                 QMessageBox::NoButton, this);
    m_question->setInformativeText(tr("What it holds is deleted once the compressed files are written."));
    m_question->setAttribute(Qt::WA_DeleteOnClose);
    m_question->setWindowModality(Qt::WindowModal);
    const QPushButton *replace = m_question->addButton(tr("Replace"), QMessageBox::AcceptRole);
    m_question->setDefaultButton(m_question->addButton(QMessageBox::Cancel));
    connect(m_question, &QMessageBox::buttonClicked, this, [this, replace, folder](const QAbstractButton *button) {
        if (button != replace)
            return;
        emit filesSelected({ folder });
        emit fileSelected(folder);
        QDialog::accept();
    });
    m_question->open();
}
