// Attachments: the chunked chat-file upload and the multipart picture upload (both on
// api/attachment/upload), the mobile Base64 picture upload, and the download of an attachment.
'use strict';

const fs = require('fs');
const { ok, fail, sendJson, sendText } = require('../lib/router');
const { registerHook, HookError } = require('../lib/hooks');
const { AttachmentStore, UploadError, parseMultipart } = require('../lib/files');

// upload: normal | fail-chunk (chunk `failChunk` answered with HTTP `failStatus`) |
//         last-garbage (the last reply is no JSON) | last-status0 (the last reply refuses) |
//         hold (every chunk is taken in and left unanswered until reset)
// mobile: normal | status0 | garbage | empty-data | silent (never answers until reset)
// download: normal | nolength (no Content-Length) | midway (half the body, then the connection
//           drops) | stall (half the body, then silence until reset) | error (HTTP 500 with an
//           error page)
const UPLOAD_MODES = ['normal', 'fail-chunk', 'last-garbage', 'last-status0', 'hold'];
const MOBILE_MODES = ['normal', 'status0', 'garbage', 'empty-data', 'silent'];
const DOWNLOAD_MODES = ['normal', 'nolength', 'midway', 'stall', 'error'];

function defaultBehaviour() {
  return { upload: 'normal', failChunk: 1, failStatus: 500, mobile: 'normal', download: 'normal' };
}

// The user of the request's Bearer header or api_token query, or null.
function requester(ctx, store) {
  const m = /^Bearer\s+(\S+)$/i.exec(String(ctx.headers.authorization || ''));
  return store.userForToken(m ? m[1] : ctx.query.api_token);
}

