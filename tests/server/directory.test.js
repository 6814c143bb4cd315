// The reference server's organisation directory over its real HTTP interface.
'use strict';

const { describe, it, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

const SERVER_DIR = path.join(__dirname, '..', '..', 'server');
const API = '/tarnex10/server/public/';

function startServer(args = []) {
  return new Promise((resolve, reject) => {
    const child = spawn(process.execPath, [path.join(SERVER_DIR, 'server.js'), '--port', '0', ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    const timer = setTimeout(() => reject(new Error(`server did not start: ${out}`)), 10000);
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const m = /listening on (http:\/\/127\.0\.0\.1:\d+)\n/.exec(out);
      if (!m) return;
      clearTimeout(timer);
      const exited = new Promise((done) => child.once('exit', done));
      resolve({ base: m[1], stop: () => (child.kill('SIGTERM'), exited) });
    });
    child.stderr.on('data', (chunk) => (out += chunk));
    child.once('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`server exited with ${code}: ${out}`));
    });
  });
}

async function call(server, method, relative, { token, form, json, raw } = {}) {
  const headers = {};
  if (token) headers.Authorization = `Bearer ${token}`;
  let body;
  if (form !== undefined) {
    headers['Content-Type'] = 'application/x-www-form-urlencoded';
    body = form;
  } else if (json !== undefined) {
    headers['Content-Type'] = 'application/json';
    body = JSON.stringify(json);
  }
  const res = await fetch(server.base + API + relative, { method, headers, body });
  const text = await res.text();
  if (raw) return { http: res.status, text };
  return { http: res.status, body: JSON.parse(text) };
}

async function login(server, account = 'lina', password = '123456') {
  const { body } = await call(server, 'POST', 'api/auth/login', { form: `user_account=${account}&password=${password}` });
  assert.equal(body.status, 1);
  return body.data.token;
}

async function hook(server, name, body = {}) {
  const res = await fetch(`${server.base}/__hooks/${name}`, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });
  return { http: res.status, body: await res.json() };
}

const members = (server, token, id) => call(server, 'POST', `api/directive/organization-members/${id}`, { token, form: 'communicate_type =sms' });

// Walks the department tree as the client does, level by level.
async function walk(server, token) {
  const departments = [];
  const users = [];
  let depth = 0;
  let level = ['0'];
  while (level.length > 0) {
    const next = [];
    for (const id of level) {
      const { body } = await members(server, token, id);
      assert.equal(body.status, 1, `department ${id}`);
      for (const d of body.data.dept) {
        departments.push(d);
        if (d.has_children > 0) next.push(String(d.dept_id));
      }
      users.push(...body.data.user);
    }
    if (next.length > 0) depth++;
    level = next;
  }
  return { departments, users, depth };
}

