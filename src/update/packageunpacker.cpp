#include "packageunpacker.h"

#include "logging.h"
#include "update/installjournal.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QRegularExpression>
#include <QVector>

#include <algorithm>

#ifdef TARNEX_HAVE_QUAZIP
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>
#endif

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

bool isInside(const QString &root, const QString &path)
{
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

using InstallJournal::entryExists;

bool removeEntry(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path) || !entryExists(path);
}

// Creates root/relative one segment at a time; refuses to pass through a link or a file.
bool makeRealDirectory(const QString &root, const QString &relative)
{
    QString path = root;
    const QStringList segments = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &segment : segments) {
        path += QLatin1Char('/') + segment;
        const QFileInfo info(path);
        if (info.isSymLink())
            return false;
        if (info.exists()) {
            if (!info.isDir())
                return false;
            continue;
        }
        if (!QDir().mkdir(path))
            return false;
    }
    return true;
}

// The target of a link entry, normalised against the link's folder; false when it leaves.
bool linkStaysInside(const QString &relative, const QString &linkTarget)
{
    QString target = linkTarget;
    target.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (target.isEmpty() || target.startsWith(QLatin1Char('/')) ||
        target.contains(QRegularExpression(QStringLiteral("^[A-Za-z]:"))))
        return false;
    QStringList stack = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    stack.removeLast(); // the link's own name
    const QStringList segments = target.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &segment : segments) {
        if (segment == QLatin1String("."))
            continue;
        if (segment == QLatin1String("..")) {
            if (stack.isEmpty())
                return false;
            stack.removeLast();
            continue;
        }
        stack.append(segment);
    }
    return true;
}

} // namespace

bool PackageUnpacker::available()
{
#ifdef TARNEX_HAVE_QUAZIP
    return true;
#else
    return false;
#endif
}

bool PackageUnpacker::safeRelativePath(const QString &entryName, QString *relative)
{
    QString name = entryName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    relative->clear();
    if (name.startsWith(QLatin1Char('/')))
        return false;
    QStringList kept;
    const QStringList segments = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &segment : segments) {
        if (segment == QLatin1String("."))
            continue;
        // ".." climbs out; a drive ("C:") or stream name (":") reaches elsewhere on Windows;
        // control characters have no business in a file name.
        if (segment == QLatin1String("..") || segment.contains(QLatin1Char(':')))
            return false;
        for (const QChar c : segment) {
            if (c.unicode() < 0x20)
                return false;
        }
        kept.append(segment);
    }
    *relative = kept.join(QLatin1Char('/'));
    return true;
}

