#include "compress/Batch.h"
#include "compress/TranscoderCommand.h"
#include "filelist/RowRecord.h"

#include "TestSupport.h"

#include <QtTest>

namespace {

QVariantMap row(const QString &path, qint64 fileSize, double duration, bool audio, bool surround = false)
{
    return { { RowKeys::filePath, path },         { RowKeys::fileSize, fileSize },
             { RowKeys::duration, duration },     { RowKeys::hasAudioTrack, audio },
             { RowKeys::hasAudioTrackWhichHasMoreThanTwoChannels, surround },
             { RowKeys::videoWidth, qint64(1920) }, { RowKeys::videoHeight, qint64(1080) } };
}

const QStringList fixedHead { "-i", "/in/a.mov", "-sn", "-dn", "-map_chapters", "-1", "-map_metadata", "-1",
                              "-pix_fmt", "yuv420p", "-avoid_negative_ts", "1" };

}

class TestTranscoderCommand : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data()
    {
        QTest::addColumn<bool>("audio");
        QTest::addColumn<bool>("surround");
        QTest::addColumn<double>("resolution");
        QTest::addColumn<QStringList>("tail"); // after the fixed head

        QTest::newRow("stereo") << true << false << 100.0
                                << QStringList { "-b:v", "600.0k", "-b:a", "128.0k", "-y", "/out/F/a.mp4" };
        QTest::newRow("5.1 down-mixed") << true << true << 100.0
                                        << QStringList { "-ac", "2", "-b:v", "600.0k", "-b:a", "128.0k", "-y", "/out/F/a.mp4" };
        QTest::newRow("no audio") << false << false << 100.0 << QStringList { "-b:v", "728.0k", "-y", "/out/F/a.mp4" };
        // Without audio the surround flag alone must not down-mix anything.
        QTest::newRow("no audio, stale surround flag") << false << true << 100.0
                                                       << QStringList { "-b:v", "728.0k", "-y", "/out/F/a.mp4" };
        QTest::newRow("scaled to 50") << true << false << 50.0
                                      << QStringList { "-b:v", "600.0k", "-b:a", "128.0k", "-vf",
                                                       "scale=960:540,setsar=1:1", "-y", "/out/F/a.mp4" };
    }

    void arguments()
    {
        QFETCH(bool, audio);
        QFETCH(bool, surround);
        QFETCH(double, resolution);
        QFETCH(QStringList, tail);

        const QStringList list = TranscoderCommand::transcoderArguments(
            "/in/a.mov", "/out/F/a.mp4", row("/in/a.mov", 100'000'000, 600, audio, surround), 100'000'000, 55, resolution);
        QCOMPARE(list, fixedHead + tail);
    }

    void outputNames_data()
    {
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QStringList>("names");

        QTest::newRow("last extension only") << QStringList { "/v/holiday.2019.mov" } << QStringList { "holiday.2019.mp4" };
        QTest::newRow("no extension") << QStringList { "/in/clip" } << QStringList { "clip.mp4" };
        QTest::newRow("upper-case mp4") << QStringList { "/in/clip.MP4" } << QStringList { "clip.mp4" };
        QTest::newRow("dot file") << QStringList { "/in/.hidden" } << QStringList { ".hidden.mp4" };
        QTest::newRow("same name, three folders")
            << QStringList { "/a/clip.mov", "/b/clip.mkv", "/c/clip.avi" }
            << QStringList { "clip.mp4", "clip (2).mp4", "clip (3).mp4" };
        QTest::newRow("others unchanged") << QStringList { "/a/clip.mov", "/a/other.mov", "/b/clip.mov", "/b/last.avi" }
                                          << QStringList { "clip.mp4", "other.mp4", "clip (2).mp4", "last.mp4" };
        QTest::newRow("differing only in case") << QStringList { "/a/Clip.mov", "/b/clip.mkv" }
                                                << QStringList { "Clip.mp4", "clip (2).mp4" };
        // Percent signs in a name are text, not placeholders.
        QTest::newRow("percent signs") << QStringList { "/a/50%1 off.mov", "/b/50%1 off.mov" }
                                       << QStringList { "50%1 off.mp4", "50%1 off (2).mp4" };
        // A numbered name already taken by a real input is skipped, not reused.
        QTest::newRow("numbered name taken") << QStringList { "/a/clip (2).mov", "/a/clip.mov", "/b/clip.mov" }
                                             << QStringList { "clip (2).mp4", "clip.mp4", "clip (3).mp4" };
    }

    void outputNames()
    {
        QFETCH(QStringList, inputs);
        QFETCH(QStringList, names);

        QStringList expected;
        for (const QString &name : names)
            expected.append("/out/F/" + name);
        QCOMPARE(TranscoderCommand::outputPaths("/out/F", inputs), expected);
        if (inputs.size() == 1)
            QCOMPARE(TranscoderCommand::outputFileName(inputs.first()), names.first());
    }

    void argumentListsLine_data()
    {
        QTest::addColumn<QList<QStringList>>("lists");
        QTest::addColumn<QString>("line");

        QTest::newRow("none") << QList<QStringList> {} << "[]";
        QTest::newRow("two lists") << QList<QStringList> { { "-i", "/in/a.mov", "-sn" }, { "-i", "/in/b.mov" } }
                                   << "[[\"-i\", \"/in/a.mov\", \"-sn\"], [\"-i\", \"/in/b.mov\"]]";
        QTest::newRow("escapes") << QList<QStringList> { { "/in/say \"hi\".mov", "back\\slash", "two\nlines" } }
                                 << "[[\"/in/say \\\"hi\\\".mov\", \"back\\\\slash\", \"two\\nlines\"]]";
    }

    void argumentListsLine()
    {
        QFETCH(QList<QStringList>, lists);
        QFETCH(QString, line);
        QCOMPARE(argumentListsText(lists), line);
    }

    // Every row of a batch is planned against the smallest file, each with its
    // own duration, and colliding names are numbered.
    void planBatchUsesSmallestFile()
    {
        const QList<QVariantMap> rows { row("/a/clip.mov", 200'000'000, 600, true), row("/b/clip.mkv", 80'000'000, 300, false) };
        const Batch batch = planBatch(rows, "/out/F", 55, 100);

        QCOMPARE(batch.count(), 2);
        QCOMPARE(batch.inputs, (QStringList { "/a/clip.mov", "/b/clip.mkv" }));
        QCOMPARE(batch.outputs, (QStringList { "/out/F/clip.mp4", "/out/F/clip (2).mp4" }));
        QCOMPARE(batch.durations, (QList<double> { 600, 300 }));
        QCOMPARE(batch.targetSizes, (QList<qint64> { 44'000'000, 44'000'000 }));
        // 44 MB over 600 s: T = 583; over 300 s without audio: T = 1165.
        QVERIFY(batch.argumentLists.at(0).join(' ').endsWith("-b:v 455.0k -b:a 128.0k -y /out/F/clip.mp4"));
        QVERIFY(batch.argumentLists.at(1).join(' ').endsWith("-b:v 1165.0k -y /out/F/clip (2).mp4"));

        QCOMPARE(planBatch({}, "/out/F", 55, 100).count(), 0);
    }

    void listedInputInside_data()
    {
        QTest::addColumn<QString>("chosen"); // relative to the temporary folder
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QString>("found"); // empty: none

        QTest::newRow("the folder is an input") << "a/b" << QStringList { "a/b" } << "a/b";
        QTest::newRow("input at depth") << "a" << QStringList { "x.mp4", "a/b/deep/v.mp4" } << "a/b/deep/v.mp4";
        QTest::newRow("trailing slash") << "a/b/" << QStringList { "a/b/v.mp4" } << "a/b/v.mp4";
        QTest::newRow("common prefix only") << "a/b" << QStringList { "a/bc/x.mp4", "a/b.mp4" } << "";
        QTest::newRow("input above the folder") << "a/b" << QStringList { "a/v.mp4" } << "";
        QTest::newRow("link to a file inside") << "a/b" << QStringList { "link.mp4" } << "link.mp4";
        QTest::newRow("folder reached through a link") << "linkdir" << QStringList { "a/b/v.mp4" } << "a/b/v.mp4";
        QTest::newRow("not there yet") << "new/Compressed Files" << QStringList { "a/b/v.mp4" } << "";
    }

    void listedInputInside()
    {
        QFETCH(QString, chosen);
        QFETCH(QStringList, inputs);
        QFETCH(QString, found);

        QTemporaryDir dir;
        const QString root = dir.path() + '/';
        QVERIFY(QDir().mkpath(root + "a/b/deep") && QDir().mkpath(root + "a/bc"));
        for (const QString &file : { "a/b/v.mp4", "a/b/deep/v.mp4", "a/bc/x.mp4", "a/b.mp4", "a/v.mp4", "x.mp4" }) {
            QFile f(root + file);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(root + "a/b/v.mp4", root + "link.mp4"));
        QVERIFY(QFile::link(root + "a/b", root + "linkdir"));

        QStringList absolute;
        for (const QString &input : inputs)
            absolute.append(root + input);
        const auto result = OutputFolder::listedInputInside(root + chosen, absolute);
        QCOMPARE(result.value_or(QString()), found.isEmpty() ? QString() : root + found);
    }

    void prepare()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("Compressed Files");

        // An existing folder is replaced by an empty one.
        QVERIFY(QDir().mkpath(folder + "/old/inner"));
        QVERIFY(OutputFolder::prepare(folder));
        QVERIFY(QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

        // So is a plain file of that name.
        const QString file = dir.filePath("plain");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(OutputFolder::prepare(file));
        QVERIFY(QFileInfo(file).isDir());

        // Missing parents are not made; the failure is a diagnostic line.
        TestSupport::DiagnosticCapture capture;
        QVERIFY(!OutputFolder::prepare(dir.filePath("missing/parent")));
        QCOMPARE(capture.lines().size(), 1);
        QVERIFY(capture.lines().first().startsWith("An error took place: "));
    }
};

QTEST_GUILESS_MAIN(TestTranscoderCommand)
#include "TestTranscoderCommand.moc"
