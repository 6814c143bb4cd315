// The chat messages the service has accepted, by sender and msg_id: a client that did not get
// the acknowledgement sends the same message again, and the copy must be dropped, not delivered
// twice. With a file (--message-log) the record survives a restart of the server, as a real
// server's database would; each accepted message is one JSON line appended to it.
'use strict';

const fs = require('fs');

class Accepted {
  constructor(file = '') {
    this.file = file;
    this.clear();
    if (!file || !fs.existsSync(file)) return;
    for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
      if (!line) continue;
      try {
        this.remember(JSON.parse(line));
      } catch {
        // a line cut short by a kill: the message was not acknowledged, so it comes again
      }
    }
  }

  clear() {
    this.byKey = new Map();
    this.order = [];
  }

  static key(from, msgId) {
    return `${from}\u0000${msgId}`;
  }

  remember(entry) {
    this.byKey.set(Accepted.key(entry.from, entry.msg_id), entry);
    this.order.push(entry);
  }

  // The acknowledgement given to the first copy, or null for a message not seen before.
  ackOf(from, msgId) {
    const entry = this.byKey.get(Accepted.key(from, msgId));
    return entry ? entry.ack : null;
  }

  add(from, msgId, ack, msg) {
    const entry = { from, msg_id: msgId, ack, msg };
    this.remember(entry);
    if (this.file) fs.appendFileSync(this.file, `${JSON.stringify(entry)}\n`);
  }

  // In the order accepted; `from` limits it to one sender.
  list(from) {
    return from === undefined ? this.order : this.order.filter((e) => e.from === String(from));
  }
}

module.exports = { Accepted };
