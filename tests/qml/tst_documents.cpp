#include "qmltypes.h"
#include "testenvironment.h"

#include "desktop/startupcontext.h"

#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlError>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include <memory>

// Every document loads with the real registered types and without a single QML warning.
class TestDocuments : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void mainDocumentLoads();
    void documentLoads_data();
    void documentLoads();
    void scaledDocumentsGrow();

private:
    static void publish(QQmlEngine &engine, int screenRate = 1);
    static QString describe(const QList<QQmlError> &warnings);
};

void TestDocuments::initTestCase()
{
    registerQmlTypes();
}

void TestDocuments::publish(QQmlEngine &engine, int screenRate)
{
    StartupContext values;
    values.curretnVersionInfor = QStringLiteral("5.0.0.4");
    values.newVersionInfor = QStringLiteral("5.0.0.4");
    values.screenRate = screenRate;
    values.publish(engine.rootContext());
    engine.rootContext()->setContextProperty(QStringLiteral("mainWindows"), &engine);
}

QString TestDocuments::describe(const QList<QQmlError> &warnings)
{
    QString text;
    for (const QQmlError &warning : warnings)
        text += warning.toString() + QLatin1Char('\n');
    return text;
}

void TestDocuments::mainDocumentLoads()
{
    QQmlApplicationEngine engine;
    QList<QQmlError> warnings;
    connect(&engine, &QQmlEngine::warnings, this,
            [&warnings](const QList<QQmlError> &list) { warnings += list; });
    publish(engine);
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    QCOMPARE(engine.rootObjects().size(), 1);
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    QVERIFY(window);
    QCOMPARE(window->title(), QStringLiteral("tarnex"));
    QVERIFY(window->flags() & Qt::FramelessWindowHint);
    // The login frame is what a fresh start shows.
    auto *login = window->findChild<QQuickItem *>(QStringLiteral("loginTip"));
    QVERIFY(login);
    QTest::qWait(200); // timers of the first moments (auto-login check, animations)
    QVERIFY2(warnings.isEmpty(), qPrintable(describe(warnings)));
}

void TestDocuments::documentLoads_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("isWindow");
    const QList<QPair<const char *, bool>> documents = {
        {"LoginDefault", false},          {"LoginDetail", false},      {"CodeInterface", false},
        {"SetInterface", false},          {"LoginIng", false},         {"MainDefalut", false},
        {"ToolbarIWidget", false},        {"FunctionList", false},     {"ExitView", false},
        {"SystemTrayInfor", true},        {"FallenleavesView", false}, {"SpringbreezeView", false},
        {"FunctionLeftanimation", false},
    };
    for (const auto &entry : documents)
        QTest::newRow(entry.first) << QString::fromLatin1(entry.first) << entry.second;
}

void TestDocuments::documentLoads()
{
    QFETCH(QString, document);
    QFETCH(bool, isWindow);
    QQmlEngine engine;
    QList<QQmlError> warnings;
    connect(&engine, &QQmlEngine::warnings, this,
            [&warnings](const QList<QQmlError> &list) { warnings += list; });
    publish(engine);
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/%1.qml").arg(document)));
    QVERIFY2(component.isReady(), qPrintable(component.errorString()));
    // Items are shown in a window of their own so that their bindings and animations run as in
    // the client; each theme is visited because every theme draws different elements.
    QQuickWindow window;
    window.resize(1040, 700);
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(describe(component.errors())));
    if (!isWindow) {
        auto *item = qobject_cast<QQuickItem *>(object.get());
        QVERIFY(item);
        item->setParentItem(window.contentItem());
        item->setSize(QSizeF(window.width(), window.height()));
        window.show();
        for (int theme = 0; theme < 3; ++theme) {
            if (item->property("loginModel").isValid())
                item->setProperty("loginModel", theme);
            QTest::qWait(60);
        }
    } else {
        QVERIFY(qobject_cast<QQuickWindow *>(object.get()));
    }
    QCoreApplication::processEvents();
    QVERIFY2(warnings.isEmpty(), qPrintable(describe(warnings)));
}

// At a screen rate of 2 the drawn documents double their sizes instead of staying small.
void TestDocuments::scaledDocumentsGrow()
{
    QSizeF sizes[2];
    for (int rate = 1; rate <= 2; ++rate) {
        QQmlApplicationEngine engine;
        publish(engine, rate);
        engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
        QCOMPARE(engine.rootObjects().size(), 1);
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        QVERIFY(window);
        sizes[rate - 1] = window->size();
    }
    QCOMPARE(sizes[1], sizes[0] * 2);
}

TARNEX_TEST_MAIN(TestDocuments)
#include "tst_documents.moc"
