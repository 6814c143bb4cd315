// What the messaging service does with each client event on "/client": sending, read marks,
// history, unread counts and groups. The same code serves both socket.io generations.
'use strict';

const { select } = require('./messaging-history');
const {
  PRIVATE_CODE,
  GROUP_CODE,
  PRIVATE_TYPE,
  GROUP_TYPE,
  readMs,
  readText,
  readIds,
  isObject,
  privateMessage,
  groupMessage,
  groupInfo,
  groupObject,
} = require('./messaging-wire');

// Acknowledgement texts. A refusal is a string on purpose: the client reads the "send message"
// acknowledgement as an object, so a string can never be taken for a delivered message.
const SUCCESS = 'success';
const NOT_SIGNED_IN = '用户未登录';
const NO_RECIPIENT = '接收人不存在';
const BAD_MESSAGE = '消息内容无效';
const NOT_A_MEMBER = '不是群组成员';
const NO_GROUP = '群组不存在';
const ONLY_CREATOR = '只有群主可以解散群组';

// Ids the server makes itself (a hook or a colleague writing without one): milliseconds, but
// never the same twice, as a client's own never are; two in one millisecond would otherwise
// count as one message resent.
let lastServerId = 0;
function serverMsgId(now) {
  lastServerId = Math.max(now, lastServerId + 1);
  return lastServerId;
}

function messageFields(payload, now) {
  const msgId = readMs(payload.msg_id);
  const id = msgId === null ? serverMsgId(now) : msgId;
  const sendTime = readMs(payload.send_time);
  const extras = {};
  for (const key of ['size', 'percent', 'fileIndex']) if (payload[key] !== undefined) extras[key] = payload[key];
  return {
    msg: payload.msg,
    msg_id: id,
    msg_type: readText(payload.msg_type) || 'text',
    send_time: sendTime === null ? id : sendTime,
    time: now,
    file_type: readText(payload.file_type),
    // Passed on as the sender gave it: an attachment id, or a descriptor object.
    download: typeof payload.download === 'string' || isObject(payload.download) ? payload.download : '',
    extras,
  };
}

// The refusal of a message from `user` that the send-refusal hook asked for, or null.
function takeRefusal(service, user) {
  const refusal = service.sendRefusal;
  if (!refusal || (refusal.from !== null && refusal.from !== user)) return null;
  if (refusal.count > 0 && --refusal.left <= 0) service.sendRefusal = null;
  return refusal;
}

// Stores a private message from `from` and delivers it; `senderSocket` does not get it back.
function sendPrivate(service, from, payload, senderSocket = null) {
  const to = readText(payload.to).trim();
  if (!service.knownUser(to)) return { error: NO_RECIPIENT };
  if (typeof payload.msg !== 'string') return { error: BAD_MESSAGE };
  const record = { creator: from, to, read: false, ...messageFields(payload, Date.now()) };
  service.history.addPrivate(record);
  service.emitToUser(to, 'private message', privateMessage(record, to), senderSocket);
  if (service.colleagues) service.colleagues.onPrivate(record);
  return { record };
}

// Stores a group message and hands it to every member, the sender included: the sender's
// copy is the echo that tells the client the server has it.
function sendGroup(service, from, payload) {
  const group = service.groups.get(payload.group_id);
  if (!group) return { error: NO_GROUP };
  if (!group.members.includes(from)) return { error: NOT_A_MEMBER };
  if (typeof payload.msg !== 'string') return { error: BAD_MESSAGE };
  const record = { group_id: group.id, creator: from, ...messageFields(payload, Date.now()) };
  service.history.addGroup(record);
  const event = groupMessage(record, group, service.userName(from));
  for (const member of group.members) service.emitToUser(member, 'group message', event);
  if (service.colleagues) service.colleagues.onGroup(group, record);
  return { record, group };
}

// `reader` has read `partner`'s messages up to `mark`. The partner learns the id of the newest
// message the reader really has: client read marks run ahead of the clock, and forwarding one
// unchanged would also mark messages still on their way as read.
function readPrivate(service, reader, partner, mark) {
  const last = service.history.markPrivateRead(reader, partner, mark);
  if (last !== null) service.emitToUser(partner, 'update record', { from: partner, to: reader, msg_id: last });
  return last;
}

function readGroup(service, reader, groupId, mark) {
  const group = service.groups.get(groupId);
  if (!group || !group.members.includes(reader)) return null;
  const last = service.history.markGroupRead(group.id, reader, mark);
  if (last === null) return null;
  const event = { group_id: group.id, id: reader, msg_id: last };
  for (const member of group.members) if (member !== reader) service.emitToUser(member, 'group updateRecordInfo', event);
  return last;
}

