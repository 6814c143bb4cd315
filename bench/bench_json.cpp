// The JSON parser on the intake path: today's decoder (Qt's parser behind the packet codec)
// against Qt's parser alone and the two packaged alternatives, RapidJSON and simdjson, each also
// with the conversion to the QJsonValue the readers take. Three frames: one chat message, a page
// of 50 records, a list of 2000 online users. Also shows the heap that Qt's parser keeps after
// frames that repeat a key whose first value is an array. Prints a table.
// Usage: bench_json [milliseconds per figure]   (default 300)

#include "sio/packetcodec.h"
#include "json/peerjson.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <functional>
#include <malloc.h>

#ifdef TARNEX_HAVE_RAPIDJSON
#include <rapidjson/document.h>
#endif
#ifdef TARNEX_HAVE_SIMDJSON
#include <simdjson.h>
#endif

namespace {

QByteArray record(int i)
{
    return QByteArrayLiteral("{\"creator\":\"10002\",\"to\":\"10001\",\"chat_object\":\"10002\","
                             "\"download\":{\"name\":\"a b.pdf\",\"size\":3},\"file_type\":\"pdf\","
                             "\"haveread\":\"0\",\"msg\":\"你好 <b>x</b> ") +
           QByteArray::number(i) + QByteArrayLiteral("\",\"msg_id\":17000000000") +
           QByteArray::number(10 + i % 90) +
           QByteArrayLiteral(",\"msg_type\":\"text\",\"send_time\":1700000000001,"
                             "\"time\":1700000000001,\"type\":\"user\"}");
}

struct Frame
{
    const char *name;
    QByteArray body; // the packet's JSON: an event's array
};

QVector<Frame> frames()
{
    QByteArray page = "[\"chat record\",[";
    for (int i = 0; i < 50; ++i)
        page += (i ? "," : "") + record(i);
    page += "]]";
    QByteArray users = "[\"online users\",{\"onlineUsers\":[";
    for (int i = 0; i < 2000; ++i)
        users += (i ? ",\"" : "\"") + QByteArray::number(10000 + i) + '"';
    users += "]}]";
    return {{"one message", "[\"private message\"," + record(1) + "]"},
            {"50 records", page},
            {"2000 users", users}};
}

// Runs `step` for about `ms` and returns microseconds per call.
double timePerCall(int ms, const std::function<bool()> &step)
{
    QElapsedTimer timer;
    timer.start();
    qint64 calls = 0;
    bool ok = true;
    while (timer.elapsed() < ms) {
        for (int i = 0; i < 16; ++i)
            ok = step() && ok;
        calls += 16;
    }
    if (!ok)
        return -1;
    return timer.nsecsElapsed() / 1e3 / double(calls);
}

#ifdef TARNEX_HAVE_SIMDJSON
QJsonValue fromSimd(simdjson::dom::element e)
{
    using simdjson::dom::element_type;
    switch (e.type()) {
    case element_type::NULL_VALUE:
        return QJsonValue(QJsonValue::Null);
    case element_type::BOOL:
        return bool(e.get_bool());
    case element_type::STRING: {
        const std::string_view s = e.get_string();
        return QString::fromUtf8(s.data(), int(s.size()));
    }
    case element_type::INT64:
        return double(int64_t(e.get_int64()));
    case element_type::UINT64:
        return double(uint64_t(e.get_uint64()));
    case element_type::DOUBLE:
        return double(e.get_double());
    case element_type::ARRAY: {
        QJsonArray array;
        for (simdjson::dom::element item : e.get_array())
            array.append(fromSimd(item));
        return array;
    }
    case element_type::OBJECT: {
        QJsonObject object;
        for (simdjson::dom::key_value_pair member : e.get_object())
            object.insert(QString::fromUtf8(member.key.data(), int(member.key.size())),
                          fromSimd(member.value));
        return object;
    }
    }
    return QJsonValue();
}
#endif

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int ms = argc > 1 ? atoi(argv[1]) : 300;

