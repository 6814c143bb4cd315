#!/usr/bin/env node
// A bare WebSocket peer for intake benchmarks: it speaks just enough Engine.IO 4 / Socket.IO 5 to
// get a client into "/client" (open packet, ping, namespace CONNECT answer, an acknowledgement
// for every event that asks for one, "success" for "login"), then on request writes a burst of
// "private message" event frames that were encoded before the clock starts, straight to the TCP
// socket in one write, so only the client's intake is measured.
//
// Usage: node bench_intake_peer.js --port N
// POST /__control/burst {"count": N, "from": "10005"} answers {"startNs": <monotonic ns just
// before the first byte is written>, "frames": N, "bytes": B}, then writes the burst to the
// newest connection that joined "/client".
'use strict';

const http = require('http');
const path = require('path');
const { createRequire } = require('module');

const requireServer = createRequire(path.resolve(__dirname, '../server/package.json'));
const { WebSocketServer } = requireServer('ws');

function option(name, fallback) {
    const i = process.argv.indexOf(name);
    return i > 0 && i + 1 < process.argv.length ? process.argv[i + 1] : fallback;
}

const NAMESPACE = '/client';
const PING_INTERVAL = 25000;
const PING_TIMEOUT = 20000;
let joined = null; // {ws, socket} of the newest connection in NAMESPACE
let nextSid = 1;

// One unmasked WebSocket text frame, as a server writes it.
function textFrame(text) {
    const payload = Buffer.from(text, 'utf8');
    let header;
    if (payload.length < 126) {
        header = Buffer.from([0x81, payload.length]);
    } else if (payload.length < 65536) {
        header = Buffer.alloc(4);
        header[0] = 0x81;
        header[1] = 126;
        header.writeUInt16BE(payload.length, 2);
    } else {
        header = Buffer.alloc(10);
        header[0] = 0x81;
        header[1] = 127;
        header.writeBigUInt64BE(BigInt(payload.length), 2);
    }
    return Buffer.concat([header, payload]);
}

// The same events the reference server's burst hook sends.
function encodeBurst(count, from) {
    const base = Date.now();
    const frames = new Array(count);
    for (let i = 0; i < count; i++) {
        const id = base + i;
        const payload = { creator: from, download: '', file_type: '', haveread: '0', msg: `压力测试消息 ${i + 1}`, msg_id: id, msg_type: 'text', send_time: id, time: id, type: 'user' };
        frames[i] = textFrame(`42${NAMESPACE},${JSON.stringify(['private message', payload])}`);
    }
    return Buffer.concat(frames);
}

// Engine.IO message "4" + Socket.IO packet: answers joins and acknowledgement requests.
function onPacket(peer, text) {
    if (text[0] !== '4') return; // pongs and the rest need no answer
    const packet = text.slice(1);
    if (packet === `0${NAMESPACE},` || packet.startsWith(`0${NAMESPACE},{`)) {
        peer.ws.send(`40${NAMESPACE},${JSON.stringify({ sid: `bench-${nextSid++}` })}`);
        joined = peer;
        return;
    }
    const event = new RegExp(`^2${NAMESPACE},(\\d+)(\\[.*)$`, 's').exec(packet);
    if (!event) return;
    let name = '';
    try {
        name = JSON.parse(event[2])[0];
    } catch (err) {
        return;
    }
    const reply = name === 'login' ? ['success'] : [];
    peer.ws.send(`43${NAMESPACE},${event[1]}${JSON.stringify(reply)}`);
}

function control(req, res) {
    let body = '';
    req.on('data', (chunk) => { body += chunk; });
    req.on('end', () => {
        const answer = (status, object) => {
            const text = JSON.stringify(object);
            res.writeHead(status, { 'Content-Type': 'application/json', 'Content-Length': Buffer.byteLength(text) });
            res.end(text);
        };
        if (req.url !== '/__control/burst') return answer(404, { error: 'unknown control' });
        let request = {};
        try {
            request = body ? JSON.parse(body) : {};
        } catch (err) {
            return answer(400, { error: 'bad JSON' });
        }
        const count = Number(request.count || 20000);
        if (!Number.isSafeInteger(count) || count < 1 || count > 1000000) return answer(400, { error: 'bad count' });
        if (!joined || joined.socket.destroyed) return answer(409, { error: 'no client in the namespace' });
        const bytes = encodeBurst(count, String(request.from || '10005'));
        const target = joined.socket;
        const startNs = process.hrtime.bigint();
        answer(200, { startNs: startNs.toString(), frames: count, bytes: bytes.length });
        // The kernel takes what it can; Node keeps the rest and writes it as the socket drains.
        target.write(bytes);
    });
}

const server = http.createServer(control);
const wss = new WebSocketServer({ noServer: true, perMessageDeflate: false, maxPayload: 1000000 });
server.on('upgrade', (req, socket, head) => {
    if (!req.url.startsWith('/socket.io/')) {
        socket.destroy();
        return;
    }
    socket.setNoDelay(true);
    wss.handleUpgrade(req, socket, head, (ws) => {
        const peer = { ws, socket };
        ws.send(`0${JSON.stringify({ sid: `engine-${nextSid++}`, upgrades: [], pingInterval: PING_INTERVAL, pingTimeout: PING_TIMEOUT, maxPayload: 1000000 })}`);
        ws.send('2');
        const pinger = setInterval(() => ws.send('2'), PING_INTERVAL);
        ws.on('message', (data, isBinary) => {
            if (!isBinary) onPacket(peer, data.toString('utf8'));
        });
        ws.on('close', () => {
            clearInterval(pinger);
            if (joined === peer) joined = null;
        });
        ws.on('error', () => {});
    });
});
server.listen(Number(option('--port', '0')), '127.0.0.1', () => {
    console.log(`listening on http://127.0.0.1:${server.address().port}`);
});
