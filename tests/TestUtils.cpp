#include "util/Paths.h"
#include "util/TextFormat.h"
#include "util/Utils.h"

#include "TestSupport.h"

#include <QtTest>

#include <cstdlib>

namespace {

// The progress reader's clock pattern.
const QString clockPattern = QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])");

}

class TestUtils : public QObject
{
    Q_OBJECT

private slots:
    void regexMatches_data();
    void regexMatches();
    void invalidRegex();
    void secondsFromClockText_data();
    void secondsFromClockText();
    void decimalText_data();
    void decimalText();
    void byteCountText_data();
    void byteCountText();
    void paths_data();
    void paths();
};

void TestUtils::regexMatches_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("matches");

    QTest::newRow("progress line") << clockPattern
                                   << "frame=  100 fps= 25 q=28.0 size=     256kB time=00:00:04.00 bitrate= 524.3kbits/s"
                                   << QStringList { "00:00:04.00" };
    QTest::newRow("two clocks in order") << clockPattern << "Duration: 00:01:30.25, start ... time=00:00:02.50"
                                         << QStringList { "00:01:30.25", "00:00:02.50" };
    QTest::newRow("not available") << clockPattern << "size=N/A time=N/A bitrate=N/A speed=N/A" << QStringList {};
    QTest::newRow("empty text") << clockPattern << "" << QStringList {};
    QTest::newRow("any separator matches") << clockPattern << "time=00:00:04,00" << QStringList { "00:00:04,00" };
    QTest::newRow("dot stops at line end") << clockPattern << "00:00:04\n00" << QStringList {};
    QTest::newRow("after non-ASCII text") << clockPattern << QStringLiteral("Vid\u00e9o \U0001F3AC time=00:00:01.00")
                                          << QStringList { "00:00:01.00" };
    QTest::newRow("no overlaps") << "aa" << "aaaaa" << QStringList { "aa", "aa" };
    QTest::newRow("case-sensitive") << "Time" << "time=00:00:01.00" << QStringList {};
}

void TestUtils::regexMatches()
{
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(QStringList, matches);

    const TestSupport::DiagnosticCapture capture;
    QCOMPARE(Utils::regexMatches(pattern, text), matches);
    QCOMPARE(capture.lines(), QStringList {});
}

void TestUtils::invalidRegex()
{
    for (const QString &pattern : { QStringLiteral("[0-9"), QStringLiteral("(a"), QStringLiteral("*") }) {
        const TestSupport::DiagnosticCapture capture;
        QCOMPARE(Utils::regexMatches(pattern, QStringLiteral("[0-9 (a *")), QStringList {});
        const QStringList lines = capture.lines();
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(QLatin1String("invalid regex: ")), qPrintable(lines.first()));
        QVERIFY(lines.first().size() > int(qstrlen("invalid regex: ")));
        QVERIFY(!lines.first().contains(QLatin1Char('\n')));
    }
}

void TestUtils::secondsFromClockText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("seconds"); // invalid: nothing

    QTest::newRow("zero") << "00:00:00.00" << QVariant(0.0);
    QTest::newRow("half second") << "00:00:12.50" << QVariant(12.5);
    QTest::newRow("minute") << "00:01:02.50" << QVariant(62.5);
    QTest::newRow("hour") << "01:00:00.00" << QVariant(3600.0);
    QTest::newRow("all parts") << "00:10:20.30" << QVariant(620.3);
    QTest::newRow("longest") << "99:59:59.99" << QVariant(359999.99);
    QTest::newRow("long hours") << "100:00:01.00" << QVariant(360001.0);

    const QVariant nothing;
    QTest::newRow("not available") << "N/A" << nothing;
    QTest::newRow("empty") << "" << nothing;
    QTest::newRow("no hundredths") << "00:00:04" << nothing;
    QTest::newRow("empty hundredths") << "00:00:04." << nothing;
    QTest::newRow("comma separator") << "00:00:04,00" << nothing;
    QTest::newRow("no clock") << "12.50" << nothing;
    QTest::newRow("letters") << "aa:bb:cc.dd" << nothing;
    QTest::newRow("leading blank") << " 0:00:04.00" << nothing;
    QTest::newRow("trailing newline") << "00:00:04.00\n" << nothing;
    QTest::newRow("trailing letters") << "00:00:04.00x" << nothing;
    QTest::newRow("hex") << "0x1:00:00.00" << nothing;
    QTest::newRow("infinity") << "inf:00:00.00" << nothing;
}

void TestUtils::secondsFromClockText()
{
    QFETCH(QString, text);
    QFETCH(QVariant, seconds);

    const std::optional<double> result = Utils::secondsFromClockText(text);
    QCOMPARE(result.has_value(), seconds.isValid());
    if (result)
        QCOMPARE(*result, seconds.toDouble());
}

