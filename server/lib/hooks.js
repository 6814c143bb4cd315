// Test-only controls, served below /__hooks/ when the server runs with --test-hooks.
// Every hook is a POST with a JSON body and answers JSON. New hooks go into HOOKS.
'use strict';

const { sendJson } = require('./router');

const HOOK_PREFIX = '/__hooks/';

const FEED_MODES = ['normal', 'raw', 'empty', 'silent', 'slow'];
const LANG_MODES = ['normal', 'status0', 'garbage'];

class HookError extends Error {}

function requireMode(body, modes) {
  const mode = body.mode === undefined ? 'normal' : body.mode;
  if (!modes.includes(mode)) throw new HookError(`mode must be one of ${modes.join(', ')}`);
  return mode;
}

// name -> (body, app) => reply object
const HOOKS = {
  'last-request': (body, app) => app.controls.lastRequest || {},

  feed: (body, app) => {
    const feed = app.controls.feed;
    feed.mode = requireMode(body, FEED_MODES);
    if (body.version !== undefined) feed.version = String(body.version);
    if (Array.isArray(body.description)) feed.description = body.description.map(String);
    if (body.body !== undefined) feed.body = String(body.body);
    if (body.integrity !== undefined) {
      const modes = require('../routes/update').INTEGRITY_MODES;
      if (!modes.includes(body.integrity)) throw new HookError(`integrity must be one of ${modes.join(', ')}`);
      feed.integrity = body.integrity;
    }
    // What the signed manifest says, where it differs from the feed (a replay of an older
    // release, another platform's).
    if (body.manifestVersion !== undefined) feed.manifestVersion = String(body.manifestVersion);
    if (body.manifestPlatform !== undefined) feed.manifestPlatform = String(body.manifestPlatform);
    if (body.delayMs !== undefined) {
      const delay = Number(body.delayMs);
      if (!Number.isFinite(delay) || delay < 0) throw new HookError('delayMs must be a non-negative number');
      feed.delayMs = delay;
    }
    return { ok: true, feed: { ...feed } };
  },

  lang: (body, app) => {
    app.controls.lang.mode = requireMode(body, LANG_MODES);
    return { ok: true, lang: { ...app.controls.lang } };
  },

  reset: (body, app) => {
    app.controls.reset();
    return { ok: true };
  },
};

// Lets a routes/ module add the hooks of its subsystem: fn(body, app) -> reply object.
function registerHook(name, fn) {
  HOOKS[name] = fn;
}

function isHookPath(path) {
  return path.startsWith(HOOK_PREFIX);
}

// Answers a request below /__hooks/; the caller has already checked that hooks are enabled.
function handleHook(ctx, app) {
  const name = ctx.path.slice(HOOK_PREFIX.length);
  const hook = Object.prototype.hasOwnProperty.call(HOOKS, name) ? HOOKS[name] : null;
  if (!hook) return sendJson(ctx.res, 404, { ok: false, error: `no hook named "${name}"` });
  if (ctx.method !== 'POST') return sendJson(ctx.res, 405, { ok: false, error: 'hooks take POST' });
  let body = {};
  if (ctx.body.trim() !== '') {
    try {
      body = JSON.parse(ctx.body);
    } catch {
      return sendJson(ctx.res, 400, { ok: false, error: 'body is not JSON' });
    }
  }
  if (body === null || typeof body !== 'object' || Array.isArray(body)) {
    return sendJson(ctx.res, 400, { ok: false, error: 'body must be a JSON object' });
  }
  try {
    return sendJson(ctx.res, 200, hook(body, app));
  } catch (err) {
    if (err instanceof HookError) return sendJson(ctx.res, 400, { ok: false, error: err.message });
    throw err;
  }
}

module.exports = { isHookPath, handleHook, registerHook, HookError, HOOKS };
