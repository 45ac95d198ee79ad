#include "cli/Cli.h"

#include "filelist/Intake.h"
#include "probe/FileProbe.h"
#include "util/Diagnostics.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace Cli {

namespace {

template<typename T>
QJsonValue optionalValue(const std::optional<T> &value)
{
    if (!value)
        return QJsonValue::Null;
    return QJsonValue(*value);
}

QJsonObject probeObject(const FileProbe &probe, const std::optional<QString> &refusal)
{
    QJsonArray tracks;
    for (const QVariantMap &row : probe.tracksInfo)
        tracks.append(QJsonObject::fromVariantMap(row));
    QJsonArray metadata;
    for (const auto &row : probe.metadata)
        metadata.append(QJsonObject { { QStringLiteral("key"), row.value(QStringLiteral("key")) },
                                      { QStringLiteral("value"), row.value(QStringLiteral("value")) } });
    const bool finiteRatio = probe.videoRatio && std::isfinite(*probe.videoRatio);

    return QJsonObject {
        { QStringLiteral("hasErrors"), probe.hasErrors },
        { QStringLiteral("isValidMediaFile"), probe.isValidMediaFile },
        { QStringLiteral("isEncrypted"), probe.isEncrypted },
        { QStringLiteral("numberOfStreams"), probe.numberOfStreams },
        { QStringLiteral("hasVideoTrack"), probe.hasVideoTrack },
        { QStringLiteral("hasAudioTrack"), probe.hasAudioTrack },
        { QStringLiteral("hasSubtitleTrack"), probe.hasSubtitleTrack },
        { QStringLiteral("hasAudioTrackWhichHasMoreThanTwoChannels"), probe.hasAudioTrackWhichHasMoreThanTwoChannels },
        { QStringLiteral("duration"), probe.duration },
        { QStringLiteral("bitRate"), probe.bitRate },
        { QStringLiteral("videoWidth"), optionalValue(probe.videoWidth) },
        { QStringLiteral("videoHeight"), optionalValue(probe.videoHeight) },
        { QStringLiteral("videoRatio"), finiteRatio ? QJsonValue(*probe.videoRatio) : QJsonValue(QJsonValue::Null) },
        { QStringLiteral("fileSize"), probe.fileSize ? QJsonValue(qint64(*probe.fileSize)) : QJsonValue(QJsonValue::Null) },
        { QStringLiteral("fileSizeHuman"), optionalValue(probe.fileSizeHuman) },
        { QStringLiteral("fileFullPath"), optionalValue(probe.fileFullPath) },
        { QStringLiteral("fileFullURL"),
          probe.fileFullURL ? QJsonValue(probe.fileFullURL->toString(QUrl::FullyEncoded)) : QJsonValue(QJsonValue::Null) },
        { QStringLiteral("videoTransfer"), probe.videoTransfer },
        { QStringLiteral("videoPrimaries"), probe.videoPrimaries },
        { QStringLiteral("videoMatrix"), probe.videoMatrix },
        { QStringLiteral("videoBitDepth"), probe.videoBitDepth },
        { QStringLiteral("videoFieldOrder"), probe.videoFieldOrder },
        { QStringLiteral("isHDR"), FileProbe::isHDRTransfer(probe.videoTransfer) },
        { QStringLiteral("isInterlaced"), FileProbe::isInterlacedFieldOrder(probe.videoFieldOrder) },
        { QStringLiteral("probeProblem"), probe.toolProblem ? QJsonValue(*probe.toolProblem) : QJsonValue(QJsonValue::Null) },
        { QStringLiteral("refusal"), refusal ? QJsonValue(*refusal) : QJsonValue(QJsonValue::Null) },
        { QStringLiteral("tracksInfo"), tracks },
        { QStringLiteral("metadata"), metadata },
    };
}

}

int probe(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Examine video files the way Veltrane does and print what it learns about each, as one JSON array on "
        "standard output (one object per file, in argument order). Diagnostic lines go to standard error.\n"
        "Exit status: 0 when every file was examined, usable or not; 1 when the probe tool was missing or gave no "
        "report for some file; 2 for a usage error."));
    parser.addHelpOption();
    const QCommandLineOption jobs = jobsOption();
    parser.addOption(jobs);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Files to examine."), QStringLiteral("FILE..."));
    if (!parser.parse(QStringList { QStringLiteral("veltrane-cli probe") } + arguments)) {
        err << parser.errorText() << "\n" << "Try 'veltrane-cli probe --help'.\n";
        return usageError;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << parser.helpText();
        return success;
    }
    const auto usage = [&err](const QString &message) {
        err << "veltrane-cli probe: " << message << "\nTry 'veltrane-cli probe --help'.\n";
        return usageError;
    };
    const QStringList named = parser.positionalArguments();
    if (named.isEmpty())
        return usage(QStringLiteral("no FILE given"));
    const std::variant<int, QString> workers = jobsValue(parser, jobs, QStringLiteral("probe"), err);
    if (const QString *message = std::get_if<QString>(&workers))
        return usage(*message);

    // The probe's diagnostic lines are messages like any other: out holds
    // nothing but the results.
    const Diagnostics::ScopedSink diagnostics(lineWriter(err));
    const QStringList files = namedFiles(named);
    QJsonArray results;
    examineAll(files, std::get<int>(workers),
               [&results](const Intake::Examined &file) { results.append(probeObject(file.probe, file.refusal)); });
    out << QJsonDocument(results).toJson(QJsonDocument::Indented);

    // An unusable file was examined all the same; one the tool told nothing
    // about was not, and a script must not take its object for an answer.
    int status = success;
    for (qsizetype i = 0; i < results.size(); ++i) {
        const QJsonValue problem = results.at(i)[QStringLiteral("probeProblem")];
        if (problem.isString()) {
            err << "veltrane-cli probe: could not examine " << files.at(i) << ": " << problem.toString() << "\n";
            status = failure;
        }
    }
    return status;
}

}
