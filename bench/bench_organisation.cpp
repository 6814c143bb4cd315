// A large organisation (10,000 users in 500 departments by default) from the reference server:
// the load from the root department request to the completion announcement, the build of both
// trees, the filters, and the memory the whole directory adds.
//
// usage: bench_organisation [users] [runs]
#include "benchsignin.h"
#include "procusage.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "directory/handlorganization.h"
#include "directory/qtreemodel.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <functional>

namespace {

// A field of /proc/self/status in kB (VmRSS, VmHWM).
void count(const QList<MemberRecord *> &records, int &users, int &departments)
{
    for (const MemberRecord *record : records) {
        if (record->isDepartment()) {
            ++departments;
            count(record->children, users, departments);
        } else {
            ++users;
        }
    }
}

// CPU time of the calling thread in ms: unlike the wall clock, it leaves out the time other
// processes on a busy machine take.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Timing
{
    double first = 0;  // wall ms of the first run
    double median = 0; // wall ms
    double cpu = 0;    // median CPU ms of this thread
};

// `runs` timings of `step`.
Timing timed(int runs, const std::function<void()> &step)
{
    QVector<double> ms;
    QVector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        const double cpuStart = threadCpuMs();
        clock.start();
        step();
        ms << clock.nsecsElapsed() / 1e6;
        cpu << threadCpuMs() - cpuStart;
    }
    Timing result;
    result.first = ms.first();
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    result.median = ms.at(ms.size() / 2);
    result.cpu = cpu.at(cpu.size() / 2);
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    tarnexBenchEnvironment();
    QApplication app(argc, argv);
    const int size = app.arguments().value(1, QStringLiteral("10000")).toInt();
    const int runs = qMax(1, app.arguments().value(2, QStringLiteral("7")).toInt());
    QTextStream out(stdout);

    ReferenceServer server;
    if (!server.start({QStringLiteral("--org-size"), QString::number(size)})) {
        out << "reference server did not start\n" << server.output() << "\n";
        return 1;
    }
    if (!benchSignIn(server)) {
        out << "login failed\n";
        return 1;
    }

    const qint64 rssBefore = procusage::statusKb("VmRSS");

    HandlOrganization *loader = HandlOrganization::gestance();
    QEventLoop loop;
    QObject::connect(loader, &HandlOrganization::sigHandlCompletion, &loop, &QEventLoop::quit);
    QTimer::singleShot(180000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    emit loader->sigHandlOrganization(HandlOrganization::rootDepartmentId());
    if (loader->getRunStatus())
        loop.exec();
    const double loadMs = clock.nsecsElapsed() / 1e6;
    int users = 0;
    int departments = 0;
    count(loader->memberList(), users, departments);
    if (users != size) {
        out << "loaded " << users << " users of " << size << "\n";
        return 1;
    }

    QTreeModel model;
    const auto build = timed(runs, [&] { model.onSigHandlCompletion(); });
    const auto show = timed(runs, [&] { model.reLoadData(QStringLiteral("2")); });
    const auto depth = timed(runs, [&] { model.findDepth(QStringLiteral("张")); });
    const auto depthAll = timed(runs, [&] { model.findDepth(QString()); });
    const auto roles = timed(runs, [&] { model.findRoles(QStringLiteral("张")); });
    model.reLoadData(QStringLiteral("1"));

    const double peakMb = (procusage::statusKb("VmHWM") - rssBefore) / 1024.0;
    const double rssMb = (procusage::statusKb("VmRSS") - rssBefore) / 1024.0;

    auto row = [&out](const QString &what, double value, const QString &unit,
                      const QString &target) {
        out << QStringLiteral("%1 %2 %3  %4\n")
                   .arg(what, -46)
                   .arg(value, 9, 'f', 1)
                   .arg(unit, -3)
                   .arg(target);
    };
    out << QStringLiteral("organisation of %1 users in %2 departments, %3 runs per step (median)\n")
               .arg(users)
               .arg(departments)
               .arg(runs);
    row(QStringLiteral("load: root request to completion"), loadMs, QStringLiteral("ms"),
        QString());
    const auto cpu = [](const Timing &t) {
        return QStringLiteral(", CPU %1 ms").arg(t.cpu, 0, 'f', 1);
    };
    row(QStringLiteral("build both trees (onSigHandlCompletion)"), build.median,
        QStringLiteral("ms"),
        QStringLiteral("target < 100 ms, first run %1 ms").arg(build.first, 0, 'f', 1) +
            cpu(build));
    row(QStringLiteral("show the department tree (reLoadData)"), show.median, QStringLiteral("ms"),
        cpu(show).mid(2));
    row(QStringLiteral("findDepth(\"张\")"), depth.median, QStringLiteral("ms"),
        QStringLiteral("target < 50 ms") + cpu(depth));
    row(QStringLiteral("findDepth(\"\") (every user matches)"), depthAll.median,
        QStringLiteral("ms"), QStringLiteral("target < 50 ms") + cpu(depthAll));
    row(QStringLiteral("findRoles(\"张\")"), roles.median, QStringLiteral("ms"),
        QStringLiteral("target < 50 ms") + cpu(roles));
    row(QStringLiteral("peak memory added (VmHWM - VmRSS before)"), peakMb, QStringLiteral("MB"),
        QStringLiteral("target < 60 MB"));
    row(QStringLiteral("resident memory added (VmRSS)"), rssMb, QStringLiteral("MB"), QString());
    const bool met = build.median < 100 && depth.median < 50 && depthAll.median < 50 &&
                     roles.median < 50 && peakMb < 60;
    out << (met ? "all targets met\n" : "TARGET MISSED\n");
    return 0;
}