describe('organisation directory', () => {
  let server;
  let token;
  before(async () => {
    server = await startServer(['--test-hooks']);
    token = await login(server);
  });
  after(() => server.stop());
  beforeEach(() => hook(server, 'reset'));

  it('refuses every endpoint without a valid token, with status 0 and a message', async () => {
    const requests = [
      ['GET', 'api/system/company', {}],
      ['POST', 'api/directive/organization-members/0', { form: 'communicate_type =sms' }],
      ['POST', 'api/user/users', { form: 'communicate_type=sms&search=%7B%7D' }],
      ['GET', 'api/role?page=0&response=data', {}],
      ['POST', 'api/system/remind/get-reminds', { json: {} }],
      ['GET', 'api/user?communicate_type=sms&filter_type=1&return_type=array&user_id=10002', {}],
      ['GET', 'api/user/10001', {}],
      ['POST', 'api/user/usersgroup', { json: ['10001'] }],
    ];
    for (const [method, relative, options] of requests) {
      for (const bad of [undefined, 'not-a-token']) {
        const { http, body } = await call(server, method, relative, { ...options, token: bad });
        assert.equal(http, 200, relative);
        assert.equal(body.status, 0, relative);
        assert.equal(body.errors[0].code, '401', relative);
        assert.ok(body.errors[0].message.length > 0);
      }
    }
  });

  it('answers the company with its name, address and zip code, matching the login reply', async () => {
    const { body } = await call(server, 'GET', 'api/system/company', { token });
    assert.equal(body.status, 1);
    const departments = JSON.parse(fs.readFileSync(path.join(SERVER_DIR, 'demo', 'departments.json'), 'utf8'));
    assert.equal(body.data.company_name, departments.company.company_name);
    assert.equal(typeof body.data.company_id, 'number');
    assert.ok(body.data.address.length > 0 && body.data.zip_code.length > 0);
  });

  it('serves a department tree of at least three levels with 40+ reachable users', async () => {
    const { departments, users, depth } = await walk(server, token);
    assert.ok(depth >= 3, `depth ${depth}`);
    assert.ok(users.length >= 40, `${users.length} users`);
    assert.equal(new Set(users.map((u) => u.user_id)).size, users.length, 'each user in one department');
    for (const d of departments) {
      for (const key of ['dept_id', 'parent_id', 'has_children']) assert.equal(typeof d[key], 'number');
    }
    for (const u of users) {
      assert.equal(typeof u.user_id, 'string');
      assert.match(u.user_name, /^[\u4e00-\u9fa5]{2,4}$/);
      assert.match(u.phone_number, /^1\d{10}$/);
      assert.match(u.email, /^[a-z]+@xinghe-oa\.example$/);
      assert.ok(Array.isArray(u.roles) && u.roles.length > 0);
      for (const r of u.roles) assert.equal(typeof r.role_id, 'number');
    }
    // The login accounts belong to the organisation, in the departments the login reply names.
    const accounts = JSON.parse(fs.readFileSync(path.join(SERVER_DIR, 'demo', 'users.json'), 'utf8')).users;
    for (const account of accounts) {
      const member = users.find((u) => u.user_id === account.user_id);
      assert.ok(member, account.user_name);
      const { body } = await call(server, 'POST', 'api/auth/login', { form: `user_account=${encodeURIComponent(account.user_account)}&password=${encodeURIComponent(account.password)}` });
      assert.equal(body.status, 1, account.user_account);
      assert.equal(member.dept_name, body.data.current_user.dept_name);
    }
  });

  it('counts sub-departments and users in has_children, and refuses unknown departments', async () => {
    const { body } = await members(server, token, '0');
    const empty = body.data.dept.find((d) => d.has_children === 0);
    assert.ok(empty, 'the demo keeps one department without members');
    const { body: inside } = await members(server, token, empty.dept_id);
    assert.deepEqual(inside.data, { dept: [], user: [] });
    for (const d of body.data.dept.filter((x) => x.has_children > 0)) {
      const { body: sub } = await members(server, token, d.dept_id);
      assert.equal(sub.data.dept.length + sub.data.user.length, d.has_children);
    }
    for (const bad of ['999', 'abc']) {
      const { body: refused } = await members(server, token, bad);
      assert.equal(refused.status, 0);
    }
  });

  it('lists users, filters them by role and lists the roles with their counts', async () => {
    const all = await call(server, 'POST', 'api/user/users', { token, form: 'communicate_type=sms&search=%7B%7D' });
    assert.ok(all.body.data.list.length >= 40);
    const managers = await call(server, 'POST', 'api/user/users', { token, json: { search: { role_id: ['2'] } } });
    assert.ok(managers.body.data.list.length > 0);
    assert.ok(managers.body.data.list.every((u) => u.roles.some((r) => r.role_id === 2)));
    const roles = await call(server, 'GET', 'api/role?page=0&response=data', { token });
    const manager = roles.body.data.list.find((r) => r.role_id === 2);
    assert.equal(manager.user_count, managers.body.data.list.length);
  });

  it('finds users by name, pinyin and initials', async () => {
    const search = (text) => call(server, 'POST', 'api/system/remind/get-reminds', {
      token,
      json: { search: { multiSearch: { __relation__: 'or', user_name: [text, 'like'], user_name_py: [text, 'like'], user_name_zm: [text, 'like'] } }, communicate_type: 'sms', user_group_name: text },
    });
    const names = async (text) => (await search(text)).body.data.list.map((u) => u.user_name);
    assert.ok((await names('张')).includes('张伟'));
    assert.ok((await names('zhang')).includes('张敏'));
    assert.ok((await names('ZW')).includes('张伟'));
    assert.deepEqual(await names('不存在的人'), []);
  });

  it('hides the restricted users from ordinary staff but not from the unrestricted roles', async () => {
    const visible = async (userId) => (await call(server, 'GET', `api/user?communicate_type=sms&filter_type=1&return_type=array&user_id=${userId}`, { token })).body.data;
    const staff = await visible('10002');
    const admin = await visible('10001');
    assert.ok(staff.every((id) => typeof id === 'string'));
    assert.ok(admin.includes('10050') && !staff.includes('10050'));
    assert.ok(staff.includes('10002'));
    assert.ok(admin.length > staff.length);
  });

  it('answers single users and groups of users in the nested record shape', async () => {
    const one = await call(server, 'GET', 'api/user/10012', { token });
    assert.equal(one.body.data.user_has_one_system_info.user_system_info_belongs_to_department.dept_name, '可视化小组');
    assert.ok(one.body.data.user_has_many_role[0].has_one_role.role_name.length > 0);
    const group = await call(server, 'POST', 'api/user/usersgroup', { token, json: ['10001', 'nobody', '10049'] });
    assert.deepEqual(group.body.data.map((u) => u.user_id), ['10001', '10049']);
    const missing = await call(server, 'GET', 'api/user/99999', { token });
    assert.equal(missing.body.status, 0);
  });

  it('lets the directory hook break an endpoint until reset', async () => {
    await hook(server, 'directory', { endpoint: 'company', mode: 'garbage' });
    const garbage = await call(server, 'GET', 'api/system/company', { token, raw: true });
    assert.ok(!garbage.text.startsWith('{'));
    await hook(server, 'directory', { endpoint: 'members', mode: 'raw', body: '{"status":1,"data":[]}' });
    assert.deepEqual((await members(server, token, '0')).body, { status: 1, data: [] });
    await hook(server, 'directory', { mode: 'status0' });
    assert.equal((await call(server, 'GET', 'api/role', { token })).body.status, 0);
    await hook(server, 'reset');
    assert.equal((await call(server, 'GET', 'api/role', { token })).body.status, 1);
    for (const bad of [{ endpoint: 'nope' }, { mode: 'nope' }, { mode: 'slow', delayMs: -1 }]) {
      assert.equal((await hook(server, 'directory', bad)).http, 400);
    }
  });
});

describe('generated organisation (--org-size)', () => {
  it('spreads N users over about N/20 departments in three levels, login accounts included', async () => {
    const server = await startServer(['--test-hooks', '--org-size', '1000']);
    try {
      const token = await login(server, 'zhangwei');
      const { departments, users, depth } = await walk(server, token);
      assert.equal(users.length, 1000);
      assert.equal(departments.length, 50);
      assert.ok(depth >= 2);
      assert.ok(users.some((u) => u.user_id === '10001'));
    } finally {
      await server.stop();
    }
  });

  it('rejects a size that is not a positive whole number', async () => {
    for (const bad of ['0', '-5', 'ten']) {
      await assert.rejects(startServer(['--org-size', bad]));
    }
  });
});
