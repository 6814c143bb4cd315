// Opening a long conversation in its model: the time to build the rows of 10,000 message texts
// as the engine hands them to the conversation view, the heap the rows take per message, and
// the cost of the next older page ("load more") and of a new message on top.
// In this process, no view: what the model costs before the first delegate is built.
#include "benchtarget.h"

#include "messaging/conversationmodel.h"
#include "messaging/messagejson.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>

#include <malloc.h>

namespace {

constexpr int messageCount = 10000;
constexpr int runs = 9;
const QString me = QStringLiteral("10001");

// A conversation as the engine writes its message texts: both sides, some long lines, a few
// emoticons and files.
MessageRecord record(int i)
{
    const qint64 id = 1765000000000 + qint64(i) * 45000;
    const bool file = i % 50 == 7;
    MessageRecord r;
    r.creator = i % 3 == 0 ? me : QStringLiteral("10002");
    r.download = file ? QStringLiteral("att-%1").arg(i) : QString();
    r.fileType = file ? QStringLiteral("pdf") : QString();
    QString msg = QStringLiteral("第 %1 条消息，message number %1").arg(i + 1);
    if (i % 7 == 0)
        msg += QStringLiteral("，一段更长的文字让气泡换行显示，看看排版是否仍然整齐 and some "
                              "English words so the bubble wraps over two or three lines");
    if (i % 11 == 0)
        msg += QStringLiteral(
            R"(<i contenteditable="false"  class="emoji-picker emoji-smile" alt="smile" title=":smile:"></i>)");
    r.msg = file ? QStringLiteral("季度报告 %1.pdf").arg(i) : msg;
    r.msgId = QString::number(id);
    r.msgType = file ? QStringLiteral("file") : QStringLiteral("text");
    r.sendTime = QString::number(id);
    r.time = QString::number(id);
    r.type = QStringLiteral("user");
    r.sendStatus = i % 3 == 0 ? QStringLiteral("2") : QStringLiteral("3");
    return r;
}

QStringList texts(int from, int to)
{
    QStringList list;
    for (int i = from; i < to; ++i)
        list << MessageJson::privateText(record(i));
    return list;
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

qint64 heapInUse()
{
    return qint64(mallinfo2().uordblks);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    // The newest 10,000 of a longer conversation, and the page before them.
    const QStringList conversation = texts(20, messageCount + 20);
    const QStringList withOlderPage = texts(0, messageCount + 20);
    const int averageText = [&conversation] {
        qint64 chars = 0;
        for (const QString &t : conversation)
            chars += t.size();
        return int(chars / conversation.size());
    }();

    QVector<double> openMs;
    QVector<double> pageMs;
    QVector<double> arrivalUs;
    qint64 bytes = -1;
    int rows = 0;
    bool complete = true;
    for (int run = 0; run < runs + 1; ++run) {
        const qint64 heapBefore = heapInUse();
        {
            ConversationModel model;
            model.setSelfId(me);
            QElapsedTimer clock;
            clock.start();
            model.setRecords(conversation);
            const double ms = clock.nsecsElapsed() / 1e6;
            rows = model.count();
            if (run == 0)
                bytes = heapInUse() - heapBefore;
            clock.restart();
            model.merge(withOlderPage);
            const double page = clock.nsecsElapsed() / 1e6;
            const QString next = MessageJson::privateText(record(messageCount + 20));
            clock.restart();
            model.receive(next);
            const double arrival = clock.nsecsElapsed() / 1e3;
            if (run > 0) { // the first run warms the allocator and the caches
                openMs << ms;
                pageMs << page;
                arrivalUs << arrival;
            }
            // Every older message once, and the new one.
            complete = complete && model.count() == rows + 21;
        }
    }

    out << bench::figureLine(
        QStringLiteral("conversation of %1 messages into its model, median of %2")
            .arg(messageCount)
            .arg(runs),
        median(openMs), QStringLiteral("ms"), bench::Op::Below, 60);
    out << QStringLiteral("  min %1 ms, max %2 ms; message texts of %3 characters on average\n")
               .arg(*std::min_element(openMs.begin(), openMs.end()), 0, 'f', 1)
               .arg(*std::max_element(openMs.begin(), openMs.end()), 0, 'f', 1)
               .arg(averageText);
    out << bench::figureLine(QStringLiteral("model memory per message"),
                             rows > 0 ? double(bytes) / rows : -1, QStringLiteral("B"),
                             bench::Op::Below, 1024, 0);
    out << QStringLiteral("older page of 20 merged into the %1 rows: median %2 ms\n")
               .arg(messageCount)
               .arg(median(pageMs), 0, 'f', 2);
    out << QStringLiteral("a new message on top of them: median %1 us\n")
               .arg(median(arrivalUs), 0, 'f', 1);
    return rows == messageCount && complete ? 0 : 1;
}
