// Opening a long conversation: the time from handing 2,000 message texts to the conversation view
// until its first frame is drawn, the number of message delegates that exist then, the longest
// frame while scrolling the whole conversation (by the wall clock and by the GUI thread's own
// time), and the memory the open conversation costs.
// Offscreen with the software renderer, in this process (no server: the texts are what the
// messaging engine hands the view).
#include "benchtarget.h"
#include "procusage.h"
#include "shell/qmltypes.h"
#include "testenvironment.h"

#include "desktop/startupcontext.h"
#include "messaging/conversationmodel.h"
#include "messaging/sockethandl.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTextStream>

#include <algorithm>

#include <time.h>

namespace {

// The GUI thread's own processor time: on a busy machine the wall clock of a frame also counts
// the time other processes held the core.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

constexpr int messageCount = 2000;
constexpr int runs = 9;

// A conversation as the engine writes its message texts: both sides, some long lines, a few
// emoticons and files.
QStringList conversationTexts()
{
    QStringList texts;
    const qint64 start = 1765000000000;
    for (int i = 0; i < messageCount; ++i) {
        const qint64 id = start + qint64(i) * 45000;
        const bool mine = i % 3 == 0;
        QJsonObject record;
        record[QStringLiteral("creator")] =
            mine ? QStringLiteral("10001") : QStringLiteral("10002");
        record[QStringLiteral("download")] =
            i % 50 == 7 ? QStringLiteral("att-%1").arg(i) : QString();
        record[QStringLiteral("file_type")] = i % 50 == 7 ? QStringLiteral("pdf") : QString();
        record[QStringLiteral("haveread")] = QString();
        QString msg = QStringLiteral("第 %1 条消息，message number %1").arg(i + 1);
        if (i % 7 == 0)
            msg += QStringLiteral("，一段更长的文字让气泡换行显示，看看排版是否仍然整齐 and some "
                                  "English words so the bubble wraps over two or three lines");
        if (i % 11 == 0)
            msg += QStringLiteral(
                R"(<i contenteditable="false"  class="emoji-picker emoji-smile" alt="smile" title=":smile:"></i>)");
        record[QStringLiteral("msg")] =
            i % 50 == 7 ? QStringLiteral("季度报告 %1.pdf").arg(i) : msg;
        record[QStringLiteral("msg_id")] = QString::number(id);
        record[QStringLiteral("msg_type")] =
            i % 50 == 7 ? QStringLiteral("file") : QStringLiteral("text");
        record[QStringLiteral("send_time")] =
            QStringLiteral("2025-12-06 10:%1:00").arg(i % 60, 2, 10, QLatin1Char('0'));
        record[QStringLiteral("time")] = QString::number(id);
        record[QStringLiteral("type")] = QStringLiteral("user");
        record[QStringLiteral("sendStatus")] = mine ? QStringLiteral("2") : QStringLiteral("3");
        texts << QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Indented))
                     .remove(QLatin1Char('\n'));
    }
    return texts;
}

// The same conversation in the messaging engine's store, as the service's reply fills it.
void fillStore(const QStringList &texts)
{
    QJsonArray records;
    for (const QString &text : texts) {
        QJsonObject record = QJsonDocument::fromJson(text.toUtf8()).object();
        record.remove(QStringLiteral("sendStatus"));
        records.append(record);
    }
    const QString last = records.last().toObject().value(QStringLiteral("msg_id")).toString();
    SocketHandl::instance()->setLoginIdentity(QStringLiteral("10001"), QString(), QString());
    SocketHandl::instance()->dispatchReply(QStringLiteral("get record"),
                                           {records, QJsonObject{{QStringLiteral("10002"), last}}},
                                           QStringLiteral("10002"));
}

