#pragma once

#include "concurrency/lockedvalue.h"
#include "concurrency/stepclock.h"
#include "directory/memberbatch.h"
#include "records/memberrecord.h"

#include <QList>
#include <QMultiMap>
#include <QNetworkReply>
#include <QSet>
#include <QString>
#include <QThread>
#include <QVector>

#include <atomic>
#include <memory>

class HandlOrganizationThread;
class QNetworkAccessManager;

// The organisation held in memory for the process: the departments and users below the root
// department (each department's members fetched level by level), an index from role name to
// user, and the company's name, address and zip code.
//
// Starting the thread after login loads the whole organisation from the root department; once
// every reply is in and read, sigHandlCompletion() is emitted exactly once per load. Requests and
// replies belong to the thread that owns the instance (the GUI thread; the thread body only
// hands the request over to it), while every reply is parsed on the thread pool, so a large
// organisation holds no frame: the owning thread only files each parsed batch, a few records
// per department. The stores sit behind one lock, so the accessors may be called from any
// thread.
class HandlOrganization : public QThread
{
    Q_OBJECT
public:
    static HandlOrganization *gestance();

    // The department the whole organisation hangs below.
    static QString rootDepartmentId() { return QStringLiteral("0"); }

    // Marks the load as running before the thread starts, so a second login that checks
    // getRunStatus() right afterwards does not start another one.
    void start(Priority priority = InheritPriority);

    // True from the start of a load until its completion is announced.
    bool getRunStatus() const { return m_runStatus.load(); }

    QList<MemberRecord *> memberList() const;
    // Tests only: puts `members` in place of the loaded top level and hands back what was there.
    QList<MemberRecord *> swapMembersForTests(QList<MemberRecord *> members);
    QMultiMap<QString, MemberRecord *> roleIndex() const;
    QString companyName() const;
    QString address() const;
    QString zipCode() const;
    // Taken on this thread by whoever walks the records of the completed load on another
    // thread, and dropped there when done. The records a load replaces are freed only once such
    // walks have ended (waiting for them at most walkWaitMs, else kept until the next load).
    static std::shared_ptr<void> walkRecords();
    static constexpr int walkWaitMs = 2000;
    // Signing out: a load under way is abandoned (its replies dropped) and the directory goes.
    // The records are freed after the next load, like those a load replaces.
    void forgetAccount();

signals:
    // A load has begun (getRunStatus() is true from here to sigHandlCompletion()).
    void sigLoadStarted();
    void sigHandlCompletion();
    void sigHandlCompletionInfor();
    void sigHandlOrganization(const QString &ids);

public slots:
    // Loads the members of department `ids` and, level by level, everything below it; returns
    // at once, every reply arrives asynchronously (each gives up after
    // RequestWait::directory().limitMs()). A load requested while another runs is ignored.
    void onHandlOrganization(const QString &ids);

protected:
    void run() override;

private:
    friend class HandlOrganizationThread;

    HandlOrganization();

    // Appends the records of `batch` (taken from it) to `children` (the top-level list when
    // null), indexes the users by role and requests the members of every department that has
    // any. With `replace`, the top-level list and the role index are emptied first (in the same
    // locked step).
    void appendMembers(MemberBatch &batch, QList<MemberRecord *> *children, bool replace = false);
    void requestDepartment(const QString &deptId, QList<MemberRecord *> *children);
    // Parses a department's reply body on the thread pool and files it, back on the owning
    // thread, into the department `request` was made for.
    void fileDepartment(HandlOrganizationThread *request, const QByteArray &body,
                        QNetworkReply::NetworkError error);
    void onRootReply(QNetworkReply *reply, const QString &ids);
    void onRootBatch(ParsedMembers &parsed);
    void requestCompany();
    void onCompanyReply(QNetworkReply *reply);
    // Called once for every asynchronous reply of the current load, once it has been filed.
    void settleRequest(HandlOrganizationThread *request);
    // Completes the load once the root and every request after it have been filed; on the next
    // turn of the event loop, so the reply that settled last has finished its own work.
    void finishWhenSettled();
    void finishLoad();

    // The department requests go round these managers. Qt's HTTP client sends a request's
    // header and body as two segments without disabling Nagle's algorithm, so a kept-alive
    // connection waits out the server's delayed acknowledgement (about 40 ms) on every POST;
    // more connections in parallel (six per manager) hide most of that wait. One manager per
    // department would mean hundreds of network threads.
    static constexpr int managerCount = 8;
    QNetworkAccessManager *nextManager();
    QVector<QNetworkAccessManager *> m_managers;
    int m_nextManager = 0;

    // Department records' `children` lists are filled under the same lock.
    struct Organization
    {
        QList<MemberRecord *> memberList;
        QMultiMap<QString, MemberRecord *> roleIndex;
        // The records a reload replaced; freed once the new load is complete and announced,
        // when no list handed out before can still be in use.
        QList<MemberRecord *> replaced;
        QString companyName;
        QString address;
        QString zipCode;
    };
    LockedValue<Organization> m_organization;

    std::atomic<bool> m_runStatus{false};
    // State of the current load; touched only in the owning thread.
    bool m_loading = false;
    bool m_rootDone = false;
    int m_outstanding = 0;
    // Counts loads, so a parse that finishes after its load was abandoned is dropped.
    int m_generation = 0;
    // The load's pieces of work on the owning thread, for the completion's log line.
    StepClock m_steps;
    QSet<QString> m_requestedIds;
};
