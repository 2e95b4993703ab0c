#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command as a screen reader's desktop would have it: on a fresh X server (Xvfb) with a
# private D-Bus session and the AT-SPI accessibility bus and registry running, and with Qt's
# accessibility switched on. Everything it starts ends with the command.
# Usage: atspi_session.sh COMMAND [ARGS...]   (exit 77: a tool is missing)
set -euo pipefail

launcher=/usr/libexec/at-spi-bus-launcher
for tool in xvfb-run dbus-run-session dbus-send "$launcher"; do
  command -v "$tool" >/dev/null || {
    echo "atspi: $tool missing (scripts/install-deps)"
    exit 77
  }
done

inside=$(mktemp)
trap 'rm -f "$inside"' EXIT
cat >"$inside" <<'INSIDE'
set -euo pipefail
# Asking for the bus's address starts the launcher, which starts the accessibility bus; the
# registry starts when the first client asks for it.
dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus org.a11y.Bus.GetAddress \
  >/dev/null
dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus \
  org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled variant:boolean:true \
  >/dev/null
exec "$@"
INSIDE

export QT_QPA_PLATFORM=xcb
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# The accessibility bus keeps its own settings out of the user's home.
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
exec xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- bash "$inside" "$@"
