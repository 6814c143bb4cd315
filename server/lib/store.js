// Demo organisation and sessions: loaded once from server/demo/*.json, kept in memory.
'use strict';

const crypto = require('crypto');
const fs = require('fs');
const path = require('path');

const DEMO_DIR = path.join(__dirname, '..', 'demo');

function readJson(relativePath) {
  return JSON.parse(fs.readFileSync(path.join(DEMO_DIR, relativePath), 'utf8'));
}

class Store {
  constructor() {
    const org = readJson('departments.json');
    this.company = org.company;
    this.departments = new Map(org.departments.map((d) => [d.dept_id, d]));
    this.roles = new Map(readJson('roles.json').roles.map((r) => [r.role_id, r]));
    this.users = new Map(readJson('users.json').users.map((u) => [u.user_id, u]));
    this.menus = readJson('menus.json');
    this.languages = readJson('lang/packages.json').list;
    this.langTables = new Map(this.languages.map((l) => [l.lang_code, readJson(`lang/${l.lang_code}.json`)]));
    // token -> user_id. Tokens never expire while the server runs: a client keeps
    // using its login token after a refresh, so an older token must stay valid.
    this.sessions = new Map();
  }

  userByAccount(account) {
    for (const user of this.users.values()) {
      if (user.user_account === account) return user;
    }
    return null;
  }

  userById(userId) {
    return this.users.get(String(userId)) || null;
  }

  department(deptId) {
    return this.departments.get(Number(deptId)) || null;
  }

  rolesOf(user) {
    return (user.role_ids || []).map((id) => this.roles.get(id)).filter(Boolean);
  }

  // Constant-time comparison, so the demo does not teach a timing leak.
  checkPassword(user, password) {
    const a = Buffer.from(String(user.password), 'utf8');
    const b = Buffer.from(String(password), 'utf8');
    return a.length === b.length && crypto.timingSafeEqual(a, b);
  }

  issueToken(userId) {
    const token = crypto.randomBytes(24).toString('hex');
    this.sessions.set(token, String(userId));
    return token;
  }

  userForToken(token) {
    if (!token) return null;
    const userId = this.sessions.get(String(token));
    return userId === undefined ? null : this.userById(userId);
  }

  // The user record in the nested shape the client reads from login and user replies.
  userRecord(user) {
    const dept = this.department(user.dept_id) || { dept_id: 0, dept_name: '', parent_id: 0 };
    const roles = this.rolesOf(user);
    return {
      user_id: user.user_id,
      user_account: user.user_account,
      user_name: user.user_name,
      dept_id: dept.dept_id,
      dept_name: dept.dept_name,
      position: user.position || '',
      gender: user.gender || 0,
      phone_number: user.phone_number || '',
      email: user.email || '',
      avatar: user.avatar || '',
      user_has_one_info: {
        email: user.email || '',
        phone_number: user.phone_number || '',
        avatar: user.avatar || '',
        gender: user.gender || 0,
      },
      user_has_one_system_info: {
        dept_id: dept.dept_id,
        position: user.position || '',
        user_system_info_belongs_to_department: {
          dept_id: dept.dept_id,
          dept_name: dept.dept_name,
          parent_id: dept.parent_id,
        },
      },
      user_has_many_role: roles.map((r) => ({ role_id: r.role_id, has_one_role: { role_id: r.role_id, role_name: r.role_name } })),
      roles: roles.map((r) => ({ role_id: r.role_id, role_name: r.role_name })),
    };
  }
}

module.exports = { Store, DEMO_DIR };
