// The organisation section as the window shows it, with a large organisation from the reference
// server (10,000 users in 500 departments by default) loaded the way a sign-in loads it:
// - first opening: from creating the section's document to its first frame with the department
//   tree on screen (target < 300 ms);
// - opening a node of 500 people (the role "部门经理": the generated organisation gives every
//   department 20 people, its managers' role holds 500) and a department, each to the next
//   frame (target < 100 ms);
// - a search, from the moment the field's timer fires to the frame showing the results
//   (target < 100 ms).
//
// usage: bench_directory [users] [runs]
#include "benchsignin.h"
#include "benchtarget.h"
#include "referenceserver.h"
#include "shell/qmltypes.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "desktop/startupcontext.h"
#include "directory/handlorganization.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

bool loadOrganisation()
{
    HandlOrganization *loader = HandlOrganization::gestance();
    QEventLoop loop;
    QObject::connect(loader, &HandlOrganization::sigHandlCompletion, &loop, &QEventLoop::quit);
    QTimer::singleShot(180000, &loop, &QEventLoop::quit);
    emit loader->sigHandlOrganization(HandlOrganization::rootDepartmentId());
    if (loader->getRunStatus())
        loop.exec();
    return !loader->memberList().isEmpty();
}

// Runs `step` and waits for the frame that follows it; the milliseconds in between, or -1 when
// no frame came.
double toNextFrame(QQuickWindow *window, const std::function<void()> &step)
{
    QEventLoop loop;
    bool swapped = false;
    const QMetaObject::Connection connection =
        QObject::connect(window, &QQuickWindow::frameSwapped, &loop, [&] {
            swapped = true;
            loop.quit();
        });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    step();
    window->update();
    if (!swapped)
        loop.exec();
    const double ms = clock.nsecsElapsed() / 1e6;
    QObject::disconnect(connection);
    return swapped ? ms : -1;
}

