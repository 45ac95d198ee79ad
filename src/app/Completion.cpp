#include "app/Completion.h"

#include "app/Alerts.h"

#include "BuildConfig.h"
#include "util/Paths.h"
#include "util/TextFormat.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>

namespace Completion {

Alert completionAlert(const Batch &batch, const QList<RowResult> &results)
{
    QStringList names;
    QStringList details;
    QStringList notes; // what compressed files left out
    for (qsizetype i = 0; i < results.size() && i < batch.count(); ++i) {
        const RowResult &result = results.at(i);
        const QString name = Paths::lastComponent(batch.rows.at(i).input);
        if (!result.notes.isEmpty())
            notes.append(name + QStringLiteral(": ") + result.notes.join(QStringLiteral("; ")));
        if (!result.failed())
            continue;
        names.append(name);
        QString detail = name + QStringLiteral(": ") + result.description();
        if (result.size > 0)
            detail += QStringLiteral(" (kept as %1)").arg(Paths::lastComponent(batch.rows.at(i).output));
        for (const QString &line : result.messages.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            detail += QStringLiteral("\n    ") + line;
        details.append(detail);
    }
    if (names.isEmpty())
        return { QStringLiteral("File(s) compressed sucessfully:\n") + batch.outputFolder,
                 QStringLiteral("Questions?: ") + QString::fromUtf8(BuildConfig::supportEmail), notes.join(QLatin1Char('\n')), false };
    return { QStringLiteral("Veltrane not able to compress these file(s):"), TextFormat::namedFilesAlertText(names),
             (details + notes).join(QLatin1Char('\n')), true };
}

QMessageBox *showAlert(QWidget *window, const Batch &batch, const QList<RowResult> &results)
{
    const Alert text = completionAlert(batch, results);
    const QString folder = batch.outputFolder;
    const QList<QUrl> entries = outputEntries(folder);
    QMessageBox *alert = Alerts::show(window, text.message, text.informative, { okButton, showButton }, false);
    if (text.failed)
        alert->setIcon(QMessageBox::Warning);
    if (!text.details.isEmpty())
        alert->setDetailedText(text.details);
    QObject::connect(alert, &QMessageBox::buttonClicked, alert, [folder, entries](QAbstractButton *button) {
        if (button->text() == showButton)
            revealInFileManager(folder, entries);
    });
    return alert;
}

void showRefusal(QWidget *window, const CompressionRun::Refusal &refusal, const QString &path)
{
    using Kind = OutputFolder::Refusal::Kind;
    QString title = QStringLiteral("Veltrane can't create the folder:");
    QString text = refusal.text;
    if (!refusal.folder)
        title = QStringLiteral("Veltrane can't compress:");
    else if (refusal.folder->kind == Kind::holdsInput)
        title = OutputFolder::holdsInputMessageText, text = path;
    else if (refusal.folder->kind == Kind::notAFolder)
        title = QStringLiteral("Veltrane can only replace a folder, not a file:"), text = path;
    else if (refusal.folder->kind == Kind::unsafe)
        title = QStringLiteral("Veltrane can't replace this folder:");
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

void revealInFileManager(const QString &folder, const QList<QUrl> &entries)
{
    const QUrl folderUrl = QUrl::fromLocalFile(folder);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folderUrl);
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
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, folderUrl] {
        if (watcher->isError())
            QDesktopServices::openUrl(folderUrl);
        watcher->deleteLater();
    });
}

}
