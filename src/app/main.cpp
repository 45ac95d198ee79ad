#include "app/AppDelegate.h"

#include "BuildConfig.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMainWindow>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

extern "C" void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}

// Ctrl-C in a terminal, or a logout, quits the way the Quit command does, so
// a running batch is stopped and its unfinished folder removed.
void quitOnTerminationSignals(QApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte;
        [[maybe_unused]] const auto read = ::read(signalPipe[1], &byte, 1);
        app.quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : { SIGINT, SIGTERM, SIGHUP })
        sigaction(signal, &action, nullptr);
}

}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrane"));
    QApplication::setDesktopFileName(QString::fromLatin1(BuildConfig::applicationId));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Make video files smaller."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Videos to add to the list."), QStringLiteral("[FILE...]"));
    parser.process(app);

    quitOnTerminationSignals(app);

    AppDelegate delegate;
    QApplication::setQuitOnLastWindowClosed(delegate.applicationShouldTerminateAfterLastWindowClosed());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    delegate.window->show();
    delegate.applicationDidFinishLaunching();

    // Files named on the command line (also how "Open with" arrives) go
    // through the same pass as the open panel, once the window is up.
    if (!parser.positionalArguments().isEmpty())
        delegate.analyzeAndAddFilesLater(parser.positionalArguments());

    return app.exec();
}
