// Checks the reference server over its real interfaces: a child process on a free port.
'use strict';

const { describe, it, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const { createRequire } = require('node:module');
const fs = require('node:fs');
const path = require('node:path');

const SERVER_DIR = path.join(__dirname, '..', '..', 'server');
const serverRequire = createRequire(path.join(SERVER_DIR, 'package.json'));
const API = '/tarnex10/server/public/';
const FEED = '/tarnex10pack/client/client.php?platform=win';

function startServer(args = []) {
  return new Promise((resolve, reject) => {
    const child = spawn(process.execPath, [path.join(SERVER_DIR, 'server.js'), '--port', '0', ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    const timer = setTimeout(() => reject(new Error(`server did not start: ${out}`)), 10000);
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const m = /^tarnex reference server listening on http:\/\/(127\.0\.0\.1:(\d+))\n/.exec(out);
      if (!m) return;
      clearTimeout(timer);
      const exited = new Promise((done) => child.once('exit', (code, signal) => done({ code, signal })));
      resolve({ child, port: Number(m[2]), base: `http://${m[1]}`, exited, stop: () => (child.kill('SIGTERM'), exited) });
    });
    child.stderr.on('data', (chunk) => (out += chunk));
    child.once('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`server exited with ${code}: ${out}`));
    });
  });
}

async function getJson(server, pathAndQuery, init) {
  const res = await fetch(server.base + pathAndQuery, init);
  return { http: res.status, body: await res.json() };
}

function postForm(server, relative, fields) {
  // Percent-encode every value, as the client does.
  const body = Object.entries(fields).map(([k, v]) => `${k}=${encodeURIComponent(v)}`).join('&');
  return getJson(server, API + relative, { method: 'POST', headers: { 'Content-Type': 'application/x-www-form-urlencoded' }, body });
}

async function hook(server, name, body = {}) {
  const res = await fetch(`${server.base}/__hooks/${name}`, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });
  assert.equal(res.status, 200, `hook ${name}`);
  return res.json();
}

function assertFailure(reply) {
  assert.equal(reply.http, 200, 'a refusal must not look like a transport error');
  assert.equal(reply.body.status, 0);
  assert.equal(typeof reply.body.errors[0].message, 'string');
  assert.notEqual(reply.body.errors[0].message, '');
}

