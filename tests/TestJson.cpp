#include "json/Json.h"

#include <QDate>
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
int codeOf(const JSON &value) { return value.error() ? JSONErrors::code(*value.error()) : 0; }

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

    // Paths taken step by step and whole; the first failure is carried through.
    void subscripts_data()
    {
        QTest::addColumn<QList<JSONKey>>("path");
        QTest::addColumn<JSON::Type>("type");
        QTest::addColumn<int>("error");
        QTest::newRow("member of element") << QList<JSONKey> { "streams", 0, "codec_type" } << T::string << 0;
        QTest::newRow("first error carried") << QList<JSONKey> { "chapters", 0, "width" } << T::null << 500;
        QTest::newRow("index into object") << QList<JSONKey> { "format", 0 } << T::null << 901;
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
        QCOMPARE(stepped.exists(), error == 0);
        QCOMPARE(codeOf(report()[path]), error);
        if (error) // a failed step reads as a plain null
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
        QTest::addColumn<qint64>("count");
        const auto row = [](const char *name, JSON value, T type, QString string, qint64 integer, double real, qint64 count = 0) {
            QTest::newRow(name) << value << type << string << integer << real << count;
        };
        const auto textRow = [&](const char *name, QString text, qint64 integer, double real) {
            row(name, JSON(QVariant(text)), T::string, text, integer, real);
        };
        const JSON &r = report();
        row("document's 1 is no boolean", r["numbers"][1], T::number, "1", 1, 1);
        row("2^53+1 stays exact", r["numbers"][0], T::number, "9007199254740993", 9007199254740993, 9007199254740992.0);
        row("true", r["flags"][0], T::boolean, "true", 1, 1);
        row("array", r["streams"], T::array, "", 0, 0, 1);
        row("dictionary", r["format"], T::dictionary, "", 0, 0, 2);
        row("unsupported kind", JSON(QVariant(QDate())), T::unknown, "", 0, 0);
        row("JSON in a list", JSON(QVariantList { QVariant::fromValue(r["format"]) })[0], T::dictionary, "", 0, 0, 2);
        row("bytes in a list are JSON", JSON(QVariantList { QByteArray("[5]") })[0], T::array, "", 0, 0, 1);
        row("double truncates", JSON(QVariant(-7.9)), T::number, {}, -7, -7.9);
        row("double 2^63", JSON(QVariant(9223372036854775808.0)), T::number, {}, INT64_MAX, 9223372036854775808.0);
        row("double nan", JSON(QVariant(qQNaN())), T::number, {}, 0, qQNaN());
        textRow("duration", "12.345000", 12, 12.345);
        textRow("blanks, trailing letters", "\t 42xyz", 42, 42);
        textRow("no number", "abc", 0, 0);
        textRow("signed exponent", "25E-1", 2, 2.5);
        textRow("beyond 64 bits", "99999999999999999999", INT64_MAX, 1e20);
        textRow("overflows a double", "-1e400", INT64_MIN, -qInf());
        textRow("underflows a double", "0.000000000000000000000000000000000000000000000000001e-300", 0, 0);
    }

    void readings()
    {
        QFETCH(JSON, value);
        QFETCH(JSON::Type, type);
        QFETCH(QString, string);
        QFETCH(qint64, integer);
        QFETCH(double, real);
        QFETCH(qint64, count);
        QCOMPARE(value.type(), type);
        QCOMPARE(codeOf(value), type == T::unknown ? 999 : 0);
        if (type != T::number || value.rawNumber.isInteger())
            QCOMPARE(value.stringValue(), string);
        QCOMPARE(value.integerValue(), integer);
        QCOMPARE(value.doubleValue(), real);
        QCOMPARE(value.optionalInteger(), type == T::number || type == T::boolean ? std::optional(integer) : std::nullopt);
        QCOMPARE(value.count(), count);
        QCOMPARE(value.optionalDictionary().has_value(), type == T::dictionary);
    }

    void equality_data()
    {
        QTest::addColumn<JSON>("left");
        QTest::addColumn<JSON>("right");
        QTest::addColumn<bool>("equal");
        const JSON &r = report();
        const auto json = [](const QVariant &value) { return JSON(value); };
        QTest::newRow("true vs 1") << r["flags"][0] << json(1) << false;
        QTest::newRow("2 vs 2.0") << json(2) << json(2.0) << true;
        QTest::newRow("2 vs 2.5") << json(2) << json(2.5) << false;
        QTest::newRow("2^53+1 vs 2^53") << r["numbers"][0] << json(9007199254740992.0) << false;
        QTest::newRow("max int vs 2^63") << json(qint64(INT64_MAX)) << json(9223372036854775808.0) << false;
        QTest::newRow("composed vs decomposed") << json(QStringLiteral("\u00e9")) << json(QStringLiteral("e\u0301")) << true;
        QTest::newRow("document null vs missing") << r["streams"][0]["tags"] << r["nope"] << true;
        QTest::newRow("list: 1 vs true") << json(QVariantList { 1 }) << json(QVariantList { true }) << false;
        QTest::newRow("map by value") << r["streams"][0]
            << json(QVariantMap { { "codec_type", "video" }, { "width", 1920.0 }, { "tags", QVariant() } }) << true;
    }

    void equality()
    {
        QFETCH(JSON, left);
        QFETCH(JSON, right);
        QFETCH(bool, equal);
        QCOMPARE(left == right, equal);
        QCOMPARE(right == left, equal);
    }
};

QTEST_GUILESS_MAIN(TestJson)
#include "TestJson.moc"
