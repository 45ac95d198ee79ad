#include "app/FileListModel.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QTableView>

#include "app/Completion.h"
#include "compress/BatchJob.h"
#include "compress/FailureReason.h"
#include "compress/PictureChoice.h"
#include "filelist/RowRecord.h"
#include "probe/TrackTables.h"
#include "util/TextFormat.h"

#include <algorithm>
#include <cmath>

FileListModel::FileListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int FileListModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int FileListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : columnCount_; }

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const QVariantMap &row = m_rows.at(index.row());

    if (role == Qt::DecorationRole && index.column() == thumbnailColumn)
        return m_thumbnails.at(index.row());
    static const Status none;
    const Status &status = index.row() < m_statuses.size() ? m_statuses.at(index.row()) : none;
    // Once a batch has chosen a row's picture, that is what it became.
    const RowPlan *plan = status.chosen ? &*status.chosen : index.row() < m_plans.size() ? &m_plans.at(index.row()) : nullptr;
    if (role == Qt::ToolTipRole && index.column() == planColumn && plan)
        return planTip(*plan);
    if (role == Qt::ToolTipRole && index.column() == statusColumn && !status.tip.isEmpty())
        return status.tip;
    if (role == Qt::ToolTipRole) {
        // The whole path, and every track on a line of its own.
        QString tip = row.value(RowKeys::filePath).toString();
        for (const QString &track : trackSummary(row.value(RowKeys::tracksInfo).toList()).split(QStringLiteral(" · ")))
            tip += QLatin1Char('\n') + track;
        return tip;
    }
    if (role == Qt::TextAlignmentRole && (index.column() == sizeColumn || index.column() == durationColumn))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};

    switch (index.column()) {
    case nameColumn: return row.value(RowKeys::fileName);
    case resolutionColumn: return row.value(RowKeys::resolution);
    case sizeColumn: return row.value(RowKeys::fileSizeHuman);
    case durationColumn: return TextFormat::humanDuration(row.value(RowKeys::duration).toDouble());
    case tracksColumn: return trackSummary(row.value(RowKeys::tracksInfo).toList());
    case planColumn:
        if (!plan)
            return {};
        return isTooSmall(*plan) ? QStringLiteral("✗ ") + planText(*plan)
            : isStarved(*plan) ? QStringLiteral("⚠ ") + planText(*plan)
                               : planText(*plan);
    case statusColumn: return status.text;
    default: return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case thumbnailColumn: return QString();
    case nameColumn: return tr("Name");
    case resolutionColumn: return tr("Resolution");
    case sizeColumn: return tr("Size");
    case durationColumn: return tr("Duration");
    case tracksColumn: return tr("Tracks");
    case planColumn: return tr("Becomes");
    case statusColumn: return tr("Status");
    default: return {};
    }
}

void FileListModel::addObject(const QVariantMap &row)
{
    const int position = int(m_rows.size());
    beginInsertRows({}, position, position);
    m_rows.append(row);
    const QImage picture = row.value(RowKeys::coverArt).value<QImage>();
    m_thumbnails.append(picture.isNull() ? picture
                                         : picture.scaledToHeight(thumbnailHeight, Qt::SmoothTransformation));
    endInsertRows();
    clearStatuses();
}

void FileListModel::removeObjectsAtArrangedObjectIndexes(QList<int> positions)
{
    std::sort(positions.begin(), positions.end(), std::greater<>());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (int position : positions) {
        if (position < 0 || position >= m_rows.size())
            continue;
        beginRemoveRows({}, position, position);
        m_rows.removeAt(position);
        m_thumbnails.removeAt(position);
        if (position < m_plans.size())
            m_plans.removeAt(position);
        endRemoveRows();
    }
    clearStatuses();
}

QString FileListModel::trackSummary(const QVariantList &tracksInfo)
{
    QStringList parts;
    for (const QVariant &entry : tracksInfo) {
        const QVariantMap track = entry.toMap();
        const QString type = track.value(TrackKeys::trackType).toString();
        const QString codec = track.value(TrackKeys::trackCodec).toString().toUpper();
        const QString detail = track.value(TrackKeys::trackSpecialInfo).toString();
        if (type == TrackTypes::video || type == TrackTypes::audio) {
            QStringList words { codec, detail };
            if (track.value(TrackKeys::trackHDR).toBool())
                words << tr("HDR");
            if (track.value(TrackKeys::trackInterlaced).toBool())
                words << tr("interlaced");
            words.removeAll(QString());
            parts.append(words.join(QLatin1Char(' ')));
        } else if (type == TrackTypes::subtitle)
            parts.append(detail.isEmpty() ? tr("subtitles") : tr("subtitles (%1)").arg(detail));
        else if (type == TrackTypes::poster)
            parts.append(tr("cover picture"));
    }
    return parts.join(QStringLiteral(" · "));
}

