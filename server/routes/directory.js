// The organisation directory: company, department members, users, roles, the name search and
// the visible-user list. Every endpoint needs the login token ("Authorization: Bearer T").
'use strict';

const { ok, fail, sendText } = require('../lib/router');
const { registerHook, HookError } = require('../lib/hooks');
const { Organization } = require('../lib/organization');

// The directory endpoints, by the name the `directory` hook uses for each.
const ENDPOINTS = ['company', 'members', 'users', 'role', 'search', 'visible', 'user', 'usersgroup'];
// normal | raw (send `body` verbatim) | garbage (not JSON) | status0 (a refusal) |
// silent (never answer) | slow (answer normally after delayMs)
const MODES = ['normal', 'raw', 'garbage', 'status0', 'silent', 'slow'];

function defaultBehaviour() {
  return Object.fromEntries(ENDPOINTS.map((name) => [name, { mode: 'normal', body: '', delayMs: 0, ids: [] }]));
}

function bearerToken(headers) {
  const m = /^Bearer (.+)$/.exec(headers.authorization || '');
  return m ? m[1].trim() : '';
}

// A JSON body, or undefined when there is none or it does not parse.
function jsonBody(ctx) {
  if (ctx.body.trim() === '') return undefined;
  try {
    return JSON.parse(ctx.body);
  } catch {
    return undefined;
  }
}

// The `search` object of a request: a JSON body's member, or the form field holding JSON text.
function searchOf(ctx) {
  const body = jsonBody(ctx);
  if (body && typeof body === 'object' && !Array.isArray(body)) return body.search;
  if (typeof ctx.form.search === 'string') {
    try {
      return JSON.parse(ctx.form.search);
    } catch {
      return undefined;
    }
  }
  return undefined;
}

function register(router, app) {
  const org = new Organization(app.store, { orgSize: app.options.orgSize || 0 });
  const directory = { org, behaviour: defaultBehaviour() };
  app.directory = directory;

  // The shared `reset` hook restores the directory's behaviour too.
  const resetControls = app.controls.reset.bind(app.controls);
  app.controls.reset = () => {
    resetControls();
    directory.behaviour = defaultBehaviour();
  };

  // Answers `ctx` for `endpoint`: the hook's behaviour first, then the token check, then
  // produce(user) -> data (or null for a refusal it has already sent).
  function endpoint(name, produce) {
    return (ctx) => {
      const configured = directory.behaviour[name];
      // A behaviour limited to some ids (departments, users) leaves the others normal.
      const applies = configured.ids.length === 0 || configured.ids.includes(ctx.params[0]);
      const behaviour = applies ? configured : { mode: 'normal', delayMs: 0 };
      switch (behaviour.mode) {
        case 'raw':
          return sendText(ctx.res, 200, behaviour.body, 'application/json; charset=utf-8');
        case 'garbage':
          return sendText(ctx.res, 200, '<html><body>502 Bad Gateway</body></html>', 'text/html; charset=utf-8');
        case 'status0':
          return fail(ctx.res, 'refused', '服务器繁忙，请稍后再试');
        case 'silent':
          return app.controls.hold(ctx.res);
        default:
          break;
      }
      const answer = () => {
        const user = app.store.userForToken(bearerToken(ctx.headers));
        if (!user) return fail(ctx.res, '401', '登录已过期，请重新登录');
        const data = produce(ctx, user);
        if (data !== null) ok(ctx.res, data);
      };
      if (behaviour.mode === 'slow') {
        const timer = setTimeout(answer, behaviour.delayMs);
        ctx.res.on('close', () => clearTimeout(timer));
        return undefined;
      }
      return answer();
    };
  }

  router.api('GET', 'api/system/company', endpoint('company', () => {
    const { company_id, company_name, address, zip_code, telephone, website } = org.company;
    return { company_id, company_name, address, zip_code, telephone, website };
  }));

  router.api('POST', /api\/directive\/organization-members\/([^/]+)$/, endpoint('members', (ctx) => {
    const members = org.members(ctx.params[0]);
    if (!members) {
      fail(ctx.res, 'dept_not_found', '部门不存在');
      return null;
    }
    return members;
  }));

  router.api('POST', 'api/user/users', endpoint('users', (ctx) => {
    const search = searchOf(ctx);
    const roleIds = search && typeof search === 'object' ? search.role_id : undefined;
    const list = org.usersWithRoles(roleIds).map((u) => org.memberUser(u));
    return { list, total: list.length };
  }));

  router.api('GET', 'api/role', endpoint('role', () => {
    const list = org.roleList();
    return { list, total: list.length };
  }));

  router.api('POST', 'api/system/remind/get-reminds', endpoint('search', (ctx) => {
    const body = jsonBody(ctx);
    const multi = body && body.search && body.search.multiSearch;
    const field = multi && Array.isArray(multi.user_name) ? multi.user_name[0] : body && body.user_group_name;
    const list = org.search(typeof field === 'string' ? field : '').map((u) => org.memberUser(u));
    return { list, total: list.length };
  }));

  router.api('POST', 'api/user/usersgroup', endpoint('usersgroup', (ctx) => {
    const ids = jsonBody(ctx);
    if (!Array.isArray(ids)) {
      fail(ctx.res, 'bad_request', '请求参数错误');
      return null;
    }
    return ids.map((id) => org.user(id)).filter(Boolean).map((u) => org.userRecord(u));
  }));

  // filter_type=1: the ids the given user (the caller by default) may see, as an array.
  router.api('GET', 'api/user', endpoint('visible', (ctx, caller) => {
    if (ctx.query.filter_type === '1') {
      const viewer = ctx.query.user_id ? org.user(ctx.query.user_id) : org.user(caller.user_id);
      return org.visibleIds(viewer);
    }
    const list = org.users.map((u) => org.memberUser(u));
    return { list, total: list.length };
  }));

  router.api('GET', /api\/user\/([^/]+)$/, endpoint('user', (ctx) => {
    const user = org.user(ctx.params[0]);
    if (!user) {
      fail(ctx.res, 'user_not_found', '用户不存在');
      return null;
    }
    return org.userRecord(user);
  }));

  // {endpoint: one of ENDPOINTS or "all", mode, body?, delayMs?, ids?}; `ids` limits the
  // behaviour to those department (members) or user (user) ids.
  registerHook('directory', (body, hookApp) => {
    const state = hookApp.directory;
    const target = body.endpoint === undefined ? 'all' : body.endpoint;
    if (target !== 'all' && !ENDPOINTS.includes(target)) throw new HookError(`endpoint must be "all" or one of ${ENDPOINTS.join(', ')}`);
    const mode = body.mode === undefined ? 'normal' : body.mode;
    if (!MODES.includes(mode)) throw new HookError(`mode must be one of ${MODES.join(', ')}`);
    const delayMs = body.delayMs === undefined ? 0 : Number(body.delayMs);
    if (!Number.isFinite(delayMs) || delayMs < 0) throw new HookError('delayMs must be a non-negative number');
    if (body.ids !== undefined && !Array.isArray(body.ids)) throw new HookError('ids must be an array');
    const ids = (body.ids || []).map(String);
    const behaviour = { mode, body: body.body === undefined ? '' : String(body.body), delayMs, ids };
    for (const name of target === 'all' ? ENDPOINTS : [target]) state.behaviour[name] = { ...behaviour };
    return { ok: true, directory: state.behaviour };
  });
}

module.exports = { register };
