// libFuzzer target for the messaging engine's handling of what the service sends: the first byte
// picks an inbound event or the acknowledgement of a request, the rest is the JSON-ish text of
// its arguments. Nothing may crash, and every store must still read back as valid message texts.

#include "fuzzsetup.h"
#include "messaging/sockethandl.h"
#include "json/peerjson.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

QCoreApplication *application = nullptr;
std::unique_ptr<SocketHandl> engine;
QStringList events;
int runs = 0;

void freshEngine()
{
    engine.reset();
    engine = std::make_unique<SocketHandl>();
    engine->setLoginIdentity(QStringLiteral("10001"), QStringLiteral("dept"),
                             QStringLiteral("role"));
}

void checkTexts(const QStringList &texts)
{
    for (const QString &text : texts) {
        if (!QJsonDocument::fromJson(text.toUtf8()).isObject())
            abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    application = fuzzApplication(argc, argv);
    events = SocketHandl::inboundEvents() + SocketHandl::acknowledgedEvents();
    freshEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // Stores only grow; a fresh engine now and then keeps the run's memory bounded.
    if (++runs % 1000 == 0)
        freshEngine();
    const QString &event = events.at(data[0] % events.size());
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), int(size - 1));
    // As the socket.io decoder hands arguments over: a JSON array, or else the text itself.
    QJsonValue parsed;
    const bool isJson = PeerJson::parse('[' + text.toUtf8() + ']', &parsed) && parsed.isArray();
    const QJsonArray args = isJson ? parsed.toArray() : QJsonArray{text};

    if (!engine->dispatchInbound(event, args) &&
        !engine->dispatchReply(event, args, QStringLiteral("10002")))
        abort();
    // The status changes handed to the engine's thread.
    QCoreApplication::sendPostedEvents();

    for (const QString &conversation : {QStringLiteral("10002"), QStringLiteral("g-1")}) {
        checkTexts(engine->getPrivateIdFromInfors(conversation));
        checkTexts(engine->getHistoryPrivateIdFromInfors(conversation));
        checkTexts(engine->getGroupIdFromInfors(conversation));
        checkTexts(engine->getHistoryGroupIdFromInfors(conversation));
    }
    for (const QString &id : engine->getGroupIds()) {
        if (id.isEmpty())
            abort();
        engine->getGroupInforFromId(id, QStringLiteral("create_time"));
        checkTexts(engine->getGroupIdFromInfors(id));
    }
    return 0;
}
