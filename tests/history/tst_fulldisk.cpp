// The client's files on a disk that fills up: on a 2 MB filesystem filled to the last byte,
// each store says so in the user's words, keeps what it had stored intact, and writes what it
// could not once space returns. Needs the right to mount (root); skips, saying why, without it.

#include "config/configfile.h"
#include "files/filedownload.h"
#include "history/localhistory.h"
#include "messaging/messageoutbox.h"
#include "messaging/sockethandl.h"
#include "shell/historylink.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

const QString diskFullWords = QStringLiteral("磁盘已满");

QSet<qulonglong> outboxIds(const QString &path)
{
    QFile file(path);
    QSet<qulonglong> ids;
    if (!file.open(QIODevice::ReadOnly))
        return ids;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    for (const QJsonValue &value : document.array())
        ids.insert(value.toObject().value(QLatin1String("id")).toString().toULongLong());
    return ids;
}

} // namespace

class TestFullDisk : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_mount.isValid());
        if (geteuid() != 0)
            QSKIP("a small filesystem to fill needs the right to mount (root)");
        if (::mount("tmpfs", QFile::encodeName(m_mount.path()).constData(), "tmpfs", 0,
                    "size=2m,mode=0700") != 0)
            QSKIP(qPrintable(QStringLiteral("mounting a 2 MB tmpfs was refused: %1")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))));
        m_mounted = true;
    }

    void cleanupTestCase()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_mount.path()).constData(), MNT_DETACH);
    }

    void cleanup() { release(); }

    void settingsKeepTheirFileAndCatchUp()
    {
        ConfigFile *settings = ConfigFile::resetForTests(m_mount.path());
        settings->setMainConfig(QStringLiteral("kept"), QStringLiteral("1"));
        QVERIFY(!settings->writeFailed());
        fill();
        settings->setMainConfig(QStringLiteral("during"), QString(4096, QLatin1Char('x')));
        QVERIFY(settings->writeFailedForSpace());
        QCOMPARE(stored(QStringLiteral("kept")), QStringLiteral("1"));
        QVERIFY(stored(QStringLiteral("during")).isEmpty());
        release();
        settings->setMainConfig(QStringLiteral("after"), QStringLiteral("3"));
        QVERIFY(!settings->writeFailed());
        QCOMPARE(stored(QStringLiteral("kept")), QStringLiteral("1"));
        QCOMPARE(stored(QStringLiteral("during")).size(), 4096);
        QCOMPARE(stored(QStringLiteral("after")), QStringLiteral("3"));
    }

    void outboxTellsAndWritesAgain()
    {
        const QString path = m_mount.path() + QStringLiteral("/outbox.json");
        MessageOutbox outbox;
        // The window learns of the failure and of its end from the writer, without asking.
        std::atomic<int> told{0};
        outbox.setProblemListener([&told]() { ++told; });
        outbox.open(path);
        outbox.append(entry(1));
        QVERIFY(outbox.flush());
        fill();
        outbox.append(entry(2));
        QVERIFY(!outbox.flush());
        QVERIFY2(outbox.writeProblem().contains(diskFullWords), qPrintable(outbox.writeProblem()));
        QCOMPARE(outboxIds(path), QSet<qulonglong>({1}));
        QTRY_COMPARE(told.load(), 1);
        release();
        // Written again by itself, without another change.
        QTRY_VERIFY_WITH_TIMEOUT(outbox.writeProblem().isEmpty(), 20000);
        QCOMPARE(outboxIds(path), QSet<qulonglong>({1, 2}));
        QTRY_COMPARE(told.load(), 2);
    }

    void historyKeepsBatchUntilSpaceReturns()
    {
        const QString path = m_mount.path() + QStringLiteral("/history.sqlite");
        SocketHandl engine;
        HistoryLink link(&engine);
        LocalHistory *history = link.history();
        QSignalSpy shown(&link, &HistoryLink::shown);
        link.signIn(path);
        QVERIFY(shown.wait(10000));
        keep(history, 1, 50);
        QTRY_COMPARE_WITH_TIMEOUT(history->writtenCount(), 50, 10000);
        fill();
        QSignalSpy failed(history, &LocalHistory::writeFailed);
        QSignalSpy notice(&link, &HistoryLink::noticeChanged);
        keep(history, 51, 2000);
        QVERIFY(failed.wait(10000));
        QCOMPARE(failed.first().at(1).toBool(), true);
        QTRY_VERIFY(link.notice().contains(diskFullWords));
        // What was stored stays readable; the failed batch waits, whole.
        QVERIFY(history->queuedCount() > 0);
        QCOMPARE(committed(path), int(history->writtenCount()));
        release();
        QSignalSpy resumed(history, &LocalHistory::writeResumed);
        QVERIFY(resumed.wait(20000));
        QTRY_COMPARE_WITH_TIMEOUT(history->writtenCount(), 2050, 10000);
        QTRY_VERIFY(link.notice().isEmpty());
        history->close();
        QCOMPARE(committed(path), 2050);
    }

    // A download smaller than the file's write buffer, onto a full disk: every write is taken
    // in memory, so only the last flush can tell, and the download must fail, leaving nothing.
    void downloadOfBufferedBytesFails()
    {
        ConfigFile *settings = ConfigFile::resetForTests(m_mount.path());
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QByteArray body(12 * 1024, 'd');
        connect(&server, &QTcpServer::newConnection, &server, [&server, &body]() {
            QTcpSocket *socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, &body]() {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n");
                socket->write(body);
                socket->disconnectFromHost();
            });
        });
        settings->setMainConfig(QStringLiteral("currentServerIp"),
                                QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
        const QString target = m_mount.path() + QStringLiteral("/download.bin");
        fill();
        FileDownload download;
        QSignalSpy failed(&download, &FileDownload::failed);
        QSignalSpy finished(&download, &FileDownload::finished);
        download.start(QStringLiteral("1"), target);
        QTRY_VERIFY_WITH_TIMEOUT(!failed.isEmpty() || !finished.isEmpty(), 20000);
        QCOMPARE(finished.count(), 0);
        QVERIFY(!QFile::exists(target));
    }

