// QR-code sign-in and the steering of the sign-in endpoints, over the server's real HTTP
// interface; the code table's expiry and bound with a fake clock.
'use strict';

const { describe, it, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const path = require('node:path');

const SERVER_DIR = path.join(__dirname, '..', '..', 'server');
const { QrCodes } = require(path.join(SERVER_DIR, 'lib', 'qrcode.js'));
const API = '/tarnex10/server/public/';
const CONFIRM_PAGE = '/tarnex10/qrcode/confirm';

function startServer() {
  return new Promise((resolve, reject) => {
    const child = spawn(process.execPath, [path.join(SERVER_DIR, 'server.js'), '--port', '0', '--test-hooks'], { stdio: ['ignore', 'pipe', 'pipe'] });
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

const form = (fields) => Object.entries(fields).map(([k, v]) => `${k}=${encodeURIComponent(v)}`).join('&');

describe('QR-code sign-in', () => {
  let server;

  async function hook(name, body = {}, expectStatus = 200) {
    const res = await fetch(`${server.base}/__hooks/${name}`, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });
    assert.equal(res.status, expectStatus, `hook ${name}`);
    return res.json();
  }

  async function newCode() {
    const res = await fetch(`${server.base}${API}api/auth/qrcode/general`, { headers: { 'Content-Type': 'application/json;charset=UTF-8' } });
    const body = await res.json();
    assert.equal(body.status, 1);
    return body.data;
  }

  async function signOn(code) {
    const res = await fetch(`${server.base}${API}api/auth/qrcode/sign-on`, {
      method: 'POST',
      headers: { 'Content-Type': 'application/x-www-form-urlencoded' },
      body: form({ nonce_str: code.nonce_str, login_key: code.login_key }),
    });
    assert.equal(res.status, 200, 'refusals travel in the envelope');
    return res.json();
  }

  before(async () => (server = await startServer()));
  after(() => server.stop());
  beforeEach(() => hook('reset'));

  it('issues codes with a nonce and a login key, listed as pending', async () => {
    const a = await newCode();
    const b = await newCode();
    assert.match(a.nonce_str, /^[0-9a-f]{16}$/);
    assert.match(a.login_key, /^[0-9a-f]{32}$/);
    assert.notEqual(a.login_key, b.login_key);
    const { codes } = await hook('qr-pending');
    assert.deepEqual(codes.map((c) => c.login_key), [a.login_key, b.login_key]);
    assert.ok(codes.every((c) => c.confirmed_by === null));
  });

  it('refuses until confirmed, then signs in once with a full login reply', async () => {
    const code = await newCode();
    const waiting = await signOn(code);
    assert.equal(waiting.status, 0);
    assert.equal(waiting.errors[0].code, 'not_confirmed');

    assert.deepEqual(await hook('qr-confirm', { account: 'lina' }), { ok: true, login_key: code.login_key, user_id: '10002' });
    const signed = await signOn(code);
    assert.equal(signed.status, 1);
    assert.equal(signed.data.current_user.user_id, '10002');
    assert.match(signed.data.token, /^[0-9a-f]+$/);
    assert.ok(signed.data.im_config.IM_PORT);
    assert.equal(typeof signed.data.request_time, 'string');

    // The token is a real session.
    const refresh = await (await fetch(`${server.base}${API}api/auth/refresh?api_token=${signed.data.token}`)).json();
    assert.equal(refresh.status, 1);

    // Used up: the next poll is refused, and the code is gone.
    const again = await signOn(code);
    assert.equal(again.status, 0);
    assert.equal(again.errors[0].code, 'qrcode_invalid');
    assert.deepEqual((await hook('qr-pending')).codes, []);
  });

  it('refuses a wrong nonce and an unknown key, and counts the polls', async () => {
    const code = await newCode();
    await hook('qr-confirm');
    for (const wrong of [{ ...code, nonce_str: 'x' }, { ...code, login_key: 'nope' }, { nonce_str: '', login_key: '' }]) {
      const reply = await signOn(wrong);
      assert.equal(reply.status, 0);
      assert.equal(reply.errors[0].code, 'qrcode_invalid');
    }
    const pending = await hook('qr-pending');
    assert.equal(pending.polls, 3);
    assert.equal(pending.codes[0].confirmed_by, '10001', 'the default confirming user is zhangwei');
  });

  it('confirm hook errors are reported', async () => {
    assert.equal((await hook('qr-confirm', {}, 400)).ok, false, 'nothing pending');
    const code = await newCode();
    await hook('qr-confirm', { login_key: code.login_key, account: 'nobody' }, 400);
    await hook('qr-confirm', { login_key: 'unknown' }, 400);
  });

  it('the demo page confirms a pending code for the chosen user', async () => {
    const code = await newCode();
    const list = await (await fetch(`${server.base}${CONFIRM_PAGE}`)).text();
    assert.ok(list.includes(code.login_key));
    const choose = await fetch(`${server.base}${CONFIRM_PAGE}?login_key=${code.login_key}`);
    assert.equal(choose.status, 200);
    const html = await choose.text();
    assert.ok(html.includes('value="10006"') && html.includes('赵磊'));

    const confirm = await fetch(`${server.base}${CONFIRM_PAGE}`, {
      method: 'POST',
      headers: { 'Content-Type': 'application/x-www-form-urlencoded' },
      body: form({ login_key: code.login_key, user_id: '10006' }),
    });
    assert.equal(confirm.status, 200);
    const signed = await signOn(code);
    assert.equal(signed.data.current_user.user_id, '10006');

    const stale = await fetch(`${server.base}${CONFIRM_PAGE}?login_key=${encodeURIComponent('<script>')}`);
    assert.equal(stale.status, 404);
    assert.ok(!(await stale.text()).includes('<script>'));
  });

  describe('steering', () => {
    it('replaces the login reply by garbage, raw text or a refusal, until reset', async () => {
      const login = () =>
        fetch(`${server.base}${API}api/auth/login`, {
          method: 'POST',
          headers: { 'Content-Type': 'application/x-www-form-urlencoded' },
          body: form({ user_account: 'zhangwei', password: '123456' }),
        });
      await hook('auth-mode', { endpoint: 'login', mode: 'garbage' });
      assert.ok((await (await login()).text()).startsWith('<html>'));
      await hook('auth-mode', { endpoint: 'login', mode: 'raw', body: '{"status":1}' });
      assert.equal(await (await login()).text(), '{"status":1}');
      await hook('auth-mode', { endpoint: 'login', mode: 'status0' });
      assert.equal((await (await login()).json()).status, 0);
      await hook('reset');
      assert.equal((await (await login()).json()).status, 1);
    });

    it('holds a silent endpoint open', async () => {
      await hook('auth-mode', { endpoint: 'refresh', mode: 'silent' });
      await assert.rejects(fetch(`${server.base}${API}api/auth/refresh?api_token=x`, { signal: AbortSignal.timeout(300) }), { name: 'TimeoutError' });
      // The other endpoints keep answering.
      assert.equal((await newCode()).login_key.length, 32);
    });

    it('counts the sign-on polls it holds open, until they close', async () => {
      const code = await newCode();
      await hook('auth-mode', { endpoint: 'sign-on', mode: 'silent' });
      const controller = new AbortController();
      const held = fetch(`${server.base}${API}api/auth/qrcode/sign-on`, {
        method: 'POST', signal: controller.signal,
        headers: { 'content-type': 'application/x-www-form-urlencoded' }, body: form(code),
      }).catch(() => null);
      let pending;
      for (let i = 0; i < 500 && !(pending = await hook('qr-pending')).held; ++i);
      assert.equal(pending.held, 1);
      assert.equal(pending.polls, 0, 'a held poll is not answered, so not counted');
      controller.abort();
      await held;
      for (let i = 0; i < 500 && (pending = await hook('qr-pending')).held; ++i);
      assert.equal(pending.held, 0);
    });

    it('rejects unknown endpoints and modes', async () => {
      await hook('auth-mode', { endpoint: 'logout', mode: 'silent' }, 400);
      await hook('auth-mode', { endpoint: 'login', mode: 'loud' }, 400);
    });
  });
});

describe('QR code table', () => {
  it('expires unconfirmed codes and stays bounded', () => {
    let now = 0;
    const codes = new QrCodes({ lifetimeMs: 1000, maxPending: 3, now: () => now });
    const first = codes.issue();
    now = 500;
    const kept = [codes.issue(), codes.issue(), codes.issue()];
    assert.deepEqual(codes.list().map((c) => c.login_key), kept.map((c) => c.login_key), 'the oldest makes room');
    assert.equal(codes.confirm(first.login_key, '10001'), false);
    now = 1600;
    assert.deepEqual(codes.list(), []);
    assert.equal(codes.signOn(kept[0].nonce_str, kept[0].login_key).state, 'unknown');
  });
});
