// QR-code sign-in: codes the client shows, waiting to be confirmed on a phone for one user.
// A confirmed code signs in once; unconfirmed codes expire and the table stays bounded.
'use strict';

const crypto = require('crypto');

const LIFETIME_MS = 5 * 60 * 1000;
const MAX_PENDING = 1000;

class QrCodes {
  constructor({ lifetimeMs = LIFETIME_MS, maxPending = MAX_PENDING, now = Date.now } = {}) {
    this.lifetimeMs = lifetimeMs;
    this.maxPending = maxPending;
    this.now = now;
    // login_key -> { login_key, nonce_str, created, userId, polls }, oldest first.
    this.codes = new Map();
    this.polls = 0;
  }

  issue() {
    this.prune();
    while (this.codes.size >= this.maxPending) this.codes.delete(this.codes.keys().next().value);
    const code = {
      login_key: crypto.randomBytes(16).toString('hex'),
      nonce_str: crypto.randomBytes(8).toString('hex'),
      created: this.now(),
      userId: null,
      polls: 0,
    };
    this.codes.set(code.login_key, code);
    return code;
  }

  // The newest code still waiting, or null.
  latestPending() {
    this.prune();
    let latest = null;
    for (const code of this.codes.values()) if (code.userId === null) latest = code;
    return latest;
  }

  // Marks `loginKey` as confirmed by `userId`; false for an unknown or expired code.
  confirm(loginKey, userId) {
    this.prune();
    const code = this.codes.get(String(loginKey));
    if (!code) return false;
    code.userId = String(userId);
    return true;
  }

  // One poll of the client: { state: 'unknown' | 'pending' | 'confirmed', userId }. A confirmed
  // code is used up by the poll that reports it.
  signOn(nonce, loginKey) {
    this.prune();
    this.polls += 1;
    const code = this.codes.get(String(loginKey));
    if (!code || code.nonce_str !== String(nonce)) return { state: 'unknown' };
    code.polls += 1;
    if (code.userId === null) return { state: 'pending' };
    this.codes.delete(code.login_key);
    return { state: 'confirmed', userId: code.userId };
  }

  list() {
    this.prune();
    const now = this.now();
    return [...this.codes.values()].map((c) => ({
      login_key: c.login_key,
      nonce_str: c.nonce_str,
      confirmed_by: c.userId,
      polls: c.polls,
      age_ms: now - c.created,
    }));
  }

  clear() {
    this.codes.clear();
    this.polls = 0;
  }

  prune() {
    const oldest = this.now() - this.lifetimeMs;
    for (const [key, code] of this.codes) if (code.created < oldest) this.codes.delete(key);
  }
}

module.exports = { QrCodes, LIFETIME_MS, MAX_PENDING };
