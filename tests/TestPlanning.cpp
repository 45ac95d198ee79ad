#include "compress/Batch.h"
#include "compress/PictureChoice.h"
#include "compress/RowEncoder.h"
#include "compress/Planning.h"
#include "compress/TranscoderCommand.h"
#include "filelist/RowRecord.h"
#include "probe/TrackTables.h"
#include "util/TextFormat.h"

#include <QtTest>

#include <array>

namespace {

// A row with its colour and scan as a probe reports them: "transfer primaries matrix field-order".
QVariantMap source(QVariantMap row, const QString &colour)
{
    const QStringList values = colour.split(' ');
    const QString keys[] = { RowKeys::videoTransfer, RowKeys::videoPrimaries, RowKeys::videoMatrix, RowKeys::videoFieldOrder };
    for (int k = 0; k < 4; ++k)
        row[keys[k]] = values.value(k);
    return row;
}

QVariantMap row(double duration, bool audio, QSize size = { 1920, 1080 }, bool surround = false,
                qint64 fileSize = 100'000'000, const QString &path = "/in/a.mov")
{
    return source({ { RowKeys::filePath, path }, { RowKeys::fileSize, fileSize }, { RowKeys::duration, duration },
                    { RowKeys::hasAudioTrack, audio }, { RowKeys::hasAudioTrackWhichHasMoreThanTwoChannels, surround },
                    { RowKeys::videoWidth, qint64(size.width()) }, { RowKeys::videoHeight, qint64(size.height()) } },
                  "bt709 bt709 bt709 progressive");
}

const QString toneMapped = "zscale=tin=%1:pin=%2:min=%3:t=linear:npl=203,format=gbrpf32le,zscale=p=bt709,"
                           "tonemap=tonemap=mobius:desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p";
const QString bt709Tags = "-color_primaries bt709 -color_trc bt709 -colorspace bt709";
const QStringList head { "-i", "/in/a.mov", "-sn", "-dn", "-map_chapters", "-1", "-map_metadata", "-1",
                         "-pix_fmt", "yuv420p", "-avoid_negative_ts", "1" };

QStringList planned(const QVariantMap &row, const TranscoderCommand::Choices &choices)
{
    return TranscoderCommand::planRow("/in/a.mov", "/out/a.mp4", row, Planning::Target::ofSmallest(55).bytes(100'000'000), choices)
        .plannedArguments();
}

}

