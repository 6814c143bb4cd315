// Password login and token refresh.
'use strict';

const { ok, fail } = require('../lib/router');
const { userMenus } = require('../lib/reminders');

// Where the server's web client lives; pages opened from the client are built on it.
const CLIENT_URL = '/tarnex10/client/app/web/login.html#';
const TOKEN_LIFETIME_S = 7200;

function loginData(app, user, token) {
  const { store } = app;
  const port = String(app.port);
  return {
    token,
    token_type: 'Bearer',
    expires_in: TOKEN_LIFETIME_S,
    // Milliseconds since the epoch, as decimal text: the client's message clock.
    request_time: String(Date.now()),
    client_url: CLIENT_URL,
    im_config: {
      IM_HOST: '127.0.0.1',
      IM_PORT: port,
      // No TLS here: an https server address still reaches the same plain port.
      IM_PORT_HTTPS: port,
    },
    system_info: {
      system_name: '星河协同办公平台',
      company_id: store.company.company_id,
      company_name: store.company.company_name,
      avatar_base: 'avatar/',
      watermark: 1,
    },
    current_user: { ...store.userRecord(user), ...userMenus(user) },
    menus: store.menus,
  };
}

function register(router, app) {
  const { store } = app;

  router.api('POST', 'api/auth/login', (ctx) => {
    // The client names the field user_account; accept the short form too.
    const account = ctx.form.user_account !== undefined ? ctx.form.user_account : ctx.form.account;
    const password = ctx.form.password;
    if (!account) return fail(ctx.res, 'account_required', '请输入账号');
    if (password === undefined || password === '') return fail(ctx.res, 'password_required', '请输入密码');
    const user = store.userByAccount(account);
    if (!user || !store.checkPassword(user, password)) return fail(ctx.res, 'invalid_credentials', '账号或密码错误，请重新输入');
    return ok(ctx.res, loginData(app, user, store.issueToken(user.user_id)));
  });

  router.api('GET', 'api/auth/refresh', (ctx) => {
    const user = store.userForToken(ctx.query.api_token);
    if (!user) return fail(ctx.res, 'token_invalid', '登录已过期，请重新登录');
    return ok(ctx.res, {
      token: store.issueToken(user.user_id),
      token_type: 'Bearer',
      expires_in: TOKEN_LIFETIME_S,
      request_time: String(Date.now()),
    });
  });
}

module.exports = { register, loginData };
