#pragma once

#include <QMap>
#include <QString>

// One menu of the server's module tree; the reply's integers are kept as decimal text.
struct MenuEntry
{
    QString menu_id;
    QString menu_name;
    QString menu_name_zm;
    QString has_children;
    // By integer menu_id, from the entry's `item` array.
    QMap<int, MenuEntry> children;
};
