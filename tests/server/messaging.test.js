// The messaging service over real socket.io connections: a server child process per
// generation, driven by the official Node clients as two or more colleagues.
'use strict';

const { describe, it, before, after, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const { createRequire } = require('node:module');
const path = require('node:path');

const SERVER_DIR = path.join(__dirname, '..', '..', 'server');
const serverRequire = createRequire(path.join(SERVER_DIR, 'package.json'));
const WAIT_MS = 5000;

const INBOUND = ['private message', 'group message', 'update record', 'group updateRecordInfo', 'send recordLength', 'send groupRecordLength', 'metion callback', 'tarnex.system-message-channel', 'onlineUsers', 'add group', 'edit groupCB', 'edit groupDelete', 'edit groupAdd', 'edit group'];
const PROJECT_GROUP = '9c4e7a10-3f2b-4d88-b5a6-71e0c3d2f902'; // demo: 10005, 10001, 10002, 10003

function startServer(args) {
  return new Promise((resolve, reject) => {
    const child = spawn(process.execPath, [path.join(SERVER_DIR, 'server.js'), '--port', '0', ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    const timer = setTimeout(() => reject(new Error(`server did not start: ${out}`)), 10000);
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const m = /listening on (http:\/\/127\.0\.0\.1:\d+)\n/.exec(out);
      if (!m) return;
      clearTimeout(timer);
      const exited = new Promise((done) => child.once('exit', done));
      resolve({ base: m[1], stop: () => (child.kill('SIGTERM'), exited) });
    });
    child.stderr.on('data', (chunk) => (out += chunk));
    child.once('exit', (code) => reject(new Error(`server exited with ${code}: ${out}`)));
  });
}

async function hookReply(server, name, body = {}) {
  const res = await fetch(`${server.base}/__hooks/${name}`, { method: 'POST', body: JSON.stringify(body) });
  return { status: res.status, body: await res.json() };
}

async function hook(server, name, body) {
  const reply = await hookReply(server, name, body);
  assert.equal(reply.status, 200, `hook ${name}: ${JSON.stringify(reply.body)}`);
  return reply.body;
}

const timeout = (ms, what) => new Promise((_, reject) => setTimeout(() => reject(new Error(`timed out: ${what}`)), ms));

// One connected colleague: everything it receives is queued until a test takes it.
class Peer {
  constructor(io, server, userId, options = {}) {
    this.userId = userId;
    this.queue = [];
    this.waiters = [];
    const query = userId === undefined ? {} : { loginUserId: userId, loginDeptId: '技术研发部', loginRoleId: '普通员工' };
    this.socket = io(`${server.base}/client`, { transports: ['websocket'], forceNew: true, reconnection: false, query, ...options });
    for (const event of INBOUND) this.socket.on(event, (...args) => this.deliver(event, args));
  }

  deliver(event, args) {
    const waiter = this.waiters.find((w) => w.event === event && w.match(...args));
    if (!waiter) return this.queue.push({ event, args });
    this.waiters.splice(this.waiters.indexOf(waiter), 1);
    waiter.resolve(args);
  }

  // The first not yet taken `event` whose arguments satisfy `match`.
  next(event, match = () => true) {
    const i = this.queue.findIndex((e) => e.event === event && match(...e.args));
    if (i >= 0) return Promise.resolve(this.queue.splice(i, 1)[0].args);
    return Promise.race([new Promise((resolve) => this.waiters.push({ event, match, resolve })), timeout(WAIT_MS, `${this.userId} waiting for "${event}"`)]);
  }

  async online(ids) {
    return this.next('onlineUsers', (p) => JSON.stringify(p.onlineUsers) === JSON.stringify(ids));
  }

  forget(event) {
    this.queue = this.queue.filter((e) => e.event !== event);
  }

  has(event) {
    return this.queue.some((e) => e.event === event);
  }

  ack(event, ...args) {
    return Promise.race([new Promise((resolve) => this.socket.emit(event, ...args, (...reply) => resolve(reply))), timeout(WAIT_MS, `ack of "${event}"`)]);
  }

  // The leave notice as the desktop client sends it; the Node clients refuse this name.
  sendLeaveNotice() {
    this.socket.io.engine.write(`2/client,${JSON.stringify(['disconnect', { type: 'socketClient', loginUserId: this.userId }])}`);
  }
}

const settle = (ms = 200) => new Promise((resolve) => setTimeout(resolve, ms));

function privatePayload(to, msgId, msg = 'hello', extra = {}) {
  return { msg, creator: 'ignored', msg_type: 'text', sendType: 'sending', to, type: 'user', send_time: msgId, msg_id: msgId, ...extra };
}

function groupPayload(groupId, msgId, msg = 'hello all') {
  return { msg, creator: 'ignored', msg_type: 'text', sendType: 'sending', group_id: groupId, type: 'personal_group', send_time: msgId, msg_id: msgId, fromDetail: {}, info: {} };
}

const COMBINATIONS = [
  { name: 'socket.io 4 server, socket.io 4 client', args: [], client: 'socket.io-client', generation: 4 },
  { name: 'socket.io 4 server, Engine.IO 3 client', args: [], client: 'socket.io-client-v2', generation: 4 },
  { name: 'socket.io 2 server', args: ['--socketio-v2'], client: 'socket.io-client-v2', generation: 2 },
];

for (const combo of COMBINATIONS) {
  describe(`messaging: ${combo.name}`, () => {
    const io = serverRequire(combo.client);
    let server;
    let peers = [];
    const connect = async (userId, options) => {
      const peer = new Peer(io, server, userId, options);
      peers.push(peer);
      await Promise.race([new Promise((resolve) => peer.socket.once('connect', resolve)), timeout(WAIT_MS, 'connect')]);
      return peer;
    };
    const signIn = async (userId) => {
      const peer = await connect(userId);
      assert.deepEqual(await peer.ack('login', 'success'), ['success']);
      return peer;
    };

    before(async () => (server = await startServer(['--test-hooks', ...combo.args])));
    after(() => server.stop());
    beforeEach(() => hook(server, 'reset'));
    afterEach(async () => {
      for (const peer of peers) peer.socket.close();
      peers = [];
      await settle(50);
    });

    it('login: success for a known user, refusals, and what the login-ack hook asks for', async () => {
      for (const user of ['nobody', undefined]) assert.deepEqual(await (await connect(user)).ack('login', 'success'), ['fail']);
      const peer = await connect('10001');
      for (const [mode, expected] of [
        [{ mode: 'value', value: 'denied' }, ['denied']],
        [{ mode: 'value', value: { code: 7 } }, [{ code: 7 }]],
        [{ mode: 'empty' }, []],
      ]) {
        await hook(server, 'login-ack', mode);
        assert.deepEqual(await peer.ack('login', 'success'), expected, JSON.stringify(mode));
      }
      await hook(server, 'login-ack', { mode: 'silent' });
      await assert.rejects(Promise.race([peer.ack('login', 'success'), settle(400).then(() => Promise.reject(new Error('no answer')))]), /no answer/);
      assert.equal((await hookReply(server, 'login-ack', { mode: 'bogus' })).status, 400);
      await hook(server, 'reset');
      assert.deepEqual(await peer.ack('login', 'success'), ['success']);
    });

    it('online users follow connects, disconnects and the leave notice, which the event log keeps', async () => {
      const a = await signIn('10001');
      await a.online(['10001']);
      const b = await signIn('10002');
      await a.online(['10001', '10002']);
      await b.online(['10001', '10002']);
      await connect('nobody'); // an unknown user is never online, but the list is sent again
      await a.online(['10001', '10002']);

      b.sendLeaveNotice();
      await a.online(['10001']);
      const { events } = await hook(server, 'received', { event: 'disconnect' });
      assert.equal(events.length, 1);
      assert.equal(events[0].user, '10002');
      assert.deepEqual(events[0].args, [{ type: 'socketClient', loginUserId: '10002' }]);
      if (combo.generation === 2) {
        // 2.x keeps the connection: logging in again brings the user back.
        assert.deepEqual(await b.ack('login', 'success'), ['success']);
        await a.online(['10001', '10002']);
        b.socket.close();
        await a.online(['10001']);
      } else {
        await settle();
        assert.equal(b.socket.connected, false);
      }
    });

    it('private message: acknowledged, delivered in the stored shape, read up to the newest delivered id', async () => {
      const a = await signIn('10001');
      const b = await signIn('10002');
      const id = Date.now();
      assert.deepEqual(await a.ack('send message', privatePayload('10002', id, 'hello, 世界 😀')), [{ to: '10002', msg_id: id }]);
      const [m] = await b.next('private message');
      assert.equal(typeof m.time, 'number');
      assert.deepEqual({ ...m, time: 0 }, {
        creator: '10001', to: '10002', chat_object: '10001', download: '', file_type: '', haveread: '0',
        msg: 'hello, 世界 😀', msg_id: id, msg_type: 'text', send_time: id, time: 0, type: 'user',
      });
      const download = { id: 'att-9', name: 'plan v2.docx' };
      await a.ack('send message', privatePayload('10002', id + 5, 'plan v2.docx', { msg_type: 'file', file_type: 'docx', download, size: 12, percent: 100, fileIndex: 0 }));
      const [file] = await b.next('private message');
      assert.deepEqual([file.download, file.file_type, file.size, file.msg_type], [download, 'docx', 12, 'file']);

      // The mark runs a day ahead; the sender learns the last id really sent.
      assert.deepEqual(await b.ack('update havRead', { from: '10001', to: '10002', type: 'user', msg_id: id + 86400000 }), ['success']);
      assert.deepEqual((await a.next('update record'))[0], { from: '10001', to: '10002', msg_id: id + 5 });
      await b.ack('outline recordLength', '');
      assert.deepEqual((await b.next('send recordLength', (p) => '10001' in p))[0], { 10001: 0 });

      // A resend of the same message is kept once.
      await a.ack('send message', privatePayload('10002', id, 'hello, 世界 😀'));
      assert.equal((await a.ack('get record', { type: 'user', from: '10001', to: '10002', limit: 10 }))[0].length, 2);
    });

    it('a copy of an accepted message is answered again and delivered once; the send-ack hook refuses or stays silent', async () => {
      const a = await signIn('10001');
      const b = await signIn('10002');
      const id = Date.now();
      await hook(server, 'send-ack', { mode: 'silent', count: 1 });
      await assert.rejects(Promise.race([a.ack('send message', privatePayload('10002', id, 'once')), settle(400).then(() => Promise.reject(new Error('no answer')))]), /no answer/);
      await b.next('private message');
      assert.deepEqual(await a.ack('send message', privatePayload('10002', id, 'once')), [{ to: '10002', msg_id: id }]);
      await hook(server, 'send-ack', { mode: 'refuse', reason: 'busy', count: 1 });
      assert.deepEqual(await a.ack('send message', privatePayload('10002', id + 1, 'later')), ['busy']);
      assert.deepEqual(await a.ack('send message', privatePayload('10002', id + 1, 'later')), [{ to: '10002', msg_id: id + 1 }]);
      await b.next('private message', (m) => m.msg === 'later');
      await settle();
      assert.equal(b.has('private message'), false);
      const { messages } = await hook(server, 'accepted', { from: '10001' });
      assert.deepEqual(messages.map((m) => [m.msg_id, m.msg]), [[id, 'once'], [id + 1, 'later']]);
    });

    it('the namespace hook holds the join, or answers it after an event', async () => {
      await hook(server, 'namespace', { mode: 'early', event: 'onlineUsers', args: [{ onlineUsers: ['early'] }] });
      const early = await connect('10001');
      // The official clients keep what came before the join's answer and hand it over after.
      assert.deepEqual((await early.next('onlineUsers', (p) => p.onlineUsers[0] === 'early'))[0], { onlineUsers: ['early'] });
      await hook(server, 'namespace', { mode: 'silent' });
      await assert.rejects(connect('10002'), /timed out: connect/);
    });

    it('refused messages ack a text, never a delivery, and reach nobody', async () => {
      const a = await signIn('10001');
      const b = await signIn('10002');
      const refused = [privatePayload('nobody', 1), privatePayload('10002', 2, { html: 'no' }), 'text', groupPayload('no-such-group', 3), groupPayload('e2a61d57-0b9c-4f3e-8a24-6d5c1b7e9f03', 4)];
      for (const payload of refused) {
        const reply = await a.ack('send message', payload);
        assert.equal(typeof reply[0], 'string', JSON.stringify(payload));
        assert.notEqual(reply[0], 'success');
      }
      assert.equal(typeof (await (await connect('nobody')).ack('send message', privatePayload('10002', 5)))[0], 'string');
      await settle();
      assert.equal(b.has('private message') || b.has('group message'), false);
    });

    it('reaches a colleague of the organisation who is not a login account', async () => {
      const a = await signIn('10001');
      const id = Date.now();
      // 10008 is in the directory only; a message to them must not be refused as unknown.
      assert.deepEqual(await a.ack('send message', privatePayload('10008', id)), [{ to: '10008', msg_id: id }]);
      assert.equal(typeof (await a.ack('send message', privatePayload('19999999', id + 1)))[0], 'string');
    });

    it('the send-refusal hook refuses a sender\'s messages with its text, for a count or until off', async () => {
      const a = await signIn('10001');
      const b = await signIn('10002');
      const id = Date.now();
      await hook(server, 'send-refusal', { reason: '消息过大', from: '10001', count: 2 });
      assert.deepEqual(await a.ack('send message', privatePayload('10002', id)), ['消息过大']);
      // Another sender is not refused.
      assert.deepEqual(await b.ack('send message', privatePayload('10001', id + 1)), [{ to: '10001', msg_id: id + 1 }]);
      assert.deepEqual(await a.ack('send message', groupPayload(PROJECT_GROUP, id + 2)), ['消息过大']);
      // The count is used up: the next one is delivered.
      assert.deepEqual(await a.ack('send message', privatePayload('10002', id + 3)), [{ to: '10002', msg_id: id + 3 }]);
      assert.equal((await b.next('private message'))[0].msg_id, id + 3);
      await hook(server, 'send-refusal', {});
      assert.equal(typeof (await b.ack('send message', privatePayload('10001', id + 4)))[0], 'string');
      await hook(server, 'send-refusal', { off: true });
      assert.deepEqual(await b.ack('send message', privatePayload('10001', id + 5)), [{ to: '10001', msg_id: id + 5 }]);
      assert.equal((await hookReply(server, 'send-refusal', { reason: 'success' })).status, 400);
      // Refused messages were never stored.
      const [records] = await a.ack('get record', { type: 'user', from: '10001', to: '10002', limit: 10 });
      assert.deepEqual(records.map((r) => r.msg_id).sort(), [id + 1, id + 3, id + 5]);
    });

    it('the send-refusal hook can hold its refusals until they are released', async () => {
      const a = await signIn('10001');
      const id = Date.now();
      await hook(server, 'send-refusal', { reason: '消息过大', from: '10001', hold: true });
      let answer = null;
      const answered = a.ack('send message', privatePayload('10002', id)).then((reply) => (answer = reply));
      let held = 0;
      for (let i = 0; i < 100 && held === 0; ++i) {
        held = (await hook(server, 'send-refusal', { query: true })).held;
        if (held === 0) await new Promise((done) => setTimeout(done, 20));
      }
      assert.equal(held, 1);
      assert.equal(answer, null, 'no answer while held');
      assert.equal((await hook(server, 'send-refusal', { release: true })).released, 1);
      await answered;
      assert.deepEqual(answer, ['消息过大']);
      await hook(server, 'send-refusal', { off: true });
      const [records] = await a.ack('get record', { type: 'user', from: '10001', to: '10002', limit: 10 });
      assert.ok(!records.some((r) => r.msg_id === id), 'a refused message is not stored');
    });

    it('the history-add hook stores earlier messages that only record requests show', async () => {
      const a = await signIn('10001');
      const seeded = await hook(server, 'history-add', { from: '10002', to: '10001', count: 30, msg: 'old' });
      assert.equal(seeded.lastMsgId - seeded.firstMsgId, 29000);
      await settle(100);
      assert.equal(a.has('private message'), false);
      const [last] = await a.ack('get record', { type: 'user', from: '10001', to: '10002', limit: 25 });
      assert.equal(last.length, 25);
      assert.deepEqual([last[0].msg, last[24].msg, last[24].msg_id], ['old 6', 'old 30', seeded.lastMsgId]);
      assert.equal((await hookReply(server, 'history-add', { from: '10002', to: 'nobody' })).status, 400);
      // Given messages, a file among them; one bad item stores none of them.
      const items = [{ from: '10001', to: '10003', msg: 'see the file' }, { from: '10003', to: '10001', msg: 'plan.pdf', msg_type: 'file', file_type: 'pdf', download: 'att-1' }];
      assert.equal((await hookReply(server, 'history-add', { items: [...items, { from: '10003', to: 'nobody', msg: 'x' }] })).status, 400);
      await hook(server, 'history-add', { items });
      const [given] = await a.ack('get record', { type: 'user', from: '10001', to: '10003', limit: 10 });
      assert.deepEqual(given.map((r) => [r.creator, r.msg, r.msg_type, r.download]), [['10001', 'see the file', 'text', ''], ['10003', 'plan.pdf', 'file', 'att-1']]);
    });

    it('messages to an offline user wait as unread counts and last records', async () => {
      const a = await signIn('10001');
      const id = Date.now();
      for (const [i, text] of ['one', 'two', 'three, with a comma'].entries()) await a.ack('send message', privatePayload('10003', id + i, text));
      const c = await signIn('10003');
      assert.deepEqual((await c.next('send recordLength'))[0], { 10001: 3 });
      const [last] = await c.ack('get lastrecord', [
        { type: 'user', id: '10001' },
        { type: 'user', id: '10004' },
        { type: 'personal_group', id: PROJECT_GROUP },
      ]);
      assert.deepEqual(last, { '10001**_**2': `three, with a comma,${id + 2}` });
      assert.deepEqual(await c.ack('get lastrecord', 'not an array'), [{}]);
    });

    it('history: limits, time, text and combined searches, pictures and files', async () => {
      const a = await signIn('10001');
      const b = await signIn('10002');
      const day1 = new Date(2024, 4, 6).getTime();
      const day2 = new Date(2024, 4, 7).getTime();
      const hour = 3600000;
      const sent = [
        [day1 + 10 * hour, 'Quarterly <b>Report</b>', 'text'],
        [day1 + 15 * hour, 'lunch?', 'text'],
        [day2 + 9 * hour, 'report draft', 'text'],
        [day2 + 10 * hour, '<img src="x.png">', 'img'],
        [day2 + 11 * hour, 'budget.xlsx', 'file'],
      ];
      for (const [t, msg, type] of sent) await a.ack('send message', privatePayload('10002', t, msg, { msg_type: type }));
      const range = (day) => `${day},${day + 24 * hour - 1000}`;
      const cases = [
        [{ limit: 2 }, ['<img src="x.png">', 'budget.xlsx']],
        [{}, sent.map((s) => s[1])],
        [{ limit: 0 }, []],
        [{ getRecordType: 'time', keyword: range(day1) }, ['Quarterly <b>Report</b>', 'lunch?']],
        [{ getRecordType: 'string', keyword: 'REPORT' }, ['Quarterly <b>Report</b>', 'report draft']],
        [{ getRecordType: 'string', keyword: '<b>' }, []],
        [{ getRecordType: 'both', keyword: `${range(day2)}_~report` }, ['report draft']],
        [{ getRecordType: 'time', keyword: 'yesterday' }, []],
      ];
      for (const [search, expected] of cases) {
        const [list] = await b.ack('get record', { type: 'user', from: '10002', to: '10001', ...search });
        assert.deepEqual(list.map((m) => m.msg), expected, JSON.stringify(search));
        for (const m of list) assert.equal(m.chat_object, '10001');
      }
      for (const [fileType, expected] of [['img', ['<img src="x.png">']], ['file', ['budget.xlsx']]]) {
        const [list] = await a.ack('get imageRecord', { type: 'user', from: '10001', to: '10002', fileType });
        assert.deepEqual(list.map((m) => [m.msg, m.chat_object]), expected.map((msg) => [msg, '10002']));
      }
      // Only one's own conversations, and nothing for a request of no known kind.
      assert.deepEqual(await a.ack('get record', { type: 'user', from: '10003', to: '10002' }), [[]]);
      assert.deepEqual(await a.ack('get record', {}), [[]]);
    });

    it('groups: created, messaged, read, edited, left and deleted, seen by every member', async () => {
      const [a, b, c] = [await signIn('10001'), await signIn('10002'), await signIn('10004')];
      const create = { id: 'g-test', name: '测试群', creator: '10001', members: '10002,10004,nobody', create_time: '2024-05-06 10:00:00', update_time: '2024-05-06 10:00:00' };
      assert.deepEqual(await a.ack('create group', create), ['success']);
      for (const peer of [a, b, c]) {
        const [g] = await peer.next('add group');
        assert.deepEqual(g, { id: 'g-test', creator: '10001', name: '测试群', create_time: '2024-05-06 10:00:00', update_time: '2024-05-06 10:00:00', members: '10002,10004,10001' });
      }
      assert.notEqual((await a.ack('create group', create))[0], 'success');
      assert.ok((await b.ack('send myGroup', ''))[0].some((g) => g.id === 'g-test'));

      const id = Date.now();
      assert.deepEqual(await b.ack('send message', groupPayload('g-test', id, '大家好')), [{ group_id: 'g-test', msg_id: id }]);
      for (const peer of [a, b, c]) {
        const [m] = await peer.next('group message');
        assert.equal(m.msg, '大家好');
        assert.deepEqual(m.fromDetail, { user_id: '10002', user_name: '李娜' });
        assert.deepEqual(m.info, { id: 'g-test', creator: '10001', name: '测试群', group_member: '10002,10004,10001' });
        assert.match(m.userTime, /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/);
      }
      await c.ack('update havRead', { group_id: 'g-test', userId: '10004', type: 'personal_group', msg_id: id + 86400000 });
      for (const peer of [a, b]) assert.deepEqual((await peer.next('group updateRecordInfo'))[0], { group_id: 'g-test', id: '10004', msg_id: id });
      const [list, reads] = await a.ack('get record', { type: 'personal_group', id: 'g-test', limit: 10 });
      assert.deepEqual([list.length, reads], [1, { 10004: String(id) }]);

      const d = await signIn('10006');
      await a.ack('edit group', { id: 'g-test', name: '测试群', members: '10002,10004,10001', addArray: ['10006'], deleteArray: [] });
      assert.equal((await d.next('edit groupAdd'))[0].members, '10002,10004,10001,10006');
      for (const peer of [a, b, c]) assert.deepEqual((await peer.next('edit groupCB'))[0].addArray, ['10006']);
      await a.next('edit group');

      // Leaving: the leaver is told the group is gone, the others see one member fewer.
      await c.ack('edit group', { id: 'g-test', name: '测试群', members: '10002,10004,10001,10006', addArray: [], deleteArray: ['10004'] });
      assert.equal((await c.next('edit groupDelete'))[0].id, 'g-test');
      for (const peer of [a, b, d]) {
        const [change] = await peer.next('edit groupCB', (p) => p.deleteArray.length > 0);
        assert.deepEqual([change.members, change.deleteArray], ['10002,10001,10006', ['10004']]);
      }
      assert.equal(typeof (await c.ack('send message', groupPayload('g-test', id + 1)))[0], 'string');

      assert.notEqual((await b.ack('delete group', { id: 'g-test' }))[0], 'success');
      assert.deepEqual(await a.ack('delete group', { id: 'g-test' }), ['success']);
      for (const peer of [a, b, d]) assert.equal((await peer.next('edit groupDelete'))[0].id, 'g-test');
      assert.equal((await b.ack('send myGroup', ''))[0].some((g) => g.id === 'g-test'), false);
      assert.equal(c.has('edit groupDelete'), false);
    });

    it('colleagues of the organisation without an account receive messages and have a history', async () => {
      const a = await signIn('10001');
      const id = Date.now();
      // 孙丽 (10007) is in the directory, not among the sign-in accounts.
      assert.deepEqual(await a.ack('send message', privatePayload('10007', id, 'to the directory')), [{ to: '10007', msg_id: id }]);
      const [records] = await a.ack('get record', { type: 'user', from: '10001', to: '10007', limit: 10 });
      assert.deepEqual(records.map((r) => [r.msg, r.chat_object]), [['to the directory', '10007']]);
      assert.equal(typeof (await a.ack('send message', privatePayload('10999', id + 1)))[0], 'string');
      // They can be members of a group too; ids nobody knows are still left out.
      const create = { id: 'g-org', name: '跨部门', creator: '10001', members: '10007,10999', create_time: '2024-05-06 10:00:00', update_time: '2024-05-06 10:00:00' };
      assert.deepEqual(await a.ack('create group', create), ['success']);
      assert.equal((await a.next('add group'))[0].members, '10007,10001');
    });

    it('the event-silence hook leaves a user\'s group changes and record requests unapplied and unanswered until off', async () => {
      const [a, b] = [await signIn('10001'), await signIn('10002')];
      const create = { id: 'g-quiet', name: '静默群', creator: '10001', members: '10002', create_time: '2024-05-06 10:00:00', update_time: '2024-05-06 10:00:00' };
      assert.deepEqual(await a.ack('create group', create), ['success']);
      await b.next('add group');
      await hook(server, 'event-silence', { user: '10001', events: ['edit group', 'delete group', 'get record'] });
      let answered = false;
      a.socket.emit('edit group', { id: 'g-quiet', name: '静默群', members: '10002,10001', addArray: ['10004'], deleteArray: [] }, () => (answered = true));
      a.socket.emit('delete group', { id: 'g-quiet' }, () => (answered = true));
      a.socket.emit('get record', { type: 'personal_group', id: 'g-quiet', limit: 10 }, () => (answered = true));
      // The others' requests are answered.
      assert.deepEqual(await b.ack('get record', { type: 'personal_group', id: 'g-quiet', limit: 10 }), [[], {}]);
      // Another member's change still goes through, and comes after the silenced ones.
      assert.deepEqual(await b.ack('edit group', { id: 'g-quiet', name: '静默群', members: '10002,10001', addArray: ['10003'], deleteArray: [] }), ['success']);
      const [change] = await a.next('edit groupCB');
      assert.deepEqual([change.members, change.addArray], ['10002,10001,10003', ['10003']]);
      assert.equal(answered, false);
      assert.equal(a.has('edit groupDelete') || b.has('edit groupDelete'), false);
      await hook(server, 'event-silence', { off: true });
      assert.deepEqual(await a.ack('delete group', { id: 'g-quiet' }), ['success']);
      assert.equal((await b.next('edit groupDelete'))[0].id, 'g-quiet');
      // A reset ends the silence too.
      await hook(server, 'event-silence', { events: ['create group'] });
      await hook(server, 'reset');
      assert.deepEqual(await a.ack('create group', { ...create, id: 'g-after' }), ['success']);
      for (const bad of [{}, { events: [] }, { events: ['send message'] }, { events: 'edit group' }, { events: ['get record'], user: 'nobody' }]) {
        assert.equal((await hookReply(server, 'event-silence', bad)).status, 400, JSON.stringify(bad));
      }
    });

    it('group unread counts arrive at login with the group name', async () => {
      const a = await signIn('10001');
      const id = Date.now();
      await a.ack('send message', groupPayload(PROJECT_GROUP, id));
      await a.ack('send message', groupPayload(PROJECT_GROUP, id + 1));
      const b = await signIn('10002');
      const [count] = await b.next('send groupRecordLength', (p) => p.id === PROJECT_GROUP);
      assert.deepEqual([count.length, count.info.name], [2, '项目协调群']);
      await b.ack('update havRead', { group_id: PROJECT_GROUP, userId: '10002', type: 'personal_group', msg_id: id });
      await b.ack('outline recordLength', '');
      assert.equal((await b.next('send groupRecordLength', (p) => p.id === PROJECT_GROUP))[0].length, 1);
    });

    it('hooks push events, bursts and system messages to the chosen users', async () => {
      const a = await signIn('10001');
      const b = await signIn('10002');
      assert.equal((await hook(server, 'push', { to: '10002', event: 'metion callback', payload: { x: 1 } })).sockets, 1);
      assert.deepEqual(await b.next('metion callback'), [{ x: 1 }]);
      assert.equal((await hook(server, 'push', { event: 'metion callback', args: [1, 'two'] })).sockets, 2);
      for (const peer of [a, b]) assert.deepEqual(await peer.next('metion callback'), [1, 'two']);
      assert.equal((await hookReply(server, 'push', { event: 'disconnect' })).status, 400);

      const burst = await hook(server, 'push-burst', { to: '10002', count: 3000 });
      assert.deepEqual([burst.events, burst.lastMsgId - burst.firstMsgId], [3000, 2999]);
      for (let i = 0; i < 3000; i++) assert.equal((await b.next('private message'))[0].msg_id, burst.firstMsgId + i);

      await hook(server, 'push-system', { to: '10002', content: '审批提醒', news_id: 42, sms_menu: 'flow' });
      const [text] = await b.next('tarnex.system-message-channel');
      const notice = JSON.parse(text);
      assert.deepEqual([notice.recipients, notice.content, notice.news_id, notice.sms_menu], [['10002'], '审批提醒', 42, 'flow']);
      assert.equal(a.has('tarnex.system-message-channel'), false);
    });

    it('send-as writes as another user: delivered, stored, and counted while the recipient is away', async () => {
      const a = await signIn('10001');
      const sent = await hook(server, 'send-as', { from: '10002', to: '10001', msg: '下午开会' });
      const [message] = await a.next('private message');
      assert.deepEqual([message.creator, message.msg, message.msg_id], ['10002', '下午开会', sent.msg_id]);
      // To an offline user: nothing delivered, but the count and the last record wait.
      await hook(server, 'send-as', { from: '10002', to: '10003', msg: '还在吗' });
      await hook(server, 'send-as', { from: '10002', to: '10003', msg: '回个消息' });
      const c = await signIn('10003');
      assert.deepEqual((await c.next('send recordLength'))[0], { 10002: 2 });
      const [last] = await c.ack('get lastrecord', [{ type: 'user', id: '10002' }]);
      assert.match(last['10002**_**2'], /^回个消息,\d+$/);
      // Into a group: every member gets it, the writer's own connections included.
      const group = await hook(server, 'send-as', { from: '10002', group_id: PROJECT_GROUP, msg: '周报' });
      for (const peer of [a, c]) assert.equal((await peer.next('group message', (m) => m.msg_id === group.msg_id))[0].msg, '周报');
      for (const body of [{ from: 'nobody', to: '10001' }, { from: '10002', to: 'nobody' }, { from: '10004', group_id: PROJECT_GROUP }]) {
        assert.equal((await hookReply(server, 'send-as', body)).status, 400, JSON.stringify(body));
      }
    });

    it('hooks read the event log, drop connections and reset the state', async () => {
      const a = await signIn('10001');
      const first = await hook(server, 'received', {});
      await a.ack('send message', privatePayload('10002', 77, 'logged'));
      a.socket.emit('heartbeat test', { type: 'socketClient', loginUserId: '10001' });
      await settle();
      const { events } = await hook(server, 'received', { user: '10001', since: first.next });
      assert.deepEqual(events.map((e) => [e.event, e.ack]), [['send message', true], ['heartbeat test', false]]);
      assert.equal(events[0].args[0].msg, 'logged');

      const b = await connect('10002', { reconnection: true, reconnectionDelay: 100, reconnectionDelayMax: 200 });
      const dropped = new Promise((resolve) => b.socket.once('disconnect', resolve));
      assert.equal((await hook(server, 'drop-connections', { to: '10002' })).dropped, 1);
      assert.match(await dropped, /transport close/);
      await a.online(['10001']);
      a.forget('onlineUsers');
      await Promise.race([new Promise((resolve) => b.socket.once('connect', resolve)), timeout(WAIT_MS, 'reconnect')]); // back by itself
      await a.online(['10001', '10002']);

      await hook(server, 'messaging-reset');
      assert.deepEqual((await hook(server, 'received', {})).events, []);
      assert.deepEqual(await a.ack('get record', { type: 'user', from: '10001', to: '10002' }), [[]]);
      assert.deepEqual((await hook(server, 'messaging-state')).groups.map((g) => g.name), ['技术研发部', '项目协调群', '午餐小分队']);

      // Without `to`, every connection goes.
      const aDropped = new Promise((resolve) => a.socket.once('disconnect', resolve));
      assert.equal((await hook(server, 'drop-connections', {})).dropped, 2);
      assert.match(await aDropped, /transport close/);
    });

    it('the client-event hook acts as a colleague without a connection; members are told', async () => {
      const a = await signIn('10001');
      const create = { id: 'g-hook', name: '钩子群', creator: '10002', members: '10001,10003', create_time: '2024-05-06 10:00:00', update_time: '2024-05-06 10:00:00' };
      assert.deepEqual((await hook(server, 'client-event', { user: '10002', event: 'create group', payload: create })).ack, ['success']);
      assert.equal((await a.next('add group'))[0].members, '10001,10003,10002');
      // What another member would be given for its group list.
      const [list] = (await hook(server, 'client-event', { user: '10003', event: 'send myGroup', args: [''] })).ack;
      assert.ok(list.some((g) => g.id === 'g-hook' && g.creator === '10002'));

      await hook(server, 'client-event', { user: '10002', event: 'edit group', payload: { id: 'g-hook', name: '钩子群', members: '', addArray: ['10004'], deleteArray: ['10003'] } });
      const [change] = await a.next('edit groupCB');
      assert.deepEqual([change.members, change.addArray, change.deleteArray], ['10001,10002,10004', ['10004'], ['10003']]);
      // Only the creator may delete; a refusal comes back as the acknowledgement.
      assert.equal(typeof (await hook(server, 'client-event', { user: '10001', event: 'delete group', payload: { id: 'g-hook' } })).ack[0], 'string');
      assert.deepEqual((await hook(server, 'client-event', { user: '10002', event: 'delete group', payload: { id: 'g-hook' } })).ack, ['success']);
      assert.equal((await a.next('edit groupDelete'))[0].id, 'g-hook');

      for (const bad of [{ user: '10002', event: 'login' }, { user: '10002', event: 'no such event' }, { user: 'nobody', event: 'send myGroup' }, { user: '10002', event: 'disconnect' }]) {
        assert.equal((await hookReply(server, 'client-event', bad)).status, 400, JSON.stringify(bad));
      }
    });
  });
}

describe('messaging in the demo (no test hooks)', () => {
  let server;
  let peer;
  before(async () => (server = await startServer([])));
  after(async () => {
    if (peer) peer.socket.close();
    await server.stop();
  });

  it('simulated colleagues are online, read and answer; earlier history waits as unread', async () => {
    peer = new Peer(serverRequire('socket.io-client'), server, '10001');
    assert.deepEqual(await peer.ack('login', 'success'), ['success']);
    const [online] = await peer.next('onlineUsers');
    assert.ok(['10001', '10003', '10005'].every((id) => online.onlineUsers.includes(id)), JSON.stringify(online));
    const [counts] = await peer.next('send recordLength');
    assert.ok(counts['10005'] >= 1);

    const id = Date.now();
    await peer.ack('send message', privatePayload('10003', id, '你好，王芳'));
    assert.deepEqual((await peer.next('update record'))[0], { from: '10001', to: '10003', msg_id: id });
    const [reply] = await peer.next('private message');
    assert.equal(reply.creator, '10003');
    assert.ok(reply.msg.length > 0);
  });
});
