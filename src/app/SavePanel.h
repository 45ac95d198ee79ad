#pragma once

#include <QFileDialog>
#include <QPointer>

class QLineEdit;
class QMessageBox;

// The panel that names the folder a batch writes into. Accepting the name of
// a folder that exists, typed or selected, asks whether to replace it where
// Qt's own panel would go into it; Replace accepts the panel with that folder
// (fileSelected and filesSelected). A double click still opens a folder.
//
// Always Qt's own panel: a desktop's panel goes into the folder before anyone
// can ask, and shows none of the labels given to it.
class SavePanel : public QFileDialog
{
    Q_OBJECT

public:
    explicit SavePanel(QWidget *parent = nullptr);

    void accept() override;

private:
    void askToReplace(const QString &folder);

    QLineEdit *m_name = nullptr; // Qt's name field
    QPointer<QMessageBox> m_question;
};
