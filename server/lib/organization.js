// The organisation directory: company, department tree, users and roles. The demo organisation
// joins the login accounts (demo/users.json, demo/departments.json, demo/roles.json) with the
// rest of the staff in demo/organization.json; `--org-size N` generates one of N users instead.
'use strict';

const fs = require('fs');
const path = require('path');
const { DEMO_DIR } = require('./store');

// Shape of a generated organisation: departments hold about this many users, and each
// department has up to this many sub-departments (10,000 users give 500 departments in three
// levels).
const USERS_PER_DEPARTMENT = 20;
const BRANCHING = 8;
const GENERATED_FIRST_ID = 20001;
const MAX_ORG_SIZE = 1000000;

const SURNAMES = [
  ['王', 'wang'], ['李', 'li'], ['张', 'zhang'], ['刘', 'liu'], ['陈', 'chen'], ['杨', 'yang'],
  ['黄', 'huang'], ['赵', 'zhao'], ['吴', 'wu'], ['周', 'zhou'], ['徐', 'xu'], ['孙', 'sun'],
  ['马', 'ma'], ['朱', 'zhu'], ['胡', 'hu'], ['郭', 'guo'], ['何', 'he'], ['高', 'gao'],
  ['林', 'lin'], ['罗', 'luo'], ['郑', 'zheng'], ['梁', 'liang'], ['谢', 'xie'], ['宋', 'song'],
  ['唐', 'tang'], ['许', 'xu'], ['韩', 'han'], ['冯', 'feng'], ['邓', 'deng'], ['曹', 'cao'],
];
// Given names with their pinyin, syllables apart.
const GIVEN = [
  ['伟', 'wei'], ['芳', 'fang'], ['娜', 'na'], ['敏', 'min'], ['静', 'jing'], ['强', 'qiang'],
  ['磊', 'lei'], ['洋', 'yang'], ['艳', 'yan'], ['勇', 'yong'], ['军', 'jun'], ['杰', 'jie'],
  ['娟', 'juan'], ['涛', 'tao'], ['明', 'ming'], ['超', 'chao'], ['秀英', 'xiu ying'], ['霞', 'xia'],
  ['平', 'ping'], ['刚', 'gang'], ['桂英', 'gui ying'], ['建华', 'jian hua'], ['晓东', 'xiao dong'],
  ['丽华', 'li hua'], ['志强', 'zhi qiang'], ['海燕', 'hai yan'], ['子涵', 'zi han'], ['思远', 'si yuan'],
  ['雨桐', 'yu tong'], ['浩然', 'hao ran'], ['欣怡', 'xin yi'], ['宇轩', 'yu xuan'], ['佳怡', 'jia yi'],
  ['俊杰', 'jun jie'], ['梓萱', 'zi xuan'], ['博文', 'bo wen'], ['诗涵', 'shi han'], ['天佑', 'tian you'],
  ['嘉怡', 'jia yi'], ['明轩', 'ming xuan'],
];
const AREAS = ['华东', '华南', '华北', '西南', '西北', '华中', '东北', '海外'];
const FUNCTIONS = ['研发', '产品', '测试', '运维', '销售', '市场', '客服', '财务', '人事', '法务', '采购', '质量'];
const LEVEL_SUFFIX = ['中心', '部', '组'];
const POSITIONS = ['工程师', '专员', '主管', '助理', '顾问', '分析师'];

function readDemo(name) {
  return JSON.parse(fs.readFileSync(path.join(DEMO_DIR, name), 'utf8'));
}

// Initials of pinyin syllables (["zhang", "xiao", "dong"] -> "zxd").
function initials(syllables) {
  return syllables.map((s) => s[0]).join('');
}

// Turns `text` into an integer id, or null when it is not one.
function idOf(text) {
  const value = typeof text === 'number' ? text : /^\d+$/.test(String(text)) ? Number(text) : NaN;
  return Number.isSafeInteger(value) ? value : null;
}

function normaliseUser(u) {
  return {
    user_id: String(u.user_id),
    user_account: u.user_account || '',
    user_name: u.user_name,
    user_name_py: u.user_name_py || '',
    user_name_zm: u.user_name_zm || '',
    dept_id: Number(u.dept_id) || 0,
    role_ids: (u.role_ids || []).map(Number),
    position: u.position || '',
    gender: u.gender || 0,
    phone_number: u.phone_number || '',
    email: u.email || '',
    avatar: u.avatar || '',
  };
}

