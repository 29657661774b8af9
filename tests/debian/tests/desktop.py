#!/usr/bin/python3
"""Starts of tessel on one X display (Xvfb and openbox), as the user who runs this, one after the other.

usage: desktop.py LIMIT_S SCREENS_DIR START...
Each start is timed from the command to a managed, viewable window titled "Tessel C-Language Simulator" of class
tessel.exe, and to its 25th instruction caption (tessel_remote.exe ready); then the window is closed and the
launcher must exit with 0. Tessel's notice is timed too, and the screen saved in SCREENS_DIR when it shows.
A start named fresh-N is a first start once more: Wine stopped and the user's prefix removed before it. A start
named killed-N is a crash: the launcher's process group (the launcher, and cp or Wine's wineboot; Wine's server and
services leave it) is killed while it prepares the user's prefix.
Stops at the first start that fails, and exits 1 then.
"""
import os
import select
import shutil
import signal
import subprocess
import sys
import time

TITLE = "Tessel C-Language Simulator"
REMOTE = "/usr/local/lib/tessel-tests/tessel_remote.exe"
DATA = os.path.join(os.environ.get("XDG_DATA_HOME", os.path.expanduser("~/.local/share")), "tessel")
SCREEN = "/tmp/tessel-screen"
# The remote control runs in the user's prefix beside Tessel, under the 64-bit loader the launcher uses.
WINE = dict(os.environ, WINEPREFIX=f"{DATA}/win64", WINEARCH="win64", WINEDEBUG="-all",
            WINELOADER="/usr/lib/wine/wine64", XDG_CACHE_HOME=f"{DATA}/cache")


def out(*args, env=None):
    return subprocess.run(args, capture_output=True, text=True, env=env).stdout


def wait_until(done, seconds):
    end = time.monotonic() + seconds
    while not done():
        if time.monotonic() > end:
            return False
        time.sleep(0.1)
    return True


def x_window(name, res_name, res_class):
    tag = f'"{name}": ("{res_name}" "{res_class}")'
    return next((line.split()[0] for line in out("xwininfo", "-root", "-tree").splitlines() if tag in line), None)


def usable(window):
    managed = out("xprop", "-root", "_NET_CLIENT_LIST").replace(",", " ").split()
    return any(w.startswith("0x") and int(w, 16) == int(window, 16) for w in managed) and \
        "IsViewable" in out("xwininfo", "-id", window)


def remote(*args):
    done = subprocess.run(["/usr/lib/wine/wine64", REMOTE, *args], capture_output=True, text=True, env=WINE)
    return done.returncode, (done.stdout + done.stderr).replace("\r", "").strip()


def ms(began):
    return round((time.monotonic() - began) * 1000)


def crash(tessel, began, say):
    """Kills the launcher's process group while it prepares: copying the machine's prefix, or Wine at work."""
    sign = None
    while tessel.poll() is None and time.monotonic() - began < 60 and not sign:
        if os.path.exists(f"{DATA}/win64.new"):
            sign = "it copied the machine's prefix"
        elif any(os.path.exists(f"{DATA}/{log}") and os.path.getmtime(f"{DATA}/{log}") > time.time() - 1
                 for log in ("update.log", "prepare.log")):
            time.sleep(1)
            sign = "Wine prepared the prefix"
        time.sleep(0.005)
    if not sign:
        say(f"the launcher was never seen preparing (exit {tessel.poll()})")
        return False
    os.killpg(tessel.pid, signal.SIGKILL)
    tessel.wait()
    left = [name for name in ("lock", "win64.new", "win64", "win64/.tessel-ready") if os.path.exists(f"{DATA}/{name}")]
    say(f"the launcher's process group killed after {ms(began)} ms, while {sign}; left: {', '.join(left) or 'nothing'}")
    return True


