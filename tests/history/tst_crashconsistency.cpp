// The client's files after kill -9: a child process keeps changing the settings and the local
// history and sends a steady stream of messages through the messaging engine to the reference
// server, saying on stdout which write it saw finished and which message the server
// acknowledged; the test kills it at a point chosen (with a fixed seed) by counting those lines,
// then checks that every file parses and holds every write reported before the kill, and that
// the server holds every acknowledged message once and was never sent one again. The files stay
// from one run to the next, so each run also starts from what the one before was killed in.

#include "config/configfile.h"
#include "history/localhistory.h"
#include "messaging/sockethandl.h"
#include "referenceserver.h"
#include "session/parameterinfor.h"
#include "testenvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kills = 100;
constexpr int settingKeys = 16;
constexpr int recordsPerStep = 25;
// Messages waiting for the service at most: a steady load, not a flood.
constexpr int messagesInFlight = 4;
const QString me = QStringLiteral("10001");
const QString peer = QStringLiteral("10002");

QString historyPath(const QString &dir)
{
    return dir + QStringLiteral("/history.sqlite");
}

// One write per line: the history's thread reports too.
void say(QByteArray line)
{
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

// The writing side. Numbers start at `from`, so each run's writes differ from the last run's.
int runChild(const QString &dir, qulonglong from, const QString &port)
{
    ConfigFile *settings = ConfigFile::resetForTests(dir);
    settings->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("127.0.0.1:") + port);
    ParameterInfor *parameters = ParameterInfor::instance();
    parameters->setImHost(QStringLiteral("127.0.0.1"));
    parameters->setImPort(port);
    parameters->setImPortHttps(QString());
    SocketHandl engine;
    engine.setLoginIdentity(me, QStringLiteral("技术研发部"), QStringLiteral("部门经理"));
    say("OUTBOX " + SocketHandl::outboxPathFor(me).toUtf8());
    // The engine hands its outbox to a writer of its own after the acknowledgement: a message
    // counts as acknowledged once the server took it and the stored outbox, seen holding it
    // before, no longer does (a snapshot from before its removal may still be on its way).
    QSet<qulonglong> unsaved;
    QSet<qulonglong> seen;
    QObject::connect(
        &engine, &SocketHandl::sigMessageStatus,
        [&unsaved](const QString &, const QString &, qulonglong id, const QString &status) {
            if (status == QLatin1String("2"))
                unsaved.insert(id);
        });
    const QString outboxFile = SocketHandl::outboxPathFor(me);
    const auto reportSaved = [&unsaved, &seen, &outboxFile]() {
        QFile file(outboxFile);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
        if (!document.isArray())
            return;
        QSet<qulonglong> stored;
        for (const QJsonValue &value : document.array())
            stored.insert(value.toObject().value(QLatin1String("id")).toString().toULongLong());
        seen.unite(stored);
        for (auto it = unsaved.begin(); it != unsaved.end();) {
            if (stored.contains(*it) || !seen.contains(*it)) {
                ++it;
                continue;
            }
            say("M " + QByteArray::number(*it));
            it = unsaved.erase(it);
        }
    };
    engine.connectServer();
    LocalHistory history;
    qulonglong nextRecord = from;
    QObject::connect(&history, &LocalHistory::setAside,
                     [](const QString &movedTo) { say("DAMAGED " + movedTo.toUtf8()); });
    // Records are written in the order kept, so a count says which ids are in the file.
    QObject::connect(&history, &LocalHistory::batchWritten, [&history, from](int) {
        say("H " + QByteArray::number(from + qulonglong(history.writtenCount()) - 1));
    });
    history.open(historyPath(dir));
    qulonglong step = from;
    QTimer writer;
    QObject::connect(&writer, &QTimer::timeout, [&]() {
        const QString key = QStringLiteral("crash%1").arg(step % settingKeys);
        settings->setMainConfig(key, QString::number(step));
        if (!settings->writeFailed())
            say("S " + key.toUtf8() + ' ' + QByteArray::number(step));
        reportSaved();
        if (engine.outboxCount() < messagesInFlight)
            engine.sendPrivateInfor(peer, QStringLiteral("消息 %1").arg(step), QString());
        for (int i = 0; i < recordsPerStep; ++i) {
            MessageRecord record;
            record.creator = QStringLiteral("10002");
            record.msg = QStringLiteral("记录 %1 ").arg(nextRecord).repeated(8);
            record.msgId = QString::number(nextRecord);
            record.sendStatus = QStringLiteral("3");
            history.keepPrivate(QStringLiteral("10002"), nextRecord++, record);
        }
        ++step;
    });
    writer.start(0);
    return QCoreApplication::exec();
}

