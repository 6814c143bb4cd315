// The server check: the client tests an address with a plain GET and only needs an answer
// without a transport error, so the server root and the API base both answer.
'use strict';

const { API_BASE, ok } = require('../lib/router');

function register(router, app) {
  const answer = (ctx) =>
    ok(ctx.res, {
      name: 'tarnex',
      company_name: app.store.company.company_name,
      server_time: String(Date.now()),
    });
  for (const path of ['/', '/tarnex10', '/tarnex10/', API_BASE.replace(/\/$/, ''), API_BASE]) router.get(path, answer);
}

module.exports = { register };
