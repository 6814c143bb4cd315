// The update package the reference server builds and serves, with its test hooks.
'use strict';

const { describe, it, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');

const SERVER_DIR = path.join(__dirname, '..', '..', 'server');
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
      const exited = new Promise((done) => child.once('exit', (code) => done(code)));
      resolve({ base: `http://${m[1]}`, stop: () => (child.kill('SIGTERM'), exited) });
    });
    child.stderr.on('data', (chunk) => (out += chunk));
    child.once('exit', (code) => {
      clearTimeout(timer);
      reject(Object.assign(new Error(`server exited with ${code}: ${out}`), { code, out }));
    });
  });
}

async function hook(server, name, body = {}) {
  const res = await fetch(`${server.base}/__hooks/${name}`, { method: 'POST', body: JSON.stringify(body) });
  return { status: res.status, body: await res.json() };
}

// The raw download: headers, the bytes that arrived, and whether the body ended properly.
function download(url, headers = {}) {
  return new Promise((resolve) => {
    http.get(url, { headers }, (res) => {
      const chunks = [];
      res.on('data', (chunk) => chunks.push(chunk));
      const done = () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks), complete: res.complete });
      res.on('end', done);
      res.on('error', done);
      res.on('aborted', done);
    });
  });
}

// Reads an archive independently of the writer: central directory, modes, checked contents.
function readZip(buffer) {
  const end = buffer.lastIndexOf(Buffer.from([0x50, 0x4b, 0x05, 0x06]));
  assert.ok(end >= 0, 'end of central directory');
  const count = buffer.readUInt16LE(end + 10);
  let at = buffer.readUInt32LE(end + 16);
  const entries = [];
  for (let i = 0; i < count; i++) {
    assert.equal(buffer.readUInt32LE(at), 0x02014b50);
    const method = buffer.readUInt16LE(at + 10);
    const crc = buffer.readUInt32LE(at + 16);
    const compressed = buffer.readUInt32LE(at + 20);
    const nameLength = buffer.readUInt16LE(at + 28);
    const extraLength = buffer.readUInt16LE(at + 30);
    const commentLength = buffer.readUInt16LE(at + 32);
    const mode = buffer.readUInt32LE(at + 38) >>> 16;
    const local = buffer.readUInt32LE(at + 42);
    const name = buffer.toString('utf8', at + 46, at + 46 + nameLength);
    const dataStart = local + 30 + buffer.readUInt16LE(local + 26) + buffer.readUInt16LE(local + 28);
    const raw = buffer.subarray(dataStart, dataStart + compressed);
    const data = method === 8 ? zlib.inflateRawSync(raw) : raw;
    entries.push({ name, mode, data, crcOk: zlib.crc32(data) === crc });
    at += 46 + nameLength + extraLength + commentLength;
  }
  return entries;
}

