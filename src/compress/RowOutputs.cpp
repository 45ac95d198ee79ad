#include "compress/RowEncoder.h"

#include "compress/Fitting.h"
#include "compress/OutputCheck.h"
#include "util/TextFormat.h"

#include <QFileInfo>

#include <cstdio>

// What becomes of each encode's file: checked and kept as a candidate, or
// removed; at the row's end, the one kept is put in place and the rest go.

namespace {

// What x264 says when a second pass is asked for less than it can make.
bool atEncoderFloor(const QString &messages) { return messages.contains(QLatin1String("requested bitrate is too low")); }
QString atFloorNote() { return QStringLiteral("; the encoder cannot go lower at this picture size"); }

}

std::optional<RowResult> RowEncoder::failure(const TranscoderRun::Result &result, const QString &output, int passes, double kbps, int crf)
{
    const RowPlan &plan = m_plan;
    RowResult row;
    row.messages = result.messages;
    switch (result.end) {
    case TranscoderRun::End::failedToStart: row.outcome = RowOutcome::failedToStart; break;
    case TranscoderRun::End::crashed: row.outcome = RowOutcome::crashed; break;
    case TranscoderRun::End::cancelled: row.outcome = RowOutcome::cancelled; break;
    case TranscoderRun::End::stalled: row.outcome = RowOutcome::stalled; break;
    case TranscoderRun::End::stoppedEarly: return std::nullopt;
    case TranscoderRun::End::exited:
        if (result.exitCode != 0) {
            // Asked for less than it can make at this size: no encode will fit, the best so far stays.
            m_atEncoderFloor = atEncoderFloor(result.messages);
            row.outcome = RowOutcome::exitedNonZero;
            row.exitCode = result.exitCode;
            if (OutputCheck::diskMayBeFull(output, result.messages, plan.targetBytes))
                row.reason = row.description() + QStringLiteral("; the disk may be full");
            break;
        }
        if (!QFileInfo(output).isFile() || QFileInfo(output).size() == 0) {
            row.outcome = RowOutcome::noOutput;
            break;
        }
        // A first pass only leaves statistics worth having.
        if (output.endsWith(QLatin1String("-pass1.mp4")))
            return std::nullopt;
        const OutputCheck::Verdict verdict = OutputCheck::check(output, plan, result.messages);
        if (verdict.problem) {
            row.outcome = RowOutcome::unusable;
            row.reason = *verdict.problem;
            break;
        }
        const bool firstRun = passes != 2 && m_candidates.isEmpty();
        m_candidates.append({ output,
                              { QFileInfo(output).size(), verdict.videoBytes, crf > 0 ? 0 : kbps, passes == 2, passes != 2 && plan.firstRunIsDraft(),
                                firstRun && plan.codec == Codec::h264 && m_passes == Passes::automatic && mostlyStill(), crf },
                              passes, verdict.audioTracks });
        return std::nullopt;
    }
    // Whatever went wrong, this encode's file is no use.
    const bool removed = removeFile(output);
    // A later encode that fails leaves the earlier outputs as they were; one
    // the encoder refused below its floor is no fault, only the end of trying.
    if (!m_candidates.isEmpty() && row.outcome != RowOutcome::cancelled) {
        RowResult kept = finish(QStringLiteral("; a further encode failed: ") + row.description()
                                + (removed ? QStringLiteral(", and its file was removed") : QString()));
        kept.messages = row.messages;
        return kept;
    }
    return fail(row, removed);
}

RowResult RowEncoder::fail(RowResult result, bool removedOne)
{
    bool removed = removedOne;
    for (const Candidate &candidate : std::as_const(m_candidates))
        removed |= removeFile(candidate.path);
    removed |= removeFile(m_batch.writtenOutput(m_row));
    if (m_atEncoderFloor && result.outcome == RowOutcome::exitedNonZero)
        result.reason = QStringLiteral("the target is too small for the encoder at this picture size");
    removeWorkFiles();
    result.attempts = m_attempts;
    if (removed && result.outcome != RowOutcome::cancelled)
        result.reason = result.description() + QStringLiteral("; its output was removed");
    return result;
}

RowResult RowEncoder::finish(const QString &note)
{
    const RowPlan &plan = m_plan;
    const qint64 target = plan.targetBytes;
    if (m_candidates.isEmpty())
        return fail({ RowOutcome::overTarget, 0, QStringLiteral("the target is too small: the sound and the container alone would not fit") });
    const Candidate *kept = &m_candidates.at(Fitting::kept(measured(), target));
    for (const Candidate &c : std::as_const(m_candidates))
        if (&c != kept)
            removeFile(c.path);
    // Only a checked file ever carries the output's name.
    const QString output = m_batch.writtenOutput(m_row);
    if (std::rename(QFile::encodeName(kept->path).constData(), QFile::encodeName(output).constData()) != 0)
        return fail({ RowOutcome::unusable, 0, QStringLiteral("the output could not be put in place") });
    removeWorkFiles();

    RowResult result { RowOutcome::succeeded };
    result.size = kept->measured.size;
    result.passes = kept->passes;
    result.attempts = m_attempts;
    result.notes = OutputCheck::droppedTracks(plan, kept->audioTracks);
    if (kept->measured.size > target) {
        if (m_passes == Passes::one) {
            result.reason = QStringLiteral("compressed, over its target by %1").arg(Fitting::overBy(double(kept->measured.size), double(target)));
        } else {
            result.outcome = RowOutcome::overTarget;
            result.reason = QStringLiteral("%1 for a target of %2: the smallest this encoder could make")
                                .arg(TextFormat::byteCountText(kept->measured.size), TextFormat::byteCountText(target));
        }
    } else if (m_copied) {
        result.copied = true;
        result.reason = QStringLiteral("already under its target: copied as it is");
    } else if (kept->passes == 2) {
        result.reason = QStringLiteral("compressed in two passes");
    }
    result.reason += m_atEncoderFloor ? atFloorNote() : note;
    return result;
}
