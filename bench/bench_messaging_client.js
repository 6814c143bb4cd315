#!/usr/bin/env node
// The official Node socket.io client on the inbound burst of bench_messaging: signs in to the
// reference server's messaging service as one user, asks the server to push `count` "private
// message" events to that user and measures from the first to the last. Prints one JSON line
// {"events":..,"ms":..}.
// Usage: node bench_messaging_client.js <server base url> <user id> <count> [--v2]
'use strict';

const path = require('path');
const http = require('http');
const { createRequire } = require('module');

const requireServer = createRequire(path.resolve(__dirname, '../server/package.json'));
const [base, user, countText] = process.argv.slice(2);
const count = Number(countText);
const io = requireServer(process.argv.includes('--v2') ? 'socket.io-client-v2' : 'socket.io-client');

function hook(name, body) {
    return new Promise((resolve, reject) => {
        const req = http.request(`${base}/__hooks/${name}`, { method: 'POST', headers: { 'Content-Type': 'application/json' } }, (res) => {
            res.resume();
            res.on('end', resolve);
        });
        req.on('error', reject);
        req.end(JSON.stringify(body));
    });
}

const socket = io(`${base}/client`, {
    query: { loginUserId: user, loginDeptId: 'bench', loginRoleId: 'bench' },
    transports: ['websocket'],
    forceNew: true,
    reconnection: false,
});
socket.on('connect', () => {
    socket.emit('login', 'success', () => {
        // From the first event to the last, as bench_messaging measures the engine.
        let received = 0;
        let start;
        socket.on('private message', () => {
            if (++received === 1) start = process.hrtime.bigint();
            if (received === count) {
                const ms = Number(process.hrtime.bigint() - start) / 1e6;
                console.log(JSON.stringify({ events: count, ms }));
                socket.close();
                process.exit(0);
            }
        });
        hook('push-burst', { to: user, count, from: '10005' });
    });
});
socket.on('connect_error', (err) => {
    console.error(String(err));
    process.exit(1);
});
setTimeout(() => {
    console.error('timed out');
    process.exit(1);
}, 180000);
