#include "searchhistorymodel.h"

#include "configfile.h"
#include "items/modelrow.h"

#include <QRegularExpression>

SearchHistoryModel::SearchHistoryModel(QObject *parent) : QAbstractListModel(parent) {}

int SearchHistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_terms.size();
}

QVariant SearchHistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        role != TermRole)
        return {};
    return m_terms.at(index.row());
}

QHash<int, QByteArray> SearchHistoryModel::roleNames() const
{
    return {{TermRole, "term"}};
}

void SearchHistoryModel::setSearchTypes(const QString &types)
{
    if (m_searchTypes == types)
        return;
    m_searchTypes = types;
    emit searchTypesChanged();
    reload();
}

QStringList SearchHistoryModel::ownTerms() const
{
    ConfigFile *store = ConfigFile::instance();
    QStringList own;
    const QStringList all = store->getHistoricalRecord();
    for (const QString &term : all) {
        if (!term.isEmpty() && store->getHistoricalGroup(term) == m_searchTypes)
            own.append(term);
    }
    return own;
}

void SearchHistoryModel::add(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    const QString term = QString(text).replace(separators, QStringLiteral(" ")).trimmed();
    if (term.isEmpty())
        return;
    ConfigFile::instance()->setHistoricalRecord(term, m_searchTypes);
    reload();
    const int at = m_terms.indexOf(term);
    if (at > 0) {
        beginMoveRows({}, at, at, {}, 0);
        m_terms.move(at, 0);
        endMoveRows();
    }
}

void SearchHistoryModel::reload()
{
    const QStringList stored = ownTerms();
    // Rows the store no longer has go, bottom up so the row numbers stay right.
    const int before = m_terms.size();
    for (int i = m_terms.size() - 1; i >= 0; --i) {
        if (stored.contains(m_terms.at(i)))
            continue;
        beginRemoveRows({}, i, i);
        m_terms.removeAt(i);
        endRemoveRows();
    }
    QStringList fresh;
    for (const QString &term : stored) {
        if (!m_terms.contains(term) && !fresh.contains(term))
            fresh.append(term);
    }
    if (!fresh.isEmpty()) {
        beginInsertRows({}, m_terms.size(), m_terms.size() + fresh.size() - 1);
        m_terms.append(fresh);
        endInsertRows();
    }
    if (m_terms.size() != before)
        emit countChanged();
}

void SearchHistoryModel::remove(const QString &term)
{
    ConfigFile::instance()->removeHistoricalRecord(term);
    reload();
}

void SearchHistoryModel::clear()
{
    ConfigFile *store = ConfigFile::instance();
    const QStringList own = ownTerms();
    for (const QString &term : own)
        store->removeHistoricalRecord(term);
    reload();
}

QString SearchHistoryModel::termAt(int index) const
{
    return index >= 0 && index < m_terms.size() ? m_terms.at(index) : QString();
}

QVariantMap SearchHistoryModel::get(int index) const
{
    return modelRowMap(*this, index);
}
