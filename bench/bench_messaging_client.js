#!/usr/bin/env node
// The official Node socket.io client on the inbound bursts of bench_messaging. It joins
// "/client" as one user and counts `count` "private message" events in its handler.
// - Against the reference server: signs in, asks the server to push the burst and measures from
//   that request to the last event handled.
// - With --intake, against bench_intake_peer.js: asks the peer for the burst and measures from
//   the peer's first written byte (the peer's monotonic clock, the same clock as ours) to the
//   last event handled.
// A warm-up burst of 1,000 comes first, then `runs` bursts. Prints one JSON line
// {"events":..,"ms":[..]}.
// Usage: node bench_messaging_client.js <base url> <user id> <count> <runs> [--v2] [--intake]
'use strict';

const path = require('path');
const http = require('http');
const { createRequire } = require('module');

const requireServer = createRequire(path.resolve(__dirname, '../server/package.json'));
const [base, user, countText, runsText] = process.argv.slice(2);
const count = Number(countText);
const runs = Number(runsText) || 1;
const intake = process.argv.includes('--intake');
const io = requireServer(process.argv.includes('--v2') ? 'socket.io-client-v2' : 'socket.io-client');

function post(route, body) {
    return new Promise((resolve, reject) => {
        const req = http.request(`${base}${route}`, { method: 'POST', headers: { 'Content-Type': 'application/json' } }, (res) => {
            let text = '';
            res.on('data', (chunk) => { text += chunk; });
            res.on('end', () => resolve(text));
        });
        req.on('error', reject);
        req.end(JSON.stringify(body));
    });
}

function fail(why) {
    console.error(why);
    process.exit(1);
}

const socket = io(`${base}/client`, {
    query: { loginUserId: user, loginDeptId: 'bench', loginRoleId: 'bench' },
    transports: ['websocket'],
    forceNew: true,
    reconnection: false,
});

// One burst of `size` events; resolves with its milliseconds.
let current = null; // {size, received, startNs, lastNs, resolve}
socket.on('private message', () => {
    if (current && ++current.received === current.size) {
        current.lastNs = process.hrtime.bigint();
        settle();
    }
});

function settle() {
    if (!current || current.startNs === null || current.lastNs === null) return;
    const done = current;
    current = null;
    done.resolve(Number(done.lastNs - done.startNs) / 1e6);
}

function runBurst(size) {
    return new Promise((resolve) => {
        current = { size, received: 0, startNs: null, lastNs: null, resolve };
        if (intake) {
            post('/__control/burst', { count: size, from: '10005' }).then((text) => {
                const answer = JSON.parse(text);
                if (!answer.startNs) fail(`peer refused the burst: ${text}`);
                current.startNs = BigInt(answer.startNs);
                settle();
            }, fail);
        } else {
            current.startNs = process.hrtime.bigint();
            post('/__hooks/push-burst', { to: user, count: size, from: '10005' }).catch(fail);
        }
    });
}

socket.on('connect', () => {
    socket.emit('login', 'success', async () => {
        // A warm-up burst first, as bench_messaging gives our engine.
        await runBurst(1000);
        const ms = [];
        for (let i = 0; i < runs; i++) ms.push(await runBurst(count));
        console.log(JSON.stringify({ events: count, ms }));
        socket.close();
        process.exit(0);
    });
});
socket.on('connect_error', (err) => fail(String(err)));
setTimeout(() => fail('timed out'), 180000);
