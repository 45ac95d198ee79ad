#pragma once

#include <QFileDialog>
#include <QPointer>

class QLineEdit;
class QMessageBox;

// The panel that names the folder a batch writes into. Accepting the name of
// a folder that exists, typed or selected, asks whether to replace it where
// Qt's own panel would go into it; Replace accepts the panel with that folder
// (fileSelected and filesSelected); a folder that may not be replaced is
// refused with the reason, and the panel stays. A double click still opens a folder.
//
// Always Qt's own panel: a desktop's panel goes into the folder before anyone
// can ask, and shows none of the labels given to it.
class SavePanel : public QFileDialog
{
    Q_OBJECT

public:
    explicit SavePanel(QWidget *parent = nullptr);

    // The listed videos: a folder that holds one is refused before anyone is
    // asked to replace it, as is any folder not safe to replace.
    void setInputs(const QStringList &inputs) { m_inputs = inputs; }

    void accept() override;

private:
    void askToReplace(const QString &folder);
    void refuse(const QString &why);

    QStringList m_inputs;

    QLineEdit *m_name = nullptr; // Qt's name field
    QPointer<QMessageBox> m_question;
};
