// Message history of the messaging service: every private and group message since the server
// started, with who has read what. Lists stay ordered by message id, the order clients show.
'use strict';

const DEFAULT_LIMIT = 10;

// Inserts by id; the same id from the same sender replaces the earlier copy, so a message
// resent after a reconnect is kept once. Ids from different senders may collide (ids are
// millisecond clocks), so those are kept side by side.
function insertOrdered(list, record) {
  let i = list.length;
  while (i > 0 && list[i - 1].msg_id > record.msg_id) i--;
  for (let j = i - 1; j >= 0 && list[j].msg_id === record.msg_id; j--) {
    if (list[j].creator === record.creator) {
      record.read = record.read || list[j].read;
      list[j] = record;
      return;
    }
  }
  list.splice(i, 0, record);
}

// Largest id not above `mark` in an id-ordered list, or null.
function lastIdUpTo(list, mark, accept = () => true) {
  for (let i = list.length - 1; i >= 0; i--) {
    if (list[i].msg_id <= mark && accept(list[i])) return list[i].msg_id;
  }
  return null;
}

const ENTITIES = { '&nbsp;': ' ', '&lt;': '<', '&gt;': '>', '&quot;': '"', '&#39;': "'", '&amp;': '&' };

// Bodies are rich text: search what the reader sees, not tag names or attributes.
function visibleText(msg) {
  return msg
    .replace(/<[^>]*>/g, '')
    .replace(/&(nbsp|lt|gt|quot|#39|amp);/g, (m) => ENTITIES[m])
    .toLowerCase();
}

function parseRange(text) {
  const m = /^\s*(\d{1,16})\s*,\s*(\d{1,16})\s*$/.exec(text);
  if (!m) return null;
  return { from: Number(m[1]), to: Number(m[2]) };
}

// The record filter of a search request: undefined for no search, null for a search that
// cannot match anything (an unknown kind or a malformed keyword).
function searchFilter(kind, keyword) {
  if (kind === undefined || kind === null || kind === '') return undefined;
  const text = typeof keyword === 'string' ? keyword : '';
  const inRange = (range) => (r) => r.send_time >= range.from && r.send_time <= range.to;
  const contains = (needle) => (r) => visibleText(r.msg).includes(needle.toLowerCase());
  if (kind === 'time') {
    const range = parseRange(text);
    return range && inRange(range);
  }
  if (kind === 'string') return contains(text);
  if (kind === 'both') {
    const cut = text.indexOf('_~');
    if (cut < 0) return null;
    const range = parseRange(text.slice(0, cut));
    if (!range) return null;
    const byTime = inRange(range);
    const byText = contains(text.slice(cut + 2));
    return (r) => byTime(r) && byText(r);
  }
  return null;
}

// "limit" when given; otherwise a plain request gets the newest few and a search gets all.
function readLimit(request, searching) {
  if (request.limit === undefined || request.limit === null || request.limit === '') return searching ? null : DEFAULT_LIMIT;
  const n = typeof request.limit === 'number' ? request.limit : Number(request.limit);
  return Number.isSafeInteger(n) && n >= 0 ? n : DEFAULT_LIMIT;
}

// Applies a history request ({limit, getRecordType, keyword, fileType}) to an id-ordered list.
function select(records, request) {
  let list = records;
  const fileType = typeof request.fileType === 'string' && request.fileType !== '' ? request.fileType : null;
  if (fileType) list = list.filter((r) => r.msg_type === fileType);
  const filter = searchFilter(request.getRecordType, request.keyword);
  if (filter === null) return [];
  if (filter) list = list.filter(filter);
  const limit = readLimit(request, Boolean(filter || fileType));
  return limit === null ? list.slice() : list.slice(Math.max(0, list.length - limit));
}

class History {
  constructor() {
    this.clear();
  }

  clear() {
    this.privateLists = new Map(); // pair key -> records
    this.partners = new Map(); // user id -> Set of user ids they share a conversation with
    this.groupLists = new Map(); // group id -> records
    this.groupReads = new Map(); // group id -> Map(user id -> id of the last message read)
  }

  static pairKey(a, b) {
    return a < b ? `${a}\n${b}` : `${b}\n${a}`;
  }

  privateBetween(a, b) {
    return this.privateLists.get(History.pairKey(a, b)) || [];
  }

  addPrivate(record) {
    const key = History.pairKey(record.creator, record.to);
    let list = this.privateLists.get(key);
    if (!list) {
      list = [];
      this.privateLists.set(key, list);
      for (const [user, other] of [
        [record.creator, record.to],
        [record.to, record.creator],
      ]) {
        if (!this.partners.has(user)) this.partners.set(user, new Set());
        this.partners.get(user).add(other);
      }
    }
    insertOrdered(list, record);
  }

  // `reader` has read what `partner` sent up to `mark`. Answers the id of the newest such
  // message (the mark the partner should see), or null when there is none.
  markPrivateRead(reader, partner, mark) {
    const list = this.privateBetween(reader, partner);
    const sentToReader = (r) => r.creator === partner && r.to === reader;
    const last = lastIdUpTo(list, mark, sentToReader);
    if (last === null) return null;
    for (const r of list) {
      if (r.msg_id > last) break;
      if (sentToReader(r)) r.read = true;
    }
    return last;
  }

  // Unread counts of `user`'s private conversations: partner id -> messages not yet read.
  privateUnread(user) {
    const counts = {};
    for (const partner of this.partners.get(user) || []) {
      let n = 0;
      for (const r of this.privateBetween(user, partner)) if (r.to === user && !r.read) n++;
      counts[partner] = n;
    }
    return counts;
  }

  groupMessages(groupId) {
    return this.groupLists.get(groupId) || [];
  }

  addGroup(record) {
    let list = this.groupLists.get(record.group_id);
    if (!list) {
      list = [];
      this.groupLists.set(record.group_id, list);
    }
    insertOrdered(list, record);
  }

  lastGroupRead(groupId, user) {
    const reads = this.groupReads.get(groupId);
    return reads && reads.has(user) ? reads.get(user) : -1;
  }

  // Same contract as markPrivateRead, for a group; a read mark never moves back.
  markGroupRead(groupId, reader, mark) {
    const last = lastIdUpTo(this.groupMessages(groupId), mark);
    if (last === null) return null;
    if (!this.groupReads.has(groupId)) this.groupReads.set(groupId, new Map());
    const reads = this.groupReads.get(groupId);
    reads.set(reader, Math.max(last, reads.has(reader) ? reads.get(reader) : -1));
    return last;
  }

  // A member who joins later has not missed what was said before: start them at the end.
  startGroupReadsAtEnd(groupId, users) {
    const list = this.groupMessages(groupId);
    if (list.length === 0) return;
    if (!this.groupReads.has(groupId)) this.groupReads.set(groupId, new Map());
    for (const user of users) this.groupReads.get(groupId).set(user, list[list.length - 1].msg_id);
  }

  groupUnread(groupId, user) {
    const lastRead = this.lastGroupRead(groupId, user);
    let n = 0;
    for (const r of this.groupMessages(groupId)) if (r.creator !== user && r.msg_id > lastRead) n++;
    return n;
  }

  // member id -> id of the last message they read (decimal text), for members other than `except`.
  groupReadMap(groupId, members, except) {
    const map = {};
    for (const member of members) {
      const last = this.lastGroupRead(groupId, member);
      if (member !== except && last >= 0) map[member] = String(last);
    }
    return map;
  }

  dropGroup(groupId) {
    this.groupLists.delete(groupId);
    this.groupReads.delete(groupId);
  }
}

module.exports = { History, select, visibleText, DEFAULT_LIMIT };