describe('update package', () => {
  let server;
  let packageDir;
  let otherDir;

  before(async () => {
    const root = fs.mkdtempSync(path.join(os.tmpdir(), 'tarnex-package-test-'));
    packageDir = path.join(root, 'package');
    fs.mkdirSync(path.join(packageDir, 'emojis'), { recursive: true });
    fs.writeFileSync(path.join(packageDir, 'tarnex'), '#!/bin/sh\necho new\n', { mode: 0o755 });
    fs.writeFileSync(path.join(packageDir, 'emojis', 'faces.ini'), 'x'.repeat(5000));
    fs.symlinkSync('emojis/faces.ini', path.join(packageDir, 'faces-link'));
    otherDir = path.join(root, 'other');
    fs.mkdirSync(otherDir);
    fs.writeFileSync(path.join(otherDir, 'only.txt'), 'other\n');
    server = await startServer(['--test-hooks', '--feed-version', '5.0.1.0', '--package-dir', packageDir]);
  });
  after(() => server.stop());
  beforeEach(() => hook(server, 'reset'));

  async function packageUrl() {
    const feed = JSON.parse((await (await fetch(server.base + FEED)).text()).replace(/[\n\t ]/g, ''));
    return feed.url;
  }

  it('serves the folder as the archive the feed points to, modes and links kept', async () => {
    const url = await packageUrl();
    assert.ok(url.endsWith('/tarnex10pack/client/packages/tarnex-5.0.1.0.zip'));
    const reply = await download(url);
    assert.equal(reply.status, 200);
    assert.equal(Number(reply.headers['content-length']), reply.body.length);
    const entries = readZip(reply.body);
    assert.deepEqual(entries.map((e) => e.name), ['emojis/', 'emojis/faces.ini', 'faces-link', 'tarnex']);
    assert.ok(entries.every((e) => e.crcOk));
    const byName = Object.fromEntries(entries.map((e) => [e.name, e]));
    assert.equal(byName.tarnex.mode, 0o100755);
    assert.equal(byName['faces-link'].mode & 0o170000, 0o120000);
    assert.equal(byName['faces-link'].data.toString(), 'emojis/faces.ini');
    assert.equal(byName['emojis/faces.ini'].data.toString(), 'x'.repeat(5000));
  });

  it('describes the package by a signed manifest, or breaks it on request', async () => {
    const crypto = require('node:crypto');
    const raw = Buffer.from((await hook(server, 'release-key')).body.publicKey, 'base64');
    const publicKey = crypto.createPublicKey({ key: Buffer.concat([Buffer.from('302a300506032b6570032100', 'hex'), raw]), format: 'der', type: 'spki' });
    const feedOf = async () => JSON.parse((await (await fetch(server.base + FEED)).text()).replace(/[\n\t ]/g, ''));
    const verifies = (feed) => crypto.verify(null, Buffer.from(feed.manifest, 'base64'), publicKey, Buffer.from(feed.signature, 'base64'));
    const feed = await feedOf();
    const body = (await download(feed.url)).body;
    const manifest = JSON.parse(Buffer.from(feed.manifest, 'base64'));
    assert.deepEqual(manifest, { product: 'tarnex', platform: { win32: 'win', darwin: 'mac' }[process.platform] || 'linux', version: '5.0.1.0', name: feed.name, size: body.length, sha256: crypto.createHash('sha256').update(body).digest('hex') });
    assert.ok(verifies(feed));

    for (const integrity of ['bad-signature', 'tampered-manifest', 'wrong-key']) {
      await hook(server, 'feed', { integrity });
      assert.ok(!verifies(await feedOf()), integrity);
    }
    await hook(server, 'feed', { integrity: 'unsigned' });
    assert.equal((await feedOf()).signature, undefined);
    await hook(server, 'feed', { integrity: 'none' });
    assert.equal((await feedOf()).manifest, undefined);
    await hook(server, 'feed', { integrity: 'signed', manifestVersion: '5.0.0.3', manifestPlatform: 'mac' });
    const replayed = await feedOf();
    assert.ok(verifies(replayed));
    assert.equal(replayed.version, '5.0.1.0');
    assert.deepEqual([JSON.parse(Buffer.from(replayed.manifest, 'base64')).version, JSON.parse(Buffer.from(replayed.manifest, 'base64')).platform], ['5.0.0.3', 'mac']);
    await hook(server, 'package', { mode: 'tampered' });
    const tampered = (await download(feed.url)).body;
    assert.ok(readZip(tampered).some((e) => e.name === 'planted.txt'));
  });

  it('serves the rest of the package from a byte offset, unless told to ignore ranges', async () => {
    const url = await packageUrl();
    const whole = (await download(url)).body;
    const rest = await download(url, { Range: 'bytes=100-' });
    assert.equal(rest.status, 206);
    assert.equal(rest.headers['content-range'], `bytes 100-${whole.length - 1}/${whole.length}`);
    assert.deepEqual(rest.body, whole.subarray(100));
    await hook(server, 'package', { mode: 'interrupted' });
    assert.ok(!(await download(url)).complete);
    assert.deepEqual((await download(url, { Range: 'bytes=100-' })).body, whole.subarray(100));
    assert.deepEqual((await hook(server, 'package-requests')).body.requests, ['', 'bytes=100-']);
    await hook(server, 'package', { mode: 'norange' });
    const ignored = await download(url, { Range: 'bytes=100-' });
    assert.equal(ignored.status, 200);
    assert.deepEqual(ignored.body, whole);
  });

  it('sends the body without a length, in the same bytes', async () => {
    const whole = (await download(await packageUrl())).body;
    await hook(server, 'package', { mode: 'nolength' });
    const reply = await download(await packageUrl());
    assert.equal(reply.headers['content-length'], undefined);
    assert.ok(reply.complete);
    assert.deepEqual(reply.body, whole);
  });

  it('drops the connection halfway through a truncated body', async () => {
    await hook(server, 'package', { mode: 'truncated' });
    const reply = await download(await packageUrl());
    assert.ok(!reply.complete);
    assert.ok(reply.body.length < Number(reply.headers['content-length']));
  });

  it('offers hostile entries and broken checksums on request', async () => {
    await hook(server, 'package', { mode: 'hostile', absPath: '/tmp/somewhere/abs.txt' });
    const names = readZip((await download(await packageUrl())).body).map((e) => e.name);
    for (const name of ['../escaped-dotdot.txt', '..\\escaped-backslash.txt', '/tmp/somewhere/abs.txt', 'escape-link', 'escape-link/escaped-through-link.txt']) {
      assert.ok(names.includes(name), name);
    }

    await hook(server, 'package', { mode: 'corrupt' });
    const entries = readZip((await download(await packageUrl())).body);
    assert.ok(entries.filter((e) => !e.name.endsWith('/')).every((e) => !e.crcOk));

    await hook(server, 'package', { mode: 'missing' });
    assert.equal((await download(await packageUrl())).status, 404);
  });

  it('rebuilds from another folder until reset, and refuses bad hook input', async () => {
    assert.equal((await hook(server, 'package', { dir: otherDir })).status, 200);
    assert.deepEqual(readZip((await download(await packageUrl())).body).map((e) => e.name), ['only.txt']);
    await hook(server, 'reset');
    assert.ok(readZip((await download(await packageUrl())).body).some((e) => e.name === 'tarnex'));

    assert.equal((await hook(server, 'package', { mode: 'bogus' })).status, 400);
    assert.equal((await hook(server, 'package', { dir: path.join(otherDir, 'nope') })).status, 400);
    assert.equal((await hook(server, 'package', { absPath: 'relative.txt' })).status, 400);
  });
});

