// Test hooks of the messaging service (POST /__hooks/<name>, only with --test-hooks).
'use strict';

const { registerHook, HookError, HOOKS } = require('./hooks');
const { formatTime, groupObject } = require('./messaging-wire');
const { HANDLERS, sendPrivate, sendGroup } = require('./messaging-handlers');

const CLIENT_NAMESPACE = '/client';

// Names the socket.io libraries keep for themselves: emitting one fails or stays local.
const RESERVED_EVENTS = ['connect', 'connect_error', 'disconnect', 'disconnecting', 'newListener', 'removeListener', 'error'];
const LOGIN_MODES = ['normal', 'value', 'empty', 'silent'];
const MAX_BURST = 1000000;
const SILENCEABLE = ['create group', 'edit group', 'delete group', 'get record', 'get imageRecord', 'get lastrecord', 'outline recordLength'];

function service(app) {
  return app.messaging;
}

// `to`: a user id or a list of them (their online connections); absent: every "/client" connection.
function targets(messaging, to) {
  if (to === undefined || to === null || to === '') return messaging.allSockets();
  const ids = Array.isArray(to) ? to.map(String) : [String(to)];
  return ids.flatMap((id) => messaging.socketsOf(id));
}

function eventName(value, fallback) {
  const event = value === undefined ? fallback : value;
  if (typeof event !== 'string' || event === '') throw new HookError('event must be a non-empty string');
  if (RESERVED_EVENTS.includes(event)) throw new HookError(`"${event}" is reserved by socket.io`);
  return event;
}

function positiveInt(value, fallback, max, name) {
  const n = value === undefined ? fallback : Number(value);
  if (!Number.isSafeInteger(n) || n < 1 || n > max) throw new HookError(`${name} must be an integer from 1 to ${max}`);
  return n;
}

