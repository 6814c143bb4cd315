#!/usr/bin/python3
# Reads the real client as a screen reader does, over AT-SPI: under Xvfb with a session bus, the
# accessibility bus and its registry, against the reference server. It walks a table of views and
# fails on any showing object that takes focus or an action but has no name or only a generic
# role, in both languages, then runs the journeys through AT-SPI alone.
#   atspi_walk.py <source dir> <build dir> [view name filter]
# Debian's python3 is meant: python3-pyatspi installs there.
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request
import json

from gi.repository import GLib

SOURCE, BUILD = sys.argv[1], sys.argv[2]
ONLY = sys.argv[3] if len(sys.argv) > 3 else ""
WORK = tempfile.mkdtemp(prefix="tarnex-atspi-")
processes = []


class Failure(Exception):
    pass


def start(args, env=None, **kwargs):
    process = subprocess.Popen(args, env=env, **kwargs)
    processes.append(process)
    return process


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(5)
    if process in processes:
        processes.remove(process)


def cleanup():
    for process in reversed(list(processes)):
        stop(process)
    subprocess.run(["rm", "-rf", WORK])


def wait_for(what, condition, timeout=30.0):
    """Polls a condition until it holds; the limit is generous for a busy machine."""
    deadline = time.monotonic() + timeout
    while True:
        # Events from the accessibility bus are delivered while the main context runs.
        while GLib.MainContext.default().iteration(False):
            pass
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.05)


def read_line(process, pattern, what, timeout=30.0):
    """The first line of a child's output matching pattern (its groups)."""
    deadline = time.monotonic() + timeout
    seen = []
    while time.monotonic() < deadline:
        line = process.stdout.readline()
        if not line:
            break
        seen.append(line)
        match = re.search(pattern, line)
        if match:
            return match
    raise Failure(what + " did not start: " + "".join(seen[-10:]))


