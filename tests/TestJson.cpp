#include "json/Json.h"

#include <QDate>
#include <QJsonDocument>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

constexpr qint64 int64Max = std::numeric_limits<qint64>::max();
constexpr qint64 int64Min = std::numeric_limits<qint64>::min();

// A trimmed probe report with one of everything the readers meet.
const JSON &report()
{
    static const JSON value = *JSON::parse(R"({
        "streams": [ { "codec_type": "video", "width": 1920, "rotation": -90, "tags": null } ],
        "format": { "duration": "12.345000", "bit_rate": "4000", "tags": { "title": "Holiday" } },
        "numbers": [ 2.5, 9007199254740993, 18446744073709551615, 1, 0, 2.0 ],
        "flags": [ true, false ],
        "caf\u00e9": "precomposed key"
    })");
    return value;
}

JSON text(const QString &value) { return JSON(QVariant(value)); }
JSON integer(qint64 value) { return JSON(QVariant(value)); }
JSON real(double value) { return JSON(QVariant(value)); }
JSON unknown() { return JSON(QVariant(QDate(2020, 1, 1))); }

// Paths are written as lists of ints and strings so the tables stay readable.
QList<JSONKey> pathOf(const QVariantList &steps)
{
    QList<JSONKey> path;
    for (const QVariant &step : steps)
        path.append(step.metaType().id() == QMetaType::QString ? JSONKey(step.toString()) : JSONKey(step.toLongLong()));
    return path;
}

int codeOf(const JSON &value) { return value.error() ? jsonErrorCode(*value.error()) : 0; }

}

class TestJson : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void parsedNumbers();
    void subscripts_data();
    void subscripts();
    void readings_data();
    void readings();
    void numericTexts_data();
    void numericTexts();
    void outOfRangeIntegers_data();
    void outOfRangeIntegers();
    void equality_data();
    void equality();
    void construction_data();
    void construction();
    void nestedValuesAreUnwrapped();
    void errors_data();
    void errors();
    void typeFromRaw();
};

void TestJson::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("parses");
    QTest::addColumn<JSON::Type>("type");

    QTest::newRow("object") << QByteArray(R"({"a": 1})") << true << JSON::Type::dictionary;
    QTest::newRow("array") << QByteArray("[1, 2]") << true << JSON::Type::array;
    QTest::newRow("utf-8 text inside") << QByteArray("[\"\xc3\xa9\"]") << true << JSON::Type::array;
    QTest::newRow("empty bytes") << QByteArray() << false << JSON::Type::null;
    QTest::newRow("top-level number") << QByteArray("42") << false << JSON::Type::null;
    QTest::newRow("top-level true") << QByteArray("true") << false << JSON::Type::null;
    QTest::newRow("unterminated") << QByteArray(R"({"a": 1)") << false << JSON::Type::null;
    QTest::newRow("trailing garbage") << QByteArray("[1] x") << false << JSON::Type::null;
    QTest::newRow("plain text") << QByteArray("Invalid data found when processing input") << false << JSON::Type::null;
}

void TestJson::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, parses);
    QFETCH(JSON::Type, type);

    QJsonParseError error;
    const std::optional<JSON> value = JSON::parse(bytes, &error);
    QCOMPARE(value.has_value(), parses);
    if (parses) {
        QCOMPARE(value->type(), type);
        QVERIFY(value->exists());
        QCOMPARE(error.error, QJsonParseError::NoError);
        return;
    }
    // The caller gets the parser's own error, not a rewording of it.
    QJsonParseError expected;
    QJsonDocument::fromJson(bytes, &expected);
    QVERIFY(error.error != QJsonParseError::NoError);
    QCOMPARE(error.error, expected.error);
    QCOMPARE(error.offset, expected.offset);
    QCOMPARE(error.errorString(), expected.errorString());
    QVERIFY(!error.errorString().isEmpty());
}

