// The socket.io messaging service on the HTTP server's port: namespace "/client", the same
// handlers on both socket.io generations. Who is connected and online lives here; what each
// client event does is in messaging-handlers.js.
'use strict';

const { History } = require('./messaging-history');
const { Groups } = require('./messaging-groups');
const { bindHandlers } = require('./messaging-handlers');
const { readText } = require('./messaging-wire');
const { EventLog } = require('./messaging-eventlog');
const { Accepted } = require('./messaging-accepted');

const SOCKET_PATH = '/socket.io';
const CLIENT_NAMESPACE = '/client';

function createIo(httpServer, options) {
  // Short heartbeats (--ping-interval / --ping-timeout) let tests see a dead link in moments.
  const timings = {};
  if (options.pingInterval) timings.pingInterval = options.pingInterval;
  if (options.pingTimeout) timings.pingTimeout = options.pingTimeout;
  if (options.socketioV2) {
    // socket.io 2.x, the generation older servers run (Engine.IO 3).
    const ioV2 = require('socket.io-v2');
    return ioV2(httpServer, { path: SOCKET_PATH, serveClient: false, ...timings });
  }
  const { Server } = require('socket.io');
  // allowEIO3 lets clients that speak the older Engine.IO 3 protocol connect too.
  return new Server(httpServer, { path: SOCKET_PATH, serveClient: false, allowEIO3: true, ...timings });
}

// Connected sockets of a namespace under either generation (a Map in 4.x, an object in 2.x).
function namespaceSockets(namespace) {
  const sockets = namespace.sockets;
  return sockets instanceof Map ? [...sockets.values()] : Object.values(sockets);
}

// Engine.IO hands a whole buffer of packets to the WebSocket in one synchronous loop, one
// frame per packet, and each frame would otherwise be its own write to the TCP socket. Holding
// the socket corked for that loop sends a burst of thousands of events in a few writes: the
// difference between the server and the client being the bottleneck of a throughput run.
function batchFlushes(conn) {
  let corked = null;
  conn.on('flush', () => {
    const ws = conn.transport && conn.transport.socket;
    const raw = ws && ws._socket;
    if (corked || !raw || typeof raw.cork !== 'function') return;
    raw.cork();
    corked = raw;
  });
  conn.on('drain', () => {
    if (!corked) return;
    const raw = corked;
    corked = null;
    raw.uncork();
  });
}

class MessagingService {
  constructor(io, options, store) {
    this.io = io;
    this.options = options;
    this.store = store;
    this.generation = options.socketioV2 ? 2 : 4;
    this.clientNamespace = io.of(CLIENT_NAMESPACE);
    this.history = new History();
    this.groups = new Groups(store);
    this.presence = new Map(); // user id -> Set of sockets whose user is online
    this.identities = new WeakMap(); // socket -> { user, present }
    // What clients sent, for the tests; not kept by the demo.
    this.eventLog = options.testHooks ? new EventLog() : null;
    this.loginAck = { mode: 'normal' };
    // Set by the send-refusal hook: "send message" is refused with `reason` (for `from` only,
    // when given) until `count` refusals are used up (0 = until reset); with `hold`, each
    // refusal waits in `heldRefusals` until the hook releases it.
    this.sendRefusal = null;
    this.heldRefusals = [];
    // Set by the event-silence hook: requests (`events`) by `user` (any user when null) are
    // neither applied nor answered, as by a service that lost them.
    this.eventSilence = null;
    // Test hooks: how "send message" is answered, and how the namespace join is.
    this.sendAnswer = { mode: 'normal', count: 0 };
    this.joinMode = { mode: 'normal' };
    this.accepted = new Accepted(options.messageLog || '');
    this.colleagues = null;
    if (!options.testHooks) {
      // Loaded late: the colleagues drive the handlers, which this module also loads.
      const { Colleagues } = require('./messaging-colleagues');
      this.colleagues = new Colleagues(this);
      this.colleagues.seedHistory(Groups.demoHistory());
    }
    if (options.testHooks) this.clientNamespace.use((socket, next) => this.onJoin(socket, next));
    this.clientNamespace.on('connection', (socket) => this.onConnection(socket));
    this.engine = this.generation === 4 ? io.engine : io.eio;
    this.engine.on('connection', (conn) => batchFlushes(conn));
    if (this.eventLog && this.generation === 4) this.logLeaveNotices();
  }

  // The answer for the next "send message": normal, or as a test set it for `count` messages
  // (0: until changed).
  takeSendAnswer() {
    const answer = this.sendAnswer;
    if (answer.mode === 'normal') return answer;
    if (answer.count > 0 && --answer.count === 0) this.sendAnswer = { mode: 'normal', count: 0 };
    return answer;
  }

  // Test hooks: a join that is never answered, or one answered after an event.
  onJoin(socket, next) {
    const { mode, event, args } = this.joinMode;
    if (mode === 'silent') return;
    if (mode === 'early') socket.conn.write(`2${CLIENT_NAMESPACE},${JSON.stringify([event, ...args])}`);
    next();
  }

  knownUser(userId) {
    return typeof userId === 'string' && userId !== '' && this.store.userById(userId) !== null;
  }

