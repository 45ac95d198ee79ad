#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

// What the size and resolution sliders mean. Every size is a percentage of
// the smallest listed file; every file is aimed at that same size in bytes and
// gets the bitrate that fits its own duration into it.
namespace Planning {

// Smallest "fileSize" over the rows; 0 for no rows.
qint64 referenceFileSize(const QList<QVariantMap> &rows);

struct SizeLabels
{
    QString target; // sizePercent of the reference
    QString left;   // 10 %
    QString middle; // 55 %
    QString right;  // 100 %
};
SizeLabels sizeLabels(qint64 reference, double sizePercent);

// The target size in bytes, as the labels show it.
qint64 targetBytes(qint64 reference, double sizePercent);

// What every output aims at: a share of the smallest listed file (the size
// slider) or a size in bytes given outright.
class Target
{
public:
    static Target ofSmallest(double percent) { return Target(percent, std::nullopt); }
    static Target exactly(qint64 bytes) { return Target(0, bytes); }

    // The size the bitrates are planned from (not rounded).
    double bytes(qint64 reference) const;
    // The same in whole bytes, as the labels show it and as outputs are held to.
    qint64 wholeBytes(qint64 reference) const;

private:
    Target(double percent, std::optional<qint64> bytes) : m_percent(percent), m_bytes(bytes) {}
    double m_percent;
    std::optional<qint64> m_bytes;
};

// "75%": the integer part of the slider's value.
QString resolutionLabel(double resolutionPercent);

// Bitrates in kbit/s. Audio is absent for a row without audio.
struct Bitrates
{
    double video = 0.0;
    std::optional<double> audio;
    int audioChannels = 0; // 1 where the audio is to be mono; 0: as it is, at most stereo
};
// targetBytes: what the row's output aims at, from Target::bytes.
Bitrates planBitrates(const QVariantMap &row, double targetBytes);

// The same total as planBitrates, with the audio's share following the
// budget: 10 % of the total, from 32 up to 128 kb/s but never more than a
// third of it, mono below 48 kb/s; the rest is the picture's.
Bitrates budgetBitrates(const QVariantMap &row, double targetBytes);

struct Dimensions
{
    qint64 width = 0;
    qint64 height = 0;
};
// The row's width and height scaled by the slider, each rounded to an even number.
Dimensions outputDimensions(const QVariantMap &row, double resolutionPercent);

// Only a slider whose integer part is not 100 scales.
bool isScaling(double resolutionPercent);

}
