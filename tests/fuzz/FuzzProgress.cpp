// Any bytes as the transcoder's standard error, read in any pieces: the lines must not depend on where the reads fell,
// and a clock read from a line is a real number of seconds, never negative.
#include "compress/TranscoderRun.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace TranscoderRun;

namespace {

QList<QByteArray> linesOf(QByteArrayView bytes, qsizetype piece)
{
    QList<QByteArray> lines;
    const auto line = [&lines](QByteArrayView text) {
        if (text.isEmpty() || text.size() > LineSplitter::maxLine || text.contains('\n') || text.contains('\r'))
            std::abort();
        lines.append(text.toByteArray());
    };
    LineSplitter splitter;
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        splitter.feed(bytes.sliced(at, std::min(piece, bytes.size() - at)), line);
    splitter.finish(line);
    return lines;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the size of the reads.
    const qsizetype piece = data[0] % 64 + 1;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    const QList<QByteArray> lines = linesOf(bytes, piece);
    if (lines != linesOf(bytes, bytes.size() + 1))
        std::abort();
    MessageTail tail;
    for (const QByteArray &line : lines) {
        tail.add(line);
        if (const auto seconds = progressSeconds(line); seconds && (!std::isfinite(*seconds) || *seconds < 0))
            std::abort();
    }
    (void)tail.text();
    return 0;
}
