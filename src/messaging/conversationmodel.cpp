#include "conversationmodel.h"

#include "conversationtypes.h"
#include "inboundjson.h"
#include "items/modelrow.h"
#include "sio/packetcodec.h"
#include "socketstate.h"
#include "json/fastjsonkey.h"
#include "json/jsonfield.h"
#include "json/peerjson.h"

#include <QDate>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace {

const QString textKind = QStringLiteral("text");
const QString fileKind = QStringLiteral("file");
const QString systemKind = QStringLiteral("system");
const QString statusRead = QStringLiteral("3");
const QString statusFailed = QStringLiteral("4");
const QString statusPending = QStringLiteral("1");

// A mention of a server item, sent as a JSON object in the body, is a system card too.
bool isSystem(const QString &msgType, const QString &msg)
{
    if (msgType == QLatin1String("system") || msgType == QLatin1String("metion"))
        return true;
    return msg.startsWith(QLatin1Char('{')) && msg.contains(QLatin1String("\"params\""));
}

const QString &kindName(ConversationModel::Kind kind)
{
    switch (kind) {
    case ConversationModel::Kind::File:
        return fileKind;
    case ConversationModel::Kind::System:
        return systemKind;
    case ConversationModel::Kind::Text:
        break;
    }
    return textKind;
}

// The icons of the kinds of files a message can carry, by suffix.
const QHash<QString, QString> &fileIcons()
{
    static const QHash<QString, QString> icons = [] {
        QHash<QString, QString> map;
        const auto add = [&map](const char *icon, std::initializer_list<const char *> suffixes) {
            for (const char *suffix : suffixes)
                map.insert(QLatin1String(suffix), QLatin1String(icon));
        };
        add("docx", {"doc", "docx", "wps", "rtf"});
        add("img", {"png", "jpg", "jpeg", "gif", "bmp", "webp", "svg"});
        add("ppt", {"ppt", "pptx"});
        add("txt", {"txt", "log", "md"});
        add("excel", {"csv", "xls", "xlsx"});
        add("zip", {"zip", "7z", "gz", "tar"});
        add("rar", {"rar"});
        add("pdf", {"pdf"});
        add("html", {"htm", "html"});
        add("mp3", {"mp3", "wav"});
        add("mp4", {"mp4", "avi", "mov", "mkv"});
        return map;
    }();
    return icons;
}

// Ids are ms timestamps; a row shows the time when the one below it is older by the gap.
bool showsTime(const ConversationModel::Row &row, const ConversationModel::Row *older)
{
    return !older ||
           qint64(row.idNum) - qint64(older->idNum) > qint64(ConversationModel::timeGapMs);
}

} // namespace

ConversationModel::ConversationModel(QObject *parent) : QAbstractListModel(parent) {}

int ConversationModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant ConversationModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &r = m_rows.at(index.row());
    switch (role) {
    case MsgIdRole:
        return r.msgId;
    case IdNumRole:
        return double(r.idNum);
    case CreatorRole:
        return r.creator;
    case IsSelfRole:
        return r.isSelf;
    case MsgTypeRole:
        return r.msgType;
    case KindRole:
        return kindName(r.kind);
    case SendTimeRole:
        return r.sendTime;
    case SendStatusRole:
        return r.sendStatus;
    case MsgRole:
        return r.msg;
    case UserNameRole:
        return r.userName;
    case DownloadRole:
        return r.download;
    case FileTypeRole:
        return r.fileType;
    case FailedRole:
        return r.failed;
    case FailTextRole:
        return r.failText;
    case ProgressRole:
        return r.progress;
    case LocalPathRole:
        return r.localPath;
    case ShowTimeRole:
        return r.showTime;
    case TransientRole:
        return r.transient;
    case LocalRole:
        return r.local;
    case AttachmentRole:
        return attachmentOf(r.download);
    case FileIconRole: {
        // A file without a kind of its own goes by its name.
        const int dot = r.msg.lastIndexOf(QLatin1Char('.'));
        return fileIconOf(!r.fileType.isEmpty() ? r.fileType
                          : dot > 0             ? r.msg.mid(dot + 1)
                                                : QString());
    }
    default:
        return QVariant();
    }
}

