#pragma once

#include "json/Json.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariantMap>

class FileProbe;

// The keys of a track row: one row per stream of a probed file.
namespace TrackKeys {
inline const QString trackType = QStringLiteral("trackType");                   // a TrackTypes text
inline const QString trackCodec = QStringLiteral("trackCodec");                 // text
inline const QString trackID = QStringLiteral("trackID");                       // text
inline const QString trackPresentInfile = QStringLiteral("trackPresentInfile"); // text, the file's path
inline const QString trackSpecialInfo = QStringLiteral("trackSpecialInfo");     // text: size, layout, language...
inline const QString trackDuration = QStringLiteral("trackDuration");           // double, seconds
inline const QString trackDurationHuman = QStringLiteral("trackDurationHuman"); // text "HH:MM:SS.cc"
inline const QString trackLanguage = QStringLiteral("trackLanguage");           // text
inline const QString trackDictionary = QStringLiteral("trackDictionary");       // the stream's whole report, a map
inline const QString trackHDR = QStringLiteral("trackHDR");                     // bool: a video track in PQ or HLG
inline const QString trackInterlaced = QStringLiteral("trackInterlaced");       // bool: a video track made of fields
}

// The values of TrackKeys::trackType.
namespace TrackTypes {
inline const QString video = QStringLiteral("Video");
inline const QString audio = QStringLiteral("Audio");
inline const QString subtitle = QStringLiteral("Subtitle");
inline const QString poster = QStringLiteral("Poster");
inline const QString other = QStringLiteral("Other");
}

// Track and tag tables, built while a probe is constructed.
namespace TrackTables {

// One row per container tag of a fixed list: {"key": label, "value": text}.
QList<QMap<QString, QString>> metadataRows(const JSON &report);

// The row of stream index; a Video row shows the probe's dimensions as they stand.
QVariantMap trackRow(const JSON &report, qint64 index, const FileProbe &probe, const QString &path);

}
