#!/usr/bin/env node
// Test peer for the socket.io client tests: an official socket.io server (4.x with EIO 3 allowed,
// or 2.5.1 with --v2) on 127.0.0.1 with short timings, namespaces "/client" and "/other" that
// acknowledge every event with its own arguments, and a small HTTP control path
// (POST /__control/<name>, JSON in and out) that lets a test look at what arrived and steer the
// server: push events, send raw frames, drop connections.
//
// Options: --port N (0 = free port), --v2, --no-eio3, --tls, --ping-interval MS,
// --ping-timeout MS, --connect-timeout MS, --max-payload BYTES.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const http = require('http');
const https = require('https');
const { execFileSync } = require('child_process');
const { createRequire } = require('module');

const serverDir = path.resolve(__dirname, '../../server');
const requireServer = createRequire(path.join(serverDir, 'package.json'));

function option(name, fallback) {
    const i = process.argv.indexOf(name);
    return i > 0 && i + 1 < process.argv.length ? process.argv[i + 1] : fallback;
}
const flag = (name) => process.argv.includes(name);

const port = Number(option('--port', '0'));
const v2 = flag('--v2');
const tls = flag('--tls');
const pingInterval = Number(option('--ping-interval', '300'));
const pingTimeout = Number(option('--ping-timeout', '200'));
const connectTimeout = Number(option('--connect-timeout', '1000'));
const maxPayload = Number(option('--max-payload', '1000000'));

// What the tests read back.
let record;
function resetRecord() {
    record = {
        engines: [],      // one per Engine.IO connection: {id, eio, query, heartbeats, messages}
        sockets: [],      // one per namespace connection: {id, nsp, engine, query}
        events: [],       // {nsp, engine, event, args, ack}
        ackIds: [],       // {engine, nsp, id}: ack ids as they arrived on the wire
        ackReplies: [],   // {event, reply}: the client's answers to our ack requests
        disconnects: [],  // {nsp, engine, reason}
        servernames: [],  // TLS SNI names seen
    };
}
resetRecord();
const engines = new Map();   // id -> engine connection
const settings = { refuse: false };

function controlReply(res, status, body) {
    const text = JSON.stringify(body);
    res.writeHead(status, { 'Content-Type': 'application/json',
                            'Content-Length': Buffer.byteLength(text) });
    res.end(text);
}

const controls = {
    state: () => record,
    reset: () => { resetRecord(); return {}; },
    // {nsp, event, args, count, ack}: emit `count` events to every socket of the namespace; with
    // `ack`, record the client's replies. The event's last argument is the running index.
    push: (body) => {
        const nsp = io.of(body.nsp || '/client');
        let sent = 0;
        for (const socket of sockets(nsp)) {
            for (let i = 0; i < (body.count || 1); ++i) {
                const args = (body.args || []).concat(body.count ? [i] : []);
                if (body.ack) {
                    socket.emit(body.event, ...args, (...reply) => {
                        record.ackReplies.push({ event: body.event, reply });
                    });
                } else {
                    socket.emit(body.event, ...args);
                }
                ++sent;
            }
        }
        return { sent };
    },
    // {frames: [text...]}: raw WebSocket text frames to every engine connection.
    raw: (body) => {
        let sent = 0;
        for (const conn of engines.values()) {
            const ws = conn.transport && conn.transport.socket;
            if (!ws)
                continue;
            for (const frame of body.frames || [])
                ws.send(frame);
            if (body.binary)
                ws.send(Buffer.from(body.binary, 'utf8'));
            ++sent;
        }
        return { sent };
    },
    // {mode: "close" | "terminate"}: end every engine connection.
    drop: (body) => {
        let dropped = 0;
        for (const conn of engines.values()) {
            if (body.mode === 'terminate' && conn.transport && conn.transport.socket)
                conn.transport.socket.terminate();
            else
                conn.close();
            ++dropped;
        }
        return { dropped };
    },
    // {nsp}: the server leaves the namespace on every socket (a DISCONNECT packet).
    kick: (body) => {
        let kicked = 0;
        for (const socket of sockets(io.of(body.nsp || '/client'))) {
            socket.disconnect(false);
            ++kicked;
        }
        return { kicked };
    },
    // {refuse: bool}: refuse (or accept again) joins of "/client".
    settings: (body) => { Object.assign(settings, body); return settings; },
};

