// Chat groups of the messaging service, seeded from demo/groups.json and changed by clients.
'use strict';

const fs = require('fs');
const path = require('path');
const { DEMO_DIR } = require('./store');
const { formatTime, isTimeText, readIds, readText } = require('./messaging-wire');

const GROUPS_FILE = path.join(DEMO_DIR, 'groups.json');
const MAX_GROUP_ID = 64;
const MAX_GROUP_NAME = 100;

function loadDemo() {
  return JSON.parse(fs.readFileSync(GROUPS_FILE, 'utf8'));
}

class Groups {
  // `store` says which user ids exist; groups only ever hold known users.
  constructor(store) {
    this.store = store;
    this.reset();
  }

  reset() {
    this.groups = new Map();
    for (const g of loadDemo().groups) {
      const members = readIds(g.members).filter((id) => this.known(id));
      if (members.length === 0) continue;
      this.groups.set(g.id, { id: g.id, creator: g.creator, name: g.name, create_time: g.create_time, update_time: g.update_time, members });
    }
  }

  static demoHistory() {
    return loadDemo().history || [];
  }

  known(userId) {
    return this.store.userById(userId) !== null;
  }

  get(groupId) {
    return this.groups.get(readText(groupId)) || null;
  }

  isMember(group, userId) {
    return Boolean(group) && group.members.includes(userId);
  }

  ofUser(userId) {
    return [...this.groups.values()].filter((g) => g.members.includes(userId));
  }

  // A new group from a "create group" request by `creator`. Returns { group } or { error }.
  create(creator, request) {
    const id = readText(request.id).trim();
    if (id === '' || id.length > MAX_GROUP_ID) return { error: '群组编号无效' };
    if (this.groups.has(id)) return { error: '群组已存在' };
    const name = readText(request.name).trim().slice(0, MAX_GROUP_NAME) || '群聊';
    const members = readIds(request.members).filter((m) => m !== creator && this.known(m));
    members.push(creator);
    const now = formatTime(Date.now());
    const group = {
      id,
      creator,
      name,
      create_time: isTimeText(request.create_time) ? request.create_time : now,
      update_time: isTimeText(request.update_time) ? request.update_time : now,
      members,
    };
    this.groups.set(id, group);
    return { group };
  }

  // Applies an "edit group" request; returns { group, before, added, removed } or { error }.
  // Unknown users are not added and non-members are not "removed", so the lists sent back
  // to the clients name only real changes.
  edit(editor, request, addIds, deleteIds) {
    const group = this.get(request.id);
    if (!group) return { error: '群组不存在' };
    if (!group.members.includes(editor)) return { error: '不是群组成员' };
    const before = group.members.slice();
    const added = addIds.filter((id) => !before.includes(id) && this.known(id));
    const removed = deleteIds.filter((id) => before.includes(id) && !added.includes(id));
    group.members = before.filter((id) => !removed.includes(id)).concat(added);
    const name = readText(request.name).trim().slice(0, MAX_GROUP_NAME);
    if (name !== '') group.name = name;
    // A group whose creator left keeps someone who may delete it.
    if (!group.members.includes(group.creator) && group.members.length > 0) group.creator = group.members[0];
    group.update_time = formatTime(Date.now());
    if (group.members.length === 0) this.groups.delete(group.id);
    return { group, before, added, removed };
  }

  remove(groupId) {
    this.groups.delete(groupId);
  }
}

module.exports = { Groups, GROUPS_FILE };
