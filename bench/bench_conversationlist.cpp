// The news list's model with 5,000 conversations: a message arrives for one of them, from the
// store's JSON text to its row moved on top with the new text, time and unread count (target
// under 2 ms, the median and the slowest of 99 in 100, in wall
// and in processor time). Also the full ordering by time after the
// last-record answers, for information.
//
// usage: bench_conversationlist [conversations] [arrivals]
#include "benchtarget.h"

#include "desktop/noticetext.h"
#include "messaging/conversationlistmodel.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextStream>

#include <algorithm>
#include <ctime>

#ifndef TARNEX_BUILD_TYPE
#define TARNEX_BUILD_TYPE "unknown"
#endif

namespace {

double percentile(QVector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    if (values.isEmpty())
        return -1;
    return values.at(qMin(values.size() - 1, int(values.size() * p)));
}

// This thread's processor time: on a shared machine the wall clock measures the other loads too.
double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

QString idOf(int i)
{
    return QString::number(20000 + i);
}

void fill(ConversationListModel &model, int conversations, QRandomGenerator &random)
{
    model.ensureSystemRow(QStringLiteral("系统消息"), QStringLiteral("系统消息提醒"));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < conversations; ++i) {
        const int at = model.addConversation(idOf(i), QStringLiteral("同事 %1").arg(i),
                                             QStringLiteral("2"), false, QString(), false);
        model.showMessage(at, QStringLiteral("上一条消息"),
                          double(now - qint64(random.bounded(30 * 24 * 3600)) * 1000));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int conversations = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;
    const int arrivals = argc > 2 ? QByteArray(argv[2]).toInt() : 2000;
    QTextStream out(stdout);
    QRandomGenerator random(7);

    ConversationListModel model;
    fill(model, conversations, random);
    model.sortByTime();
    QObject::connect(&model, &ConversationListModel::messageArrived, &model,
                     [&model](const QString &ids, const QString &, const QString &, const QString &,
                              const QString &msg, const QString &msgType, double stamp, bool) {
                         const int index =
                             model.arrive(ids, NoticeText::preview(msg, msgType), stamp);
                         model.setUnread(index, model.row(index).unread + 1);
                     });

    // The texts as the store hands them, made beforehand.
    QVector<QPair<QString, QString>> messages;
    messages.reserve(arrivals);
    for (int i = 0; i < arrivals; ++i) {
        const QString sendTime =
            QDateTime::currentDateTime().addSecs(i).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        const QString id = idOf(int(random.bounded(conversations)));
        messages.append({id, QStringLiteral(R"({"creator":"%1","msg":"明天上午十点开会 %2",)"
                                            R"("msg_id":"%3","msg_type":"text",)"
                                            R"("send_time":"%4","type":"user"})")
                                 .arg(id)
                                 .arg(i)
                                 .arg(1700000000000 + i)
                                 .arg(sendTime)});
    }
    QVector<double> times;
    QVector<double> cpu;
    times.reserve(arrivals);
    cpu.reserve(arrivals);
    QElapsedTimer timer;
    for (const auto &message : qAsConst(messages)) {
        const double cpuStart = cpuMs();
        timer.start();
        model.readPrivate(message.first, message.second);
        times.append(double(timer.nsecsElapsed()) / 1e6);
        cpu.append(cpuMs() - cpuStart);
    }
    // The worst place: the last row.
    QVector<double> last;
    for (int i = 0; i < 200; ++i) {
        const QString id = model.row(model.count() - 1).ids;
        timer.start();
        model.readPrivate(
            id, QStringLiteral(R"({"creator":"%1","msg":"到","msg_type":"text"})").arg(id));
        last.append(double(timer.nsecsElapsed()) / 1e6);
    }

    ConversationListModel shuffled;
    fill(shuffled, conversations, random);
    timer.start();
    shuffled.sortByTime();
    const double sortMs = double(timer.nsecsElapsed()) / 1e6;

    out << QStringLiteral("conversation list, %1 conversations (%2 build)\n")
               .arg(conversations)
               .arg(QLatin1String(TARNEX_BUILD_TYPE));
    using bench::Op;
    out << bench::figureLine(QStringLiteral("arriving message, median"), percentile(times, 0.5),
                             QStringLiteral("ms"), Op::Below, 2, 3);
    out << bench::figureLine(QStringLiteral("arriving message, 99th percentile"),
                             percentile(times, 0.99), QStringLiteral("ms"), Op::Below, 2, 3);
    out << bench::figureLine(QStringLiteral("arriving message, 99th percentile of processor time"),
                             percentile(cpu, 0.99), QStringLiteral("ms"), Op::Below, 2, 3);
    out << bench::figureLine(QStringLiteral("arriving message for the last row, median"),
                             percentile(last, 0.5), QStringLiteral("ms"), Op::Below, 2, 3);
    out << QStringLiteral("%1 %2 ms\n")
               .arg(QStringLiteral("ordering all rows by time (unordered)"), -60)
               .arg(sortMs, 10, 'f', 3);
    return 0;
}
