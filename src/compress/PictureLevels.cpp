#include "compress/PictureChoice.h"

#include <algorithm>
#include <cmath>

// Still pictures read at x264's constant-quality levels: where the row's
// bytes lie among each size's levels, and its score there.
namespace PictureChoice {

namespace {

// Each step between the levels tried is at most this: levels 12 apart read
// the dune at 4 % a size too small, 6 apart as full encodes rank.
constexpr int levelStep = 7;
constexpr int leastLevel = 8;
constexpr int mostLevel = 51; // x264's last

// Where bytes lie among the levels tried: below, the highest level that spent
// more; above, the lowest that spent no more.
std::pair<std::optional<int>, std::optional<int>> bracket(const QList<Level> &tried, double bytes)
{
    std::optional<int> below, above;
    for (const Level &level : tried) {
        if (double(level.bytes) > bytes)
            below = std::max(below.value_or(level.crf), level.crf);
        else
            above = std::min(above.value_or(level.crf), level.crf);
    }
    return { below, above };
}

}

std::optional<int> narrowingLevel(const QList<Level> &tried, double bytes)
{
    const auto [below, above] = bracket(tried, bytes);
    // Every level spent more: the highest is below; none spent more: the lowest is above.
    if (!above)
        return below && *below < mostLevel ? std::optional(std::min(mostLevel, *below + levelStep)) : std::nullopt;
    if (!below)
        return *above > leastLevel ? std::optional(std::max(leastLevel, *above - levelStep)) : std::nullopt;
    return *above - *below > levelStep ? std::optional((*below + *above) / 2) : std::nullopt;
}

QList<int> levelsAround(const QList<Level> &tried, double bytes)
{
    const auto [below, above] = bracket(tried, bytes);
    QList<int> levels;
    if (below)
        levels << *below;
    if (above)
        levels << *above;
    return levels;
}

Candidate atBytes(double percent, const QList<Level> &tried, double bytes)
{
    qint64 fewest = 0;
    const Level *a = nullptr, *b = nullptr; // the scored two, more bytes first
    for (const Level &level : tried) {
        fewest = fewest == 0 ? level.bytes : std::min(fewest, level.bytes);
        if (!level.ssimDb || level.bytes <= 0)
            continue;
        if (!a || level.bytes > a->bytes) {
            b = a;
            a = &level;
        } else if (!b || level.bytes > b->bytes) {
            b = &level;
        }
    }
    Candidate candidate { percent, std::max(qint64(std::floor(bytes)), fewest), std::nullopt, true };
    if (a && b && a->bytes > b->bytes) {
        const double t = std::clamp(std::log(bytes / double(b->bytes)) / std::log(double(a->bytes) / double(b->bytes)), 0.0, 1.0);
        candidate.ssimDb = *b->ssimDb + t * (*a->ssimDb - *b->ssimDb);
    } else if (a) {
        candidate.ssimDb = a->ssimDb;
    }
    return candidate;
}

}
