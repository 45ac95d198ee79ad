#pragma once

#include "filelist/Intake.h"
#include "util/Diagnostics.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <mutex>
#include <variant>

// veltrane-cli without the process around it: arguments in (without the
// program name), results to out, messages to err, exit status back. Tests run
// it in-process.
namespace Cli {

// 128 + the signal for a batch stopped by one: hang-up, Ctrl-C, termination.
enum ExitStatus { success = 0, failure = 1, usageError = 2, hungUp = 129, cancelled = 130, terminated = 143 };

// errIsTerminal: err is a terminal, where progress is drawn as one redrawn line.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err, bool errIsTerminal = false);

// Diagnostic lines written to stream, one per line. They may come from a
// batch's worker: whatever else writes to the same stream meanwhile takes
// streamMutex() too.
Diagnostics::Sink lineWriter(QTextStream &stream);
std::mutex &streamMutex();

// --jobs N: how many files are examined at the same time, at most jobsCap().
QCommandLineOption jobsOption();
int jobsCap();
// Its number, the processor count when it is absent, or the usage error when
// it is no whole number from 1 up. A number above the cap is taken as the cap,
// and command (the "probe" of "veltrane-cli probe") says so on err.
std::variant<int, QString> jobsValue(const QCommandLineParser &parser, const QCommandLineOption &option,
                                     const QString &command, QTextStream &err);

// The files named: absolute paths (no name is then read as an option by the
// tools), a folder replaced by the files it brings to the window. A folder
// that brings none stays, for intake to refuse by name.
QStringList namedFiles(const QStringList &arguments);

// A name or message as one line of plain output: a line feed in a file name
// must not start a line of its own.
QString oneLine(const QString &text);

// Examines the files on `jobs` workers, as the window's intake does, and
// hands each to examined in their order; returns when all are done.
void examineAll(const QStringList &paths, int jobs, const std::function<void(const Intake::Examined &)> &examined);

int probe(const QStringList &arguments, QTextStream &out, QTextStream &err);
int compress(const QStringList &arguments, QTextStream &out, QTextStream &err, bool errIsTerminal);

}
