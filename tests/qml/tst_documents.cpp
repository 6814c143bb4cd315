#include "shell/qmltypes.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "desktop/startupcontext.h"
#include "desktop/startupphase.h"
#include "net/servertrust.h"

#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlError>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include <algorithm>
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
    void barDragMovesWindow();
    void languageFallsBackToBuiltInTexts();
    void exitViewReturnFollowsFocus();
    void certificatePromptByKeyboard();
    // Last: it starts the process's start-up phase, after which documents load behind frames.
    void passwordFormWaitsBehindServerSettings();

private:
    static void publish(QQmlEngine &engine, int screenRate = 1);
    static QString describe(const QList<QQmlError> &warnings);
    static bool oneShotTimersIdle(const QObject *root);
    static bool nextFrame(QQuickWindow &window);
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

bool TestDocuments::oneShotTimersIdle(const QObject *root)
{
    const QList<QObject *> objects = root->findChildren<QObject *>();
    return std::none_of(objects.cbegin(), objects.cend(), [](const QObject *object) {
        return qstrcmp(object->metaObject()->className(), "QQmlTimer") == 0 &&
               !object->property("repeat").toBool() && object->property("running").toBool();
    });
}

bool TestDocuments::nextFrame(QQuickWindow &window)
{
    // Bindings of a change are evaluated before the frame that shows it.
    if (!window.isExposed())
        return true;
    QSignalSpy swapped(&window, &QQuickWindow::frameSwapped);
    window.update();
    return swapped.wait(5000);
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
    // The first moments' one-shot timers (auto-login check) have run and a frame is drawn.
    QTRY_VERIFY_WITH_TIMEOUT(oneShotTimersIdle(window), 10000);
    QVERIFY(nextFrame(*window));
    QVERIFY2(warnings.isEmpty(), qPrintable(describe(warnings)));
}

void TestDocuments::documentLoads_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("kind");
    // Items are drawn in a window; windows and plain objects are only created.
    const QList<QPair<const char *, const char *>> documents = {
        {"LoginDefault", "item"},
        {"LoginDetail", "item"},
        {"CodeInterface", "item"},
        {"SetInterface", "item"},
        {"LoginIng", "item"},
        {"MainDefalut", "item"},
        {"ToolbarIWidget", "item"},
        {"FunctionList", "item"},
        {"ExitView", "item"},
        {"SystemTrayInfor", "window"},
        {"FallenleavesView", "item"},
        {"SpringbreezeView", "item"},
        {"FunctionLeftanimation", "item"},
        // Conversations and groups.
        {"NewsList", "item"},
        {"ConversationPane", "item"},
        {"ChatRecord", "item"},
        {"EditBox", "item"},
        {"FaceWidget", "item"},
        {"HistoricalRecords", "item"},
        {"HistoricalSearch", "item"},
        {"QueryData", "item"},
        {"WatermarkView", "item"},
        {"CircularProgress", "item"},
        {"PersonalInformation", "item"},
        {"GroupDefault", "item"},
        {"GroupList", "item"},
        {"GroupPersonnelinfor", "item"},
        {"GroupAddmember", "item"},
        {"GroupMember", "item"},
        {"AddNewmembers", "item"},
        {"PeoplePicker", "item"},
        // Directory, reminders, menu, settings, update and the built-in browser.
        {"StructureDefault", "item"},
        {"StructureList", "item"},
        {"StructureDepartment", "item"},
        {"StructureRole", "item"},
        {"StructurePersonnelinfor", "item"},
        {"SchemaMembershiplist", "item"},
        {"SystemMessage", "item"},
        {"MenuDefault", "item"},
        {"SystemTipset", "item"},
        {"BasicSettup", "item"},
        {"ThemeSettup", "item"},
        {"ThemeView", "item"},
        {"SkinColor", "item"},
        {"ColorMake", "item"},
        {"VersionPopup", "item"},
        {"CertificatePrompt", "item"},
        {"UpdateWidget", "item"},
        {"UpdateView", "item"},
        {"UpdateComplete", "item"},
        {"ApplicationRoot", "object"},
        {"BrowserWindow", "window"},
        {"BrowserDialog", "window"},
        {"BrowserProfiles", "object"},
        {"UpdateFeed", "object"},
    };
    for (const auto &entry : documents)
        QTest::newRow(entry.first)
            << QString::fromLatin1(entry.first) << QString::fromLatin1(entry.second);
}