PackageUnpacker::Result PackageUnpacker::extract(const QString &archive, const QString &target,
                                                 HostileEntries hostile, const Limits &limits)
{
    Result result;
#ifndef TARNEX_HAVE_QUAZIP
    Q_UNUSED(archive)
    Q_UNUSED(target)
    Q_UNUSED(hostile)
    Q_UNUSED(limits)
    result.error = QStringLiteral("this build cannot unpack archives");
    return result;
#else
    if (!QDir().mkpath(target)) {
        result.error = QStringLiteral("cannot create %1").arg(target);
        return result;
    }
    const QString root = QFileInfo(target).canonicalFilePath();
    QuaZip zip(archive);
    if (!zip.open(QuaZip::mdUnzip)) {
        result.error = QStringLiteral("not a readable archive (error %1)").arg(zip.getZipError());
        return result;
    }

    struct Link
    {
        QString entry;
        QString relative;
        QString target;
    };
    QVector<Link> links;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);

    // The directory is checked first, so a bomb that says what it is costs nothing.
    if (zip.getEntriesCount() > limits.entries) {
        result.error = QStringLiteral("the archive holds %1 entries, more than %2")
                           .arg(zip.getEntriesCount())
                           .arg(limits.entries);
        return result;
    }
    qint64 declared = 0;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        if (zip.getCurrentFileInfo(&info))
            declared += qint64(std::min<quint64>(info.uncompressedSize, quint64(1) << 62));
        if (declared > limits.totalBytes) {
            result.error =
                QStringLiteral("the archive unpacks to more than %1 bytes").arg(limits.totalBytes);
            return result;
        }
    }
    // A directory may lie about the sizes: the bytes really unpacked are counted too.
    qint64 unpacked = 0;

    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        if (!zip.getCurrentFileInfo(&info)) {
            result.error = QStringLiteral("unreadable entry (error %1)").arg(zip.getZipError());
            return result;
        }
        QString relative;
        if (!safeRelativePath(info.name, &relative)) {
            result.skipped.append(info.name);
            continue;
        }
        if (relative.isEmpty())
            continue;
        const QString path = root + QLatin1Char('/') + relative;

        if (info.isSymbolicLink()) {
            QuaZipFile in(&zip);
            if (!in.open(QIODevice::ReadOnly)) {
                result.error = QStringLiteral("cannot read %1").arg(info.name);
                return result;
            }
            const QByteArray linkTarget = in.readAll();
            in.close();
            if (in.getZipError() != UNZ_OK) {
                result.error = QStringLiteral("damaged entry %1").arg(info.name);
                return result;
            }
            if (!linkStaysInside(relative, QString::fromUtf8(linkTarget)))
                result.skipped.append(info.name);
            else
                links.append({info.name, relative, QString::fromUtf8(linkTarget)});
            continue;
        }

        if (info.name.endsWith(QLatin1Char('/')) || info.name.endsWith(QLatin1Char('\\'))) {
            if (!makeRealDirectory(root, relative)) {
                result.error = QStringLiteral("cannot create the folder %1").arg(relative);
                return result;
            }
            continue;
        }

        if (!makeRealDirectory(root, relative.section(QLatin1Char('/'), 0, -2)) ||
            QFileInfo(path).isDir()) {
            result.error = QStringLiteral("cannot create %1").arg(relative);
            return result;
        }
        QuaZipFile in(&zip);
        QFile out(path);
        if (!in.open(QIODevice::ReadOnly)) {
            result.error = QStringLiteral("cannot read %1").arg(info.name);
            return result;
        }
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            result.error = QStringLiteral("cannot write %1: %2").arg(relative, out.errorString());
            return result;
        }
        qint64 count = 0;
        while ((count = in.read(buffer.data(), buffer.size())) > 0) {
            unpacked += count;
            if (unpacked > limits.totalBytes) {
                result.error = QStringLiteral("the archive unpacks to more than %1 bytes")
                                   .arg(limits.totalBytes);
                return result;
            }
            if (out.write(buffer.constData(), count) != count) {
                result.error =
                    QStringLiteral("cannot write %1: %2").arg(relative, out.errorString());
                return result;
            }
        }
        in.close();
        out.close();
        // The checksum is compared when the entry is closed.
        if (count < 0 || in.getZipError() != UNZ_OK) {
            result.error = QStringLiteral("damaged entry %1").arg(info.name);
            return result;
        }
        // Unix permissions travel in the upper half of the external attributes.
        if ((info.versionCreated >> 8) == 3 && (info.externalAttr >> 16) != 0)
            out.setPermissions(info.getPermissions() | QFile::ReadOwner | QFile::WriteOwner);
        result.written.append(relative);
    }
    if (zip.getZipError() != UNZ_OK) {
        result.error = QStringLiteral("damaged archive (error %1)").arg(zip.getZipError());
        return result;
    }

    // Links come last, so nothing above was ever written through one. Each must resolve to
    // something inside the target; dropping one may leave another dangling, so repeat.
#ifdef Q_OS_UNIX
    QVector<Link> made;
    for (const Link &link : qAsConst(links)) {
        const QString path = root + QLatin1Char('/') + link.relative;
        if (!makeRealDirectory(root, link.relative.section(QLatin1Char('/'), 0, -2)) ||
            (entryExists(path) && !removeEntry(path)) ||
            ::symlink(QFile::encodeName(link.target).constData(),
                      QFile::encodeName(path).constData()) != 0) {
            result.error = QStringLiteral("cannot create the link %1").arg(link.relative);
            return result;
        }
        made.append(link);
    }
    for (bool dropped = true; dropped;) {
        dropped = false;
        for (int i = made.size() - 1; i >= 0; --i) {
            const QString path = root + QLatin1Char('/') + made.at(i).relative;
            const QString resolved = QFileInfo(path).canonicalFilePath();
            if (!resolved.isEmpty() && isInside(root, resolved))
                continue;
            QFile::remove(path);
            result.skipped.append(made.at(i).entry);
            made.removeAt(i);
            dropped = true;
        }
    }
    for (const Link &link : qAsConst(made))
        result.written.append(link.relative);
#else
    for (const Link &link : qAsConst(links))
        qCWarning(lcUpdate) << "link entry not unpacked on this system:" << link.entry;
#endif

    if (!result.skipped.isEmpty()) {
        qCWarning(lcUpdate) << "entries refused:" << result.skipped;
        if (hostile == HostileEntries::Refuse) {
            result.error = QStringLiteral("the archive holds entries that leave the target");
            return result;
        }
    }
    result.ok = true;
    return result;
#endif
}