    std::printf("%-12s %-28s %10s %10s\n", "frame", "parser", "us/frame", "MB/s");
    for (const Frame &frame : frames()) {
        const QString text = QStringLiteral("2/client,") + QString::fromUtf8(frame.body);
        const QByteArray &body = frame.body;
        const auto row = [&](const char *parser, double us) {
            std::printf("%-12s %-28s %10.2f %10.1f\n", frame.name, parser, us,
                        us > 0 ? body.size() / us : 0.0);
        };
        row("today's packet decoder", timePerCall(ms, [&] {
                sio::Packet packet;
                return sio::PacketCodec::decodePacket(text, &packet, nullptr);
            }));
        row("Qt fromJson",
            timePerCall(ms, [&] { return QJsonDocument::fromJson(body).isArray(); }));
#ifdef TARNEX_HAVE_RAPIDJSON
        row("RapidJSON", timePerCall(ms, [&] {
                rapidjson::Document doc;
                doc.Parse(body.constData(), size_t(body.size()));
                return !doc.HasParseError() && doc.IsArray();
            }));
        row("RapidJSON + QJsonValue", timePerCall(ms, [&] {
                rapidjson::Document doc;
                doc.Parse(body.constData(), size_t(body.size()));
                return !doc.HasParseError() && PeerJson::fromRapid(doc).isArray();
            }));
#endif
#ifdef TARNEX_HAVE_SIMDJSON
        simdjson::dom::parser parser;
        const simdjson::padded_string padded(body.constData(), size_t(body.size()));
        row("simdjson", timePerCall(ms, [&] {
                simdjson::dom::element root;
                return parser.parse(padded).get(root) == simdjson::SUCCESS && root.is_array();
            }));
        row("simdjson + QJsonValue", timePerCall(ms, [&] {
                simdjson::dom::element root;
                return parser.parse(padded).get(root) == simdjson::SUCCESS &&
                       fromSimd(root).isArray();
            }));
        // As the intake would use it: the frame arrives as a QString and is copied into padding.
        row("simdjson from QString", timePerCall(ms, [&] {
                const QByteArray utf8 = QStringView(text).mid(9).toUtf8();
                simdjson::dom::element root;
                return parser.parse(utf8.constData(), size_t(utf8.size())).get(root) ==
                           simdjson::SUCCESS &&
                       fromSimd(root).isArray();
            }));
#endif
    }

    // A key repeated after an array: what stays on the heap after 10000 such frames.
    const QByteArray repeated = "{\"sid\":\"a\",\"upgrades\":[1],\"upgrades\":[1]}";
    const int count = 10000;
    size_t before = heapInUse();
    for (int i = 0; i < count; ++i)
        (void)QJsonDocument::fromJson(repeated);
    std::printf("\nrepeated key, Qt fromJson: %.0f bytes kept per frame\n",
                double(heapInUse() - before) / count);
#ifdef TARNEX_HAVE_RAPIDJSON
    before = heapInUse();
    for (int i = 0; i < count; ++i) {
        rapidjson::Document doc;
        doc.Parse(repeated.constData(), size_t(repeated.size()));
        PeerJson::fromRapid(doc);
    }
    std::printf("repeated key, RapidJSON + QJsonValue: %.0f bytes kept per frame\n",
                double(heapInUse() - before) / count);
#endif
#ifdef TARNEX_HAVE_SIMDJSON
    {
        simdjson::dom::parser parser;
        simdjson::dom::element root;
        if (parser.parse(repeated.constData(), size_t(repeated.size())).get(root) ==
            simdjson::SUCCESS)
            fromSimd(root); // the parser's buffers are allocated once, before the count
        before = heapInUse();
        for (int i = 0; i < count; ++i) {
            if (parser.parse(repeated.constData(), size_t(repeated.size())).get(root) ==
                simdjson::SUCCESS)
                fromSimd(root);
        }
        std::printf("repeated key, simdjson + QJsonValue: %.0f bytes kept per frame\n",
                    double(heapInUse() - before) / count);
    }
#endif
    return 0;
}
