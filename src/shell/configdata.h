#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QNetworkReply;
class VersionRequest;

// The documents' access to the settings store, plus a few desktop functions: the version
// request and the updater launch, restart and quit codes, starting with the system, a cursor
// hit test and a rich-text filter. Each document makes its own; all share the one store.
class ConfigData : public QObject
{
    Q_OBJECT
public:
    explicit ConfigData(QObject *parent = nullptr);

    Q_INVOKABLE QString getCurrentMainFile(const QString &confiles);
    Q_INVOKABLE void setCurrentMainFile(const QString &name, const QString &confiles);

    Q_INVOKABLE void addServerAddress(const QString &address, const QString &langues);
    Q_INVOKABLE void addServerAddress(const QString &address);
    Q_INVOKABLE QStringList getServerAddress();
    Q_INVOKABLE QString getServerAddressLangue(const QString &address);
    Q_INVOKABLE void removeServerAddress(const QString &address);
    // An address as the server list keys it (no "http://", no trailing slash).
    Q_INVOKABLE QString plainServerAddress(const QString &address) const;
    // Whether a server to sign in to has been set.
    Q_INVOKABLE bool currentServerSet() const;
    // The address the server test asks, for a plain address.
    Q_INVOKABLE QString serverCheckUrl(const QString &address) const;
    // Stores a server chosen in the server settings, with its language, as the current one.
    Q_INVOKABLE void saveServer(const QString &address, const QString &langues);
    // The sign-in view the login frame opens on: "server" without a server, else the last one.
    Q_INVOKABLE QString loginStartView();
    // Where an avatar path of the current server loads from.
    Q_INVOKABLE QString avatarUrl(const QString &path);
    // The form's choices as a sign-in starts: the account, whether its password is kept, and
    // auto-login. The current account is written first: the password is kept under it.
    Q_INVOKABLE void saveSignIn(const QString &account, const QString &password, bool remember,
                                bool autoLogin);

    Q_INVOKABLE QStringList getAllAccount();
    // The password as the settings file holds it (only where no keychain runs, or before
    // its move there); requestAccountPassword gives the remembered one.
    Q_INVOKABLE QString getAccountPassword(const QString &accounts);
    // Answers with sigAccountPassword, always later, never at once.
    Q_INVOKABLE void requestAccountPassword(const QString &accounts);
    // The user-facing text about the missing keychain, once per run; "" otherwise.
    Q_INVOKABLE QString takePasswordStoreNotice();
    Q_INVOKABLE void setAccountPassword(const QString &accounts, const QString &password);
    Q_INVOKABLE QString getAccountImage(const QString &accounts);
    Q_INVOKABLE void setAccountImage(const QString &accounts, const QString &images);
    Q_INVOKABLE void removeAccount(const QString &accounts);

    Q_INVOKABLE QString getBrowserPath(const QString &confiles);
    Q_INVOKABLE void setBrowserPath(const QString &name, const QString &confiles);
    Q_INVOKABLE QString getDefaultDownloadPath();

    Q_INVOKABLE bool getExitbtnStatus();
    Q_INVOKABLE void setExitbtnStatus(bool status);
    Q_INVOKABLE bool getStartCompany();
    Q_INVOKABLE void setStartCompany(bool status);

    // Recent conversations of the signed-in user on the current server.
    Q_INVOKABLE QStringList getCurrentChat();
    Q_INVOKABLE QString getCurrentChatName(const QString &ids);
    Q_INVOKABLE QString getCurrentChatTypes(const QString &ids);
    Q_INVOKABLE void setCurrentChatName(const QString &ids, const QString &names);
    Q_INVOKABLE void setCurrentChatTypes(const QString &ids, const QString &types);
    Q_INVOKABLE void removeCurrentChat(const QString &ids);
    Q_INVOKABLE bool judgeCurrentChatName(const QString &ids);

