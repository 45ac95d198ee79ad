#include "app/Completion.h"

#include "app/Alerts.h"

#include "BuildConfig.h"
#include "compress/FailureReason.h"
#include "util/Paths.h"
#include "util/TextFormat.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>

namespace Completion {

namespace {

// A kept output over its target is a close call, most often: its sizes with
// the digits that tell them apart, and by how much.
QString overTargetText(const RowResult &result, qint64 target)
{
    // What the encoder added to its reason, after the sizes it gives too roughly. Its reason is
    // never translated, so the words are found as written.
    const QString smallest = QStringLiteral("the smallest this encoder could make");
    const QString more = result.reason.contains(smallest) ? result.reason.section(smallest, 1) : QString();
    return QCoreApplication::translate("Completion", "%1 for a target of %2: %3 (%4 over)%5")
        .arg(TextFormat::byteCountTextApart(result.size, target), TextFormat::byteCountTextApart(target, result.size),
             QCoreApplication::translate("Completion", "the smallest this encoder could make"),
             TextFormat::percentOverText(result.size, target), more);
}

}

bool keptOverTarget(const RowResult &result) { return result.outcome == RowOutcome::overTarget && result.size > 0; }

Alert completionAlert(const Batch &batch, const QList<RowResult> &results)
{
    QStringList failedNames, overNames;
    QStringList failures, warnings, notes; // the details, in this order
    for (qsizetype i = 0; i < results.size() && i < batch.count(); ++i) {
        const RowResult &result = results.at(i);
        const RowPlan &row = batch.rows.at(i);
        const QString name = Paths::lastComponent(row.input);
        const QString kept = QCoreApplication::translate("Completion", "kept as ") + Paths::lastComponent(row.output);
        if (!result.notes.isEmpty())
            notes.append(name + QStringLiteral(": ") + result.notes.join(QStringLiteral("; ")));
        if (keptOverTarget(result)) {
            overNames.append(name);
            warnings.append(name + QStringLiteral(": ") + overTargetText(result, row.targetBytes) + QStringLiteral("; ") + kept);
            continue;
        }
        if (!result.failed())
            continue;
        failedNames.append(name);
        // The reason in plain words first: the transcoder's own line may be the last of many.
        QString detail = name + QStringLiteral(": ") + FailureReason::plain(result, row.input);
        if (result.size > 0)
            detail += QStringLiteral(" (%1)").arg(kept);
        for (const QString &line : result.messages.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            detail += QStringLiteral("\n    ") + line;
        failures.append(detail);
    }
    const QString details = (failures + warnings + notes).join(QLatin1Char('\n'));
    const QString warning = overNames.isEmpty()
        ? QString()
        : QCoreApplication::translate("Completion", "Compressed, but over the target size: ") + overNames.join(QStringLiteral(", "))
            + QStringLiteral("\n\n");
    if (failedNames.isEmpty())
        return { QCoreApplication::translate("Completion", "File(s) compressed sucessfully:\n") + batch.outputFolder,
                 warning + QCoreApplication::translate("Completion", "Questions?: ") + QString::fromUtf8(BuildConfig::supportEmail),
                 details,
                 overNames.isEmpty() ? Alert::Kind::success : Alert::Kind::warning };
    QString informative = TextFormat::namedFilesAlertText(failedNames);
    if (!warning.isEmpty()) // between the names and the address
        informative.insert(informative.indexOf(QStringLiteral("\n\n")) + 2, warning);
    return { QCoreApplication::translate("Completion", "Veltrane not able to compress these file(s):"), informative, details,
             Alert::Kind::failure };
}

QMessageBox *showAlert(QWidget *window, const Batch &batch, const QList<RowResult> &results)
{
    const Alert text = completionAlert(batch, results);
    const QString folder = batch.outputFolder;
    const QList<QUrl> entries = outputEntries(folder);
    QMessageBox *alert = Alerts::show(window, text.message, text.informative, { okButton, showButton }, false);
    if (text.kind != Alert::Kind::success)
        alert->setIcon(QMessageBox::Warning);
    if (!text.details.isEmpty())
        alert->setDetailedText(text.details);
    QObject::connect(alert, &QMessageBox::buttonClicked, alert, [window, folder, entries](QAbstractButton *button) {
        if (button->text() == Alerts::buttonText(showButton))
            revealInFileManager(window, folder, entries);
    });
    return alert;
}

void showRefusal(QWidget *window, const CompressionRun::Refusal &refusal, const QString &path)
{
    using Kind = OutputFolder::Refusal::Kind;
    QString title = QCoreApplication::translate("Completion", "Veltrane can't create the folder:");
    QString text = refusal.text;
    if (!refusal.folder)
        title = QCoreApplication::translate("Completion", "Veltrane can't compress:");
    else if (refusal.folder->kind == Kind::holdsInput)
        title = QCoreApplication::translate("OutputFolder", qUtf8Printable(OutputFolder::holdsInputMessageText)), text = path;
    else if (refusal.folder->kind == Kind::notAFolder)
        title = QCoreApplication::translate("Completion", "Veltrane can only replace a folder, not a file:"), text = path;
    else if (refusal.folder->kind == Kind::unsafe)
        title = QCoreApplication::translate("Completion", "Veltrane can't replace this folder:");
    Alerts::show(window, title, text, { okButton });
}

QList<QUrl> outputEntries(const QString &folder)
{
    QList<QUrl> urls;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name))
        urls.append(QUrl::fromLocalFile(folder + QLatin1Char('/') + name));
    return urls;
}

void revealInFileManager(QWidget *window, const QString &folder, const QList<QUrl> &entries, const QString &notOpened)
{
    const QUrl folderUrl = QUrl::fromLocalFile(folder);
    const QPointer<QWidget> shownOn(window);
    // Where no file manager answers, the desktop's opener shows the folder;
    // where that fails too, the user is told where the files are.
    const auto openFolder = [folderUrl, folder, shownOn, notOpened] {
        auto *opener = new QProcess;
        const auto nothingOpened = [opener, folder, shownOn, notOpened] {
            opener->deleteLater();
            if (shownOn)
                Alerts::show(shownOn,
                             notOpened.isEmpty() ? QCoreApplication::translate("Completion", "No file manager could be opened. The compressed files are in:")
                                                 : notOpened,
                             folder, { okButton }, false);
        };
        QObject::connect(opener, &QProcess::finished, [opener, nothingOpened](int code, QProcess::ExitStatus status) {
            if (code != 0 || status != QProcess::NormalExit)
                nothingOpened();
            else
                opener->deleteLater();
        });
        QObject::connect(opener, &QProcess::errorOccurred, [nothingOpened](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                nothingOpened();
        });
        opener->setStandardOutputFile(QProcess::nullDevice());
        opener->setStandardErrorFile(QProcess::nullDevice());
        opener->start(QStringLiteral("xdg-open"), { folderUrl.toString() });
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder();
        return;
    }
    // With nothing to select, showing the folder itself is what helps.
    const bool selectItems = !entries.isEmpty();
    QStringList uris;
    for (const QUrl &url : selectItems ? entries : QList<QUrl> { folderUrl })
        uris.append(url.toString());
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), selectItems ? QStringLiteral("ShowItems") : QStringLiteral("ShowFolders"));
    call << uris << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, openFolder] {
        if (watcher->isError())
            openFolder();
        watcher->deleteLater();
    });
}

}
