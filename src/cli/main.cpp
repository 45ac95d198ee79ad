#include "cli/Cli.h"

#include "tools/Tools.h"
#include "util/Diagnostics.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("veltrane-cli"));

    Tools::followTerminalStops();
    // Standard output carries results only.
    Diagnostics::setSink(Diagnostics::standardErrorSink());

    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = Cli::run(app.arguments().mid(1), out, err, isatty(fileno(stderr)));
    out.flush();
    err.flush();
    return status;
}
