// These tests also run under ThreadSanitizer, which cannot see Qt's own thread hand-overs.
#include "../sio/tsansuppressions.h"
#include "testenvironment.h"

#include "messaging/facefilehandl.h"

#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

class TestFaceFilehandl : public QObject
{
    Q_OBJECT

private slots:
    void fileOrder_data();
    void fileOrder();
    void missingFile();
    void shippedTable();
    void singleInstance();
};

void TestFaceFilehandl::fileOrder_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<QStringList>("firstNames");

    QTest::newRow("not alphabetical")
        << QByteArray("[zeta]\nzz=1\nbb=2\naa=3\n[alpha]\nx=1\n") << QStringList{"zeta", "alpha"}
        << QStringList{"zz", "bb", "aa"};
    // The escaped form is what Qt itself writes; hand-edited files hold plain UTF-8.
    QTest::newRow("escaped names")
        << QByteArray("; comment\n[%U624B%U52BF]\nwave=1\nok=2\n\n[%U7B11%U8138]\nsmile=1\n")
        << QStringList{QString::fromUtf8("手势"), QString::fromUtf8("笑脸")}
        << QStringList{"wave", "ok"};
    QTest::newRow("utf-8 names, CRLF")
        << QString::fromUtf8("[物品]\r\nsun=太阳\r\nmoon=月亮\r\n[笑脸]\r\nsmile=微笑\r\n").toUtf8()
        << QStringList{QString::fromUtf8("物品"), QString::fromUtf8("笑脸")}
        << QStringList{"sun", "moon"};
    QTest::newRow("category split in two") << QByteArray("[b]\nk2=1\n[a]\nx=1\n[b]\nk1=1\n")
                                           << QStringList{"b", "a"} << QStringList{"k2", "k1"};
    QTest::newRow("general section is no category")
        << QByteArray("[General]\nversion=1\n[faces]\nsmile=1\n") << QStringList{"faces"}
        << QStringList{"smile"};
}

void TestFaceFilehandl::fileOrder()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, groups);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("faces.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ini);
    file.close();

    const FaceFilehandl table(dir.path() + QLatin1Char('/'));
    QCOMPARE(table.getGroupInfor(), groups);
    QFETCH(QStringList, firstNames);
    QCOMPARE(table.getImageNameList(groups.first()), firstNames);
    QVERIFY(table.getImageNameList(QStringLiteral("no such category")).isEmpty());
}

void TestFaceFilehandl::missingFile()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    const FaceFilehandl table(folder);
    QVERIFY(table.getGroupInfor().isEmpty());
    QVERIFY(table.getImageNameList(QString::fromUtf8("笑脸")).isEmpty());
    QCOMPARE(table.getImagePath(), "file:///" + folder);
}

void TestFaceFilehandl::shippedTable()
{
    const QString folder = QStringLiteral(TARNEX_SOURCE_DIR "/emojis/");
    const FaceFilehandl table(folder);
    const QStringList groups = table.getGroupInfor();
    QVERIFY2(groups.size() >= 2, qPrintable(groups.join(',')));

    // Names end up in file names and in message markup, so they stay plain.
    static const QRegularExpression plainName(QStringLiteral("^[a-z0-9_]+$"));
    QSet<QString> names;
    for (const QString &group : groups) {
        const QStringList inGroup = table.getImageNameList(group);
        QVERIFY2(!inGroup.isEmpty(), qPrintable(group));
        for (const QString &name : inGroup) {
            QVERIFY2(plainName.match(name).hasMatch(), qPrintable(name));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
            const QImage picture(folder + name + QStringLiteral(".png"));
            QVERIFY2(!picture.isNull(), qPrintable(name));
            QCOMPARE(picture.size(), QSize(64, 64));
            QVERIFY(picture.hasAlphaChannel());
        }
    }
    QVERIFY2(names.size() >= 24, qPrintable(QString::number(names.size())));
}

void TestFaceFilehandl::singleInstance()
{
    FaceFilehandl *table = FaceFilehandl::instance();
    QCOMPARE(FaceFilehandl::instance(), table);
    QCOMPARE(table->directory(), QDir::currentPath() + QStringLiteral("/emojis/"));
    QCOMPARE(table->getImagePath(), QStringLiteral("file:///") + table->directory());
}

TARNEX_TEST_MAIN(TestFaceFilehandl)
#include "tst_facefilehandl.moc"
