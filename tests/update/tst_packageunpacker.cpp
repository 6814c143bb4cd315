#include "testenvironment.h"
#include "ziptestkit.h"

#include "update/installjournal.h"
#include "update/packageunpacker.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using ZipTestKit::Entry;
Q_DECLARE_METATYPE(QVector<ZipTestKit::Entry>)

// Unpacking never writes outside its target, and installing is all or nothing.
class TestPackageUnpacker : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void entryNames_data();
    void entryNames();
    void hostileEntriesAreSkipped_data();
    void hostileEntriesAreSkipped();
    void installReplacesAndKeeps();
    void failedWriteMidwayRollsBack();
    void installRefusesHostilePackages();
    void brokenArchivesChangeNothing_data();
    void brokenArchivesChangeNothing();
    void readOnlyInstallationChangesNothing();
    void zipBombsAreRefused_data();
    void zipBombsAreRefused();
    void lyingSizesAreRefused();

private:
    QString path(const QString &relative) const { return m_root->filePath(relative); }
    void makeInstallation();

    std::unique_ptr<QTemporaryDir> m_root;
};

void TestPackageUnpacker::init()
{
    // Everything a test writes stays below root; "install" and "out" are the targets.
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
}

void TestPackageUnpacker::makeInstallation()
{
    QVERIFY(QDir().mkpath(path(QStringLiteral("install/emojis"))));
    QFile client(path(QStringLiteral("install/tarnex")));
    QVERIFY(client.open(QIODevice::WriteOnly));
    client.write("old client");
    client.close();
    QVERIFY(client.setPermissions(client.permissions() | QFile::ExeOwner));
    QFile faces(path(QStringLiteral("install/emojis/faces.ini")));
    QVERIFY(faces.open(QIODevice::WriteOnly));
    faces.write("old faces");
}

void TestPackageUnpacker::entryNames_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("safe");
    QTest::addColumn<QString>("relative");

    QTest::newRow("plain") << "emojis/faces.ini" << true << "emojis/faces.ini";
    QTest::newRow("folder") << "emojis/" << true << "emojis";
    QTest::newRow("dot segments") << "./a/./b.txt" << true << "a/b.txt";
    QTest::newRow("backslashes") << "a\\b.txt" << true << "a/b.txt";
    QTest::newRow("the target itself") << "./" << true << "";
    QTest::newRow("parent") << "../x.txt" << false << "";
    QTest::newRow("parent deeper") << "a/../../x.txt" << false << "";
    QTest::newRow("parent, staying inside") << "a/../x.txt" << false << "";
    QTest::newRow("parent by backslash") << "..\\x.txt" << false << "";
    QTest::newRow("absolute") << "/etc/x.txt" << false << "";
    QTest::newRow("absolute by backslash") << "\\x.txt" << false << "";
    QTest::newRow("drive") << "C:/x.txt" << false << "";
    QTest::newRow("control character") << "a\nb.txt" << false << "";
}

void TestPackageUnpacker::entryNames()
{
    QFETCH(QString, entry);
    QFETCH(bool, safe);
    QFETCH(QString, relative);
    QString result = QStringLiteral("unset");
    QCOMPARE(PackageUnpacker::safeRelativePath(entry, &result), safe);
    if (safe)
        QCOMPARE(result, relative);
}

void TestPackageUnpacker::hostileEntriesAreSkipped_data()
{
    QTest::addColumn<QVector<Entry>>("entries");
    QTest::addColumn<QStringList>("skipped");
    QTest::addColumn<QStringList>("written");

    const QByteArray data("x");
    QTest::newRow("dot-dot") << QVector<Entry>{{"../escaped.txt", data}, {"ok.txt", data}}
                             << QStringList{"../escaped.txt"} << QStringList{"ok.txt"};
    QTest::newRow("absolute") << QVector<Entry>{{"/ESCAPED_ABS", data}, {"ok.txt", data}}
                              << QStringList{"/ESCAPED_ABS"} << QStringList{"ok.txt"};
    QTest::newRow("link leaving, and a file through it")
        << QVector<Entry>{ZipTestKit::link("up", "../.."), {"up/escaped.txt", data}}
        << QStringList{"up"} << QStringList{"up/escaped.txt"};
    QTest::newRow("absolute link")
        << QVector<Entry>{ZipTestKit::link("abs", "/etc"), {"ok.txt", data}} << QStringList{"abs"}
        << QStringList{"ok.txt"};
    // Each link alone stays inside; together "y" resolves to the target's parent.
    QTest::newRow("chained links") << QVector<Entry>{ZipTestKit::link("x", "."),
                                                     ZipTestKit::link("y", "x/.."),
                                                     {"ok.txt", data}}
                                   << QStringList{"y"} << QStringList{"ok.txt", "x"};
    QTest::newRow("link inside") << QVector<Entry>{{"lib/libx.so.1", data},
                                                   ZipTestKit::link("lib/libx.so", "libx.so.1")}
                                 << QStringList() << QStringList{"lib/libx.so.1", "lib/libx.so"};
}

