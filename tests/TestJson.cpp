#include "json/Json.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

// A trimmed probe report with one of everything the readers meet.
const JSON &report()
{
    static const JSON value = *JSON::parse(R"({ "streams": [ { "codec_type": "video", "width": 1920, "tags": null } ],
        "format": { "duration": "12.345000", "tags": { "title": "Holiday" } }, "numbers": [ 9007199254740993, 1 ],
        "flags": [ true ], "caf\u00e9": "precomposed key" })");
    return value;
}

using T = JSON::Type;

}

class TestJson : public QObject
{
    Q_OBJECT

private slots:
    void parseFailure()
    {
        for (const QByteArray bytes : { "", "42", "Invalid data found when processing input" }) {
            QJsonParseError error, expected;
            QJsonDocument::fromJson(bytes, &expected);
            QVERIFY(!JSON::parse(bytes, &error));
            // The caller shows the parser's own words, not a rewording of them.
            QCOMPARE(error.errorString(), expected.errorString());
        }
    }

    // Paths taken step by step and whole; the first failure is carried through, and reads as a plain null.
    void subscripts_data()
    {
        QTest::addColumn<QList<JSONKey>>("path");
        QTest::addColumn<JSON::Type>("type");
        QTest::addColumn<int>("error");
        QTest::newRow("member of element") << QList<JSONKey> { "streams", 0, "codec_type" } << T::string << 0;
        QTest::newRow("first error carried") << QList<JSONKey> { "chapters", 0, "width" } << T::null << 500;
        QTest::newRow("key into document null") << QList<JSONKey> { "streams", 0, "tags", "rotate" } << T::null << 901;
        QTest::newRow("index -1") << QList<JSONKey> { "streams", -1 } << T::null << 900;
        QTest::newRow("index = count") << QList<JSONKey> { "streams", 1, "codec_type" } << T::null << 900;
        QTest::newRow("decomposed key") << QList<JSONKey> { QStringLiteral("cafe\u0301") } << T::string << 0;
    }
    void subscripts()
    {
        QFETCH(QList<JSONKey>, path);
        QFETCH(JSON::Type, type);
        QFETCH(int, error);
        JSON stepped = report();
        for (const JSONKey &key : path)
            stepped = key.kind == JSONKey::Kind::key ? stepped[key.key] : stepped[key.index];
        QCOMPARE(stepped.type(), type);
        QCOMPARE(report()[path].error() ? JSONErrors::code(*report()[path].error()) : 0, error);
        QCOMPARE(stepped.exists(), error == 0);
        if (error)
            QVERIFY(stepped.stringValue().isNull() && stepped.doubleValue() == 0 && !stepped.optionalInteger());
    }

    // Integers stay exact, texts read as their leading number, out of range saturates.
    void readings_data()
    {
        QTest::addColumn<JSON>("value");
        QTest::addColumn<JSON::Type>("type");
        QTest::addColumn<QString>("string"); // not checked for a non-integral number
        QTest::addColumn<qint64>("integer");
        QTest::addColumn<double>("real");
        const auto text = [](const char *name, QString text, qint64 integer, double real) {
            QTest::newRow(name) << JSON(QVariant(text)) << T::string << text << integer << real;
        };
        QTest::newRow("2^53+1 stays exact") << report()["numbers"][0] << T::number << "9007199254740993" << qint64(9007199254740993) << 9007199254740992.0;
        QTest::newRow("true") << report()["flags"][0] << T::boolean << "true" << qint64(1) << 1.0;
        QTest::newRow("double truncates") << JSON(QVariant(-7.9)) << T::number << QString() << qint64(-7) << -7.9;
        QTest::newRow("double 2^63") << JSON(QVariant(9223372036854775808.0)) << T::number << QString() << qint64(INT64_MAX) << 9223372036854775808.0;
        text("duration", "12.345000", 12, 12.345);
        text("blanks, trailing letters", "\t 42xyz", 42, 42);
        text("no number", "abc", 0, 0);
        text("beyond 64 bits", "99999999999999999999", INT64_MAX, 1e20);
        text("overflows a double", "-1e400", INT64_MIN, -qInf());
        text("underflows a double", "0.000000000000000000000000000000000000000000000000001e-300", 0, 0);
    }
    void readings()
    {
        QFETCH(JSON, value);
        QFETCH(JSON::Type, type);
        QFETCH(QString, string);
        QFETCH(qint64, integer);
        QFETCH(double, real);
        QCOMPARE(value.type(), type);
        if (!string.isNull())
            QCOMPARE(value.stringValue(), string);
        QCOMPARE(value.integerValue(), integer);
        QCOMPARE(value.doubleValue(), real);
        QCOMPARE(value.optionalInteger(), type == T::string ? std::nullopt : std::optional(integer));
    }
};

QTEST_GUILESS_MAIN(TestJson)
#include "TestJson.moc"
