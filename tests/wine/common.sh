# Shared by the Wine checks: the loader for each architecture, a fresh
# prefix, and the probe for 32-bit code. Sourced, not run.

source tests/lib/wait_for.sh
source tests/lib/keys.sh

# The CMake preset that builds each architecture's executables.
preset_of_arch() { # win32 | win64
    case $1 in
    win32) echo mingw ;;
    win64) echo mingw64 ;;
    *) echo "unknown Windows architecture '$1'" >&2; return 1 ;;
    esac
}

# Chooses the Wine loader for win32 or win64 and exports it as WINELOADER;
# the checks run every Windows program through "$WINELOADER". The plain
# `wine` command picks the 32-bit loader whenever wine32 is installed, even
# on a machine that cannot run it, so the 64-bit one is named explicitly.
# Debian keeps both in /usr/lib/wine (packages wine32 and wine64).
use_wine_arch() { # win32 | win64
    local name
    case $1 in
    win32) name=wine ;;
    win64) name=wine64 ;;
    *) echo "unknown Windows architecture '$1'" >&2; return 1 ;;
    esac
    if [ -x "/usr/lib/wine/$name" ]; then
        WINELOADER=/usr/lib/wine/$name
    else
        WINELOADER=$(command -v "$name") || WINELOADER=/usr/lib/wine/$name
    fi
    export WINELOADER WINEARCH=$1
}

# One Wine server for the prefix, kept running until stop_wine_server.
# Debian's wineserver command starts every server with -p0, which begins
# shutting down the moment no program is left: a program started in that
# moment has its connection reset ("wine client error:0: recvmsg:
# Connection reset by peer") and dies, whatever it was doing. The checks
# run dozens of short programs back to back, so they hit that moment now
# and then; a server started with -p (it comes after -p0, so it wins) never
# shuts down on its own. Fails when a server already runs for the prefix.
start_wine_server() {
    local status=0
    wineserver -p || status=$?
    [ $status = 0 ] || echo "cannot start a Wine server for $WINEPREFIX (status $status; is one running already?)" >&2
    return $status
}

# Ends the server of WINEPREFIX and every program in it, and waits until it
# is gone. Harmless when none runs.
stop_wine_server() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

# Makes a new, empty prefix in $1 for the architecture chosen by
# use_wine_arch and exports it: 600 to 700 MB and 10 to 40 s, so one per
# architecture per test run, shared by its checks. Managed=N stops Wine
# waiting about 2 s for a window manager at every window close. A win64
# prefix's wineboot reports that syswow64\rundll32.exe cannot start where
# 32-bit code cannot run; that is harmless to 64-bit programs. wineboot
# runs alone, under a server of its own making: a server started before the
# prefix exists would not know the prefix's architecture. No server runs for
# the prefix afterwards.
new_wine_prefix() {
    export WINEPREFIX=$1 WINEDEBUG=-all
    rm -rf "$WINEPREFIX"
    # No display yet: wineboot makes the prefix without windows.
    env -u DISPLAY "$WINELOADER" wineboot -i >/dev/null 2>&1 && wineserver -w || return 1
    start_wine_server || return 1
    local status=0
    "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 ||
        status=$?
    stop_wine_server
    return $status
}

# True when the chosen loader runs a Windows program.
# $1: a console .exe that exits 0 with --help.
wine_works() {
    [ -x "$WINELOADER" ] && command -v wineserver >/dev/null || return 1
    start_wine_server || return 1
    local status=0
    timeout 300 "$WINELOADER" "$1" --help >/dev/null 2>&1 || status=$?
    stop_wine_server
    return $status
}

# Whether this machine's kernel executes 32-bit x86 programs at all, asked
# with the smallest static i386 ELF executable: one program header loading
# the whole 96-byte file at 0x08048000, whose code at 0x08048054 is
#   mov ebx, 32 ; mov eax, 1 (exit) ; int 0x80
# It needs no 32-bit compiler, library or loader, so it answers for the
# kernel alone (some kernels are built or booted without 32-bit support).
# $1: a directory on a file system that allows executing programs.
# Prints "runs" (it exited with 32), "refused" (Exec format error) or, for
# anything else, "broken: <why>", a fault of the machine's set-up that the
# caller must not take as either answer.
# SCANVANE_TEST_I386_PROBE=runs|refused replaces the answer, to test the
# scripts' two branches on one machine; it is refused under CI.
i386_probe_exit_status=32
kernel_runs_i386() {
    if [ -n "${SCANVANE_TEST_I386_PROBE:-}" ]; then
        if [ -n "${CI:-}" ]; then
            echo "broken: SCANVANE_TEST_I386_PROBE is for testing the scripts, not for CI"
        else
            echo "$SCANVANE_TEST_I386_PROBE"
        fi
        return 0
    fi
    local probe=$1/i386-probe
    {
        # ELF header: magic, 32-bit, little-endian, version 1; executable
        # for i386; entry 0x08048054; program headers at 52; header sizes 52
        # and 32; one program header; no sections.
        printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0'
        printf '\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0'
        # Program header: loadable, from offset 0 to 0x08048000, 96 bytes in
        # the file and in memory, readable and executable, page aligned.
        printf '\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0'
        # The code.
        printf '\273\40\0\0\0\270\1\0\0\0\315\200'
    } >"$probe"
    chmod +x "$probe"
    local output status=0
    output=$(export LC_ALL=C; exec "$probe" 2>&1) || status=$?
    if [ "$status" = "$i386_probe_exit_status" ]; then
        echo runs
    elif [ "$status" = 126 ] && [[ $output == *"Exec format error"* ]]; then
        echo refused
    else
        echo "broken: the 32-bit probe $probe ended with status $status: $output"
    fi
}
