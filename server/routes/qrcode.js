// QR-code sign-in: the client fetches a code, shows it and polls the sign-on until a phone has
// confirmed it. In the demo a small page of this server stands in for the phone; the tests
// confirm codes through a hook. This module also lets tests steer the password login and the
// token refresh (silent, garbage, raw replies) without touching routes/auth.js.
'use strict';

const { API_BASE, ok, fail, sendText } = require('../lib/router');
const { registerHook, HookError } = require('../lib/hooks');
const { QrCodes, LIFETIME_MS } = require('../lib/qrcode');
const { loginData } = require('./auth');

const CONFIRM_PAGE = '/tarnex10/qrcode/confirm';
const DEFAULT_CONFIRM_ACCOUNT = 'zhangwei';

// Sign-in endpoints whose replies tests can replace, with the route each one is.
const ENDPOINTS = {
  login: ['POST', 'api/auth/login'],
  refresh: ['GET', 'api/auth/refresh'],
  general: ['GET', 'api/auth/qrcode/general'],
  'sign-on': ['POST', 'api/auth/qrcode/sign-on'],
};
// normal | silent (never answer) | garbage (not JSON) | raw (send `body` verbatim) | status0
const MODES = ['normal', 'silent', 'garbage', 'raw', 'status0'];

function defaultBehaviour() {
  return Object.fromEntries(Object.keys(ENDPOINTS).map((name) => [name, { mode: 'normal', body: '' }]));
}

