// The documents' objects that only relay an engine's signals: each signal they declare must
// exist on the engine with the same signature and arrive when the engine emits it, or a
// document waits for a signal that never comes.

#include "messaging/sockethandl.h"
#include "messaging/socketstate.h"
#include "reminders/menuitem.h"
#include "reminders/menumodel.h"
#include "reminders/systemhandl.h"
#include "reminders/systeminformation.h"
#include "testenvironment.h"

#include <QMetaMethod>
#include <QSignalSpy>
#include <QVariant>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

struct Facade
{
    std::function<QObject *()> create;
    QObject *engine;
    // Signals the facade emits itself rather than relays.
    QSet<QByteArray> own;
};

// Emits `signal` on `sender` with a default value of each parameter type.
bool emitDefault(QObject *sender, const QMetaMethod &signal)
{
    QList<QVariant> values;
    QGenericArgument args[10];
    for (int i = 0; i < signal.parameterCount(); ++i)
        values << QVariant(QVariant::Type(signal.parameterType(i)));
    for (int i = 0; i < values.size(); ++i)
        args[i] = QGenericArgument(signal.parameterTypes().at(i).constData(), values[i].data());
    return signal.invoke(sender, Qt::DirectConnection, args[0], args[1], args[2], args[3], args[4],
                         args[5], args[6], args[7], args[8], args[9]);
}

} // namespace

class TestFacades : public QObject
{
    Q_OBJECT
private slots:
    void everySignalIsRelayed_data();
    void everySignalIsRelayed();
};

void TestFacades::everySignalIsRelayed_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("SocketState") << 0;
    QTest::newRow("SystemHandl") << 1;
    QTest::newRow("MenuItem") << 2;
}

void TestFacades::everySignalIsRelayed()
{
    QFETCH(int, which);
    const QList<Facade> facades{
        // The user cache's answers come from the login parameters, not the engine.
        {[] { return new SocketState; },
         SocketHandl::instance(),
         {"sigUserInforFetched(QStringList)"}},
        {[] { return new SystemHandl; },
         SystemInformation::gestance(),
         {"jumpBrowser(QString)", "openExternally(QString)"}},
        {[] { return new MenuItem; },
         MenuModel::instance(),
         {"jumpBrowser(QString)", "openExternally(QString)"}},
    };
    const Facade &facade = facades.at(which);
    std::unique_ptr<QObject> object(facade.create());
    const QMetaObject *meta = object->metaObject();
    const QMetaObject *engineMeta = facade.engine->metaObject();
    int relayed = 0;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod signal = meta->method(i);
        if (signal.methodType() != QMetaMethod::Signal ||
            facade.own.contains(signal.methodSignature()))
            continue;
        const QByteArray signature = signal.methodSignature();
        const int at = engineMeta->indexOfSignal(signature.constData());
        if (at < 0)
            QFAIL(qPrintable(QStringLiteral("no engine signal %1").arg(QLatin1String(signature))));
        QSignalSpy spy(object.get(), signal);
        QVERIFY(emitDefault(facade.engine, engineMeta->method(at)));
        QTRY_VERIFY2_WITH_TIMEOUT(!spy.isEmpty(), signature.constData(), 5000);
        QVERIFY2(spy.size() == 1, qPrintable(QStringLiteral("%1 arrived %2 times")
                                                 .arg(QLatin1String(signature))
                                                 .arg(spy.size())));
        ++relayed;
    }
    QVERIFY(relayed > 0);
}

TARNEX_TEST_MAIN(TestFacades)
#include "tst_facades.moc"
