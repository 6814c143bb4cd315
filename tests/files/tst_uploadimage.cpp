#include "filestestkit.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "files/uploadimage.h"

#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

// Pictures through both roads: the multipart upload and the Base64 post of the mobile service.
class TestUploadImage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void mobileNameRules_data();
    void mobileNameRules();
    void mobileUploadStoresThePicture();
    void mobileOutcomes_data();
    void mobileOutcomes();
    void mobileMissingPicture();
    void multipartUpload();

private:
    QString picture(const QString &name, int width = 40);

    ReferenceServer m_server;
    QTemporaryDir m_dir;
};

void TestUploadImage::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    QVERIFY(signInAt(m_server, QStringLiteral("zhangwei")));
    QVERIFY(m_dir.isValid());
}

void TestUploadImage::init()
{
    m_server.hook(QStringLiteral("files-reset"));
}

void TestUploadImage::cleanupTestCase()
{
    m_server.stop();
}

// A picture whose PNG bytes hold many "+" and "/" once in Base64.
QString TestUploadImage::picture(const QString &name, int width)
{
    QImage image(width, 30, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 251 % 256, y * 97 % 256, (x ^ y) * 31 % 256, 255));
    const QString path = m_dir.filePath(name);
    image.save(path, "PNG");
    return path;
}

void TestUploadImage::mobileNameRules_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("extension");
    QTest::newRow("plain") << "cat.png"
                           << "cat"
                           << "png";
    QTest::newRow("several dots take the second part") << "a.b.c"
                                                       << "a.c"
                                                       << "b";
    QTest::newRow("no dot") << "picture"
                            << "picture"
                            << "";
}

void TestUploadImage::mobileNameRules()
{
    QFETCH(QString, name);
    QFETCH(QString, base);
    QFETCH(QString, extension);
    QCOMPARE(UploadImage::mobileBaseNameOf(name), base);
    QCOMPARE(UploadImage::mobileExtensionOf(name), extension);
}

void TestUploadImage::mobileUploadStoresThePicture()
{
    const QString path = picture(QStringLiteral("屏幕 截图.a.png"));
    UploadImage uploader;
    QSignalSpy paths(&uploader, &UploadImage::sigSendImagePaths);
    uploader.uploadMoblieImage(QUrl::fromLocalFile(path).toString());
    QVERIFY(paths.wait(10000));
    QCOMPARE(paths.first().at(1).toBool(), true);
    const QString id = paths.first().at(0).toString();

    // The Base64 text arrives intact ("+" survives the form body).
    const QJsonObject stored =
        m_server.hook(QStringLiteral("files-info"),
                      {{QStringLiteral("id"), id}, {QStringLiteral("sha256"), true}});
    QCOMPARE(stored.value(QLatin1String("sha256")).toString(), sha256Of(path));
    QCOMPARE(stored.value(QLatin1String("type")).toString(), QStringLiteral("image/png"));
    // Spaces are dropped from the entry; the extension is the second part of the name.
    const QJsonObject request = uploadRequests(m_server).first().toObject();
    const QJsonArray entry =
        QJsonDocument::fromJson(request.value(QLatin1String("fileData")).toString().toUtf8())
            .array()
            .first()
            .toArray();
    QCOMPARE(entry.at(0).toString(), QStringLiteral("屏幕截图.png"));
    QCOMPARE(entry.at(1).toString(), QStringLiteral("a"));
    QCOMPARE(request.value(QLatin1String("contentType")).toString(),
             QStringLiteral("application/x-www-form-urlencoded"));
    QVERIFY(request.value(QLatin1String("authorization")).toString().startsWith("Bearer "));
}

void TestUploadImage::mobileOutcomes_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("status");
    QTest::newRow("empty data is a success without a path") << "empty-data" << true;
    QTest::newRow("refused") << "status0" << false;
    QTest::newRow("not JSON") << "garbage" << false;
}

void TestUploadImage::mobileOutcomes()
{
    QFETCH(QString, mode);
    QFETCH(bool, status);
    m_server.hook(QStringLiteral("files"), {{QStringLiteral("mobile"), mode}});
    UploadImage uploader;
    QSignalSpy paths(&uploader, &UploadImage::sigSendImagePaths);
    QSignalSpy failed(&uploader, &UploadImage::sigUploadFile);
    uploader.uploadMoblieImage(picture(QStringLiteral("p.png")));
    QVERIFY(paths.wait(10000));
    QCOMPARE(paths.first(), (QList<QVariant>{QString(), status}));
    if (status)
        QVERIFY(failed.isEmpty());
    else
        QCOMPARE(failed.first(), (QList<QVariant>{false, QStringLiteral("图片上传失败")}));
}

void TestUploadImage::mobileMissingPicture()
{
    UploadImage uploader;
    QSignalSpy failed(&uploader, &UploadImage::sigUploadFile);
    uploader.uploadMoblieImage(m_dir.filePath(QStringLiteral("gone.png")));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(1).toString(), QStringLiteral("图片打开失败"));
    QVERIFY(m_server.roundTrip());
    QVERIFY(uploadRequests(m_server).isEmpty());
}

void TestUploadImage::multipartUpload()
{
    const QString path = picture(QStringLiteral("照片 1.png"), 300);
    UploadImage uploader;
    uploader.uploadImage(QUrl::fromLocalFile(path).toString());
    QTRY_COMPARE_WITH_TIMEOUT(uploadRequests(m_server).size(), 1, 10000);
    const QJsonObject request = uploadRequests(m_server).first().toObject();
    QCOMPARE(request.value(QLatin1String("road")).toString(), QStringLiteral("multipart"));
    QCOMPARE(request.value(QLatin1String("query")).toObject().value("api_token").toString(),
             ParameterInfor::instance()->token());
    const QJsonArray parts = request.value(QLatin1String("parts")).toArray();
    QCOMPARE(parts.size(), 2);
    const QJsonObject text = parts.at(0).toObject();
    QCOMPARE(text.value(QLatin1String("name")).toString(), QStringLiteral("text"));
    const QJsonObject described =
        QJsonDocument::fromJson(text.value(QLatin1String("text")).toString().toUtf8()).object();
    QCOMPARE(described, (QJsonObject{{"name", "照片 1.png"}, {"chunk", "0"}, {"chunks", "1"}}));
    const QJsonObject file = parts.at(1).toObject();
    QCOMPARE(
        file.value(QLatin1String("headers")).toObject().value("content-disposition").toString(),
        QStringLiteral("form-data; name=\"Filedata\"; Filedata=\"照片 1.png\""));
    QCOMPARE(qint64(file.value(QLatin1String("bytes")).toDouble()), QFileInfo(path).size());
}

TARNEX_TEST_MAIN(TestUploadImage)
#include "tst_uploadimage.moc"