void TestJson::parsedNumbers()
{
    const JSON numbers = report()["numbers"];
    QCOMPARE(numbers[0].type(), JSON::Type::number);
    QCOMPARE(numbers[0].doubleValue(), 2.5);
    QCOMPARE(numbers[0].integerValue(), 2);
    // Integers must not pass through a double on the way in.
    QCOMPARE(numbers[1].integerValue(), Q_INT64_C(9007199254740993));
    QCOMPARE(numbers[1].stringValue(), QStringLiteral("9007199254740993"));
    // Beyond 64 bits: a double, whose integer reading saturates.
    QCOMPARE(numbers[2].type(), JSON::Type::number);
    QCOMPARE(numbers[2].doubleValue(), 18446744073709551615.0);
    QCOMPARE(numbers[2].integerValue(), int64Max);
    // A document's 1 and 0 are numbers, its true and false are booleans.
    QCOMPARE(numbers[3].type(), JSON::Type::number);
    QCOMPARE(numbers[4].type(), JSON::Type::number);
    QCOMPARE(report()["flags"][0].type(), JSON::Type::boolean);
    QCOMPARE(report()["flags"][1].type(), JSON::Type::boolean);
    QVERIFY(numbers[5] == integer(2));
    QVERIFY(numbers[3] != report()["flags"][0]);
}

void TestJson::subscripts_data()
{
    QTest::addColumn<QVariantList>("path");
    QTest::addColumn<JSON::Type>("type");
    QTest::addColumn<int>("error");

    const int none = 0;
    const int notExist = 500, wrongType = 901, outOfBounds = 900;
    QTest::newRow("empty path") << QVariantList {} << JSON::Type::dictionary << none;
    QTest::newRow("member of element") << QVariantList { "streams", 0, "codec_type" } << JSON::Type::string << none;
    QTest::newRow("document null exists") << QVariantList { "streams", 0, "tags" } << JSON::Type::null << none;
    QTest::newRow("missing tag") << QVariantList { "format", "tags", "artist" } << JSON::Type::null << notExist;
    QTest::newRow("first error carried") << QVariantList { "chapters", 0, "width" } << JSON::Type::null << notExist;
    QTest::newRow("index into object") << QVariantList { "format", 0 } << JSON::Type::null << wrongType;
    QTest::newRow("key into array") << QVariantList { "streams", "width" } << JSON::Type::null << wrongType;
    QTest::newRow("key into text") << QVariantList { "format", "duration", "x" } << JSON::Type::null << wrongType;
    QTest::newRow("key into document null") << QVariantList { "streams", 0, "tags", "rotate" } << JSON::Type::null << wrongType;
    QTest::newRow("wrong type carried") << QVariantList { "format", 0, "x", 1 } << JSON::Type::null << wrongType;
    QTest::newRow("index -1") << QVariantList { "streams", -1 } << JSON::Type::null << outOfBounds;
    QTest::newRow("index count") << QVariantList { "streams", 1 } << JSON::Type::null << outOfBounds;
    QTest::newRow("out of bounds carried") << QVariantList { "streams", 1, "codec_type" } << JSON::Type::null << outOfBounds;
    QTest::newRow("huge index") << QVariantList { "streams", int64Max } << JSON::Type::null << outOfBounds;
    QTest::newRow("decomposed key finds precomposed")
        << QVariantList { QStringLiteral("cafe\u0301") } << JSON::Type::string << none;
}

void TestJson::subscripts()
{
    QFETCH(QVariantList, path);
    QFETCH(JSON::Type, type);
    QFETCH(int, error);

    const JSON viaPath = report()[pathOf(path)];
    QCOMPARE(viaPath.type(), type);
    QCOMPARE(codeOf(viaPath), error);
    QCOMPARE(viaPath.exists(), error == 0);

    // Chained single steps give the same as one path.
    JSON chained = report();
    for (const QVariant &step : path)
        chained = step.metaType().id() == QMetaType::QString ? chained[step.toString()] : chained[step.toLongLong()];
    QCOMPARE(chained.type(), type);
    QCOMPARE(codeOf(chained), error);

    if (error) {
        // A failed step is a plain null: every reading at its default.
        QVERIFY(viaPath == JSON::nullValue());
        QCOMPARE(viaPath.count(), 0);
        QCOMPARE(viaPath.stringValue(), QString());
        QCOMPARE(viaPath.integerValue(), 0);
        QCOMPARE(viaPath.doubleValue(), 0.0);
        QVERIFY(!viaPath.optionalInteger());
        // An empty path keeps the error too.
        QCOMPARE(codeOf(viaPath[QList<JSONKey> {}]), error);
    }
}