void FileListModel::setUpView(QTableView *view)
{
    view->setModel(this);
    view->setIconSize(QSize(thumbnailHeight * 16 / 9, thumbnailHeight));
    view->verticalHeader()->setDefaultSectionSize(thumbnailHeight + 8);
    const std::pair<int, int> widths[] = { { thumbnailColumn, thumbnailHeight * 16 / 9 + 12 },
                                           { nameColumn, 200 },
                                           { resolutionColumn, 90 },
                                           { sizeColumn, 80 },
                                           { durationColumn, 95 },
                                           { tracksColumn, 220 },
                                           { planColumn, 360 } };
    for (const auto &[column, width] : widths)
        view->horizontalHeader()->resizeSection(column, width);
}

QStringList FileListModel::paths() const
{
    QStringList paths;
    for (const QVariantMap &row : m_rows)
        paths.append(row.value(RowKeys::filePath).toString());
    return paths;
}

// ---- plans -------------------------------------------------------------------

void FileListModel::setPlans(const QList<RowPlan> &plans)
{
    // What the column shows, and what the outputs are held to.
    const auto same = [](const RowPlan &a, const RowPlan &b) {
        return a.input == b.input && a.summaryText() == b.summaryText() && a.automaticPicture == b.automaticPicture
            && a.targetBytes == b.targetBytes;
    };
    if (std::equal(plans.begin(), plans.end(), m_plans.begin(), m_plans.end(), same))
        return;
    m_plans = plans;
    clearStatuses();
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, planColumn), index(rowCount() - 1, planColumn));
}

QString FileListModel::planText(const RowPlan &plan)
{
    // With Automatic, the size is measured from the content when the row is encoded.
    return plan.summaryText(plan.automaticPicture ? tr("size chosen when compressing") : QString());
}

double FileListModel::starvedBelow(Codec codec)
{
    switch (codec) {
    case Codec::h264: return 0.05;
    case Codec::h265: return 0.035;
    case Codec::av1: return 0.03;
    }
    return 0;
}

namespace {

// Automatic may still take the picture down to its smallest candidate the format takes.
RowPlan smallestPicture(const RowPlan &plan)
{
    return plan.automaticPicture ? plan.withPicture(PictureChoice::smallestPercent(plan)) : plan;
}

}

bool FileListModel::isTooSmall(const RowPlan &plan)
{
    // Automatic's plan is at full size until it chooses, and it never chooses a picture the format cannot take.
    return !plan.copiesStreams && plan.pictureTooSmall();
}

bool FileListModel::isStarved(const RowPlan &plan)
{
    if (plan.copiesStreams) // nothing is encoded
        return false;
    const double bits = smallestPicture(plan).bitsPerPixel();
    return bits > 0 && bits < starvedBelow(plan.codec); // 0: the frame rate or size is unknown
}

QString FileListModel::planTip(const RowPlan &plan)
{
    if (isTooSmall(plan))
        return planText(plan) + QLatin1Char('\n') + QCoreApplication::translate("RowResult", RowPlan::pictureTooSmallReason);
    const auto perPixel = [](const RowPlan &at) { return tr("%1 bits per pixel per frame").arg(at.bitsPerPixel(), 0, 'f', 3); };
    if (plan.alreadyFits)
        return planText(plan) + QLatin1Char('\n')
            + (plan.copiesStreams ? tr("Already under the target of %1: its streams go into the .mp4 as they are.")
                                  : tr("Already under the target of %1, but its streams cannot go into an .mp4 as they are, or its picture is to change: it is encoded at its own size."))
                  .arg(TextFormat::byteCountText(plan.targetBytes));
    if (!isStarved(plan)) // with Automatic, somewhere between its full and its half size
        return planText(plan) + QLatin1Char('\n')
            + (plan.automaticPicture ? tr("%1 (full size) to %2 (half size) bits per pixel per frame")
                                           .arg(plan.bitsPerPixel(), 0, 'f', 3)
                                           .arg(smallestPicture(plan).bitsPerPixel(), 0, 'f', 3)
                                     : perPixel(plan));
    QStringList helps { tr("a larger target") };
    if (!plan.automaticPicture)
        helps << tr("a lower resolution");
    if (plan.codec == Codec::h264)
        helps << tr("a newer format (H.265 or AV1)");
    else if (plan.codec == Codec::h265)
        helps << tr("a newer format (AV1)");
    return tr("Too few bits for a watchable picture: %1%2, where %3 needs about %4.\nWhat helps: %5.")
        .arg(perPixel(smallestPicture(plan)), plan.automaticPicture ? tr(" even at half its size") : QString(), codecTitle(plan.codec))
        .arg(starvedBelow(plan.codec))
        .arg(helps.join(QStringLiteral(", ")));
}

// ---- statuses ------------------------------------------------------------------

