#pragma once

#include "records/rolerecord.h"

#include <QLatin1String>
#include <QList>
#include <QString>

#include <atomic>

// One entry of the organisation: a department when dept_id is non-empty, otherwise a user.
// The directory and the login parameters' user cache share it. Every text starts empty (not
// null); the fields the client does not fill yet are kept for fuller user records.
class MemberRecord
{
public:
    QString dept_id = QString(QLatin1String(""));
    QString dept_name = QString(QLatin1String(""));
    QString parent_id = QString(QLatin1String(""));
    QString has_children = QString(QLatin1String(""));
    QString user_id = QString(QLatin1String(""));
    QString user_name = QString(QLatin1String(""));
    QString email = QString(QLatin1String(""));
    QString phone_number = QString(QLatin1String(""));
    QString user_account = QString(QLatin1String(""));
    QString user_name_py = QString(QLatin1String(""));
    QString user_name_zm = QString(QLatin1String(""));
    QString gender = QString(QLatin1String(""));
    QString position = QString(QLatin1String(""));
    QString avatar = QString(QLatin1String(""));
    QString telephone = QString(QLatin1String(""));
    QString birthday = QString(QLatin1String(""));
    QString address = QString(QLatin1String(""));
    QString job_number = QString(QLatin1String(""));
    QString entry_date = QString(QLatin1String(""));
    QString sort = QString(QLatin1String(""));
    QString status = QString(QLatin1String(""));
    QString remark = QString(QLatin1String(""));
    QString company_id = QString(QLatin1String(""));

    // A user's roles.
    QList<RoleRecord *> roles;
    // A department's sub-departments, then its users.
    QList<MemberRecord *> children;

    bool isDepartment() const { return !dept_id.isEmpty(); }

    // How many records exist, so a test can tell that a reload gives the old ones back.
    static int liveCount() { return Live::count().load(); }

private:
    struct Live
    {
        Live() { ++count(); }
        Live(const Live &) { ++count(); }
        Live &operator=(const Live &) = default;
        ~Live() { --count(); }
        static std::atomic<int> &count()
        {
            static std::atomic<int> live{0};
            return live;
        }
    };
    Live m_live;
};