bool ConversationModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    Row &r = m_rows[index.row()];
    // Only what the view learns about a row; what the message says comes from its text.
    switch (role) {
    case ProgressRole:
        r.progress = value.toDouble();
        break;
    case LocalPathRole:
        r.localPath = value.toString();
        break;
    case FailTextRole:
        r.failText = value.toString();
        break;
    case FailedRole:
        r.failed = value.toBool();
        break;
    case SendStatusRole:
        r.sendStatus = shared(value.toString());
        break;
    default:
        return false;
    }
    changed(index.row(), {role});
    return true;
}

QHash<int, QByteArray> ConversationModel::roleNames() const
{
    return {
        {MsgIdRole, "msgId"},         {IdNumRole, "idNum"},           {CreatorRole, "creator"},
        {IsSelfRole, "isSelf"},       {MsgTypeRole, "msgType"},       {KindRole, "kind"},
        {SendTimeRole, "sendTime"},   {SendStatusRole, "sendStatus"}, {MsgRole, "msg"},
        {UserNameRole, "userName"},   {DownloadRole, "download"},     {FileTypeRole, "fileType"},
        {FailedRole, "failed"},       {FailTextRole, "failText"},     {ProgressRole, "progress"},
        {LocalPathRole, "localPath"}, {ShowTimeRole, "showTime"},     {TransientRole, "transient"},
        {LocalRole, "local"},         {AttachmentRole, "attachment"}, {FileIconRole, "fileIcon"}};
}

void ConversationModel::setSelfId(const QString &selfId)
{
    if (selfId == m_selfId)
        return;
    m_selfId = selfId;
    emit selfIdChanged();
}

void ConversationModel::setConversation(const QString &conversation)
{
    if (conversation == m_conversation)
        return;
    m_conversation = conversation;
    emit conversationChanged();
}

void ConversationModel::setTypes(const QString &types)
{
    if (types == m_types)
        return;
    m_types = types;
    emit typesChanged();
}

void ConversationModel::setHistory(bool history)
{
    if (history == m_history)
        return;
    m_history = history;
    emit historyChanged();
}

SocketState *ConversationModel::store() const
{
    return m_store;
}

void ConversationModel::setStore(SocketState *store)
{
    if (store == m_store)
        return;
    m_store = store;
    emit storeChanged();
}

bool ConversationModel::read(const QString &text, Row *row) const
{
    // The engine's texts are a few hundred characters: the parser works on the stack.
    alignas(16) char values[4096];
    alignas(16) char stack[1024];
    FastJson::Pool valuePool(values, sizeof values);
    FastJson::Pool stackPool(stack, sizeof stack);
    FastJson::Document doc(&valuePool, 1024, &stackPool);
    sio::PacketCodec::JsonBuffer buffer;
    if (!sio::PacketCodec::parseJson(text, &doc, &buffer) || !doc.IsObject())
        return false;
    qulonglong id = 0;
    const MessageRecord record = InboundJson::privateRecord(doc, &id);
    if (id == 0)
        return false;
    // What only the documents' texts carry: the delivery state, a group sender's name and the
    // local history's mark.
    QString status;
    QString userName;
    bool local = false;
    for (const auto &member : doc.GetObject()) {
        if (FastJson::isKey(member.name, "sendStatus", 10))
            status = JsonField::id(member.value);
        else if (FastJson::isKey(member.name, "user_name", 9))
            userName = JsonField::text(member.value);
        else if (FastJson::isKey(member.name, "local", 5))
            local = JsonField::id(member.value) == QLatin1String("1");
    }
    row->msgId = record.msgId;
    row->idNum = id;
    row->creator = shared(record.creator);
    row->isSelf = !record.creator.isEmpty() && record.creator == m_selfId;
    row->msgType = shared(record.msgType.isEmpty() ? textKind : record.msgType);
    row->kind = row->msgType == fileKind             ? Kind::File
                : isSystem(row->msgType, record.msg) ? Kind::System
                                                     : Kind::Text;
    row->sendTime = record.sendTime;
    row->sendStatus = shared(status);
    row->msg = record.msg;
    row->userName = shared(userName);
    row->download = record.download;
    row->fileType = shared(record.fileType);
    row->local = local;
    const auto failure = m_failures.constFind(row->msgId);
    row->failed = failure != m_failures.constEnd() || status == statusFailed;
    row->failText = failure != m_failures.constEnd() ? *failure : QString();
    if (row->kind == Kind::File)
        row->localPath = localPath(row->msgId);
    return true;
}

