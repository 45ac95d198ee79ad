#include "util/PrivateFolder.h"
#include "util/TextFormat.h"

#include <QtTest>

class TestUtils : public QObject
{
    Q_OBJECT

private slots:
    // Decimal texts go to the transcoder, byte counts to the user.
    void texts()
    {
        using namespace TextFormat;
        const std::pair<QString, QString> cases[] = {
            { decimalText(1e-7), "0.0000001" }, // plain notation, never an exponent
            { byteCountText(0), "0 bytes" },
            { byteCountText(1), "1 byte" },
            { byteCountText(1500), "2 KB" }, // half up
            { byteCountText(999999), "1 MB" }, // not "1000 KB"
            { byteCountText(55000000), "55 MB" }, // trailing zero dropped
            { byteCountText(1234567890), "1.23 GB" },
            { byteCountText(1005000000), "1.01 GB" }, // half up, exactly
            { byteCountText(INT64_MAX), "9223372.04 TB" }, // no overflow
        };
        for (const auto &[text, expected] : cases)
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

        // Ours is named so that a later run knows whose it was.
        QVERIFY(QFileInfo(PrivateFolder::path()).fileName().startsWith(QString("veltrane-%1-").arg(QCoreApplication::applicationPid())));
    }
};

QTEST_GUILESS_MAIN(TestUtils)
#include "TestUtils.moc"