void TestPackageUnpacker::hostileEntriesAreSkipped()
{
    QFETCH(QVector<Entry>, entries);
    QFETCH(QStringList, skipped);
    QFETCH(QStringList, written);

    // The absolute entry is made to point below root, so a fault would show there.
    for (Entry &entry : entries) {
        if (entry.name == QLatin1String("/ESCAPED_ABS"))
            entry.name = path(QStringLiteral("escaped-absolute.txt"));
    }
    for (QString &name : skipped) {
        if (name == QLatin1String("/ESCAPED_ABS"))
            name = path(QStringLiteral("escaped-absolute.txt"));
    }
    const QString archive = path(QStringLiteral("package.zip"));
    QVERIFY(ZipTestKit::writeZip(archive, entries));

    const QString target = path(QStringLiteral("deep/out"));
    if (!skipped.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("entries refused")));
    const PackageUnpacker::Result result = PackageUnpacker::extract(archive, target);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.skipped, skipped);
    QCOMPARE(result.written, written);
    // Nothing appeared anywhere but in the target.
    const QStringList outside = ZipTestKit::snapshot(m_root->path()).keys();
    for (const QString &relative : outside) {
        QVERIFY2(relative == QLatin1String("package.zip") || relative == QLatin1String("deep") ||
                     relative.startsWith(QLatin1String("deep/out")),
                 qPrintable(relative));
    }
}

void TestPackageUnpacker::installReplacesAndKeeps()
{
    makeInstallation();
    const QString archive = path(QStringLiteral("package.zip"));
    QVERIFY(ZipTestKit::writeZip(
        archive,
        {{"tarnex", "new client", 0100755}, {"emojis/", {}}, {"menuimages/new.png", "icon"}}));
    const QString target = path(QStringLiteral("install"));
    const PackageUnpacker::Result result = PackageUnpacker::install(archive, target);
    QVERIFY2(result.ok, qPrintable(result.error));

    const auto files = ZipTestKit::snapshot(target);
    QCOMPARE(files.value(QStringLiteral("tarnex")), QByteArray("new client"));
    QCOMPARE(files.value(QStringLiteral("emojis/faces.ini")), QByteArray("old faces"));
    QCOMPARE(files.value(QStringLiteral("menuimages/new.png")), QByteArray("icon"));
    // The program stays a program; the replaced one is kept until the new client's first start,
    // which removes it with the rest of the work folder.
    QVERIFY(QFileInfo(path(QStringLiteral("install/tarnex"))).isExecutable());
    QCOMPARE(files.value(QStringLiteral(".tarnex-update/old/tarnex")), QByteArray("old client"));
    QCOMPARE(InstallJournal::recover(target, false), InstallJournal::Recovery::Nothing);
    QCOMPARE(InstallJournal::recover(target, true), InstallJournal::Recovery::Finished);
    QCOMPARE(
        ZipTestKit::snapshot(target).keys(),
        (QStringList{"emojis", "emojis/faces.ini", "menuimages", "menuimages/new.png", "tarnex"}));
}