void TestDocuments::documentLoads()
{
    QFETCH(QString, document);
    QFETCH(QString, kind);
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
    if (kind == QLatin1String("item")) {
        auto *item = qobject_cast<QQuickItem *>(object.get());
        QVERIFY(item);
        item->setParentItem(window.contentItem());
        item->setSize(QSizeF(window.width(), window.height()));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int theme = 0; theme < 3; ++theme) {
            if (item->property("loginModel").isValid())
                item->setProperty("loginModel", theme);
            QVERIFY(nextFrame(window));
        }
    } else if (kind == QLatin1String("window")) {
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

// The window follows a left-button drag on the bar by how far the pointer went from where it was
// pressed; another button leaves it where it is.
void TestDocuments::barDragMovesWindow()
{
    QQmlEngine engine;
    publish(engine);
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/ToolbarIWidget.qml")));
    QQuickWindow window;
    window.resize(64, 700);
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    auto *bar = qobject_cast<QQuickItem *>(object.get());
    bar->setParentItem(window.contentItem());
    bar->setSize(QSizeF(64, 700));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy movedX(bar, SIGNAL(modifyXposition(int)));
    QSignalSpy movedY(bar, SIGNAL(modifyYposition(int)));

    // Below the section buttons, above the tools.
    const QPoint start(32, 400);
    QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(&window, start + QPoint(12, -7));
    QTest::mouseMove(&window, start + QPoint(20, 5));
    QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, start + QPoint(20, 5));
    QCOMPARE(movedX.count(), 2);
    QCOMPARE(movedY.count(), 2);
    QCOMPARE(movedX.at(0).at(0).toInt(), 12);
    QCOMPARE(movedY.at(0).at(0).toInt(), -7);
    QCOMPARE(movedX.at(1).at(0).toInt(), 20);
    QCOMPARE(movedY.at(1).at(0).toInt(), 5);

    QTest::mousePress(&window, Qt::RightButton, Qt::NoModifier, start);
    QTest::mouseMove(&window, start + QPoint(30, 30));
    QTest::mouseRelease(&window, Qt::RightButton, Qt::NoModifier, start + QPoint(30, 30));
    QCOMPARE(movedX.count(), 2);
    QCOMPARE(movedY.count(), 2);
}

// After a switch to a package that lacks a key, that text is the built-in one again, not the
// previous language's.
void TestDocuments::languageFallsBackToBuiltInTexts()
{
    QQmlEngine engine;
    publish(engine);
    QQmlComponent component(&engine);
    component.setData(R"(
import QtQuick 2.12
import "qrc:/controls"
Item {
    id: doc
    property string tip_send: qsTr("发送")
    property string tip_cancel: qsTr("取消")
    property string notAText: "kept"
    property var table: ({})
    QtObject {
        id: fakePackage
        function getLangFileName(key) { return doc.table[key] !== undefined ? doc.table[key] : "" }
    }
    LanguageTexts { id: texts; objectName: "texts"; target: doc; languagePackage: fakePackage }
    function load(table) { doc.table = table; texts.apply() }
}
)",
                      QUrl(QStringLiteral("qrc:/languagefallback.qml")));
    std::unique_ptr<QObject> doc(component.create());
    QVERIFY2(doc, qPrintable(component.errorString()));
    auto load = [&doc](const QVariantMap &table) {
        QMetaObject::invokeMethod(doc.get(), "load", Q_ARG(QVariant, table));
    };
    load({{QStringLiteral("send"), QStringLiteral("Send")},
          {QStringLiteral("cancel"), QStringLiteral("Cancel")}});
    QCOMPARE(doc->property("tip_send").toString(), QStringLiteral("Send"));
    QCOMPARE(doc->property("tip_cancel").toString(), QStringLiteral("Cancel"));
    load({{QStringLiteral("send"), QStringLiteral("Envoyer")}});
    QCOMPARE(doc->property("tip_send").toString(), QStringLiteral("Envoyer"));
    QCOMPARE(doc->property("tip_cancel").toString(), QStringLiteral("取消"));
    load({});
    QCOMPARE(doc->property("tip_send").toString(), QStringLiteral("发送"));
    QCOMPARE(doc->property("notAText").toString(), QStringLiteral("kept"));
}

