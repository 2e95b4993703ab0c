# SPDX-License-Identifier: MIT
"""The panel as a screen reader meets it over the AT-SPI bus.

Finds the panel's window by its title, finds "Volume +" by name, presses STATUS through its
accessible action and reads the status line once the projector simulator has answered, and
checks that the answer was announced (the status line showed as a notification) and its text
sent along. Then ends the panel through END's action.
Usage: atspi_probe.py TITLE
"""
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

# libatspi 2.46 marks the action-name call deprecated without a replacement in its bindings.
warnings.filterwarnings("ignore", category=DeprecationWarning)

TITLE = sys.argv[1]
STAND_BY = " Stand by"


def fail(message):
    print("atspi: " + message)
    sys.exit(1)


def find_window(timeout_s=30):
    desktop = Atspi.get_desktop(0)
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            for j in range(app.get_child_count() if app else 0):
                window = app.get_child_at_index(j)
                if window and window.get_name() == TITLE:
                    return window
        time.sleep(0.2)
    fail("no window titled %r on the bus" % TITLE)


def descendants(node):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def one(window, role, name=None, description=None):
    found = [
        o
        for o in descendants(window)
        if o.get_role() == role
        and (name is None or o.get_name() == name)
        and (description is None or o.get_description() == description)
    ]
    if len(found) != 1:
        fail("%d objects of role %s named %r" % (len(found), role.value_nick, name))
    return found[0]


def text_of(obj):
    return Atspi.Text.get_text(obj, 0, Atspi.Text.get_character_count(obj))


def press(obj):
    names = [Atspi.Action.get_action_name(obj, i) for i in range(Atspi.Action.get_n_actions(obj))]
    if "Press" not in names:
        fail("%s has no Press action (%s)" % (obj.get_name(), names))
    Atspi.Action.do_action(obj, names.index("Press"))


def run_until(done, timeout_s):
    """Runs the event loop until done() holds or the time is up; then a little longer, so that
    the events of the last change arrive too."""
    loop = GLib.MainLoop()
    deadline = time.monotonic() + timeout_s

    def poll():
        if done() or time.monotonic() > deadline:
            GLib.timeout_add(300, loop.quit)
            return False
        return True

    GLib.timeout_add(50, poll)
    loop.run()


window = find_window()
if window.get_role() != Atspi.Role.FRAME:
    fail("the window is a %s" % window.get_role_name())
print("atspi: window %r found" % TITLE)

volume = one(window, Atspi.Role.PUSH_BUTTON, "Volume +")
print("atspi: %r found, described as %r" % (volume.get_name(), volume.get_description()))
if volume.get_description() != "Volume up":
    fail("Volume + is described as %r" % volume.get_description())

status_line = one(window, Atspi.Role.NOTIFICATION, description="Projector status")
status = one(window, Atspi.Role.PUSH_BUTTON, "STATUS")

# What a screen reader hears of the status line while the answer comes in.
heard = []


def on_event(event):
    if event.source == status_line:
        heard.append((event.type, event.detail1, event.any_data))


listener = Atspi.EventListener.new(on_event)
for kind in ("object:text-changed:insert", "object:state-changed:showing"):
    listener.register(kind)

# The panel hears of the new listeners through the registry; a query answered before it has
# would go unheard, so one that was is asked again once the monitor has blanked.
run_until(lambda: False, 1)
for attempt in range(3):
    heard.clear()
    press(status)
    run_until(lambda: text_of(status_line) == STAND_BY, 20)
    if heard:
        break
    run_until(lambda: text_of(status_line) == "", 10)

shown = text_of(status_line)
print("atspi: status line reads %r (name %r)" % (shown, status_line.get_name()))
if shown != STAND_BY or status_line.get_name() != STAND_BY:
    fail("the status line does not read %r" % STAND_BY)
if not any(t == "object:text-changed:insert" and d == STAND_BY for t, _, d in heard):
    fail("no text-changed event carried %r: %s" % (STAND_BY, heard))
if not any(t == "object:state-changed:showing" and d1 == 1 for t, d1, _ in heard):
    fail("the new status was not announced: %s" % heard)
print("atspi: the new status was announced")

press(one(window, Atspi.Role.PUSH_BUTTON, "END"))
print("atspi: END pressed")