int messageDelegates(QQuickItem *list)
{
    int n = 0;
    const auto *flickable = list->property("contentItem").value<QQuickItem *>();
    for (QQuickItem *child : flickable->childItems()) {
        if (child->objectName().startsWith(QLatin1String("message_")))
            ++n;
    }
    return n;
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    tarnexBenchEnvironment();
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    registerQmlTypes();

    QQuickView view;
    StartupContext values;
    values.curretnVersionInfor = QStringLiteral("5.0.0.4");
    values.newVersionInfor = QStringLiteral("5.0.0.4");
    values.publish(view.engine()->rootContext());
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.resize(712, 460); // the conversation area of the 1040x700 main frame
    view.setSource(QUrl(QStringLiteral("qrc:/ChatRecord.qml")));
    QQuickItem *chat = view.rootObject();
    if (!chat) {
        out << "ChatRecord.qml did not load\n";
        return 1;
    }
    view.show();
    chat->setProperty("currentId", QStringLiteral("10002"));
    chat->setProperty("currentName", QStringLiteral("李娜"));
    chat->setProperty("currentTypes", QStringLiteral("2"));
    chat->setProperty("selfId", QStringLiteral("10001"));
    chat->setProperty("selfName", QStringLiteral("张伟"));
    auto *list = chat->findChild<QQuickItem *>(QStringLiteral("chatList"));
    const QStringList texts = conversationTexts();
    // TARNEX_BENCH_FROM_STORE=1 opens the conversation as the window does, the view's model
    // reading the engine's store, instead of handing it the texts.
    const bool fromStore = qEnvironmentVariableIsSet("TARNEX_BENCH_FROM_STORE");
    auto *model = chat->findChild<ConversationModel *>();
    if (fromStore)
        fillStore(texts);
    view.grabWindow();
    const qint64 pssBefore = procusage::pssOf(QStringLiteral("self"));

    QVector<double> openMs;
    QVector<double> rowsMs;
    int delegates = 0;
    for (int run = 0; run < runs + 1; ++run) {
        if (fromStore)
            model->clear();
        else
            QMetaObject::invokeMethod(chat, "setRecords", Q_ARG(QVariant, QVariant()));
        view.grabWindow();
        QElapsedTimer clock;
        clock.start();
        if (fromStore)
            model->load();
        else
            QMetaObject::invokeMethod(chat, "setRecords", Q_ARG(QVariant, QVariant(texts)));
        const double modelMs = clock.nsecsElapsed() / 1e6;
        view.grabWindow(); // polish, layout of the visible rows, one frame
        const double ms = clock.nsecsElapsed() / 1e6;
        if (run > 0) { // the first run compiles the delegate
            openMs << ms;
            rowsMs << modelMs;
        }
        delegates = messageDelegates(list);
    }
    const int rows = list->property("count").toInt();
    const qint64 pssOpen = procusage::pssOf(QStringLiteral("self"));

    // End to end: from the newest message, where the view opens at the bottom, up to the
    // oldest, most of a page per frame.
    QVector<double> frames;
    QVector<double> frameCpu;
    const double step = list->height() * 0.8;
    for (int i = 0; i < 100000 && !list->property("atYBeginning").toBool(); ++i) {
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = threadCpuMs();
        list->setProperty("contentY", list->property("contentY").toDouble() - step);
        view.grabWindow();
        frames << clock.nsecsElapsed() / 1e6;
        frameCpu << threadCpuMs() - cpuStart;
        // The view re-estimates its extent while it builds rows: keep the top in sight.
        if (list->property("contentY").toDouble() <= list->property("originY").toDouble())
            break;
    }
    const int delegatesAfter = messageDelegates(list);
    const qint64 pssAfter = procusage::pssOf(QStringLiteral("self"));

    out << bench::figureLine(
        QStringLiteral("conversation of %1 messages opened%3 and drawn, median of %2")
            .arg(rows)
            .arg(runs)
            .arg(fromStore ? QStringLiteral(" from the store") : QString()),
        median(openMs), QStringLiteral("ms"), bench::Op::AtMost, 150);
    out << QStringLiteral("  min %1 ms, max %2 ms, %3 message delegates for %4 rows\n")
               .arg(*std::min_element(openMs.begin(), openMs.end()), 0, 'f', 1)
               .arg(*std::max_element(openMs.begin(), openMs.end()), 0, 'f', 1)
               .arg(delegates)
               .arg(rows);
    out << QStringLiteral("  of which the rows of the model: median %1 ms\n")
               .arg(median(rowsMs), 0, 'f', 1);
    if (!frames.isEmpty())
        out << bench::figureLine(QStringLiteral("longest frame scrolling it end to end"),
                                 *std::max_element(frames.begin(), frames.end()),
                                 QStringLiteral("ms"), bench::Op::AtMost, 16)
            << QStringLiteral("  %1 frames, median %2 ms; %3\n")
                   .arg(frames.size())
                   .arg(median(frames), 0, 'f', 1)
                   .arg(QGuiApplication::platformName() + QStringLiteral(" platform, ") +
                        qEnvironmentVariable("QT_QUICK_BACKEND", QStringLiteral("default")) +
                        QStringLiteral(" rendering"));
    if (!frameCpu.isEmpty())
        out << QStringLiteral("  the GUI thread's own time per frame: median %1 ms, longest %2 ms "
                              "(the wall clock above also counts other processes on the cores)\n")
                   .arg(median(frameCpu), 0, 'f', 1)
                   .arg(*std::max_element(frameCpu.begin(), frameCpu.end()), 0, 'f', 1);
    // TARNEX_BENCH_FRAMES=1 lists every slow frame, to see where the longest ones fall.
    if (qEnvironmentVariableIsSet("TARNEX_BENCH_FRAMES"))
        for (int i = 0; i < frames.size(); ++i)
            if (frames[i] > 20)
                out << QStringLiteral("frame %1: %2 ms, GUI thread %3 ms\n")
                           .arg(i)
                           .arg(frames[i], 0, 'f', 1)
                           .arg(frameCpu[i], 0, 'f', 1);
    out << QStringLiteral("message delegates in use after scrolling: %1\n").arg(delegatesAfter);
    if (pssBefore > 0)
        out << bench::figureLine(QStringLiteral("PSS increase with the conversation open"),
                                 std::max<qint64>(0, pssOpen - pssBefore) / 1024.0,
                                 QStringLiteral("MB"), bench::Op::Below, 15);
    if (pssBefore > 0)
        out << QStringLiteral("PSS after scrolling it end to end: +%1 MB\n")
                   .arg((pssAfter - pssBefore) / 1024.0, 0, 'f', 1);
    return rows == messageCount && delegates < 60 ? 0 : 1;
}
