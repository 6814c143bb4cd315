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

// A department reply parsed away from the owning thread: the envelope's verdict and the batch,
// whose records are freed with it unless the loader took them.
struct ParsedMembers
{
    ParsedMembers() = default;
    ParsedMembers(const ParsedMembers &) = delete;
    ParsedMembers &operator=(const ParsedMembers &) = delete;
    ~ParsedMembers() { batch.release(); }

    // Reads `body` (with the peers' JSON limits); `needsMembers`: only a `data` object with a
    // `dept` or `user` array counts as an answer (the root's rule), else any `data` object.
    static std::shared_ptr<ParsedMembers> parse(const QByteArray &body, bool needsMembers);

    bool usable = false;
    int bodySize = 0;
    MemberBatch batch;
};
