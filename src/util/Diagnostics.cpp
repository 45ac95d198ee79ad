#include "util/Diagnostics.h"

#include <cstdio>
#include <mutex>

namespace Diagnostics {
namespace {

std::mutex &sinkMutex()
{
    static std::mutex m;
    return m;
}

Sink writerTo(FILE *stream)
{
    return [stream](const QString &text) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
        std::fputc('\n', stream);
        std::fflush(stream);
    };
}

Sink &currentSink()
{
    static Sink sink = writerTo(stdout);
    return sink;
}

}

void line(const QString &text)
{
    std::lock_guard lock(sinkMutex());
    if (currentSink())
        currentSink()(text);
}

Sink setSink(Sink sink)
{
    std::lock_guard lock(sinkMutex());
    std::swap(currentSink(), sink);
    return sink;
}

Sink standardOutputSink() { return writerTo(stdout); }
Sink standardErrorSink() { return writerTo(stderr); }

}