void TestJson::readings_data()
{
    QTest::addColumn<JSON>("value");
    QTest::addColumn<JSON::Type>("type");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("string");
    QTest::addColumn<qint64>("integer");
    QTest::addColumn<double>("real");
    QTest::addColumn<QVariant>("optionalInteger"); // invalid: nothing

    const JSON &r = report();
    const QVariant nothing;
    QTest::newRow("integer width") << r["streams"][0]["width"] << JSON::Type::number << qint64(0) << "1920"
                                   << qint64(1920) << 1920.0 << QVariant(qint64(1920));
    QTest::newRow("negative integer") << r["streams"][0]["rotation"] << JSON::Type::number << qint64(0) << "-90"
                                      << qint64(-90) << -90.0 << QVariant(qint64(-90));
    QTest::newRow("double") << real(-7.9) << JSON::Type::number << qint64(0) << QString() << qint64(-7) << -7.9
                            << QVariant(qint64(-7));
    QTest::newRow("duration text") << r["format"]["duration"] << JSON::Type::string << qint64(0) << "12.345000"
                                   << qint64(12) << 12.345 << nothing;
    QTest::newRow("bit-rate text") << r["format"]["bit_rate"] << JSON::Type::string << qint64(0) << "4000"
                                   << qint64(4000) << 4000.0 << nothing;
    QTest::newRow("true") << r["flags"][0] << JSON::Type::boolean << qint64(0) << "true" << qint64(1) << 1.0
                          << QVariant(qint64(1));
    QTest::newRow("false") << r["flags"][1] << JSON::Type::boolean << qint64(0) << "false" << qint64(0) << 0.0
                           << QVariant(qint64(0));
    QTest::newRow("document null") << r["streams"][0]["tags"] << JSON::Type::null << qint64(0) << QString()
                                   << qint64(0) << 0.0 << nothing;
    QTest::newRow("array") << r["streams"] << JSON::Type::array << qint64(1) << QString() << qint64(0) << 0.0
                           << nothing;
    QTest::newRow("dictionary") << r["format"] << JSON::Type::dictionary << qint64(3) << QString() << qint64(0)
                                << 0.0 << nothing;
    QTest::newRow("unknown") << unknown() << JSON::Type::unknown << qint64(0) << QString() << qint64(0) << 0.0
                             << nothing;
}

void TestJson::readings()
{
    QFETCH(JSON, value);
    QFETCH(JSON::Type, type);
    QFETCH(qint64, count);
    QFETCH(QString, string);
    QFETCH(qint64, integer);
    QFETCH(double, real);
    QFETCH(QVariant, optionalInteger);

    QCOMPARE(value.type(), type);
    QCOMPARE(value.count(), count);
    // The text of a non-integral number is not part of the contract.
    if (!(type == JSON::Type::number && !value.rawNumber.isInteger()))
        QCOMPARE(value.stringValue(), string);
    QCOMPARE(value.integerValue(), integer);
    QCOMPARE(value.doubleValue(), real);
    QCOMPARE(value.optionalInteger().has_value(), optionalInteger.isValid());
    if (optionalInteger.isValid())
        QCOMPARE(*value.optionalInteger(), optionalInteger.toLongLong());
    QCOMPARE(value.optionalDictionary().has_value(), type == JSON::Type::dictionary);
}

void TestJson::numericTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("integer");
    QTest::addColumn<double>("real");

    QTest::newRow("integer") << "42" << qint64(42) << 42.0;
    QTest::newRow("blanks and trailing letters") << "  42xyz" << qint64(42) << 42.0;
    QTest::newRow("tab and newline first") << "\t\n8" << qint64(8) << 8.0;
    QTest::newRow("letters") << "abc" << qint64(0) << 0.0;
    QTest::newRow("empty") << "" << qint64(0) << 0.0;
    QTest::newRow("sign only") << "-" << qint64(0) << 0.0;
    QTest::newRow("hex is not read") << "0x10" << qint64(0) << 0.0;
    QTest::newRow("exponent") << "1e3" << qint64(1000) << 1000.0;
    QTest::newRow("capital exponent, signed") << "25E-1" << qint64(2) << 2.5;
    QTest::newRow("dangling exponent") << "7e" << qint64(7) << 7.0;
    QTest::newRow("frame rate") << "30000/1001" << qint64(30000) << 30000.0;
    QTest::newRow("duration") << "12.345000" << qint64(12) << 12.345;
    QTest::newRow("negative truncates toward zero") << "-7.9" << qint64(-7) << -7.9;
    QTest::newRow("plus sign") << "+5" << qint64(5) << 5.0;
    QTest::newRow("leading point") << ".5" << qint64(0) << 0.5;
    QTest::newRow("trailing point") << "5." << qint64(5) << 5.0;
    QTest::newRow("comma ends the number") << "1,5" << qint64(1) << 1.0;
    QTest::newRow("largest integer") << "9223372036854775807" << int64Max << 9223372036854775807.0;
    QTest::newRow("beyond 64 bits") << "99999999999999999999" << int64Max << 1e20;
    QTest::newRow("below 64 bits") << "-99999999999999999999" << int64Min << -1e20;
    QTest::newRow("overflows a double") << "1e400" << int64Max << HUGE_VAL;
    QTest::newRow("negative overflow") << "-1e400" << int64Min << -HUGE_VAL;
    QTest::newRow("underflows a double") << "1e-400" << qint64(0) << 0.0;
    QTest::newRow("many digits, tiny") << "0.000000000000000000000000000000000000000000000000001e-300" << qint64(0)
                                       << 0.0;
}