// What is decided before the transcoder runs: labels, argument lists, output names, and the texts of the numbers in them.
class TestPlanning : public QObject
{
    Q_OBJECT

private slots:
    // Byte counts go to the user, the size labels among them; decimal texts to the transcoder.
    void texts()
    {
        using namespace TextFormat;
        const Planning::SizeLabels labels = Planning::sizeLabels(100'000'000, 30);
        const std::pair<QString, QString> cases[] = {
            { QStringList { labels.target, labels.left, labels.middle, labels.right }.join(", "), "30 MB, 10 MB, 55 MB, 100 MB" },
            { Planning::resolutionLabel(99.6), "99%" },
            { decimalText(1e-7), "0.0000001" }, // plain notation, never an exponent
            { byteCountText(1), "1 byte" },
            { byteCountText(1500), "2 KB" }, // half up
            { byteCountText(999999), "1 MB" }, // not "1000 KB", nor "1.0 MB"
            { byteCountText(1005000000), "1.01 GB" }, // half up, exactly
            { byteCountText(INT64_MAX), "9223372.04 TB" }, // no overflow
            // A close call shows the digits that tell the two apart, and no more.
            { byteCountTextApart(42'310, 42'140), "42.3 KB" },
            { byteCountTextApart(1'000'001, 1'000'000), "1.000001 MB" },
            { byteCountTextApart(43'000, 42'140), "43 KB" }, // apart as they are
            { byteCountTextApart(999'999, 1'000'000), "0.999999 MB" }, // both "1 MB": the larger's unit
            { percentOverText(42'310, 42'140), "0.4 %" },
            { percentOverText(100'004, 100'000), "0.004 %" },
            { percentOverText(99, 100), "0 %" },
        };
        for (const auto &[text, expected] : cases)
            QCOMPARE(text, expected);
    }

    // 100,000,000 bytes at 55 % over 600 s give T = 728 kbit/s; over 1187.6 s, T = 368, the last
    // total that audio takes a third of; over 1184.4 s, T = 369. Automatic audio follows the budget:
    // 10 % of the total within 32 to 128 kb/s, a third at most, mono below 48.
    void arguments()
    {
        // Between the fixed head and "-y" with the output.
        const auto check = [](const char *name, const QVariantMap &row, double resolution, bool automaticAudio, const QString &middle) {
            TranscoderCommand::Choices choices { .resolutionPercent = resolution, .automaticAudio = automaticAudio };
            QCOMPARE(name + (": " + planned(row, choices).join(' ')), name + (": " + (head + middle.split(' ') + QStringList { "-y", "/out/a.mp4" }).join(' ')));
            // Turned off, both leave the list as for any progressive SDR row.
            const QStringList asSdr = planned(source(row, "bt709 bt709 bt709 progressive"), choices);
            choices.filters = { false, false };
            QVERIFY2(planned(row, choices) == asSdr, name);
        };
        check("T=368", row(1187.6, true), 100, false, "-b:v 235.51999999999998k -b:a 117.75999999999999k");
        check("T=369", row(1184.4, true), 100, false, "-b:v 241.0k -b:a 128.0k");
        check("T=728, 5.1, 50% of 1920x1080", row(600, true, { 1920, 1080 }, true), 50, false, "-ac 2 -b:v 600.0k -b:a 128.0k -vf scale=960:540,setsar=1:1");
        check("75% of 1366x768, stale 5.1 flag", row(600, false, { 1366, 768 }, true), 75, false, "-b:v 728.0k -vf scale=1024:576,setsar=1:1");
        check("99.6% of 1920x1080", row(600, false), 99.6, false, "-b:v 728.0k -vf scale=1912:1076,setsar=1:1");
        // 4:2:0 takes no odd side: a pixel goes at full size; a scaled size is even already.
        check("321x241", row(600, false, { 321, 241 }), 100, false, "-b:v 728.0k -vf crop=trunc(iw/2)*2:trunc(ih/2)*2");
        check("50% of 321x241", row(600, false, { 321, 241 }), 50, false, "-b:v 728.0k -vf scale=160:120,setsar=1:1");
        // HDR is tone-mapped, fields are made frames, both before the scaling, in one chain; the output is tagged BT.709.
        const QVariantMap hlg = source(row(600, false), "arib-std-b67 bt2020 bt2020nc progressive");
        check("HLG", hlg, 100, false, "-b:v 728.0k -vf " + toneMapped.arg("arib-std-b67", "bt2020", "bt2020nc") + ' ' + bt709Tags);
        check("PQ, primaries unknown, interlaced, 50%", source(row(600, false), "smpte2084 unknown  bb"), 50, false,
              "-b:v 728.0k -vf bwdif=mode=send_frame," + toneMapped.arg("smpte2084", "bt2020", "bt2020nc") + ",scale=960:540,setsar=1:1 " + bt709Tags);
        check("interlaced SDR", source(row(600, false), "bt709 bt709 bt709 tt"), 100, false, "-b:v 728.0k -vf bwdif=mode=send_frame");
        check("a name that is no colour name", source(hlg, "arib-std-b67 bt2020,drawtext=x bt2020nc progressive"), 100, false,
              "-b:v 728.0k -vf " + toneMapped.arg("arib-std-b67", "bt2020", "bt2020nc") + ' ' + bt709Tags);
        check("automatic audio, T=728: 72.8 stereo", row(600, true), 100, true, "-b:v 655.2k -b:a 72.8k");
        check("automatic audio, T=368: mono", row(1187.6, true), 100, true, "-ac 1 -b:v 331.2k -b:a 36.800000000000004k");
        check("automatic audio, T=7284: 128 at most", row(60, true), 100, true, "-b:v 7156.0k -b:a 128.0k");
        check("automatic audio, T=73: a third at most", row(6000, true), 100, true, "-ac 1 -b:v 48.66666666666667k -b:a 24.333333333333332k");
    }

    // Each format's list for each kind of run, the planned downmix and filters carried; H.265 has the tag Apple's players want.
    void codecs()
    {
        const QString vf = " -vf scale=960:540,setsar=1:1 ", x265 = "-ac 2 -c:v libx265 -preset fast -b:v ";
        // Middle: between the fixed head and "-y" with the output.
        const auto check = [](const char *name, Codec codec, RunKind kind, const QString &middle, qint64 height = 720, int crf = 0, double variableRate = 0) {
            const RowPlan plan { .input = "/in/a.mov", .output = "/out/a.mp4", .videoKbps = 500, .audioKbps = 64.0, .audioChannels = 2,
                                 .videoFilters = "scale=960:540,setsar=1:1", .codec = codec, .keepFrameTimes = variableRate > 0,
                                 .frameRate = variableRate, .outputFrameRate = variableRate, .height = height };
            const std::optional<double> rate = kind == RunKind::secondPass ? std::optional(400.0) : std::nullopt;
            const QString to = kind == RunKind::firstPass ? "/work/p1.mp4" : "/out/a.mp4";
            QCOMPARE(name + (": " + plan.arguments(to, kind, rate, "/log", crf).join(' ')), name + (": " + (head + middle.split(' ') + QStringList { "-y", to }).join(' ')));
        };
        check("H.264, first of two", Codec::h264, RunKind::firstOfTwo, "-ac 2 -b:v 500.0k -b:a 64.0k" + vf + "-pass 1 -fastfirstpass 0 -passlogfile /log");
        check("H.264, first pass", Codec::h264, RunKind::firstPass, "-b:v 500.0k" + vf + "-an -pass 1 -passlogfile /log");
        check("H.264, second pass", Codec::h264, RunKind::secondPass, "-ac 2 -b:v 400.0k -b:a 64.0k" + vf + "-pass 2 -passlogfile /log");
        check("H.265, single", Codec::h265, RunKind::single, x265 + "500.0k -b:a 64.0k" + vf + "-tag:v hvc1 -x265-params log-level=error");
        check("H.265, first of two", Codec::h265, RunKind::firstOfTwo, x265 + "500.0k -b:a 64.0k" + vf + "-tag:v hvc1 -x265-params log-level=error:pass=1:stats=/log");
        check("H.265, first pass", Codec::h265, RunKind::firstPass, "-c:v libx265 -preset fast -b:v 500.0k" + vf + "-tag:v hvc1 -x265-params log-level=error:pass=1:stats=/log -an");
        check("H.265, second pass", Codec::h265, RunKind::secondPass, x265 + "400.0k -b:a 64.0k" + vf + "-tag:v hvc1 -x265-params log-level=error:pass=2:stats=/log");
        check("AV1, any run is one", Codec::av1, RunKind::secondPass, "-ac 2 -c:v libsvtav1 -preset 10 -b:v 400.0k -b:a 64.0k" + vf.chopped(1));
        check("AV1, 1080p", Codec::av1, RunKind::firstOfTwo, "-ac 2 -c:v libsvtav1 -preset 9 -b:v 500.0k -b:a 64.0k" + vf.chopped(1), 1080);
        check("AV1 at a constant quality", Codec::av1, RunKind::single, "-ac 2 -c:v libsvtav1 -preset 10 -crf 35 -b:a 64.0k" + vf.chopped(1), 720, 35);
        // A variable frame rate keeps its frames; x265 and SVT-AV1 are told its average, which their rates are shared by.
        const QString vfr = vf + "-fps_mode passthrough ";
        check("H.264, variable rate", Codec::h264, RunKind::secondPass, "-ac 2 -b:v 400.0k -b:a 64.0k" + vfr + "-pass 2 -passlogfile /log", 720, 0, 14.054);
        check("H.265, variable rate", Codec::h265, RunKind::secondPass, x265 + "400.0k -b:a 64.0k" + vfr + "-tag:v hvc1 -x265-params log-level=error:pass=2:stats=/log:fps=14.054", 720, 0, 14.054);
        check("AV1, variable rate", Codec::av1, RunKind::single, "-ac 2 -c:v libsvtav1 -preset 10 -b:v 500.0k -b:a 64.0k" + vfr + "-svtav1-params fps-num=14054:fps-denom=1000", 720, 0, 14.054);
    }

    // What a row's plan says to people, and the picture a cap and a size give.
    void pictures()
    {
        RowPlan plan { .videoKbps = 1400, .codec = Codec::h265, .frameRate = 60, .outputFrameRate = 60, .sourceWidth = 1920, .sourceHeight = 1080 };
        const RowPlan capped = plan.withPicture(67, 30);
        QCOMPARE(capped.videoFilters, "fps=30,scale=1286:724,setsar=1:1");
        QCOMPARE(capped.summaryText(), "1920×1080 60 fps → 1286×724 30 fps · H.265 · 1.4 Mb/s");
        QCOMPARE(plan.withPicture(100, 60).videoFilters, QString()); // no cap above the rate it has
        plan.frameRate = plan.outputFrameRate = 29.97;
        plan.codec = Codec::h264;
        plan.videoKbps = 455;
        QCOMPARE(plan.withPicture(100).summaryText(), "1920×1080 29.97 fps · H.264 · 455 kb/s");
    }

    // Where samples are taken, what a scoring line says, and the size chosen from the scores.
    void pictureChoice()
    {
        using PictureChoice::Stretch;
        const auto starts = [](const QList<Stretch> &stretches) {
            QStringList text;
            for (const Stretch &s : stretches)
                text << QString("%1+%2").arg(s.start).arg(s.seconds);
            return text.join(' ');
        };
        QCOMPARE(starts(PictureChoice::stretches(3)), "0+3");
        QCOMPARE(starts(PictureChoice::stretches(30)), "6.5+2 21.5+2");
        QCOMPARE(starts(PictureChoice::stretches(600)), "99+2 299+2 499+2");
        // To the nearest key frame within half a stretch, clear of the stretch before and of the clip's end.
        const auto onKeys = [&](QList<Stretch> parts, QByteArrayView probed, double duration) {
            return starts(PictureChoice::onKeyFrames(parts, PictureChoice::keyFrameTimes(probed), duration));
        };
        QCOMPARE(onKeys({ { 9, 2 } }, "0.000000,K_\n9.960000,__\n10.000000,K_\n", 20), "10+2");
        QCOMPARE(onKeys({ { 1.58, 2 } }, "0.000000,K_\n", 5), "1.58+2");
        QCOMPARE(onKeys({ { 6.5, 2 }, { 21.5, 2 } }, "6.0,K_\n7.2,K_\n21.0,K_\n22.0,K_", 30), "6+2 21+2");
        QCOMPARE(onKeys({ { 3, 2 }, { 5.5, 2 } }, "3,K_\n4.8,K_\n", 10), "3+2 5.5+2");
        QCOMPARE(onKeys({ { 8.5, 2 } }, "9.2,K_\n", 11), "8.5+2");
        QCOMPARE(onKeys({ { 8.5, 2 } }, "Invalid data found when processing input\n", 20), "8.5+2");
        QCOMPARE(PictureChoice::ssimLine("[Parsed_ssim_3 @ 0x55d0] SSIM Y:0.95 U:0.97 V:0.97 All:0.956 (13.565)"), std::optional(std::pair(3, 13.565)));
        QCOMPARE(PictureChoice::ssimLine("frame= 25 fps=0.0 q=28.0 size= 1kB time=00:00:01.00"), std::nullopt);

        const RowPlan plan { .videoKbps = 400, .frameRate = 60, .outputFrameRate = 60, .sourceWidth = 1280, .sourceHeight = 720 };
        const qint64 atRate = 400 * 1000 / 8 * 4; // 4 s sampled at 400 kb/s
        const auto chosen = [&](QList<PictureChoice::Candidate> candidates) {
            const PictureChoice::Choice choice = PictureChoice::choose(plan, candidates, 4);
            return QString("%1x%2@%3").arg(choice.plan.width).arg(choice.plan.height).arg(choice.plan.outputFrameRate);
        };
        QCOMPARE(chosen({ { 100, atRate, 13.9 }, { 67, atRate, 14.2 }, { 50, atRate, 13.1 } }), "858x482@60");
        // Far over its rate at full size: the encoder is at its floor there, whatever its score.
        QCOMPARE(chosen({ { 100, 2 * atRate, 15.0 }, { 67, atRate, 14.2 }, { 50, atRate, 13.1 } }), "858x482@60");
        QCOMPARE(PictureChoice::choose(plan, { { 100, 2 * atRate, 15.0 }, { 67, atRate, 14.2 }, { 50, atRate, 13.1 } }, 4).why,
                 "67 % (SSIM 14.20 dB; 100 %: 15.00 over its rate, 50 %: 13.10)");
        QCOMPARE(chosen({ { 100, 2 * atRate, 15.0 }, { 67, 2 * atRate, 14.2 }, { 50, 2 * atRate, 13.1 } }), "640x360@30");
        QCOMPARE(chosen({}), "1280x720@60");
        // With bits to spare (0.07 per pixel), a smaller picture must win by more than samples favour it.
        const RowPlan plenty { .videoKbps = 4000, .frameRate = 60, .outputFrameRate = 60, .sourceWidth = 1280, .sourceHeight = 720 };
        const qint64 atPlenty = 4000 * 1000 / 8 * 4;
        // The bias grows with the step down: 0.15 dB to 67 %, 0.26 to 50 %, 0.11 from 67 to 50 %.
        const QList<std::pair<std::array<double, 3>, int>> plentyRows {
            { { 13.9, 14.0, 14.0 }, 1280 }, { { 13.9, 14.1, 14.2 }, 858 }, { { 13.9, 14.1, 14.25 }, 640 },
            { { 13.9, 13.95, 14.1 }, 1280 }, { { 13.9, 13.95, 14.2 }, 640 },
        };
        for (const auto &[scores, width] : plentyRows)
            QCOMPARE(PictureChoice::choose(plenty, { { 100, atPlenty, scores[0] }, { 67, atPlenty, scores[1] }, { 50, atPlenty, scores[2] } }, 4).plan.width, width);
        QCOMPARE(chosen({ { 100, atRate, 13.9 }, { 67, atRate, 14.0 }, { 50, atRate, 14.0 } }), "858x482@60"); // starved: any gain goes down
        // Never a picture the format's encoder cannot take: SVT-AV1 none under 64 a side, x265 none under 64 both ways.
        struct Small { Codec codec; int width, height; bool keepToRate; int chosen; };
        for (const Small &s : { Small { Codec::av1, 128, 96, true, 86 }, Small { Codec::av1, 128, 96, false, 86 },
                                Small { Codec::h265, 120, 90, true, 80 }, Small { Codec::h264, 128, 96, true, 64 },
                                Small { Codec::av1, 100, 60, false, 100 } }) {
            const RowPlan small { .videoKbps = 400, .codec = s.codec, .frameRate = 25, .outputFrameRate = 25, .sourceWidth = s.width, .sourceHeight = s.height };
            const qint64 bytes = s.keepToRate ? atRate : 2 * atRate;
            QCOMPARE(PictureChoice::choose(small, { { 100, bytes, 13.9 }, { 67, bytes, 14.2 }, { 50, bytes, 14.5 } }, 4).plan.width, s.chosen);
        }
        // Read at levels, a sample spends what it spends: a little over the rate is over it.
        QCOMPARE(chosen({ { 100, atRate + atRate / 10, 15.0, true }, { 67, atRate, 14.2, true }, { 50, atRate, 13.1, true } }), "858x482@60");
    }

    // Still pictures at x264's levels: the level tried next, those scored, and a size read at the row's bytes.
    void stillLevels()
    {
        using PictureChoice::Level;
        const QList<Level> first { { 26, 40000 }, { 40, 10000 } };
        const struct { const char *name; QList<Level> tried; double bytes; int next; QList<int> scored; } cases[] = { // next 0: none
            { "between: the middle", first, 20000, 33, { 26, 40 } },
            { "between, narrowed to seven: none", first + QList<Level> { { 33, 21000 } }, 20000, 0, { 33, 40 } },
            { "fewer than the highest gives: higher", first, 5000, 47, { 40 } },
            { "more than the lowest gives: lower", first, 60000, 19, { 26 } },
            { "beyond x264's last level: none", { { 51, 9000 } }, 5000, 0, { 51 } },
            { "beyond the least level tried: none", { { 8, 90000 } }, 95000, 0, { 8 } },
        };
        for (const auto &[name, tried, bytes, next, scored] : cases) {
            QCOMPARE(name + QString(": %1").arg(PictureChoice::narrowingLevel(tried, bytes).value_or(0)), name + QString(": %1").arg(next));
            QVERIFY2(PictureChoice::levelsAround(tried, bytes) == scored, name);
        }
        // Read in proportion to the log of the bytes between the scored two; its fewest bytes where it cannot come down to the row's.
        const QList<Level> scored { { 26, 40000, 16.0 }, { 33, 21000, 15.0 }, { 40, 10000, 14.0 } };
        const struct { double bytes; qint64 read; double db; } reads[] = { { 20000, 20000, 14.93 }, { 30000, 30000, 15.55 }, { 8000, 10000, 14.0 }, { 50000, 50000, 16.0 } };
        for (const auto &[bytes, read, db] : reads) {
            QList<Level> two;
            for (const Level &level : scored)
                if (PictureChoice::levelsAround(scored, bytes).contains(level.crf))
                    two << level;
            const PictureChoice::Candidate candidate = PictureChoice::atBytes(67, two + QList<Level> { { 47, 10000 } }, bytes);
            QVERIFY2(candidate.bytes == read && std::abs(candidate.ssimDb.value_or(0) - db) < 0.01 && candidate.atLevels,
                     qPrintable(QString("%1: %2 %3").arg(bytes).arg(candidate.bytes).arg(candidate.ssimDb.value_or(0))));
        }
    }

    // Frames that repeat, from two framecrc logs: all of the stretches' frames, and those mpdecimate kept.
    void repeatedFrames()
    {
        const auto log = [](int frames) {
            QByteArray text = "#tb 0: 1/25\n#media_type 0: video\n";
            for (int i = 0; i < frames; ++i)
                text += "0, " + QByteArray::number(i) + ", " + QByteArray::number(i) + ", 1, 256, 0x3f2a01b1\n";
            return text;
        };
        const struct { const char *name; int frames, changed; bool repeated; } cases[] = {
            { "slides: one change in 50", 50, 1, true },
            { "a screen recording", 60, 5, true },
            { "a slow 60 fps pan", 120, 41, false },
            { "grain", 50, 50, false },
            { "unknown: the skipped blocks decide", 0, 0, true },
        };
        for (const auto &[name, frames, changed, repeated] : cases)
            QVERIFY2(PictureChoice::mostlyRepeated(log(frames), log(changed)) == repeated, name);
    }

    void outputNames()
    {
        const auto names = [](const QStringList &inputs) { return TranscoderCommand::outputPaths("/out", inputs).replaceInStrings("/out/", QString()); };
        QCOMPARE(names({ "/v/holiday.2019.mov", "/v/clip", "/v/UP.MP4", "/v/.hidden" }), (QStringList { "holiday.2019.mp4", "clip.mp4", "UP.mp4", ".hidden.mp4" }));
        // Numbered past the names taken in any case, a numbered one included; percent signs are text.
        QCOMPARE(names({ "/a/clip (2).mov", "/a/clip.mov", "/b/Clip.mkv", "/a/50%1.mov", "/b/50%1.mov" }),
                 (QStringList { "clip (2).mp4", "clip.mp4", "Clip (3).mp4", "50%1.mp4", "50%1 (2).mp4" }));
        // A name the file system would refuse is shortened on a character boundary, and stays unique.
        const QString longStem = QString(250, 'a') + QString::fromUtf8("éé");
        QCOMPARE(names({ "/a/" + longStem + ".mov", "/b/" + longStem + ".mkv" }), (QStringList { QString(250, 'a') + ".mp4", QString(247, 'a') + " (2).mp4" }));
    }

    // Every row aims at the same share of the smallest file, over its own duration; a target in bytes plans the same runs.
    void batch()
    {
        const QList<QVariantMap> rows { row(600, true, {}, false, 200'000'000, "/a/clip.mov"), row(300, false, {}, false, 80'000'000, "/b/clip.mkv") };
        const Batch batch = Batch::plan(rows, "/out", Planning::Target::ofSmallest(55));
        QCOMPARE(batch.rows.at(0).output, "/out/clip.mp4");
        QCOMPARE(batch.rows.at(1).output, "/out/clip (2).mp4");
        QVERIFY(batch.rows.at(0).targetBytes == 44'000'000 && batch.rows.at(1).targetBytes == 44'000'000);
        // 44 MB over 600 s: T = 583; over 300 s: T = 1165.
        const QList<QStringList> lists = batch.plannedArgumentLists();
        QCOMPARE(lists.at(0).mid(12, 4), (QStringList { "-b:v", "455.0k", "-b:a", "128.0k" }));
        QCOMPARE(lists.at(1).mid(12, 2), (QStringList { "-b:v", "1165.0k" }));
        const Batch inBytes = Batch::plan(rows, "/out", Planning::Target::exactly(44'000'000));
        QCOMPARE(inBytes.plannedArgumentLists(), lists);
        QCOMPARE(inBytes.rows.at(1).targetBytes, batch.rows.at(1).targetBytes);
        QCOMPARE(Batch::argumentListsText({ { "-i", "say \"hi\".mov" }, { "back\\slash", "two\nlines" } }),
                 QStringLiteral("[[\"-i\", \"say \\\"hi\\\".mov\"], [\"back\\\\slash\", \"two\\nlines\"]]"));
    }

    // A file already under a target in bytes is never grown: copied as it is where an .mp4 takes its streams and nothing
    // is to change, else encoded at its own size.
    void alreadyFits()
    {
        const auto track = [](const QString &type, const QString &codec, const QVariantMap &stream) {
            return QVariantMap { { TrackKeys::trackType, type }, { TrackKeys::trackCodec, codec }, { TrackKeys::trackDictionary, stream } };
        };
        const auto tracks = [&](QVariantMap row, const QString &video, const QString &audio, bool cover = false) {
            QVariantList list { track(TrackTypes::video, video, { { "codec_type", "video" } }) };
            if (!audio.isEmpty())
                list << track(TrackTypes::audio, audio, { { "codec_type", "audio" } });
            if (cover)
                list << track(TrackTypes::poster, "mjpeg", { { "codec_type", "video" }, { "disposition", QVariantMap { { "attached_pic", 1 } } } });
            row[RowKeys::tracksInfo] = list;
            return row;
        };
        // Expected: "copy", "copy hvc1", "own size" or "target"; resolution: a percent, or "auto".
        const auto check = [](const char *name, const QVariantMap &input, const QString &expected, const QString &resolution = "100", qint64 target = 10'485'760) {
            const bool automatic = resolution == "auto";
            const TranscoderCommand::Choices choices { .resolutionPercent = automatic ? 100 : resolution.toDouble(), .automaticPicture = automatic };
            const RowPlan plan = Batch::plan({ input }, "/out", Planning::Target::exactly(target), choices).rows.at(0);
            QVERIFY2(plan.targetBytes == target, name); // held to what was asked
            const RowPlan own = TranscoderCommand::planRow("/in/a.mov", "/out/a.mp4", input, 5'000'000, choices);
            const QStringList first = RowEncoder::firstRuns(plan, 0, Passes::automatic, "/out/.work").at(0);
            if (expected.startsWith("copy")) {
                QVERIFY2(plan.alreadyFits && plan.copiesStreams && plan.summaryText().endsWith("already fits: copied as it is"), name);
                QCOMPARE(first.mid(2).join(' '), QString("-sn -dn -map_chapters -1 -map_metadata -1 -c copy %1-y /out/a.mp4")
                                                     .arg(expected.endsWith("hvc1") ? "-tag:v hvc1 " : ""));
            } else {
                QVERIFY2(plan.alreadyFits == (expected == "own size") && !plan.copiesStreams && !first.contains("copy"), name);
                QVERIFY2(qFuzzyCompare(plan.videoKbps, expected == "own size" ? own.videoKbps
                                                                            : TranscoderCommand::planRow("/in/a.mov", "/out/a.mp4", input, double(target), choices).videoKbps),
                         name);
            }
        };
        const QVariantMap small = row(60, true, {}, false, 5'000'000);
        check("h264 aac", tracks(small, "h264", "aac"), "copy");
        check("hevc, Apple's tag", tracks(small, "hevc", "ac3"), "copy hvc1");
        check("automatic picture", tracks(small, "h264", "aac"), "copy", "auto");
        check("opus sound", tracks(small, "h264", "opus"), "own size");
        check("vp8 picture", tracks(small, "vp8", ""), "own size");
        check("cover picture", tracks(small, "h264", "aac", true), "own size");
        check("lower resolution", tracks(small, "h264", "aac"), "own size", "50");
        check("interlaced", source(tracks(small, "h264", "aac"), "bt709 bt709 bt709 tt"), "own size");
        check("HDR", source(tracks(small, "hevc", "aac"), "smpte2084 bt2020 bt2020nc progressive"), "own size");
        // Exactly the target is not under it: the slider's 100 % plans as it always has.
        check("exactly the target", tracks(small, "h264", "aac"), "target", "100", 5'000'000);
    }
};

QTEST_GUILESS_MAIN(TestPlanning)
#include "TestPlanning.moc"
