# Shared by the Wine checks: a fresh prefix, polling, and the skip rule.
# Sourced, not run.

source tests/lib/wait_for.sh

# Makes a new, empty prefix in $1 and exports it: about 590 MB and 6 to 15 s,
# so one per test run, shared by its checks. Managed=N stops Wine waiting
# about 2 s for a window manager at every window close.
new_wine_prefix() {
    export WINEPREFIX=$1 WINEDEBUG=-all
    rm -rf "$WINEPREFIX"
    # No display yet: wineboot makes the prefix without windows.
    env -u DISPLAY wineboot -i >/dev/null 2>&1 &&
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 &&
        wineserver -w
}

# True when this machine can run 32-bit Windows programs under Wine.
# $1: a console .exe that exits 0 with --help.
wine_works() {
    command -v wine >/dev/null && command -v wineserver >/dev/null || return 1
    timeout 300 wine "$1" --help >/dev/null 2>&1
}