// Return presses the focused button: on "缩小" it only hides the client, it never quits. A
// toggled check row still shows what the view holds, so a later opening with another stored
// choice does not leave the box as the last key press set it.
void TestDocuments::exitViewReturnFollowsFocus()
{
    QQmlEngine engine;
    publish(engine);
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/ExitView.qml")));
    QQuickWindow window;
    window.resize(600, 400);
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    auto *view = qobject_cast<QQuickItem *>(object.get());
    view->setParentItem(window.contentItem());
    view->setSize(QSizeF(600, 400));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy narrow(view, SIGNAL(sigNarrow()));
    QSignalSpy quit(view, SIGNAL(sigQuit()));
    QMetaObject::invokeMethod(view, "open");
    auto *narrowButton = view->findChild<QQuickItem *>(QStringLiteral("exitNarrow"));
    QVERIFY(narrowButton);
    narrowButton->forceActiveFocus();
    QTest::keyClick(&window, Qt::Key_Return);
    QCOMPARE(narrow.count(), 1);
    QCOMPARE(quit.count(), 0);
    auto *yesButton = view->findChild<QQuickItem *>(QStringLiteral("exitYes"));
    QVERIFY(yesButton);
    QMetaObject::invokeMethod(view, "open");
    yesButton->forceActiveFocus();
    QTest::keyClick(&window, Qt::Key_Space);
    QCOMPARE(quit.count(), 1);

    auto *row = view->findChild<QQuickItem *>(QStringLiteral("exitRemember"));
    QVERIFY(row);
    const bool before = row->property("checked").toBool();
    row->forceActiveFocus();
    QTest::keyClick(&window, Qt::Key_Space);
    QCOMPARE(row->property("checked").toBool(), !before);
    QCOMPARE(view->property("rememberQuit").toBool(), !before);
    view->setProperty("rememberQuit", before);
    QCOMPARE(row->property("checked").toBool(), before);
}