private:
    QString filler() const { return m_mount.path() + QStringLiteral("/filler"); }

    void release()
    {
        QDir mount(m_mount.path());
        for (const QString &name : mount.entryList({QStringLiteral("filler*")}, QDir::Files))
            mount.remove(name);
    }

    // Takes every byte left (unbuffered, so a short write is seen as the end).
    void fill()
    {
        const int fd =
            ::open(QFile::encodeName(filler()).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        const QByteArray block(4096, 'f');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        const int error = errno;
        ::close(fd);
        QCOMPARE(error, ENOSPC);
        // Pages the filesystem still had for a small file written whole.
        for (int i = 0; i < 64; ++i) {
            QSaveFile more(filler() + QString::number(i));
            if (!more.open(QIODevice::WriteOnly) || more.write(QByteArray(200, 'f')) != 200 ||
                !more.commit())
                break;
        }
    }

    // The value in the file as written on disk, read without Qt's in-process cache of it.
    QString stored(const QString &key) const
    {
        QFile file(m_mount.path() + QStringLiteral("/morvane/tarnex/configfile/config.ini"));
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("(unreadable)");
        bool inGroup = false;
        const QByteArray prefix = key.toUtf8() + '=';
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith('['))
                inGroup = line == "[mainconfig]";
            else if (inGroup && line.startsWith(prefix))
                return QString::fromUtf8(line.mid(prefix.size()));
        }
        return QString();
    }

    static MessageOutbox::Entry entry(qulonglong id)
    {
        MessageOutbox::Entry e;
        e.types = QStringLiteral("2");
        e.conversation = QStringLiteral("10002");
        e.id = id;
        e.payload = QJsonObject{{QStringLiteral("msg"), QStringLiteral("你好")}};
        return e;
    }

    static void keep(LocalHistory *history, qulonglong from, int count)
    {
        for (qulonglong id = from; id < from + qulonglong(count); ++id) {
            MessageRecord record;
            record.creator = QStringLiteral("10002");
            record.msg = QStringLiteral("一条不短的消息 %1 ").arg(id).repeated(10);
            record.sendStatus = QStringLiteral("3");
            history->keepPrivate(QStringLiteral("10002"), id, record);
        }
    }

    // Records in the file as a second reader sees them, after its quick check passed.
    static int committed(const QString &path)
    {
        int count = -1;
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
            db.setDatabaseName(path);
            if (db.open()) {
                QSqlQuery query(db);
                if (query.exec(QStringLiteral("PRAGMA quick_check")) && query.next() &&
                    query.value(0).toString() == QLatin1String("ok") &&
                    query.exec(QStringLiteral("SELECT COUNT(*) FROM messages")) && query.next())
                    count = query.value(0).toInt();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("reader"));
        return count;
    }

    QTemporaryDir m_mount;
    bool m_mounted = false;
};

TARNEX_TEST_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
