// System reminders and the per-account menu shape: demo data from server/demo/, with read marks
// kept per user for the life of the server process.
'use strict';

const fs = require('fs');
const path = require('path');

const DEMO_DIR = path.join(__dirname, '..', 'demo');

function readJson(name) {
  return JSON.parse(fs.readFileSync(path.join(DEMO_DIR, name), 'utf8'));
}

const USER_MENUS = readJson('user-menus.json');

// Accounts listed in user-menus.json carry their own menu tree in current_user.menus, whose
// modules are the menus; every other login reply has only the grouped tree in data.menus.
function userMenus(user) {
  return USER_MENUS.accounts.includes(user.user_account) ? { menus: USER_MENUS.menus } : {};
}

function pad(n) {
  return String(n).padStart(2, '0');
}

// "yyyy-MM-dd hh:mm:ss" in local time, the form the OA server sends.
function formatTime(date) {
  return `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())} ${pad(date.getHours())}:${pad(date.getMinutes())}:${pad(date.getSeconds())}`;
}

// A module key as the reminder index uses it: numbers count as their decimal text.
function menuKey(value) {
  return value === undefined || value === null ? '' : String(value);
}

class Reminders {
  constructor() {
    this.reset();
  }

  reset() {
    this.groups = readJson('reminds.json').groups;
    const sms = readJson('system-sms.json');
    this.perPage = sms.per_page;
    const now = Date.now();
    // Each record: the reply fields plus who may see it and who has read it.
    this.sms = sms.sms.map((record) => ({
      id: record.id,
      sms_menu: menuKey(record.sms_menu),
      sms_type: record.sms_type,
      content: record.content,
      params: record.params,
      send_time: formatTime(new Date(now - record.minutes_ago * 60000)),
      recipients: record.recipients,
      readAll: Boolean(record.read),
      readBy: new Set(),
    }));
    this.nextId = Math.max(0, ...this.sms.map((r) => r.id)) + 1;
  }

  // Group and module name of a module key, for the list reply.
  groupFor(smsMenu) {
    return this.groups.find((g) => menuKey(g.remind_menu) === smsMenu) || null;
  }

  moduleKeys() {
    return [...new Set(this.groups.map((g) => menuKey(g.remind_menu)))];
  }

  visibleTo(record, userId) {
    return record.recipients === 'all' || (Array.isArray(record.recipients) && record.recipients.includes(userId));
  }

  isRead(record, userId) {
    return record.readAll || record.readBy.has(userId);
  }

  // { module: {key: count}, total } of the user's unread reminders; every module is listed.
  unread(userId) {
    const module = Object.fromEntries(this.moduleKeys().map((key) => [key, 0]));
    let total = 0;
    for (const record of this.sms) {
      if (!this.visibleTo(record, userId) || this.isRead(record, userId)) continue;
      module[record.sms_menu] = (module[record.sms_menu] || 0) + 1;
      total += 1;
    }
    return { module, total };
  }

  publicRecord(record, userId) {
    const group = this.groupFor(record.sms_menu);
    return {
      id: record.id,
      sms_menu: record.sms_menu,
      sms_type: record.sms_type,
      content: record.content,
      params: record.params,
      send_time: record.send_time,
      // 0 unread, 1 read
      remind_flag: this.isRead(record, userId) ? 1 : 0,
      remind_name: group ? group.remind_name : '',
      menu_name: group ? group.menu_name : '',
    };
  }

  // One page of the user's reminders, newest first. `flags` and `menus` filter when they
  // hold a value other than "" (a flag is "0" unread or "1" read).
  page(userId, { flags, menus, page }) {
    const wantFlags = flags.filter((f) => f !== '' && f !== 'all').map(String);
    const wantMenus = menus.filter((m) => m !== '' && m !== 'all').map(String);
    const matching = this.sms
      .filter((r) => this.visibleTo(r, userId))
      .map((r) => this.publicRecord(r, userId))
      .filter((r) => wantFlags.length === 0 || wantFlags.includes(String(r.remind_flag)))
      .filter((r) => wantMenus.length === 0 || wantMenus.includes(r.sms_menu))
      .sort((a, b) => (a.send_time === b.send_time ? b.id - a.id : a.send_time < b.send_time ? 1 : -1));
    const lastPage = Math.max(1, Math.ceil(matching.length / this.perPage));
    const current = Math.min(Math.max(1, page), lastPage);
    return {
      total: matching.length,
      per_page: this.perPage,
      current_page: current,
      last_page: lastPage,
      data: matching.slice((current - 1) * this.perPage, current * this.perPage),
    };
  }

  // Marks one reminder read for the user; the record, or null when the user has none by that id.
  markRead(userId, id) {
    const record = this.sms.find((r) => String(r.id) === String(id) && this.visibleTo(r, userId));
    if (!record) return null;
    record.readBy.add(userId);
    return this.publicRecord(record, userId);
  }

  // Marks every reminder of a module read for the user; returns how many changed.
  markModuleRead(userId, smsMenu) {
    let changed = 0;
    for (const record of this.sms) {
      if (record.sms_menu !== smsMenu || !this.visibleTo(record, userId) || this.isRead(record, userId)) continue;
      record.readBy.add(userId);
      changed += 1;
    }
    return changed;
  }

  add({ sms_menu, sms_type, content, params, recipients }) {
    const record = {
      id: this.nextId++,
      sms_menu: menuKey(sms_menu),
      sms_type: sms_type || '',
      content: content || '',
      params: params === undefined ? '{}' : typeof params === 'string' ? params : JSON.stringify(params),
      send_time: formatTime(new Date()),
      recipients: recipients === undefined ? 'all' : recipients,
      readAll: false,
      readBy: new Set(),
    };
    this.sms.push(record);
    return record;
  }
}

// Synthetic groups for the "huge" test mode: `count` groups with `items` reminders each.
function hugeGroups(count, items) {
  const groups = [];
  for (let g = 1; g <= count; g++) {
    const reminds = [];
    for (let i = 1; i <= items; i++) {
      reminds.push({ id: g * 100000 + i, remind_name: `提醒${g}-${i}`, remind_menu: `m${g}`, remind_type: 't', menu_id: g });
    }
    groups.push({ id: g, remind_name: `模块${g}`, remind_menu: `m${g}`, menu_id: g, menu_name: `菜单${g}`, system_reminds: reminds });
  }
  return groups;
}

function hugeUnread(count) {
  const module = {};
  for (let g = 1; g <= count; g++) module[`m${g}`] = g % 7;
  return { module, total: Object.values(module).reduce((a, b) => a + b, 0) };
}

module.exports = { Reminders, userMenus, hugeGroups, hugeUnread, formatTime };