// A file that cannot be replaced midway through the switch (immutable for the superuser,
// in a read-only folder for anyone else) rolls back what was already switched.
void TestPackageUnpacker::failedWriteMidwayRollsBack()
{
    makeInstallation();
    const QString target = path(QStringLiteral("install"));
    const QString stuck = path(QStringLiteral("install/emojis/faces.ini"));
    const auto before = ZipTestKit::snapshot(target);
    const QString archive = path(QStringLiteral("package.zip"));
    // Sorted, "a.txt" is switched before the stuck file, the client program last.
    QVERIFY(ZipTestKit::writeZip(
        archive,
        {{"a.txt", "new"}, {"emojis/faces.ini", "new faces"}, {"tarnex", "new client", 0100755}}));
    const bool superuser = ::geteuid() == 0;
    if (superuser) {
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), stuck}) != 0)
            QSKIP("this file system has no immutable files");
    } else {
        QFile::setPermissions(path(QStringLiteral("install/emojis")),
                              QFile::ReadOwner | QFile::ExeOwner);
    }
    const PackageUnpacker::Result result = PackageUnpacker::install(archive, target);
    if (superuser)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), stuck});
    else
        QFile::setPermissions(path(QStringLiteral("install/emojis")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(QStringLiteral("emojis/faces.ini")), qPrintable(result.error));
    QCOMPARE(ZipTestKit::snapshot(target), before);
}

void TestPackageUnpacker::installRefusesHostilePackages()
{
    makeInstallation();
    const QString target = path(QStringLiteral("install"));
    const auto before = ZipTestKit::snapshot(target);
    const QString archive = path(QStringLiteral("package.zip"));
    QVERIFY(ZipTestKit::writeZip(archive,
                                 {{"tarnex", "new client", 0100755}, {"../escaped.txt", "x"}}));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("entries refused")));
    const PackageUnpacker::Result result = PackageUnpacker::install(archive, target);
    QVERIFY(!result.ok);
    QCOMPARE(result.skipped, QStringList{"../escaped.txt"});
    QCOMPARE(ZipTestKit::snapshot(target), before);
    QVERIFY(!QFile::exists(path(QStringLiteral("escaped.txt"))));
}

void TestPackageUnpacker::brokenArchivesChangeNothing_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("checksum") << "checksum";
    QTest::newRow("cut short") << "cut";
    QTest::newRow("not an archive") << "garbage";
    QTest::newRow("missing") << "missing";
}

void TestPackageUnpacker::brokenArchivesChangeNothing()
{
    QFETCH(QString, damage);
    makeInstallation();
    const QString target = path(QStringLiteral("install"));
    const auto before = ZipTestKit::snapshot(target);
    const QString archive = path(QStringLiteral("package.zip"));
    // The second entry is the damaged one, so the first has already been unpacked.
    QVERIFY(ZipTestKit::writeZip(archive,
                                 {{"aaa.txt", "first"}, {"tarnex", "PAYLOAD of the new client"}}));
    QFile file(archive);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    if (damage == QLatin1String("checksum"))
        bytes.replace("PAYLOAD", "PAYLOAd");
    else if (damage == QLatin1String("cut"))
        bytes.truncate(bytes.indexOf("PAYLOAD") + 3);
    else if (damage == QLatin1String("garbage"))
        bytes = "<html>not found</html>";
    file.resize(0);
    file.write(bytes);
    file.close();
    if (damage == QLatin1String("missing"))
        QVERIFY(file.remove());

    const PackageUnpacker::Result result = PackageUnpacker::install(archive, target);
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(ZipTestKit::snapshot(target), before);
}

void TestPackageUnpacker::readOnlyInstallationChangesNothing()
{
    if (::geteuid() == 0)
        QSKIP("permissions do not bind the superuser");
    makeInstallation();
    const QString target = path(QStringLiteral("install"));
    const auto before = ZipTestKit::snapshot(target);
    const QString archive = path(QStringLiteral("package.zip"));
    QVERIFY(ZipTestKit::writeZip(archive, {{"tarnex", "new client", 0100755}}));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner);
    const PackageUnpacker::Result result = PackageUnpacker::install(archive, target);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!result.ok);
    QCOMPARE(ZipTestKit::snapshot(target), before);
}

void TestPackageUnpacker::zipBombsAreRefused_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<qint64>("entryBytes");
    QTest::addColumn<bool>("refused");
    const qint64 mib = 1024 * 1024;
    // The caps below are 32 MiB and 50 entries.
    QTest::newRow("one entry of 64 MiB") << 1 << 64 * mib << true;
    QTest::newRow("ten entries of 4 MiB") << 10 << 4 * mib << true;
    QTest::newRow("51 empty entries") << 51 << qint64(0) << true;
    QTest::newRow("within both caps") << 50 << qint64(1000) << false;
}