double median(QVector<double> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

QVariant call(QObject *object, const char *function, const QVariant &a = {}, const QVariant &b = {})
{
    QVariant result;
    if (!b.isValid() && !a.isValid())
        QMetaObject::invokeMethod(object, function, Q_RETURN_ARG(QVariant, result));
    else if (!b.isValid())
        QMetaObject::invokeMethod(object, function, Q_RETURN_ARG(QVariant, result),
                                  Q_ARG(QVariant, a));
    else
        QMetaObject::invokeMethod(object, function, Q_RETURN_ARG(QVariant, result),
                                  Q_ARG(QVariant, a), Q_ARG(QVariant, b));
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    tarnexBenchEnvironment();
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    const int size = app.arguments().value(1, QStringLiteral("10000")).toInt();
    const int runs = qMax(1, app.arguments().value(2, QStringLiteral("7")).toInt());
    QTextStream out(stdout);

    ReferenceServer server;
    if (!server.start({QStringLiteral("--org-size"), QString::number(size)})) {
        out << "reference server did not start\n" << server.output() << "\n";
        return 1;
    }
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), server.address());
    if (!benchSignIn(server) || !loadOrganisation()) {
        out << "sign-in or organisation load failed\n";
        return 1;
    }

    registerQmlTypes();
    QQuickView view;
    StartupContext values;
    values.publish(view.engine()->rootContext());
    view.engine()->rootContext()->setContextProperty(QStringLiteral("mainWindows"), view.engine());
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.resize(976, 700);
    // An empty window first, as the frame is on screen before the section opens.
    view.show();
    toNextFrame(&view, [] {});

    QObject *section = nullptr;
    const double firstOpening = toNextFrame(&view, [&] {
        view.setSource(QUrl(QStringLiteral("qrc:/StructureDefault.qml")));
        section = view.rootObject();
        if (section)
            call(section, "activate");
    });
    QObject *departments =
        section ? section->findChild<QObject *>(QStringLiteral("structureTree")) : nullptr;
    QObject *list =
        section ? section->findChild<QObject *>(QStringLiteral("structureList")) : nullptr;
    if (!departments || !list || departments->property("rowCount").toInt() < 2) {
        out << "the department tree did not show\n";
        return 1;
    }

    // A department: the first one below the company, with its sub-departments and people.
    QVector<double> departmentMs;
    int departmentRows = 0;
    for (int i = 0; i < runs; ++i) {
        const int before = departments->property("rowCount").toInt();
        departmentMs << toNextFrame(&view, [&] { call(departments, "expand", 1); });
        departmentRows = departments->property("rowCount").toInt() - before;
        call(departments, "collapse", 1);
    }

    // Everything below that department at once ("*" in the tree).
    int subtreeRows = 0;
    const double subtreeMs = toNextFrame(&view, [&] {
        const int before = departments->property("rowCount").toInt();
        call(departments, "expandAllBelow", 1);
        subtreeRows = departments->property("rowCount").toInt() - before;
    });
    call(departments, "collapse", 1);

    // The role tree, built the first time it is shown, and its 500-person node.
    const double roleOpening = toNextFrame(&view, [&] { call(list, "showTab", 1); });
    QObject *roles = section->findChild<QObject *>(QStringLiteral("roleTree"));
    const int managers =
        roles ? call(roles, "rowNamed", QStringLiteral("role"), QStringLiteral("部门经理")).toInt()
              : -1;
    if (managers < 0) {
        out << "no role 部门经理 in the role tree\n";
        return 1;
    }
    QVector<double> roleMs;
    int roleRows = 0;
    for (int i = 0; i < runs; ++i) {
        const int before = roles->property("rowCount").toInt();
        roleMs << toNextFrame(&view, [&] { call(roles, "expand", managers); });
        roleRows = roles->property("rowCount").toInt() - before;
        call(roles, "collapse", managers);
    }

    // Searches, from the call the field's timer makes to the frame with the results.
    const QStringList terms{QStringLiteral("王"), QStringLiteral("zhang"), QStringLiteral("李娜")};
    QVector<double> searchMs;
    QVector<int> found;
    for (int i = 0; i < runs; ++i) {
        const QString term = terms.at(i % terms.size());
        QSignalSpy complete(list, SIGNAL(sigSearchComplete()));
        QElapsedTimer clock;
        clock.start();
        call(list, "search", term);
        if (!complete.wait(5000)) {
            out << "search for " << term << " did not complete\n";
            return 1;
        }
        toNextFrame(&view, [] {});
        searchMs << clock.nsecsElapsed() / 1e6;
        found << list->property("resultCount").toInt();
        call(list, "search", QString());
    }

    auto row = [&out](const QString &what, double value, double targetMs) {
        if (targetMs > 0)
            out << bench::figureLine(what, value, QStringLiteral("ms"), bench::Op::AtMost,
                                     targetMs);
        else
            out << QStringLiteral("%1 %2 ms\n").arg(what, -60).arg(value, 10, 'f', 1);
    };
    out << QStringLiteral("organisation section with %1 users, %2 runs per step (median)\n")
               .arg(size)
               .arg(runs);
    row(QStringLiteral("first opening, to the frame with the department tree"), firstOpening, 300);
    row(QStringLiteral("open a department (%1 rows), to the next frame").arg(departmentRows),
        median(departmentMs), 100);
    row(QStringLiteral("open everything below it (%1 rows), to the next frame").arg(subtreeRows),
        subtreeMs, 0);
    row(QStringLiteral("first showing of the role tree"), roleOpening, 0);
    row(QStringLiteral("open a role of %1 people, to the next frame").arg(roleRows), median(roleMs),
        100);
    row(QStringLiteral("search (%1 / %2 / %3 found), to the frame with results")
            .arg(found.value(0))
            .arg(found.value(1))
            .arg(found.value(2)),
        median(searchMs), 100);
    if (roleRows < 500)
        out << "the role tree held fewer than 500 people: the role figure is not the one meant\n";
    return 0;
}