describe('reference server with test hooks', () => {
  let server;
  before(async () => (server = await startServer(['--test-hooks'])));
  after(() => server.stop());
  beforeEach(() => hook(server, 'reset'));

  describe('language packages', () => {
    const keys = fs.readFileSync(path.join(SERVER_DIR, 'demo', 'lang', 'keys.txt'), 'utf8').split('\n').filter(Boolean);

    it('keys.txt is sorted and free of duplicates', () => {
      assert.deepEqual(keys, [...new Set(keys)].sort());
      assert.ok(keys.length >= 136);
    });

    it('lists a Chinese and an English package', async () => {
      const { body } = await getJson(server, `${API}api/lang/effect-packages`);
      assert.equal(body.status, 1);
      assert.deepEqual(body.data.list, [
        { lang_code: 'zh_CN', lang_name: '简体中文' },
        { lang_code: 'en', lang_name: 'English' },
      ]);
    });

    for (const code of ['zh_CN', 'en']) {
      it(`${code} has a non-empty text for exactly the listed keys`, async () => {
        const { body } = await getJson(server, `${API}api/lang/file/client/${code}`);
        assert.equal(body.status, 1);
        assert.deepEqual(body.data.server, {});
        assert.deepEqual(Object.keys(body.data.client).sort(), keys);
        for (const key of keys) assert.ok(typeof body.data.client[key] === 'string' && body.data.client[key].trim() !== '', key);
      });
    }

    it('Chinese table keeps the client built-in texts', async () => {
      const { body } = await getJson(server, `${API}api/lang/file/client/zh_CN`);
      const builtIn = {
        server_address_correct: '服务器地址正确',
        server_address_errors: '服务器地址错误',
        connect_server_fail: '连接服务器失败',
        fail_upload_file: '上传文件失败',
        password_error: '您输入的密码不正确 请重新输入',
        version_proposal: '建议您立即升级以获得更好的体验！',
        oks: '确认',
      };
      for (const [key, text] of Object.entries(builtIn)) assert.equal(body.data.client[key], text, key);
    });

    for (const code of ['xx', '', 'zh_cn']) {
      it(`unknown code "${code}" is refused in the envelope`, async () => assertFailure(await getJson(server, `${API}api/lang/file/client/${code}`)));
    }

    it('lang hook makes both endpoints refuse, then answer garbage, until reset', async () => {
      await hook(server, 'lang', { mode: 'status0' });
      for (const p of ['api/lang/effect-packages', 'api/lang/file/client/en']) assertFailure(await getJson(server, API + p));
      await hook(server, 'lang', { mode: 'garbage' });
      for (const p of ['api/lang/effect-packages', 'api/lang/file/client/en']) {
        const text = await (await fetch(server.base + API + p)).text();
        assert.throws(() => JSON.parse(text));
      }
      await hook(server, 'reset');
      assert.equal((await getJson(server, `${API}api/lang/file/client/en`)).body.status, 1);
    });
  });

  describe('login', () => {
    it('answers the full reply a client reads', async () => {
      const { body } = await postForm(server, 'api/auth/login', { user_account: 'zhangwei', password: '123456' });
      assert.equal(body.status, 1);
      const d = body.data;
      assert.match(d.token, /^\w{16,}$/);
      assert.match(d.request_time, /^\d{13}$/);
      assert.ok(Math.abs(Number(d.request_time) - Date.now()) < 60000);
      assert.deepEqual(d.im_config, { IM_HOST: '127.0.0.1', IM_PORT: String(server.port), IM_PORT_HTTPS: String(server.port) });
      assert.equal(typeof d.client_url, 'string');
      assert.equal(typeof d.system_info, 'object');
      const u = d.current_user;
      assert.equal(u.user_id, '10001');
      assert.equal(u.user_name, '张伟');
      assert.equal(u.user_has_one_system_info.user_system_info_belongs_to_department.dept_name, u.dept_name);
      assert.ok(u.user_has_many_role.length >= 1 && u.user_has_many_role[0].has_one_role.role_name);
      assert.equal(u.roles.length, u.user_has_many_role.length);
      const firstMenu = d.menus.module[0].item[0];
      for (const field of ['menu_id', 'menu_name', 'menu_name_zm', 'has_children']) assert.ok(field in firstMenu, field);
    });

    it('refuses bad credentials with a Chinese message', async () => {
      for (const fields of [{ user_account: 'zhangwei', password: 'wrong' }, { user_account: 'nobody', password: '123456' }, { user_account: 'zhangwei' }, {}]) {
        const reply = await postForm(server, 'api/auth/login', fields);
        assertFailure(reply);
        assert.match(reply.body.errors[0].message, /[\u4e00-\u9fff]/);
      }
    });

    it('a password with & = + % space and Chinese arrives intact', async () => {
      const password = 'k&y=1+2%3 密码';
      const reply = await postForm(server, 'api/auth/login', { user_account: 'zhaolei', password, local: 'en' });
      assert.equal(reply.body.status, 1);
      const seen = await hook(server, 'last-request');
      assert.equal(seen.method, 'POST');
      assert.equal(seen.path, `${API}api/auth/login`);
      assert.deepEqual(seen.form, { user_account: 'zhaolei', password, local: 'en' });
      assert.match(seen.body, /^user_account=zhaolei&password=k%26y%3D1%2B2%253%20/);
    });

    it('refresh issues a new token and keeps the old one usable', async () => {
      const { token } = (await postForm(server, 'api/auth/login', { user_account: 'lina', password: '123456' })).body.data;
      const first = await getJson(server, `${API}api/auth/refresh?api_token=${token}`);
      assert.equal(first.body.status, 1);
      assert.notEqual(first.body.data.token, token);
      assert.equal((await getJson(server, `${API}api/auth/refresh?api_token=${token}`)).body.status, 1);
      assert.equal((await getJson(server, `${API}api/auth/refresh?api_token=${first.body.data.token}`)).body.status, 1);
      assertFailure(await getJson(server, `${API}api/auth/refresh?api_token=forged`));
      assertFailure(await getJson(server, `${API}api/auth/refresh`));
    });
  });

  it('server check answers at the root and the API base; unknown paths are 404', async () => {
    for (const p of ['/', API]) assert.equal((await getJson(server, p)).body.status, 1, p);
    assert.equal((await fetch(`${server.base}${API}api/no/such`)).status, 404);
  });

  describe('update feed', () => {
    it('answers the pretty-printed feed document', async () => {
      const text = await (await fetch(server.base + FEED)).text();
      assert.match(text, /\n {2,}"version"/);
      const doc = JSON.parse(text.replace(/[\n\t ]/g, ''));
      assert.equal(doc.version, '5.0.0.4');
      assert.ok(Array.isArray(doc.description) && doc.description.length > 0);
      assert.equal(doc.name, 'tarnex-5.0.0.4.zip');
      assert.ok(doc.url.startsWith(`${server.base}/`) && doc.url.endsWith(doc.name));
    });

    it('follows the feed hook: version, raw, empty, slow, silent', async () => {
      await hook(server, 'feed', { mode: 'normal', version: '5.0.1.0' });
      assert.equal((await getJson(server, FEED)).body.version, '5.0.1.0');

      await hook(server, 'feed', { mode: 'raw', body: '{"version":"9' });
      assert.equal(await (await fetch(server.base + FEED)).text(), '{"version":"9');

      await hook(server, 'feed', { mode: 'empty' });
      assert.equal(await (await fetch(server.base + FEED)).text(), '');

      await hook(server, 'feed', { mode: 'slow', delayMs: 400 });
      const started = Date.now();
      assert.equal((await getJson(server, FEED)).body.version, '5.0.1.0');
      assert.ok(Date.now() - started >= 350);

      await hook(server, 'feed', { mode: 'silent' });
      await assert.rejects(fetch(server.base + FEED, { signal: AbortSignal.timeout(500) }), { name: 'TimeoutError' });

      await hook(server, 'reset');
      assert.equal((await getJson(server, FEED)).body.version, '5.0.0.4');
    });

    it('rejects an unknown hook mode and unknown hooks', async () => {
      assert.equal((await fetch(`${server.base}/__hooks/feed`, { method: 'POST', body: '{"mode":"bogus"}' })).status, 400);
      assert.equal((await fetch(`${server.base}/__hooks/nope`, { method: 'POST', body: '{}' })).status, 404);
    });
  });

  it('socket.io 4 clients and Engine.IO 3 clients reach the /client namespace', async () => {
    for (const ioClient of [serverRequire('socket.io-client'), serverRequire('socket.io-client-v2')]) {
      const socket = ioClient(`${server.base}/client`, { transports: ['websocket'], reconnection: false, forceNew: true });
      await new Promise((resolve, reject) => {
        socket.once('connect', resolve);
        socket.once('connect_error', reject);
      });
      socket.close();
    }
  });
});

describe('reference server without test hooks', () => {
  let server;
  before(async () => (server = await startServer(['--feed-version', '5.0.1.0', '--socketio-v2'])));
  after(() => server.stop());

  it('hides the hooks', async () => {
    for (const name of ['reset', 'last-request', 'feed']) assert.equal((await fetch(`${server.base}/__hooks/${name}`, { method: 'POST', body: '{}' })).status, 404);
  });

  it('serves the version given on the command line', async () => {
    const { body } = await getJson(server, FEED);
    assert.equal(body.version, '5.0.1.0');
    assert.equal(body.name, 'tarnex-5.0.1.0.zip');
  });

  it('runs socket.io 2 for the older clients', async () => {
    const socket = serverRequire('socket.io-client-v2')(`${server.base}/client`, { transports: ['websocket'], reconnection: false, forceNew: true });
    await new Promise((resolve, reject) => {
      socket.once('connect', resolve);
      socket.once('connect_error', reject);
    });
    socket.close();
  });

  it('ends with code 0 on SIGTERM', async () => {
    const extra = await startServer();
    assert.deepEqual(await extra.stop(), { code: 0, signal: null });
  });
});

it('refuses unknown options', async () => {
  await assert.rejects(startServer(['--bogus']), /exited with 2/);
});
