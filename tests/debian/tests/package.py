"""What the package's desktop tests do as root in the testbed: apt as a user's machine runs it, Wine's files, the
user's prefix and home folder, and the desktop runs (desktop.py) as the ordinary user. Each step prints one line,
"NAME: ok ..." or "NAME: FAILED ..."; a failed step is noted and the test goes on, then fails at its end."""
import os
import pwd
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ARTIFACTS = os.environ.get("AUTOPKGTEST_ARTIFACTS", "/tmp")
USER = os.environ.get("AUTOPKGTEST_NORMAL_USER") or "student"
if subprocess.run(["id", USER], capture_output=True).returncode != 0:
    subprocess.run(["useradd", "--create-home", "--shell", "/bin/bash", USER], check=True)
HOME = pwd.getpwnam(USER).pw_dir
PREFIX = f"{HOME}/.local/share/tessel"
WINE_INF = "/usr/share/wine/wine.inf"
failures = []


def step(name, ok, detail=""):
    print(f"{name}: {'ok' if ok else 'FAILED'}{': ' + detail if detail else ''}", flush=True)
    if not ok:
        failures.append(name)
    return ok


def run(*args, log="commands.log"):
    """Runs a command, its output added to the log in the artifacts; returns whether it exited with 0."""
    with open(f"{ARTIFACTS}/{log}", "a") as output:
        output.write(f"$ {' '.join(args)}\n")
        output.flush()
        return subprocess.run(args, stdout=output, stderr=subprocess.STDOUT).returncode == 0


def text(*args):
    return subprocess.run(args, capture_output=True, text=True).stdout.strip()


def as_user(*args):
    return ["runuser", "-u", USER, "--", *args]


def apt(*args):
    return run("env", "DEBIAN_FRONTEND=noninteractive", "apt-get", "-y", "-q", *args, log="apt.log")


def machine_prefix_current():
    return run("sh", "-c", ". /usr/lib/tessel/prefix.sh && tessel_wine && "
               'tessel_prefix_current "$TESSEL_MACHINE_DIR/$TESSEL_ARCH"')


def install(name="install"):
    """As a user would: apt-get update, then tessel with its Recommends; postinst prepares the machine's prefix."""
    began = time.monotonic()
    if not (apt("update") and apt("install", "tessel")):
        return step(name, False, "see apt.log")
    seconds = time.monotonic() - began
    i386 = text("dpkg-query", "-W", "-f", "${Architecture}\n").split().count("i386")
    size = (text("du", "-sh", "/var/cache/tessel").split() or ["none"])[0]
    return step(name, machine_prefix_current(),
                f"apt-get install tessel {seconds:.0f} s; the machine's prefix {size}; "
                f"{text('/usr/lib/wine/wine64', '--version')}; foreign architectures: "
                f"{text('dpkg', '--print-foreign-architectures') or 'none'}; i386 packages: {i386}")


def desktop(name, *starts):
    """The starts on one X display as the user; their lines go to the output. Returns them."""
    screens = f"/tmp/screens-{name}"
    run(*as_user("mkdir", "-p", screens))
    done = subprocess.run(as_user("python3", f"{HERE}/desktop.py", "120", screens, *starts),
                          capture_output=True, text=True)
    print(done.stdout, end="", flush=True)
    for screen in os.listdir(screens):
        os.replace(f"{screens}/{screen}", f"{ARTIFACTS}/{screen}")
    step(name, done.returncode == 0 and not done.stderr, done.stderr.strip())
    return done.stdout


def prefix_size():
    return (text(*as_user("du", "-sh", PREFIX)).split() or ["none"])[0]


def home_files():
    return set(text("find", HOME).splitlines())


def touch_wine_inf():
    """Wine updated as Debian would update it, but without the trigger: wine.inf newer than both prefixes."""
    return run("touch", WINE_INF)


def finish():
    if failures:
        print(f"failed: {', '.join(failures)}")
    sys.exit(1 if failures else 0)
