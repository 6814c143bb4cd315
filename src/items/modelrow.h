#pragma once

#include <QAbstractItemModel>
#include <QVariantMap>

// One row of a list model as a map from role name to value, as a document reads model.get(i);
// empty for a row out of range.
inline QVariantMap modelRowMap(const QAbstractItemModel &model, int row)
{
    QVariantMap fields;
    if (row < 0 || row >= model.rowCount())
        return fields;
    const QModelIndex at = model.index(row, 0);
    const QHash<int, QByteArray> names = model.roleNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        fields.insert(QString::fromLatin1(it.value()), model.data(at, it.key()));
    return fields;
}
