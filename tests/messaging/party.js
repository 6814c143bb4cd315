#!/usr/bin/env node
// The other party of the messaging tests: a user of the reference server's messaging service,
// signed in with the official socket.io client (4.x, or 2.x with --v2), steered over HTTP
// (POST /__control/<name>, JSON in and out) so a test can make it send, read and leave.
//
// Options: --port N (control port, 0 = free), --server URL, --v2.
// Controls: connect {user} -> {ack}; emit {event, args} -> {ack} (the acknowledgement's
// arguments, null after 10 s); events {event?} -> {events: [{event, args}]}; clear; close.
'use strict';

const http = require('http');
const path = require('path');
const { createRequire } = require('module');

const requireServer = createRequire(path.resolve(__dirname, '../../server/package.json'));

function option(name, fallback) {
    const i = process.argv.indexOf(name);
    return i > 0 && i + 1 < process.argv.length ? process.argv[i + 1] : fallback;
}
const port = Number(option('--port', '0'));
const server = option('--server', '');
const v2 = process.argv.includes('--v2');
const io = requireServer(v2 ? 'socket.io-client-v2' : 'socket.io-client');

let socket = null;
let received = [];

function withTimeout(promise, ms) {
    return Promise.race([promise, new Promise((resolve) => setTimeout(() => resolve(null), ms))]);
}

function emitWithAck(event, args) {
    return withTimeout(new Promise((resolve) => socket.emit(event, ...args, (...ack) => resolve(ack))), 10000);
}

function close() {
    if (socket) {
        socket.removeAllListeners();
        socket.close();
    }
    socket = null;
}

const controls = {
    async connect(body) {
        close();
        received = [];
        const query = { loginUserId: String(body.user), loginDeptId: 'dept', loginRoleId: 'role' };
        socket = io(`${server}/client`, { query, transports: ['websocket'], forceNew: true, reconnection: false });
        const record = (event, args) => received.push({ event, args });
        if (typeof socket.onAny === 'function') socket.onAny((event, ...args) => record(event, args));
        else {
            // 2.x has no onAny: look at each event packet as it is dispatched.
            const onevent = socket.onevent;
            socket.onevent = function (packet) {
                record((packet.data || [])[0], (packet.data || []).slice(1));
                return onevent.call(this, packet);
            };
        }
        const connected = await withTimeout(new Promise((resolve) => socket.once('connect', () => resolve(true))), 10000);
        if (!connected) return { error: 'no connection' };
        return { ack: await emitWithAck('login', ['success']) };
    },
    async emit(body) {
        if (!socket) return { error: 'not connected' };
        return { ack: await emitWithAck(body.event, body.args || []) };
    },
    events(body) {
        return { events: body.event ? received.filter((e) => e.event === body.event) : received };
    },
    clear() {
        received = [];
        return {};
    },
    close() {
        close();
        return {};
    },
};

const control = http.createServer((req, res) => {
    let text = '';
    req.on('data', (chunk) => (text += chunk));
    req.on('end', async () => {
        const name = req.url.replace(/^\/__control\//, '');
        let reply;
        try {
            const handler = controls[name];
            reply = handler ? await handler(text ? JSON.parse(text) : {}) : { error: `no control ${name}` };
        } catch (err) {
            reply = { error: String(err) };
        }
        const body = Buffer.from(JSON.stringify(reply));
        res.writeHead(200, { 'Content-Type': 'application/json', 'Content-Length': body.length });
        res.end(body);
    });
});
control.listen(port, '127.0.0.1', () => {
    console.log(`listening on http://127.0.0.1:${control.address().port}`);
});
process.on('SIGTERM', () => {
    close();
    process.exit(0);
});
