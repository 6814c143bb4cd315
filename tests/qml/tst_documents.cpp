#include "testenvironment.h"

#include "desktop/startupcontext.h"
#include "qmltypes.h"

#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlError>
#include <QQuickWindow>
#include <QtTest>

// Every document loads with the real registered types and without a single QML warning.
class TestDocuments : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void mainDocumentLoads();
};

void TestDocuments::initTestCase()
{
    registerQmlTypes();
}

void TestDocuments::mainDocumentLoads()
{
    QQmlApplicationEngine engine;
    QList<QQmlError> warnings;
    connect(&engine, &QQmlEngine::warnings, this,
            [&warnings](const QList<QQmlError> &list) { warnings += list; });
    StartupContext values;
    values.curretnVersionInfor = QStringLiteral("5.0.0.4");
    values.newVersionInfor = QStringLiteral("5.0.0.4");
    values.publish(engine.rootContext());
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    engine.rootContext()->setContextProperty(QStringLiteral("mainWindows"), &engine);
    QCOMPARE(engine.rootObjects().size(), 1);
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    QVERIFY(window);
    QVERIFY(window->title().contains(QLatin1String("5.0.0.4")));
    QCoreApplication::processEvents();
    QString text;
    for (const QQmlError &warning : qAsConst(warnings))
        text += warning.toString() + QLatin1Char('\n');
    QVERIFY2(warnings.isEmpty(), qPrintable(text));
}

TARNEX_TEST_MAIN(TestDocuments)
#include "tst_documents.moc"
