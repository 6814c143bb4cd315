// The reminder endpoints, the menu shapes of the login reply and the web-client page, over the
// server's real HTTP interface.
'use strict';

const { describe, it, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const path = require('node:path');

const SERVER = path.join(__dirname, '..', '..', 'server', 'server.js');
const API = '/tarnex10/server/public/';

function startServer() {
  return new Promise((resolve, reject) => {
    const child = spawn(process.execPath, [SERVER, '--port', '0', '--test-hooks'], { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    const timer = setTimeout(() => reject(new Error(`server did not start: ${out}`)), 10000);
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const m = /listening on (http:\/\/127\.0\.0\.1:\d+)/.exec(out);
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

describe('reminders', () => {
  let server;
  let token;
  let linaToken;

  async function hook(name, body = {}) {
    const res = await fetch(`${server.base}/__hooks/${name}`, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });
    return { http: res.status, body: await res.json() };
  }

  async function login(account) {
    const res = await fetch(`${server.base}${API}api/auth/login`, {
      method: 'POST',
      headers: { 'Content-Type': 'application/x-www-form-urlencoded' },
      body: `user_account=${account}&password=123456`,
    });
    return (await res.json()).data;
  }

  async function get(relative, bearer = token) {
    const headers = bearer ? { Authorization: `Bearer ${bearer}` } : {};
    const res = await fetch(server.base + API + relative, { headers });
    const text = await res.text();
    let body;
    try {
      body = JSON.parse(text);
    } catch {
      body = undefined;
    }
    return { http: res.status, text, body };
  }

  const page = (flag, menu) => get(`api/system-sms?page=1&search=${encodeURIComponent(JSON.stringify({ remind_flag: [flag], sms_menu: [menu] }))}`);

  before(async () => {
    server = await startServer();
    token = (await login('zhangwei')).token;
    linaToken = (await login('lina')).token;
  });
  after(() => server.stop());
  beforeEach(() => hook('reminders-reset'));

  it('every endpoint wants the Bearer token and refuses in the envelope', async () => {
    for (const relative of ['api/system/remind/system-reminds', 'api/system-sms/unread', 'api/system-sms?page=1', 'api/system-sms/1001', 'api/system-sms/sign/read?menu=flow']) {
      for (const bearer of [null, 'forged']) {
        const reply = await get(relative, bearer);
        assert.equal(reply.http, 200, relative);
        assert.equal(reply.body.status, 0, relative);
        assert.match(reply.body.errors[0].message, /[\u4e00-\u9fff]/);
      }
    }
  });

  it('unread counts follow the read marks of each user', async () => {
    const before = (await get('api/system-sms/unread')).body.data;
    const sum = Object.values(before.module).reduce((a, b) => a + b, 0);
    assert.equal(before.total, sum);
    assert.ok(before.module.flow >= 2);

    // One reminder read: one less, for this user only.
    const unreadFlow = (await page('0', 'flow')).body.data.data;
    assert.equal(unreadFlow.length, before.module.flow);
    assert.equal((await get(`api/system-sms/${unreadFlow[0].id}`)).body.data.remind_flag, 1);
    assert.equal((await get('api/system-sms/unread')).body.data.module.flow, before.module.flow - 1);
    const lina = (await get('api/system-sms/unread', linaToken)).body.data;
    assert.ok(lina.total > 0);

    // A whole module read.
    const marked = (await get('api/system-sms/sign/read?menu=flow')).body;
    assert.equal(marked.data.updated, before.module.flow - 1);
    const after = (await get('api/system-sms/unread')).body.data;
    assert.equal(after.module.flow, 0);
    assert.equal(after.total, before.total - before.module.flow);
    assert.equal((await get('api/system-sms/unread', linaToken)).body.data.total, lina.total);
  });

  it('the state hook reports each user\'s read marks', async () => {
    assert.equal((await hook('reminders-state', {})).http, 400);
    const before = (await hook('reminders-state', { user_id: '10001' })).body;
    assert.equal(before.unread.total, before.unreadIds.length);
    const id = before.unreadIds[0];
    await get(`api/system-sms/${id}`);
    const after = (await hook('reminders-state', { user_id: '10001' })).body;
    assert.ok(after.read.includes(id) && !after.unreadIds.includes(id));
    assert.equal(after.unread.total, before.unread.total - 1);
    // Another user's marks are their own.
    const other = (await hook('reminders-state', { user_id: '10002' })).body;
    assert.ok(other.unreadIds.includes(id));
  });

  it('login replies carry both menu shapes', async () => {
    const grouped = await login('zhangwei');
    assert.equal(grouped.current_user.menus, undefined);
    const names = grouped.menus.module.flatMap((m) => m.item.map((i) => i.menu_name));
    assert.ok(names.includes('公文管理') && names.includes('客户管理'));
    const own = await login('lina');
    assert.ok(Array.isArray(own.current_user.menus.module));
    assert.ok(own.current_user.menus.module.every((m) => 'menu_id' in m && 'menu_name' in m));
  });

  it('serves the web-client page at the login reply\'s client_url', async () => {
    const { client_url: clientUrl } = await login('zhangwei');
    const res = await fetch(server.base + clientUrl.replace(/#.*$/, ''));
    assert.equal(res.status, 200);
    assert.match(res.headers.get('content-type'), /text\/html/);
    assert.match(await res.text(), /location\.hash/);
  });
});
