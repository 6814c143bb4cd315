// The attachment endpoints: chunked and multipart uploads, the mobile picture upload, the
// download, their test hooks, and the private folder the server keeps the files in.
'use strict';

const { describe, it, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
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

// The raw download: status, headers, bytes, and whether the body ended properly.
function download(url) {
  return new Promise((resolve) => {
    http.get(url, (res) => {
      const chunks = [];
      res.on('data', (chunk) => chunks.push(chunk));
      const done = () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks), complete: res.complete });
      res.on('end', done);
      res.on('error', done);
      res.on('aborted', done);
    });
  });
}

const sha = (buffer) => crypto.createHash('sha256').update(buffer).digest('hex');

describe('attachments', () => {
  let server;
  let token;

  async function hook(name, body = {}) {
    const res = await fetch(`${server.base}/__hooks/${name}`, { method: 'POST', body: JSON.stringify(body) });
    return res.json();
  }

  async function chunk(index, count, name, data, auth = `Bearer ${token}`) {
    const res = await fetch(`${server.base}${API}api/attachment/upload?chunk=${index}&chunks=${count}&name=${encodeURIComponent(name)}`, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json;charset=UTF-8', Authorization: auth },
      body: data,
    });
    return { status: res.status, text: await res.text() };
  }

  before(async () => {
    server = await startServer();
    const res = await fetch(`${server.base}${API}api/auth/login`, {
      method: 'POST',
      headers: { 'Content-Type': 'application/x-www-form-urlencoded' },
      body: 'user_account=zhangwei&password=123456',
    });
    token = (await res.json()).data.token;
  });
  after(() => server.stop());
  beforeEach(() => hook('files-reset'));

  it('puts chunks together in order and answers the last with attachment_id', async () => {
    const parts = [crypto.randomBytes(1000), crypto.randomBytes(1000), crypto.randomBytes(7)];
    const name = '季度 报告 a&b.pdf';
    const first = JSON.parse((await chunk(0, 3, name, parts[0])).text);
    assert.equal(first.status, 1);
    assert.equal(first.data.attachment_id, undefined);
    // A later chunk that arrives early waits for its turn.
    assert.equal(JSON.parse((await chunk(2, 3, name, parts[2])).text).data.attachment_id, undefined);
    const last = JSON.parse((await chunk(1, 3, name, parts[1])).text);
    assert.equal(last.status, 1);
    const id = last.data.attachment_id;
    assert.match(id, /^[0-9a-f]{16}$/);
    const info = await hook('files-info', { id, sha256: true });
    assert.equal(info.name, name);
    assert.equal(info.size, 2007);
    assert.equal(info.sha256, sha(Buffer.concat(parts)));
    const log = (await hook('files-requests')).requests;
    assert.deepEqual(log.map((r) => [r.road, r.chunk, r.chunks, r.bytes, r.name]), [
      ['chunk', 0, 3, 1000, name],
      ['chunk', 2, 3, 7, name],
      ['chunk', 1, 3, 1000, name],
    ]);
  });

  it('takes an empty file as one empty chunk', async () => {
    const reply = JSON.parse((await chunk(0, 1, 'empty.txt', Buffer.alloc(0))).text);
    const info = await hook('files-info', { id: reply.data.attachment_id });
    assert.equal(info.size, 0);
  });

  it('refuses chunks without a token or outside the count', async () => {
    assert.equal(JSON.parse((await chunk(0, 1, 'x', 'a', 'Bearer nope')).text).status, 0);
    assert.equal(JSON.parse((await chunk(3, 2, 'x', 'a')).text).status, 0);
    // A chunk of an upload the server never saw begin.
    assert.equal(JSON.parse((await chunk(1, 2, 'never-started', 'a')).text).status, 0);
  });

  it('fails a chosen chunk, or the last reply, on request', async () => {
    await hook('files', { upload: 'fail-chunk', failChunk: 1, failStatus: 503 });
    assert.equal((await chunk(0, 3, 'f', 'a')).status, 200);
    assert.equal((await chunk(1, 3, 'f', 'b')).status, 503);
    await hook('files', { upload: 'last-garbage' });
    const garbage = await chunk(0, 1, 'g', 'a');
    assert.throws(() => JSON.parse(garbage.text));
    await hook('files', { upload: 'last-status0' });
    assert.equal(JSON.parse((await chunk(0, 1, 'h', 'a')).text).status, 0);
    const bad = await hook('files', { upload: 'sometimes' });
    assert.equal(bad.ok, false);
  });

  it('holds chunks unanswered on request until reset', async () => {
    await hook('files', { upload: 'hold' });
    const held = chunk(0, 1, 'held.bin', 'abc').then(() => 'answered', () => 'cut off');
    let count = 0;
    for (let i = 0; i < 100 && count === 0; ++i) {
      count = (await hook('files-stalled')).heldUploads;
      if (count === 0) await new Promise((done) => setTimeout(done, 20));
    }
    assert.equal(count, 1);
    // Nothing was stored for it, and the reset lets the request go without an answer.
    await hook('files-reset');
    assert.equal(await held, 'cut off');
    assert.equal((await hook('files-stalled')).heldUploads, 0);
    assert.equal(JSON.parse((await chunk(0, 1, 'after.bin', 'abc')).text).status, 1);
  });

  it('stores a multipart picture named by its Filedata field', async () => {
    const png = Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), crypto.randomBytes(300)]);
    const boundary = 'XyZ';
    const body = Buffer.concat([
      Buffer.from(`--${boundary}\r\nContent-Disposition: form-data; name="text"\r\n\r\n{\n    "chunk": "0",\n    "chunks": "1",\n    "name": "照片.png"\n}\n\r\n`),
      Buffer.from(`--${boundary}\r\nContent-Disposition: form-data; name="Filedata"; Filedata="照片.png"\r\n\r\n`),
      png,
      Buffer.from(`\r\n--${boundary}--\r\n`),
    ]);
    const res = await fetch(`${server.base}${API}api/attachment/upload?api_token=${token}`, {
      method: 'POST',
      headers: { 'Content-Type': `multipart/form-data; boundary=${boundary}` },
      body,
    });
    const reply = await res.json();
    assert.equal(reply.status, 1);
    const info = await hook('files-info', { id: reply.data.attachment_id, sha256: true });
    assert.equal(info.name, '照片.png');
    assert.equal(info.type, 'image/png');
    assert.equal(info.sha256, sha(png));
    const [request] = (await hook('files-requests')).requests;
    assert.equal(request.parts[0].name, 'text');
    assert.equal(JSON.parse(request.parts[0].text).chunks, '1');
  });

  it('stores mobile pictures and lists their paths', async () => {
    const picture = crypto.randomBytes(600); // its Base64 holds "+" and "/"
    const fileData = JSON.stringify([['a', 'png', picture.toString('base64')], ['b', '', 'AAEC']]);
    const post = async (signal) => {
      const res = await fetch(`${server.base}${API}api/mobile/file/upload`, {
        method: 'POST',
        signal,
        headers: { 'Content-Type': 'application/x-www-form-urlencoded', Authorization: `Bearer ${token}` },
        body: new URLSearchParams({ file_data: fileData }).toString(),
      });
      return res.json();
    };
    const reply = await post();
    assert.equal(reply.status, 1);
    assert.equal(reply.data.length, 2);
    const first = await hook('files-info', { id: reply.data[0], sha256: true });
    assert.equal(first.name, 'a.png');
    assert.equal(first.sha256, sha(picture));
    assert.equal((await hook('files-info', { id: reply.data[1] })).name, 'b');

    await hook('files', { mobile: 'empty-data' });
    assert.deepEqual((await post()).data, []);
    await hook('files', { mobile: 'status0' });
    assert.equal((await post()).status, 0);
    await hook('files', { mobile: 'silent' });
    await assert.rejects(post(AbortSignal.timeout(300)), { name: 'TimeoutError' });
  });

  it('serves an attachment with its length, as a download on request', async () => {
    const { attachment_id: id } = await hook('files-create', { name: '说明 1.txt', text: 'hello 你好' });
    const url = `${server.base}${API}api/attachment/index/${id}?api_token=${token}`;
    const inline = await download(url);
    assert.equal(inline.status, 200);
    assert.equal(inline.body.toString('utf8'), 'hello 你好');
    assert.equal(Number(inline.headers['content-length']), Buffer.byteLength('hello 你好'));
    assert.match(inline.headers['content-disposition'], /^inline;/);
    const attached = await download(`${url}&operate=download`);
    assert.equal(attached.headers['content-disposition'], `attachment; filename*=UTF-8''${encodeURIComponent('说明 1.txt')}`);
    assert.equal((await download(`${server.base}${API}api/attachment/index/${id}`)).status, 401);
    assert.equal((await download(`${server.base}${API}api/attachment/index/nosuch?api_token=${token}`)).status, 404);
  });

  it('serves without a length, breaks off midway, or fails with an error page on request', async () => {
    const { attachment_id: id, size } = await hook('files-create', { size: 300000 });
    const url = `${server.base}${API}api/attachment/index/${id}?api_token=${token}&operate=download`;
    const pattern = Buffer.from(Array.from({ length: size }, (_, i) => i % 251));

    await hook('files', { download: 'nolength' });
    const whole = await download(url);
    assert.equal(whole.headers['content-length'], undefined);
    assert.ok(whole.body.equals(pattern));

    await hook('files', { download: 'midway' });
    const broken = await download(url);
    assert.equal(Number(broken.headers['content-length']), size);
    assert.equal(broken.complete, false);
    assert.ok(broken.body.length < size);

    await hook('files', { download: 'error' });
    assert.equal((await download(url)).status, 500);
  });

  it('keeps its files in a private folder that goes with the server', async () => {
    const own = await startServer();
    const res = await fetch(`${own.base}/__hooks/files-create`, { method: 'POST', body: JSON.stringify({ size: 10 }) });
    const { attachment_id: id } = await res.json();
    const before = fs.readdirSync(os.tmpdir()).filter((n) => n.startsWith('tarnex-attachments-'));
    const holding = before.filter((n) => fs.existsSync(path.join(os.tmpdir(), n, id)));
    assert.equal(holding.length, 1);
    await own.stop();
    assert.equal(fs.existsSync(path.join(os.tmpdir(), holding[0])), false);
  });
});
