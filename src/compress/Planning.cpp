#include "compress/Planning.h"

#include "filelist/RowRecord.h"
#include "util/TextFormat.h"

#include <algorithm>
#include <cmath>

namespace Planning {

namespace {

// Doubles the labels ask for are byte counts well inside the 64-bit range;
// truncation toward zero is what the labels show.
qint64 truncated(double bytes)
{
    if (!(bytes > 0))
        return 0;
    if (bytes >= 9.2e18)
        return INT64_MAX;
    return qint64(bytes);
}

qint64 roundedHalfAway(double value)
{
    const double r = std::round(value);
    if (!std::isfinite(r))
        return 0;
    return qint64(std::clamp(r, -9.2e18, 9.2e18));
}

}

qint64 referenceFileSize(const QList<QVariantMap> &rows)
{
    if (rows.isEmpty())
        return 0;
    qint64 smallest = rows.first().value(RowKeys::fileSize).toLongLong();
    for (const QVariantMap &row : rows)
        smallest = std::min(smallest, row.value(RowKeys::fileSize).toLongLong());
    return smallest;
}

qint64 targetBytes(qint64 reference, double sizePercent) { return truncated(sizePercent / 100 * double(reference)); }

double Target::bytes(qint64 reference) const { return m_bytes ? double(*m_bytes) : m_percent * double(reference) / 100; }

qint64 Target::wholeBytes(qint64 reference) const { return m_bytes ? *m_bytes : targetBytes(reference, m_percent); }

SizeLabels sizeLabels(qint64 reference, double sizePercent)
{
    const double r = double(reference);
    return {
        TextFormat::byteCountText(targetBytes(reference, sizePercent)),
        TextFormat::byteCountText(truncated(r * 0.1)),
        TextFormat::byteCountText(truncated(r * 0.55)),
        TextFormat::byteCountText(reference),
    };
}

QString resolutionLabel(double resolutionPercent)
{
    return QString::number(qint64(std::trunc(resolutionPercent))) + QLatin1Char('%');
}

namespace {

double totalKbps(const QVariantMap &row, double targetBytes)
{
    const double d = row.value(RowKeys::duration).toDouble();
    return std::round(targetBytes / 1000000 * 0.97 * 8192 / d);
}

}

Bitrates budgetBitrates(const QVariantMap &row, double targetBytes)
{
    const double total = totalKbps(row, targetBytes);
    Bitrates plan;
    plan.video = total;
    if (!row.value(RowKeys::hasAudioTrack).toBool())
        return plan;
    // AAC holds its rate from 32 kb/s up; mono keeps a voice's band where
    // stereo at the same rate would cut it.
    const double audio = std::min(std::clamp(0.1 * total, 32.0, 128.0), total / 3);
    plan.audio = audio;
    plan.audioChannels = audio < 48 ? 1 : 0;
    plan.video = total - audio;
    return plan;
}

Bitrates planBitrates(const QVariantMap &row, double targetBytes)
{
    const double total = totalKbps(row, targetBytes);

    Bitrates plan;
    if (!row.value(RowKeys::hasAudioTrack).toBool()) {
        plan.video = total;
        return plan;
    }
    if (total <= 368) {
        plan.video = (2.0 / 3.0 * total) * 0.96;
        plan.audio = (total * (1.0 / 3.0)) * 0.96;
    } else {
        plan.audio = 128;
        plan.video = total - 128;
    }
    return plan;
}

Dimensions outputDimensions(const QVariantMap &row, double resolutionPercent)
{
    const double w = row.value(RowKeys::videoWidth).toDouble();
    const double h = row.value(RowKeys::videoHeight).toDouble();
    // A side rounded down to 0 would tell the scaler to keep the input's size.
    return { std::max<qint64>(2, 2 * roundedHalfAway(((resolutionPercent * w) / 100) * 0.5)),
             std::max<qint64>(2, 2 * roundedHalfAway(((resolutionPercent * h) / 100) * 0.5)) };
}

bool isScaling(double resolutionPercent) { return qint64(std::trunc(resolutionPercent)) != 100; }

}