// What the child reported finished before it was killed.
struct Acknowledged
{
    QHash<QString, qulonglong> settings; // key: the last value reported
    QSet<qulonglong> messages;           // acknowledged by the server
    // How often each acknowledged message reached the server when first checked.
    QHash<qulonglong, int> sends;
    QString outbox;
    // Each run's first record id and the last one reported written.
    QVector<QPair<qulonglong, qulonglong>> records;
    int lines = 0;
    int settingWrites = 0;
    bool damaged = false;

    qulonglong keptRecords() const
    {
        qulonglong total = 0;
        for (const auto &run : records)
            total += run.second + 1 - run.first;
        return total;
    }

    void take(const QByteArray &line)
    {
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.size() < 2)
            return;
        ++lines;
        const QByteArray &kind = words.at(0);
        if (kind == "S" && words.size() == 3) {
            settings[QString::fromUtf8(words.at(1))] = words.at(2).toULongLong();
            ++settingWrites;
        } else if (kind == "M")
            messages.insert(words.at(1).toULongLong());
        else if (kind == "OUTBOX") {
            outbox = QString::fromUtf8(line.trimmed().mid(7));
            --lines;
        } else if (kind == "H" && !records.isEmpty())
            records.last().second = qMax(records.last().second, words.at(1).toULongLong());
        else if (kind == "DAMAGED")
            damaged = true;
    }
};

} // namespace

class TestCrashConsistency : public QObject
{
    Q_OBJECT
private slots:
    void everyAcknowledgedWriteSurvivesKill()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // One server for every run: what it accepted must outlive the client's kills.
        ReferenceServer server;
        QVERIFY2(server.start(), qPrintable(server.output()));
        QRandomGenerator random(26);
        Acknowledged acked;
        qulonglong from = 1;
        int checkedWrites = 0;
        for (int run = 0; run < kills; ++run) {
            // Most kills come within a few writes of the start (opening after a crash), some
            // deep into a run.
            const int target = acked.lines + 1 + int(random.bounded(run % 4 == 0 ? 200u : 20u));
            acked.records.append({from, from - 1});
            QProcess child;
            child.setProgram(QCoreApplication::applicationFilePath());
            child.setArguments({QStringLiteral("--crash-child"), dir.path(), QString::number(from),
                                QString::number(server.port())});
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                               QStringLiteral("*.debug=false;*.info=false"));
            child.setProcessEnvironment(environment);
            child.start();
            QVERIFY2(child.waitForStarted(10000), qPrintable(child.errorString()));
            while (acked.lines < target) {
                if (!child.canReadLine()) {
                    // A kill between the creation of the settings' lock file and the writing of
                    // its owner leaves a lock that the next child takes as stale only after
                    // Qt's 30 s: allow for that wait.
                    QVERIFY2(
                        child.state() == QProcess::Running && child.waitForReadyRead(45000),
                        qPrintable(
                            QStringLiteral("run %1: no line after %2").arg(run).arg(acked.lines)));
                    continue;
                }
                acked.take(child.readLine());
            }
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(10000));
            // Lines written before the kill count as acknowledged too.
            while (child.canReadLine())
                acked.take(child.readLine());
            QVERIFY2(!acked.damaged, "the history was found damaged after a kill");
            checkedWrites += checkFiles(dir.path(), acked);
            if (!QTest::currentTestFailed())
                checkedWrites += checkServer(server, acked);
            if (QTest::currentTestFailed())
                return;
            // Past every number the child may have used.
            from += 1000000;
        }
        qInfo("%d kills; acknowledged before them and found after: %d settings writes, %d "
              "messages (each stored once, none sent again), %llu history records; %d checks, "
              "nothing lost or repeated",
              kills, acked.settingWrites, int(acked.messages.size()), acked.keptRecords(),
              checkedWrites);
    }

