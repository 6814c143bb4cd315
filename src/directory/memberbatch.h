#pragma once

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

class MemberRecord;

// The records of one department reply (`dept` and `user` arrays of its `data`), read without
// touching any store, so the loader can add them in one locked step.
struct MemberBatch
{
    // Departments first, then users, in reply order. The batch does not own them: whoever takes
    // them over deletes them (release() for a batch nobody took).
    QList<MemberRecord *> records;
    // The departments whose own members are still to be requested.
    QList<MemberRecord *> withMembers;
    // Every user under each role name it holds, one entry per role.
    QList<QPair<QString, MemberRecord *>> roleEntries;

    static MemberBatch read(const QJsonObject &data);
    void release();
};
