// The number and error halves of the JSON value.
#include "json/Json.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace JSONErrors {

std::optional<JSONError> fromCode(int code)
{
    switch (code) {
    case 999: return JSONError::unsupportedType;
    case 900: return JSONError::indexOutOfBounds;
    case 902: return JSONError::elementTooDeep;
    case 901: return JSONError::wrongType;
    case 500: return JSONError::notExist;
    case 490: return JSONError::invalidJSON;
    default: return std::nullopt;
    }
}

int code(JSONError error) { return int(error); }

QString message(JSONError error)
{
    switch (error) {
    case JSONError::unsupportedType: return QStringLiteral("It is an unsupported type.");
    case JSONError::indexOutOfBounds: return QStringLiteral("Array Index is out of bounds.");
    case JSONError::elementTooDeep:
        return QStringLiteral("Element too deep. Increase maxObjectDepth and make sure there is no reference loop.");
    case JSONError::wrongType: return QStringLiteral("Couldn't merge, because the JSONs differ in type on top level.");
    case JSONError::notExist: return QStringLiteral("Dictionary key does not exist.");
    case JSONError::invalidJSON: return QStringLiteral("JSON is invalid.");
    }
    return {};
}

}

// ---- JSONNumber ----------------------------------------------------------

JSONNumber JSONNumber::fromInteger(qint64 value)
{
    JSONNumber n;
    n.m_isInteger = true;
    n.m_integer = value;
    return n;
}

JSONNumber JSONNumber::fromDouble(double value)
{
    JSONNumber n;
    n.m_isInteger = false;
    n.m_double = value;
    return n;
}

qint64 JSONNumber::toInteger() const
{
    if (m_isInteger)
        return m_integer;
    // Converting a double outside the range is undefined behaviour; saturate.
    if (std::isnan(m_double))
        return 0;
    if (m_double >= 9223372036854775808.0)
        return std::numeric_limits<qint64>::max();
    if (m_double < -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return qint64(m_double);
}

double JSONNumber::toDouble() const { return m_isInteger ? double(m_integer) : m_double; }

QString JSONNumber::text() const
{
    if (m_isInteger)
        return QString::number(m_integer);
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, m_double);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

namespace {

bool integerEqualsDouble(qint64 i, double d)
{
    if (!std::isfinite(d) || d != std::trunc(d))
        return false;
    if (d >= 9223372036854775808.0 || d < -9223372036854775808.0)
        return false;
    return qint64(d) == i;
}

}

bool operator==(const JSONNumber &a, const JSONNumber &b)
{
    if (a.m_isInteger && b.m_isInteger)
        return a.m_integer == b.m_integer;
    if (a.m_isInteger)
        return integerEqualsDouble(a.m_integer, b.m_double);
    if (b.m_isInteger)
        return integerEqualsDouble(b.m_integer, a.m_double);
    return a.m_double == b.m_double;
}

// ---- decimal text ----------------------------------------------------------

namespace {

// For a number text that a double cannot hold: true when it is too large,
// false when it is too small.
bool overflowsDouble(const char *p, const char *end)
{
    if (p < end && (*p == '+' || *p == '-'))
        ++p;
    qint64 magnitude = 0; // decimal exponent of the first significant digit, plus one
    bool seenSignificant = false;
    bool afterPoint = false;
    for (; p < end && *p != 'e' && *p != 'E'; ++p) {
        if (*p == '.') {
            afterPoint = true;
            continue;
        }
        if (!seenSignificant && *p == '0') {
            if (afterPoint)
                --magnitude;
            continue;
        }
        if (!seenSignificant && afterPoint)
            break;
        seenSignificant = true;
        if (afterPoint)
            break;
        ++magnitude;
    }
    while (p < end && *p != 'e' && *p != 'E')
        ++p;
    qint64 exponent = 0;
    if (p < end) {
        ++p;
        const bool negative = p < end && *p == '-';
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        for (; p < end; ++p)
            exponent = std::min<qint64>(exponent * 10 + (*p - '0'), qint64(1) << 40);
        if (negative)
            exponent = -exponent;
    }
    return magnitude + exponent > 0;
}

}

JSONNumber JSONNumber::fromDecimalText(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v'))
        ++p;

    const char *start = p;
    const char *q = p;
    if (q < end && (*q == '+' || *q == '-'))
        ++q;
    const char *digitsStart = q;
    while (q < end && *q >= '0' && *q <= '9')
        ++q;
    bool anyDigits = q > digitsStart;
    bool isInteger = true;
    if (q < end && *q == '.') {
        const char *afterPoint = q + 1;
        const char *r = afterPoint;
        while (r < end && *r >= '0' && *r <= '9')
            ++r;
        if (r > afterPoint || anyDigits) {
            anyDigits = anyDigits || r > afterPoint;
            isInteger = false;
            q = r;
        }
    }
    if (!anyDigits)
        return JSONNumber::fromInteger(0);
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char *r = q + 1;
        if (r < end && (*r == '+' || *r == '-'))
            ++r;
        const char *expDigits = r;
        while (r < end && *r >= '0' && *r <= '9')
            ++r;
        if (r > expDigits) {
            isInteger = false;
            q = r;
        }
    }

    // from_chars takes no leading '+'.
    const char *numberStart = (*start == '+') ? start + 1 : start;
    if (isInteger) {
        qint64 value = 0;
        const auto result = std::from_chars(numberStart, q, value);
        if (result.ec == std::errc() && result.ptr == q)
            return JSONNumber::fromInteger(value);
    }
    double value = 0.0;
    const auto result = std::from_chars(numberStart, q, value);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone when out of range: tell overflow
        // from underflow by where the first significant digit sits.
        const bool negative = *numberStart == '-';
        value = overflowsDouble(numberStart, q) ? (negative ? -HUGE_VAL : HUGE_VAL) : (negative ? -0.0 : 0.0);
    }
    return JSONNumber::fromDouble(value);
}
