// The update feed the client checks at start-up and from its version dialog, and the package
// archive the feed points to.
'use strict';

const crypto = require('crypto');
const fs = require('fs');
const { sendText, sendJson } = require('../lib/router');
const { registerHook, HookError } = require('../lib/hooks');
const { buildZip, folderEntries, S_IFLNK } = require('../lib/zip');

const FEED_PATH = '/tarnex10pack/client/client.php';
const PACKAGE_PATH = '/tarnex10pack/client/packages/';
const PACKAGE_ROUTE = /^\/tarnex10pack\/client\/packages\/([^/]+\.zip)$/;

// normal: whole archive with its length, byte ranges honoured; nolength: chunked, no length;
// truncated: every reply sends half of what it would, then the connection drops; interrupted:
// a reply to a request without a range does so, ranges are served whole; norange: as
// interrupted, but ranges are ignored (the whole archive again); oversize: the
// archive followed by endless filler, chunked; stall: half the bytes, then silence; hostile:
// entries that try to leave the installation; corrupt: wrong checksums; missing: 404; tampered: a
// sound archive, but not the one the manifest describes.
const PACKAGE_MODES = ['normal', 'nolength', 'truncated', 'interrupted', 'norange', 'oversize', 'stall', 'hostile', 'corrupt', 'missing', 'tampered'];

// signed: manifest and its Ed25519 signature | none: neither (as older feeds) | unsigned: the
// manifest only | bad-signature: one bit flipped | tampered-manifest: the manifest changed after
// signing | wrong-key: signed by a key nobody trusts | malformed: signed bytes that are no manifest
const INTEGRITY_MODES = ['signed', 'none', 'unsigned', 'bad-signature', 'tampered-manifest', 'wrong-key', 'malformed'];

// The release key: the file given with --release-key (the build's test key), else a key pair made
// at start-up, whose public half the `release-key` hook tells.
function releaseKey(app) {
  if (!app.releaseKey) {
    app.releaseKey = app.options.releaseKey
      ? crypto.createPrivateKey(fs.readFileSync(app.options.releaseKey))
      : crypto.generateKeyPairSync('ed25519').privateKey;
  }
  return app.releaseKey;
}

function rawPublicKey(privateKey) {
  return crypto.createPublicKey(privateKey).export({ format: 'der', type: 'spki' }).subarray(-32);
}

// The manifest's exact bytes, as scripts/sign-package writes them.
function manifestBytes(fields) {
  const { product, platform, version, name, size, sha256 } = fields;
  return Buffer.from(JSON.stringify({ product, platform, version, name, size, sha256 }));
}

function integrityFields(app, archive, name, platform) {
  const { integrity, version, manifestVersion, manifestPlatform } = app.controls.feed;
  if (integrity === 'none' || !archive) return {};
  const fields = {
    product: 'tarnex',
    platform: manifestPlatform || platform,
    version: manifestVersion || version,
    name,
    size: archive.length,
    sha256: crypto.createHash('sha256').update(archive).digest('hex'),
  };
  let manifest = integrity === 'malformed' ? Buffer.from('["tarnex"]') : manifestBytes(fields);
  if (integrity === 'unsigned') return { manifest: manifest.toString('base64') };
  const key = integrity === 'wrong-key' ? crypto.generateKeyPairSync('ed25519').privateKey : releaseKey(app);
  const signature = crypto.sign(null, manifest, key);
  if (integrity === 'bad-signature') signature[0] ^= 1;
  if (integrity === 'tampered-manifest') manifest = manifestBytes({ ...fields, size: fields.size + 1 });
  return { manifest: manifest.toString('base64'), signature: signature.toString('base64') };
}

// The platform of the machine the server runs on, named as the client names its own.
const HOST_PLATFORM = { win32: 'win', darwin: 'mac' }[process.platform] || 'linux';

function feedDocument(app, platform = HOST_PLATFORM) {
  const { version, description } = app.controls.feed;
  const name = `tarnex-${version}.zip`;
  const archive = app.updatePackage ? app.updatePackage.archive : null;
  return { version, description, url: `${app.baseUrl()}${PACKAGE_PATH}${name}`, name, ...integrityFields(app, archive, name, platform) };
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
    requests: [],
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
    pkg.requests = [];
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
    const range = /^bytes=(\d+)-$/.exec(ctx.headers.range || '');
    pkg.requests.push(ctx.headers.range || '');
    if (pkg.mode === 'missing') return sendJson(res, 404, { error: 'no such package' });
    if (pkg.mode === 'hostile') body = hostileArchive(pkg.hostileAbsPath);
    if (pkg.mode === 'corrupt') body = buildZip(packageEntries(pkg.dir, controls.feed.description), { breakCrc: true });
    if (pkg.mode === 'tampered') body = buildZip([...packageEntries(pkg.dir, controls.feed.description), { name: 'planted.txt', data: 'planted\n' }]);
    const headers = { 'Content-Type': 'application/zip' };

    if (pkg.mode === 'nolength' || pkg.mode === 'oversize') {
      res.writeHead(200, headers);
      if (head) return res.end();
      // Several chunks, so the client sees progress without a total.
      const step = Math.max(1, Math.ceil(body.length / 4));
      for (let at = 0; at < body.length; at += step) res.write(body.subarray(at, at + step));
      if (pkg.mode === 'nolength') return res.end();
      // Filler until the client hangs up (or a bound far past any package here).
      const filler = Buffer.alloc(64 * 1024, 0x5a);
      let sent = 0;
      const pump = () => {
        while (sent < 256 * 1024 * 1024 && !res.destroyed) {
          sent += filler.length;
          if (!res.write(filler)) return res.once('drain', pump);
        }
        return res.end();
      };
      return pump();
    }

    let from = 0;
    if (range && pkg.mode !== 'norange' && Number(range[1]) < body.length) {
      from = Number(range[1]);
      res.writeHead(206, { ...headers, 'Content-Length': body.length - from, 'Content-Range': `bytes ${from}-${body.length - 1}/${body.length}`, 'Accept-Ranges': 'bytes' });
    } else {
      res.writeHead(200, { ...headers, 'Content-Length': body.length, 'Accept-Ranges': pkg.mode === 'norange' ? 'none' : 'bytes' });
    }
    if (head) return res.end();
    const part = body.subarray(from);
    const cut = pkg.mode === 'truncated' || pkg.mode === 'stall' || ((pkg.mode === 'interrupted' || pkg.mode === 'norange') && !range);
    if (cut) {
      // A stalled package is counted once its half has left (for tests).
      res.write(part.subarray(0, Math.floor(part.length / 2)), () => {
        if (pkg.mode === 'stall') pkg.stalled += 1;
      });
      if (pkg.mode === 'stall') return controls.hold(res);
      // Let the half reach the client before the connection drops.
      return setTimeout(() => res.destroy(), 100);
    }
    return res.end(part);
  });

  // The Range header of every package request since the last reset or mode change ('' for none).
  registerHook('package-requests', (body, hookApp) => ({ ok: true, requests: hookApp.updatePackage.requests }));
  registerHook('release-key', (body, hookApp) => ({ ok: true, publicKey: rawPublicKey(releaseKey(hookApp)).toString('base64') }));

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
    target.requests = [];
    return { ok: true, package: { mode: target.mode, dir: target.dir, bytes: target.archive.length } };
  });
}

module.exports = { register, feedDocument, manifestBytes, FEED_PATH, PACKAGE_PATH, INTEGRITY_MODES };