const MESSAGING_HOOKS = {
  // Any event with any arguments, or a raw Socket.IO packet such as `2/client,["x",1]`.
  push(body, app) {
    const sockets = targets(service(app), body.to);
    if (body.raw !== undefined) {
      const raw = String(body.raw);
      for (const socket of sockets) socket.conn.write(raw);
      return { ok: true, sockets: sockets.length };
    }
    const event = eventName(body.event);
    const args = Array.isArray(body.args) ? body.args : body.payload !== undefined ? [body.payload] : [];
    for (const socket of sockets) socket.emit(event, ...args);
    return { ok: true, sockets: sockets.length };
  },

  // `count` "private message" events with distinct, increasing ids, for throughput runs. The
  // packets are built and encoded before the clock starts and written straight to each
  // connection's Engine.IO socket (the same bytes socket.emit would produce, in order with
  // anything else it sends); the answer comes once all are handed to the connections.
  'push-burst'(body, app) {
    const messaging = service(app);
    if (body.to === undefined || Array.isArray(body.to)) throw new HookError('to must name one user');
    const to = String(body.to);
    const count = positiveInt(body.count, 1000, MAX_BURST, 'count');
    const event = eventName(body.event, 'private message');
    const from = body.from !== undefined ? String(body.from) : [...messaging.store.users.keys()].find((id) => id !== to) || to;
    const text = body.msg !== undefined ? String(body.msg) : '压力测试消息';
    const base = Date.now();
    const payloads = new Array(count);
    for (let i = 0; i < count; i++) {
      const id = base + i;
      payloads[i] = { creator: from, download: '', file_type: '', haveread: '0', msg: `${text} ${i + 1}`, msg_id: id, msg_type: 'text', send_time: id, time: id, type: 'user' };
    }
    const prefix = `2${CLIENT_NAMESPACE},`;
    const packets = payloads.map((payload) => prefix + JSON.stringify([event, payload]));
    const sockets = messaging.socketsOf(to);
    const started = process.hrtime.bigint();
    for (const socket of sockets) {
      const conn = socket.conn;
      for (let i = 0; i < count; i++) conn.write(packets[i]);
    }
    const elapsedMs = Number(process.hrtime.bigint() - started) / 1e6;
    return { ok: true, count, sockets: sockets.length, events: count * sockets.length, firstMsgId: base, lastMsgId: base + count - 1, elapsedMs };
  },

  // One event of about `bytes` bytes (a long text), built here: larger than a hook's request
  // may be, for tests of the client's input limit.
  'push-large'(body, app) {
    const sockets = targets(service(app), body.to);
    const bytes = positiveInt(body.bytes, 1024, 256 * 1024 * 1024, 'bytes');
    const packet = `2${CLIENT_NAMESPACE},${JSON.stringify([eventName(body.event, 'private message'), 'x'.repeat(bytes)])}`;
    for (const socket of sockets) socket.conn.write(packet);
    return { ok: true, sockets: sockets.length, bytes: packet.length };
  },

  // A "tarnex.system-message-channel" push: a JSON text, as the server's reminder service sends it.
  'push-system'(body, app) {
    const messaging = service(app);
    const sockets = targets(messaging, body.to);
    let payload;
    if (body.raw !== undefined) payload = String(body.raw);
    else {
      const newsId = body.news_id === undefined ? 1 : body.news_id;
      const recipients = body.recipients !== undefined ? body.recipients : body.to !== undefined ? [].concat(body.to).map(String) : messaging.onlineUsers();
      payload = JSON.stringify({
        recipients,
        content: body.content !== undefined ? body.content : '您有一条新的系统提醒',
        params: body.params !== undefined ? body.params : JSON.stringify({ id: newsId }),
        send_time: body.send_time !== undefined ? body.send_time : formatTime(Date.now()),
        sms_menu: body.sms_menu !== undefined ? body.sms_menu : 'notice',
        sms_type: body.sms_type !== undefined ? body.sms_type : 'system',
        news_id: newsId,
      });
    }
    for (const socket of sockets) socket.emit('tarnex.system-message-channel', payload);
    return { ok: true, sockets: sockets.length, payload };
  },

  // A user who is not at the desktop under test writes: `from` sends `msg` to `to` (a private
  // message) or into `group_id`, exactly as a "send message" of that user's own client would
  // (stored, delivered, counted as unread while the recipient is away).
  'send-as'(body, app) {
    const messaging = service(app);
    const from = body.from === undefined ? '' : String(body.from);
    if (!messaging.knownUser(from)) throw new HookError('from must name a known user');
    const payload = {
      msg: body.msg === undefined ? '测试消息' : String(body.msg),
      msg_type: body.msg_type === undefined ? 'text' : String(body.msg_type),
    };
    // A file message names its kind and attachment as a client's upload would.
    if (body.file_type !== undefined) payload.file_type = String(body.file_type);
    if (body.download !== undefined) payload.download = String(body.download);
    // Without an id of the test's, the server gives one that no other message has.
    if (body.msg_id !== undefined) {
      payload.msg_id = body.msg_id;
      payload.send_time = body.msg_id;
    }
    if (body.group_id !== undefined) {
      const { record, error } = sendGroup(messaging, from, { ...payload, group_id: String(body.group_id) });
      if (error) throw new HookError(error);
      return { ok: true, group_id: record.group_id, msg_id: record.msg_id };
    }
    const { record, error } = sendPrivate(messaging, from, { ...payload, to: body.to === undefined ? '' : String(body.to) });
    if (error) throw new HookError(error);
    return { ok: true, to: record.to, msg_id: record.msg_id };
  },

  // How "login" is acknowledged: normal ("success" for a known user), value (`value`),
  // empty (an acknowledgement without arguments) or silent (never).
  'login-ack'(body, app) {
    const mode = body.mode === undefined ? 'normal' : body.mode;
    if (!LOGIN_MODES.includes(mode)) throw new HookError(`mode must be one of ${LOGIN_MODES.join(', ')}`);
    service(app).loginAck = { mode, value: body.value === undefined ? 'fail' : body.value };
    return { ok: true, loginAck: service(app).loginAck };
  },

  // How "send message" is answered: normal, refuse (with `reason`, nothing stored) or silent
  // (stored and delivered, never acknowledged), for the next `count` messages (0: until reset).
  'send-ack'(body, app) {
    const mode = body.mode === undefined ? 'normal' : body.mode;
    if (!['normal', 'refuse', 'silent'].includes(mode)) throw new HookError('mode must be normal, refuse or silent');
    const count = body.count === undefined ? 0 : Number(body.count);
    if (!Number.isSafeInteger(count) || count < 0) throw new HookError('count must be a non-negative integer');
    service(app).sendAnswer = { mode, count, reason: body.reason === undefined ? '服务器拒收' : String(body.reason) };
    return { ok: true, sendAnswer: service(app).sendAnswer };
  },

  // How a join of "/client" is answered: normal, silent (never) or early (after the event
  // `event` with `args` was sent on the namespace).
  namespace(body, app) {
    const mode = body.mode === undefined ? 'normal' : body.mode;
    if (!['normal', 'silent', 'early'].includes(mode)) throw new HookError('mode must be normal, silent or early');
    const event = mode === 'early' ? eventName(body.event) : '';
    const args = Array.isArray(body.args) ? body.args : [];
    service(app).joinMode = { mode, event, args };
    return { ok: true };
  },

  // The chat messages accepted, in order, once each (a copy sent again is not listed twice);
  // `from` names one sender. Kept across restarts with --message-log.
  accepted(body, app) {
    return { ok: true, messages: service(app).accepted.list(body.from) };
  },

  // Closes the transports, as a network failure would; clients see a drop and reconnect.
  // Without `to`, every Engine.IO connection goes, also one that has not joined "/client" yet.
  'drop-connections'(body, app) {
    const messaging = service(app);
    const everyone = body.to === undefined || body.to === null || body.to === '';
    const conns = new Set(everyone ? Object.values(messaging.engine.clients) : targets(messaging, body.to).map((socket) => socket.conn));
    for (const conn of conns) conn.close();
    return { ok: true, dropped: conns.size };
  },

  // The event log: what clients sent, oldest first; `since` is the `next` of an earlier answer.
  received(body, app) {
    const log = service(app).eventLog;
    const events = log.query({ user: body.user, event: body.event, since: body.since });
    const next = log.seq;
    if (body.clear) log.clear();
    return { ok: true, events, next };
  },

  // Stored private messages the clients only see when they ask for records: `count` texts from
  // `from` to `to`, or the given `items` ({from, to, msg, msg_type?, file_type?, download?}),
  // one second apart, the last `agoMs` before now.
  'history-add'(body, app) {
    const messaging = service(app);
    const items = Array.isArray(body.items) ? body.items : null;
    const count = items ? items.length : positiveInt(body.count, 1, 10000, 'count');
    const text = body.msg !== undefined ? String(body.msg) : '历史消息';
    const last = Date.now() - (body.agoMs === undefined ? 60000 : Number(body.agoMs));
    const first = last - (count - 1) * 1000;
    const records = [];
    for (let i = 0; i < count; i++) {
      const item = items ? items[i] : { from: body.from, to: body.to, msg: `${text} ${i + 1}` };
      const from = String(item.from === undefined ? '' : item.from);
      const to = String(item.to === undefined ? '' : item.to);
      if (!messaging.knownUser(from) || !messaging.knownUser(to) || from === to) throw new HookError('from and to must be two known users');
      const at = first + i * 1000;
      records.push({ creator: from, to, read: false, msg: String(item.msg === undefined ? '' : item.msg), msg_id: at, msg_type: item.msg_type ? String(item.msg_type) : 'text', send_time: at, time: at, file_type: item.file_type ? String(item.file_type) : '', download: item.download ? String(item.download) : '', extras: {} });
    }
    for (const record of records) messaging.history.addPrivate(record);
    return { ok: true, count, firstMsgId: first, lastMsgId: last };
  },

  // "send message" refused with a text, as the service refuses a message it cannot take:
  // {reason?, from?, count?, hold?} (count 0 or absent: every message until `off` or a reset;
  // hold: each refusal waits unanswered); {query: true} counts the waiting ones (`held`);
  // {release: true} sends them; {off: true}.
  'send-refusal'(body, app) {
    const messaging = service(app);
    if (body.release) {
      const waiting = messaging.heldRefusals.splice(0);
      for (const answer of waiting) answer();
      return { ok: true, released: waiting.length, held: 0 };
    }
    if (body.query) return { ok: true, held: messaging.heldRefusals.length };
    if (body.off) {
      messaging.sendRefusal = null;
      return { ok: true, sendRefusal: null };
    }
    const count = body.count === undefined ? 0 : Number(body.count);
    if (!Number.isSafeInteger(count) || count < 0) throw new HookError('count must be a whole number');
    const reason = body.reason === undefined ? '消息被拒绝' : String(body.reason);
    if (reason === '' || reason === 'success') throw new HookError('reason must be a refusal text');
    messaging.sendRefusal = { reason, from: body.from === undefined ? null : String(body.from), count, left: count, hold: Boolean(body.hold) };
    return { ok: true, sendRefusal: messaging.sendRefusal };
  },

  // Client requests that go unanswered and, for changes, unapplied, as by a service that lost
  // them: {events, user?} (events: some of SILENCEABLE; user: only that user's); {off: true}.
  'event-silence'(body, app) {
    const messaging = service(app);
    if (body.off) {
      messaging.eventSilence = null;
      return { ok: true, eventSilence: null };
    }
    const events = body.events;
    if (!Array.isArray(events) || events.length === 0 || !events.every((e) => SILENCEABLE.includes(e))) {
      throw new HookError(`events must list some of ${SILENCEABLE.join(', ')}`);
    }
    const user = body.user === undefined || body.user === null ? null : String(body.user);
    if (user !== null && !messaging.knownUser(user)) throw new HookError('user must name a known user');
    messaging.eventSilence = { events: [...events], user };
    return { ok: true, eventSilence: messaging.eventSilence };
  },

  // `engines`: each "/client" connection's user and Engine.IO protocol (2.x speaks only 3 and
  // does not say so).
  online(body, app) {
    const messaging = service(app);
    const sockets = messaging.allSockets();
    const engines = sockets.map((socket) => {
      const identity = messaging.identities.get(socket);
      return { user: identity ? identity.user : null, protocol: socket.conn.protocol || 3 };
    });
    return { ok: true, onlineUsers: messaging.onlineUsers(), connections: sockets.length, engines };
  },

  'messaging-state'(body, app) {
    const messaging = service(app);
    return {
      ok: true,
      groups: [...messaging.groups.groups.values()].map(groupObject),
      privateConversations: messaging.history.privateLists.size,
      groupConversations: messaging.history.groupLists.size,
      loginAck: messaging.loginAck,
    };
  },

  'messaging-reset'(body, app) {
    service(app).reset();
    return { ok: true };
  },

  // A client event sent by `user` as if from a connection of its own (a colleague creating,
  // editing or deleting a group, asking for its groups, …): the same handler a socket reaches,
  // so every connected member is told as usual. The answer holds the acknowledgement's
  // arguments (null when the handler does not acknowledge at once).
  'client-event'(body, app) {
    const messaging = service(app);
    const event = eventName(body.event);
    // Signing in belongs to a real connection.
    if (event === 'login' || !Object.prototype.hasOwnProperty.call(HANDLERS, event)) throw new HookError(`no client event "${event}"`);
    const user = body.user === undefined ? '' : String(body.user);
    if (!messaging.knownUser(user)) throw new HookError('user must name a known user');
    const args = Array.isArray(body.args) ? body.args : body.payload !== undefined ? [body.payload] : [];
    let ack = null;
    // What the handler sends back to "its" connection goes nowhere.
    const socket = { id: `hook-${user}`, emit() {} };
    HANDLERS[event]({ service: messaging, socket, user }, args, (...reply) => (ack = reply));
    return { ok: true, ack };
  },
};

for (const [name, fn] of Object.entries(MESSAGING_HOOKS)) registerHook(name, fn);

// The general "reset" restores every default, the messaging service's included.
const previousReset = HOOKS.reset;
registerHook('reset', (body, app) => {
  const reply = previousReset ? previousReset(body, app) : { ok: true };
  if (app.messaging) app.messaging.reset();
  return reply;
});

module.exports = { MESSAGING_HOOKS };
