#pragma once

#include "compress/Batch.h"
#include "compress/BatchJob.h"
#include "compress/OutputFolder.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <variant>

// One compression from its folder to its end, the same for the window and
// the command line: it checks that a batch can run, makes the output folder
// (built aside, put in place at the end), runs the batch job and, when the
// job ends, decides: a cancelled batch is abandoned (the user's folder stays
// as it was), a finished one is put in place. Front ends only show what it
// says and listen to the job for progress.
class CompressionRun : public QObject
{
    Q_OBJECT

public:
    struct Refusal
    {
        // cannotRun: no transcoder or no working folder; otherwise the folder's refusal.
        std::optional<OutputFolder::Refusal> folder;
        QString text; // one line for the user
    };

    // protectedPaths: files whose folder may never be replaced (every named
    // input, refused ones too). Nothing runs until start().
    static std::variant<std::unique_ptr<CompressionRun>, Refusal> prepare(Batch batch, EncodeOptions options, bool replace,
                                                                         const QStringList &protectedPaths);
    // A run let go of while it runs stops its job and abandons its folder.
    ~CompressionRun() override;

    BatchJob &job() { return *m_job; }
    const Batch &batch() const { return m_job->batch(); }
    bool replaces() const { return m_folder.replaces(); }

    void start() { m_job->start(); }
    // Only stores the job's atomic flag: safe from a signal handler.
    void cancel() noexcept { m_job->cancel(); }

signals:
    // The job has finished and the folder is dealt with: put in place
    // (placingProblem says what went wrong, if anything) or, after a cancel,
    // left as it was.
    void ended(const QList<RowResult> &results, bool cancelled, const std::optional<QString> &placingProblem);

private:
    CompressionRun(Batch batch, EncodeOptions options, OutputFolder folder);
    void jobFinished(const QList<RowResult> &results);

    OutputFolder m_folder;
    std::unique_ptr<BatchJob> m_job;
};
