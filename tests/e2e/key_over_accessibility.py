#!/usr/bin/python3
"""Listens on the accessibility bus while a key is typed, corrected, pasted, typed over, put in
through the bus and undone in the real program's key box: the box must stay an announced
password field, and no event may carry a key character. Run inside a session bus of its own, on
an X server with no other program (accessibility_e2e.sh sets that up).
    key_over_accessibility.py PATH-TO-TESSIVO
"""
import os
import subprocess
import sys

import pyatspi
from gi.repository import GLib

program = sys.argv[1]
typed = "Ab3$"
pasted = "Xy9"
over = "Q"
key_characters = set(typed + pasted + over)

events = []  # (role, kind, data) of every event seen
failures = []
processes = []


def run(*command):
    subprocess.run(command, check=True, timeout=20)


def key_box():
    for application in pyatspi.Registry.getDesktop(0):
        if application is None:
            continue
        found = pyatspi.findDescendant(
            application, lambda node: node.getRole() == pyatspi.ROLE_PASSWORD_TEXT)
        if found is not None:
            return found
    return None


def on_event(event):
    try:
        role = event.source.getRole()
    except Exception:  # the source may be gone by now
        role = None
    events.append((role, event.type, str(event.any_data or "")))


def drive():
    try:
        environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        processes.append(subprocess.Popen([program], env=environment))
        window = subprocess.run(
            ["xdotool", "search", "--sync", "--onlyvisible", "--name", r"^Tessivo 1\.2 "],
            check=True, timeout=20, capture_output=True, text=True).stdout.split()[0]
        run("xdotool", "windowfocus", "--sync", window)
        run("xdotool", "key", "Tab", "Tab", "Tab")  # site, user, length, key

        box = None
        for _ in range(100):
            box = key_box()
            if box is not None:
                break
            GLib.usleep(100_000)
        if box is None:
            failures.append("no password field on the accessibility bus")
            return False
        if not box.name:
            failures.append("the key box has no accessible name")

        run("xdotool", "type", "--delay", "60", typed)
        run("xdotool", "key", "BackSpace")
        holder = subprocess.Popen(["xclip", "-quiet", "-i", "-selection", "clipboard"],
                                  stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        processes.append(holder)
        holder.stdin.write(pasted.encode())
        holder.stdin.close()
        GLib.usleep(300_000)
        run("xdotool", "key", "ctrl+v")
        run("xdotool", "key", "ctrl+a")
        run("xdotool", "type", over)
        # Text put in through the bus, as an on-screen keyboard does: Qt replaces the box's
        # text as a whole and reports it as one update, old and new text together.
        box.queryEditableText().insertText(1, pasted, len(pasted))
        if box.queryText().characterCount != len(over + pasted):
            failures.append("the key box took no text from the accessibility bus")
        run("xdotool", "key", "ctrl+z")

        text = box.queryText()
        shown = text.getText(0, -1)
        if key_characters & set(shown):
            failures.append(f"the key box's text reads '{shown}'")
    except Exception as error:  # every failure must end the loop, not hang it
        failures.append(f"{type(error).__name__}: {error}")
    # Let the last events arrive before judging them.
    GLib.timeout_add(1500, pyatspi.Registry.stop)
    return False


pyatspi.Registry.registerEventListener(
    on_event, "object:text-changed", "object:property-change", "object:value-changed",
    "object:text-selection-changed", "object:text-caret-moved")
GLib.idle_add(drive)
GLib.timeout_add_seconds(60, pyatspi.Registry.stop)
pyatspi.Registry.start()
for process in processes:
    process.kill()
    process.wait()

from_box = [event for event in events
            if event[0] == pyatspi.ROLE_PASSWORD_TEXT and event[1].startswith("object:text-changed")]
kinds = {kind.split(":")[-1] for _, kind, _ in from_box}
if not {"insert", "delete"} <= kinds:
    failures.append(f"expected insertions and deletions from the key box, saw {sorted(kinds)}")
for _, kind, text in events:
    if key_characters & set(text):
        failures.append(f"{kind} carries '{text}'")

for failure in failures:
    print(f"FAIL: {failure}")
print(f"{len(from_box)} text events from the key box, {len(failures)} failures")
sys.exit(1 if failures else 0)
