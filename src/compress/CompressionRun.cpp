#include "compress/CompressionRun.h"

std::variant<std::unique_ptr<CompressionRun>, CompressionRun::Refusal>
CompressionRun::prepare(Batch batch, EncodeOptions options, bool replace, const QStringList &protectedPaths)
{
    // Nothing is made when nothing could be compressed.
    if (const auto problem = BatchJob::cannotRunText())
        return Refusal { std::nullopt, *problem };
    auto made = OutputFolder::create(batch.outputFolder, replace, protectedPaths);
    if (const auto *refusal = std::get_if<OutputFolder::Refusal>(&made))
        return Refusal { *refusal, refusal->text(batch.outputFolder) };
    return std::unique_ptr<CompressionRun>(new CompressionRun(std::move(batch), options, std::move(std::get<OutputFolder>(made))));
}

CompressionRun::CompressionRun(Batch batch, EncodeOptions options, OutputFolder folder)
    : m_folder(std::move(folder))
{
    batch.workFolder = m_folder.workPath();
    m_job = std::make_unique<BatchJob>(std::move(batch), options);
    connect(m_job.get(), &BatchJob::finished, this, &CompressionRun::jobFinished);
}

CompressionRun::~CompressionRun()
{
    // The job first: its transcoder is stopped and its worker joined before
    // the folder it writes into goes.
    m_job.reset();
    m_folder.abandon();
}

void CompressionRun::jobFinished(const QList<RowResult> &results)
{
    if (m_job->isCancelled()) {
        m_folder.abandon();
        emit ended(results, true, std::nullopt);
        return;
    }
    emit ended(results, false, m_folder.finish(BatchJob::wroteAnyOutput(results)));
}