void TestDocuments::certificatePromptByKeyboard()
{
    QQmlEngine engine;
    publish(engine);
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/CertificatePrompt.qml")));
    QQuickWindow window;
    window.resize(800, 600);
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    auto *prompt = qobject_cast<QQuickItem *>(object.get());
    prompt->setParentItem(window.contentItem());
    prompt->setSize(QSizeF(800, 600));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *trust = prompt->property("trust").value<QObject *>();
    QVERIFY(trust);
    QSignalSpy trusted(prompt, SIGNAL(trusted()));
    QSignalSpy declined(prompt, SIGNAL(declined()));
    const QString server = QStringLiteral("https://oa.example.com:8443");
    const QString fingerprint = ServerTrust::fingerprint(QByteArray(32, '\x5a'));
    const QString previous = ServerTrust::fingerprint(QByteArray(32, '\x11'));
    auto find = [prompt](const char *name) {
        return prompt->findChild<QQuickItem *>(QLatin1String(name));
    };

    // The focus starts on cancel: Return there declines, and nothing is pinned.
    QMetaObject::invokeMethod(trust, "ask", Q_ARG(QString, server), Q_ARG(QString, fingerprint),
                              Q_ARG(QString, QString()));
    QVERIFY(prompt->isVisible());
    QCOMPARE(find("certificateFingerprint")->property("text").toString(), fingerprint);
    QVERIFY(!find("certificatePreviousFingerprint")->isVisible());
    QVERIFY(find("certificateCancelButton")->hasActiveFocus());
    QTest::keyClick(&window, Qt::Key_Return);
    QVERIFY(!prompt->isVisible());
    QVERIFY(ServerTrust::instance()->pinnedDigest(server).isEmpty());
    QCOMPARE(trusted.count(), 0);
    QCOMPARE(declined.count(), 1);

    // Escape declines as well.
    QMetaObject::invokeMethod(trust, "ask", Q_ARG(QString, server), Q_ARG(QString, fingerprint),
                              Q_ARG(QString, QString()));
    QVERIFY(prompt->isVisible());
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!prompt->isVisible());
    QVERIFY(ServerTrust::instance()->pinnedDigest(server).isEmpty());

    // Tab to trust, Return: pinned, and the host is told to retry.
    QMetaObject::invokeMethod(trust, "ask", Q_ARG(QString, server), Q_ARG(QString, fingerprint),
                              Q_ARG(QString, QString()));
    QTest::keyClick(&window, Qt::Key_Tab);
    QVERIFY(find("certificateTrustButton")->hasActiveFocus());
    QTest::keyClick(&window, Qt::Key_Return);
    QVERIFY(!prompt->isVisible());
    QCOMPARE(trusted.count(), 1);
    QCOMPARE(declined.count(), 2);
    QCOMPARE(ServerTrust::instance()->pinnedDigest(server), QByteArray(32, '\x5a'));

    // A changed certificate shows both fingerprints and the warning.
    QMetaObject::invokeMethod(trust, "ask", Q_ARG(QString, server), Q_ARG(QString, fingerprint),
                              Q_ARG(QString, previous));
    QVERIFY(find("certificatePreviousFingerprint")->isVisible());
    QCOMPARE(find("certificatePreviousFingerprint")->property("text").toString(), previous);
    QCOMPARE(find("certificateWarning")->property("text").toString(),
             prompt->property("tip_certificate_changed").toString());
}

void TestDocuments::passwordFormWaitsBehindServerSettings()
{
    // A start on the server settings makes the password form behind the first frame, or there
    // and then when the settings are left sooner; either way it is made once.
    ConfigFile::instance()->setMainConfig(QStringLiteral("loginView"), QStringLiteral("server"));
    StartupPhase::begin();
    QQmlApplicationEngine engine;
    publish(engine);
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    QCOMPARE(engine.rootObjects().size(), 1);
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    QVERIFY(window);
    auto *settings = window->findChild<QQuickItem *>(QStringLiteral("setInterface"));
    QVERIFY(settings);
    QVERIFY(settings->isVisible());
    // Not even on its way while the start-up phase lasts.
    auto *formLoader = window->findChild<QQuickItem *>(QStringLiteral("passwordFormLoader"));
    QVERIFY(formLoader);
    QVERIFY(!formLoader->property("active").toBool());
    QVERIFY(!window->findChild<QQuickItem *>(QStringLiteral("loginDetail")));

    QVERIFY(QMetaObject::invokeMethod(settings, "sigCancelBtn"));
    auto *form = window->findChild<QQuickItem *>(QStringLiteral("loginDetail"));
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QVERIFY(!settings->isVisible());

    StartupPhase::end();
    QTRY_VERIFY(StartupPhase::instance()->firstFrameShown());
    QTRY_VERIFY_WITH_TIMEOUT(oneShotTimersIdle(window), 10000);
    QCOMPARE(window->findChildren<QQuickItem *>(QStringLiteral("loginDetail")).size(), 1);
}

TARNEX_TEST_MAIN(TestDocuments)
#include "tst_documents.moc"
