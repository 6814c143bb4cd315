#pragma once

#include <QAbstractListModel>
#include <QPointer>
#include <QVariantMap>
#include <QVector>

// The downloads of one browser window, newest last. The rows hold the engine's download objects
// by pointer and read them through their properties and change signals only (id, path,
// receivedBytes, totalBytes, state; accept() and cancel()), so nothing here links or loads the
// web engine before a page opens. A download outlives its window: the connections go with the
// model.
class BrowserDownloads : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int running READ running NOTIFY runningChanged)
public:
    // The engine's download states, by their values.
    enum State { Requested, InProgress, Completed, Cancelled, Interrupted };
    Q_ENUM(State)
    enum Role {
        DownloadIdRole = Qt::UserRole + 1,
        FileNameRole,
        FilePathRole,
        ReceivedRole,
        TotalRole,
        DownloadStateRole,
        DoneRole,
        RunningRole,
    };

    explicit BrowserDownloads(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_rows.size(); }
    // The downloads under way (not those still asked for).
    int running() const;

    // Saves the download under a free name in `folder`, accepts it and lists it.
    Q_INVOKABLE void add(QObject *download, const QString &folder);
    // "a.txt", then "a (1).txt", "a (2).txt", … until neither the folder nor a listed download
    // (whose file appears only when it finishes) has the name.
    Q_INVOKABLE QString freePath(const QString &folder, const QString &name) const;
    // Takes the finished, cancelled and failed downloads off; those asked for or running stay.
    Q_INVOKABLE void clearFinished();
    Q_INVOKABLE void cancel(int row);
    // A row's file, "" out of range.
    Q_INVOKABLE QString filePath(int row) const;
    // A row's fields by role name; an empty map out of range.
    Q_INVOKABLE QVariantMap get(int row) const;
    Q_INVOKABLE static QString sizeText(qint64 bytes);

signals:
    void countChanged();
    void runningChanged();

private slots:
    void refresh();

private:
    struct Row
    {
        QPointer<QObject> download;
        QString path;
        qint64 received = 0;
        qint64 total = -1;
        int state = Requested;
    };
    static void read(Row &row);
    static bool underWay(int state) { return state == Requested || state == InProgress; }
    void watch(QObject *download);

    QVector<Row> m_rows;
    int m_running = 0;
};