private:
    // Every acknowledged message is stored once, and none reached the server again after the
    // check that first saw it acknowledged: a later run must not send it from its outbox.
    int checkServer(const ReferenceServer &server, Acknowledged &acked)
    {
        QHash<qulonglong, int> stored;
        const QJsonArray accepted =
            server.hook(QStringLiteral("accepted"), {{QStringLiteral("from"), me}})
                .value(QLatin1String("messages"))
                .toArray();
        for (const QJsonValue &value : accepted)
            ++stored[idOf(value.toObject().value(QLatin1String("msg_id")))];
        QHash<qulonglong, int> sent;
        const QJsonArray events =
            server
                .hook(QStringLiteral("received"),
                      {{QStringLiteral("user"), me},
                       {QStringLiteral("event"), QStringLiteral("send message")}})
                .value(QLatin1String("events"))
                .toArray();
        for (const QJsonValue &value : events) {
            const QJsonObject payload =
                value.toObject().value(QLatin1String("args")).toArray().first().toObject();
            ++sent[idOf(payload.value(QLatin1String("msg_id")))];
        }
        for (const qulonglong id : qAsConst(acked.messages)) {
            if (stored.value(id) != 1) {
                QTest::qFail(qPrintable(QStringLiteral("acknowledged message %1 stored %2 times")
                                            .arg(id)
                                            .arg(stored.value(id))),
                             __FILE__, __LINE__);
                return 0;
            }
            const auto first = acked.sends.constFind(id);
            if (first == acked.sends.cend())
                acked.sends.insert(id, sent.value(id));
            else if (sent.value(id) != first.value()) {
                QTest::qFail(
                    qPrintable(QStringLiteral("acknowledged message %1 was sent again").arg(id)),
                    __FILE__, __LINE__);
                return 0;
            }
        }
        return int(acked.messages.size());
    }

    static qulonglong idOf(const QJsonValue &value)
    {
        return value.isString() ? value.toString().toULongLong() : qulonglong(value.toDouble());
    }

    int checkFiles(const QString &dir, const Acknowledged &acked)
    {
        int checked = 0;
        {
            QSettings settings(dir + QStringLiteral("/morvane/tarnex/configfile/config.ini"),
                               QSettings::IniFormat);
            settings.allKeys();
            if (settings.status() != QSettings::NoError) {
                QTest::qFail("the settings file does not parse", __FILE__, __LINE__);
                return checked;
            }
            for (auto it = acked.settings.cbegin(); it != acked.settings.cend(); ++it) {
                const qulonglong stored =
                    settings.value(QStringLiteral("mainconfig/") + it.key()).toULongLong();
                // The last reported value, or one written after it.
                if (stored < it.value()) {
                    QTest::qFail(qPrintable(QStringLiteral("setting %1 is %2, %3 was saved")
                                                .arg(it.key())
                                                .arg(stored)
                                                .arg(it.value())),
                                 __FILE__, __LINE__);
                    return checked;
                }
                ++checked;
            }
        }
        {
            // Absent until the engine first saves it.
            QFile file(acked.outbox);
            QJsonParseError error;
            const QJsonDocument document = file.open(QIODevice::ReadOnly)
                                               ? QJsonDocument::fromJson(file.readAll(), &error)
                                               : QJsonDocument(QJsonArray());
            if (!document.isArray()) {
                QTest::qFail("the outbox does not parse", __FILE__, __LINE__);
                return checked;
            }
            for (const QJsonValue &value : document.array()) {
                const qulonglong id = idOf(value.toObject().value(QLatin1String("id")));
                if (acked.messages.contains(id)) {
                    QTest::qFail(
                        qPrintable(
                            QStringLiteral("acknowledged message %1 would be sent again").arg(id)),
                        __FILE__, __LINE__);
                    return checked;
                }
            }
            ++checked;
        }
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(historyPath(dir));
            bool ok = db.open();
            QString fault = db.lastError().text();
            if (ok) {
                QSqlQuery check(db);
                ok = check.exec(QStringLiteral("PRAGMA quick_check")) && check.next() &&
                     check.value(0).toString() == QLatin1String("ok");
                fault = QStringLiteral("quick_check: ") + check.value(0).toString();
                QSqlQuery count(db);
                count.prepare(
                    QStringLiteral("SELECT COUNT(*) FROM messages WHERE msg_id BETWEEN ? AND ?"));
                for (const auto &run : acked.records) {
                    if (!ok || run.second < run.first)
                        continue;
                    count.addBindValue(run.first);
                    count.addBindValue(run.second);
                    ok = count.exec() && count.next() &&
                         count.value(0).toULongLong() == run.second - run.first + 1;
                    fault = QStringLiteral("records %1 to %2 not all kept")
                                .arg(run.first)
                                .arg(run.second);
                    checked += int(run.second - run.first + 1);
                }
                db.close();
            }
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("check"));
            if (!ok)
                QTest::qFail(qPrintable(QStringLiteral("history: ") + fault), __FILE__, __LINE__);
        }
        return checked;
    }
};

int main(int argc, char **argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--crash-child") == 0) {
        QCoreApplication app(argc, argv);
        return runChild(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toULongLong(),
                        QString::fromLocal8Bit(argv[4]));
    }
    TARNEX_TEST_MAIN_BODY(TestCrashConsistency)
}

#include "tst_crashconsistency.moc"
