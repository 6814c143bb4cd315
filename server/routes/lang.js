// Language packages: the list of languages and each language's text table.
'use strict';

const { ok, fail, sendText } = require('../lib/router');

function register(router, app) {
  const { store, controls } = app;

  // Lets tests make both endpoints refuse or answer nonsense; true when it answered.
  function answeredByHook(ctx) {
    if (controls.lang.mode === 'status0') {
      fail(ctx.res, 'lang_unavailable', '语言包暂不可用');
      return true;
    }
    if (controls.lang.mode === 'garbage') {
      sendText(ctx.res, 200, '<html>this is not a language package</html>', 'text/html; charset=utf-8');
      return true;
    }
    return false;
  }

  router.api('GET', 'api/lang/effect-packages', (ctx) => {
    if (answeredByHook(ctx)) return;
    ok(ctx.res, { list: store.languages.map((l) => ({ lang_code: l.lang_code, lang_name: l.lang_name })) });
  });

  // An empty code (path ending in "/") is a request for an unknown language, not a 404.
  router.api('GET', /api\/lang\/file\/client\/([^/]*)$/, (ctx) => {
    if (answeredByHook(ctx)) return;
    const code = ctx.params[0];
    const table = store.langTables.get(code);
    if (!table) return fail(ctx.res, 'lang_not_found', `语言包不存在：${code}`);
    ok(ctx.res, { lang_code: code, client: table, server: {} });
  });
}

module.exports = { register };
