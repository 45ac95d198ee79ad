#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

// A process-wide broadcast: a name and a user-info map, delivered at once to
// everyone connected to posted() on the posting thread.
class NotificationCenter : public QObject
{
    Q_OBJECT

public:
    static NotificationCenter &defaultCenter();

    void post(const QString &name, const QVariantMap &userInfo);

signals:
    void posted(const QString &name, const QVariantMap &userInfo);
};

// Dropped files: userInfo {"key": QStringList of paths}.
inline const QString FilesAddedByDragAndDrop = QStringLiteral("FilesAddedByDragAndDrop");
