// The frame's list models under Qt's model checker: the tray's unread list keeps one row per
// conversation (moved to the top as its count changes, gone once read) and its total follows;
// a browser window's downloads get free names beside the folder's files and each other, follow
// their download's signals and clear only what is over; the browser's window list forgets a
// window that closed or went.

#include "messaging/unreadlistmodel.h"
#include "shell/browserdownloads.h"
#include "shell/browserwindowlist.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QPersistentModelIndex>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <QtTest>

namespace {

// A download as the engine's objects show themselves to the model: properties with change
// signals, accept() and cancel().
class FakeDownload : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString path MEMBER m_path NOTIFY pathChanged)
    Q_PROPERTY(qint64 receivedBytes MEMBER m_received NOTIFY receivedBytesChanged)
    Q_PROPERTY(qint64 totalBytes MEMBER m_total NOTIFY totalBytesChanged)
    Q_PROPERTY(int state MEMBER m_state NOTIFY stateChanged)
public:
    explicit FakeDownload(const QString &path) : m_path(path) {}

    Q_INVOKABLE void accept() { setState(BrowserDownloads::InProgress); }
    Q_INVOKABLE void cancel() { setState(BrowserDownloads::Cancelled); }
    void setState(int state)
    {
        m_state = state;
        emit stateChanged();
    }
    void receive(qint64 received, qint64 total)
    {
        m_received = received;
        m_total = total;
        emit receivedBytesChanged();
        emit totalBytesChanged();
    }

signals:
    void pathChanged();
    void receivedBytesChanged();
    void totalBytesChanged();
    void stateChanged();

private:
    QString m_path;
    qint64 m_received = 0;
    qint64 m_total = -1;
    int m_state = BrowserDownloads::Requested;
};

// A browser window as the list sees it: whether it is active, and its closing signal.
class FakeWindow : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool active MEMBER m_active)
    Q_PROPERTY(int loginModel MEMBER m_loginModel)
public:
    explicit FakeWindow(bool active = false) : m_active(active) {}
    int loginModel() const { return m_loginModel; }

signals:
    void sigClosed();

private:
    bool m_active = false;
    int m_loginModel = 0;
};

QStringList column(const QAbstractItemModel &model, const QByteArray &role)
{
    const int key = model.roleNames().key(role);
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values.append(model.index(row, 0).data(key).toString());
    return values;
}

} // namespace

class TestFrameModels : public QObject
{
    Q_OBJECT
private slots:
    void unreadRowsFollowTheCounts();
    void downloadsNameFollowAndClear();
    void windowListForgetsClosedWindows();
    void windowListMakesDocumentsBesideItsOwn();
};

void TestFrameModels::unreadRowsFollowTheCounts()
{
    UnreadListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy total(&model, &UnreadListModel::totalChanged);

    model.place("10002", "王芳", "2", "a.png", "2");
    model.place("g1", "技术部", "5", "", "3");
    model.addSystem("2026-12-10 09:00", "流程中心", "flow.png");
    QCOMPARE(column(model, "ids"), QStringList({"system:2026-12-10 09:00", "g1", "10002"}));
    QCOMPARE(model.total(), 8);

    // A new count moves the conversation to the top; its row keeps its persistent index.
    const QPersistentModelIndex wang = model.index(2, 0);
    model.place("10002", "王芳", "3条", "a.png", "2");
    QCOMPARE(column(model, "ids").first(), QStringLiteral("10002"));
    QCOMPARE(wang.row(), 0);
    QCOMPARE(model.get(0).value("unreads").toString(), QStringLiteral("3条"));
    QCOMPARE(model.total(), 9);

    // Read, or a count that is no number: off the list, and out of the total.
    model.place("g1", "技术部", "0", "", "3");
    model.place("10003", "李雷", "", "", "2");
    QCOMPARE(column(model, "ids"), QStringList({"10002", "system:2026-12-10 09:00"}));
    QCOMPARE(model.total(), 4);
    const int told = total.count();
    model.place("missing", "", "0", "", "2");
    QCOMPARE(total.count(), told);

    model.clear();
    QCOMPARE(model.count(), 0);
    QCOMPARE(model.total(), 0);
}