  userName(userId) {
    const user = this.store.userById(userId);
    return user ? user.user_name : '';
  }

  onConnection(socket) {
    const query = socket.handshake.query || {};
    const userId = readText(query.loginUserId).trim();
    const identity = { user: this.knownUser(userId) ? userId : null, present: false };
    this.identities.set(socket, identity);
    if (this.eventLog) this.logEvents(socket, userId);
    bindHandlers({ service: this, socket, user: identity.user });
    socket.on('disconnect', (arg, ack) => this.onDisconnect(socket, ack));
    if (identity.user) this.setPresent(socket, true);
    this.broadcastOnline();
  }

  // socket.io 2.x hands the client's leave notice (an event named "disconnect") to this
  // listener while the socket is still connected; 4.x closes the connection on that event
  // instead. Either way the user has left.
  onDisconnect(socket, ack) {
    if (socket.connected && typeof ack === 'function') ack('success');
    this.setPresent(socket, false);
    this.broadcastOnline();
  }

  // Adds or removes a socket from the online set; true when that changed anything.
  setPresent(socket, present) {
    const identity = this.identities.get(socket);
    if (!identity || !identity.user || identity.present === present) return false;
    identity.present = present;
    let sockets = this.presence.get(identity.user);
    if (present) {
      if (!sockets) this.presence.set(identity.user, (sockets = new Set()));
      sockets.add(socket);
    } else if (sockets) {
      sockets.delete(socket);
      if (sockets.size === 0) this.presence.delete(identity.user);
    }
    return true;
  }

  socketsOf(userId) {
    const sockets = this.presence.get(userId);
    return sockets ? [...sockets] : [];
  }

  allSockets() {
    return namespaceSockets(this.clientNamespace);
  }

  emitToUser(userId, event, payload, except = null) {
    let sent = 0;
    for (const socket of this.presence.get(userId) || []) {
      if (socket === except) continue;
      socket.emit(event, payload);
      sent++;
    }
    return sent;
  }

  onlineUsers() {
    const ids = new Set(this.presence.keys());
    if (this.colleagues) for (const id of this.colleagues.onlineIds()) ids.add(id);
    return [...ids].sort();
  }

  broadcastOnline() {
    this.clientNamespace.emit('onlineUsers', { onlineUsers: this.onlineUsers() });
  }

  logEvents(socket, userId) {
    const log = this.eventLog;
    if (typeof socket.onAny === 'function') {
      socket.onAny((event, ...args) => log.add(userId, socket.id, event, args));
      return;
    }
    // socket.io 2.x has no onAny: look at each event packet before it is dispatched.
    const onevent = socket.onevent;
    socket.onevent = function (packet) {
      const [event, ...args] = packet.data || [];
      log.add(userId, socket.id, event, packet.id != null ? [...args, () => {}] : args);
      return onevent.call(this, packet);
    };
  }

  // socket.io 4.x refuses an event named "disconnect" before any handler runs, so the leave
  // notice is read from the raw Engine.IO packets to keep it in the event log.
  logLeaveNotices() {
    this.io.engine.on('connection', (conn) => {
      let userId = '';
      try {
        userId = new URL(conn.request.url, 'http://127.0.0.1').searchParams.get('loginUserId') || '';
      } catch {
        // leave it unnamed
      }
      conn.on('packet', (packet) => {
        if (packet.type !== 'message' || typeof packet.data !== 'string' || !packet.data.includes('"disconnect"')) return;
        const m = /^2\/client,(\d*)(\[[\s\S]*)$/.exec(packet.data);
        if (!m) return;
        let event;
        let args;
        try {
          [event, ...args] = JSON.parse(m[2]);
        } catch {
          return; // not ours to judge: socket.io reports the bad packet itself
        }
        // socket.io dispatches events a tick later; logging in step keeps the arrival order.
        if (event === 'disconnect') process.nextTick(() => this.eventLog.add(userId, conn.id, event, m[1] !== '' ? [...args, () => {}] : args));
      });
    });
  }

  // Back to the state of a fresh start; connections stay.
  reset() {
    this.history.clear();
    this.groups.reset();
    this.loginAck = { mode: 'normal' };
    this.sendRefusal = null;
    this.heldRefusals = [];
    this.eventSilence = null;
    this.sendAnswer = { mode: 'normal', count: 0 };
    this.joinMode = { mode: 'normal' };
    if (!this.options.messageLog) this.accepted.clear();
    if (this.eventLog) this.eventLog.clear();
  }

  close() {
    if (this.colleagues) this.colleagues.stop();
    // Drop every client at once; the HTTP server is closed by the caller.
    for (const namespace of [this.io.sockets, this.clientNamespace]) {
      for (const socket of namespaceSockets(namespace)) socket.disconnect(true);
    }
  }
}

// `store` is where the namespace's handlers find users.
function attach(httpServer, options, store) {
  const io = createIo(httpServer, options);
  return new MessagingService(io, options, store);
}

// Test hooks of the service register themselves on load.
require('./messaging-hooks');

module.exports = { attach, namespaceSockets, MessagingService, SOCKET_PATH, CLIENT_NAMESPACE };
