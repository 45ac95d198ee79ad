#include "probe/FileProbe.h"

#include <charconv>
#include <cmath>

namespace {

struct TagRow
{
    const char *label;
    const char *tag;
};

QString classify(const JSON &stream)
{
    const JSON type = stream["codec_type"];
    const JSON codec = stream["codec_name"];
    const JSON tagString = stream["codec_tag_string"];
    const bool video = type.isText("video");

    if (video && codec.isText("mjpeg") && tagString.isText("jpeg"))
        return QStringLiteral("Other");
    if (video && (codec.isText("h264") || codec.isText("theora")))
        return QStringLiteral("Video");
    if (video && codec.isText("wmv3") && tagString.isText("WMV3"))
        return QStringLiteral("Video");
    if (video && !stream["avg_frame_rate"].isText("0/0"))
        return QStringLiteral("Video");
    if (type.isText("audio"))
        return QStringLiteral("Audio");
    if (type.isText("subtitle") && !tagString.isText("text") && codec != JSON::nullValue())
        return QStringLiteral("Subtitle");
    if (!video)
        return QStringLiteral("Other");
    if (!tagString.isText("[0][0][0][0]"))
        return QStringLiteral("Other");
    if (codec.isText("mjpeg") || codec.isText("png"))
        return QStringLiteral("Poster");
    return QStringLiteral("Other");
}

QString specialInfo(const QString &trackType, const JSON &stream, const FileProbe &probe)
{
    if (trackType == QLatin1String("Video"))
        return QString::number(probe.videoWidth.value_or(0)) + QLatin1Char('x')
            + QString::number(probe.videoHeight.value_or(0));
    if (trackType == QLatin1String("Audio"))
        return stream["channel_layout"].stringValue();
    if (trackType == QLatin1String("Subtitle"))
        return stream["tags"]["language"].stringValue();
    if (trackType == QLatin1String("Poster"))
        return stream["width"].stringValue() + QLatin1Char('x') + stream["height"].stringValue();
    return stream["codec_tag_string"].stringValue();
}

}

QList<QMap<QString, QString>> buildMetadataRows(const JSON &report)
{
    static constexpr TagRow rows[] = {
        { "Title", "title" },     { "Tagline", "description" }, { "Synopsis", "Synopsis" }, { "Release Date", "date" },
        { "Genre", "genre" },     { "HD", "hd_video" },         { "Media Kind", "media_type" },
        { "Composer", "Composer" }, { "Rating", "iTunEXTC" },   { "Encoder", "Encoder" },
        { "Copyright", "Copyright" }, { "Comment", "Comment" },
    };
    const JSON tags = report["format"]["tags"];
    QList<QMap<QString, QString>> result;
    for (const TagRow &row : rows) {
        const QString label = QString::fromLatin1(row.label);
        const JSON tag = tags[row.tag];
        QString value;
        if (label == QLatin1String("HD"))
            value = tag.integerValue() == 1 ? QStringLiteral("Yes") : QStringLiteral("No");
        else if (label == QLatin1String("Media Kind"))
            value = tag.integerValue() == 9 ? QStringLiteral("Movie") : QString();
        else
            value = tag.stringValue();
        result.append({ { QStringLiteral("key"), label }, { QStringLiteral("value"), value } });
    }
    return result;
}

QVariantMap makeTrackRow(const JSON &report, qint64 index, const FileProbe &probe, const QString &path)
{
    const JSON stream = report["streams"][index];
    const double trackDuration = stream["duration"].doubleValue();
    const QString trackType = classify(stream);
    return {
        { QStringLiteral("trackType"), trackType },
        { QStringLiteral("trackCodec"), stream["codec_name"].stringValue() },
        { QStringLiteral("trackID"), stream["index"].stringValue() },
        { QStringLiteral("trackPresentInfile"), path },
        { QStringLiteral("trackSpecialInfo"), specialInfo(trackType, stream, probe) },
        { QStringLiteral("trackDuration"), trackDuration },
        { QStringLiteral("trackDurationHuman"), humanDuration(trackDuration) },
        { QStringLiteral("trackLanguage"), stream["tags"]["language"].stringValue() },
        { QStringLiteral("trackDictionary"), stream.optionalDictionary().value_or(QVariantMap()) },
    };
}

QString humanDuration(double seconds)
{
    // Durations that are not finite have no clock form; show them as zero.
    if (!std::isfinite(seconds))
        seconds = 0.0;
    const qint64 s = JSONNumber::fromDouble(seconds).toInteger();
    const qint64 h = s / 3600;
    const qint64 m = (s / 60) % 60;
    const qint64 c = s % 60;
    const auto twoDigits = [](qint64 v) { return v < 10 ? QLatin1Char('0') + QString::number(v) : QString::number(v); };
    const QString hours = s < 36000 ? QLatin1Char('0') + QString::number(h) : QString::number(h);
    // "%.2f" rounding (exact halves to even), without the locale's decimal point;
    // QString::number rounds halves away from zero (1.125 would show .13).
    char rounded[400];
    const auto end = std::to_chars(rounded, rounded + sizeof rounded, seconds, std::chars_format::fixed, 2).ptr;
    const QString fraction = QString::fromLatin1(end - 2, 2);
    return hours + QLatin1Char(':') + twoDigits(m) + QLatin1Char(':') + twoDigits(c) + QLatin1Char('.') + fraction;
}
