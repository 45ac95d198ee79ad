#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Texts shown to users and passed to the tools.
namespace TextFormat {

// Shortest text that reads back as the same double, plain notation, with at
// least one digit after the point: 600.0, 84.47999999999999, 30.5.
QString decimalText(double value);

// A byte count in decimal multiples of 1000, file style: "0 bytes", "1 byte",
// "2 KB", "1.2 MB", "1.23 GB". C locale.
QString byteCountText(qint64 bytes);

// bytes as byteCountText writes it, or, where it would write other alike,
// with the digits it takes to tell them apart, in the unit of the larger:
// 42,310 against 42,140 bytes is "42.3 KB" (against "42.1 KB"), not "42 KB".
QString byteCountTextApart(qint64 bytes, qint64 other);

// How far size is over target, in percent, with the digits it takes to show
// that it is over at all: "11.2 %", "0.6 %", "0.004 %"; "0 %" when it is not.
QString percentOverText(qint64 size, qint64 target);

// A size as people write upload limits: "8MB", "750 KB", "1.5GB", "25M",
// "10MiB", "123456" (bytes). K, M, G, T (with or without B) count in
// thousands, KiB, MiB, GiB, TiB in 1024s; letter case aside. Nothing for
// anything else, or for less than one byte.
std::optional<qint64> byteCountFromText(const QString &text);

// Seconds as a clock: "HH:MM:SS.cc", whole seconds truncated, hundredths
// rounded; more hours widen the first field. Not finite: zero.
QString humanDuration(double seconds);

// The informative text of an alert that names files:
// "<names joined by ', '>\n\nQuestions? : <support address>".
QString namedFilesAlertText(const QStringList &names);

}
