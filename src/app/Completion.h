#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "compress/Batch.h"
#include "compress/CompressionRun.h"
#include "compress/RowResult.h"

class QMessageBox;
class QWidget;

// How a finished batch is told to the user.
namespace Completion {

struct Alert
{
    // warning: every file is there, but some over their targets.
    enum class Kind { success, warning, failure };
    QString message;
    QString informative;
    // A line per failed file with its reason in plain words, then what the
    // transcoder last said; one per file kept over its target; one per file
    // that left tracks out.
    QString details;
    Kind kind = Kind::success;
};

// An output larger than its target, kept as the best the encoder could do:
// a warning, not a failure.
bool keptOverTarget(const RowResult &result);

// Success names the folder; any failed row turns it into a failure alert
// that names the files instead.
Alert completionAlert(const Batch &batch, const QList<RowResult> &results);

// Shows the completion alert on window (not modal); its second button reveals
// the outputs in the file manager.
QMessageBox *showAlert(QWidget *window, const Batch &batch, const QList<RowResult> &results);

// Why a batch could not start, on window: the tools, or the folder.
void showRefusal(QWidget *window, const CompressionRun::Refusal &refusal, const QString &path);

// As the code knows them; shown translated (Alerts::buttonText).
inline const QString okButton = QStringLiteral(QT_TRANSLATE_NOOP("Alerts", "OK"));
// Named for the desktop's file manager: there is no Finder here.
inline const QString showButton = QStringLiteral(QT_TRANSLATE_NOOP("Alerts", "Show in File Manager"));

// File URLs of what the folder holds, in name order.
QList<QUrl> outputEntries(const QString &folder);

// Shows the entries selected in the desktop's file manager (over D-Bus);
// when none answers, opens the folder instead; when nothing could, says so
// on window, notOpened (empty: that the compressed files are there) over the
// folder's path. Returns at once.
void revealInFileManager(QWidget *window, const QString &folder, const QList<QUrl> &entries,
                         const QString &notOpened = {});

}
