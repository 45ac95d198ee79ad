#pragma once

#include <QJsonParseError>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <optional>

// Why a JSON value is null after a step that could not be taken. The codes are
// part of the type's contract; each case has one fixed message.
enum class JSONError {
    unsupportedType = 999,
    indexOutOfBounds = 900,
    elementTooDeep = 902,
    wrongType = 901,
    notExist = 500,
    invalidJSON = 490,
};

namespace JSONErrors {
std::optional<JSONError> fromCode(int code);
int code(JSONError error);
QString message(JSONError error);
inline constexpr char domain[] = "veltrane.json";
}

// A number as the parser gives it: integers that fit stay exact, everything
// else is a double. Two numbers compare by value (2 == 2.0).
class JSONNumber
{
public:
    JSONNumber() = default;
    static JSONNumber fromInteger(qint64 value);
    static JSONNumber fromDouble(double value);
    // Reads a text as a decimal number the way the probe's numeric members
    // need: leading white space skipped, the longest leading number taken, the
    // rest ignored; a text with no leading number gives 0.
    static JSONNumber fromDecimalText(const QString &text);

    bool isInteger() const { return m_isInteger; }
    qint64 toInteger() const; // truncates toward zero, saturates out of range, NaN gives 0
    double toDouble() const;
    QString text() const;

    friend bool operator==(const JSONNumber &a, const JSONNumber &b);

private:
    bool m_isInteger = true;
    qint64 m_integer = 0;
    double m_double = 0.0;
};

// One step of a subscript path: an element position or a member name.
struct JSONKey
{
    enum class Kind { index, key };

    JSONKey(qint64 i) : kind(Kind::index), index(i) {}
    JSONKey(int i) : kind(Kind::index), index(i) {}
    JSONKey(const QString &k) : kind(Kind::key), key(k) {}
    JSONKey(const char *k) : kind(Kind::key), key(QString::fromUtf8(k)) {}

    Kind kind;
    qint64 index = 0;
    QString key;
};

// A read-only view of one node of a parsed document. JSON is a plain value
// type: copies are independent (they share the parsed tree, which nothing ever
// changes), and every accessor returns a copy, never a reference into it.
// No reading fails: a step that cannot be taken gives a null value carrying the
// first error along the path, and conversions of null give fixed defaults.
//
// Dynamic values are QVariants: QString, qint64 / double, bool, nullptr,
// QVariantList, QVariantMap, a QByteArray (parsed as JSON text) or a JSON.
class JSON
{
public:
    enum class Type { number = 0, string = 1, boolean = 2, array = 3, dictionary = 4, null = 5, unknown = 6 };
    static std::optional<Type> typeFromRaw(int raw);

    JSON() = default; // the null value, no error
    explicit JSON(const QVariant &value);

    // Parses JSON text; on failure gives nothing and fills *error with the
    // parser's own error, unchanged.
    static std::optional<JSON> parse(const QByteArray &data, QJsonParseError *error = nullptr);
    static JSON nullValue() { return JSON(); }

    Type type() const { return m_type; }
    std::optional<JSONError> error() const { return m_error; }

    JSON operator[](const QList<JSONKey> &path) const;
    JSON operator[](qint64 index) const;
    JSON operator[](int index) const { return (*this)[qint64(index)]; }
    JSON operator[](const QString &key) const;
    JSON operator[](const char *key) const { return (*this)[QString::fromUtf8(key)]; }

    bool exists() const { return !m_error; }
    qint64 count() const;

    friend bool operator==(const JSON &a, const JSON &b);
    // Equal to the text value (UTF-8), by the same rule as ==.
    bool isText(const char *text) const;

    QString stringValue() const;
    JSONNumber numberValue() const;
    qint64 integerValue() const { return numberValue().toInteger(); }
    double doubleValue() const { return numberValue().toDouble(); }
    std::optional<qint64> optionalInteger() const;
    std::optional<QVariantMap> optionalDictionary() const;

    // The node as a plain dynamic value (the inverse of the QVariant constructor).
    QVariant contents() const;

    QVariantList rawArray;
    QVariantMap rawDictionary;
    QString rawString;
    JSONNumber rawNumber;
    bool rawBool = false;

private:
    static JSON failed(JSONError error);
    static JSON classified(const QVariant &unwrapped);
    static JSON stored(const QVariant &element);
    JSON step(const JSONKey &key) const;

    Type m_type = Type::null;
    std::optional<JSONError> m_error;
};

Q_DECLARE_METATYPE(JSON)