QString ConversationModel::shared(const QString &word) const
{
    if (word.isEmpty() || word.size() > 32)
        return word;
    const auto known = m_words.constFind(word);
    if (known != m_words.constEnd())
        return *known;
    m_words.insert(word);
    return word;
}

QString ConversationModel::localPath(const QString &msgId) const
{
    return m_savedFileOf ? m_savedFileOf(m_conversation, msgId) : QString();
}

QVariant ConversationModel::rowOf(const QString &text) const
{
    Row r;
    // Null in the document, as a text that is no message always was.
    if (!read(text, &r))
        return QVariant::fromValue(nullptr);
    QVariantMap fields;
    const QHash<int, QByteArray> names = roleNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        QVariant value;
        switch (it.key()) {
        case MsgIdRole:
            value = r.msgId;
            break;
        case IdNumRole:
            value = double(r.idNum);
            break;
        case CreatorRole:
            value = r.creator;
            break;
        case IsSelfRole:
            value = r.isSelf;
            break;
        case KindRole:
            value = kindName(r.kind);
            break;
        case SendTimeRole:
            value = r.sendTime;
            break;
        case SendStatusRole:
            value = r.sendStatus;
            break;
        case MsgRole:
            value = r.msg;
            break;
        default:
            continue;
        }
        fields.insert(QString::fromLatin1(it.value()), value);
    }
    return fields;
}

QVariantMap ConversationModel::recordOf(const QString &text)
{
    QJsonObject object;
    PeerJson::parseObject(text.toUtf8(), &object);
    return object.toVariantMap();
}

QVariantMap ConversationModel::systemCard(const QString &msg)
{
    QJsonValue value;
    if (!PeerJson::parse(msg.toUtf8(), &value))
        return {{QStringLiteral("parsed"), false}};
    const QJsonObject card = value.toObject();
    QString content = JsonField::text(card.value(QLatin1String("content")));
    if (content.isEmpty())
        content = JsonField::text(card.value(QLatin1String("title")));
    if (content.isEmpty())
        content = JsonField::text(card.value(QLatin1String("text")));
    return {{QStringLiteral("parsed"), true},
            {QStringLiteral("name"), JsonField::text(card.value(QLatin1String("name")))},
            {QStringLiteral("content"), content}};
}

QString ConversationModel::attachmentOf(const QString &download)
{
    if (!download.startsWith(QLatin1Char('{')))
        return download;
    QJsonObject descriptor;
    if (!PeerJson::parseObject(download.toUtf8(), &descriptor))
        return QString();
    for (const char *key : {"id", "attachment_id", "path"}) {
        const QString id = JsonField::id(descriptor.value(QLatin1String(key)));
        if (!id.isEmpty())
            return id;
    }
    return QString();
}

QString ConversationModel::fileIconOf(const QString &suffix)
{
    QString key = suffix.toLower();
    if (key.startsWith(QLatin1Char('.')))
        key.remove(0, 1);
    return QStringLiteral("qrc:/images/%1.png")
        .arg(fileIcons().value(key, QStringLiteral("others")));
}

