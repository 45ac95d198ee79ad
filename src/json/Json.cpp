#include "json/Json.h"

#include <QJsonDocument>

#include <charconv>
#include <cmath>
#include <limits>

// ---- JSON --------------------------------------------------------------------

namespace {

enum class Kind { number, boolean, string, null, list, map, other };

Kind kindOf(const QVariant &v)
{
    if (!v.isValid())
        return Kind::null;
    switch (v.metaType().id()) {
    case QMetaType::Bool: return Kind::boolean;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float: return Kind::number;
    case QMetaType::QString: return Kind::string;
    case QMetaType::Nullptr: return Kind::null;
    case QMetaType::QVariantList: return Kind::list;
    case QMetaType::QVariantMap: return Kind::map;
    default: return Kind::other;
    }
}

JSONNumber numberOf(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float: return JSONNumber::fromDouble(v.toDouble());
    case QMetaType::ULongLong:
    case QMetaType::ULong: {
        const qulonglong u = v.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            return JSONNumber::fromDouble(double(u));
        return JSONNumber::fromInteger(qint64(u));
    }
    default: return JSONNumber::fromInteger(v.toLongLong());
    }
}

bool textsEqual(const QString &a, const QString &b)
{
    return a == b || a.normalized(QString::NormalizationForm_D) == b.normalized(QString::NormalizationForm_D);
}

bool deepEqual(const QVariant &a, const QVariant &b)
{
    const Kind kind = kindOf(a);
    if (kind != kindOf(b))
        return false;
    switch (kind) {
    case Kind::number: return numberOf(a) == numberOf(b);
    case Kind::boolean: return a.toBool() == b.toBool();
    case Kind::string: return textsEqual(a.toString(), b.toString());
    case Kind::null: return true;
    case Kind::list: {
        const QVariantList la = a.toList(), lb = b.toList();
        if (la.size() != lb.size())
            return false;
        for (qsizetype i = 0; i < la.size(); ++i)
            if (!deepEqual(la[i], lb[i]))
                return false;
        return true;
    }
    case Kind::map: {
        const QVariantMap ma = a.toMap(), mb = b.toMap();
        if (ma.size() != mb.size())
            return false;
        for (auto it = ma.cbegin(); it != ma.cend(); ++it) {
            const auto other = mb.constFind(it.key());
            if (other == mb.cend() || !deepEqual(it.value(), other.value()))
                return false;
        }
        return true;
    }
    case Kind::other: return false;
    }
    return false;
}

// A JSON inside a dynamic value stands for its contents, at any depth.
QVariant unwrapped(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<JSON>())
        return unwrapped(v.value<JSON>().contents());
    if (v.metaType().id() == QMetaType::QVariantList) {
        QVariantList list = v.toList();
        for (QVariant &element : list)
            element = unwrapped(element);
        return list;
    }
    if (v.metaType().id() == QMetaType::QVariantMap) {
        QVariantMap map = v.toMap();
        for (QVariant &member : map)
            member = unwrapped(member);
        return map;
    }
    if (v.metaType().id() == QMetaType::QVariantHash) {
        QVariantMap map;
        const QVariantHash hash = v.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            map.insert(it.key(), unwrapped(it.value()));
        return map;
    }
    return v;
}

}

std::optional<JSON::Type> JSON::typeFromRaw(int raw)
{
    if (raw < 0 || raw > 6)
        return std::nullopt;
    return Type(raw);
}

JSON::JSON(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QByteArray) {
        // A blob that is not JSON text gives the null value; the error is dropped.
        if (auto parsed = parse(value.toByteArray()))
            *this = *parsed;
        return;
    }
    *this = classified(unwrapped(value));
}

std::optional<JSON> JSON::parse(const QByteArray &data, QJsonParseError *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (error)
        *error = parseError;
    if (parseError.error != QJsonParseError::NoError || document.isNull())
        return std::nullopt;
    return classified(document.toVariant());
}

JSON JSON::failed(JSONError error)
{
    JSON result;
    result.m_error = error;
    return result;
}

JSON JSON::classified(const QVariant &v)
{
    JSON result;
    switch (kindOf(v)) {
    case Kind::boolean:
        result.m_type = Type::boolean;
        result.rawBool = v.toBool();
        break;
    case Kind::number:
        result.m_type = Type::number;
        result.rawNumber = numberOf(v);
        break;
    case Kind::string:
        result.m_type = Type::string;
        result.rawString = v.toString();
        break;
    case Kind::null:
        result.m_type = Type::null;
        break;
    case Kind::list:
        result.m_type = Type::array;
        result.rawArray = v.toList();
        break;
    case Kind::map:
        result.m_type = Type::dictionary;
        result.rawDictionary = v.toMap();
        break;
    case Kind::other:
        result.m_type = Type::unknown;
        result.m_error = JSONError::unsupportedType;
        break;
    }
    return result;
}

