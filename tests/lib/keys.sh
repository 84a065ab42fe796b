# Keys pressed in Xvfb with xdotool. When a key press makes its window go
# away (Return on a message box, Escape on the main window), xdotool sends
# the release to the dead window, the X server keeps the key down and
# auto-repeats it into the next program started on that display. So every
# press is followed by a release at the server, and a program is started
# only when no key is down. The X server runs with -noreset: otherwise it
# resets (and forgets every key) whenever its last client leaves, and a
# program that connects meanwhile is refused. Sourced by the end-to-end
# scripts.

# Releases keys at the server, whatever window has the focus.
# $@: xdotool key names, e.g. Return, alt+F4.
release_keys() {
    xdotool keyup "$@"
}

# The keycodes the X server holds down now, separated by blanks.
keys_down() {
    python3 - <<'PY'
import ctypes, ctypes.util, sys
xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
xlib.XQueryKeymap.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
display = xlib.XOpenDisplay(None)
if not display:
    sys.exit("keys_down: cannot open the X display")
# One bit per keycode, 256 keycodes.
keymap = ctypes.create_string_buffer(32)
xlib.XQueryKeymap(display, keymap)
xlib.XCloseDisplay(display)
print(" ".join(str(8 * i + bit) for i, byte in enumerate(keymap.raw)
               for bit in range(8) if byte >> bit & 1))
PY
}

# True when no key is down at the X server.
no_key_down() {
    local down
    down=$(keys_down) || return 1
    [ -z "$down" ]
}