QString ConversationModel::timeLabelOf(const QString &sendTime)
{
    if (sendTime.size() < 16)
        return sendTime;
    const QDate today = QDate::currentDate();
    if (sendTime.leftRef(10) == today.toString(QStringLiteral("yyyy-MM-dd")))
        return sendTime.mid(11, 5);
    if (sendTime.leftRef(4) == QString::number(today.year()))
        return sendTime.mid(5, 11);
    return sendTime.left(16);
}

QString ConversationModel::linkOf(const QString &displayText, bool pictures)
{
    static const QString href = QStringLiteral("href=\"");
    for (int at = displayText.indexOf(href); at >= 0; at = displayText.indexOf(href, at)) {
        at += href.size();
        const int end = displayText.indexOf(QLatin1Char('"'), at);
        if (end < 0)
            break;
        QString link = displayText.mid(at, end - at);
        link.replace(QLatin1String("&amp;"), QLatin1String("&"));
        if (link.contains(QLatin1String("api/attachment/index/")) == pictures)
            return link;
        at = end;
    }
    return QString();
}

QString ConversationModel::fitPictures(const QString &markup, int limit)
{
    static const QRegularExpression tag(QStringLiteral("<img[^>]*>"));
    static const QRegularExpression width(QStringLiteral("width=\"(\\d+)\""));
    static const QRegularExpression height(QStringLiteral("height=\"(\\d+)\""));
    QString out;
    int done = 0;
    for (auto it = tag.globalMatch(markup); it.hasNext();) {
        const QRegularExpressionMatch found = it.next();
        QString picture = found.captured();
        const QRegularExpressionMatch w = width.match(picture);
        const int wide = w.hasMatch() ? w.captured(1).toInt() : 0;
        if (wide > limit) {
            const QRegularExpressionMatch h = height.match(picture);
            // A narrowed picture keeps its proportions, so the bubble is not left taller. The
            // later attribute is replaced first, so the other keeps its place.
            const auto setHeight = [&]() {
                if (h.hasMatch())
                    picture.replace(h.capturedStart(), h.capturedLength(),
                                    QStringLiteral("height=\"%1\"")
                                        .arg(qRound(h.captured(1).toDouble() * limit / wide)));
            };
            const bool heightLater = h.hasMatch() && h.capturedStart() > w.capturedStart();
            if (heightLater)
                setHeight();
            picture.replace(w.capturedStart(), w.capturedLength(),
                            QStringLiteral("width=\"%1\"").arg(limit));
            if (!heightLater)
                setHeight();
        }
        out += markup.midRef(done, found.capturedStart() - done);
        out += picture;
        done = found.capturedEnd();
    }
    return done == 0 ? markup : out + markup.midRef(done);
}

QString ConversationModel::capWidths(const QString &markup, double widest)
{
    static const QRegularExpression width(QStringLiteral("width=\"(\\d+)\""));
    const QString cap = QStringLiteral("width=\"%1\"")
                            .arg(QString::number(widest, 'g', QLocale::FloatingPointShortest));
    QString out;
    int done = 0;
    for (auto it = width.globalMatch(markup); it.hasNext();) {
        const QRegularExpressionMatch found = it.next();
        if (found.captured(1).toDouble() <= widest)
            continue;
        out += markup.midRef(done, found.capturedStart() - done);
        out += cap;
        done = found.capturedEnd();
    }
    return done == 0 ? markup : out + markup.midRef(done);
}

QString ConversationModel::dayShifted(const QString &day, int days)
{
    const QDate from =
        day.isEmpty() ? QDate::currentDate() : QDate::fromString(day, QStringLiteral("yyyy-MM-dd"));
    return from.addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
}