// An element or member read out is made as the constructor makes a value, so a
// byte blob that a caller put in a list or map is read as JSON text. Stored
// values are already unwrapped, which spares copying the subtree again.
JSON JSON::stored(const QVariant &element)
{
    if (element.metaType().id() == QMetaType::QByteArray)
        return JSON(element);
    return classified(element);
}

JSON JSON::step(const JSONKey &key) const
{
    if (key.kind == JSONKey::Kind::index) {
        if (m_type != Type::array)
            return failed(m_error.value_or(JSONError::wrongType));
        if (key.index < 0 || key.index >= rawArray.size())
            return failed(JSONError::indexOutOfBounds);
        return stored(rawArray.at(key.index));
    }
    if (m_type != Type::dictionary)
        return failed(m_error.value_or(JSONError::wrongType));
    auto member = rawDictionary.constFind(key.key);
    if (member == rawDictionary.cend()) {
        // Member names compare like texts: canonically equivalent names match.
        for (member = rawDictionary.cbegin(); member != rawDictionary.cend(); ++member)
            if (textsEqual(member.key(), key.key))
                break;
        if (member == rawDictionary.cend())
            return failed(JSONError::notExist);
    }
    return stored(member.value());
}

JSON JSON::operator[](const QList<JSONKey> &path) const
{
    JSON current = *this;
    for (const JSONKey &key : path)
        current = current.step(key);
    return current;
}

JSON JSON::operator[](qint64 index) const { return step(JSONKey(index)); }
JSON JSON::operator[](const QString &key) const { return step(JSONKey(key)); }

qint64 JSON::count() const
{
    switch (m_type) {
    case Type::array: return rawArray.size();
    case Type::dictionary: return rawDictionary.size();
    default: return 0;
    }
}

bool operator==(const JSON &a, const JSON &b)
{
    if (a.m_type != b.m_type)
        return false;
    switch (a.m_type) {
    case JSON::Type::number: return a.rawNumber == b.rawNumber;
    case JSON::Type::string: return textsEqual(a.rawString, b.rawString);
    case JSON::Type::boolean: return a.rawBool == b.rawBool;
    case JSON::Type::array: return deepEqual(a.rawArray, b.rawArray);
    case JSON::Type::dictionary: return deepEqual(a.rawDictionary, b.rawDictionary);
    case JSON::Type::null: return true;
    case JSON::Type::unknown: return false;
    }
    return false;
}

bool JSON::isText(const char *text) const
{
    return m_type == Type::string && textsEqual(rawString, QString::fromUtf8(text));
}

QString JSON::stringValue() const
{
    switch (m_type) {
    case Type::string: return rawString;
    case Type::number: return rawNumber.text();
    case Type::boolean: return rawBool ? QStringLiteral("true") : QStringLiteral("false");
    default: return {};
    }
}

JSONNumber JSON::numberValue() const
{
    switch (m_type) {
    case Type::number: return rawNumber;
    case Type::string: return JSONNumber::fromDecimalText(rawString);
    case Type::boolean: return JSONNumber::fromInteger(rawBool ? 1 : 0);
    default: return JSONNumber::fromDouble(0.0);
    }
}

std::optional<qint64> JSON::optionalInteger() const
{
    switch (m_type) {
    case Type::number: return rawNumber.toInteger();
    case Type::boolean: return rawBool ? 1 : 0;
    default: return std::nullopt;
    }
}

std::optional<QVariantMap> JSON::optionalDictionary() const
{
    if (m_type == Type::dictionary)
        return rawDictionary;
    return std::nullopt;
}

QVariant JSON::contents() const
{
    switch (m_type) {
    case Type::array: return rawArray;
    case Type::dictionary: return rawDictionary;
    case Type::string: return rawString;
    case Type::number:
        return rawNumber.isInteger() ? QVariant(rawNumber.toInteger()) : QVariant(rawNumber.toDouble());
    case Type::boolean: return rawBool;
    case Type::null:
    case Type::unknown: return QVariant::fromValue(nullptr);
    }
    return {};
}
