#!/usr/bin/env node
// The reference server: stands in for the OA server on loopback for the demo and the tests.
'use strict';

const { createApp } = require('./lib/app');
const { parseOrgSize } = require('./lib/organization');

const USAGE = 'usage: node server.js [--port N] [--test-hooks] [--socketio-v2] [--feed-version V] [--package-dir DIR] [--release-key KEY.pem] [--org-size N] [--message-log FILE] [--ping-interval MS] [--ping-timeout MS] [--tls-cert FILE --tls-key FILE]';

function positive(name, text) {
  const n = Number(text);
  if (!/^\d+$/.test(text) || n < 1) throw new Error(`${name} needs a positive number of ms`);
  return n;
}

function parseArgs(argv) {
  const options = { port: 0, testHooks: false, socketioV2: false, feedVersion: '5.0.0.4', packageDir: '' };
  for (let i = 0; i < argv.length; i++) {
    const arg = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) throw new Error(`${arg} needs a value`);
      return argv[++i];
    };
    if (arg === '--port') {
      const text = value();
      options.port = Number(text);
      if (!/^\d+$/.test(text) || options.port > 65535) throw new Error(`bad port "${text}"`);
    } else if (arg === '--test-hooks') options.testHooks = true;
    else if (arg === '--socketio-v2') options.socketioV2 = true;
    else if (arg === '--feed-version') options.feedVersion = value();
    else if (arg === '--org-size') options.orgSize = parseOrgSize(value());
    else if (arg === '--package-dir') options.packageDir = value();
    else if (arg === '--release-key') options.releaseKey = value();
    else if (arg === '--message-log') options.messageLog = value();
    else if (arg === '--ping-interval') options.pingInterval = positive(arg, value());
    else if (arg === '--ping-timeout') options.pingTimeout = positive(arg, value());
    else if (arg === '--tls-cert') options.tlsCert = value();
    else if (arg === '--tls-key') options.tlsKey = value();
    else if (arg === '--help' || arg === '-h') {
      console.log(USAGE);
      process.exit(0);
    } else throw new Error(`unknown option "${arg}"`);
  }
  if (Boolean(options.tlsCert) !== Boolean(options.tlsKey)) throw new Error('--tls-cert and --tls-key go together');
  return options;
}

async function main() {
  let options;
  try {
    options = parseArgs(process.argv.slice(2));
  } catch (err) {
    console.error(`${err.message}\n${USAGE}`);
    process.exit(2);
  }
  const app = createApp(options);
  // Installed before the port is announced, so a SIGTERM right after the line still ends cleanly.
  const stop = () => {
    app.close();
    process.exit(0);
  };
  process.on('SIGTERM', stop);
  process.on('SIGINT', stop);

  const port = await app.listen(options.port);
  // Tests and scripts read the port from this line; keep its wording.
  console.log(`tarnex reference server listening on ${app.baseUrl()}`);
}

main().catch((err) => {
  console.error(err);
  process.exit(1);
});
