// The update feed the client checks at start-up and from its version dialog.
'use strict';

const { sendText } = require('../lib/router');

const FEED_PATH = '/tarnex10pack/client/client.php';
const PACKAGE_PATH = '/tarnex10pack/client/packages/';

function feedDocument(app) {
  const { version, description } = app.controls.feed;
  const name = `tarnex-${version}.zip`;
  return { version, description, url: `${app.baseUrl()}${PACKAGE_PATH}${name}`, name };
}

// Pretty-printed on purpose: the client strips line feeds, tabs and spaces before parsing.
function sendFeed(ctx, app) {
  sendText(ctx.res, 200, `${JSON.stringify(feedDocument(app), null, 4)}\n`, 'application/json; charset=utf-8');
}

function register(router, app) {
  const { controls } = app;

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
}

module.exports = { register, feedDocument, FEED_PATH, PACKAGE_PATH };