    Q_INVOKABLE QStringList getHistoricalRecord();
    Q_INVOKABLE QString getHistoricalGroup(const QString &names);
    Q_INVOKABLE void setHistoricalRecord(const QString &name, const QString &types);
    Q_INVOKABLE void setHistoricalRecord(const QString &name);
    Q_INVOKABLE void removeHistoricalRecord(const QString &name);

    // The emoticon table.
    Q_INVOKABLE QStringList getGroupInfor();
    Q_INVOKABLE QStringList getImageNameList(const QString &groups);
    Q_INVOKABLE QString getImagePath();

    Q_INVOKABLE bool judgeFileExits(const QString &paths);
    Q_INVOKABLE QString getUserId();
    Q_INVOKABLE QString getToken();
    Q_INVOKABLE QString getSystemInfo();
    Q_INVOKABLE QString getUserInformation();
    // True when the cursor lies in the rectangle, its edges included.
    Q_INVOKABLE bool getMousePosition(int xPos, int yPos, int xwidth, int yHeight);
    // The text of a rich text without its tags and line feeds; a text with a picture stays.
    Q_INVOKABLE QString filterRichText(const QString &texts);
    // What the message editor sends of its document (see EditorBody), and whether that says
    // nothing: no picture and no text but spaces.
    Q_INVOKABLE QString editorBody(const QString &html) const;
    Q_INVOKABLE bool isEmptyBody(const QString &body);
    Q_INVOKABLE bool hasServerPicture(const QString &body) const;
    // The conversation open at the end of a session, for the next start of the same user; an
    // empty id forgets it. lastConversation gives {id, name, types, history}, or an empty map
    // when none is kept, it is broken or it was another user's.
    Q_INVOKABLE void rememberConversation(const QString &id, const QString &name,
                                          const QString &types, bool history);
    Q_INVOKABLE QVariantMap lastConversation();
    // One line of a message, as a desktop notice shows it: the conversation list and what a
    // screen reader says of a row use the same rules, with the interface language's markers.
    Q_INVOKABLE QString previewText(const QString &msg, const QString &msgType,
                                    const QString &picture, const QString &file,
                                    const QString &emoticon) const;
    Q_INVOKABLE void setMessageNumber(int number);

    Q_INVOKABLE void getVersionInfor();
    // Hands over to the updater and ends the client; false (and the client goes on) when the
    // updater cannot be started.
    Q_INVOKABLE bool openUpdateProgrom(const QString &updateInfors, const QString &crrentVersion);
    // Where this installation's updates come from, when not from its own updater (empty then).
    Q_INVOKABLE QString updateSourceNote() const;
    // Whether the client's own updater may update this installation.
    Q_INVOKABLE bool selfUpdating() const;
    Q_INVOKABLE void openExeProgram();
    Q_INVOKABLE void restartDevice();
    Q_INVOKABLE void disConnectServer();
    // Signing out within the running client, as clean as a restart: the link is closed and
    // every store forgets the account (conversations, outbox, local history, token and user
    // caches, directory, reminders, menu, pictures, the server lock).
    Q_INVOKABLE void signOut();
    Q_INVOKABLE void setLoginServerIp();
    // Deletes the local message history of the signed-in user; sigChatHistoryCleared follows.
    Q_INVOKABLE void clearChatHistory();
    // What the settings' history section says about the local copy (empty when all is well);
    // sigHistoryNotice follows each change.
    Q_INVOKABLE QString historyNotice() const;

    static bool pointInRect(int px, int py, int xPos, int yPos, int xwidth, int yHeight);

signals:
    void sigAddServerAddress();
    void sigAccountChagnge();
    void sigAccountPassword(QString account, QString password);
    // takePasswordStoreNotice has a text to give.
    void sigPasswordStoreNotice();
    void sigDockClick();
    void sigChatHistoryCleared(bool ok);
    void sigHistoryNotice(const QString &notice);
    void sigUpdateDataInfor(QString newVersionInfors, QString downloadFilePaths,
                            QString downloadFileNames, QString versionDescriptions,
                            QString httpContentss);

public slots:
    void onVersionInforFinished(QNetworkReply *reply);

private:
    VersionRequest *m_versionRequest;
};
