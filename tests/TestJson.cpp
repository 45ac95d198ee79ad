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
    void subscripts()
    {
        const auto check = [](const char *name, const QList<JSONKey> &path, JSON::Type type, int error) {
            JSON stepped = report();
            for (const JSONKey &key : path)
                stepped = key.kind == JSONKey::Kind::key ? stepped[key.key] : stepped[key.index];
            const int carried = report()[path].error() ? JSONErrors::code(*report()[path].error()) : 0;
            QVERIFY2(stepped.type() == type && stepped.exists() == (error == 0), name);
            QCOMPARE(name + QString(": %1").arg(carried), name + QString(": %1").arg(error));
            QVERIFY2(!error || (stepped.stringValue().isNull() && stepped.doubleValue() == 0 && !stepped.optionalInteger()), name);
        };
        check("member of element", { "streams", 0, "codec_type" }, T::string, 0);
        check("first error carried", { "chapters", 0, "width" }, T::null, 500);
        check("key into document null", { "streams", 0, "tags", "rotate" }, T::null, 901);
        check("index -1", { "streams", -1 }, T::null, 900);
        check("index = count", { "streams", 1, "codec_type" }, T::null, 900);
        check("decomposed key", { QStringLiteral("cafe\u0301") }, T::string, 0);
    }

    // Integers stay exact, texts read as their leading number, out of range saturates.
    void readings()
    {
        // string: not checked when null, as for a non-integral number
        const auto check = [](const char *name, const JSON &value, JSON::Type type, const QString &string, qint64 integer, double real) {
            QVERIFY2(value.type() == type && (string.isNull() || value.stringValue() == string), name);
            QCOMPARE(name + QString(": %1").arg(value.integerValue()), name + QString(": %1").arg(integer));
            QCOMPARE(value.doubleValue(), real);
            QVERIFY2(value.optionalInteger() == (type == T::string ? std::nullopt : std::optional(integer)), name);
        };
        const auto text = [&](const char *name, QString text, qint64 integer, double real) { check(name, JSON(QVariant(text)), T::string, text, integer, real); };
        check("2^53+1 stays exact", report()["numbers"][0], T::number, "9007199254740993", 9007199254740993, 9007199254740992.0);
        check("true", report()["flags"][0], T::boolean, "true", 1, 1.0);
        check("double truncates", JSON(QVariant(-7.9)), T::number, QString(), -7, -7.9);
        check("double 2^63", JSON(QVariant(9223372036854775808.0)), T::number, QString(), INT64_MAX, 9223372036854775808.0);
        text("duration", "12.345000", 12, 12.345);
        text("blanks, trailing letters", "\t 42xyz", 42, 42);
        text("no number", "abc", 0, 0);
        text("beyond 64 bits", "99999999999999999999", INT64_MAX, 1e20);
        text("overflows a double", "-1e400", INT64_MIN, -qInf());
        text("underflows a double", "0.000000000000000000000000000000000000000000000000001e-300", 0, 0);
    }
};

QTEST_GUILESS_MAIN(TestJson)
#include "TestJson.moc"
