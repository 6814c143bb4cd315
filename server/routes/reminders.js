// System reminders: the reminder groups by module, unread counts, a module's reminder list and
// read marks; and the web-client page that reminders and menu entries open.
'use strict';

const fs = require('fs');
const path = require('path');
const { ok, fail, sendJson, sendText } = require('../lib/router');
const { registerHook, HookError } = require('../lib/hooks');
const { Reminders, hugeGroups, hugeUnread } = require('../lib/reminders');

const WEB_PAGE_PATH = '/tarnex10/client/app/web/login.html';
const WEB_PAGE_FILE = path.join(__dirname, '..', 'demo', 'web', 'login.html');

const MODES = ['normal', 'garbage', 'status0', 'status0-bare', 'wrong-kind', 'missing', 'silent', 'slow', 'huge'];
const ENDPOINTS = ['groups', 'unread', 'list', 'read'];
const MAX_HUGE = 200000;

function defaultBehaviour() {
  return { mode: 'normal', endpoints: ENDPOINTS.slice(), count: 1000, items: 10, delayMs: 0 };
}

function emptyRequests() {
  return { groups: 0, unread: 0, list: 0, readOne: 0, readModule: 0, last: {} };
}

// Replies of the wrong JSON kind for each endpoint: valid JSON the client must not take.
const WRONG_KIND = {
  groups: { status: 1, errors: [], data: { id: 1, remind_menu: 'flow' } },
  unread: { status: 1, errors: [], data: { module: [1, 2, 3], total: 'many' } },
  list: [{ status: 1 }],
  read: 'ok',
};

// Replies with the members the client needs left out.
const MISSING = {
  groups: { status: 1 },
  unread: { status: 1, errors: [], data: { total: 3 } },
  list: { errors: [], data: {} },
  read: {},
};

function nonNegativeInt(value, name, max) {
  const n = Number(value);
  if (!Number.isInteger(n) || n < 0 || n > max) throw new HookError(`${name} must be an integer from 0 to ${max}`);
  return n;
}

