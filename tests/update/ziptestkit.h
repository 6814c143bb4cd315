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

// Rewrites the uncompressed size of every entry, in its local header and in the central directory,
// to `size`: an archive whose directory lies about what it unpacks to. Returns the entries changed.
inline int lieAboutSizes(const QString &path, quint32 size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return 0;
    QByteArray bytes = file.readAll();
    const auto u16 = [&bytes](int at) {
        return quint32(quint8(bytes.at(at))) | quint32(quint8(bytes.at(at + 1))) << 8;
    };
    const auto u32 = [&u16](int at) { return u16(at) | u16(at + 2) << 16; };
    const auto put32 = [&bytes, size](int at) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char((size >> (8 * i)) & 0xff);
    };
    const int end = bytes.lastIndexOf("PK\x05\x06");
    if (end < 0)
        return 0;
    const int count = int(u16(end + 10));
    int at = int(u32(end + 16));
    for (int i = 0; i < count; ++i) {
        if (bytes.mid(at, 4) != "PK\x01\x02")
            return 0;
        put32(at + 24);
        put32(int(u32(at + 42)) + 22); // the entry's local header
        at += 46 + int(u16(at + 28) + u16(at + 30) + u16(at + 32));
    }
    file.seek(0);
    return file.write(bytes) == bytes.size() ? count : 0;
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
