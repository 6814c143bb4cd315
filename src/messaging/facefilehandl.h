#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The emoticon table the documents offer: categories and emoticon names from "faces.ini" in the
// emoticon folder, each name's picture being "<name>.png" beside it. Read once; the file ships
// with the client and does not change while it runs.
class FaceFilehandl
{
public:
    // Reads "emojis/" below the working directory at first use; never destroyed.
    static FaceFilehandl *instance();

    // Reads the table of another folder (a path ending in "/"); for tests and tools.
    explicit FaceFilehandl(const QString &directory);

    // Categories in the order the file lists them (empty when there is no file).
    QStringList getGroupInfor() const { return m_groups; }
    // Emoticon names of a category, in file order; empty for an unknown category.
    QStringList getImageNameList(const QString &groups) const { return m_names.value(groups); }
    // "file:///" + the emoticon folder; a name and ".png" appended give a picture's URL.
    QString getImagePath() const { return QStringLiteral("file:///") + m_directory; }

    QString directory() const { return m_directory; }

private:
    FaceFilehandl(const FaceFilehandl &) = delete;
    FaceFilehandl &operator=(const FaceFilehandl &) = delete;

    void load();

    QString m_directory;
    QStringList m_groups;
    QHash<QString, QStringList> m_names;
};
