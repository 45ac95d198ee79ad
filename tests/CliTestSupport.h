#pragma once

#include "TestSupport.h"

#include "cli/Cli.h"

// veltrane-cli run in-process, its two streams captured.
struct CliRun
{
    int status = -1;
    QString out, err;
};

inline CliRun runCli(const QStringList &arguments)
{
    CliRun run;
    QTextStream out(&run.out), err(&run.err);
    run.status = Cli::run(arguments, out, err);
    out.flush();
    err.flush();
    return run;
}

// Everything about a run, for a failure message.
inline QString describe(const CliRun &run)
{
    return QStringLiteral("status %1\nstdout: %2\nstderr: %3").arg(run.status).arg(run.out, run.err);
}