void TestPackageUnpacker::zipBombsAreRefused()
{
    QFETCH(int, entries);
    QFETCH(qint64, entryBytes);
    QFETCH(bool, refused);
    makeInstallation();
    const QString target = path(QStringLiteral("install"));
    const auto before = ZipTestKit::snapshot(target);
    // Zeros deflate to almost nothing: a 64 MiB entry makes an archive of a few dozen KiB.
    const QString archive = path(QStringLiteral("bomb.zip"));
    {
        QuaZip zip(archive);
        QVERIFY(zip.open(QuaZip::mdCreate));
        const QByteArray zeros(1024 * 1024, '\0');
        for (int i = 0; i < entries; ++i) {
            QuaZipFile file(&zip);
            QVERIFY(file.open(QIODevice::WriteOnly,
                              QuaZipNewInfo(QStringLiteral("zeros%1.bin").arg(i)), nullptr, 0,
                              Z_DEFLATED, 9));
            for (qint64 at = 0; at < entryBytes; at += zeros.size())
                file.write(zeros.constData(), std::min<qint64>(zeros.size(), entryBytes - at));
            file.close();
        }
        zip.close();
    }
    QVERIFY(QFileInfo(archive).size() < 1024 * 1024);
    PackageUnpacker::Limits limits;
    limits.totalBytes = 32 * 1024 * 1024;
    limits.entries = 50;
    const PackageUnpacker::Result result =
        PackageUnpacker::install(archive, target, PackageUnpacker::HostileEntries::Refuse, limits);
    QCOMPARE(result.ok, !refused);
    if (!refused)
        return;
    QVERIFY(
        result.error.contains(entries > 50 ? QStringLiteral("entries") : QStringLiteral("bytes")));
    QCOMPARE(ZipTestKit::snapshot(target), before);
    // The defaults are far above any client, far below a bomb.
    QVERIFY(PackageUnpacker::Limits().totalBytes >= qint64(1) << 31);
}

// A bomb whose directory claims a few bytes per entry passes the declared-size check. What reaches
// the disk must still stay under the cap: QuaZip stops each entry at its declared size and fails
// its checksum, and the unpacker counts the real bytes should a reader ever go further.
void TestPackageUnpacker::lyingSizesAreRefused()
{
    makeInstallation();
    const QString target = path(QStringLiteral("install"));
    const auto before = ZipTestKit::snapshot(target);
    const QString archive = path(QStringLiteral("liar.zip"));
    {
        QuaZip zip(archive);
        QVERIFY(zip.open(QuaZip::mdCreate));
        const QByteArray zeros(16 * 1024 * 1024, '\0');
        for (int i = 0; i < 4; ++i) {
            QuaZipFile file(&zip);
            QVERIFY(file.open(QIODevice::WriteOnly,
                              QuaZipNewInfo(QStringLiteral("zeros%1.bin").arg(i)), nullptr, 0,
                              Z_DEFLATED, 9));
            file.write(zeros);
            file.close();
        }
        zip.close();
    }
    QCOMPARE(ZipTestKit::lieAboutSizes(archive, 1000), 4);
    PackageUnpacker::Limits limits;
    limits.totalBytes = 32 * 1024 * 1024;

    const QString out = path(QStringLiteral("out"));
    const PackageUnpacker::Result extracted =
        PackageUnpacker::extract(archive, out, PackageUnpacker::HostileEntries::Refuse, limits);
    QVERIFY(!extracted.ok);
    QVERIFY(!extracted.error.isEmpty());
    qint64 onDisk = 0;
    const auto files = ZipTestKit::snapshot(out);
    for (const QByteArray &data : files)
        onDisk += data.size();
    QVERIFY2(onDisk <= limits.totalBytes, QByteArray::number(onDisk));

    const PackageUnpacker::Result installed =
        PackageUnpacker::install(archive, target, PackageUnpacker::HostileEntries::Refuse, limits);
    QVERIFY(!installed.ok);
    QCOMPARE(ZipTestKit::snapshot(target), before);
}

TARNEX_TEST_MAIN(TestPackageUnpacker)
#include "tst_packageunpacker.moc"
