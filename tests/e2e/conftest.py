"""Shared fixtures of the end-to-end suite: run the real installer.exe under Wine."""

import ctypes
import os
import pathlib
import shutil
import subprocess
import tempfile

import pytest

import machine_state

# Every Wine process this suite starts runs with address-space randomization
# off (inherited from this process): see scripts/wine-env.sh for the start
# failures it prevents. The test scripts already run so; this covers a suite
# started on its own.
ADDR_NO_RANDOMIZE = 0x0040000


def _turn_address_randomization_off():
    libc = ctypes.CDLL(None, use_errno=True)
    current = libc.personality(0xFFFFFFFF)
    if current != -1 and not current & ADDR_NO_RANDOMIZE:
        libc.personality(current | ADDR_NO_RANDOMIZE)


_turn_address_randomization_off()

TOP = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("BUILD_DIR", TOP / "build"))
BIN = BUILD / "bin"


def instrumented_build():
    """Whether the build under test is the instrumented one of `make coverage`
    (scripts/coverage.sh), whose programs are larger and slower."""
    cache = BUILD / "CMakeCache.txt"
    return cache.exists() and "CMAKE_BUILD_TYPE:STRING=Coverage" in cache.read_text()


def wine_env():
    env = dict(os.environ)
    # The build's own prefix, never one the caller exported (scripts/wine-env.sh).
    env["WINEPREFIX"] = str(BUILD / "wineprefix")
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    return env


class Wine:
    """Runs Windows programs in the build's prefix and maps paths both ways.

    Paths are mapped through the prefix's drive links (dosdevices), as Wine
    itself does, rather than by starting winepath: every Wine process start
    is one more chance to fail on a loaded machine (winepath goes through
    start.exe, whose ShellExecuteEx then fails now and then with "Internal
    error")."""

    def __init__(self):
        self.env = wine_env()
        self.prefix = pathlib.Path(self.env["WINEPREFIX"])

    def run(self, args, timeout=120, cwd=None, stdin=subprocess.DEVNULL):
        # The output is caught in files, not pipes: Wine starts its desktop
        # process (explorer.exe /desktop) on demand from whichever program
        # first needs it, and that process inherits the program's standard
        # handles and lives on while any other program of the prefix runs.
        # With pipes the run would then wait for it until its time-out.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            result = subprocess.run(["wine"] + [str(a) for a in args], env=self.env, cwd=cwd,
                                    stdin=stdin, stdout=out, stderr=err, timeout=timeout)
            out.seek(0)
            err.seek(0)
            result.stdout = out.read()
            result.stderr = err.read()
        return result

    def drives(self):
        """Drive letters (lower case) and the Unix folders they stand for."""
        drives = {}
        for link in (self.prefix / "dosdevices").iterdir():
            name = link.name.lower()
            if len(name) == 2 and name[1] == ":" and name[0].isalpha():
                drives[name[0]] = pathlib.Path(os.path.realpath(link))
        return drives

    def unix_path(self, windows_path):
        drive, _, rest = windows_path.partition(":")
        folder = self.drives()[drive.lower()]
        for part in [p for p in rest.replace("/", "\\").split("\\") if p]:
            # Windows names are case-insensitive; take the existing entry.
            existing = [e for e in (os.listdir(folder) if folder.is_dir() else [])
                        if e.lower() == part.lower()]
            folder = folder / (part if part in existing or not existing else existing[0])
        return folder

    def windows_path(self, unix_path):
        path = pathlib.Path(os.path.realpath(unix_path))
        # The drive whose folder holds the path most closely, as Wine picks it.
        best = None
        for letter, folder in self.drives().items():
            if path == folder or folder in path.parents:
                if best is None or len(folder.parts) > len(best[1].parts):
                    best = (letter, folder)
        assert best, "%s lies on no drive of the prefix" % path
        rest = path.relative_to(best[1])
        return best[0].upper() + ":\\" + "\\".join(rest.parts)

    def expand(self, variable):
        """The value of an environment variable of a Windows process."""
        # cmd itself is a Wine process start; when one fails to start (see
        # above), the start is made again. The value is checked, so a start
        # that printed nothing or the unexpanded name is not taken.
        for _ in range(3):
            out = subprocess.run(["wine", "cmd", "/c", "echo", "%" + variable + "%"],
                                 env=self.env, capture_output=True, text=True)
            value = out.stdout.strip()
            if out.returncode == 0 and value and "%" not in value:
                return value
        raise AssertionError("cmd could not expand %%%s%%: %r %r" % (variable, out.stdout,
                                                                    out.stderr))


