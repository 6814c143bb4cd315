#include "browserdownloads.h"

#include "items/modelrow.h"
#include "platform/localpath.h"

#include <QFileInfo>
#include <QMetaProperty>
#include <QRegularExpression>
#include <algorithm>

BrowserDownloads::BrowserDownloads(QObject *parent) : QAbstractListModel(parent)
{
    connect(this, &QAbstractItemModel::rowsInserted, this, &BrowserDownloads::countChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &BrowserDownloads::countChanged);
}

int BrowserDownloads::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant BrowserDownloads::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case DownloadIdRole:
        return row.download ? row.download->property("id") : QVariant();
    case FileNameRole:
        return row.path.section(QLatin1Char('/'), -1);
    case FilePathRole:
        return row.path;
    case ReceivedRole:
        return row.received;
    case TotalRole:
        return row.total;
    case DownloadStateRole:
        return row.state;
    case DoneRole:
        return row.state == Completed;
    case RunningRole:
        return underWay(row.state);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> BrowserDownloads::roleNames() const
{
    return {{DownloadIdRole, "downloadId"},
            {FileNameRole, "fileName"},
            {FilePathRole, "filePath"},
            {ReceivedRole, "received"},
            {TotalRole, "total"},
            {DownloadStateRole, "downloadState"},
            {DoneRole, "done"},
            {RunningRole, "running"}};
}

int BrowserDownloads::running() const
{
    return m_running;
}

void BrowserDownloads::add(QObject *download, const QString &folder)
{
    if (!download)
        return;
    QString suggested =
        download->property("path").toString().replace(QLatin1Char('\\'), QLatin1Char('/'));
    suggested = suggested.section(QLatin1Char('/'), -1);
    if (suggested.isEmpty())
        suggested = QStringLiteral("download");
    download->setProperty("path", freePath(folder, suggested));
    QMetaObject::invokeMethod(download, "accept");

    Row row;
    row.download = download;
    read(row);
    beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size());
    m_rows.append(row);
    endInsertRows();
    watch(download);
    refresh();
}

QString BrowserDownloads::freePath(const QString &folder, const QString &name) const
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString suffix = dot > 0 ? name.mid(dot) : QString();
    QString base = folder;
    base.remove(QRegularExpression(QStringLiteral("[/\\\\]+$")));
    const auto taken = [this](const QString &path) {
        const QString local = LocalPath::fromUserPath(path);
        if (!local.isEmpty() && QFileInfo::exists(local))
            return true;
        return std::any_of(m_rows.begin(), m_rows.end(),
                           [&path](const Row &row) { return row.path == path; });
    };
    QString candidate = base + QLatin1Char('/') + name;
    for (int n = 1; taken(candidate) && n < 1000; ++n)
        candidate = base + QLatin1Char('/') + stem + QStringLiteral(" (%1)").arg(n) + suffix;
    return candidate;
}

void BrowserDownloads::clearFinished()
{
    for (int last = m_rows.size() - 1; last >= 0; --last) {
        if (underWay(m_rows.at(last).state))
            continue;
        int first = last;
        while (first > 0 && !underWay(m_rows.at(first - 1).state))
            --first;
        beginRemoveRows(QModelIndex(), first, last);
        for (int i = first; i <= last; ++i) {
            if (m_rows.at(i).download)
                m_rows.at(i).download->disconnect(this);
        }
        m_rows.remove(first, last - first + 1);
        endRemoveRows();
        last = first;
    }
}

void BrowserDownloads::cancel(int row)
{
    if (row >= 0 && row < m_rows.size() && m_rows.at(row).download)
        QMetaObject::invokeMethod(m_rows.at(row).download, "cancel");
}

QString BrowserDownloads::filePath(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).path : QString();
}

QVariantMap BrowserDownloads::get(int row) const
{
    return modelRowMap(*this, row);
}

QString BrowserDownloads::sizeText(qint64 bytes)
{
    if (bytes < 0)
        return QStringLiteral("?");
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(bytes / 1024.0 / 1024.0, 0, 'f', 1);
}

void BrowserDownloads::refresh()
{
    for (int i = 0; i < m_rows.size(); ++i) {
        Row &row = m_rows[i];
        if (sender() && row.download != sender())
            continue;
        const Row before = row;
        read(row);
        if (row.path != before.path || row.received != before.received ||
            row.total != before.total || row.state != before.state)
            emit dataChanged(index(i), index(i));
    }
    const int running = int(std::count_if(m_rows.begin(), m_rows.end(),
                                          [](const Row &row) { return row.state == InProgress; }));
    if (running != m_running) {
        m_running = running;
        emit runningChanged();
    }
}

void BrowserDownloads::read(Row &row)
{
    if (!row.download)
        return;
    row.path = row.download->property("path").toString();
    row.received = row.download->property("receivedBytes").toLongLong();
    row.total = row.download->property("totalBytes").toLongLong();
    row.state = row.download->property("state").toInt();
}

void BrowserDownloads::watch(QObject *download)
{
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("refresh()"));
    const QMetaObject *meta = download->metaObject();
    for (const char *name : {"path", "receivedBytes", "totalBytes", "state"}) {
        const QMetaProperty property = meta->property(meta->indexOfProperty(name));
        if (property.hasNotifySignal())
            connect(download, property.notifySignal(), this, slot, Qt::UniqueConnection);
    }
}
