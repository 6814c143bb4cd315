// Simulated colleagues for the demo: a few demo users who read and answer what is sent to them
// while nobody is signed in as them, plus a little history, so a lone demo user has company.
// Only the demo runs them; with test hooks the server stays silent and deterministic.
'use strict';

const fs = require('fs');
const path = require('path');
const { DEMO_DIR } = require('./store');
const { visibleText } = require('./messaging-history');
const { sendPrivate, sendGroup, readPrivate, readGroup } = require('./messaging-handlers');

const COLLEAGUES_FILE = path.join(DEMO_DIR, 'colleagues.json');
const MINUTE_MS = 60 * 1000;

class Colleagues {
  constructor(service) {
    this.service = service;
    this.config = JSON.parse(fs.readFileSync(COLLEAGUES_FILE, 'utf8'));
    this.ids = this.config.colleagues.filter((id) => service.knownUser(id));
    this.timers = new Set();
    this.turn = 0;
    this.lastGroupReply = new Map();
  }

  // Stands in for a colleague only while no real client is signed in as them.
  acting(userId) {
    return this.ids.includes(userId) && this.service.socketsOf(userId).length === 0;
  }

  onlineIds() {
    return this.ids.filter((id) => this.acting(id));
  }

  onPrivate(record) {
    // Never answer a colleague: two of them would talk to each other for ever.
    if (!this.acting(record.to) || this.ids.includes(record.creator)) return;
    const [minDelay, maxDelay] = this.config.replyDelayMs;
    this.later(this.config.readDelayMs, () => readPrivate(this.service, record.to, record.creator, record.msg_id));
    this.later(minDelay + Math.random() * (maxDelay - minDelay), () =>
      sendPrivate(this.service, record.to, { to: record.creator, msg: this.answer(record.msg), msg_type: 'text' }),
    );
  }

  onGroup(group, record) {
    if (this.ids.includes(record.creator)) return;
    const actors = group.members.filter((m) => m !== record.creator && this.acting(m));
    if (actors.length === 0) return;
    actors.forEach((actor, i) => this.later(this.config.readDelayMs + i * 300, () => readGroup(this.service, actor, group.id, record.msg_id)));
    // One answer now and then keeps a group lively without flooding it.
    const now = Date.now();
    if (now - (this.lastGroupReply.get(group.id) || 0) < this.config.groupReplyIntervalMs) return;
    this.lastGroupReply.set(group.id, now);
    const actor = actors[this.turn % actors.length];
    const [minDelay, maxDelay] = this.config.replyDelayMs;
    this.later(minDelay + Math.random() * (maxDelay - minDelay), () => sendGroup(this.service, actor, { group_id: group.id, msg: this.answer(record.msg), msg_type: 'text' }));
  }

  answer(msg) {
    const text = visibleText(msg);
    const rule = this.config.rules.find((r) => r.match.some((word) => text.includes(word.toLowerCase())));
    const replies = rule ? rule.replies : this.config.replies;
    return replies[this.turn++ % replies.length];
  }

  // A few earlier messages so the demo opens with conversations and unread counts.
  seedHistory(groupHistory) {
    const now = Date.now();
    const base = { msg_type: 'text', file_type: '', download: '', extras: {} };
    groupHistory.forEach((h, i) => {
      const group = this.service.groups.get(h.group_id);
      if (!group || !group.members.includes(h.creator)) return;
      const at = now - h.minutesAgo * MINUTE_MS + i;
      this.service.history.addGroup({ ...base, group_id: group.id, creator: h.creator, msg: h.msg, msg_id: at, send_time: at, time: at });
    });
    const users = [...this.service.store.users.keys()].filter((id) => !this.ids.includes(id));
    this.config.history.forEach((h, i) => {
      if (!this.ids.includes(h.creator)) return;
      const at = now - h.minutesAgo * MINUTE_MS + i;
      for (const to of users) this.service.history.addPrivate({ ...base, creator: h.creator, to, read: false, msg: h.msg, msg_id: at, send_time: at, time: at });
    });
  }

  later(ms, fn) {
    const timer = setTimeout(() => {
      this.timers.delete(timer);
      try {
        fn();
      } catch (err) {
        console.error('messaging: simulated colleague failed:', err);
      }
    }, ms);
    this.timers.add(timer);
  }

  stop() {
    for (const timer of this.timers) clearTimeout(timer);
    this.timers.clear();
  }
}

module.exports = { Colleagues, COLLEAGUES_FILE };