function register(router, app) {
  const { store, controls } = app;
  const reminders = new Reminders();
  let behaviour = defaultBehaviour();
  let requests = emptyRequests();
  const held = new Set();

  function release() {
    for (const res of held) res.destroy();
    held.clear();
  }

  // Answers with the test behaviour when it applies to `endpoint`; true when it answered.
  function answeredByHook(ctx, endpoint, hugeData) {
    if (behaviour.mode === 'normal' || !behaviour.endpoints.includes(endpoint)) return false;
    const { res } = ctx;
    switch (behaviour.mode) {
      case 'garbage':
        sendText(res, 200, '<html><body>502 Bad Gateway</body></html>', 'text/html; charset=utf-8');
        return true;
      case 'status0':
        fail(res, 'remind_unavailable', '提醒服务暂不可用，请稍后再试');
        return true;
      case 'status0-bare':
        sendJson(res, 200, { status: 0 });
        return true;
      case 'wrong-kind':
        sendJson(res, 200, WRONG_KIND[endpoint]);
        return true;
      case 'missing':
        sendJson(res, 200, MISSING[endpoint]);
        return true;
      case 'silent':
        // Never answered: the client's own time limit has to end the wait.
        controls.hold(res);
        held.add(res);
        res.on('close', () => held.delete(res));
        return true;
      case 'slow':
        // Answered normally, later; the caller keeps going once the delay has passed.
        return false;
      case 'huge':
        if (!hugeData) return false;
        ok(res, hugeData());
        return true;
      default:
        return false;
    }
  }

  // The signed-in user of the request's Bearer token, or null after refusing it.
  function authorised(ctx) {
    const header = String(ctx.headers.authorization || '');
    const m = /^Bearer\s+(\S+)$/i.exec(header);
    const user = m ? store.userForToken(m[1]) : null;
    if (!user) fail(ctx.res, 'unauthenticated', '登录已过期，请重新登录');
    return user;
  }

  // Runs `answer` now, or after the delay of the "slow" behaviour.
  function respond(ctx, endpoint, answer) {
    if (behaviour.mode === 'slow' && behaviour.endpoints.includes(endpoint) && behaviour.delayMs > 0) {
      held.add(ctx.res);
      const timer = setTimeout(() => {
        held.delete(ctx.res);
        answer();
      }, behaviour.delayMs);
      ctx.res.on('close', () => clearTimeout(timer));
      return;
    }
    answer();
  }

  function count(name, ctx) {
    requests[name] += 1;
    requests.last[name] = { path: ctx.path, query: ctx.query, authorization: ctx.headers.authorization || '' };
  }

  router.api('GET', 'api/system/remind/system-reminds', (ctx) => {
    count('groups', ctx);
    if (answeredByHook(ctx, 'groups', () => hugeGroups(behaviour.count, behaviour.items))) return;
    const user = authorised(ctx);
    if (!user) return;
    respond(ctx, 'groups', () => ok(ctx.res, reminders.groups));
  });

  router.api('GET', 'api/system-sms/unread', (ctx) => {
    count('unread', ctx);
    if (answeredByHook(ctx, 'unread', () => hugeUnread(behaviour.count))) return;
    const user = authorised(ctx);
    if (!user) return;
    respond(ctx, 'unread', () => ok(ctx.res, reminders.unread(user.user_id)));
  });

  router.api('GET', 'api/system-sms/sign/read', (ctx) => {
    count('readModule', ctx);
    if (answeredByHook(ctx, 'read')) return;
    const user = authorised(ctx);
    if (!user) return;
    const menu = ctx.query.menu;
    if (menu === undefined || menu === '') return fail(ctx.res, 'menu_required', '请指定要设置已读的模块');
    respond(ctx, 'read', () => ok(ctx.res, { menu, updated: reminders.markModuleRead(user.user_id, menu) }));
  });

  router.api('GET', 'api/system-sms', (ctx) => {
    count('list', ctx);
    const hugeList = () => ({
      total: behaviour.count,
      per_page: behaviour.count,
      current_page: 1,
      last_page: 1,
      data: Array.from({ length: behaviour.count }, (_, i) => ({ id: i + 1, sms_menu: 'flow', content: `提醒${i + 1}`, remind_flag: 0 })),
    });
    if (answeredByHook(ctx, 'list', hugeList)) return;
    const user = authorised(ctx);
    if (!user) return;
    let search = {};
    if (ctx.query.search !== undefined && ctx.query.search !== '') {
      try {
        search = JSON.parse(ctx.query.search);
      } catch {
        return fail(ctx.res, 'bad_search', '查询条件格式错误');
      }
      if (search === null || typeof search !== 'object' || Array.isArray(search)) return fail(ctx.res, 'bad_search', '查询条件格式错误');
    }
    const asList = (v) => (v === undefined ? [] : Array.isArray(v) ? v.map(String) : [String(v)]);
    const page = Number.parseInt(ctx.query.page, 10);
    respond(ctx, 'list', () =>
      ok(ctx.res, reminders.page(user.user_id, { flags: asList(search.remind_flag), menus: asList(search.sms_menu), page: Number.isFinite(page) ? page : 1 })),
    );
  });

  // One reminder, which counts as read once fetched (the web client opens it the same way).
  router.api('GET', /api\/system-sms\/([^/]+)$/, (ctx) => {
    count('readOne', ctx);
    if (answeredByHook(ctx, 'read')) return;
    const user = authorised(ctx);
    if (!user) return;
    const record = reminders.markRead(user.user_id, ctx.params[0]);
    if (!record) return fail(ctx.res, 'sms_not_found', '该提醒不存在或已被删除');
    respond(ctx, 'read', () => ok(ctx.res, record));
  });

  router.get(WEB_PAGE_PATH, (ctx) => sendText(ctx.res, 200, fs.readFileSync(WEB_PAGE_FILE, 'utf8'), 'text/html; charset=utf-8'));

  // Test hooks of this subsystem.
  registerHook('reminders', (body) => {
    const next = defaultBehaviour();
    next.mode = body.mode === undefined ? 'normal' : body.mode;
    if (!MODES.includes(next.mode)) throw new HookError(`mode must be one of ${MODES.join(', ')}`);
    if (body.endpoints !== undefined) {
      if (!Array.isArray(body.endpoints) || body.endpoints.some((e) => !ENDPOINTS.includes(e))) {
        throw new HookError(`endpoints must list some of ${ENDPOINTS.join(', ')}`);
      }
      next.endpoints = body.endpoints.slice();
    }
    if (body.count !== undefined) next.count = nonNegativeInt(body.count, 'count', MAX_HUGE);
    if (body.items !== undefined) next.items = nonNegativeInt(body.items, 'items', MAX_HUGE);
    if (next.count * next.items > 2000000) throw new HookError('count * items must stay below 2000000');
    if (body.delayMs !== undefined) next.delayMs = nonNegativeInt(body.delayMs, 'delayMs', 600000);
    if (next.mode !== 'silent') release();
    behaviour = next;
    return { ok: true, behaviour: { ...behaviour } };
  });

  registerHook('reminders-add', (body) => {
    if (typeof body.sms_menu !== 'string' && typeof body.sms_menu !== 'number') throw new HookError('sms_menu is required');
    if (body.recipients !== undefined && body.recipients !== 'all' && !Array.isArray(body.recipients)) {
      throw new HookError('recipients must be "all" or a list of user ids');
    }
    const record = reminders.add({
      ...body,
      recipients: Array.isArray(body.recipients) ? body.recipients.map(String) : body.recipients,
    });
    return { ok: true, id: record.id, send_time: record.send_time, sms_menu: record.sms_menu };
  });

  registerHook('reminders-requests', () => requests);

  // What a user has of the reminders: the unread counts and the ids read, as the server keeps
  // them (a window test checks its read marks arrived here).
  registerHook('reminders-state', (body) => {
    if (typeof body.user_id !== 'string' || body.user_id === '') throw new HookError('user_id is required');
    const visible = reminders.sms.filter((r) => reminders.visibleTo(r, body.user_id));
    return {
      ok: true,
      unread: reminders.unread(body.user_id),
      read: visible.filter((r) => reminders.isRead(r, body.user_id)).map((r) => r.id),
      unreadIds: visible.filter((r) => !reminders.isRead(r, body.user_id)).map((r) => r.id),
    };
  });

  registerHook('reminders-reset', () => {
    release();
    behaviour = defaultBehaviour();
    requests = emptyRequests();
    reminders.reset();
    return { ok: true };
  });
}

module.exports = { register };