function register(router, app) {
  const attachments = new AttachmentStore();
  const behaviour = defaultBehaviour();
  // What the upload endpoints received, without the file bytes.
  const log = [];
  app.attachments = attachments;

  const resetControls = app.controls.reset.bind(app.controls);
  app.controls.reset = () => {
    resetControls();
    Object.assign(behaviour, defaultBehaviour());
    log.length = 0;
    attachments.dropSessions();
  };
  const closeApp = app.close;
  app.close = () => {
    closeApp();
    attachments.close();
  };

  function note(ctx, road, extra) {
    log.push({
      road,
      query: ctx.query,
      authorization: ctx.headers.authorization || '',
      contentType: ctx.headers['content-type'] || '',
      userAgent: ctx.headers['user-agent'] || '',
      bytes: ctx.rawBody.length,
      ...extra,
    });
  }

  function chunkUpload(ctx, user) {
    const chunk = Number(ctx.query.chunk);
    const chunks = Number(ctx.query.chunks);
    const name = ctx.query.name || '';
    note(ctx, 'chunk', { chunk, chunks, name });
    if (behaviour.upload === 'hold') {
      // Counted once the body is in, so a test knows the upload is under way.
      app.filesHeldUploads += 1;
      return app.controls.hold(ctx.res);
    }
    if (behaviour.upload === 'fail-chunk' && chunk === behaviour.failChunk) {
      return sendText(ctx.res, behaviour.failStatus, '<html><body>upload failed</body></html>', 'text/html; charset=utf-8');
    }
    const last = chunk === chunks - 1;
    if (last && behaviour.upload === 'last-garbage') return sendText(ctx.res, 200, '<html>not json</html>', 'text/html; charset=utf-8');
    if (last && behaviour.upload === 'last-status0') return fail(ctx.res, 'upload_refused', '文件保存失败');
    let item;
    try {
      item = attachments.acceptChunk(user.user_id, name, chunk, chunks, ctx.rawBody);
    } catch (err) {
      if (err instanceof UploadError) return fail(ctx.res, 'bad_chunk', err.message);
      throw err;
    }
    if (!item) return ok(ctx.res, { chunk, chunks });
    return ok(ctx.res, { chunk, chunks, attachment_id: item.id, name: item.name, size: item.size });
  }

  function multipartUpload(ctx, user) {
    let parts;
    try {
      parts = parseMultipart(ctx.rawBody, ctx.headers['content-type']);
    } catch (err) {
      note(ctx, 'multipart', { parts: [] });
      if (err instanceof UploadError) return fail(ctx.res, 'bad_multipart', err.message);
      throw err;
    }
    note(ctx, 'multipart', {
      parts: parts.map((p) => ({ headers: p.headers, name: p.name, fileName: p.fileName, bytes: p.data.length, text: p.fileName === null ? p.data.toString('utf8') : '' })),
    });
    const filePart = parts.find((p) => p.name === 'Filedata' || p.fileName !== null);
    if (!filePart) return fail(ctx.res, 'no_file', '没有收到文件');
    let name = filePart.fileName || '';
    const textPart = parts.find((p) => p.name === 'text');
    if (!name && textPart) {
      try {
        name = String(JSON.parse(textPart.data.toString('utf8')).name || '');
      } catch {
        name = '';
      }
    }
    const item = attachments.addBuffer(name || 'picture', filePart.data, user.user_id);
    return ok(ctx.res, { attachment_id: item.id, name: item.name, size: item.size });
  }

  router.api('POST', 'api/attachment/upload', (ctx) => {
    const user = requester(ctx, app.store);
    if (!user) {
      note(ctx, /multipart/i.test(ctx.headers['content-type'] || '') ? 'multipart' : 'chunk', {});
      return fail(ctx.res, 'unauthenticated', '登录已过期，请重新登录');
    }
    if (/multipart\/form-data/i.test(ctx.headers['content-type'] || '')) return multipartUpload(ctx, user);
    return chunkUpload(ctx, user);
  });

  // file_data: a JSON array of [name, extension, Base64] entries; the reply lists the stored
  // pictures' paths below api/attachment/index/.
  router.api('POST', 'api/mobile/file/upload', (ctx) => {
    const raw = ctx.form.file_data;
    note(ctx, 'mobile', { fileData: raw === undefined ? null : raw.length > 4096 ? `${raw.slice(0, 4096)}…` : raw });
    const user = requester(ctx, app.store);
    if (!user) return fail(ctx.res, 'unauthenticated', '登录已过期，请重新登录');
    if (behaviour.mobile === 'silent') return app.controls.hold(ctx.res);
    if (behaviour.mobile === 'garbage') return sendText(ctx.res, 200, '<html>not json</html>', 'text/html; charset=utf-8');
    if (behaviour.mobile === 'status0') return fail(ctx.res, 'upload_refused', '图片保存失败');
    let entries;
    try {
      entries = JSON.parse(raw);
    } catch {
      return fail(ctx.res, 'bad_file_data', 'file_data 不是 JSON');
    }
    if (!Array.isArray(entries)) return fail(ctx.res, 'bad_file_data', 'file_data 须为数组');
    const paths = [];
    for (const entry of entries) {
      if (!Array.isArray(entry) || entry.length < 3 || typeof entry[2] !== 'string') return fail(ctx.res, 'bad_file_data', '图片条目格式错误');
      const base = String(entry[0]);
      const extension = String(entry[1]);
      const name = extension ? `${base}.${extension}` : base;
      paths.push(attachments.addBuffer(name, Buffer.from(entry[2], 'base64'), user.user_id).id);
    }
    return ok(ctx.res, behaviour.mobile === 'empty-data' ? [] : paths);
  });

  router.api('GET', /^api\/attachment\/index\/([^/]+)$/, (ctx) => {
    app.filesDownloads.push({ id: ctx.params[0], query: ctx.query });
    const item = attachments.get(ctx.params[0]);
    if (!requester(ctx, app.store)) return fail(ctx.res, 'unauthenticated', '登录已过期，请重新登录', 401);
    if (!item) return fail(ctx.res, 'not_found', '附件不存在', 404);
    const { res } = ctx;
    if (behaviour.download === 'error') {
      return sendText(res, 500, '<html><body><h1>500 Internal Server Error</h1></body></html>', 'text/html; charset=utf-8');
    }
    const download = ctx.query.operate === 'download';
    const headers = {
      'Content-Type': item.type,
      'Content-Disposition': `${download ? 'attachment' : 'inline'}; filename*=UTF-8''${encodeURIComponent(item.name)}`,
    };
    if (behaviour.download !== 'nolength') headers['Content-Length'] = item.size;
    res.writeHead(200, headers);
    if (ctx.method === 'HEAD') return res.end();
    if (behaviour.download === 'midway' || behaviour.download === 'stall') {
      const half = Math.floor(item.size / 2);
      if (half === 0) return res.destroy();
      const stream = fs.createReadStream(item.file, { start: 0, end: half - 1 });
      stream.on('data', (piece) => res.write(piece));
      if (behaviour.download === 'stall') {
        // Counted once the half has left, so a test knows the transfer is under way.
        stream.on('end', () => res.write('', () => (app.filesStalled += 1)));
        return app.controls.hold(res);
      }
      // Let the half reach the client before the connection drops.
      stream.on('end', () => setTimeout(() => res.destroy(), 100));
      return undefined;
    }
    const stream = fs.createReadStream(item.file, { highWaterMark: 1024 * 1024 });
    stream.on('error', () => res.destroy());
    res.on('close', () => stream.destroy());
    stream.pipe(res);
    return undefined;
  });

  registerHook('files', (body, hookApp) => {
    const target = hookApp.filesBehaviour;
    const pick = (key, modes) => {
      if (body[key] === undefined) return;
      if (!modes.includes(body[key])) throw new HookError(`${key} must be one of ${modes.join(', ')}`);
      target[key] = body[key];
    };
    pick('upload', UPLOAD_MODES);
    pick('mobile', MOBILE_MODES);
    pick('download', DOWNLOAD_MODES);
    for (const key of ['failChunk', 'failStatus']) {
      if (body[key] === undefined) continue;
      const value = Number(body[key]);
      if (!Number.isInteger(value) || value < 0) throw new HookError(`${key} must be a non-negative integer`);
      target[key] = value;
    }
    return { ok: true, files: { ...target } };
  });

  // Creates an attachment: `text` as its content, or `size` bytes of a fixed pattern.
  registerHook('files-create', (body, hookApp) => {
    const name = body.name === undefined ? 'file.bin' : String(body.name);
    let item;
    if (body.text !== undefined) item = hookApp.attachments.addBuffer(name, Buffer.from(String(body.text), 'utf8'), '');
    else {
      const size = Number(body.size);
      if (!Number.isInteger(size) || size < 0) throw new HookError('size must be a non-negative integer');
      item = hookApp.attachments.addPattern(name, size);
    }
    return { ok: true, attachment_id: item.id, name: item.name, size: item.size };
  });

  registerHook('files-info', (body, hookApp) => {
    const item = hookApp.attachments.get(body.id);
    if (!item) return { ok: false };
    const info = { ok: true, attachment_id: item.id, name: item.name, size: item.size, type: item.type, user: item.user };
    if (body.sha256) info.sha256 = hookApp.attachments.sha256(item);
    if (body.text) info.text = fs.readFileSync(item.file).toString('utf8');
    return info;
  });

  registerHook('files-requests', (body, hookApp) => {
    const requests = hookApp.filesLog.slice();
    if (body.clear) hookApp.filesLog.length = 0;
    return { ok: true, requests };
  });

  // The attachment ids the download route was asked for (decoded), with their queries.
  registerHook('files-downloads', (body, hookApp) => ({ ok: true, downloads: hookApp.filesDownloads.slice() }));

  // How many stalled downloads have sent their half and fallen silent, and how many chunks
  // wait for an answer that does not come.
  registerHook('files-stalled', (body, hookApp) => ({ ok: true, stalled: hookApp.filesStalled, heldUploads: hookApp.filesHeldUploads }));

  registerHook('files-reset', (body, hookApp) => {
    Object.assign(hookApp.filesBehaviour, defaultBehaviour());
    hookApp.filesLog.length = 0;
    hookApp.attachments.dropSessions();
    hookApp.controls.releaseHeld();
    hookApp.filesStalled = 0;
    hookApp.filesHeldUploads = 0;
    hookApp.filesDownloads.length = 0;
    return { ok: true };
  });

  app.filesBehaviour = behaviour;
  app.filesStalled = 0;
  app.filesHeldUploads = 0;
  app.filesDownloads = [];
  app.filesLog = log;
}

module.exports = { register };