void TestUtils::decimalText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("integral") << 600.0 << "600.0";
    QTest::newRow("shortest round trip") << 84.47999999999999 << "84.47999999999999";
    QTest::newRow("half") << 30.5 << "30.5";
    QTest::newRow("zero") << 0.0 << "0.0";
    QTest::newRow("five") << 5.0 << "5.0";
    QTest::newRow("repeating") << 100.83333333333333 << "100.83333333333333";
    QTest::newRow("one tenth") << 0.1 << "0.1";
    QTest::newRow("small, plain notation") << 1e-7 << "0.0000001";
    QTest::newRow("negative") << -2.25 << "-2.25";
    QTest::newRow("2^53") << 9007199254740992.0 << "9007199254740992.0";
    QTest::newRow("1e21, plain notation") << 1e21 << "1000000000000000000000.0";
    QTest::newRow("third") << 1000.0 / 3 << "333.3333333333333";
    // Only round-tripping is required of these; the texts are long.
    QTest::newRow("largest") << std::numeric_limits<double>::max() << QString();
    QTest::newRow("smallest") << std::numeric_limits<double>::denorm_min() << QString();
    QTest::newRow("-1e300") << -1e300 << QString();
}

void TestUtils::decimalText()
{
    QFETCH(double, value);
    QFETCH(QString, text);

    const QString result = TextFormat::decimalText(value);
    if (!text.isNull())
        QCOMPARE(result, text);
    // Plain notation, a digit on each side of the point, and the same double back.
    QVERIFY2(QRegularExpression(QStringLiteral("^-?[0-9]+\\.[0-9]+$")).match(result).hasMatch(), qPrintable(result));
    QCOMPARE(std::strtod(result.toLatin1().constData(), nullptr), value);
}

void TestUtils::byteCountText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << qint64(0) << "0 bytes";
    QTest::newRow("one") << qint64(1) << "1 byte";
    QTest::newRow("two") << qint64(2) << "2 bytes";
    QTest::newRow("999") << qint64(999) << "999 bytes";
    QTest::newRow("1000") << qint64(1000) << "1 KB";
    QTest::newRow("1,499") << qint64(1499) << "1 KB";
    QTest::newRow("1,500 half up") << qint64(1500) << "2 KB";
    QTest::newRow("2,500 half up") << qint64(2500) << "3 KB";
    QTest::newRow("999,499") << qint64(999499) << "999 KB";
    QTest::newRow("999,500 to MB") << qint64(999500) << "1 MB";
    QTest::newRow("999,999 to MB") << qint64(999999) << "1 MB";
    QTest::newRow("1,234,567") << qint64(1234567) << "1.2 MB";
    QTest::newRow("1,250,000 half up") << qint64(1250000) << "1.3 MB";
    QTest::newRow("1,249,999") << qint64(1249999) << "1.2 MB";
    QTest::newRow("55,000,000") << qint64(55000000) << "55 MB";
    QTest::newRow("999,949,999") << qint64(999949999) << "999.9 MB";
    QTest::newRow("999,950,000 to GB") << qint64(999950000) << "1 GB";
    QTest::newRow("1,234,567,890") << qint64(1234567890) << "1.23 GB";
    QTest::newRow("1,200,000,000 trailing zero") << qint64(1200000000) << "1.2 GB";
    QTest::newRow("1,005,000,000 half up") << qint64(1005000000) << "1.01 GB";
    QTest::newRow("1,004,999,999") << qint64(1004999999) << "1 GB";
    QTest::newRow("999,995,000,000 to TB") << Q_INT64_C(999995000000) << "1 TB";
    QTest::newRow("2,345,678,901,234") << Q_INT64_C(2345678901234) << "2.35 TB";
    QTest::newRow("1,000 TB stays TB") << Q_INT64_C(1000000000000000) << "1000 TB";
    QTest::newRow("largest") << std::numeric_limits<qint64>::max() << "9223372.04 TB";
}

void TestUtils::byteCountText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);

    QCOMPARE(TextFormat::byteCountText(bytes), text);
}

void TestUtils::paths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("base");

    QTest::newRow("two dots") << "/home/me/holiday.2019.mov" << "holiday.2019.mov" << "mov" << "holiday.2019";
    QTest::newRow("no extension") << "/tmp/clip" << "clip" << "" << "clip";
    QTest::newRow("case kept") << "clip.MP4" << "clip.MP4" << "MP4" << "clip";
    QTest::newRow("hidden file") << "/home/me/.profile" << ".profile" << "" << ".profile";
    QTest::newRow("hidden with extension") << ".clip.mkv" << ".clip.mkv" << "mkv" << ".clip";
    QTest::newRow("dot in folder only") << "/data/dir.d/clip" << "clip" << "" << "clip";
    QTest::newRow("trailing slash") << "/data/clip.mp4/" << "clip.mp4" << "mp4" << "clip";
    QTest::newRow("trailing dot") << "clip." << "clip." << "" << "clip.";
    QTest::newRow("spaces and accents") << QStringLiteral("/m/Caf\u00e9 \"1\".mov") << QStringLiteral("Caf\u00e9 \"1\".mov")
                                        << "mov" << QStringLiteral("Caf\u00e9 \"1\"");
}

void TestUtils::paths()
{
    QFETCH(QString, path);
    QFETCH(QString, component);
    QFETCH(QString, extension);
    QFETCH(QString, base);

    QCOMPARE(Paths::lastComponent(path), component);
    QCOMPARE(Paths::lastExtension(path), extension);
    QCOMPARE(Paths::baseName(path), base);
}

QTEST_GUILESS_MAIN(TestUtils)
#include "TestUtils.moc"
