#include "probe/TrackTables.h"

#include "probe/FileProbe.h"
#include "util/TextFormat.h"

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
        return TrackTypes::other;
    if (video && (codec.isText("h264") || codec.isText("theora")))
        return TrackTypes::video;
    if (video && codec.isText("wmv3") && tagString.isText("WMV3"))
        return TrackTypes::video;
    if (video && !stream["avg_frame_rate"].isText("0/0"))
        return TrackTypes::video;
    if (type.isText("audio"))
        return TrackTypes::audio;
    if (type.isText("subtitle") && !tagString.isText("text") && codec != JSON::nullValue())
        return TrackTypes::subtitle;
    if (!video)
        return TrackTypes::other;
    if (!tagString.isText("[0][0][0][0]"))
        return TrackTypes::other;
    if (codec.isText("mjpeg") || codec.isText("png"))
        return TrackTypes::poster;
    return TrackTypes::other;
}

QString specialInfo(const QString &trackType, const JSON &stream, const FileProbe &probe)
{
    if (trackType == TrackTypes::video)
        return QString::number(probe.videoWidth.value_or(0)) + QLatin1Char('x')
            + QString::number(probe.videoHeight.value_or(0));
    if (trackType == TrackTypes::audio)
        return stream["channel_layout"].stringValue();
    if (trackType == TrackTypes::subtitle)
        return stream["tags"]["language"].stringValue();
    if (trackType == TrackTypes::poster)
        return stream["width"].stringValue() + QLatin1Char('x') + stream["height"].stringValue();
    return stream["codec_tag_string"].stringValue();
}

}

namespace TrackTables {

QList<QMap<QString, QString>> metadataRows(const JSON &report)
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

QVariantMap trackRow(const JSON &report, qint64 index, const FileProbe &probe, const QString &path)
{
    const JSON stream = report["streams"][index];
    const double trackDuration = stream["duration"].doubleValue();
    const QString trackType = classify(stream);
    return {
        { TrackKeys::trackType, trackType },
        { TrackKeys::trackCodec, stream["codec_name"].stringValue() },
        { TrackKeys::trackID, stream["index"].stringValue() },
        { TrackKeys::trackPresentInfile, path },
        { TrackKeys::trackSpecialInfo, specialInfo(trackType, stream, probe) },
        { TrackKeys::trackDuration, trackDuration },
        { TrackKeys::trackDurationHuman, TextFormat::humanDuration(trackDuration) },
        { TrackKeys::trackLanguage, stream["tags"]["language"].stringValue() },
        { TrackKeys::trackDictionary, stream.optionalDictionary().value_or(QVariantMap()) },
        { TrackKeys::trackHDR, trackType == TrackTypes::video && FileProbe::isHDRTransfer(stream["color_transfer"].stringValue()) },
        { TrackKeys::trackInterlaced,
          trackType == TrackTypes::video && FileProbe::isInterlacedFieldOrder(stream["field_order"].stringValue()) },
    };
}

}
