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
    QString message;
    QString informative;
    // A line per failed file with its reason and what the transcoder last said,
    // then one per file that left tracks out.
    QString details;
    bool failed = false;
};

// Success names the folder; any failed row turns it into a failure alert
// that names the files instead.
Alert completionAlert(const Batch &batch, const QList<RowResult> &results);

// Shows the completion alert on window (not modal); its second button reveals
// the outputs in the file manager.
QMessageBox *showAlert(QWidget *window, const Batch &batch, const QList<RowResult> &results);

// Why a batch could not start, on window: the tools, or the folder.
void showRefusal(QWidget *window, const CompressionRun::Refusal &refusal, const QString &path);

inline const QString okButton = QStringLiteral("OK");
inline const QString showButton = QStringLiteral("Show in Finder");

// File URLs of what the folder holds, in name order.
QList<QUrl> outputEntries(const QString &folder);

// Shows the entries selected in the desktop's file manager (over D-Bus);
// when none answers, opens the folder instead. Returns at once.
void revealInFileManager(const QString &folder, const QList<QUrl> &entries);

}