@pytest.fixture(scope="session")
def wine():
    wine = Wine()
    # What a test puts in the user's folders must stay in the prefix, where
    # the tidying below sees it (scripts/wine-prefix.sh makes them so).
    leading_out = [str(p) for p in (wine.prefix / "drive_c" / "users").glob("*/*")
                   if p.is_symlink()]
    assert not leading_out, "user folders lead out of the prefix (run make prefix): %s" % (
        leading_out)
    return wine


# Every test, and every module and the session with their fixtures, leaves
# the prefix as it found it, whether it passed or failed: what it added to the
# registry and to the prefix's folders (installations' registry entries,
# shortcuts, scheduled tasks, logs) is taken away and what it changed is
# written back (machine_state.restore). This tidies after the test; it asserts
# nothing, so what the product itself must leave or remove is checked by the
# tests. What was taken away is listed in e2e-tidy.txt in the build folder;
# what could not be (a file still in use) is named in the summary too.
#
# The state a test starts from is the state the previous one was put back to,
# unless a fixture of a wider scope has been set up or torn down since.
_tidy = {"state": None, "report": []}


def pytest_fixture_setup(fixturedef, request):
    if fixturedef.scope != "function" and not fixturedef.argname.startswith("_tidy"):
        _tidy["state"] = None


def pytest_fixture_post_finalizer(fixturedef, request):
    if fixturedef.scope != "function" and not fixturedef.argname.startswith("_tidy"):
        _tidy["state"] = None


def _leave_prefix_as_found(wine, label, only_fixtures=False):
    before = _tidy["state"] or machine_state.capture(wine)
    _tidy["state"] = before if only_fixtures else None
    yield
    # A module's tests have put back what they changed; only its own
    # fixtures, if it has any, have more to take away.
    if only_fixtures and _tidy["state"] is before:
        return
    done = machine_state.restore(wine, before, machine_state.capture(wine))
    if done:
        _tidy["report"].append((label, done))
    if not any(line.startswith("file: could not") for line in done):
        _tidy["state"] = before


@pytest.fixture(scope="session", autouse=True)
def _tidy_session(wine):
    # The state the tidying returns to must be one without the product: what
    # a run outside the tidying left (a suite stopped before it tidied, the
    # benchmark, the demo) would otherwise be kept for good, and an earlier
    # installation's last install path, registration or shortcuts meet every
    # test (the wizard then offers to upgrade that installation).
    done = machine_state.remove_product_traces(wine)
    if done:
        _tidy["report"].append(("what earlier runs left, before the session", done))
    yield from _leave_prefix_as_found(wine, "the session", only_fixtures=True)


@pytest.fixture(scope="module", autouse=True)
def _tidy_module(wine, request):
    yield from _leave_prefix_as_found(wine, request.node.nodeid + " (module)",
                                      only_fixtures=True)


@pytest.fixture(autouse=True)
def _tidy_test(wine, request):
    yield from _leave_prefix_as_found(wine, request.node.nodeid)


