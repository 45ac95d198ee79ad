#pragma once

#include "util/Diagnostics.h"

#include <QStringList>
#include <QTextStream>

#include <mutex>

// veltrane-cli without the process around it: arguments in (without the
// program name), results to out, messages to err, exit status back. Tests run
// it in-process.
namespace Cli {

enum ExitStatus { success = 0, failure = 1, usageError = 2, cancelled = 130 };

// errIsTerminal: err is a terminal, where progress is drawn as one redrawn line.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err, bool errIsTerminal = false);

// Diagnostic lines written to stream, one per line. They may come from a
// batch's worker: whatever else writes to the same stream meanwhile takes
// streamMutex() too.
Diagnostics::Sink lineWriter(QTextStream &stream);
std::mutex &streamMutex();

int probe(const QStringList &arguments, QTextStream &out, QTextStream &err);
int compress(const QStringList &arguments, QTextStream &out, QTextStream &err, bool errIsTerminal);

}