describe('release signing tool', () => {
  it('writes a manifest of the package and a signature over its exact bytes', () => {
    const crypto = require('node:crypto');
    const { execFileSync } = require('node:child_process');
    const root = fs.mkdtempSync(path.join(os.tmpdir(), 'tarnex-sign-'));
    try {
      const key = path.join(root, 'key.pem');
      const pkg = path.join(root, 'tarnex-5.0.1.0.zip');
      const tool = path.join(__dirname, '..', '..', 'scripts', 'sign-package');
      execFileSync(tool, ['--new-key', key]);
      assert.equal(fs.statSync(key).mode & 0o777, 0o600);
      fs.writeFileSync(pkg, crypto.randomBytes(100000));
      const fields = JSON.parse(execFileSync(tool, [key, pkg, '5.0.1.0', 'win']).toString());
      const manifest = fs.readFileSync(`${pkg}.manifest`);
      assert.deepEqual(Buffer.from(fields.manifest, 'base64'), manifest);
      assert.equal(fs.readFileSync(`${pkg}.manifest.sig`, 'utf8'), fields.signature);
      const { manifestBytes } = require(path.join(SERVER_DIR, 'routes', 'update.js'));
      const expected = { product: 'tarnex', platform: 'win', version: '5.0.1.0', name: 'tarnex-5.0.1.0.zip', size: 100000, sha256: crypto.createHash('sha256').update(fs.readFileSync(pkg)).digest('hex') };
      // The same bytes as the reference server's feed, so both verify alike.
      assert.deepEqual(manifest, manifestBytes(expected));
      const raw = Buffer.from(execFileSync(tool, ['--public', key]).toString().trim(), 'base64');
      assert.equal(raw.length, 32);
      const publicKey = crypto.createPublicKey({ key: Buffer.concat([Buffer.from('302a300506032b6570032100', 'hex'), raw]), format: 'der', type: 'spki' });
      assert.ok(crypto.verify(null, manifest, publicKey, Buffer.from(fields.signature, 'base64')));
      assert.throws(() => execFileSync(tool, [key, pkg, '5.0.1.0', 'solaris'], { stdio: 'ignore' }));
    } finally {
      fs.rmSync(root, { recursive: true, force: true });
    }
  });
});

describe('update package without a folder', () => {
  it('carries the release notes only', async () => {
    const server = await startServer(['--feed-version', '5.0.1.0']);
    try {
      const feed = JSON.parse((await (await fetch(server.base + FEED)).text()).replace(/[\n\t ]/g, ''));
      const entries = readZip((await download(feed.url)).body);
      assert.deepEqual(entries.map((e) => e.name), ['whatsnew.txt']);
      assert.ok(entries[0].crcOk);
    } finally {
      await server.stop();
    }
  });

  it('refuses to start on a folder that does not exist', async () => {
    await assert.rejects(startServer(['--package-dir', path.join(os.tmpdir(), 'tarnex-no-such-folder')]), (err) => err.code !== 0);
  });
});
