#pragma once

#include <QAbstractTableModel>
#include <QImage>
#include <QList>
#include <QVariantMap>

#include <optional>

#include "compress/RowPlan.h"
#include "compress/RowResult.h"

class BatchJob;
class QTableView;

// The list of files: row records in list order. Views show it; the
// selection lives in the view's selection model.
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { thumbnailColumn, nameColumn, resolutionColumn, sizeColumn, durationColumn, tracksColumn, planColumn, statusColumn, columnCount_ };

    static constexpr int thumbnailHeight = 54;

    explicit FileListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const QList<QVariantMap> &rows() const { return m_rows; }
    // The listed files' paths, in list order.
    QStringList paths() const;
    void addObject(const QVariantMap &row);
    // Removes the rows at these positions (any order, duplicates ignored).
    void removeObjectsAtArrangedObjectIndexes(QList<int> positions);

    // Shows the model in view, with its columns' widths and the thumbnails' size.
    void setUpView(QTableView *view);

    // One line naming the tracks: "H264 1920x1080 · AAC stereo · subtitles (eng)".
    static QString trackSummary(const QVariantList &tracksInfo);

    // What each row will become, in list order, as Batch::plan makes it from
    // the window's choices. A plan that differs clears the rows' statuses:
    // they no longer tell what Compress would do.
    void setPlans(const QList<RowPlan> &plans);
    // Shows a batch of these rows as it goes: each row's progress and pass,
    // then its result. The job must be of the rows as listed now.
    void follow(const BatchJob &job);
    // The file the last batch kept for this row, while the row still shows
    // that batch and the file is there; empty otherwise.
    QString outputPath(int row) const;

    // The plan column's text: "1920×1080 60 fps → 1280×720 30 fps · H.265 · 1.4 Mb/s".
    static QString planText(const RowPlan &plan);
    // Bits per pixel per frame under which the format's picture falls apart
    // (docs/HACKING.md, "Starved pictures").
    static double starvedBelow(Codec codec);
    // With Automatic, judged at the smallest picture it may choose.
    static bool isStarved(const RowPlan &plan);
    // A picture the row's format cannot take (marked ✗, the reason in its tip).
    static bool isTooSmall(const RowPlan &plan);

private:
    struct Status
    {
        QString text;
        QString tip;
        std::optional<RowPlan> chosen; // the plan the row was encoded to, its picture chosen
        QString output = {};           // the file kept for the row, once it has ended
    };
    void setStatus(qsizetype row, const QString &text, const QString &tip = {});
    void clearStatuses();
    static QString planTip(const RowPlan &plan);
    QString resultText(qsizetype row, const RowPlan &plan, const RowResult &result, QString *tip) const;

    QList<QVariantMap> m_rows;
    QList<QImage> m_thumbnails; // scaled once for the list, same order as m_rows
    QList<RowPlan> m_plans;     // same order as m_rows once planned; empty until then
    QList<Status> m_statuses;   // same order as m_rows during and after a batch; empty otherwise
};
