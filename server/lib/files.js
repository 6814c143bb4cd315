// Attachments: stored as files in a private temporary folder for the server's lifetime, so a
// gigabyte upload or download never sits in memory. Chunked uploads are put together in order.
'use strict';

const crypto = require('crypto');
const fs = require('fs');
const os = require('os');
const path = require('path');

class UploadError extends Error {}

// Content types by the file's first bytes; the stored name's extension is not trusted.
function sniffType(head) {
  if (head.length >= 8 && head.subarray(0, 8).equals(Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]))) return 'image/png';
  if (head.length >= 3 && head[0] === 0xff && head[1] === 0xd8 && head[2] === 0xff) return 'image/jpeg';
  if (head.length >= 6 && /^GIF8[79]a$/.test(head.subarray(0, 6).toString('latin1'))) return 'image/gif';
  if (head.length >= 2 && head[0] === 0x42 && head[1] === 0x4d) return 'image/bmp';
  return 'application/octet-stream';
}

class AttachmentStore {
  constructor() {
    this.dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarnex-attachments-'));
    this.items = new Map(); // id -> { id, name, size, file, type, user }
    this.sessions = new Map(); // user + name + chunks -> chunk session
    this.closed = false;
    this.onExit = () => this.close();
    process.on('exit', this.onExit);
  }

  newId() {
    let id;
    do id = crypto.randomBytes(8).toString('hex');
    while (this.items.has(id));
    return id;
  }

  record(name, file, size, user) {
    const id = path.basename(file);
    const fd = fs.openSync(file, 'r');
    const head = Buffer.alloc(8);
    const got = fs.readSync(fd, head, 0, 8, 0);
    fs.closeSync(fd);
    const item = { id, name: String(name), size, file, type: sniffType(head.subarray(0, got)), user: user || '' };
    this.items.set(id, item);
    return item;
  }

  addBuffer(name, buffer, user) {
    const file = path.join(this.dir, this.newId());
    fs.writeFileSync(file, buffer);
    return this.record(name, file, buffer.length, user);
  }

  // A file of `size` bytes whose byte i is i % 251, written in blocks.
  addPattern(name, size) {
    const file = path.join(this.dir, this.newId());
    const block = Buffer.alloc(251 * 4096);
    for (let i = 0; i < block.length; i++) block[i] = i % 251;
    const fd = fs.openSync(file, 'w');
    try {
      for (let at = 0; at < size; at += block.length) fs.writeSync(fd, block, 0, Math.min(block.length, size - at));
    } finally {
      fs.closeSync(fd);
    }
    return this.record(name, file, size, '');
  }

  get(id) {
    return this.items.get(String(id)) || null;
  }

  sha256(item) {
    const hash = crypto.createHash('sha256');
    const fd = fs.openSync(item.file, 'r');
    const block = Buffer.alloc(4 * 1024 * 1024);
    try {
      for (;;) {
        const got = fs.readSync(fd, block, 0, block.length, null);
        if (got === 0) break;
        hash.update(block.subarray(0, got));
      }
    } finally {
      fs.closeSync(fd);
    }
    return hash.digest('hex');
  }

  // One chunk of an upload. Chunk 0 starts the upload afresh; chunks are appended in order,
  // later ones wait for their turn, repeated ones are ignored. Returns the attachment once the
  // last missing chunk is in, otherwise null.
  acceptChunk(user, name, chunk, chunks, data) {
    if (!Number.isInteger(chunks) || chunks < 1) throw new UploadError('chunks 须为正整数');
    if (!Number.isInteger(chunk) || chunk < 0 || chunk >= chunks) throw new UploadError('chunk 超出范围');
    if (!name) throw new UploadError('缺少文件名');
    const key = `${user}\u0000${name}\u0000${chunks}`;
    let session = this.sessions.get(key);
    if (chunk === 0 || !session) {
      if (session) this.dropSession(key);
      if (chunk !== 0 && !session) {
        // A chunk of an upload whose beginning the server never saw.
        throw new UploadError('上传未开始');
      }
      const file = path.join(this.dir, this.newId());
      session = { file, fd: fs.openSync(file, 'w'), next: 0, size: 0, pending: new Map() };
      this.sessions.set(key, session);
    }
    if (chunk < session.next) return null;
    session.pending.set(chunk, Buffer.from(data));
    while (session.pending.has(session.next)) {
      const piece = session.pending.get(session.next);
      session.pending.delete(session.next);
      fs.writeSync(session.fd, piece);
      session.size += piece.length;
      session.next += 1;
    }
    if (session.next < chunks) return null;
    fs.closeSync(session.fd);
    this.sessions.delete(key);
    return this.record(name, session.file, session.size, user);
  }

  dropSession(key) {
    const session = this.sessions.get(key);
    if (!session) return;
    this.sessions.delete(key);
    try {
      fs.closeSync(session.fd);
    } catch {
      // already closed
    }
    fs.rmSync(session.file, { force: true });
  }

  dropSessions() {
    for (const key of [...this.sessions.keys()]) this.dropSession(key);
  }

  close() {
    if (this.closed) return;
    this.closed = true;
    process.off('exit', this.onExit);
    for (const session of this.sessions.values()) {
      try {
        fs.closeSync(session.fd);
      } catch {
        // already closed
      }
    }
    this.sessions.clear();
    fs.rmSync(this.dir, { recursive: true, force: true });
  }
}

// The parts of a multipart/form-data body: [{ headers: {lowercase name: value}, name, fileName, data }].
function parseMultipart(body, contentType) {
  const m = /boundary=(?:"([^"]+)"|([^;]+))/i.exec(contentType || '');
  if (!m) throw new UploadError('缺少 multipart 分隔符');
  const delimiter = Buffer.from(`--${(m[1] || m[2]).trim()}`);
  const parts = [];
  let at = body.indexOf(delimiter);
  while (at >= 0) {
    let start = at + delimiter.length;
    if (body.subarray(start, start + 2).toString('latin1') === '--') break;
    if (body.subarray(start, start + 2).toString('latin1') === '\r\n') start += 2;
    const next = body.indexOf(delimiter, start);
    if (next < 0) break;
    // The part's data ends with the CRLF that precedes the next delimiter.
    const part = body.subarray(start, next - 2);
    const split = part.indexOf('\r\n\r\n');
    if (split >= 0) {
      const headers = {};
      for (const line of part.subarray(0, split).toString('utf8').split('\r\n')) {
        const colon = line.indexOf(':');
        if (colon > 0) headers[line.slice(0, colon).trim().toLowerCase()] = line.slice(colon + 1).trim();
      }
      const disposition = headers['content-disposition'] || '';
      const field = (key) => {
        const found = new RegExp(`(?:^|;)\\s*${key}="([^"]*)"`, 'i').exec(disposition);
        return found ? found[1] : null;
      };
      parts.push({ headers, name: field('name'), fileName: field('filename') ?? field('Filedata'), data: part.subarray(split + 4) });
    }
    at = next;
  }
  return parts;
}

module.exports = { AttachmentStore, UploadError, parseMultipart, sniffType };
