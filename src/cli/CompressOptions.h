#pragma once

#include "compress/Planning.h"
#include "compress/RowEncoder.h"
#include "compress/TranscoderCommand.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>
#include <variant>

namespace Cli {

// What `veltrane-cli compress` was asked to do.
struct CompressOptions
{
    Planning::Target target = Planning::Target::ofSmallest(55);
    std::optional<qint64> targetBytes; // --target-size, checked against the inputs once they are known
    QString targetSizeText;
    TranscoderCommand::Choices choices; // resolution, format, audio, source filters
    QString folder; // absolute
    Passes passes = Passes::automatic;
    bool force = false;
    bool dryRun = false;
    bool json = false;
    bool verbose = false;
    int jobs = 1;      // files examined at the same time
    QStringList paths; // namedFiles(): absolute, folders replaced by their files
};

// The options, or the exit status when there is nothing to run: --help
// (written to out) or a usage error (said on err).
std::variant<CompressOptions, int> parseCompressOptions(const QStringList &arguments, QTextStream &out, QTextStream &err);

// A usage error of compress, said on err; returns its exit status.
int compressUsage(QTextStream &err, const QString &message);

}
