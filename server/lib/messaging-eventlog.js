// What clients sent on "/client", in arrival order, for tests to read back. Bounded, so a
// long benchmark cannot grow the server without limit.
'use strict';

const DEFAULT_LIMIT = 50000;

class EventLog {
  constructor(limit = DEFAULT_LIMIT) {
    this.limit = limit;
    this.clear();
  }

  clear() {
    this.entries = [];
    this.seq = 0;
  }

  // `args` as the handler got them: a trailing function is the acknowledgement callback.
  add(user, socket, event, args) {
    const ack = args.length > 0 && typeof args[args.length - 1] === 'function';
    this.entries.push({ seq: ++this.seq, time: Date.now(), user, socket, event, args: ack ? args.slice(0, -1) : args, ack });
    // Trim in chunks: one splice per tenth of the limit, not one per event.
    if (this.entries.length > this.limit + this.limit / 10) this.entries.splice(0, this.entries.length - this.limit);
  }

  // Entries after `since` (a seq), optionally of one user and/or one event name.
  query({ user, event, since } = {}) {
    const after = Number.isFinite(Number(since)) ? Number(since) : 0;
    return this.entries.filter((e) => e.seq > after && (user === undefined || e.user === String(user)) && (event === undefined || e.event === event));
  }
}

module.exports = { EventLog };
