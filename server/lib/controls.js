// Behaviour that test hooks can change at run time, with the defaults that `reset` restores.
'use strict';

const DEFAULT_DESCRIPTION = ['优化登录与消息同步', '修复若干已知问题'];

function defaults(options) {
  return {
    // update feed: normal | raw | empty | silent | slow
    // integrity: the package fields of the feed (routes/update.js)
    feed: { mode: 'normal', version: options.feedVersion, description: DEFAULT_DESCRIPTION.slice(), body: '', delayMs: 0, integrity: 'signed', manifestVersion: '', manifestPlatform: '' },
    // both language endpoints: normal | status0 | garbage
    lang: { mode: 'normal' },
  };
}

class Controls {
  constructor(options) {
    this.options = options;
    this.lastRequest = null;
    // Replies held open by the "silent" feed; released on reset and shutdown.
    this.heldResponses = new Set();
    Object.assign(this, defaults(options));
  }

  reset() {
    Object.assign(this, defaults(this.options));
    this.lastRequest = null;
    this.releaseHeld();
  }

  hold(res) {
    this.heldResponses.add(res);
    res.on('close', () => this.heldResponses.delete(res));
  }

  releaseHeld() {
    for (const res of this.heldResponses) res.destroy();
    this.heldResponses.clear();
  }
}

module.exports = { Controls };
