// Payload shapes of the messaging service and the small value readers its handlers share.
// The client reads these members by name and kind, so every shape is built here, in one place.
'use strict';

// Conversation type codes as the client uses them in "get lastrecord" keys.
const PRIVATE_CODE = '2';
const GROUP_CODE = '3';
const PRIVATE_TYPE = 'user';
const GROUP_TYPE = 'personal_group';

// "yyyy-MM-dd hh:mm:ss" in the server's local time, the format of group times on the wire.
function formatTime(ms) {
  const d = new Date(ms);
  const p = (n) => String(n).padStart(2, '0');
  return `${d.getFullYear()}-${p(d.getMonth() + 1)}-${p(d.getDate())} ${p(d.getHours())}:${p(d.getMinutes())}:${p(d.getSeconds())}`;
}

function isTimeText(value) {
  return typeof value === 'string' && /^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}$/.test(value);
}

// A message id or a time in ms: a non-negative integer, also accepted as decimal text.
// Anything else is null, so a bad value never becomes NaN inside the history.
function readMs(value) {
  if (typeof value === 'number') return Number.isSafeInteger(value) && value >= 0 ? value : null;
  if (typeof value === 'string' && /^\d{1,16}$/.test(value)) {
    const n = Number(value);
    return Number.isSafeInteger(n) ? n : null;
  }
  return null;
}

function readText(value) {
  if (typeof value === 'string') return value;
  if (typeof value === 'number' && Number.isFinite(value)) return String(value);
  return '';
}

function isObject(value) {
  return value !== null && typeof value === 'object' && !Array.isArray(value);
}

// Member lists travel as "a,b,c" or as arrays; both give unique, non-empty ids in order.
function readIds(value) {
  const parts = Array.isArray(value) ? value : typeof value === 'string' ? value.split(',') : [];
  const ids = [];
  for (const part of parts) {
    const id = readText(part).trim();
    if (id !== '' && !ids.includes(id)) ids.push(id);
  }
  return ids;
}

// Members that only file messages carry; passed through so the receiver can show the file.
const FILE_EXTRAS = ['size', 'percent', 'fileIndex'];

function copyExtras(record, target) {
  for (const key of FILE_EXTRAS) if (record.extras && record.extras[key] !== undefined) target[key] = record.extras[key];
  return target;
}

// A private message as the recipient's "private message" event and as a history element.
// chat_object names the conversation from the viewer's side (the history reply keys on it).
function privateMessage(record, viewer) {
  return copyExtras(record, {
    creator: record.creator,
    to: record.to,
    chat_object: viewer === record.creator ? record.to : record.creator,
    download: record.download,
    file_type: record.file_type,
    haveread: record.read ? '1' : '0',
    msg: record.msg,
    msg_id: record.msg_id,
    msg_type: record.msg_type,
    send_time: record.send_time,
    time: record.time,
    type: PRIVATE_TYPE,
  });
}

// The group's description inside every group message.
function groupInfo(group) {
  return { id: group.id, creator: group.creator, name: group.name, group_member: group.members.join(',') };
}

// A group message as the "group message" event and as a history element.
function groupMessage(record, group, userName) {
  return copyExtras(record, {
    creator: record.creator,
    file_type: record.file_type,
    download: record.download,
    group_id: record.group_id,
    msg: record.msg,
    msg_id: record.msg_id,
    msg_type: record.msg_type,
    send_time: record.send_time,
    time: record.time,
    type: GROUP_TYPE,
    userTime: formatTime(record.send_time),
    fromDetail: { user_id: record.creator, user_name: userName },
    info: groupInfo(group),
  });
}

// A group as "send myGroup", "add group" and "edit groupAdd" carry it: members joined with ",".
function groupObject(group) {
  return {
    id: group.id,
    creator: group.creator,
    name: group.name,
    create_time: group.create_time,
    update_time: group.update_time,
    members: group.members.join(','),
  };
}

module.exports = {
  PRIVATE_CODE,
  GROUP_CODE,
  PRIVATE_TYPE,
  GROUP_TYPE,
  formatTime,
  isTimeText,
  readMs,
  readText,
  readIds,
  isObject,
  privateMessage,
  groupMessage,
  groupInfo,
  groupObject,
};