function sockets(nsp) {
    // 4.x keeps a Map, 2.x an object keyed by id.
    return nsp.sockets instanceof Map ? Array.from(nsp.sockets.values())
                                      : Object.values(nsp.connected || nsp.sockets);
}

function onRequest(req, res) {
    const match = /^\/__control\/([a-z]+)$/.exec(req.url);
    if (!match || req.method !== 'POST' || !controls[match[1]])
        return controlReply(res, 404, { error: 'unknown control' });
    let body = '';
    req.setEncoding('utf8');
    req.on('data', (chunk) => { body += chunk; });
    req.on('end', () => {
        try {
            controlReply(res, 200, controls[match[1]](body ? JSON.parse(body) : {}));
        } catch (err) {
            controlReply(res, 500, { error: String(err && err.stack || err) });
        }
    });
}

function makeCertificate() {
    // A fresh self-signed certificate for "localhost", made by the openssl command line.
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'sio-peer-'));
    const key = path.join(dir, 'key.pem');
    const cert = path.join(dir, 'cert.pem');
    execFileSync('openssl', ['req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2',
                             '-subj', '/CN=localhost', '-addext', 'subjectAltName=DNS:localhost',
                             '-keyout', key, '-out', cert], { stdio: 'ignore' });
    const result = { key: fs.readFileSync(key), cert: fs.readFileSync(cert) };
    fs.rmSync(dir, { recursive: true, force: true });
    return result;
}

const httpServer = tls ? https.createServer(makeCertificate(), onRequest)
                       : http.createServer(onRequest);
if (tls)
    httpServer.on('secureConnection', (s) => record.servernames.push(s.servername || ''));

let io;
if (v2) {
    io = requireServer('socket.io-v2')(httpServer, {
        pingInterval, pingTimeout, maxHttpBufferSize: maxPayload, transports: ['websocket'],
    });
} else {
    const { Server } = requireServer('socket.io');
    io = new Server(httpServer, {
        pingInterval, pingTimeout, connectTimeout, maxHttpBufferSize: maxPayload,
        allowEIO3: !flag('--no-eio3'), transports: ['websocket'],
    });
}

io.engine.on('connection', (conn) => {
    const query = Object.fromEntries(new URL(conn.request.url, 'http://x').searchParams);
    const entry = { id: conn.id, eio: Number(query.EIO), query, protocol: conn.protocol || 3,
                    heartbeats: 0, messages: 0 };
    record.engines.push(entry);
    engines.set(conn.id, conn);
    conn.on('packet', (packet) => {
        if (packet.type === 'ping' || packet.type === 'pong')
            ++entry.heartbeats;
        if (packet.type !== 'message' || typeof packet.data !== 'string')
            return;
        ++entry.messages;
        const m = /^[23](\/[^,]*)?,?(\d+)/.exec(packet.data);
        if (m)
            record.ackIds.push({ engine: conn.id, nsp: m[1] || '/', id: Number(m[2]) });
    });
    conn.on('close', () => engines.delete(conn.id));
});

function serveNamespace(name) {
    const nsp = io.of(name);
    nsp.use((socket, next) => {
        if (settings.refuse && name === '/client')
            return next(new Error('refused by test'));
        next();
    });
    nsp.on('connection', (socket) => {
        const engine = socket.conn.id;
        record.sockets.push({ id: socket.id, nsp: name, engine, query: socket.handshake.query });
        socket.use((packet, next) => {
            const args = packet.slice(1);
            const ack = typeof args[args.length - 1] === 'function' ? args.pop() : null;
            record.events.push({ nsp: name, engine, event: packet[0], args, ack: !!ack });
            if (ack && packet[0] !== 'noack')
                ack(...args);
            next();
        });
        socket.on('disconnect', (reason) => record.disconnects.push({ nsp: name, engine, reason }));
    });
}
serveNamespace('/client');
serveNamespace('/other');

// The test process holds our standard input; when it goes away, so do we.
process.stdin.on('end', () => process.exit(0));
process.stdin.on('error', () => process.exit(0));
process.stdin.resume();

httpServer.listen(port, '127.0.0.1', () => {
    const scheme = tls ? 'https' : 'http';
    console.log(`listening on ${scheme}://127.0.0.1:${httpServer.address().port}`);
});
