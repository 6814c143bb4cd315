#include "facefilehandl.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QVector>

namespace {

// One section or key as the file spells it: the name QSettings gives it, and the name to show.
struct IniName
{
    QString settingsName;
    QString shownName;
};

struct IniSection
{
    IniName name;
    QVector<IniName> keys;
};

// QSettings' own escapes ("\" for "/", "%XX", "%UXXXX") are undone for both names. Other bytes
// differ: QSettings (Qt 5) reads them as Latin-1 whatever the codec, while a file edited by hand
// holds UTF-8, which is what should be shown.
IniName unescapeIniName(const QByteArray &raw)
{
    IniName name;
    QByteArray plain;
    const auto flushPlain = [&] {
        name.settingsName += QString::fromLatin1(plain);
        name.shownName += QString::fromUtf8(plain);
        plain.clear();
    };
    const auto addChar = [&](QChar ch) {
        flushPlain();
        name.settingsName += ch;
        name.shownName += ch;
    };
    for (int i = 0; i < raw.size();) {
        const char ch = raw.at(i);
        if (ch == '\\') {
            addChar(QLatin1Char('/'));
            ++i;
            continue;
        }
        if (ch == '%' && i + 1 < raw.size()) {
            const bool wide = raw.at(i + 1) == 'U';
            const int digitsAt = i + (wide ? 2 : 1);
            const int digits = wide ? 4 : 2;
            bool ok = false;
            const ushort code =
                digitsAt + digits <= raw.size() ? raw.mid(digitsAt, digits).toUShort(&ok, 16) : 0;
            if (ok) {
                addChar(QChar(code));
                i = digitsAt + digits;
                continue;
            }
        }
        plain += ch;
        ++i;
    }
    flushPlain();
    return name;
}

// QSettings lists groups and keys sorted; the documents want them as the file orders them, so
// the file's text is read for the order.
QVector<IniSection> readSectionOrder(const QString &path)
{
    QVector<IniSection> sections;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return sections;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &rawLine : lines) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            const int close = line.indexOf(']');
            IniSection section;
            section.name = unescapeIniName(line.mid(1, close < 0 ? -1 : close - 1).trimmed());
            sections.append(section);
            continue;
        }
        if (sections.isEmpty())
            continue; // keys before any section belong to no category
        const int equals = line.indexOf('=');
        sections.last().keys.append(
            unescapeIniName((equals < 0 ? line : line.left(equals)).trimmed()));
    }
    return sections;
}

// Orders the names QSettings found by their place in the file; any the file text did not
// reveal follow in QSettings' order, so a name is never lost to a parsing difference.
QStringList inFileOrder(const QStringList &found, const QVector<IniName> &fileOrder,
                        QHash<QString, QString> *settingsNames = nullptr)
{
    QStringList ordered;
    QStringList seen;
    for (const IniName &name : fileOrder) {
        if (!found.contains(name.settingsName) || seen.contains(name.settingsName))
            continue;
        seen.append(name.settingsName);
        ordered.append(name.shownName);
        if (settingsNames)
            settingsNames->insert(name.shownName, name.settingsName);
    }
    for (const QString &name : found) {
        if (seen.contains(name))
            continue;
        ordered.append(name);
        if (settingsNames)
            settingsNames->insert(name, name);
    }
    return ordered;
}

} // namespace

FaceFilehandl *FaceFilehandl::instance()
{
    static FaceFilehandl *single =
        new FaceFilehandl(QDir::currentPath() + QStringLiteral("/emojis/"));
    return single;
}

FaceFilehandl::FaceFilehandl(const QString &directory) : m_directory(directory)
{
    load();
}

void FaceFilehandl::load()
{
    const QString path = m_directory + QStringLiteral("faces.ini");
    if (!QFile::exists(path))
        return;

    QSettings settings(path, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    const QVector<IniSection> sections = readSectionOrder(path);

    QVector<IniName> sectionNames;
    for (const IniSection &section : sections)
        sectionNames.append(section.name);
    QHash<QString, QString> settingsGroups;
    m_groups = inFileOrder(settings.childGroups(), sectionNames, &settingsGroups);

    for (const QString &group : qAsConst(m_groups)) {
        const QString settingsGroup = settingsGroups.value(group);
        // A category may be split over several sections of the same name.
        QVector<IniName> keyOrder;
        for (const IniSection &section : sections) {
            if (section.name.settingsName == settingsGroup)
                keyOrder += section.keys;
        }
        settings.beginGroup(settingsGroup);
        m_names.insert(group, inFileOrder(settings.allKeys(), keyOrder));
        settings.endGroup();
    }
}
