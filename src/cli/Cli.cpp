#include "cli/Cli.h"

#include "BuildConfig.h"

namespace Cli {

namespace {

void usage(QTextStream &stream)
{
    stream << "Usage: veltrane-cli COMMAND [OPTIONS] FILE...\n"
              "\n"
              "Commands:\n"
              "  probe      Examine files and print what Veltrane learns about them, as JSON.\n"
              "  compress   Compress files into .mp4 files of one target size, in a new folder.\n"
              "\n"
              "Run 'veltrane-cli COMMAND --help' for the options of a command.\n";
}

}

std::mutex &streamMutex()
{
    static std::mutex mutex;
    return mutex;
}

Diagnostics::Sink lineWriter(QTextStream &stream)
{
    return [&stream](const QString &line) {
        const std::lock_guard lock(streamMutex());
        stream << line << "\n";
        stream.flush();
    };
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err, bool errIsTerminal)
{
    if (arguments.isEmpty()) {
        usage(err);
        return usageError;
    }
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("probe"))
        return probe(rest, out, err);
    if (command == QLatin1String("compress"))
        return compress(rest, out, err, errIsTerminal);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        usage(out);
        return success;
    }
    if (command == QLatin1String("--version")) {
        out << "veltrane-cli " << BuildConfig::version << "\n";
        return success;
    }
    err << "veltrane-cli: unknown command '" << command << "'\n\n";
    usage(err);
    return usageError;
}

}
