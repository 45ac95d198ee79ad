#pragma once

#include "util/Diagnostics.h"

#include <QtTest>

#include <memory>
#include <optional>

// Shared pieces of the test suite: real clips, fake tools, captured diagnostic lines, environment overrides.
namespace TestSupport {

// The real ffmpeg / ffprobe from the resources folder beside the tests.
QString realTool(const char *name);

// Runs the real ffmpeg with "-v error -y" + arguments + output; true on success.
bool makeClip(const QString &output, const QStringList &arguments);

// 1 s of colour bars of the given size, H.264 in .mp4 (or as the extension says), with a stereo tone unless told not.
bool makeVideo(const QString &output, int width = 160, int height = 120, bool sound = true);

// A file's bytes; none when it cannot be read.
QByteArray readFile(const QString &path);
// Writes a file, making its folder first; a script is made executable.
bool writeFile(const QString &path, const QByteArray &bytes, bool script = false);
// Every entry of a folder, hidden ones too, by name.
QStringList entries(const QString &folder);
// A process's state letter from /proc ('Z' a zombie, 'T' stopped); 0 when there is no such process.
char processState(qint64 pid);

// Collects diagnostic lines for as long as it lives.
class DiagnosticCapture
{
public:
    DiagnosticCapture();
    QStringList lines() const;

private:
    struct Lines;
    const std::shared_ptr<Lines> m_lines; // shared with the sink
    const Diagnostics::ScopedSink m_sink;
};

// Sets (or, with nothing, unsets) an environment variable for as long as it lives.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const std::optional<QString> &value);
    ~ScopedEnvironment();

private:
    QByteArray m_name;
    std::optional<QByteArray> m_previous;
};

// Fake tools in a folder named by VELTRANE_RESOURCES while this lives: "sniffer" the script given or the real ffprobe,
// "creator" the script given or missing. Scripts may log to "$RUNS", a file in that folder.
class FakeTools
{
public:
    explicit FakeTools(const std::optional<QString> &creatorBody, const std::optional<QString> &snifferBody = std::nullopt);
    QString path() const { return m_folder.path(); }
    // What the scripts logged to "$RUNS", a line each.
    QStringList runs() const;
    // Whether every process that logged its id first on a line has ended.
    bool allGone() const;

private:
    QTemporaryDir m_folder;
    ScopedEnvironment m_resources;
    ScopedEnvironment m_runs;
};

}