int ConversationModel::statusRank(const QString &status)
{
    if (status.size() != 1)
        return 0;
    const QChar c = status.at(0);
    return c >= QLatin1Char('1') && c <= QLatin1Char('3') ? c.unicode() - '0' : 0;
}

QStringList ConversationModel::storedTexts() const
{
    if (m_conversation.isEmpty() || !m_store)
        return {};
    const bool group = m_types == ConversationTypes::groupType;
    if (m_history)
        return group ? m_store->getHistoryGroupIdFromInfors(m_conversation)
                     : m_store->getHistoryPrivateIdFromInfors(m_conversation);
    return group ? m_store->getGroupIdFromInfors(m_conversation)
                 : m_store->getPrivateIdFromInfors(m_conversation);
}

void ConversationModel::setRecords(const QStringList &texts)
{
    QVector<Row> rows;
    rows.reserve(texts.size());
    QHash<QString, int> index;
    index.reserve(texts.size());
    QVector<quint64> seen;
    seen.reserve(texts.size());
    for (int i = texts.size() - 1; i >= 0; --i) {
        seen.append(fingerprint(texts.at(i)));
        Row r;
        if (!read(texts.at(i), &r) || m_resent.contains(r.msgId) || index.contains(r.msgId))
            continue;
        r.serial = rows.size();
        index.insert(r.msgId, r.serial);
        rows.append(std::move(r));
    }
    for (int j = 0; j < rows.size(); ++j)
        rows[j].showTime = showsTime(rows.at(j), j + 1 < rows.size() ? &rows.at(j + 1) : nullptr);
    const int before = m_rows.size();
    beginResetModel();
    m_rows = std::move(rows);
    m_index = std::move(index);
    m_position.resize(m_rows.size());
    for (int j = 0; j < m_rows.size(); ++j)
        m_position[j] = j;
    m_transient.clear();
    std::sort(seen.begin(), seen.end());
    m_seen = std::move(seen);
    endResetModel();
    if (before != m_rows.size())
        emit countChanged();
}

void ConversationModel::load()
{
    setRecords(storedTexts());
}

void ConversationModel::mergeStored()
{
    merge(storedTexts());
}

void ConversationModel::merge(const QStringList &texts)
{
    if (m_rows.isEmpty()) {
        setRecords(texts);
        return;
    }
    // Newest first, so an older page goes to the far end row by row.
    const int known = m_seen.size();
    for (int i = texts.size() - 1; i >= 0; --i) {
        const quint64 print = fingerprint(texts.at(i));
        if (std::binary_search(m_seen.cbegin(), m_seen.cbegin() + known, print))
            continue;
        m_seen.append(print);
        Row r;
        if (read(texts.at(i), &r) && !m_resent.contains(r.msgId) && !adoptUpload(r))
            placeRow(std::move(r), false);
    }
    std::sort(m_seen.begin() + known, m_seen.end());
    std::inplace_merge(m_seen.begin(), m_seen.begin() + known, m_seen.end());
}

int ConversationModel::receive(const QString &text)
{
    Row r;
    if (!read(text, &r) || m_resent.contains(r.msgId))
        return -1;
    // An own file message shown by the engine is a registration, not a stored message.
    r.transient = r.kind == Kind::File && r.isSelf;
    if (adoptUpload(r))
        return -1;
    return placeRow(std::move(r), true);
}

