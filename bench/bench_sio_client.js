#!/usr/bin/env node
// The official Node client on the same bursts as bench_sio: N emits with acknowledgements, then N
// events pushed by the peer. Prints one JSON line {"emitAckMs":..,"pushMs":..}.
// Usage: node bench_sio_client.js <base url> <count> [--v2]
'use strict';

const path = require('path');
const http = require('http');
const { createRequire } = require('module');

const requireServer = createRequire(path.resolve(__dirname, '../server/package.json'));
const [base, countText] = process.argv.slice(2);
const count = Number(countText);
const v2 = process.argv.includes('--v2');
const io = requireServer(v2 ? 'socket.io-client-v2' : 'socket.io-client');

function control(name, body) {
    return new Promise((resolve, reject) => {
        const req = http.request(`${base}/__control/${name}`, { method: 'POST' }, (res) => {
            res.resume();
            res.on('end', resolve);
        });
        req.on('error', reject);
        req.end(JSON.stringify(body));
    });
}

const socket = io(`${base}/client`, { transports: ['websocket'], forceNew: true });
socket.on('connect', async () => {
    let start = process.hrtime.bigint();
    let acked = 0;
    const emitAckMs = await new Promise((resolve) => {
        for (let i = 0; i < count; ++i) {
            socket.emit('echo', i, 'payload', () => {
                if (++acked === count)
                    resolve(Number(process.hrtime.bigint() - start) / 1e6);
            });
        }
    });
    let received = 0;
    const pushMs = await new Promise((resolve) => {
        socket.on('tick', () => {
            if (++received === count)
                resolve(Number(process.hrtime.bigint() - start) / 1e6);
        });
        start = process.hrtime.bigint();
        control('push', { event: 'tick', args: ['payload'], count });
    });
    console.log(JSON.stringify({ emitAckMs, pushMs }));
    socket.close();
    process.exit(0);
});
socket.on('connect_error', (err) => {
    console.error(String(err));
    process.exit(1);
});
setTimeout(() => { console.error('timed out'); process.exit(1); }, 120000);
