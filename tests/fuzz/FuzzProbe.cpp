// Any bytes as a probe report: parsing, every reading of the JSON value and
// the whole derivation must neither crash nor hit undefined behaviour.
#include "json/Json.h"
#include "probe/FileProbe.h"
#include "util/Diagnostics.h"
#include "util/TextFormat.h"

#include <cstddef>
#include <cstdint>

namespace {

void walk(const JSON &value, int depth)
{
    (void)value.stringValue();
    (void)value.integerValue();
    (void)value.doubleValue();
    (void)value.optionalInteger();
    (void)value.optionalDictionary();
    (void)(value == value);
    (void)(value == JSON::nullValue());
    if (depth > 8)
        return;
    if (value.type() == JSON::Type::array) {
        for (qint64 i = -1; i <= value.count(); ++i)
            walk(value[i], depth + 1);
    } else if (value.type() == JSON::Type::dictionary) {
        for (const QString &key : value.rawDictionary.keys())
            walk(value[key], depth + 1);
        walk(value["missing"][0]["deeper"], depth + 1);
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Diagnostics::ScopedSink silence { Diagnostics::Sink() };
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto parsed = JSON::parse(bytes))
        walk(*parsed, 0);
    (void)JSONNumber::fromDecimalText(QString::fromUtf8(bytes));
    // A path that does not exist: the size lookups fail quietly, the report drives the rest.
    const FileProbe probe(QStringLiteral("/nonexistent/fuzz.mp4"), bytes);
    for (const QVariantMap &row : probe.tracksInfo)
        (void)row.size();
    (void)TextFormat::humanDuration(probe.duration);
    return 0;
}