int ConversationModel::placeRow(Row row, bool full)
{
    const int at = indexOf(row.msgId);
    if (at >= 0 && !full) {
        if (statusRank(row.sendStatus) > statusRank(m_rows.at(at).sendStatus)) {
            m_rows[at].sendStatus = row.sendStatus;
            changed(at, {SendStatusRole});
        }
        return -1;
    }
    if (at >= 0) {
        const Row &old = m_rows.at(at);
        // Keep what only the view knows about a row.
        row.progress = old.progress;
        if (old.failed) {
            row.failed = true;
            row.failText = old.failText;
        }
        if (row.localPath.isEmpty())
            row.localPath = old.localPath;
        if (statusRank(old.sendStatus) > statusRank(row.sendStatus))
            row.sendStatus = old.sendStatus;
        row.showTime = old.showTime;
        row.serial = old.serial;
        if (row.transient)
            m_transient.insert(row.msgId);
        else
            m_transient.remove(row.msgId);
        m_rows[at] = std::move(row);
        emit dataChanged(index(at), index(at));
        return at;
    }
    // Newest first: usually on top (new) or at the far end (an older page).
    const qulonglong id = row.idNum;
    int pos = 0;
    if (!m_rows.isEmpty() && id < m_rows.first().idNum) {
        pos = int(std::partition_point(m_rows.cbegin(), m_rows.cend(),
                                       [id](const Row &r) { return r.idNum > id; }) -
                  m_rows.cbegin());
    }
    insertRow(pos, std::move(row));
    refreshTimeMark(pos);
    refreshTimeMark(pos - 1);
    return pos;
}

// The engine shows a file being sent under a registration id that is never stored, and gives
// the finished upload new ids: the row that showed the progress takes each new id instead of a
// second row appearing.
bool ConversationModel::adoptUpload(const Row &row)
{
    if (row.kind != Kind::File || !row.isSelf || m_transient.isEmpty() ||
        m_index.contains(row.msgId))
        return false;
    // The uploads in the order of their rows, the newest first.
    QVector<int> rows;
    for (const QString &id : qAsConst(m_transient))
        rows.append(indexOf(id));
    std::sort(rows.begin(), rows.end());
    for (const int at : qAsConst(rows)) {
        if (at < 0)
            continue;
        Row &r = m_rows[at];
        if (r.msg != row.msg || !(r.progress >= 1 || !row.download.isEmpty()))
            continue;
        m_transient.remove(r.msgId);
        m_index.remove(r.msgId);
        r.msgId = row.msgId;
        m_index.insert(r.msgId, r.serial);
        r.msg = row.msg;
        r.userName = row.userName;
        r.download = row.download;
        r.fileType = row.fileType;
        r.sendStatus = row.sendStatus;
        if (!row.download.isEmpty())
            r.progress = -1;
        r.transient = row.transient;
        if (r.transient)
            m_transient.insert(r.msgId);
        emit dataChanged(index(at), index(at));
        return true;
    }
    return false;
}

bool ConversationModel::setStatus(const QString &msgId, const QString &status)
{
    if (status == statusRead) {
        // Read up to that message: every own message before it too.
        const qulonglong upTo = msgId.toULongLong();
        for (int i = 0; i < m_rows.size(); ++i) {
            Row &r = m_rows[i];
            if (r.isSelf && r.idNum <= upTo && r.sendStatus != statusRead) {
                r.sendStatus = statusRead;
                changed(i, {SendStatusRole});
            }
        }
        return true;
    }
    const int at = indexOf(msgId);
    if (at < 0)
        return false;
    Row &r = m_rows[at];
    if (status == statusFailed) {
        if (!r.failed) {
            r.failed = true;
            changed(at, {FailedRole});
        }
    } else if (statusRank(status) > statusRank(r.sendStatus)) {
        r.sendStatus = shared(status);
        changed(at, {SendStatusRole});
    }
    return true;
}

void ConversationModel::markFailed(const QString &msgId, const QString &errors)
{
    m_failures.insert(msgId, errors);
    const int at = indexOf(msgId);
    if (at < 0)
        return;
    m_rows[at].failed = true;
    m_rows[at].failText = errors;
    changed(at, {FailedRole, FailTextRole});
}

void ConversationModel::retried(const QString &msgId)
{
    m_failures.remove(msgId);
    // The row is pending again: a stored state it passed over may raise it later.
    m_seen.clear();
    const int at = indexOf(msgId);
    if (at < 0)
        return;
    Row &r = m_rows[at];
    r.failed = false;
    r.failText.clear();
    r.sendStatus = statusPending;
    changed(at, {FailedRole, FailTextRole, SendStatusRole});
}

