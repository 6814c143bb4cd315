// The message markup sanitiser's cost per message, for the messages the window shows most: a
// line of text, text with emphasis and an emoticon, a picture of the own server in its link, and
// a hostile one (a foreign picture, a script link, a style). Target: under 5 µs a typical
// message in a Release build. Usage: bench_markup [milliseconds per figure]   (default 300)

#include "markup/messagemarkup.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>

namespace {

// This thread's processor time: on a shared machine the wall clock measures the other loads.
double cpuMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 budget = argc > 1 ? QByteArray(argv[1]).toLongLong() : 300;
    const MarkupPolicy policy{QStringLiteral("/opt/tarnex/emojis"),
                              QUrl(QStringLiteral("http://oa.example.com:8080"))};
    const QString attachment = QStringLiteral(
        "http://oa.example.com:8080/tarnex10/server/public/api/attachment/index/9?api_token=t");
    const struct
    {
        const char *name;
        QString text;
    } messages[] = {
        {"plain line", QStringLiteral("明天上午十点在三楼会议室开会，请带上季度报表。")},
        {"emphasis, emoticon",
         QStringLiteral("好的<br /><b>收到</b> <img src=\"file:///opt/tarnex/emojis/smile.png\" "
                        "height=\"14\" width=\"14\" />")},
        {"own picture",
         QString(R"(<a href="%1"><img src="%1" width="300" /></a>)").arg(attachment)},
        {"hostile",
         QStringLiteral("Hi <img src=\"http://other-host/t.png?r=X\"><a href=\"javascript:x()\">"
                        "a</a><p style=\"color:red\">b</p>")},
    };
    std::printf("message markup sanitiser (%s build)\n", TARNEX_BUILD_TYPE);
    std::printf("%-22s %12s %12s\n", "message", "cpu µs each", "wall µs each");
    for (const auto &message : messages) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuMicroseconds();
        qint64 runs = 0;
        qsizetype sink = 0;
        while (timer.elapsed() < budget) {
            for (int i = 0; i < 100; ++i)
                sink += MessageMarkup::sanitise(message.text, policy).size();
            runs += 100;
        }
        const double wall = double(timer.nsecsElapsed()) / 1000.0 / double(runs);
        const double cpu = (cpuMicroseconds() - cpuStart) / double(runs);
        std::printf("%-22s %12.2f %12.2f%s\n", message.name, cpu, wall, sink ? "" : " ");
    }
    return 0;
}