class Organization {
  // `orgSize`: generate an organisation of that many users (the login accounts among them)
  // instead of the demo staff.
  constructor(store, { orgSize = 0 } = {}) {
    const extra = readDemo('organization.json');
    this.company = { ...store.company, ...extra.company };
    this.roles = new Map(store.roles);
    for (const role of extra.roles) this.roles.set(role.role_id, role);
    this.visibility = extra.visibility;
    const accounts = [...store.users.values()].map(normaliseUser);
    if (orgSize > 0) this.generate(store, accounts, orgSize);
    else {
      this.departments = [...store.departments.values(), ...extra.departments];
      this.users = [...accounts, ...extra.users.map(normaliseUser)];
    }
    this.buildIndexes();
  }

  generate(store, accounts, size) {
    const count = Math.max(1, Math.round(size / USERS_PER_DEPARTMENT));
    this.departments = [];
    for (let id = 1; id <= count; id++) {
      const parent = id <= BRANCHING ? 0 : Math.floor((id - 1) / BRANCHING);
      const level = parent === 0 ? 0 : parent <= BRANCHING ? 1 : 2;
      // The login accounts' departments keep their names, so the login reply and the tree agree.
      const known = store.department(id);
      const name = known
        ? known.dept_name
        : `${AREAS[id % AREAS.length]}${FUNCTIONS[Math.floor(id / AREAS.length) % FUNCTIONS.length]}${LEVEL_SUFFIX[Math.min(level, 2)]}`;
      this.departments.push({ dept_id: id, dept_name: name, parent_id: parent, sort: id });
    }
    this.users = accounts.map((u) => ({ ...u, dept_id: u.dept_id >= 1 && u.dept_id <= count ? u.dept_id : ((Number(u.user_id) - 1) % count) + 1 }));
    for (let k = 0; this.users.length < size; k++) {
      const [surname, surnamePy] = SURNAMES[k % SURNAMES.length];
      const [given, givenSyllables] = GIVEN[Math.floor(k / SURNAMES.length) % GIVEN.length];
      const syllables = [surnamePy, ...givenSyllables.split(' ')];
      const py = syllables.join('');
      const deptId = (k % count) + 1;
      const manager = k < count;
      const roleIds = manager ? [2] : [3];
      if (k % 97 === 5) roleIds.push(6);
      if (k % 499 === 7) roleIds.push(4);
      const id = GENERATED_FIRST_ID + k;
      this.users.push({
        user_id: String(id),
        user_account: `${py}${id}`,
        user_name: surname + given,
        user_name_py: py,
        user_name_zm: initials(syllables),
        dept_id: deptId,
        role_ids: roleIds,
        position: manager ? '部门经理' : POSITIONS[k % POSITIONS.length],
        gender: (k % 2) + 1,
        phone_number: `13${5 + (k % 5)}${String(k).padStart(8, '0')}`,
        email: `${py}${id}@xinghe-oa.example`,
        avatar: '',
      });
    }
  }

  buildIndexes() {
    this.departmentById = new Map(this.departments.map((d) => [d.dept_id, d]));
    this.userById = new Map(this.users.map((u) => [u.user_id, u]));
    this.subDepartments = new Map();
    this.usersOf = new Map();
    const sorted = [...this.departments].sort((a, b) => (a.sort || 0) - (b.sort || 0) || a.dept_id - b.dept_id);
    for (const dept of sorted) {
      if (!this.subDepartments.has(dept.parent_id)) this.subDepartments.set(dept.parent_id, []);
      this.subDepartments.get(dept.parent_id).push(dept);
    }
    for (const user of this.users) {
      if (!this.usersOf.has(user.dept_id)) this.usersOf.set(user.dept_id, []);
      this.usersOf.get(user.dept_id).push(user);
    }
  }

  // Direct members: sub-departments plus users.
  memberCount(deptId) {
    return (this.subDepartments.get(deptId) || []).length + (this.usersOf.get(deptId) || []).length;
  }

  departmentName(deptId) {
    if (deptId === 0) return this.company.company_name;
    const dept = this.departmentById.get(deptId);
    return dept ? dept.dept_name : '';
  }

