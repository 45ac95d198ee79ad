#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Reading the transcoder's progress text.
namespace Utils {

// "HH:MM:SS.cc" as seconds; nothing when the text does not have that form.
std::optional<double> secondsFromClockText(const QString &clockText);

}