# --- The desktop: X, the session bus, the accessibility bus and its registry -------------------
#
# Qt 5.15's bridge registers with the registry only if it knows the accessibility bus's address
# while it is being built: from the AT_SPI_BUS property of the X root window. When the property
# is missing it asks org.a11y.Bus.GetAddress on the session bus instead, but that answer arrives
# after the bridge has already made its adaptor on a connection not yet open, and the Embed call
# is lost for good. The launcher sets the property, and Xvfb drops it again when its last client
# leaves (a server reset), so the client registered only when something else happened to hold X
# open. Hence: Xvfb without resets, and the client starts only once the property, the bus, the
# registry and the enabled flag are all in place.
def start_desktop():
    from gi.repository import Gio, GLib

    read, write = os.pipe()
    start(["Xvfb", "-displayfd", str(write), "-screen", "0", "1600x1000x24", "-nolisten", "tcp",
           "-noreset"], pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            raise Failure("Xvfb did not start")
        number += chunk
    os.close(read)
    os.environ["DISPLAY"] = ":" + number.decode().strip()

    bus = start(["dbus-daemon", "--config-file=" + SOURCE + "/tests/support/session-bus.conf",
                 "--nofork", "--print-address=1"], stdout=subprocess.PIPE, text=True)
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    session = Gio.DBusConnection.new_for_address_sync(
        os.environ["DBUS_SESSION_BUS_ADDRESS"],
        Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
        Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)

    def owned(connection, name):
        reply = connection.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                     "org.freedesktop.DBus", "NameHasOwner",
                                     GLib.Variant("(s)", (name,)), None, 0, 10000, None)
        return reply.unpack()[0]

    start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for("org.a11y.Bus", lambda: owned(session, "org.a11y.Bus"))

    def root_property():
        out = subprocess.run(["xprop", "-root", "AT_SPI_BUS"], capture_output=True, text=True)
        match = re.search(r'"(unix:[^"]+)"', out.stdout)
        return match.group(1) if match else None

    address = wait_for("the AT_SPI_BUS root window property", root_property)
    os.environ["AT_SPI_BUS_ADDRESS"] = address
    # As a screen reader announces itself; Qt reads these once, when its bridge is made.
    for name in ("IsEnabled", "ScreenReaderEnabled"):
        session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties",
                          "Set", GLib.Variant("(ssv)", ("org.a11y.Status", name,
                                                        GLib.Variant("b", True))),
                          None, 0, 10000, None)
    a11y = Gio.DBusConnection.new_for_address_sync(
        address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
        Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
    start(["/usr/libexec/at-spi2-registryd"], stdout=subprocess.DEVNULL,
          stderr=subprocess.DEVNULL)
    wait_for("the registry", lambda: owned(a11y, "org.a11y.atspi.Registry"))


# --- The reference server and the client ---------------------------------------------------------
class Server:
    def __init__(self, tls=False):
        args = []
        if tls:
            # A certificate made for the run, which the client has never seen.
            key, certificate = WORK + "/server.key", WORK + "/server.crt"
            subprocess.run(["openssl", "req", "-x509", "-nodes", "-newkey", "ec", "-pkeyopt",
                            "ec_paramgen_curve:prime256v1", "-days", "2", "-subj",
                            "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                            "-keyout", key, "-out", certificate], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            args = ["--tls-cert", certificate, "--tls-key", key]
        self.process = start(["node", SOURCE + "/server/server.js", "--port", "0", "--test-hooks"]
                             + args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        match = read_line(self.process, r"listening on (https?)://127\.0\.0\.1:(\d+)",
                          "the server")
        self.address = "127.0.0.1:" + match.group(2)
        if tls:
            self.address = "https://" + self.address

    def hook(self, name, body):
        request = urllib.request.Request("http://%s/__hooks/%s" % (self.address, name),
                                         data=json.dumps(body).encode(),
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=10) as reply:
            return json.loads(reply.read() or b"{}")


class Client:
    """One start of the real client with its own home folder."""
    count = 0

    def __init__(self, server, lang, preset, args=(), marker="first frame", listed=None):
        Client.count += 1
        self.home = "%s/home-%d" % (WORK, Client.count)
        os.makedirs(self.home)
        self.log = self.home + "/client.log"
        env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=self.home + "/.config",
                   TARNEX_KEYCHAIN="off", TARNEX_NOTIFICATIONS="off", QT_QPA_PLATFORM="xcb",
                   QT_QUICK_BACKEND="software", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QTWEBENGINE_DISABLE_SANDBOX="1", TARNEX_LOG_FILE=self.log,
                   TARNEX_UPDATE_FEED="http://%s/tarnex10pack/client/client.php?platform=win"
                   % server.address)
        # A listed server is saved first and stays in the list; server is the current one.
        for address in ([listed.address] if listed else []) + [server.address]:
            subprocess.run([BUILD + "/tarnex-preset", address, lang] + list(preset), env=env,
                           check=True, stdout=subprocess.DEVNULL)
        self.process = start([BUILD + "/tarnex"] + list(args), env=env, cwd=BUILD,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_log(marker)
        self.app = wait_for("the client on the desktop", self.find_app)

    def logged(self, marker):
        try:
            with open(self.log, encoding="utf-8", errors="replace") as log:
                return re.search(marker, log.read()) is not None
        except FileNotFoundError:
            return False

    def wait_log(self, marker, timeout=60.0):
        if self.process.poll() is not None:
            raise Failure("the client ended before " + marker)
        wait_for('"%s" in the client log' % marker, lambda: self.logged(marker), timeout)

    def find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def close(self):
        stop(self.process)


# --- Reading the tree --------------------------------------------------------------------------
GENERIC = None  # roles that say nothing of what a control does; filled once pyatspi is loaded


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def nodes(root):
    """Every showing object below root, parents first."""
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        if node is not root and not showing(node):
            continue
        yield node
        stack.extend(node.getChildAtIndex(i) for i in reversed(range(node.childCount)))


def describe(node):
    text = ""
    try:
        t = node.queryText()
        text = t.getText(0, min(t.characterCount, 40))
    except NotImplementedError:
        pass
    try:
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        where = "%d,%d %dx%d" % (box.x, box.y, box.width, box.height)
    except NotImplementedError:
        where = "?"
    parent = node.parent.name if node.parent is not None else ""
    return "[%s] name=%r text=%r at %s in %r actions=%s" % (
        node.getRoleName(), node.name, text, where, parent, actions(node))


def audit(app, foreign=frozenset()):
    """(actionable objects, faults) of the showing tree; a name that is one of the foreign
    texts (the other language's) is a fault too."""
    count, faults = 0, []
    for node in nodes(app):
        states = node.getState()
        if not (states.contains(pyatspi.STATE_FOCUSABLE) or actions(node)):
            continue
        count += 1
        name = node.name.strip()
        # Qt withholds the name of a password field from every reader; its description (the
        # field's hint) is what is spoken there.
        if node.getRole() == pyatspi.ROLE_PASSWORD_TEXT:
            name = name or node.description.strip()
        if not name or node.getRole() in GENERIC or name in foreign:
            faults.append(describe(node))
    return count, faults


def find(root, role, name=None, pattern=None):
    for node in nodes(root):
        if node.getRole() == role and (name is None or node.name == name) and (
                pattern is None or re.search(pattern, node.name)):
            return node
    return None


def wait_node(root, role, name=None, pattern=None, timeout=30.0):
    what = "%s %s" % (pyatspi.Role(role), name or pattern or "")
    return wait_for(what, lambda: find(root, role, name, pattern), timeout)


def press(node, wanted=("Press", "Toggle", "SetFocus")):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for want in wanted:
        if want in names:
            action.doAction(names.index(want))
            return
    raise Failure("no action of %s: %s" % (describe(node), names))


def type_into(node, text):
    """Types text into a field as a reader's user does: Qt Quick offers no EditableText, so
    the field takes focus by its action, the pointer rests on it (no window manager gives X
    focus here: keys go where the pointer is) and the registry types the keys."""
    press(node, ("SetFocus",))
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, "abs")
    wait_for("focus in the field", lambda: node.getState().contains(pyatspi.STATE_FOCUSED))
    pyatspi.Registry.generateKeyboardEvent(0, text, pyatspi.KEY_STRING)
    wait_for("the typed text in the field",
             lambda: node.queryText().characterCount == len(text))


# --- The views -------------------------------------------------------------------------------
SIGNED_IN = ["--account", "zhangwei", "--password", "123456", "--auto-login"]
GROUP = "9c4e7a10-3f2b-4d88-b5a6-71e0c3d2f902"

# Each view: its name and how to reach it: a start of the client (preset options, client
# arguments, the log line that says the view is up) or, with no preset, steps through AT-SPI in
# the client of the row above. A step is (role, text) to press, or (role, text, typed) to type
# into; the text is a language package key, or else a pattern of the object's name. Chains of
# steps keep the starts few: each costs seconds on a busy machine.
VIEWS = [
    ("sign-in", ["--account", "zhangwei", "--saved-account"], [], "first frame"),
    ("saved-accounts", None, [("ROLE_PUSH_BUTTON", "saved_accounts")], None),
    ("qr-sign-in", ["--view", "qrcode"], [], "first frame"),
    ("server-settings", ["--view", "server"], [], "first frame"),
    ("server-removed", None, [("ROLE_PUSH_BUTTON", "^{remove_server} 127")], None),
    # The prompt once a language package has come: for a server being tried.
    ("certificate-check", None, [("ROLE_LIST_ITEM", "^https://"),
                                 ("ROLE_PUSH_BUTTON", "test_server")], None),
    ("certificate", [], [], "first frame"),
    # One signed-in start goes through the sections by the toolbar, as a reader's user would.
    ("conversation-list", SIGNED_IN, [], "main frame shown"),
    ("reminders", None, [("ROLE_LIST_ITEM", "^{system_message},")], None),
    ("private-chat", None, [("ROLE_LIST_ITEM", "^李娜,")], None),
    ("history", None, [("ROLE_PUSH_BUTTON", "chat_record")], None),
    ("search", None, [("ROLE_TEXT", "search", "李")], None),
    ("groups", None, [("ROLE_PAGE_TAB", "group")], None),
    ("group-card", None, [("ROLE_LIST_ITEM", "^项目协调群$")], None),
    ("member-picking", None, [("ROLE_PUSH_BUTTON", "add_member")], None),
    ("directory", None, [("ROLE_PAGE_TAB", "organization")], None),
    ("directory-expanded", None, [("ROLE_TABLE_CELL", "^技术研发部$")], None),
    ("directory-collapsed", None, [("ROLE_TABLE_CELL", "^技术研发部$")], None),
    ("directory-role", None, [("ROLE_PAGE_TAB", "role")], None),
    ("module-menu", None, [("ROLE_PAGE_TAB", "application")], None),
    ("settings-menu", None, [("ROLE_PUSH_BUTTON", "set")], None),
    ("version", None, [("ROLE_MENU_ITEM", "version_information")], None),
    ("exit-question", None, [("ROLE_PUSH_BUTTON", "set"), ("ROLE_MENU_ITEM", "exit")], None),
    ("group-chat", SIGNED_IN + ["--conversation", GROUP + ",项目协调群,3"], [],
     "conversation shown"),
    ("new-group", SIGNED_IN + ["--open", "group-new"], [], "scene shown"),
    ("person-card", SIGNED_IN + ["--open", "person:10002"], [], "view opened: person:10002"),
    # The general page holds the notification rows below its first screen.
    ("settings-general", SIGNED_IN + ["--open", "settings"], [], "view opened: settings"),
    ("settings-theme", None, [("ROLE_PAGE_TAB", "topic_skin")], None),
    ("skin-picker", SIGNED_IN + ["--open", "skins"], [], "view opened: skins"),
    ("update", SIGNED_IN + ["--open", "update"], ["update"], "view opened: update"),
]

# The views served over https with a certificate nobody trusts yet: the prompt comes first.
TLS = {"certificate"}
# Views shown before any language package can come: the prompt stands between the client and
# the only server that has one, so it speaks the built-in texts ("certificate-check" is the
# same prompt in the user's language).
FIRST_ONLY = {"certificate"}
# Starts whose server list holds the https server too, behind the current one.
LISTS_TLS = {"server-settings"}

# What a view shows once its data has come, where its start does not say so.
READY = {
    "conversation-list": ("ROLE_LIST_ITEM", "李娜"),
    "certificate": ("ROLE_PUSH_BUTTON", "certificate_trust"),
    "certificate-check": ("ROLE_PUSH_BUTTON", "certificate_trust"),
    "saved-accounts": ("ROLE_LIST_ITEM", "^zhangwei$"),
    "group-chat": ("ROLE_LIST_ITEM", "report-a11y"),
    "version": ("ROLE_DIALOG", "version_information"),
    "exit-question": ("ROLE_DIALOG", "isquit_client"),
    "search": ("ROLE_LIST_ITEM", "^李娜$"),
}

# What the lists of a view must say of their items once it is up: (role, text, state, held).
# A state that is a package key is the text the item's description must read: a tree row also
# says it opened there, which readers speak as it changes.
STATES = {
    "private-chat": [("ROLE_LIST_ITEM", "^李娜,", "SELECTED", True),
                     ("ROLE_PAGE_TAB", "^{message}", "CHECKED", True)],
    "groups": [("ROLE_PAGE_TAB", "^{message}", "CHECKED", False)],
    "directory": [("ROLE_PAGE_TAB", "department", "CHECKED", True),
                  ("ROLE_TABLE_CELL", "^技术研发部$", "collapsed", True),
                  ("ROLE_TABLE_CELL", "^技术研发部$", "EXPANDABLE", True),
                  ("ROLE_TABLE_CELL", "^技术研发部$", "COLLAPSED", True),
                  ("ROLE_TABLE_CELL", "^技术研发部$", "EXPANDED", False)],
    "directory-expanded": [("ROLE_TABLE_CELL", "^技术研发部$", "expanded", True),
                           ("ROLE_TABLE_CELL", "^技术研发部$", "EXPANDED", True),
                           ("ROLE_TABLE_CELL", "^技术研发部$", "SELECTED", True)],
    "directory-collapsed": [("ROLE_TABLE_CELL", "^技术研发部$", "collapsed", True),
                            ("ROLE_TABLE_CELL", "^技术研发部$", "EXPANDED", False)],
    "directory-role": [("ROLE_PAGE_TAB", "department", "CHECKED", False)],
    "server-settings": [("ROLE_LIST_ITEM", "^127\\.0\\.0\\.1:", "SELECTED", True)],
    "server-removed": [("ROLE_LIST_ITEM", "^127\\.0\\.0\\.1:", "SHOWING", False)],
    "settings-theme": [("ROLE_PAGE_TAB", "topic_skin", "CHECKED", True)],
}

# Messages of every kind a conversation shows, from colleagues: text, picture, file, emoticon.
KINDS = [
    {"msg": "下午的评审改到四点"},
    {"msg": '<img src="../../../server/public/api/attachment/index/1" width="40" height="30">',
     "msg_type": "img"},
    {"msg": "report-a11y.pdf", "msg_type": "file", "file_type": "pdf", "download": "1"},
    {"msg": '<i contenteditable="false"  class="emoji-picker emoji-smile" alt="smile" '
            'title=":smile:"></i>'},
]


def matching(texts, text):
    """A step's text: a package key's text, or else a pattern of the name, in which {key}
    stands for that key's text."""
    if text in texts:
        return {"name": texts[text]}
    return {"pattern": re.sub(r"\{(\w+)\}", lambda key: re.escape(texts[key.group(1)]), text)}


def reach(client, texts, steps):
    for step in steps:
        node = wait_node(client.app, getattr(pyatspi, step[0]), **matching(texts, step[1]))
        if len(step) > 2:
            type_into(node, step[2])
            continue
        checkable = node.getState().contains(pyatspi.STATE_CHECKABLE)
        press(node)
        if checkable:
            wait_for(step[1] + " chosen",
                     lambda: node.getState().contains(pyatspi.STATE_CHECKED))


def check_states(client, texts, name):
    """The faults among the states the view's lists must show."""
    faults = []
    for role, text, state, held in STATES.get(name, ()):
        if hasattr(pyatspi, "STATE_" + state):
            flag = getattr(pyatspi, "STATE_" + state)

            def holds(node):
                return node.getState().contains(flag)
        else:
            def holds(node):
                return node.description == texts[state]
        try:
            if state == "SHOWING" and not held:
                wait_for(text + " gone", lambda: find(client.app, getattr(pyatspi, role),
                                                      **matching(texts, text)) is None, 10)
                continue
            node = wait_node(client.app, getattr(pyatspi, role), **matching(texts, text),
                             timeout=10)
            wait_for("%s %s %s" % (text, "is" if held else "is not", state),
                     lambda: holds(node) == held, timeout=10)
        except Failure as failure:
            faults.append("state: " + str(failure))
    return faults


def walk(servers):
    rows, failed = [], False
    for lang, other in (("zh_CN", "en"), ("en", "zh_CN")):
        texts = package(lang)
        # The other package's texts that this one words differently.
        foreign = frozenset(package(other).values()) - frozenset(texts.values())
        client = None
        for name, preset, args, marker in VIEWS:
            if (ONLY and not re.search(ONLY, name)) or (name in FIRST_ONLY and lang != "zh_CN"):
                continue
            try:
                if preset is not None:
                    server = servers["tls" if name in TLS else "plain"]
                    # A colleague's unread message keeps a conversation in every new start's
                    # list.
                    servers["plain"].hook("send-as",
                                          {"from": "10002", "to": "10001", "msg": "早上好"})
                    if client:
                        client.close()
                    client = Client(server, lang, preset, args, marker,
                                    servers["tls"] if name in LISTS_TLS else None)
                elif client is None:
                    raise Failure("no client to reach it in: filter its start's view in too")
                else:
                    reach(client, texts, args)
                if name in READY:
                    role, text = READY[name]
                    wait_node(client.app, getattr(pyatspi, role), **matching(texts, text),
                              timeout=60)
                count, faults = audit(client.app, foreign)
                faults += check_states(client, texts, name)
            except Failure as failure:
                count, faults = 0, ["not reached: " + str(failure)]
            rows.append((name + "-" + lang, count, len(faults)))
            for fault in faults:
                print("  fault in %s-%s: %s" % (name, lang, fault))
            failed = failed or bool(faults)
        if client:
            client.close()
    print("%-32s %8s %8s" % ("view", "objects", "faults"))
    for row in rows:
        print("%-32s %8d %8d" % row)
    return not failed


def package(lang):
    """The texts of a language package as the server hands them out: the names to look for."""
    with open("%s/server/demo/lang/%s.json" % (SOURCE, lang), encoding="utf-8") as texts:
        return json.load(texts)


def said(root, needle):
    """Whether a row of a list below root reads needle (a field that still holds it does
    not count)."""
    return any(node.getRole() == pyatspi.ROLE_LIST_ITEM and needle in node.name
               for node in nodes(root))


def journey_message(server):
    """Signs in by the named fields and button, opens a colleague's conversation from the list,
    sends a message and reads the reply."""
    texts = package("en")
    server.hook("send-as", {"from": "10002", "to": "10001", "msg": "Are you there?"})
    client = Client(server, "en", [])
    try:
        app = client.app
        type_into(wait_node(app, pyatspi.ROLE_TEXT, texts["user_name_placeholder"]), "zhangwei")
        type_into(wait_node(app, pyatspi.ROLE_PASSWORD_TEXT), "123456")
        press(wait_node(app, pyatspi.ROLE_PUSH_BUTTON, texts["log_in"]))
        press(wait_node(app, pyatspi.ROLE_LIST_ITEM, pattern="李娜", timeout=60))
        field = wait_node(app, pyatspi.ROLE_TEXT, texts["send_tip"])
        sent = "atspi-question-%d" % os.getpid()
        type_into(field, sent)
        press(wait_node(app, pyatspi.ROLE_PUSH_BUTTON, texts["send"]))
        wait_for("the sent message in the conversation", lambda: said(app, sent))
        # The reply is announced: the focused editor's description changes to it, which a
        # screen reader speaks as it comes.
        # (Qt 5.15 sends description changes only to readers listening to every property
        # change, as Orca does.)
        heard = []

        def listener(event):
            if str(event.type).endswith("accessible-description"):
                heard.append(event.source.description)
        pyatspi.Registry.registerEventListener(listener,
                                               "object:property-change")
        reply = "atspi-answer-%d" % os.getpid()
        server.hook("send-as", {"from": "10002", "to": "10001", "msg": reply})
        wait_for("the reply in the conversation", lambda: said(app, reply))
        if reply not in field.description:
            raise Failure("the editor describes %r" % field.description)
        wait_for("the reply announced", lambda: any(reply in text for text in heard))
        # A send the service refuses is announced the same way, with its reason.
        refusal = "atspi-refusal-%d" % os.getpid()
        server.hook("send-refusal", {"reason": refusal, "count": 1})
        type_into(field, "atspi-refused-%d" % os.getpid())
        press(wait_node(app, pyatspi.ROLE_PUSH_BUTTON, texts["send"]))
        wait_for("the failed send announced", lambda: any(
            texts["send_failed"] in text and refusal in text for text in heard))
        pyatspi.Registry.deregisterEventListener(listener,
                                                 "object:property-change")
        # A link to another host is held: a card asks first, and the focus lands on its cancel
        # button, whose description holds the address: a reader speaks both.
        focused = []

        def on_focus(event):
            if event.detail1:
                focused.append((event.source.name, event.source.description))
        pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
        address = "http://203.0.113.9/atspi-link-%d" % os.getpid()
        server.hook("send-as", {"from": "10002", "to": "10001",
                                "msg": '<a href="%s">atspi-link</a>' % address})
        press(wait_node(app, pyatspi.ROLE_LIST_ITEM, pattern="^李娜 atspi-link"))
        wait_for("the held link announced", lambda: any(
            name == texts["cancel"] and address in description for name, description in focused))
        pyatspi.Registry.deregisterEventListener(on_focus, "object:state-changed:focused")
    finally:
        client.close()


def journey_autostart(server):
    """Switches "start with the system" on by its check box's action."""
    texts = package("en")
    client = Client(server, "en", SIGNED_IN + ["--open", "settings"], (), "view opened: settings")
    try:
        box = wait_node(client.app, pyatspi.ROLE_CHECK_BOX, texts["bootup"])
        entry = client.home + "/.config/autostart/tarnex.desktop"
        if box.getState().contains(pyatspi.STATE_CHECKED) or os.path.exists(entry):
            raise Failure("autostart was on before the journey")
        press(box, ("Toggle",))
        wait_for("the check box checked",
                 lambda: box.getState().contains(pyatspi.STATE_CHECKED))
        wait_for("the autostart entry " + entry, lambda: os.path.exists(entry))
        with open(entry, encoding="utf-8") as desktop:
            if "Exec=" not in desktop.read():
                raise Failure("the autostart entry runs nothing")
    finally:
        client.close()


def main():
    global pyatspi, GENERIC
    start_desktop()
    import pyatspi as loaded
    pyatspi = loaded
    GENERIC = {pyatspi.ROLE_PANEL, pyatspi.ROLE_FILLER, pyatspi.ROLE_UNKNOWN,
               pyatspi.ROLE_INVALID, pyatspi.ROLE_REDUNDANT_OBJECT}
    server = Server()
    server.hook("history-add", {"agoMs": 120000, "items": [
        {"from": "10002", "to": "10001", "msg": "早上好"},
        {"from": "10001", "to": "10002", "msg": "下午三点会议室见"}]})
    for kind in KINDS:
        server.hook("send-as", dict(kind, **{"from": "10002", "group_id": GROUP}))
    servers = {"plain": server}
    if not ONLY or any(re.search(ONLY, name) for name in TLS | LISTS_TLS):
        servers["tls"] = Server(tls=True)
    results = []
    for name, run in (("walk", lambda: walk(servers)),
                      ("journey: sign in and talk", lambda: journey_message(server)),
                      ("journey: start with the system", lambda: journey_autostart(server))):
        if ONLY and name != "walk" and not re.search(ONLY, name):
            continue
        try:
            ok = run() is not False
        except Failure as failure:
            print("FAIL %s: %s" % (name, failure))
            ok = False
        print("%s %s" % ("PASS" if ok else "FAIL", name))
        results.append(ok)
    print("%d passed, %d failed" % (results.count(True), results.count(False)))
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.stdout.reconfigure(line_buffering=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    try:
        sys.exit(main())
    except Failure as failure:
        print("FAIL:", failure)
        print("0 passed, 1 failed")
        sys.exit(1)
    finally:
        cleanup()