void FileListModel::follow(const BatchJob &job)
{
    const Batch batch = job.batch();
    clearStatuses();
    m_statuses = QList<Status>(m_rows.size(), Status { tr("Waiting"), {}, {} });
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, statusColumn), index(rowCount() - 1, statusColumn));

    connect(&job, &BatchJob::rowStarted, this, [this](qsizetype row) { setStatus(row, tr("Starting")); });
    connect(&job, &BatchJob::rowPlanned, this, [this](qsizetype row, const RowPlan &plan) {
        if (row >= m_statuses.size())
            return;
        m_statuses[row].chosen = plan;
        m_statuses[row].chosen->automaticPicture = false; // chosen: the column shows what was
        emit dataChanged(index(int(row), planColumn), index(int(row), planColumn));
    });
    connect(&job, &BatchJob::progress, this, [this, count = batch.count()](double percent, qsizetype row, int attempt, int pass) {
        // Every row has an equal share of the batch's percent.
        const double own = std::clamp(percent * double(count) / 100 - double(row), 0.0, 1.0) * 100;
        QString text = tr("%1 %").arg(int(own));
        if (pass > 0)
            text += QStringLiteral(" · ") + tr("pass %1 of 2").arg(pass);
        else if (attempt > 1)
            text += QStringLiteral(" · ") + tr("attempt %1").arg(attempt);
        setStatus(row, text);
    });
    // ended: the whole batch, its folder in place; before, a row's file is where the batch is writing.
    const auto finished = [this, batch, &job](qsizetype row, const RowResult &result, bool ended) {
        if (row >= batch.count())
            return;
        // A cancelled batch puts nothing in the folder: its end takes back what its rows kept.
        if (row < m_statuses.size())
            m_statuses[row].output = result.size > 0 && !job.isCancelled() ? ended ? batch.rows.at(row).output : batch.writtenOutput(row) : QString();
        QString tip;
        const QString text = resultText(row, batch.rows.at(row), result, &tip);
        setStatus(row, text, tip);
    };
    connect(&job, &BatchJob::rowFinished, this, [finished](qsizetype row, const RowResult &result) { finished(row, result, false); });
    // Rows a cancel skipped have no rowFinished of their own.
    connect(&job, &BatchJob::finished, this, [finished](const QList<RowResult> &results) {
        for (qsizetype row = 0; row < results.size(); ++row)
            finished(row, results.at(row), true);
    });
}

QString FileListModel::outputPath(int row) const
{
    const QString output = row >= 0 && row < m_statuses.size() ? m_statuses.at(row).output : QString();
    return !output.isEmpty() && QFileInfo::exists(output) ? output : QString();
}

QString FileListModel::resultText(qsizetype row, const RowPlan &plan, const RowResult &result, QString *tip) const
{
    const qint64 inputSize = m_rows.value(row).value(RowKeys::fileSize).toLongLong();
    if (result.outcome == RowOutcome::cancelled)
        return tr("Cancelled");
    QStringList notes = result.notes;
    if (Completion::keptOverTarget(result)) {
        *tip = (QStringList { result.description() } + notes).join(QLatin1Char('\n'));
        return QStringLiteral("⚠ ") + tr("%1 · %2 over the target")
            .arg(TextFormat::byteCountTextApart(result.size, plan.targetBytes), TextFormat::percentOverText(result.size, plan.targetBytes));
    }
    if (result.failed()) {
        const QString reason = FailureReason::plain(result, plan.input);
        *tip = reason + (result.messages.isEmpty() ? QString() : QStringLiteral("\n\n") + result.messages);
        return QStringLiteral("✗ ") + reason;
    }
    const QString size = TextFormat::byteCountText(result.size);
    if (result.copied) {
        *tip = (QStringList { tr("Already under its target of %1: its streams were copied into the .mp4 as they were.")
                                  .arg(TextFormat::byteCountText(plan.targetBytes)) } + notes).join(QLatin1Char('\n'));
        return QStringLiteral("✓ ") + tr("%1 · already fit, copied as it was").arg(size);
    }
    // Under the target by rule: a round-up would show 100 % for a file that fits.
    const int ofTarget = plan.targetBytes > 0 ? int(std::floor(100.0 * double(result.size) / double(plan.targetBytes))) : 0;
    QStringList lines { (result.passes == 2 ? tr("%1 for a target of %2, in two passes") : tr("%1 for a target of %2"))
                            .arg(size, TextFormat::byteCountText(plan.targetBytes)) };
    if (inputSize > 0)
        lines << tr("%1 % of the original's %2").arg(100.0 * double(result.size) / double(inputSize), 0, 'f', 1)
                     .arg(TextFormat::byteCountText(inputSize));
    *tip = (lines + notes).join(QLatin1Char('\n'));
    return QStringLiteral("✓ ") + tr("%1 · %2 % of the target").arg(size).arg(ofTarget);
}

void FileListModel::setStatus(qsizetype row, const QString &text, const QString &tip)
{
    if (row < 0 || row >= m_statuses.size())
        return;
    m_statuses[row].text = text;
    m_statuses[row].tip = tip;
    emit dataChanged(index(int(row), statusColumn), index(int(row), statusColumn));
}

void FileListModel::clearStatuses()
{
    if (m_statuses.isEmpty())
        return;
    m_statuses.clear();
    // The plan column too: it may have shown a chosen picture.
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, planColumn), index(rowCount() - 1, statusColumn));
}
