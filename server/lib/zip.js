// A small zip archive writer for the update packages: stored or deflated entries, CRC-32,
// Unix modes (so programs stay executable and links stay links), UTF-8 names.
'use strict';

const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const CRC_TABLE = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

function crc32(buffer) {
  let crc = 0xffffffff;
  for (let i = 0; i < buffer.length; i++) crc = CRC_TABLE[(crc ^ buffer[i]) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}

const S_IFDIR = 0o040000;
const S_IFREG = 0o100000;
const S_IFLNK = 0o120000;

// MS-DOS date and time of the entries (the format starts in 1980).
function dosDateTime(date) {
  const year = Math.max(date.getFullYear(), 1980);
  return {
    time: (date.getHours() << 11) | (date.getMinutes() << 5) | Math.floor(date.getSeconds() / 2),
    date: ((year - 1980) << 9) | ((date.getMonth() + 1) << 5) | date.getDate(),
  };
}

// entries: [{ name, data?: Buffer|string, mode?: number (type and permission bits),
//             method?: 'store'|'deflate' }]; a name ending in "/" is a folder, a mode with
// S_IFLNK a link whose data is its target. options.breakCrc writes wrong checksums (tests).
function buildZip(entries, options = {}) {
  const stamp = dosDateTime(options.date || new Date(2024, 0, 1, 12, 0, 0));
  const locals = [];
  const centrals = [];
  let offset = 0;
  for (const entry of entries) {
    const isDir = entry.name.endsWith('/');
    const data = Buffer.isBuffer(entry.data) ? entry.data : Buffer.from(entry.data || '', 'utf8');
    const mode = entry.mode !== undefined ? entry.mode : isDir ? S_IFDIR | 0o755 : S_IFREG | 0o644;
    let method = 0;
    let stored = data;
    if (!isDir && entry.method !== 'store' && data.length > 0) {
      const deflated = zlib.deflateRawSync(data);
      if (entry.method === 'deflate' || deflated.length < data.length) {
        method = 8;
        stored = deflated;
      }
    }
    let crc = crc32(data);
    if (options.breakCrc) crc = (crc ^ 0xffffffff) >>> 0;
    const name = Buffer.from(entry.name, 'utf8');
    const flags = 0x0800; // names are UTF-8

    const local = Buffer.alloc(30);
    local.writeUInt32LE(0x04034b50, 0);
    local.writeUInt16LE(20, 4);
    local.writeUInt16LE(flags, 6);
    local.writeUInt16LE(method, 8);
    local.writeUInt16LE(stamp.time, 10);
    local.writeUInt16LE(stamp.date, 12);
    local.writeUInt32LE(crc, 14);
    local.writeUInt32LE(stored.length, 18);
    local.writeUInt32LE(data.length, 22);
    local.writeUInt16LE(name.length, 26);
    local.writeUInt16LE(0, 28);
    locals.push(local, name, stored);

    const central = Buffer.alloc(46);
    central.writeUInt32LE(0x02014b50, 0);
    central.writeUInt16LE((3 << 8) | 30, 4); // made on Unix, so the mode is read back
    central.writeUInt16LE(20, 6);
    central.writeUInt16LE(flags, 8);
    central.writeUInt16LE(method, 10);
    central.writeUInt16LE(stamp.time, 12);
    central.writeUInt16LE(stamp.date, 14);
    central.writeUInt32LE(crc, 16);
    central.writeUInt32LE(stored.length, 20);
    central.writeUInt32LE(data.length, 24);
    central.writeUInt16LE(name.length, 28);
    central.writeUInt16LE(0, 30);
    central.writeUInt16LE(0, 32);
    central.writeUInt16LE(0, 34);
    central.writeUInt16LE(0, 36);
    central.writeUInt32LE(((mode << 16) | (isDir ? 0x10 : 0)) >>> 0, 38);
    central.writeUInt32LE(offset, 42);
    centrals.push(central, name);

    offset += local.length + name.length + stored.length;
  }
  const directory = Buffer.concat(centrals);
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0);
  end.writeUInt16LE(0, 4);
  end.writeUInt16LE(0, 6);
  end.writeUInt16LE(entries.length, 8);
  end.writeUInt16LE(entries.length, 10);
  end.writeUInt32LE(directory.length, 12);
  end.writeUInt32LE(offset, 16);
  end.writeUInt16LE(0, 20);
  return Buffer.concat([...locals, directory, end]);
}

// The entries of a folder, in name order, as the archive's relative paths.
function folderEntries(root) {
  const entries = [];
  const walk = (dir, prefix) => {
    for (const name of fs.readdirSync(dir).sort()) {
      const full = path.join(dir, name);
      const relative = prefix + name;
      const stat = fs.lstatSync(full);
      if (stat.isSymbolicLink()) {
        entries.push({ name: relative, data: fs.readlinkSync(full), mode: S_IFLNK | 0o777, method: 'store' });
      } else if (stat.isDirectory()) {
        entries.push({ name: `${relative}/`, mode: S_IFDIR | (stat.mode & 0o777) });
        walk(full, `${relative}/`);
      } else if (stat.isFile()) {
        entries.push({ name: relative, data: fs.readFileSync(full), mode: S_IFREG | (stat.mode & 0o777) });
      }
    }
  };
  walk(root, '');
  return entries;
}

module.exports = { buildZip, folderEntries, crc32, S_IFDIR, S_IFREG, S_IFLNK };
