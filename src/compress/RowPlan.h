#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// One row of a batch, fixed when it is planned: what the transcoder is told
// and what the output is held to. Argument lists are rendered from it, never
// read back.
struct RowPlan
{
    QString input;
    QString output; // where the file ends up, in the output folder
    double duration = 0;   // seconds, the input's
    qint64 targetBytes = 0; // what the output must fit in
    double videoKbps = 0;
    std::optional<double> audioKbps; // none: the row has no audio
    bool downmix = false;            // more than two channels become stereo
    QString videoFilters;            // one -vf chain; empty for none
    bool toneMapped = false;         // HDR made SDR: the output is tagged BT.709
    // What the output is checked against.
    double frameRate = 0; // the input's average; 0 when unknown
    int audioTracks = 0;
    int subtitleTracks = 0;

    // The list of a run that writes to `to`: pass 0 is a single run (with
    // `to` the output, the planned list), 1 and 2 the passes of a two-pass
    // encode with their statistics in passLog (the first leaves audio out).
    // videoKbps, when given, replaces the planned video bitrate.
    QStringList arguments(const QString &to, int pass = 0, std::optional<double> videoKbps = std::nullopt,
                          const QString &passLog = {}) const;
    QStringList plannedArguments() const { return arguments(output); }
};
