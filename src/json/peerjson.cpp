#include "peerjson.h"

#include "jsondepth.h"
#include "jsonscan.h"
#include "logging.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <rapidjson/encodedstream.h>
#include <rapidjson/memorystream.h>

namespace PeerJson {

namespace {

QString stringOf(const rapidjson::Value &value)
{
    return QString::fromUtf8(value.GetString(), int(value.GetStringLength()));
}

QString stringOf(const FastJson::Value &value)
{
    return QString(reinterpret_cast<const QChar *>(value.GetString()),
                   int(value.GetStringLength()));
}

// Documents never nest deeper than the limit; the depth is still counted, so a value built some
// other way cannot make the conversion recurse without end.
template <typename Value> QJsonValue toQt(const Value &value, int depth)
{
    switch (value.GetType()) {
    case rapidjson::kNullType:
        return QJsonValue(QJsonValue::Null);
    case rapidjson::kFalseType:
        return false;
    case rapidjson::kTrueType:
        return true;
    case rapidjson::kStringType:
        return stringOf(value);
    case rapidjson::kNumberType:
        return value.GetDouble();
    case rapidjson::kArrayType: {
        QJsonArray array;
        if (depth >= JsonDepth::limit)
            return array;
        for (const Value &item : value.GetArray())
            array.append(toQt(item, depth + 1));
        return array;
    }
    case rapidjson::kObjectType: {
        QJsonObject object;
        if (depth >= JsonDepth::limit)
            return object;
        for (const auto &member : value.GetObject())
            object.insert(stringOf(member.name), toQt(member.value, depth + 1));
        return object;
    }
    }
    return QJsonValue();
}

} // namespace

QJsonValue fromRapid(const rapidjson::Value &value)
{
    return toQt(value, 0);
}

QJsonValue fromRapid(const FastJson::Value &value)
{
    return toQt(value, 0);
}

namespace {

using JsonDepth::Outcome;

// The reading of a text whose scan has already judged it.
Outcome readJudged(const QByteArray &utf8, JsonScan::Verdict verdict, QJsonValue *value)
{
    switch (verdict) {
    case JsonScan::Verdict::RawControl:
        return Outcome::Malformed;
    case JsonScan::Verdict::TooDeep:
        return Outcome::TooDeep;
    case JsonScan::Verdict::Repeats:
    case JsonScan::Verdict::Unsure: {
        rapidjson::Document doc;
        rapidjson::Reader reader;
        rapidjson::MemoryStream memory(utf8.constData(), size_t(utf8.size()));
        rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> stream(memory);
        const Outcome outcome =
            JsonDepth::parse<rapidjson::kParseFullPrecisionFlag>(reader, doc, stream);
        if (outcome == Outcome::Read)
            *value = fromRapid(doc);
        return outcome;
    }
    case JsonScan::Verdict::Plain:
        break;
    }
    // Qt's parser builds its values faster. Arrays and objects parse as they are; a scalar needs
    // a wrapping array, and the parser itself refuses anything after the value.
    const char first = utf8.isEmpty() ? '\0' : utf8.at(0);
    QJsonParseError error;
    if (first == '[' || first == '{') {
        const QJsonDocument doc = QJsonDocument::fromJson(utf8, &error);
        if (error.error != QJsonParseError::NoError)
            return Outcome::Malformed;
        *value = doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
        return Outcome::Read;
    }
    QByteArray wrapped;
    wrapped.reserve(utf8.size() + 2);
    wrapped += '[';
    wrapped += utf8;
    wrapped += ']';
    const QJsonDocument doc = QJsonDocument::fromJson(wrapped, &error);
    // More than one element means the text was several values ("1,2"), not one.
    if (error.error != QJsonParseError::NoError || !doc.isArray() || doc.array().size() != 1)
        return Outcome::Malformed;
    *value = doc.array().at(0);
    return Outcome::Read;
}

} // namespace

Outcome read(const QByteArray &utf8, QJsonValue *value)
{
    return readJudged(utf8, JsonScan::scan(utf8.constData(), utf8.size()), value);
}

namespace {

bool logged(Outcome outcome)
{
    if (outcome == Outcome::TooDeep)
        qCWarning(lcNetwork) << "refused JSON nested deeper than" << JsonDepth::limit << "levels";
    return outcome == Outcome::Read;
}

} // namespace

bool parse(const QByteArray &utf8, QJsonValue *value)
{
    return logged(read(utf8, value));
}

bool parseEscapingControls(const QByteArray &utf8, QJsonValue *value)
{
    const JsonScan::Verdict verdict = JsonScan::scan(utf8.constData(), utf8.size());
    if (verdict != JsonScan::Verdict::RawControl)
        return logged(readJudged(utf8, verdict, value));
    // Outside a string the escape is no JSON either, so such text is still refused.
    QByteArray escaped;
    escaped.reserve(utf8.size() + 16);
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r') {
            static const char hex[] = "0123456789abcdef";
            escaped += "\\u00";
            escaped += hex[u >> 4];
            escaped += hex[u & 0xf];
        } else {
            escaped += c;
        }
    }
    return parse(escaped, value);
}

bool parseObject(const QByteArray &utf8, QJsonObject *object)
{
    QJsonValue value;
    const bool ok = parseEscapingControls(utf8, &value) && value.isObject();
    *object = ok ? value.toObject() : QJsonObject();
    return ok;
}

} // namespace PeerJson