void TestJson::numericTexts()
{
    QFETCH(QString, text);
    QFETCH(qint64, integer);
    QFETCH(double, real);

    const JSON value = JSON(QVariant(text));
    QCOMPARE(value.integerValue(), integer);
    QCOMPARE(value.doubleValue(), real);
    QVERIFY(!value.optionalInteger());
    QCOMPARE(value.stringValue(), text);
}

void TestJson::outOfRangeIntegers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("integer");

    QTest::newRow("2^63") << 9223372036854775808.0 << int64Max;
    QTest::newRow("-2^63 fits") << -9223372036854775808.0 << int64Min;
    QTest::newRow("largest below 2^63") << 9223372036854774784.0 << Q_INT64_C(9223372036854774784);
    QTest::newRow("1e300") << 1e300 << int64Max;
    QTest::newRow("-1e300") << -1e300 << int64Min;
    QTest::newRow("infinity") << HUGE_VAL << int64Max;
    QTest::newRow("-infinity") << -HUGE_VAL << int64Min;
    QTest::newRow("nan") << std::nan("") << qint64(0);
    QTest::newRow("-2.9") << -2.9 << qint64(-2);
}

void TestJson::outOfRangeIntegers()
{
    QFETCH(double, value);
    QFETCH(qint64, integer);

    QCOMPARE(JSONNumber::fromDouble(value).toInteger(), integer);
    const JSON json = real(value);
    QCOMPARE(json.integerValue(), integer);
    QCOMPARE(json.optionalInteger(), std::optional<qint64>(integer));
}

