#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Shared pieces of the test suite: clips made with the real transcoder,
// fake tools, captured diagnostic lines, environment overrides.
namespace TestSupport {

// The real ffmpeg / ffprobe from the resources folder beside the tests.
QString realTool(const char *name);

// Runs the real ffmpeg with "-v error -y" + arguments + output; true on success.
bool makeClip(const QString &output, const QStringList &arguments);

// A small test clip: lavfi colour bars of the given size and length, H.264 in
// .mp4 (or what the extension implies), with a stereo tone unless audio is off.
bool makeVideo(const QString &output, int width = 160, int height = 120, double seconds = 1.0, int channels = 2);

// Writes an executable /bin/sh script called name into folder.
QString writeFakeTool(const QString &folder, const QString &name, const QString &body);

// A resources folder for VELTRANE_RESOURCES: "sniffer" is the given script or
// else the real ffprobe, "creator" the given script or else missing.
QString fakeResources(const QString &folder, const std::optional<QString> &creatorBody,
                      const std::optional<QString> &snifferBody = std::nullopt);

// The first number in a file (a process id a fake tool wrote), or 0.
qint64 numberInFile(const QString &path);

// Collects diagnostic lines for as long as it lives.
class DiagnosticCapture
{
public:
    DiagnosticCapture();
    ~DiagnosticCapture();
    QStringList lines() const;

private:
    struct Private;
    Private *d;
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

}
