#pragma once

// Helpers for the tests that drive the main window offscreen.

#include "TestSupport.h"

#include "app/AppDelegate.h"
#include "app/FileListModel.h"

#include <QtWidgets>

#include <csignal>
#include <memory>

namespace WindowTest {

// An intake pass over files, waited for.
inline bool addFiles(AppDelegate &delegate, const QList<QUrl> &files)
{
    QSignalSpy done(&delegate, &AppDelegate::intakeFinished);
    delegate.analyzeAndAddFiles(files);
    return done.wait(60000);
}

// The controller as main() starts it: window shown, launch done; then a pass over files, if any.
inline std::unique_ptr<AppDelegate> launch(const QList<QUrl> &files = {})
{
    auto delegate = std::make_unique<AppDelegate>();
    delegate->window->show();
    delegate->applicationDidFinishLaunching();
    if (!files.isEmpty())
        addFiles(*delegate, files);
    return delegate;
}

template<typename Widget>
QList<Widget *> visible(const AppDelegate &delegate)
{
    QList<Widget *> shown = delegate.window->findChildren<Widget *>();
    shown.removeIf([](const Widget *widget) { return !widget->isVisible(); });
    return shown;
}

inline QList<QMessageBox *> visibleAlerts(const AppDelegate &delegate) { return visible<QMessageBox>(delegate); }
inline QFileDialog *visiblePanel(const AppDelegate &delegate) { return visible<QFileDialog>(delegate).value(0); }

inline void click(const QMessageBox *box, const QString &button)
{
    for (QAbstractButton *each : box->buttons())
        if (each->text() == button)
            each->click();
}

// A batch into the folder, as Save starts it, waited for.
inline bool compressInto(AppDelegate &delegate, const QString &folder)
{
    QSignalSpy finished(&delegate, &AppDelegate::batchFinished);
    delegate.prepareOutputFolder(folder);
    return !finished.isEmpty() || finished.wait(20000);
}

// The Format choice and Automatic, which the window saves: a test that changes them puts them back with defaultsAfter().
inline QComboBox *formatChoice(const AppDelegate &d) { return d.window->findChild<QComboBox *>("formatChoice"); }
inline QCheckBox *automaticResolution(const AppDelegate &d) { return d.window->findChild<QCheckBox *>("automaticResolution"); }
inline auto defaultsAfter(const std::unique_ptr<AppDelegate> &d)
{
    return qScopeGuard([&d] { formatChoice(*d)->setCurrentIndex(0), automaticResolution(*d)->setChecked(false); });
}

// Relative paths are taken in the folder given.
inline QList<QUrl> fileUrls(const QStringList &paths, const QString &folder = {})
{
    QList<QUrl> urls(paths.size());
    std::transform(paths.begin(), paths.end(), urls.begin(), [&](const QString &path) { return QUrl::fromLocalFile(QDir(folder).absoluteFilePath(path)); });
    return urls;
}

inline QStringList rowNames(const AppDelegate &delegate)
{
    QStringList names;
    for (const QVariantMap &row : delegate.fileListArrayController->rows())
        names.append(row.value(QStringLiteral("fileName")).toString());
    return names;
}

// The visible alerts, a line each: message | informative text | buttons.
inline QString alerts(const AppDelegate &d)
{
    QStringList shown;
    for (const QMessageBox *box : visibleAlerts(d)) {
        QStringList buttons;
        for (const QAbstractButton *button : box->buttons())
            buttons << button->text();
        shown << box->text() + " | " + box->informativeText() + " | " + buttons.join(", ");
    }
    return shown.join('\n');
}

// A transcoder that only pretends: a compression run (arguments starting with "-i") logs its process id to $RUNS, fails as
// ffmpeg does when its input is gone, and goes on as the rest says, into $out. compresses copies $TINY, under any target here.
inline const QString pretend = "[ \"$1\" = \"-i\" ] || exit 0\nfor out; do :; done\necho $$ >> \"$RUNS\"\n"
                               "[ -e \"$2\" ] || { echo \"$2: No such file or directory\" >&2; exit 1; }\n";
inline const QString compresses = "for t in 25 50 75; do echo time=00:00:00.$t >&2; sleep 0.2; done; cp \"$TINY\" \"$out\"";

inline bool makeTinyClip(const QString &path)
{
    // With sound, as the inputs have: an output that lost its audio is no output.
    return TestSupport::makeClip(path, { "-f", "lavfi", "-i", "color=s=32x32:r=25:d=1", "-f", "lavfi", "-i", "anullsrc=r=8000:cl=mono",
                                         "-t", "1", "-pix_fmt", "yuv420p", "-b:a", "8k" });
}

// True while a process with this id exists (a reaped child is gone).
inline bool processExists(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) == 0; }

}