void TestJson::equality_data()
{
    QTest::addColumn<JSON>("left");
    QTest::addColumn<JSON>("right");
    QTest::addColumn<bool>("equal");

    const JSON &r = report();
    const JSON yes = r["flags"][0];
    const JSON no = r["flags"][1];
    QTest::newRow("true vs 1") << yes << integer(1) << false;
    QTest::newRow("1 vs true") << integer(1) << yes << false;
    QTest::newRow("false vs 0") << no << integer(0) << false;
    QTest::newRow("true vs true") << yes << JSON(QVariant(true)) << true;
    QTest::newRow("true vs false") << yes << no << false;
    QTest::newRow("2 vs 2.0") << integer(2) << real(2.0) << true;
    QTest::newRow("2.0 vs 2") << real(2.0) << integer(2) << true;
    QTest::newRow("2 vs 2.5") << integer(2) << real(2.5) << false;
    QTest::newRow("max int vs 2^63") << integer(int64Max) << real(9223372036854775808.0) << false;
    QTest::newRow("2^53+1 vs 2^53") << integer(Q_INT64_C(9007199254740993)) << real(9007199254740992.0) << false;
    QTest::newRow("unsigned beyond 64 bits") << JSON(QVariant(quint64(18446744073709551615ULL)))
                                             << r["numbers"][2] << true;
    QTest::newRow("nan vs nan") << real(std::nan("")) << real(std::nan("")) << false;
    QTest::newRow("number vs its text") << r["streams"][0]["rotation"] << text("-90") << false;
    QTest::newRow("text vs its number") << text("1920") << r["streams"][0]["width"] << false;
    QTest::newRow("same text") << r["streams"][0]["codec_type"] << text("video") << true;
    QTest::newRow("case differs") << text("video") << text("Video") << false;
    QTest::newRow("composed vs decomposed") << text(QStringLiteral("\u00e9")) << text(QStringLiteral("e\u0301"))
                                            << true;
    QTest::newRow("null vs missing") << r["streams"][0]["tags"] << r["nope"] << true;
    QTest::newRow("missing vs nullValue") << r["format"]["tags"]["artist"] << JSON::nullValue() << true;
    QTest::newRow("wrong type vs out of bounds") << r["format"][0] << r["streams"][9] << true;
    QTest::newRow("null vs empty text") << JSON::nullValue() << text(QString()) << false;
    QTest::newRow("unknown vs itself") << unknown() << unknown() << false;
    QTest::newRow("null vs unknown") << JSON::nullValue() << unknown() << false;

    const QVariantList list { 1, QStringLiteral("a"), QVariantList { true }, QVariant::fromValue(nullptr) };
    QTest::newRow("lists by value") << JSON(list)
                                    << JSON(QVariantList { 1.0, QStringLiteral("a"), QVariantList { true },
                                                           QVariant::fromValue(nullptr) })
                                    << true;
    QTest::newRow("list: 1 vs true") << JSON(QVariantList { 1 }) << JSON(QVariantList { true }) << false;
    QTest::newRow("list order") << JSON(QVariantList { 1, 2 }) << JSON(QVariantList { 2, 1 }) << false;
    QTest::newRow("list length") << JSON(list) << JSON(list.mid(1)) << false;
    QTest::newRow("list: text vs number") << JSON(QVariantList { QStringLiteral("1") }) << JSON(QVariantList { 1 })
                                          << false;
    QTest::newRow("maps by value") << r["format"]
                                   << JSON(QVariantMap { { "duration", QStringLiteral("12.345000") },
                                                         { "bit_rate", QStringLiteral("4000") },
                                                         { "tags", QVariantMap { { "title", QStringLiteral("Holiday") } } } })
                                   << true;
    QTest::newRow("map: member differs") << JSON(QVariantMap { { "a", 1 } }) << JSON(QVariantMap { { "a", 2 } }) << false;
    QTest::newRow("map: extra member") << JSON(QVariantMap { { "a", 1 } })
                                       << JSON(QVariantMap { { "a", 1 }, { "b", 1 } }) << false;
    QTest::newRow("map: other key") << JSON(QVariantMap { { "a", 1 } }) << JSON(QVariantMap { { "b", 1 } }) << false;
    QTest::newRow("array vs dictionary") << JSON(QVariantList {}) << JSON(QVariantMap {}) << false;
}

void TestJson::equality()
{
    QFETCH(JSON, left);
    QFETCH(JSON, right);
    QFETCH(bool, equal);

    QCOMPARE(left == right, equal);
    QCOMPARE(left != right, !equal);
}

void TestJson::construction_data()
{
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<JSON::Type>("type");
    QTest::addColumn<int>("error");

    QTest::newRow("JSON bytes") << QVariant(QByteArray(R"({"a": [1]})")) << JSON::Type::dictionary << 0;
    QTest::newRow("bytes not JSON") << QVariant(QByteArray("not json")) << JSON::Type::null << 0;
    QTest::newRow("empty bytes") << QVariant(QByteArray()) << JSON::Type::null << 0;
    QTest::newRow("scalar JSON bytes") << QVariant(QByteArray("42")) << JSON::Type::null << 0;
    QTest::newRow("null marker") << QVariant::fromValue(nullptr) << JSON::Type::null << 0;
    QTest::newRow("no value") << QVariant() << JSON::Type::null << 0;
    QTest::newRow("int") << QVariant(7) << JSON::Type::number << 0;
    QTest::newRow("unsigned") << QVariant(7u) << JSON::Type::number << 0;
    QTest::newRow("float") << QVariant(0.5f) << JSON::Type::number << 0;
    QTest::newRow("bool") << QVariant(false) << JSON::Type::boolean << 0;
    QTest::newRow("text") << QVariant(QStringLiteral("x")) << JSON::Type::string << 0;
    QTest::newRow("list") << QVariant(QVariantList { 1 }) << JSON::Type::array << 0;
    QTest::newRow("map") << QVariant(QVariantMap { { "a", 1 } }) << JSON::Type::dictionary << 0;
    QTest::newRow("hash") << QVariant(QVariantHash { { "a", 1 } }) << JSON::Type::dictionary << 0;
    QTest::newRow("date") << QVariant(QDate(2020, 1, 1)) << JSON::Type::unknown << 999;
    // Wrapping a JSON takes its contents and drops its error.
    QTest::newRow("JSON text") << QVariant::fromValue(text("x")) << JSON::Type::string << 0;
    QTest::newRow("failed JSON") << QVariant::fromValue(report()["nope"]) << JSON::Type::null << 0;
    QTest::newRow("unknown JSON") << QVariant::fromValue(unknown()) << JSON::Type::null << 0;
    QTest::newRow("JSON of JSON") << QVariant::fromValue(JSON(QVariant::fromValue(report()["streams"])))
                                  << JSON::Type::array << 0;
}