void TestFrameModels::downloadsNameFollowAndClear()
{
    QTemporaryDir folder;
    QFile(folder.filePath("报告.bin")).open(QIODevice::WriteOnly);
    BrowserDownloads model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy running(&model, &BrowserDownloads::runningChanged);

    // The folder has the name, then the first download (whose file is not written yet) does;
    // a suggestion with Windows separators is taken by its last part.
    FakeDownload first(QStringLiteral("C:\\tmp\\报告.bin"));
    FakeDownload second(QStringLiteral("/tmp/报告.bin"));
    FakeDownload third(QStringLiteral("/tmp/"));
    model.add(&first, folder.path() + "/");
    model.add(&second, folder.path());
    model.add(&third, folder.path());
    QCOMPARE(column(model, "fileName"), QStringList({"报告 (1).bin", "报告 (2).bin", "download"}));
    QCOMPARE(first.property("path").toString(), folder.filePath("报告 (1).bin"));
    QCOMPARE(model.get(1).value("filePath").toString(), model.filePath(1));
    QCOMPARE(model.running(), 3);
    QCOMPARE(model.freePath(folder.path(), "README"), folder.filePath("README"));

    // Progress and state come from the download's signals.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    second.receive(1536, 3 * 1024 * 1024);
    QVERIFY(!changed.isEmpty());
    QCOMPARE(model.get(1).value("received").toLongLong(), 1536);
    QCOMPARE(BrowserDownloads::sizeText(model.get(1).value("received").toLongLong()),
             QStringLiteral("1.5 KB"));
    QCOMPARE(BrowserDownloads::sizeText(model.get(1).value("total").toLongLong()),
             QStringLiteral("3.0 MB"));
    QCOMPARE(BrowserDownloads::sizeText(-1), QStringLiteral("?"));
    first.setState(BrowserDownloads::Completed);
    model.cancel(2);
    model.cancel(7);
    QCOMPARE(model.get(0).value("done").toBool(), true);
    QCOMPARE(model.get(2).value("downloadState").toInt(), int(BrowserDownloads::Cancelled));
    QCOMPARE(model.running(), 1);
    QVERIFY(running.count() >= 2);

    // Clearing keeps the running one, which no longer reaches a row once it is cleared too.
    model.clearFinished();
    QCOMPARE(column(model, "fileName"), QStringList({"报告 (2).bin"}));
    first.receive(1, 1);
    second.setState(BrowserDownloads::Interrupted);
    QCOMPARE(model.get(0).value("running").toBool(), false);
    model.clearFinished();
    QCOMPARE(model.count(), 0);
    changed.clear();
    second.receive(2, 2);
    QVERIFY(changed.isEmpty());
    QVERIFY(model.get(0).isEmpty());
}

void TestFrameModels::windowListForgetsClosedWindows()
{
    BrowserWindowList list;
    QSignalSpy changed(&list, &BrowserWindowList::windowsChanged);
    QCOMPARE(list.current(), nullptr);
    auto *closing = new FakeWindow(true);
    auto *older = new FakeWindow(true);
    auto *newer = new FakeWindow;
    list.add(closing);
    list.add(older);
    list.add(newer);
    list.add(newer);
    list.add(nullptr);
    QCOMPARE(list.count(), 3);
    QCOMPARE(list.newest(), newer);
    QCOMPARE(list.current(), older);
    list.setEach("loginModel", 2);
    QCOMPARE(closing->loginModel(), 2);
    QCOMPARE(newer->loginModel(), 2);

    // Closed, destroyed or forgotten: gone, and a window forgotten tells the list no more.
    emit closing->sigClosed();
    delete older;
    QCOMPARE(list.windows(), QVariantList({QVariant::fromValue<QObject *>(newer)}));
    QCOMPARE(list.current(), newer);
    list.forget(newer);
    QCOMPARE(list.count(), 0);
    QCOMPARE(changed.count(), 6);
    delete newer;
    delete closing;
    QCOMPARE(changed.count(), 6);
    QCOMPARE(list.newest(), nullptr);
}

void TestFrameModels::windowListMakesDocumentsBesideItsOwn()
{
    QTemporaryDir folder;
    const auto write = [&folder](const char *name, const QByteArray &text) {
        QFile file(folder.filePath(QLatin1String(name)));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    QVERIFY(write("Page.qml", "import QtQml 2.12\nQtObject { property string title\n"
                              "property int made: title.length }\n"));
    QVERIFY(write("Broken.qml", "import QtQml 2.12\nQtObject { nosuch: 1 }\n"));
    qmlRegisterType<BrowserWindowList>("BrowserWindowList", 1, 0, "BrowserWindowList");
    QQmlEngine engine;
    QQmlComponent holder(&engine);
    holder.setData("import BrowserWindowList 1.0\nBrowserWindowList {}\n",
                   QUrl::fromLocalFile(folder.filePath("Root.qml")));
    std::unique_ptr<QObject> made(holder.create());
    auto *list = qobject_cast<BrowserWindowList *>(made.get());
    QVERIFY2(list, qPrintable(holder.errorString()));

    // Made with its properties set while it is made, owned by the parent given.
    QObject *page = list->make("Page", list, {{"title", QStringLiteral("网页")}});
    QVERIFY(page);
    QCOMPARE(page->parent(), list);
    QCOMPARE(page->property("made").toInt(), 2);
    QCOMPARE(QQmlEngine::objectOwnership(page), QQmlEngine::JavaScriptOwnership);
    QVERIFY(list->make("Page", list, {}));
    QVERIFY(list->lastError().isEmpty());

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^built-in browser:.*nosuch"));
    QVERIFY(!list->make("Broken", list, {}));
    QVERIFY(list->lastError().contains("nosuch"));
    QCOMPARE(list->count(), 0);
}

QTEST_GUILESS_MAIN(TestFrameModels)
#include "tst_framemodels.moc"
