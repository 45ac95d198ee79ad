#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "app/Translations.h"
#include "app/WindowGeometry.h"

#include "BuildConfig.h"
#include "tools/Tools.h"
#include "util/FolderContents.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMainWindow>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

extern "C" void onTerminationSignal(int signal)
{
    const char number = char(signal);
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &number, 1);
}

// Ctrl-C in a terminal, a logout or a closed terminal: a running batch is
// stopped and its unfinished folder removed before the application quits.
void stopOnTerminationSignals(AppDelegate &delegate)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &delegate);
    QObject::connect(notifier, &QSocketNotifier::activated, &delegate, [&delegate] {
        char number = 0;
        if (::read(signalPipe[1], &number, 1) == 1)
            delegate.terminateForSignal(number);
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : { SIGINT, SIGTERM, SIGHUP })
        sigaction(signal, &action, nullptr);
}

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QCoreApplication::translate("main", "Make video files smaller."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QCoreApplication::translate("main", "Videos to add to the list."),
                                 QStringLiteral("[FILE...]"));
}

// --help and --version are answered before the window system is reached, so
// they work without a display.
std::optional<int> answerWithoutDisplay(int &argc, char *argv[])
{
    const QCoreApplication app(argc, argv);
    Translations::install();
    QCommandLineParser parser;
    describeOptions(parser);
    // Qt's own options are still in the list here: read as words, "-reverse"
    // is not taken for -v. Anything else, mistakes included, is for the full
    // parse further on.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    return std::nullopt;
}

}

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("Veltrane"));
    QApplication::setOrganizationName(QStringLiteral("Veltrane"));
    QApplication::setApplicationVersion(QString::fromLatin1(BuildConfig::version));
    QApplication::setDesktopFileName(QString::fromLatin1(BuildConfig::applicationId));
    if (const auto status = answerWithoutDisplay(argc, argv))
        return *status;

    QApplication app(argc, argv);
    Translations::install();
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);
    // Relative names are this start's, whichever window takes them.
    QStringList paths;
    for (const QString &path : parser.positionalArguments())
        paths.append(QFileInfo(path).absoluteFilePath());

    SingleInstance instance(QDBusConnection::sessionBus());
    if (instance.handOff(paths))
        return 0;

    AppDelegate delegate;
    QApplication::setQuitOnLastWindowClosed(delegate.applicationShouldTerminateAfterLastWindowClosed());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    QObject::connect(&delegate, &AppDelegate::quitRequested, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    stopOnTerminationSignals(delegate);
    Tools::followTerminalStops();
    WindowGeometry::remember(delegate.window);
    delegate.window->show();
    delegate.applicationDidFinishLaunching();

    // Files named on the command line (also how "Open with" arrives) or by a
    // later start go through the same pass as the open panel, once the window
    // is up; folders bring what is inside them.
    const auto addFiles = [&delegate](const QStringList &files) {
        delegate.analyzeAndAddFilesLater(FolderContents::withFolderContents(files));
    };
    if (!paths.isEmpty())
        addFiles(paths);
    QObject::connect(&instance, &SingleInstance::filesOpened, &delegate, addFiles);
    QObject::connect(&instance, &SingleInstance::activated, &delegate, [&delegate] { delegate.applicationShouldHandleReopen(false); });
    instance.serve();

    return app.exec();
}
