#include "app/Thumbnail.h"

#include "app/Resources.h"
#include "probe/FileProbe.h"
#include "tools/Tools.h"
#include "util/Diagnostics.h"
#include "util/PrivateFolder.h"
#include "util/TextFormat.h"

#include <QFile>

namespace Thumbnail {

QImage placeholder()
{
    Resources::init();
    return QImage(QStringLiteral(":/images/video"));
}

QStringList arguments(double duration, const QString &input, const QString &output)
{
    return { QStringLiteral("-v"),
             QStringLiteral("quiet"),
             QStringLiteral("-ss"),
             TextFormat::decimalText(duration * 0.5),
             QStringLiteral("-i"),
             input,
             QStringLiteral("-vf"),
             QStringLiteral("scale=") + QString::number(-1) + QLatin1Char(':') + QString::number(200)
                 + QStringLiteral(",setsar=1:1"),
             QStringLiteral("-frames:v"),
             QStringLiteral("1"),
             QStringLiteral("-y"),
             output };
}

QString workingPath() { return PrivateFolder::filePath(QStringLiteral("snapShot.jpg")); }

QImage make(const FileProbe &probe)
{
    const QString output = workingPath();
    const auto tool = Tools::resourcePath(QString::fromLatin1(Tools::creator));
    if (output.isEmpty() || !tool)
        return placeholder();

    // A run that writes nothing must not show the previous file's picture.
    QFile::remove(output);
    const QString input = probe.fileFullPath.value_or(QString());
    const Tools::RunResult run =
        Tools::run(*tool, arguments(probe.duration, input, output), Tools::Stream::inherit, Tools::Stream::inherit);
    if (run.timedOut)
        Diagnostics::line(QStringLiteral("The thumbnail run took too long and was stopped: ") + input);
    QImage picture(output);
    QFile::remove(output);
    return picture.isNull() ? placeholder() : picture;
}

}
