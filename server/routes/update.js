// The update feed the client checks at start-up and from its version dialog, and the package
// archive the feed points to.
'use strict';

const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const { sendText, sendJson } = require('../lib/router');
const { registerHook, HookError } = require('../lib/hooks');
const { buildZip, folderEntries, S_IFLNK } = require('../lib/zip');

const FEED_PATH = '/tarnex10pack/client/client.php';
const PACKAGE_PATH = '/tarnex10pack/client/packages/';
const PACKAGE_ROUTE = /^\/tarnex10pack\/client\/packages\/([^/]+\.zip)$/;

// normal: whole archive with its length; nolength: chunked, no length; truncated: the length
// of the whole, half the bytes, then the connection drops; stall: half the bytes, then silence;
// hostile: entries that try to leave the installation; corrupt: wrong checksums; missing: 404;
// tampered: a sound archive, but not the one the feed describes.
const PACKAGE_MODES = ['normal', 'nolength', 'truncated', 'stall', 'hostile', 'corrupt', 'missing', 'tampered'];

// The test key signs every package this server serves (see keys/README.md).
const TEST_KEY = crypto.createPrivateKey(fs.readFileSync(path.join(__dirname, '..', 'keys', 'test-release-key.pem')));

// signed: sha256 and an Ed25519 signature over the raw digest | none: neither (as older feeds) |
// unsigned: the digest only | wrong-digest: another digest | bad-signature: one bit flipped
const INTEGRITY_MODES = ['signed', 'none', 'unsigned', 'wrong-digest', 'bad-signature'];

function integrityFields(archive, mode) {
  if (mode === 'none' || !archive) return {};
  const digest = crypto.createHash('sha256').update(archive).digest();
  const fields = { sha256: digest.toString('hex') };
  if (mode === 'wrong-digest') fields.sha256 = crypto.createHash('sha256').update('another package').digest('hex');
  if (mode === 'unsigned') return fields;
  const signature = crypto.sign(null, digest, TEST_KEY);
  if (mode === 'bad-signature') signature[0] ^= 1;
  fields.signature = signature.toString('base64');
  return fields;
}

function feedDocument(app) {
  const { version, description, integrity } = app.controls.feed;
  const name = `tarnex-${version}.zip`;
  const archive = app.updatePackage ? app.updatePackage.archive : null;
  return { version, description, url: `${app.baseUrl()}${PACKAGE_PATH}${name}`, name, ...integrityFields(archive, integrity || 'signed') };
}

// Pretty-printed on purpose: the client strips line feeds, tabs and spaces before parsing.
function sendFeed(ctx, app) {
  sendText(ctx.res, 200, `${JSON.stringify(feedDocument(app), null, 4)}\n`, 'application/json; charset=utf-8');
}

// Without a folder the package carries only its release notes.
function packageEntries(dir, description) {
  if (dir) {
    if (!fs.existsSync(dir) || !fs.statSync(dir).isDirectory()) throw new Error(`package folder "${dir}" is not a folder`);
    return folderEntries(dir);
  }
  return [{ name: 'whatsnew.txt', data: `${description.join('\n')}\n` }];
}

// Every way out of the installation an archive can try, next to one harmless file.
function hostileArchive(absPath) {
  return buildZip([
    { name: 'inside.txt', data: 'harmless\n' },
    { name: '../escaped-dotdot.txt', data: 'escaped\n' },
    { name: 'sub/../../escaped-nested.txt', data: 'escaped\n' },
    { name: '..\\escaped-backslash.txt', data: 'escaped\n' },
    { name: absPath, data: 'escaped\n' },
    { name: 'escape-link', data: '../..', mode: S_IFLNK | 0o777, method: 'store' },
    { name: 'escape-link/escaped-through-link.txt', data: 'escaped\n' },
  ]);
}

