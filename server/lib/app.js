// The HTTP side of the server: reads each request, remembers it for the tests, dispatches it.
'use strict';

const fs = require('fs');
const http = require('http');
const https = require('https');
const { Router, fail, sendJson } = require('./router');
const { Store } = require('./store');
const { Controls } = require('./controls');
const { isHookPath, handleHook } = require('./hooks');
const messaging = require('./messaging');

const path = require('path');

// Every module in routes/ registers its endpoints (and any hooks of its own); a new subsystem
// only adds a file there.
const ROUTES_DIR = path.join(__dirname, '..', 'routes');
const ROUTE_MODULES = fs
  .readdirSync(ROUTES_DIR)
  .filter((name) => name.endsWith('.js'))
  .sort()
  .map((name) => require(path.join(ROUTES_DIR, name)));

// Large enough for the chunked uploads that come later; anything bigger is refused.
const MAX_BODY_BYTES = 64 * 1024 * 1024;

function parseForm(body, contentType) {
  if (body === '' || /json|multipart/i.test(contentType || '')) return {};
  const form = {};
  for (const [name, value] of new URLSearchParams(body)) form[name] = value;
  return form;
}

function readBody(req) {
  return new Promise((resolve, reject) => {
    const chunks = [];
    let size = 0;
    req.on('data', (chunk) => {
      size += chunk.length;
      if (size > MAX_BODY_BYTES) {
        reject(Object.assign(new Error('request body too large'), { httpStatus: 413 }));
        req.destroy();
        return;
      }
      chunks.push(chunk);
    });
    req.on('end', () => resolve(Buffer.concat(chunks)));
    req.on('error', reject);
  });
}

function createApp(options) {
  const store = new Store();
  const controls = new Controls(options);
  const router = new Router();
  const app = {
    options,
    store,
    controls,
    router,
    port: 0,
    // The address clients use to reach this server; known once it listens.
    baseUrl: () => `${app.scheme}://127.0.0.1:${app.port}`,
    // https when started with a certificate and its key; the socket.io link is then wss.
    scheme: options.tlsCert ? 'https' : 'http',
  };
  for (const mod of ROUTE_MODULES) mod.register(router, app);

  async function handle(req, res) {
    const url = new URL(req.url, 'http://127.0.0.1');
    let raw;
    try {
      raw = await readBody(req);
    } catch (err) {
      return fail(res, 'body_too_large', '请求内容过大', err.httpStatus || 400);
    }
    const body = raw.toString('utf8');
    const ctx = {
      req,
      res,
      method: req.method,
      path: url.pathname,
      query: Object.fromEntries(url.searchParams),
      headers: req.headers,
      rawBody: raw,
      body,
      form: parseForm(body, req.headers['content-type']),
      params: [],
    };

    if (isHookPath(ctx.path)) {
      if (!options.testHooks) return fail(res, 'not_found', '接口不存在', 404);
      return handleHook(ctx, app);
    }
    controls.lastRequest = {
      method: ctx.method,
      path: ctx.path,
      query: ctx.query,
      headers: ctx.headers,
      body: ctx.body,
      form: ctx.form,
    };

    const found = router.match(ctx.method, ctx.path);
    if (!found) return fail(res, 'not_found', '接口不存在', 404);
    if (found.methodNotAllowed) return fail(res, 'method_not_allowed', '请求方式不被支持', 405);
    ctx.params = found.params;
    return found.handler(ctx);
  }

  const onRequest = (req, res) => {
    Promise.resolve()
      .then(() => handle(req, res))
      .catch((err) => {
        console.error(err);
        if (!res.headersSent) sendJson(res, 500, { status: 0, errors: [{ code: 'internal', message: '服务器内部错误' }], data: {} });
        else res.destroy();
      });
  };
  const server = options.tlsCert
    ? https.createServer({ cert: fs.readFileSync(options.tlsCert), key: fs.readFileSync(options.tlsKey) }, onRequest)
    : http.createServer(onRequest);

  app.server = server;

  app.listen = (port) =>
    new Promise((resolve, reject) => {
      server.once('error', reject);
      server.listen(port, '127.0.0.1', () => {
        server.off('error', reject);
        app.port = server.address().port;
        resolve(app.port);
      });
    });

  // Chat reaches everyone in the organisation the directory shows, not only the login accounts.
  const people = {
    users: store.users,
    userById: (id) => store.userById(id) || (app.directory ? app.directory.org.user(id) : null),
  };
  // socket.io shares the HTTP port; it answers /socket.io/ before our handler sees it.
  app.messaging = messaging.attach(server, options, people);

  app.close = () => {
    controls.releaseHeld();
    app.messaging.close();
    server.close();
    server.closeAllConnections();
  };

  return app;
}

module.exports = { createApp };
