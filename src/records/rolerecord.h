#pragma once

#include <QLatin1String>
#include <QString>

// One role of a user in the organisation: its id (decimal text) and its name.
class RoleRecord
{
public:
    QString role_id = QString(QLatin1String(""));
    QString role_name = QString(QLatin1String(""));
};
