#include "compress/Planning.h"
#include "filelist/RowRecord.h"
#include "util/TextFormat.h"

#include <QtTest>

namespace {

QVariantMap row(qint64 fileSize, double duration, bool audio, qint64 width = 1920, qint64 height = 1080)
{
    return { { RowKeys::fileSize, fileSize },   { RowKeys::duration, duration },
             { RowKeys::hasAudioTrack, audio }, { RowKeys::videoWidth, width },
             { RowKeys::videoHeight, height } };
}

}

class TestPlanning : public QObject
{
    Q_OBJECT

private slots:
    void sizeLabels_data()
    {
        QTest::addColumn<QList<qint64>>("fileSizes");
        QTest::addColumn<double>("percent");
        QTest::addColumn<qint64>("reference");
        QTest::addColumn<QStringList>("labels"); // target, left, middle, right
        QTest::addColumn<qint64>("target");

        QTest::newRow("one file at 55") << QList<qint64> { 100'000'000 } << 55.0 << qint64(100'000'000)
                                        << QStringList { "55 MB", "10 MB", "55 MB", "100 MB" } << qint64(55'000'000);
        QTest::newRow("smallest of two") << QList<qint64> { 200'000'000, 80'000'000 } << 55.0 << qint64(80'000'000)
                                         << QStringList { "44 MB", "8 MB", "44 MB", "80 MB" } << qint64(44'000'000);
        // Bytes are truncated before formatting: 33.3 % of 1,000,001 bytes.
        QTest::newRow("fractional slider") << QList<qint64> { 1'000'001 } << 33.3 << qint64(1'000'001)
                                           << QStringList { "333 KB", "100 KB", "550 KB", "1 MB" } << qint64(333'000);
        QTest::newRow("no rows") << QList<qint64> {} << 55.0 << qint64(0)
                                 << QStringList { "0 bytes", "0 bytes", "0 bytes", "0 bytes" } << qint64(0);
    }

    void sizeLabels()
    {
        QFETCH(QList<qint64>, fileSizes);
        QFETCH(double, percent);
        QFETCH(qint64, reference);
        QFETCH(QStringList, labels);
        QFETCH(qint64, target);

        QList<QVariantMap> rows;
        for (qint64 size : fileSizes)
            rows.append(row(size, 600, true));
        QCOMPARE(Planning::referenceFileSize(rows), reference);
        const Planning::SizeLabels shown = Planning::sizeLabels(reference, percent);
        QCOMPARE((QStringList { shown.target, shown.left, shown.middle, shown.right }), labels);
        QCOMPARE(Planning::targetBytes(reference, percent), target);
    }

    // Bitrates are compared as their decimal text: exact, and what the
    // transcoder is given.
    void bitrates_data()
    {
        QTest::addColumn<double>("percent");
        QTest::addColumn<double>("duration");
        QTest::addColumn<bool>("audio");
        QTest::addColumn<QString>("video");
        QTest::addColumn<QString>("audioRate"); // empty: none

        // 100,000,000 bytes throughout; T = 728, 132, 368, 369.
        QTest::newRow("T=728 with audio") << 55.0 << 600.0 << true << "600.0" << "128.0";
        QTest::newRow("T=728 without audio") << 55.0 << 600.0 << false << "728.0" << "";
        QTest::newRow("T=132 with audio") << 10.0 << 600.0 << true << "84.47999999999999" << "42.239999999999995";
        QTest::newRow("T=132 without audio") << 10.0 << 600.0 << false << "132.0" << "";
        QTest::newRow("T=368 splits") << 55.0 << 1187.6 << true << "235.51999999999998" << "117.75999999999999";
        QTest::newRow("T=369 keeps 128") << 55.0 << 1184.4 << true << "241.0" << "128.0";
        QTest::newRow("T=369 without audio") << 55.0 << 1184.4 << false << "369.0" << "";
    }

    void bitrates()
    {
        QFETCH(double, percent);
        QFETCH(double, duration);
        QFETCH(bool, audio);
        QFETCH(QString, video);
        QFETCH(QString, audioRate);

        const Planning::Bitrates plan = Planning::planBitrates(row(100'000'000, duration, audio), 100'000'000, percent);
        QCOMPARE(TextFormat::decimalText(plan.video), video);
        QCOMPARE(plan.audio ? TextFormat::decimalText(*plan.audio) : QString(), audioRate);
    }

    void resolution_data()
    {
        QTest::addColumn<double>("percent");
        QTest::addColumn<qint64>("width");
        QTest::addColumn<qint64>("height");
        QTest::addColumn<qint64>("outWidth");
        QTest::addColumn<qint64>("outHeight");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("scaling");

        QTest::newRow("50% of 1080p") << 50.0 << qint64(1920) << qint64(1080) << qint64(960) << qint64(540) << "50%" << true;
        QTest::newRow("33% of 720p") << 33.0 << qint64(1280) << qint64(720) << qint64(422) << qint64(238) << "33%" << true;
        QTest::newRow("75% of 1366x768") << 75.0 << qint64(1366) << qint64(768) << qint64(1024) << qint64(576) << "75%" << true;
        QTest::newRow("99.6% of 1080p") << 99.6 << qint64(1920) << qint64(1080) << qint64(1912) << qint64(1076) << "99%" << true;
        QTest::newRow("100% of an odd size") << 100.0 << qint64(641) << qint64(361) << qint64(642) << qint64(362) << "100%" << false;
        QTest::newRow("1% of 160x120") << 1.0 << qint64(160) << qint64(120) << qint64(2) << qint64(2) << "1%" << true;
        // 10% of 1920x8 would round the height to 0, which the scaler reads as "keep it".
        QTest::newRow("a side never rounds to 0") << 10.0 << qint64(1920) << qint64(8) << qint64(192) << qint64(2) << "10%" << true;
    }

    void resolution()
    {
        QFETCH(double, percent);
        QFETCH(qint64, width);
        QFETCH(qint64, height);
        QFETCH(qint64, outWidth);
        QFETCH(qint64, outHeight);
        QFETCH(QString, label);
        QFETCH(bool, scaling);

        const Planning::Dimensions size = Planning::outputDimensions(row(1, 1, false, width, height), percent);
        QCOMPARE(size.width, outWidth);
        QCOMPARE(size.height, outHeight);
        QCOMPARE(Planning::resolutionLabel(percent), label);
        QCOMPARE(Planning::isScaling(percent), scaling);
    }
};

QTEST_GUILESS_MAIN(TestPlanning)
#include "TestPlanning.moc"
