// The inbound fuzz target's seed corpus as named fixtures for the conversation stores: each file is
// one event with its arguments, read the way the fuzz target reads it. Nothing may crash, every
// stored text stays a JSON object, and every well-formed message or group in a file is kept.

#include "messaging/sockethandl.h"
#include "messagingtestkit.h"
#include "session/parameterinfor.h"
#include "testenvironment.h"
#include "json/jsonfield.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <QtTest>

namespace {

const QString me = QStringLiteral("10001");
// The conversation the fuzz target hands with every acknowledgement.
const QString replyConversation = QStringLiteral("10002");

QString corpusDir()
{
    return QStringLiteral(TARNEX_SOURCE_DIR "/tests/fuzz/corpus/messaging_inbound");
}

QStringList allEvents()
{
    return SocketHandl::inboundEvents() + SocketHandl::acknowledgedEvents();
}

// The events whose objects each add a group to the engine's list.
bool addsGroups(const QString &event)
{
    return event == QLatin1String("add group") || event == QLatin1String("edit groupAdd") ||
           event == QLatin1String("send myGroup");
}

// The objects of the arguments and of the arrays among them: where messages and groups travel.
QList<QJsonObject> objectsOf(const QJsonArray &args)
{
    QList<QJsonObject> objects;
    for (const QJsonValue &arg : args) {
        if (arg.isObject())
            objects << arg.toObject();
        const QJsonArray items = arg.toArray();
        for (const QJsonValue &item : items) {
            if (item.isObject())
                objects << item.toObject();
        }
    }
    return objects;
}

QString idOf(const QJsonObject &object, const char *key)
{
    return JsonField::id(object.value(QLatin1String(key)));
}

} // namespace

class TestInboundCorpus : public QObject
{
    Q_OBJECT
private slots:
    void storesKeepCorpus_data();
    void storesKeepCorpus();
};

void TestInboundCorpus::storesKeepCorpus_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QJsonArray>("args");
    const QStringList events = allEvents();
    const QFileInfoList files = QDir(corpusDir()).entryInfoList(QDir::Files, QDir::Name);
    QVERIFY2(files.size() >= 10, qPrintable(corpusDir()));
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        QVERIFY2(!data.isEmpty(), qPrintable(info.fileName()));
        // As the fuzz target reads an input: the first byte picks the event, the rest is the
        // text of its arguments, a JSON array or else one text.
        const QString event = events.at(quint8(data.at(0)) % events.size());
        const QByteArray rest = data.mid(1);
        const QJsonDocument document = QJsonDocument::fromJson('[' + rest + ']');
        const QJsonArray args =
            document.isArray() ? document.array() : QJsonArray{QString::fromUtf8(rest)};
        QTest::newRow(qPrintable(info.fileName())) << event << args;
    }
}

void TestInboundCorpus::storesKeepCorpus()
{
    QFETCH(QString, event);
    QFETCH(QJsonArray, args);
    SocketHandl engine;
    engine.setLoginIdentity(me, QStringLiteral("研发部"), QStringLiteral("经理"));
    ParameterInfor::instance()->subtractOnline(ParameterInfor::instance()->onlineUsers());

    QVERIFY(engine.dispatchInbound(event, args) ||
            engine.dispatchReply(event, args, replyConversation));
    // Status changes are handed to the engine's thread.
    QCoreApplication::sendPostedEvents();

    QSet<QString> conversations{replyConversation};
    const QList<QJsonObject> objects = objectsOf(args);
    for (const QJsonObject &object : objects) {
        for (const char *key : {"group_id", "chat_object", "creator", "to"})
            conversations << idOf(object, key);
    }
    const QStringList groups = engine.getGroupIds();
    conversations += QSet<QString>(groups.cbegin(), groups.cend());
    conversations.remove(QString());

    QSet<QString> storedIds;
    for (const QString &conversation : qAsConst(conversations)) {
        const QStringList texts = engine.getPrivateIdFromInfors(conversation) +
                                  engine.getHistoryPrivateIdFromInfors(conversation) +
                                  engine.getGroupIdFromInfors(conversation) +
                                  engine.getHistoryGroupIdFromInfors(conversation);
        for (const QString &text : texts) {
            const QJsonDocument stored = QJsonDocument::fromJson(text.toUtf8());
            QVERIFY2(stored.isObject(), qPrintable(text));
            storedIds << stored.object().value(QLatin1String("msg_id")).toString();
        }
    }

    for (const QJsonObject &object : objects) {
        const QString msgId = idOf(object, "msg_id");
        if (object.contains(QLatin1String("msg")) && msgId.toULongLong() > 0)
            QVERIFY2(storedIds.contains(msgId), qPrintable(QStringLiteral("message ") + msgId));
        const QString groupId = idOf(object, "id");
        if (addsGroups(event) && object.contains(QLatin1String("members")) && !groupId.isEmpty()) {
            QVERIFY2(groups.contains(groupId), qPrintable(QStringLiteral("group ") + groupId));
            QCOMPARE(engine.getGroupInforFromId(groupId, QStringLiteral("name")),
                     JsonField::text(object.value(QLatin1String("name"))));
        }
    }
}

TARNEX_TEST_MAIN(TestInboundCorpus)
#include "tst_inboundcorpus.moc"
