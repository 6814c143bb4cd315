#pragma once

#include "referenceserver.h"

#include "config/configfile.h"
#include "files/filemessageengine.h"
#include "net/replyenvelope.h"
#include "net/serverrequest.h"
#include "session/parameterinfor.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopedPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

// Records what a chat-file upload asks of the messaging engine.
class RecordingEngine : public FileMessageEngine
{
public:
    struct Send
    {
        QString kind; // "private" or "group"
        QString ids, msgs, userName, dateTimes, sendTypes, filePathas;
        int fileIndex = 0;
        bool send = false;
        FileAttachment file;
        QString id; // the id handed out
    };

    QString userId() const override { return m_userId; }
    QString currentMessageId() const override { return m_current; }
    QString sendPrivateInfor(const QString &ids, const QString &msgs, const QString &dateTimes,
                             const QString &sendTypes, const QString &filePathas, int fileIndex,
                             bool send, const FileAttachment &file) override
    {
        return record({QStringLiteral("private"), ids, msgs, QString(), dateTimes, sendTypes,
                       filePathas, fileIndex, send, file, QString()});
    }
    QString sendGroupInfor(const QString &ids, const QString &msgs, const QString &userName,
                           const QString &dateTimes, const QString &sendTypes,
                           const QString &filePathas, int fileIndex, bool send,
                           const FileAttachment &file) override
    {
        return record({QStringLiteral("group"), ids, msgs, userName, dateTimes, sendTypes,
                       filePathas, fileIndex, send, file, QString()});
    }
    void removeMessage(const QString &ids, const QString &messageId) override
    {
        removed << ids + QLatin1Char('/') + messageId;
        calls << QStringLiteral("remove");
    }

    void clear() { *this = RecordingEngine(m_userId); }
    explicit RecordingEngine(const QString &userId = QStringLiteral("u1")) : m_userId(userId) {}

    // The attachment id the last finished upload handed over.
    QString attachmentId;
    QList<Send> sends;
    QStringList removed;
    QStringList calls;

private:
    QString record(Send s)
    {
        s.id = QString::number(++m_next);
        m_current = s.id;
        sends << s;
        if (!s.file.id.isEmpty())
            attachmentId = s.file.id;
        calls << (s.send ? QStringLiteral("send") : QStringLiteral("register"));
        return s.id;
    }

    QString m_userId;
    QString m_current;
    int m_next = 1000;
};

// Runs the event loop until `done` holds or `limitMs` pass. Unlike QTest::qWaitFor it never
// sleeps, so transfers that hand their data across threads run at full speed.
inline bool waitUntil(const std::function<bool()> &done, int limitMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    const QDeadlineTimer deadline(limitMs);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    check.start(5);
    loop.exec();
    return done();
}

// Signs in at the reference server and points the client's settings at it.
inline bool signInAt(const ReferenceServer &server, const QString &account)
{
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), server.address());
    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> reply(manager.post(
        ServerRequest::make(ServerRequest::baseUrl(server.address()) +
                            QStringLiteral("api/auth/login")),
        ServerRequest::formBody({{QStringLiteral("user_account"), account},
                                 {QStringLiteral("password"), QStringLiteral("123456")}})));
    if (!ServerRequest::waitFor(reply.data()))
        return false;
    const QString token = ReplyEnvelope::fromReply(reply.data())
                              .dataObject()
                              .value(QLatin1String("token"))
                              .toString();
    ParameterInfor::instance()->setToken(token);
    return !token.isEmpty();
}

// A file of `size` bytes whose byte i is (i * 7 + 3) % 256.
inline bool writePatternFile(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 at = 0; at < size; at += block.size()) {
        const qint64 length = qMin<qint64>(block.size(), size - at);
        for (qint64 i = 0; i < length; ++i)
            block[int(i)] = char(((at + i) * 7 + 3) % 256);
        if (file.write(block.constData(), length) != length)
            return false;
    }
    return true;
}

inline QString sha256Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

inline QJsonArray uploadRequests(const ReferenceServer &server)
{
    return server.hook(QStringLiteral("files-requests")).value(QLatin1String("requests")).toArray();
}