// Acknowledgement arguments of "get record" / "get imageRecord": the messages, and for a group
// also member id -> id of the last message that member has read (the requester left out).
function historyReply(service, user, request, fileTypeDefault) {
  if (!user || !isObject(request)) return [[]];
  const query = fileTypeDefault && !request.fileType ? { ...request, fileType: fileTypeDefault } : request;
  if (request.type === GROUP_TYPE) {
    const group = service.groups.get(request.id);
    if (!group || !group.members.includes(user)) return [[]];
    const list = select(service.history.groupMessages(group.id), query).map((r) => groupMessage(r, group, service.userName(r.creator)));
    return [list, service.history.groupReadMap(group.id, group.members, user)];
  }
  if (request.type === PRIVATE_TYPE) {
    // A client reads its own conversations only.
    if (request.from !== undefined && readText(request.from) !== user) return [[]];
    const partner = readText(request.to);
    return [select(service.history.privateBetween(user, partner), query).map((r) => privateMessage(r, user))];
  }
  return [[]];
}

// "get lastrecord": "<id>**_**<2|3>" -> "<content>,<send time ms>"; the time follows the last ",".
function lastRecords(service, user, request) {
  const reply = {};
  if (!user || !Array.isArray(request)) return reply;
  for (const entry of request) {
    if (!isObject(entry)) continue;
    const id = readText(entry.id);
    let last;
    let code;
    if (entry.type === GROUP_TYPE) {
      const group = service.groups.get(id);
      if (!group || !group.members.includes(user)) continue;
      const list = service.history.groupMessages(id);
      last = list[list.length - 1];
      code = GROUP_CODE;
    } else if (entry.type === PRIVATE_TYPE) {
      const list = service.history.privateBetween(user, id);
      last = list[list.length - 1];
      code = PRIVATE_CODE;
    }
    if (last) reply[`${id}**_**${code}`] = `${last.msg},${last.send_time}`;
  }
  return reply;
}

// Unread counts, sent after a login and on request.
function sendCounts(service, socket, user) {
  socket.emit('send recordLength', service.history.privateUnread(user));
  for (const group of service.groups.ofUser(user)) {
    socket.emit('send groupRecordLength', { id: group.id, length: service.history.groupUnread(group.id, user), info: groupInfo(group) });
  }
}

function createGroup(service, user, request) {
  const { group, error } = service.groups.create(user, request);
  if (error) return error;
  for (const member of group.members) service.emitToUser(member, 'add group', groupObject(group));
  return SUCCESS;
}

function editGroup(service, user, request) {
  const result = service.groups.edit(user, request, readIds(request.addArray), readIds(request.deleteArray));
  if (result.error) return result.error;
  const { group, added, removed } = result;
  service.history.startGroupReadsAtEnd(group.id, added);
  const change = { id: group.id, name: group.name, members: group.members.join(','), addArray: added, deleteArray: removed };
  for (const member of group.members) {
    if (added.includes(member)) service.emitToUser(member, 'edit groupAdd', groupObject(group));
    else service.emitToUser(member, 'edit groupCB', change);
  }
  for (const member of removed) service.emitToUser(member, 'edit groupDelete', { id: group.id, name: group.name });
  service.emitToUser(user, 'edit group', { ...groupObject(group), addArray: added, deleteArray: removed });
  if (group.members.length === 0) service.history.dropGroup(group.id);
  return SUCCESS;
}

function deleteGroup(service, user, request) {
  const group = service.groups.get(request.id);
  if (!group) return NO_GROUP;
  if (group.creator !== user) return ONLY_CREATOR;
  service.groups.remove(group.id);
  service.history.dropGroup(group.id);
  for (const member of group.members) service.emitToUser(member, 'edit groupDelete', { id: group.id, name: group.name });
  return SUCCESS;
}

// True when the event-silence hook asked for `event` by `user` to go unanswered.
function silenced(service, event, user) {
  const silence = service.eventSilence;
  return Boolean(silence && silence.events.includes(event) && (silence.user === null || silence.user === user));
}

