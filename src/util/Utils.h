#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Reading the transcoder's progress text.
namespace Utils {

// Every whole match of pattern in text, left to right, without overlaps.
// A pattern that does not compile gives an "invalid regex: " line and nothing.
QStringList regexMatches(const QString &pattern, const QString &text);

// "HH:MM:SS.cc" as seconds; nothing when the text does not have that form.
std::optional<double> secondsFromClockText(const QString &clockText);

}