def start(name, limit, screens):
    """One start; prints a line of figures, "start NAME: ...", and what was seen on lines of its own, indented."""
    def say(line, detail=False):
        print(f"{'  ' if detail else ''}start {name}: {line}", flush=True)

    if name.startswith("fresh-"):
        subprocess.run(["/usr/lib/wine/wineserver64", "-w"], env=WINE)
        shutil.rmtree(DATA, ignore_errors=True)
    log = open(f"/tmp/tessel-start-{name}.log", "w+")
    began = time.monotonic()
    tessel = subprocess.Popen(["tessel"], stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    if name.startswith("killed-"):
        return crash(tessel, began, say)
    window = notice = notice_ms = None
    try:
        while time.monotonic() - began < limit and tessel.poll() is None:
            if not notice:
                notice = x_window("Tessel", "tessel-notice", "Xmessage")
                if notice and usable(notice):
                    notice_ms = ms(began)
                    say(f"notice window {notice} after {notice_ms} ms", True)
                    shutil.copy(f"{SCREEN}/Xvfb_screen0", f"{screens}/notice-{name}.xwd")
                else:
                    notice = None
            window = x_window(TITLE, "tessel.exe", "tessel.exe")
            if window and usable(window):
                break
            window = None
            time.sleep(0.05)
        if not window:
            log.seek(0)
            say(f'no managed, viewable window titled "{TITLE}" within {limit} s (exit {tessel.poll()}); '
                f"tessel said: {log.read().strip()}")
            # What runs and what is on the screen instead, to tell a hung Wine from a window that went unnoticed.
            seen = out("ps", "-u", str(os.getuid()), "-o", "pid,etime,time,args") + out("xwininfo", "-root", "-tree")
            print("".join(f"    {line}\n" for line in seen.splitlines() if "(has no name)" not in line), flush=True)
            return False
        # The machine's load beside the figure: two CPUs shared with other work make a cold Wine start slower.
        window_ms, load = ms(began), " ".join(open("/proc/loadavg").read().split()[:3])
        say(f"managed window {window} after {window_ms} ms", True)
        # tessel.exe fills the captions before it shows its window; the remote, started only now, says whether
        # they were all there at its first look, and so came with the window.
        status, look = remote("ready", "30000")
        ready_ms = ms(began)
        say(f"WM_NAME {out('xprop', '-id', window, 'WM_NAME').split(' = ')[-1].strip()}, "
            f"WM_CLASS {out('xprop', '-id', window, 'WM_CLASS').split(' = ')[-1].strip()}", True)
        redirect = [line.split()[-1] for line in out("xwininfo", "-id", window).splitlines() if "Override" in line]
        say(f"override-redirect {''.join(redirect)}, place {remote('place')[1]}", True)
        closed = remote("close", "10000")[0] == 0
        if not closed:
            say("the window did not close", True)
        rc = tessel.wait(30)
        log.seek(0)
        say(f"tessel exited with {rc}; it said: {log.read().strip() or 'nothing'}", True)
        say(f"window {window_ms} ms, 25 captions {ready_ms} ms ({look}), load average {load}" +
            (f", notice after {notice_ms} ms" if notice_ms else ""))
        return status == 0 and closed and rc == 0
    finally:
        if tessel.poll() is None:
            os.killpg(tessel.pid, signal.SIGKILL)
            tessel.wait()


def main(limit, screens, *starts):
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    os.makedirs(SCREEN, exist_ok=True)
    # Xvfb picks a free display: X's abstract sockets are shared with the host and whatever runs beside this.
    # -noreset: without it the server resets when xdpyinfo, its first client, leaves, and openbox, connecting
    # meanwhile, was refused ("Failed to open the display") in 2 of 12 tries. The screen is also a file (XWD),
    # so that it can be saved while a start is under way.
    reader, writer = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                             "-noreset", "-fbdir", SCREEN], pass_fds=[writer], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(writer)
    wm = None
    try:
        if not select.select([reader], [], [], 30)[0]:
            print("Xvfb gave no display within 30 s")
            return 1
        os.environ["DISPLAY"] = WINE["DISPLAY"] = ":" + os.read(reader, 16).decode().strip()
        wait_until(lambda: subprocess.run(["xdpyinfo"], capture_output=True).returncode == 0, 10)
        # The window manager is the test's, not Tessel's: its cache goes to /tmp, away from the home folder's check.
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=dict(os.environ, XDG_CACHE_HOME="/tmp/openbox-cache"),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Without a managing window manager no window would count as managed: say so rather than time out later.
        if not wait_until(lambda: "window id" in out("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"), 30):
            print("openbox does not manage the screen")
            return 1
        return 0 if all(start(name, int(limit), screens) for name in starts) else 1
    finally:
        if os.path.isdir(WINE["WINEPREFIX"]):
            subprocess.run(["/usr/lib/wine/wineserver64", "-k"], env=WINE, stderr=subprocess.DEVNULL)
        for process in (wm, xvfb):
            if process:
                process.kill()
                process.wait()


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
