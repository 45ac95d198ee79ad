#pragma once

#include <QStringList>
#include <QTextStream>

// veltrane-cli without the process around it: arguments in (without the
// program name), results to out, messages to err, exit status back. Tests run
// it in-process.
namespace Cli {

enum ExitStatus { success = 0, failure = 1, usageError = 2, cancelled = 130 };

int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

int probe(const QStringList &arguments, QTextStream &out, QTextStream &err);

}