function register(router, app) {
  const { controls } = app;
  const startDir = app.options.packageDir || '';

  const pkg = {
    mode: 'normal',
    dir: startDir,
    hostileAbsPath: '/tmp/tarnex-hostile-absolute.txt',
    archive: null,
    stalled: 0,
    // Built at start-up, so a missing or unreadable folder stops the server right away.
    build() {
      this.archive = buildZip(packageEntries(this.dir, controls.feed.description));
    },
  };
  pkg.build();
  app.updatePackage = pkg;

  // `reset` restores the package too; the shared controls know nothing of it.
  const resetControls = controls.reset.bind(controls);
  controls.reset = () => {
    resetControls();
    pkg.mode = 'normal';
    pkg.stalled = 0;
    pkg.hostileAbsPath = '/tmp/tarnex-hostile-absolute.txt';
    if (pkg.dir !== startDir) {
      pkg.dir = startDir;
      pkg.build();
    }
  };

  router.get(FEED_PATH, (ctx) => {
    const feed = controls.feed;
    switch (feed.mode) {
      case 'raw':
        return sendText(ctx.res, 200, feed.body, 'application/json; charset=utf-8');
      case 'empty':
        return sendText(ctx.res, 200, '', 'application/json; charset=utf-8');
      case 'silent':
        // Accept the request and never answer: the client's time limit must end the wait.
        return controls.hold(ctx.res);
      case 'slow': {
        controls.hold(ctx.res);
        const timer = setTimeout(() => sendFeed(ctx, app), feed.delayMs);
        ctx.res.on('close', () => clearTimeout(timer));
        return undefined;
      }
      default:
        return sendFeed(ctx, app);
    }
  });

  router.get(PACKAGE_ROUTE, (ctx) => {
    const { res } = ctx;
    const head = ctx.method === 'HEAD';
    let body = pkg.archive;
    if (pkg.mode === 'missing') return sendJson(res, 404, { error: 'no such package' });
    if (pkg.mode === 'hostile') body = hostileArchive(pkg.hostileAbsPath);
    if (pkg.mode === 'corrupt') body = buildZip(packageEntries(pkg.dir, controls.feed.description), { breakCrc: true });
    if (pkg.mode === 'tampered') body = buildZip([...packageEntries(pkg.dir, controls.feed.description), { name: 'planted.txt', data: 'planted\n' }]);
    const headers = { 'Content-Type': 'application/zip' };

    if (pkg.mode === 'nolength') {
      res.writeHead(200, headers);
      if (head) return res.end();
      // Several chunks, so the client sees progress without a total.
      const step = Math.max(1, Math.ceil(body.length / 4));
      for (let at = 0; at < body.length; at += step) res.write(body.subarray(at, at + step));
      return res.end();
    }

    res.writeHead(200, { ...headers, 'Content-Length': body.length });
    if (head) return res.end();
    if (pkg.mode === 'truncated' || pkg.mode === 'stall') {
      // A stalled package is counted once its half has left (for tests).
      res.write(body.subarray(0, Math.floor(body.length / 2)), () => {
        if (pkg.mode === 'stall') pkg.stalled += 1;
      });
      if (pkg.mode === 'stall') return controls.hold(res);
      // Let the half reach the client before the connection drops.
      return setTimeout(() => res.destroy(), 100);
    }
    return res.end(body);
  });

  registerHook('package-stalled', (body, hookApp) => ({ ok: true, stalled: hookApp.updatePackage.stalled }));

  // Hooks are process-wide; each acts on the package of the app it is called for.
  registerHook('package', (body, hookApp) => {
    const target = hookApp.updatePackage;
    const mode = body.mode === undefined ? 'normal' : body.mode;
    if (!PACKAGE_MODES.includes(mode)) throw new HookError(`mode must be one of ${PACKAGE_MODES.join(', ')}`);
    if (body.absPath !== undefined) {
      if (typeof body.absPath !== 'string' || !body.absPath.startsWith('/')) throw new HookError('absPath must be an absolute path');
      target.hostileAbsPath = body.absPath;
    }
    if (body.dir !== undefined) {
      const previous = target.dir;
      target.dir = String(body.dir);
      try {
        target.build();
      } catch (err) {
        target.dir = previous;
        throw new HookError(err.message);
      }
    }
    target.mode = mode;
    return { ok: true, package: { mode: target.mode, dir: target.dir, bytes: target.archive.length } };
  });
}

module.exports = { register, feedDocument, FEED_PATH, PACKAGE_PATH, INTEGRITY_MODES };
