#pragma once

#include <QFileDialog>
#include <QMainWindow>

#include <memory>
#include <optional>

#include "compress/RowPlan.h"
#include "compress/TranscoderCommand.h"

namespace Ui {
class MainWindow;
}

// The main window as its interface file lays it out, with its looks: the
// application icon, the desktop's icons on its actions, the bold target
// label, the picture to drop files on. What it does is AppDelegate's.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow();
    ~MainWindow() override;

    Ui::MainWindow &ui() { return *m_ui; }

    // The open panel, as a sheet: several files; chosen(paths) once accepted.
    // filesSelected, not urlsSelected: Qt's own dialog, used where the
    // desktop offers none, emits only the former.
    template<typename Receiver>
    void askForVideos(Receiver *receiver, void (Receiver::*chosen)(const QStringList &))
    {
        connect(openPanel(), &QFileDialog::filesSelected, receiver, chosen);
    }

    // Brings the window forward: unminimized, shown, raised, with the keyboard.
    void bringForward();

    // The picture beyond the target, remembered between runs: the format,
    // and whether each file's size is chosen for it (the resolution slider
    // then has no say).
    Codec codec() const;
    bool automaticResolution() const;
    // Everything beyond the target, as the batch and the plan column both take it.
    TranscoderCommand::Choices choices() const;

    // The size every file is to fit under, chosen or typed; nothing while the
    // size slider rules.
    std::optional<qint64> fitUnder() const { return m_fitUnder; }
    // The slider rules again (it has been moved).
    void clearFitUnder();

signals:
    // The format or Automatic has changed (the sliders say so themselves).
    void choicesChanged();
    // A size to fit under has been chosen, typed or cleared.
    void fitUnderChanged();

private:
    void setUpPictureChoices();
    void setUpFitUnder();
    void takeFitUnder();

    // Shown, deleted once closed.
    QFileDialog *openPanel();

    std::unique_ptr<Ui::MainWindow> m_ui;
    std::optional<qint64> m_fitUnder;
};
