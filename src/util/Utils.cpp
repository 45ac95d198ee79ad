#include "util/Utils.h"

#include <QRegularExpression>

#include <charconv>

namespace Utils {

namespace {

// A whole piece in the C locale's decimal syntax, nothing before or after.
std::optional<double> pieceValue(const QString &piece)
{
    static const QRegularExpression form(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (!form.match(piece).hasMatch())
        return std::nullopt;
    const QByteArray bytes = piece.toLatin1();
    const char *begin = bytes.constData();
    const char *end = begin + bytes.size();
    if (*begin == '+')
        ++begin;
    double value = 0.0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

}

std::optional<double> secondsFromClockText(const QString &clockText)
{
    const QStringList dotted = clockText.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (dotted.size() < 2)
        return std::nullopt;
    const QStringList clock = dotted.first().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (clock.size() < 2)
        return std::nullopt;

    const auto hours = pieceValue(clock.first());
    const auto minutes = pieceValue(clock.at(1));
    const auto seconds = pieceValue(clock.last());
    const auto hundredths = pieceValue(dotted.last());
    if (!hours || !minutes || !seconds || !hundredths)
        return std::nullopt;
    return *hours * 3600 + (*minutes * 60 + (*seconds + *hundredths / 100));
}

}