void ConversationModel::resend(const QString &msgId)
{
    m_resent.insert(msgId);
    const int at = indexOf(msgId);
    if (at >= 0)
        removeRow(at);
}

void ConversationModel::setTransferFailed(const QString &msgId, const QString &failText)
{
    const int at = indexOf(msgId);
    if (at < 0)
        return;
    Row &r = m_rows[at];
    r.progress = -1;
    r.failed = true;
    r.failText = failText;
    changed(at, {ProgressRole, FailedRole, FailTextRole});
}

void ConversationModel::setUploadProgress(const QString &msgId, const QString &localPath,
                                          double progress)
{
    const int at = indexOf(msgId);
    if (at < 0)
        return;
    Row &r = m_rows[at];
    QVector<int> roles{ProgressRole};
    if (r.localPath.isEmpty()) {
        r.localPath = localPath;
        roles << LocalPathRole;
    }
    r.progress = progress;
    changed(at, roles);
}

int ConversationModel::indexOf(const QString &msgId) const
{
    const int serial = m_index.value(msgId, -1);
    return serial < 0 ? -1 : m_position.at(serial);
}

QVariantMap ConversationModel::get(int index) const
{
    return modelRowMap(*this, index);
}

bool ConversationModel::setProperty(int index, const QString &name, const QVariant &value)
{
    if (index < 0 || index >= m_rows.size())
        return false;
    const int role = roleNames().key(name.toLatin1(), -1);
    return role >= 0 && setData(this->index(index), value, role);
}

void ConversationModel::clear()
{
    const bool had = !m_rows.isEmpty();
    beginResetModel();
    m_rows.clear();
    m_index.clear();
    m_position.clear();
    m_transient.clear();
    m_resent.clear();
    m_failures.clear();
    m_seen.clear();
    endResetModel();
    if (had)
        emit countChanged();
}

void ConversationModel::insertRow(int at, Row row)
{
    row.serial = m_position.size();
    beginInsertRows(QModelIndex(), at, at);
    m_index.insert(row.msgId, row.serial);
    if (row.transient)
        m_transient.insert(row.msgId);
    m_position.append(at);
    m_rows.insert(at, std::move(row));
    reindex(at + 1, m_rows.size() - 1);
    endInsertRows();
    emit countChanged();
}

void ConversationModel::removeRow(int at)
{
    beginRemoveRows(QModelIndex(), at, at);
    const Row gone = m_rows.takeAt(at);
    m_index.remove(gone.msgId);
    m_transient.remove(gone.msgId);
    m_position[gone.serial] = -1;
    reindex(at, m_rows.size() - 1);
    endRemoveRows();
    emit countChanged();
}

void ConversationModel::reindex(int first, int last)
{
    for (int i = first; i <= last; ++i)
        m_position[m_rows.at(i).serial] = i;
}

void ConversationModel::refreshTimeMark(int index)
{
    if (index < 0 || index >= m_rows.size())
        return;
    const bool show =
        showsTime(m_rows.at(index), index + 1 < m_rows.size() ? &m_rows.at(index + 1) : nullptr);
    if (show == m_rows.at(index).showTime)
        return;
    m_rows[index].showTime = show;
    changed(index, {ShowTimeRole});
}

void ConversationModel::changed(int index, const QVector<int> &roles)
{
    const QModelIndex at = createIndex(index, 0);
    emit dataChanged(at, at, roles);
}

quint64 ConversationModel::fingerprint(const QString &text)
{
    // Two independent 32-bit hashes: texts of one conversation never meet by chance.
    return quint64(qHash(text, 0x9e3779b9U)) << 32 | qHash(text, 0x85ebca6bU);
}
