// A tiny method + path router and the JSON reply envelope shared by every endpoint.
'use strict';

// Everything the client calls on its server lives below this prefix.
const API_BASE = '/tarnex10/server/public/';

class Router {
  constructor() {
    this.routes = [];
  }

  // `pattern` is an exact path or a RegExp whose groups become ctx.params.
  add(method, pattern, handler) {
    this.routes.push({ method, pattern, handler });
    return this;
  }

  get(pattern, handler) {
    return this.add('GET', pattern, handler);
  }

  post(pattern, handler) {
    return this.add('POST', pattern, handler);
  }

  // Paths relative to API_BASE, as the client names its endpoints ("api/auth/login").
  api(method, relative, handler) {
    const pattern = relative instanceof RegExp ? new RegExp(`^${escapeRegExp(API_BASE)}${relative.source.replace(/^\^/, '')}`) : API_BASE + relative;
    return this.add(method, pattern, handler);
  }

  // { handler, params } for a match, { methodNotAllowed: true } when only the method differs, or null.
  match(method, path) {
    let pathMatched = false;
    for (const route of this.routes) {
      let params = null;
      if (route.pattern instanceof RegExp) {
        const m = route.pattern.exec(path);
        if (m) params = m.slice(1).map((p) => (p === undefined ? '' : safeDecode(p)));
      } else if (route.pattern === path) {
        params = [];
      }
      if (!params) continue;
      if (route.method === method || (route.method === 'GET' && method === 'HEAD')) return { handler: route.handler, params };
      pathMatched = true;
    }
    return pathMatched ? { methodNotAllowed: true } : null;
  }
}

function escapeRegExp(text) {
  return text.replace(/[.*+?^${}()|[\]\\/]/g, '\\$&');
}

function safeDecode(text) {
  try {
    return decodeURIComponent(text);
  } catch {
    return text;
  }
}

function sendJson(res, httpStatus, value, pretty = false) {
  const body = pretty ? `${JSON.stringify(value, null, 2)}\n` : JSON.stringify(value);
  sendText(res, httpStatus, body, 'application/json; charset=utf-8');
}

function sendText(res, httpStatus, body, contentType = 'text/plain; charset=utf-8') {
  if (res.writableEnded || res.destroyed) return;
  const buffer = Buffer.from(body, 'utf8');
  res.writeHead(httpStatus, { 'Content-Type': contentType, 'Content-Length': buffer.length });
  res.end(res.req && res.req.method === 'HEAD' ? undefined : buffer);
}

// Success envelope.
function ok(res, data = {}) {
  sendJson(res, 200, { status: 1, errors: [], data });
}

// Failure envelope. Refusals go out with HTTP 200 on purpose: the client treats an HTTP
// error status as a transport failure and would show its own text instead of `message`.
function fail(res, code, message, httpStatus = 200) {
  sendJson(res, httpStatus, { status: 0, errors: [{ code: String(code), message: String(message) }], data: {} });
}

module.exports = { Router, API_BASE, ok, fail, sendJson, sendText };
