// Any bytes as a chunk of the transcoder's standard error, for any row of
// any batch: the progress reading must neither crash nor misbehave.
#include "compress/BatchJob.h"
#include "util/Diagnostics.h"
#include "util/Utils.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Diagnostics::ScopedSink silence { Diagnostics::Sink() };
    if (size < 3)
        return 0;
    // First bytes choose the batch shape; a zero or odd duration is part of the game.
    const qsizetype n = data[0] % 8;
    const qsizetype i = n > 0 ? data[1] % n : 0;
    QList<double> durations;
    for (qsizetype k = 0; k < n; ++k)
        durations.append(k == i ? double(data[2]) / 4.0 : 60.0);
    const QByteArray chunk(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));

    (void)BatchJob::handleTranscoderOutput(chunk, i, n, durations);
    const QString text = QString::fromUtf8(chunk);
    (void)Utils::secondsFromClockText(text);
    (void)Utils::regexMatches(QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])"), text);
    return 0;
}
