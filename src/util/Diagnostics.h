#pragma once

#include <QString>

#include <functional>

// Diagnostic lines: single lines, no levels or time stamps. The window writes
// them to standard output; the CLI sends them to standard error (or nowhere)
// so its standard output stays machine-readable. Safe from any thread.
namespace Diagnostics {

using Sink = std::function<void(const QString &line)>;

void line(const QString &text);

// Replaces where lines go; returns the previous sink. An empty sink drops them.
Sink setSink(Sink sink);

Sink standardOutputSink();
Sink standardErrorSink();

// Sends lines to sink for as long as it lives, then restores the previous one.
class ScopedSink
{
public:
    explicit ScopedSink(Sink sink) : m_previous(setSink(std::move(sink))) {}
    ~ScopedSink() { setSink(std::move(m_previous)); }
    ScopedSink(const ScopedSink &) = delete;
    ScopedSink &operator=(const ScopedSink &) = delete;

private:
    Sink m_previous;
};

}
