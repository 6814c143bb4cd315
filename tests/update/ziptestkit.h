#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QString>
#include <QVector>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

// Archives for the unpacking tests, written with QuaZip's own writer, and a snapshot of a
// folder to prove that nothing in it changed.
namespace ZipTestKit {

struct Entry
{
    QString name;
    QByteArray data;
    quint32 mode = 0; // Unix type and permission bits; 0 for the default
};

inline Entry link(const QString &name, const QByteArray &target)
{
    return {name, target, 0120777};
}

inline bool writeZip(const QString &path, const QVector<Entry> &entries)
{
    QuaZip zip(path);
    zip.setOsCode(3); // Unix, so the modes are read back
    if (!zip.open(QuaZip::mdCreate))
        return false;
    for (const Entry &entry : entries) {
        QuaZipNewInfo info(entry.name);
        const quint32 mode =
            entry.mode ? entry.mode : (entry.name.endsWith(QLatin1Char('/')) ? 040755 : 0100644);
        info.externalAttr = mode << 16;
        QuaZipFile file(&zip);
        // Stored, so the tests can find and damage an entry's bytes.
        if (!file.open(QIODevice::WriteOnly, info, nullptr, 0, 0, 0))
            return false;
        file.write(entry.data);
        file.close();
        if (file.getZipError() != UNZ_OK)
            return false;
    }
    zip.close();
    return zip.getZipError() == UNZ_OK;
}

// Relative path -> contents ("->target" for links, "/" for folders) of everything below dir.
inline QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> result;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = path.mid(dir.size() + 1);
        if (info.isSymLink()) {
            result.insert(relative, "->" + QFile::encodeName(info.symLinkTarget()));
        } else if (info.isDir()) {
            result.insert(relative, "/");
        } else {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            result.insert(relative, file.readAll());
        }
    }
    return result;
}

} // namespace ZipTestKit
