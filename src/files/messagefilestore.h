#pragma once

#include "concurrency/lockedvalue.h"

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

// Remembers where the files of chat messages were saved, per server, signed-in user and
// conversation partner, in "tarnexdata.ini" beside the settings, so a message can offer to open
// its file instead of downloading it again.
class MessageFilestore
{
public:
    // Created on first use; never destroyed.
    static MessageFilestore *instance();
    ~MessageFilestore();

    // Takes the server key from the current settings. Always true.
    bool openDataBase();
    // The layout needs no preparation. Always true.
    bool creatTable();
    // Remembers filePath for the message; a later message within the same 1000 ids replaces it.
    bool insertNewData(const QString &userId, const QString &messageId, const QString &filePath);
    // One element: the remembered path, or an empty text.
    QStringList getRowData(const QString &userId, const QString &messageId);

    // True when the file exists ("file:" URLs accepted).
    static bool jusitFileExits(const QString &filePath);
    // Opens the file with the program the desktop associates with it.
    static void openFile(const QString &filePath);

    QString serverKey() const;
    QString storePath() const;

    // The address without scheme, dots and colons: "https://a.b.c:8443" -> "abc8443".
    static QString serverKeyOf(const QString &address);
    // The message id divided by 1000, in decimal (0 for a text that is no number).
    static QString keyOf(const QString &messageId);

    // Writes and forgets the store, so the next instance() opens the file anew (with the
    // server key of its time): a sign-out does, and tests.
    static void release();
    static void resetForTests() { release(); }

private:
    MessageFilestore();

    struct Store
    {
        std::unique_ptr<QSettings> settings;
        QString serverKey;
    };
    // Downloads finish on their own threads, so the file and the key sit behind one lock.
    LockedValue<Store> m_store;
};
