#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

class FileProbe;

// The picture each row of the list shows: one frame from the middle of the
// video, taken by one transcoder run.
namespace Thumbnail {

// The picture rows get when no thumbnail could be made.
QImage placeholder();

// The twelve arguments of a thumbnail run: one frame from the middle, 200 px high.
QStringList arguments(double duration, const QString &input, const QString &output);

// Where thumbnail runs write: a folder made for this process alone (mode
// 0700), never the shared temporary folder itself.
QString workingPath();

// One transcoder run, waited for within the tools' bound; the placeholder
// when the tool is missing, fails, or writes nothing readable.
QImage make(const FileProbe &probe);

}