function escapeHtml(text) {
  return String(text).replace(/[&<>"']/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' })[c]);
}

function page(title, content) {
  return `<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><meta name="viewport" content="width=device-width">
<title>${escapeHtml(title)}</title>
<style>body{font-family:sans-serif;max-width:28em;margin:2em auto;padding:0 1em}
button{display:block;width:100%;margin:.4em 0;padding:.6em;font-size:1em}code{word-break:break-all}</style>
</head><body><h2>${escapeHtml(title)}</h2>${content}</body></html>
`;
}

function register(router, app) {
  const { store, controls } = app;
  const codes = new QrCodes();
  let behaviour = defaultBehaviour();
  // Sign-on polls the silent behaviour holds open now, so a test can tell one is waiting.
  const heldSignOns = new Set();
  app.qrcodes = codes;

  const resetControls = controls.reset.bind(controls);
  controls.reset = () => {
    resetControls();
    behaviour = defaultBehaviour();
    codes.clear();
  };

  // Answers with the test behaviour of `name` unless it is normal; true when it answered.
  function steered(name, ctx) {
    const { mode, body } = behaviour[name];
    switch (mode) {
      case 'silent':
        controls.hold(ctx.res);
        if (name === 'sign-on') {
          heldSignOns.add(ctx.res);
          ctx.res.on('close', () => heldSignOns.delete(ctx.res));
        }
        return true;
      case 'garbage':
        sendText(ctx.res, 200, '<html><body>502 Bad Gateway</body></html>', 'text/html; charset=utf-8');
        return true;
      case 'raw':
        sendText(ctx.res, 200, body, 'application/json; charset=utf-8');
        return true;
      case 'status0':
        fail(ctx.res, 'refused', '服务器繁忙，请稍后再试');
        return true;
      default:
        return false;
    }
  }

  // The login and refresh routes of routes/auth.js (registered before this file) get the same
  // steering; their own handlers answer in normal mode.
  for (const name of ['login', 'refresh']) {
    const [method, relative] = ENDPOINTS[name];
    const route = router.routes.find((r) => r.method === method && r.pattern === API_BASE + relative);
    if (!route) continue;
    const original = route.handler;
    route.handler = (ctx) => (steered(name, ctx) ? undefined : original(ctx));
  }

  router.api('GET', 'api/auth/qrcode/general', (ctx) => {
    if (steered('general', ctx)) return undefined;
    const code = codes.issue();
    return ok(ctx.res, { nonce_str: code.nonce_str, login_key: code.login_key, expires_in: Math.round(LIFETIME_MS / 1000) });
  });

  router.api('POST', 'api/auth/qrcode/sign-on', (ctx) => {
    if (steered('sign-on', ctx)) return undefined;
    const result = codes.signOn(ctx.form.nonce_str || '', ctx.form.login_key || '');
    if (result.state === 'unknown') return fail(ctx.res, 'qrcode_invalid', '二维码已失效，请刷新二维码');
    if (result.state === 'pending') return fail(ctx.res, 'not_confirmed', '二维码尚未确认');
    const user = store.userById(result.userId);
    if (!user) return fail(ctx.res, 'user_not_found', '用户不存在');
    return ok(ctx.res, loginData(app, user, store.issueToken(user.user_id)));
  });

  // The phone's side for the demo: pick who confirms a pending code.
  router.get(CONFIRM_PAGE, (ctx) => {
    const key = ctx.query.login_key;
    if (!key) {
      const pending = codes.list().filter((c) => c.confirmed_by === null);
      const items = pending.map((c) => `<li><a href="${CONFIRM_PAGE}?login_key=${encodeURIComponent(c.login_key)}"><code>${escapeHtml(c.login_key)}</code></a></li>`);
      const content = items.length ? `<ul>${items.join('')}</ul>` : '<p>没有等待确认的二维码。</p>';
      return sendText(ctx.res, 200, page('扫码登录', content), 'text/html; charset=utf-8');
    }
    if (!codes.list().some((c) => c.login_key === key && c.confirmed_by === null)) {
      return sendText(ctx.res, 404, page('扫码登录', '<p>二维码已失效或已确认。</p>'), 'text/html; charset=utf-8');
    }
    const buttons = [...store.users.values()]
      .map((u) => `<button name="user_id" value="${escapeHtml(u.user_id)}">${escapeHtml(u.user_name)}（${escapeHtml(u.user_account)}）</button>`)
      .join('');
    const content = `<p>以下列身份登录电脑客户端：</p><form method="post" action="${CONFIRM_PAGE}">
<input type="hidden" name="login_key" value="${escapeHtml(key)}">${buttons}</form>`;
    return sendText(ctx.res, 200, page('扫码登录', content), 'text/html; charset=utf-8');
  });

  router.post(CONFIRM_PAGE, (ctx) => {
    const user = store.userById(ctx.form.user_id);
    if (!user || !codes.confirm(ctx.form.login_key || '', user.user_id)) {
      return sendText(ctx.res, 404, page('扫码登录', '<p>二维码已失效或用户不存在。</p>'), 'text/html; charset=utf-8');
    }
    return sendText(ctx.res, 200, page('扫码登录', `<p>已确认，${escapeHtml(user.user_name)} 正在登录电脑客户端。</p>`), 'text/html; charset=utf-8');
  });

  // {login_key?, user_id? | account?}: confirms that code (the newest pending one by default)
  // for that user (zhangwei by default).
  registerHook('qr-confirm', (body) => {
    const user = body.user_id !== undefined
      ? store.userById(body.user_id)
      : store.userByAccount(body.account === undefined ? DEFAULT_CONFIRM_ACCOUNT : String(body.account));
    if (!user) throw new HookError('no such user');
    const key = body.login_key !== undefined ? String(body.login_key) : (codes.latestPending() || {}).login_key;
    if (!key || !codes.confirm(key, user.user_id)) throw new HookError('no such pending code');
    return { ok: true, login_key: key, user_id: user.user_id };
  });

  // The codes issued and not yet used, with the polls each has had, all polls since reset and
  // the sign-on polls held unanswered now.
  registerHook('qr-pending', () => ({ ok: true, codes: codes.list(), polls: codes.polls, held: heldSignOns.size }));

  // {endpoint: login | refresh | general | sign-on | all, mode, body?}
  registerHook('auth-mode', (body) => {
    const target = body.endpoint === undefined ? 'all' : body.endpoint;
    if (target !== 'all' && !Object.prototype.hasOwnProperty.call(ENDPOINTS, target)) {
      throw new HookError(`endpoint must be "all" or one of ${Object.keys(ENDPOINTS).join(', ')}`);
    }
    const mode = body.mode === undefined ? 'normal' : body.mode;
    if (!MODES.includes(mode)) throw new HookError(`mode must be one of ${MODES.join(', ')}`);
    const entry = { mode, body: body.body === undefined ? '' : String(body.body) };
    for (const name of target === 'all' ? Object.keys(ENDPOINTS) : [target]) behaviour[name] = { ...entry };
    return { ok: true, behaviour };
  });
}

module.exports = { register };
