#!/usr/bin/python3
"""Drives the real window through AT-SPI alone, as a screen reader or a GUI test robot would,
and checks the disk and the alert. Run under xvfb-run and dbus-run-session with BIN_DIR as its
argument; exits 77 (skipped) when a needed tool is missing."""

import os
import subprocess
import sys
import tempfile
import time

try:
    import pyatspi
except ImportError:
    print("SKIP: python3-pyatspi is not installed")
    sys.exit(77)
if not os.environ.get("DISPLAY") or not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
    print("SKIP: needs a display and a session bus: run under xvfb-run and dbus-run-session")
    sys.exit(77)


def wait_for(what, probe, timeout=30.0):
    deadline = time.monotonic() + timeout
    while not (found := probe()):
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)
    return found


def find(node, role, name=None, starts=None, depth=0):
    """The first node below `node` (itself included) of `role` named `name` or `starts`..."""
    try:
        if node.getRole() == role and name in (None, node.name) and node.name.startswith(starts or ""):
            return node
        children = [node.getChildAtIndex(i) for i in range(node.childCount)] if depth < 60 else []
    except Exception:  # a node that went away while it was read
        return None
    return next((hit for child in children if child and (hit := find(child, role, name, starts, depth + 1))), None)


def do_action(node, *names):
    action = node.queryAction()
    available = [action.getName(i) for i in range(action.nActions)]
    chosen = next((i for i, got in enumerate(available) if got in names), None)
    assert chosen is not None, "%r offers no %s action, only %s" % (node.name, "/".join(names), available)
    assert action.doAction(chosen), "action %s of %r failed" % (available[chosen], node.name)


def rows_in_screen_order(listed, robot_at):
    """Whether the list's rows, as a screen reader takes them, run from the top of the screen
    down, the Robot library being the first (0) or the last (-1) of them when asked."""
    try:
        rows = [child for i in range(listed.childCount)
                if (child := listed.getChildAtIndex(i)) is not None and child.getRole() == pyatspi.ROLE_LIST_ITEM]
        tops = [row.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).y for row in rows]
        return len(rows) > 1 and tops == sorted(tops) and (robot_at is None or rows[robot_at].name.startswith("Robot"))
    except Exception:  # a row that went away while it was read
        return False


def app_root():
    desktop = pyatspi.Registry.getDesktop(0)
    return next((app for i in range(desktop.childCount)
                 if (app := desktop.getChildAtIndex(i)) is not None and app.name.lower() == "velmora"), None)


def main():
    with tempfile.TemporaryDirectory() as tmp:
        event = os.path.join(tmp, "Disk", "Robot.fcpbundle", "Event 1")
        render, proxy, original = (os.path.join(event, sub) for sub in
                                   ("Render Files", "Transcoded Media/Proxy Media", "Original Media"))
        for folder in (render, proxy, original):
            os.makedirs(folder)
            with open(os.path.join(folder, "clip.mov"), "wb") as f:
                f.truncate(1 << 20)
        # More libraries than the list shows at once, found in an order of the disk's.
        for i in range(24):
            os.makedirs(os.path.join(tmp, "Disk", "Cuts", "Cut %02d.fcpbundle" % ((i * 7) % 24), "Event 1"))
        # The location is the user's desktop folder, as the XDG user directories name it.
        config = os.path.join(tmp, "config")
        os.makedirs(config)
        with open(os.path.join(config, "user-dirs.dirs"), "w") as f:
            f.write('XDG_DESKTOP_DIR="%s"\n' % os.path.join(tmp, "Disk"))

        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QUICK_BACKEND="software",
                   QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=tmp, XDG_CONFIG_HOME=config)
        pyatspi.Registry.getDesktop(0)  # the registry runs before the window asks to join
        app = subprocess.Popen([os.path.join(sys.argv[1], "velmora")], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        try:
            root = wait_for("the window on the accessibility bus", app_root)
            # The location rows are buttons named by their labels; pressing one searches it.
            do_action(wait_for("the 桌面 row", lambda: find(root, pyatspi.ROLE_PUSH_BUTTON, "桌面")), "Press")
            listed = wait_for("the list", lambda: find(root, pyatspi.ROLE_LIST, "FCPX 资源库"))
            wait_for("the 25 libraries", lambda: find(root, pyatspi.ROLE_LABEL, starts="桌面 · 25 个资源库"))
            # Sorted by name, reversed (Robot on top), selected and sorted again (Robot kept in
            # view at the bottom): the rows are read in the order they are shown.
            for robot_at in (None, 0, -1):
                do_action(find(root, pyatspi.ROLE_PUSH_BUTTON, "名称"), "Press")
                wait_for("the rows in screen order", lambda: rows_in_screen_order(listed, robot_at))
                if robot_at == 0:
                    do_action(find(root, pyatspi.ROLE_LIST_ITEM, starts="Robot.fcpbundle ("), "Press", "Toggle", "Select")
            row = find(root, pyatspi.ROLE_LIST_ITEM, starts="Robot.fcpbundle (")
            wait_for("the row to be selected", lambda: row.getState().contains(pyatspi.STATE_SELECTED))
            do_action(find(root, pyatspi.ROLE_PUSH_BUTTON, "清理渲染缓存"), "Press")
            wait_for("the render files to go", lambda: not os.path.exists(render))
            wait_for("the closing alert", lambda: find(root, pyatspi.ROLE_LABEL, "已清理时间线渲染缓存。"))
            do_action(wait_for("the alert's button", lambda: find(root, pyatspi.ROLE_PUSH_BUTTON, "确定")), "Press")
            assert os.path.exists(proxy) and os.path.exists(original), "more than the render files went"
        finally:
            app.kill()
            print(app.communicate()[0], end="")
    print("PASS: the window was driven through AT-SPI alone")


if __name__ == "__main__":
    main()