void TestJson::construction()
{
    QFETCH(QVariant, input);
    QFETCH(JSON::Type, type);
    QFETCH(int, error);

    const JSON value(input);
    QCOMPARE(value.type(), type);
    QCOMPARE(codeOf(value), error);
}

void TestJson::nestedValuesAreUnwrapped()
{
    const JSON inner = report()["streams"][0];
    const JSON list(QVariantList { QVariant::fromValue(inner), QVariant::fromValue(report()["flags"][0]),
                                   QVariant::fromValue(report()["missing"]) });
    QCOMPARE(list[0]["codec_type"].stringValue(), QStringLiteral("video"));
    QCOMPARE(list[0]["width"].integerValue(), 1920);
    QCOMPARE(list[1].type(), JSON::Type::boolean);
    QCOMPARE(list[2].type(), JSON::Type::null);
    QVERIFY(list[2].exists());
    QVERIFY(list == JSON(QVariantList { inner.contents(), true, QVariant::fromValue(nullptr) }));

    // The map form holds plain values only, never a JSON.
    const JSON map(QVariantMap { { "stream", QVariant::fromValue(inner) }, { "n", QVariant::fromValue(integer(3)) } });
    const std::optional<QVariantMap> plain = map.optionalDictionary();
    QVERIFY(plain);
    QCOMPARE(plain->value("n").toLongLong(), 3);
    QCOMPARE(plain->value("stream").metaType().id(), QMetaType::QVariantMap);
    QCOMPARE(plain->value("stream").toMap().value("codec_type").toString(), QStringLiteral("video"));
    QCOMPARE(report()["format"].optionalDictionary()->value("duration").toString(), QStringLiteral("12.345000"));

    // An element that is a byte blob is read as JSON text when stepped into.
    const JSON blobs(QVariantList { QByteArray(R"({"w": 5})"), QByteArray("junk") });
    QCOMPARE(blobs[0]["w"].integerValue(), 5);
    QCOMPARE(blobs[1].type(), JSON::Type::null);
    QVERIFY(blobs[1].exists());

    // An element of an unknown kind is unknown, and says so.
    const JSON odd(QVariantList { QDate(2020, 1, 1) });
    QCOMPARE(odd[0].type(), JSON::Type::unknown);
    QCOMPARE(codeOf(odd[0]), 999);
    QCOMPARE(odd.count(), 1);
}

void TestJson::errors_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message"); // null: no such error

    QTest::newRow("unsupportedType") << 999 << "It is an unsupported type.";
    QTest::newRow("indexOutOfBounds") << 900 << "Array Index is out of bounds.";
    QTest::newRow("elementTooDeep")
        << 902 << "Element too deep. Increase maxObjectDepth and make sure there is no reference loop.";
    QTest::newRow("wrongType") << 901 << "Couldn't merge, because the JSONs differ in type on top level.";
    QTest::newRow("notExist") << 500 << "Dictionary key does not exist.";
    QTest::newRow("invalidJSON") << 490 << "JSON is invalid.";
    for (int code : { 0, -1, 1, 491, 501, 903, 998, 1000 })
        QTest::addRow("code %d", code) << code << QString();
}

void TestJson::errors()
{
    QFETCH(int, code);
    QFETCH(QString, message);

    const std::optional<JSONError> error = jsonErrorFromCode(code);
    QCOMPARE(error.has_value(), !message.isNull());
    if (error) {
        QCOMPARE(jsonErrorCode(*error), code);
        QCOMPARE(jsonErrorMessage(*error), message);
    }
}

void TestJson::typeFromRaw()
{
    const QList<JSON::Type> order { JSON::Type::number, JSON::Type::string,     JSON::Type::boolean, JSON::Type::array,
                                    JSON::Type::dictionary, JSON::Type::null, JSON::Type::unknown };
    for (int raw = 0; raw < order.size(); ++raw)
        QCOMPARE(JSON::typeFromRaw(raw), std::optional<JSON::Type>(order[raw]));
    for (int raw : { -1, 7, 1000 })
        QVERIFY(!JSON::typeFromRaw(raw));
}

QTEST_GUILESS_MAIN(TestJson)
#include "TestJson.moc"
