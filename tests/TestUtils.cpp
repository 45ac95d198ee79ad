#include "util/PrivateFolder.h"
#include "util/TextFormat.h"
#include "util/Utils.h"

#include "TestSupport.h"

#include <QtTest>

class TestUtils : public QObject
{
    Q_OBJECT

private slots:
    void regexMatches()
    {
        const QString clock = QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])");
        const TestSupport::DiagnosticCapture capture;
        QCOMPARE(Utils::regexMatches(clock, "Duration: 00:01:30.25, start: 0.0\nframe= 9 time=00:00:02.50 bitrate=N/A"),
                 (QStringList { "00:01:30.25", "00:00:02.50" }));
        QCOMPARE(Utils::regexMatches("aa", "aaaaa"), (QStringList { "aa", "aa" }));
        QCOMPARE(capture.lines(), QStringList());
        QCOMPARE(Utils::regexMatches("[0-9", "[0-9"), QStringList());
        QCOMPARE(capture.lines().size(), 1);
        QVERIFY2(capture.lines().first().startsWith("invalid regex: "), qPrintable(capture.lines().first()));
    }

    // The clock pattern's '.' takes any character, so what it finds still has to be checked here.
    void secondsFromClockText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("seconds"); // invalid: nothing
        QTest::newRow("zero") << "00:00:00.00" << QVariant(0.0);
        QTest::newRow("hours to hundredths") << "01:02:03.50" << QVariant(3723.5);
        QTest::newRow("comma") << "00:00:04,00" << QVariant();
        QTest::newRow("no clock") << "12.50" << QVariant();
        QTest::newRow("no hundredths") << "00:00:04" << QVariant();
        QTest::newRow("infinity is no number here") << "inf:00:00.00" << QVariant();
    }

    void secondsFromClockText()
    {
        QFETCH(QString, text);
        QFETCH(QVariant, seconds);
        const std::optional<double> result = Utils::secondsFromClockText(text);
        QCOMPARE(result ? QVariant(*result) : QVariant(), seconds);
    }

    // Decimal texts go to the transcoder, byte counts to the user.
    void texts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        using namespace TextFormat;
        QTest::newRow("integral") << decimalText(600) << "600.0";
        QTest::newRow("shortest that reads back") << decimalText(84.47999999999999) << "84.47999999999999";
        QTest::newRow("zero") << decimalText(0) << "0.0";
        QTest::newRow("small, plain notation") << decimalText(1e-7) << "0.0000001";
        QTest::newRow("large, plain notation") << decimalText(1e21) << "1000000000000000000000.0";
        QTest::newRow("0 bytes") << byteCountText(0) << "0 bytes";
        QTest::newRow("1 byte") << byteCountText(1) << "1 byte";
        QTest::newRow("1,500 half up") << byteCountText(1500) << "2 KB";
        QTest::newRow("999,999 is 1 MB") << byteCountText(999999) << "1 MB";
        QTest::newRow("1,234,567") << byteCountText(1234567) << "1.2 MB";
        QTest::newRow("trailing zero dropped") << byteCountText(55000000) << "55 MB";
        QTest::newRow("999,950,000 is 1 GB") << byteCountText(999950000) << "1 GB";
        QTest::newRow("1,234,567,890") << byteCountText(1234567890) << "1.23 GB";
        QTest::newRow("half up, exactly") << byteCountText(1005000000) << "1.01 GB";
        QTest::newRow("largest, no overflow") << byteCountText(INT64_MAX) << "9223372.04 TB";
    }

    void texts()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    // A killed process's folder goes; a live one's, a link, anything not
    // named as ours and our own stay.
    void privateFolderLeftovers()
    {
        QProcess gone;
        gone.start("true");
        QVERIFY(gone.waitForFinished());
        const QString dead = QString::number(gone.processId() ? gone.processId() : 999999);
        QTemporaryDir root;
        const QStringList names { "veltrane-" + dead + "-a1B2c3", "veltrane-1-a1B2c3",
                                  QString("veltrane-%1-a1B2c3").arg(QCoreApplication::applicationPid()),
                                  "veltrane-" + dead + "-short", "other-" + dead + "-a1B2c3" };
        for (const QString &name : names)
            QVERIFY(QDir(root.path()).mkpath(name + "/inside"));
        QVERIFY(QFile::link(root.filePath(names[1]), root.filePath("veltrane-" + dead + "-link01")));
        QCOMPARE(PrivateFolder::removeLeftovers(root.path()), 1);
        QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(), 5);
        QVERIFY(!QFileInfo::exists(root.filePath(names[0])));

        const QString mine = PrivateFolder::path();
        QVERIFY(QFileInfo(mine).fileName().startsWith(QString("veltrane-%1-").arg(QCoreApplication::applicationPid())));
        QCOMPARE(QFileInfo(mine).permissions() & 0x0077, QFile::Permissions()); // nobody else's
    }
};

QTEST_GUILESS_MAIN(TestUtils)
#include "TestUtils.moc"
