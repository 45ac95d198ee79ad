#include "util/TextFormat.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

#include "BuildConfig.h"

#include <charconv>
#include <cmath>

namespace TextFormat {

QString decimalText(double value)
{
    if (!std::isfinite(value))
        return QString::fromLatin1(std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf"));
    char buffer[400]; // fixed notation of the largest double needs 309 digits
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, int(result.ptr - buffer));
    if (!text.contains(QLatin1Char('.')))
        text += QLatin1String(".0");
    return text;
}

QString byteCountText(qint64 bytes)
{
    if (bytes < 0)
        return QLatin1Char('-') + byteCountText(bytes == INT64_MIN ? INT64_MAX : -bytes);
    if (bytes == 1)
        return QCoreApplication::translate("TextFormat", "1 byte");
    if (bytes < 1000)
        return QCoreApplication::translate("TextFormat", "%n bytes", nullptr, int(bytes));

    struct Unit { const char *name; int decimals; };
    static constexpr Unit units[] = { { "KB", 0 }, { "MB", 1 }, { "GB", 2 }, { "TB", 2 } };
    using Wide = unsigned __int128;
    Wide divisor = 1;
    for (size_t k = 0; k < std::size(units); ++k) {
        divisor *= 1000;
        Wide scale = 1;
        for (int d = 0; d < units[k].decimals; ++d)
            scale *= 10;
        // Half up, in integers: no binary rounding surprises at the halfway point.
        const Wide scaled = (Wide(bytes) * scale + divisor / 2) / divisor;
        const bool last = k + 1 == std::size(units);
        if (scaled >= 1000 * scale && !last)
            continue; // 999,999 bytes is "1 MB", not "1000 KB"
        QString text = QString::number(quint64(scaled / scale));
        quint64 fraction = quint64(scaled % scale);
        int decimals = units[k].decimals;
        while (decimals > 0 && fraction % 10 == 0) {
            fraction /= 10;
            --decimals;
        }
        if (decimals > 0)
            text += QLatin1Char('.') + QString::number(fraction).rightJustified(decimals, QLatin1Char('0'));
        return text + QLatin1Char(' ') + QLatin1String(units[k].name);
    }
    return {};
}

QString byteCountTextApart(qint64 bytes, qint64 other)
{
    const QString text = byteCountText(bytes);
    if (bytes == other || bytes < 1000 || other < 0 || text != byteCountText(other))
        return text;
    // Alike, so in the same unit: a digit more at a time, down to single bytes.
    const QString unit = text.section(QLatin1Char(' '), -1);
    const int power = int(QStringList { QStringLiteral("KB"), QStringLiteral("MB"), QStringLiteral("GB"), QStringLiteral("TB") }.indexOf(unit)) + 1;
    const double scale = std::pow(1000.0, power);
    for (int decimals = 1; decimals <= 3 * power; ++decimals) {
        const QString apart = QString::number(double(bytes) / scale, 'f', decimals);
        if (apart != QString::number(double(other) / scale, 'f', decimals))
            return apart + QLatin1Char(' ') + unit;
    }
    return text;
}

QString percentOverText(qint64 size, qint64 target)
{
    if (target <= 0 || size <= target)
        return QStringLiteral("0 %");
    const double percent = double(size - target) * 100 / double(target);
    static const QRegularExpression nonZero(QStringLiteral("[1-9]"));
    QString text;
    for (int decimals = 1; decimals <= 15 && !text.contains(nonZero); ++decimals)
        text = QString::number(percent, 'f', decimals);
    return text + QStringLiteral(" %");
}

QString humanDuration(double seconds)
{
    // Durations that are not finite have no clock form; show them as zero.
    if (!std::isfinite(seconds))
        seconds = 0.0;
    // Truncated toward zero, saturated at the ends of the range.
    const qint64 s = seconds >= 9.2e18 ? INT64_MAX : seconds <= -9.2e18 ? INT64_MIN : qint64(seconds);
    const qint64 h = s / 3600;
    const qint64 m = (s / 60) % 60;
    const qint64 c = s % 60;
    const auto twoDigits = [](qint64 v) { return v < 10 ? QLatin1Char('0') + QString::number(v) : QString::number(v); };
    const QString hours = s < 36000 ? QLatin1Char('0') + QString::number(h) : QString::number(h);
    // "%.2f" rounding (exact halves to even), without the locale's decimal point;
    // QString::number rounds halves away from zero (1.125 would show .13).
    char rounded[400];
    const auto end = std::to_chars(rounded, rounded + sizeof rounded, seconds, std::chars_format::fixed, 2).ptr;
    const QString fraction = QString::fromLatin1(end - 2, 2);
    return hours + QLatin1Char(':') + twoDigits(m) + QLatin1Char(':') + twoDigits(c) + QLatin1Char('.') + fraction;
}

QString namedFilesAlertText(const QStringList &names)
{
    return names.join(QStringLiteral(", ")) + QCoreApplication::translate("TextFormat", "\n\nQuestions? : ")
        + QString::fromUtf8(BuildConfig::supportEmail);
}

std::optional<qint64> byteCountFromText(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*([0-9]+(?:\\.[0-9]+)?)\\s*(?:([KMGT])(i?)B?|B)?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString unit = match.captured(2).toUpper();
    const qsizetype power = unit.isEmpty() ? 0 : QStringLiteral("KMGT").indexOf(unit) + 1;
    const double base = match.captured(3).isEmpty() ? 1000.0 : 1024.0;
    const double bytes = match.captured(1).toDouble() * std::pow(base, double(power));
    if (!std::isfinite(bytes) || bytes < 1 || bytes > 9e18)
        return std::nullopt;
    return qint64(bytes);
}

}