def pytest_terminal_summary(terminalreporter):
    report = BUILD / "e2e-tidy.txt"
    if not _tidy["report"]:
        report.unlink(missing_ok=True)
        return
    with open(report, "w", encoding="utf-8") as out:
        for label, done in _tidy["report"]:
            out.write(label + "\n" + "".join("    %s\n" % line for line in done))
    terminalreporter.write_line("Tidied the prefix after %d tests or modules: %s" % (
        len(_tidy["report"]), report))
    for label, done in _tidy["report"]:
        for line in done:
            if line.startswith("file: could not"):
                terminalreporter.write_line("%s left %s" % (label, line))


@pytest.fixture(scope="session")
def installer_exe():
    exe = BIN / "installer.exe"
    assert exe.exists(), "build the project first"
    return exe


@pytest.fixture(scope="session")
def temp_dir(wine):
    """The Unix path of the Windows temporary folder that the installer uses."""
    return wine.unix_path(wine.expand("TEMP"))


@pytest.fixture
def log_dir(temp_dir):
    """The installer's log folder (the logs a test makes go with the tidying)."""
    return temp_dir / "Velto Installer"


def new_logs(folder, before):
    return sorted(set(folder.glob("*.log")) - before) if folder.exists() else []


def run_and_read_log(wine, log_dir, exe, *args):
    """Runs |exe| and returns its result and the text of the one log it wrote."""
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    result = wine.run([exe] + list(args))
    logs = new_logs(log_dir, before)
    assert len(logs) == 1
    return result, logs[0].read_text(encoding="utf-8")


def sign_file(cert, key, source, target):
    """Signs |source| into |target| with osslsigncode, the certificate |cert|
    and its key |key| (PEM files)."""
    target.unlink(missing_ok=True)  # The tool does not overwrite.
    subprocess.run(["osslsigncode", "sign", "-certs", str(cert), "-key", str(key), "-h", "sha256",
                    "-n", "Velto test installer", "-in", str(source), "-out", str(target)],
                   check=True, capture_output=True)


def copy_installer(folder):
    """A copy of the built installer (executable and library) in |folder|."""
    folder.mkdir(parents=True, exist_ok=True)
    for name in ("installer.exe", "installer_lib.dll"):
        shutil.copy(BIN / name, folder / name)
    return folder / "installer.exe"


@pytest.fixture
def package_server():
    """The local package server (tests/fixtures/package_server.py) on 127.0.0.1,
    with no routes until the test gives it a configuration (set_config)."""
    import sys
    sys.path.insert(0, str(TOP / "tests" / "fixtures"))
    from package_server import PackageServer
    server = PackageServer().start()
    yield server
    server.stop()


# The installer posts its statistics with "--local-stats-server" to a fixed
# port of this machine's own host name. Test runs of other builds on the same
# machine may want that port too, so it is taken under a machine-wide lock.
STATS_PORT = 3000
STATS_LOCK = pathlib.Path(tempfile.gettempdir()) / "velto-local-stats-server.lock"


@pytest.fixture
def stats_server():
    """The local statistics server: a package server on port 3000 of the
    address this machine's host name resolves to, answering every post with
    200. Its requests() are the posts as received; stats_posts() their JSON."""
    import fcntl
    import socket
    import sys
    sys.path.insert(0, str(TOP / "tests" / "fixtures"))
    from package_server import PackageServer
    try:
        address = socket.gethostbyname(socket.gethostname())
    except OSError as error:
        pytest.skip("the host name does not resolve: %s" % error)
    if not address.startswith("127."):
        pytest.skip("the host name resolves to %s, not to this machine's loopback" % address)
    with open(STATS_LOCK, "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        server = PackageServer({"default": {"status": 200, "body": ""}}, port=STATS_PORT,
                               address=address).start()
        try:
            yield server
        finally:
            server.stop()


def stats_posts(server):
    """The statistics objects the server received, in order."""
    import json
    return [json.loads(r["body"]) for r in server.requests()
            if r["method"] == "POST" and r["path"].endswith("/netinstaller/feedback")]
