#pragma once

#include <QNetworkRequest>
#include <QString>
#include <QThread>

// One lookup of TreeModelitem run on its own thread with its own network manager, so the caller
// can wait for it without running an event loop: mode 1 fetches the members of a department,
// mode 2 the users holding a role, mode 3 the company, mode 4 the roles. The request is built by
// the caller (in its thread, where the token and server address live) and handed in.
class TreeModelitemThread : public QThread
{
    Q_OBJECT
public:
    enum Mode { DepartmentMembers = 1, RoleUsers = 2, Company = 3, Roles = 4 };

    TreeModelitemThread(const QString &argument, int mode, QObject *parent = nullptr);

    // The request the thread sends; made by the caller before start().
    static QNetworkRequest requestFor(const QString &argument, int mode);
    // Null for the modes that GET.
    static QByteArray bodyFor(const QString &argument, int mode);

    // The `data` text of a successful reply (the company and the roles: status exactly 1), else
    // empty; read after the thread has finished.
    QString result() const { return m_result; }

protected:
    void run() override;

private:
    QString m_result;
    QString m_argument;
    int m_mode;
    QNetworkRequest m_request;
    QByteArray m_body;
};
