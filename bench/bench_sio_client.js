#!/usr/bin/env node
// The official Node client on the same bursts as bench_sio: N emits with acknowledgements, then N
// events pushed by the peer, after a warm-up burst of the same kind. Prints one JSON line
// {"emitAckMs":..,"pushMs":..} of the measured burst.
// Usage: node bench_sio_client.js <base url> <count> [<warm-up count>] [--v2]
'use strict';

const path = require('path');
const http = require('http');
const { createRequire } = require('module');

const requireServer = createRequire(path.resolve(__dirname, '../server/package.json'));
const [base, countText, warmText] = process.argv.slice(2).filter((arg) => arg !== '--v2');
const count = Number(countText);
const warmUp = Number(warmText || 0);
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
let received = 0;
let onTick = () => {};
socket.on('tick', () => onTick(++received));

async function burst(n) {
    let start = process.hrtime.bigint();
    let acked = 0;
    const emitAckMs = await new Promise((resolve) => {
        for (let i = 0; i < n; ++i) {
            socket.emit('echo', i, 'payload', () => {
                if (++acked === n)
                    resolve(Number(process.hrtime.bigint() - start) / 1e6);
            });
        }
    });
    received = 0;
    const pushMs = await new Promise((resolve) => {
        onTick = (seen) => {
            if (seen === n)
                resolve(Number(process.hrtime.bigint() - start) / 1e6);
        };
        start = process.hrtime.bigint();
        control('push', { event: 'tick', args: ['payload'], count: n });
    });
    return { emitAckMs, pushMs };
}

socket.on('connect', async () => {
    if (warmUp > 0)
        await burst(warmUp);
    console.log(JSON.stringify(await burst(count)));
    socket.close();
    process.exit(0);
});
socket.on('connect_error', (err) => {
    console.error(String(err));
    process.exit(1);
});
setTimeout(() => { console.error('timed out'); process.exit(1); }, 120000);
