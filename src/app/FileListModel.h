#pragma once

#include <QAbstractTableModel>
#include <QImage>
#include <QList>
#include <QVariantMap>

class QTableView;

// The list of files: row records in list order. Views show it; the
// selection lives in the view's selection model.
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { thumbnailColumn, nameColumn, resolutionColumn, sizeColumn, durationColumn, tracksColumn, columnCount_ };

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

private:
    QList<QVariantMap> m_rows;
    QList<QImage> m_thumbnails; // scaled once for the list, same order as m_rows
};
