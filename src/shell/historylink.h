#pragma once

#include <QObject>
#include <QString>

#include <memory>

class LocalHistory;
class SocketHandl;

// Joins the local history to the messaging engine: at each sign-in it opens the history of that
// user on that server, hands the engine's records to it and shows what it kept at once; the
// settings' "clear history" deletes it. One per process (instance()), on the GUI thread.
class HistoryLink : public QObject
{
    Q_OBJECT
public:
    static HistoryLink *instance();
    // Tests join a history of their own to an engine of their own.
    explicit HistoryLink(SocketHandl *engine, QObject *parent = nullptr);
    ~HistoryLink() override;

    // Opens `path` (closing the one before), then shows its newest records.
    void signIn(const QString &path);
    // The history of `userId` on the current server.
    void signIn(const QString &server, const QString &userId);
    // Deletes the history; cleared() follows, and the engine forgets what came from it.
    void clear();
    // Writes what is queued (the process is about to end).
    void close();
    // Signing out: writes what is queued, closes the file and takes it from the engine, so the
    // next sign-in opens its own (the same user's again too).
    void signOut();
    LocalHistory *history() const { return m_history.get(); }
    // What the settings' history section tells about the local copy, in the user's words:
    // a damaged file set aside, writes failing (a full disk), records missing from a time on.
    // Empty when all is well.
    QString notice() const;

signals:
    void noticeChanged(const QString &notice);
    void cleared(bool ok);
    // The newest records were read and handed to the engine.
    void shown(int conversations);

private:
    SocketHandl *m_engine;
    void setNotice(QString *part, const QString &text);

    std::shared_ptr<LocalHistory> m_history;
    // The file of the signed-in user; empty once signed out.
    QString m_signedInPath;
    QString m_setAside;
    QString m_failure;
    QString m_gap;
};