// event -> (ctx, args, ack). ctx: { service, socket, user } where user is null for a connection
// whose query names no known user.
const HANDLERS = {
  login(ctx, args, ack) {
    const { mode, value } = ctx.service.loginAck;
    if (mode === 'silent') return;
    if (mode === 'empty') return ack();
    if (mode === 'value') return ack(value);
    if (!ctx.user) return ack('fail');
    ack(SUCCESS);
    // A client that sent its leave notice and logs in again is back.
    if (ctx.service.setPresent(ctx.socket, true)) ctx.service.broadcastOnline();
    // A silenced count request also leaves out the counts a login brings.
    if (!silenced(ctx.service, 'outline recordLength', ctx.user)) sendCounts(ctx.service, ctx.socket, ctx.user);
  },

  'heartbeat test'(ctx, args, ack) {
    ack(SUCCESS);
  },

  'send message'(ctx, [payload], ack) {
    if (!ctx.user) return ack(NOT_SIGNED_IN);
    if (!isObject(payload)) return ack(BAD_MESSAGE);
    const refusal = takeRefusal(ctx.service, ctx.user);
    if (refusal !== null && refusal.hold) {
      ctx.service.heldRefusals.push(() => ack(refusal.reason));
      return undefined;
    }
    if (refusal !== null) return ack(refusal.reason);
    const service = ctx.service;
    // The test hooks can refuse a message, or take it without answering (a lost ack).
    const answer = service.takeSendAnswer();
    if (answer.mode === 'refuse') return ack(answer.reason);
    const reply = answer.mode === 'silent' ? () => {} : ack;
    // A copy of a message the service already has (its sender missed the answer): answered
    // again, delivered to nobody.
    const msgId = readMs(payload.msg_id);
    const earlier = msgId === null ? null : service.accepted.ackOf(ctx.user, msgId);
    if (earlier) return reply(earlier);
    let result;
    if (payload.type === GROUP_TYPE || (payload.group_id !== undefined && payload.to === undefined)) {
      const { record, error } = sendGroup(service, ctx.user, payload);
      result = error || { group_id: record.group_id, msg_id: record.msg_id };
    } else {
      const { record, error } = sendPrivate(service, ctx.user, payload, ctx.socket);
      result = error || { to: record.to, msg_id: record.msg_id };
    }
    if (typeof result !== 'string' && msgId !== null) service.accepted.add(ctx.user, msgId, result, payload.msg);
    reply(result);
  },

  'update havRead'(ctx, [payload], ack) {
    if (!ctx.user) return ack(NOT_SIGNED_IN);
    if (!isObject(payload)) return ack(BAD_MESSAGE);
    const mark = readMs(payload.msg_id);
    if (mark === null) return ack(BAD_MESSAGE);
    // The reader is always this connection's user, whatever the payload claims.
    if (payload.type === GROUP_TYPE) readGroup(ctx.service, ctx.user, readText(payload.group_id), mark);
    else readPrivate(ctx.service, ctx.user, readText(payload.from), mark);
    ack(SUCCESS);
  },

  'get record'(ctx, [request], ack) {
    if (silenced(ctx.service, 'get record', ctx.user)) return;
    ack(...historyReply(ctx.service, ctx.user, request, null));
  },

  'get imageRecord'(ctx, [request], ack) {
    if (silenced(ctx.service, 'get imageRecord', ctx.user)) return;
    ack(...historyReply(ctx.service, ctx.user, request, 'img'));
  },

  'get lastrecord'(ctx, [request], ack) {
    if (silenced(ctx.service, 'get lastrecord', ctx.user)) return;
    ack(lastRecords(ctx.service, ctx.user, request));
  },

  'outline recordLength'(ctx, args, ack) {
    if (!ctx.user) return ack(NOT_SIGNED_IN);
    if (silenced(ctx.service, 'outline recordLength', ctx.user)) return;
    ack(SUCCESS);
    sendCounts(ctx.service, ctx.socket, ctx.user);
  },

  'send myGroup'(ctx, args, ack) {
    ack(ctx.user ? ctx.service.groups.ofUser(ctx.user).map(groupObject) : []);
  },

  'create group'(ctx, [request], ack) {
    if (!ctx.user) return ack(NOT_SIGNED_IN);
    if (silenced(ctx.service, 'create group', ctx.user)) return;
    ack(isObject(request) ? createGroup(ctx.service, ctx.user, request) : NO_GROUP);
  },

  'edit group'(ctx, [request], ack) {
    if (!ctx.user) return ack(NOT_SIGNED_IN);
    if (silenced(ctx.service, 'edit group', ctx.user)) return;
    ack(isObject(request) ? editGroup(ctx.service, ctx.user, request) : NO_GROUP);
  },

  'delete group'(ctx, [request], ack) {
    if (!ctx.user) return ack(NOT_SIGNED_IN);
    if (silenced(ctx.service, 'delete group', ctx.user)) return;
    ack(isObject(request) ? deleteGroup(ctx.service, ctx.user, request) : NO_GROUP);
  },
};

// Binds every handler to a new "/client" socket. A handler never throws into socket.io: a
// fault is logged and the connection goes on.
function bindHandlers(ctx) {
  for (const [event, handler] of Object.entries(HANDLERS)) {
    ctx.socket.on(event, (...args) => {
      const ack = typeof args[args.length - 1] === 'function' ? args.pop() : () => {};
      try {
        handler(ctx, args, ack);
      } catch (err) {
        console.error(`messaging: "${event}" failed:`, err);
      }
    });
  }
}

module.exports = { bindHandlers, sendPrivate, sendGroup, readPrivate, readGroup, HANDLERS };