namespace {

// Every file unpacked into `fresh` is one the archive lists, with the listed size, and every
// listed file is there: nothing was lost, added or cut short on the way.
QString differenceFromListing(const QString &archive, const QString &fresh,
                              const QStringList &leaves)
{
#ifdef TARNEX_HAVE_QUAZIP
    QuaZip zip(archive);
    if (!zip.open(QuaZip::mdUnzip))
        return QStringLiteral("cannot read the archive's listing");
    QMap<QString, qint64> listed;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        QString relative;
        if (!zip.getCurrentFileInfo(&info) ||
            !PackageUnpacker::safeRelativePath(info.name, &relative))
            return QStringLiteral("unreadable listing entry");
        if (!relative.isEmpty() && !info.name.endsWith(QLatin1Char('/')) &&
            !info.name.endsWith(QLatin1Char('\\')))
            listed.insert(relative, info.isSymbolicLink() ? -1 : qint64(info.uncompressedSize));
    }
    if (leaves.size() != listed.size())
        return QStringLiteral("%1 files unpacked, the archive lists %2")
            .arg(leaves.size())
            .arg(listed.size());
    for (const QString &leaf : leaves) {
        const QFileInfo info(fresh + QLatin1Char('/') + leaf);
        const auto it = listed.constFind(leaf);
        if (it == listed.constEnd())
            return QStringLiteral("%1 is not in the archive's listing").arg(leaf);
        if (*it >= 0 && (info.isSymLink() || info.size() != *it))
            return QStringLiteral("%1 has %2 bytes, the listing says %3")
                .arg(leaf)
                .arg(info.size())
                .arg(*it);
    }
    return QString();
#else
    Q_UNUSED(archive)
    Q_UNUSED(fresh)
    Q_UNUSED(leaves)
    return QStringLiteral("this build cannot unpack archives");
#endif
}

} // namespace

PackageUnpacker::Result PackageUnpacker::install(const QString &archive, const QString &target,
                                                 HostileEntries hostile, const Limits &limits,
                                                 const QString &version)
{
    Result result;
    const QString root = QFileInfo(target).canonicalFilePath();
    if (root.isEmpty() || !QFileInfo(root).isDir()) {
        result.error = QStringLiteral("no installation at %1").arg(target);
        return result;
    }
    QLockFile lock(InstallJournal::lockPath(root));
    if (!lock.tryLock(0)) {
        result.error = QStringLiteral("the installation is not writable, or another update runs");
        return result;
    }
    // Whatever an earlier, cut-off update left is settled first.
    InstallJournal::recoverLocked(root, true);
    const QString work = InstallJournal::workFolder(root);
    const QString fresh = InstallJournal::stagingFolder(root);
    QDir(work).removeRecursively();
    const auto fail = [&](const QString &error) {
        QDir(work).removeRecursively();
        result.error = error;
        result.written.clear();
        return result;
    };
    Result unpacked = extract(archive, fresh, hostile, limits);
    result.skipped = unpacked.skipped;
    if (!unpacked.ok)
        return fail(unpacked.error);

    QStringList folders;
    QStringList leaves;
    QDirIterator it(fresh, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(fresh.size() + 1);
        const QFileInfo info = it.fileInfo();
        if (info.isDir() && !info.isSymLink())
            folders.append(relative);
        else
            leaves.append(relative);
    }
    folders.sort();
    leaves.sort();
    const QString difference = differenceFromListing(archive, fresh, leaves);
    if (!difference.isEmpty())
        return fail(difference);
    InstallJournal::killPoint("staged");

    // A name whose kind changes (a file where a folder was, or the reverse) or a folder that is a
    // link leading elsewhere is refused before anything moves.
    for (const QString &folder : qAsConst(folders)) {
        const QFileInfo info(root + QLatin1Char('/') + folder);
        if (entryExists(info.filePath()) && (!info.isDir() || info.isSymLink()))
            return fail(QStringLiteral("cannot replace %1 by a folder").arg(folder));
    }
    for (const QString &leaf : qAsConst(leaves)) {
        const QFileInfo info(root + QLatin1Char('/') + leaf);
        if (info.isDir() && !info.isSymLink())
            return fail(QStringLiteral("cannot replace the folder %1 by a file").arg(leaf));
        const QString parent = QFileInfo(info.path()).canonicalFilePath();
        if (!parent.isEmpty() && !isInside(root, parent))
            return fail(QStringLiteral("%1 would leave the installation").arg(leaf));
    }
    const QString error =
        InstallJournal::switchOver(root, folders, leaves, version, &result.written);
    if (!error.isEmpty())
        return fail(error);
    result.ok = true;
    return result;
}
