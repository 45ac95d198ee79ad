#pragma once

#include <QString>
#include <QStringList>

// Texts shown to users and passed to the tools.
namespace TextFormat {

// Shortest text that reads back as the same double, plain notation, with at
// least one digit after the point: 600.0, 84.47999999999999, 30.5.
QString decimalText(double value);

// A byte count in decimal multiples of 1000, file style: "0 bytes", "1 byte",
// "2 KB", "1.2 MB", "1.23 GB". C locale.
QString byteCountText(qint64 bytes);

// Seconds as a clock: "HH:MM:SS.cc", whole seconds truncated, hundredths
// rounded; more hours widen the first field. Not finite: zero.
QString humanDuration(double seconds);

// The informative text of an alert that names files:
// "<names joined by ', '>\n\nQuestions? : <support address>".
QString namedFilesAlertText(const QStringList &names);

}