  rolesOf(user) {
    return user.role_ids.map((id) => this.roles.get(id)).filter(Boolean).map((r) => ({ role_id: r.role_id, role_name: r.role_name }));
  }

  // The members of one department (0 is the company itself), or null for an unknown id.
  members(deptIdText) {
    const deptId = idOf(deptIdText);
    if (deptId === null || (deptId !== 0 && !this.departmentById.has(deptId))) return null;
    return {
      dept: (this.subDepartments.get(deptId) || []).map((d) => ({
        dept_id: d.dept_id,
        dept_name: d.dept_name,
        parent_id: d.parent_id,
        has_children: this.memberCount(d.dept_id),
      })),
      user: (this.usersOf.get(deptId) || []).map((u) => this.memberUser(u)),
    };
  }

  memberUser(user) {
    return {
      user_id: user.user_id,
      user_name: user.user_name,
      dept_id: user.dept_id,
      dept_name: this.departmentName(user.dept_id),
      position: user.position,
      phone_number: user.phone_number,
      email: user.email,
      roles: this.rolesOf(user),
    };
  }

  // The nested record that login and the user endpoints answer with.
  userRecord(user) {
    const dept = { dept_id: user.dept_id, dept_name: this.departmentName(user.dept_id), parent_id: (this.departmentById.get(user.dept_id) || { parent_id: 0 }).parent_id };
    const roles = this.rolesOf(user);
    return {
      user_id: user.user_id,
      user_account: user.user_account,
      user_name: user.user_name,
      user_name_py: user.user_name_py,
      dept_id: dept.dept_id,
      dept_name: dept.dept_name,
      position: user.position,
      gender: user.gender,
      phone_number: user.phone_number,
      email: user.email,
      avatar: user.avatar,
      user_has_one_info: { email: user.email, phone_number: user.phone_number, avatar: user.avatar, gender: user.gender },
      user_has_one_system_info: { dept_id: dept.dept_id, position: user.position, user_system_info_belongs_to_department: dept },
      user_has_many_role: roles.map((r) => ({ role_id: r.role_id, has_one_role: { ...r } })),
      roles,
    };
  }

  user(userId) {
    return this.userById.get(String(userId)) || null;
  }

  // Users holding any of `roleIds` (all users without a filter).
  usersWithRoles(roleIds) {
    if (!Array.isArray(roleIds)) return this.users;
    const wanted = new Set(roleIds.map(idOf).filter((id) => id !== null));
    return this.users.filter((u) => u.role_ids.some((id) => wanted.has(id)));
  }

  roleList() {
    const counts = new Map();
    for (const user of this.users) for (const id of user.role_ids) counts.set(id, (counts.get(id) || 0) + 1);
    return [...this.roles.values()].sort((a, b) => a.role_id - b.role_id).map((r) => ({ role_id: r.role_id, role_name: r.role_name, user_count: counts.get(r.role_id) || 0 }));
  }

  // Users whose name, pinyin or initials contain `text` (case-insensitive for the Latin ones).
  search(text) {
    const needle = String(text || '');
    if (needle === '') return [];
    const lower = needle.toLowerCase();
    return this.users.filter((u) => u.user_name.includes(needle) || u.user_name_py.includes(lower) || u.user_name_zm.includes(lower));
  }

  // Ids of the users `viewer` may see: everyone for the unrestricted roles, otherwise everyone
  // but the hidden ones (a viewer always sees themself).
  visibleIds(viewer) {
    const all = this.users.map((u) => u.user_id);
    if (!viewer) return [];
    const unrestricted = new Set(this.visibility.unrestricted_role_ids);
    if (viewer.role_ids.some((id) => unrestricted.has(id))) return all;
    const hidden = new Set(this.visibility.hidden_user_ids);
    return all.filter((id) => id === viewer.user_id || !hidden.has(id));
  }
}

function parseOrgSize(text) {
  const size = Number(text);
  if (!/^\d+$/.test(String(text)) || size < 1 || size > MAX_ORG_SIZE) throw new Error(`--org-size must be a whole number from 1 to ${MAX_ORG_SIZE}`);
  return size;
}

module.exports = { Organization, parseOrgSize, USERS_PER_DEPARTMENT };
