"""Shared fixtures of the end-to-end suite: run the real installer.exe under Wine."""

import os
import pathlib
import shutil
import subprocess

import pytest

TOP = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("BUILD_DIR", TOP / "build"))
BIN = BUILD / "bin"


def wine_env():
    env = dict(os.environ)
    env.setdefault("WINEPREFIX", str(BUILD / "wineprefix"))
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    return env


class Wine:
    """Runs Windows programs in the build's prefix and maps paths both ways."""

    def __init__(self):
        self.env = wine_env()

    def run(self, args, timeout=120, cwd=None, stdin=subprocess.DEVNULL):
        return subprocess.run(["wine"] + [str(a) for a in args], env=self.env, cwd=cwd,
                              stdin=stdin, capture_output=True, timeout=timeout)

    def unix_path(self, windows_path):
        out = subprocess.run(["winepath", "-u", windows_path], env=self.env,
                             capture_output=True, text=True, check=True)
        return pathlib.Path(out.stdout.strip())

    def windows_path(self, unix_path):
        out = subprocess.run(["winepath", "-w", str(unix_path)], env=self.env,
                             capture_output=True, text=True, check=True)
        return out.stdout.strip()

    def expand(self, variable):
        out = subprocess.run(["wine", "cmd", "/c", "echo", "%" + variable + "%"], env=self.env,
                             capture_output=True, text=True, check=True)
        return out.stdout.strip()


@pytest.fixture(scope="session")
def wine():
    return Wine()


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
    """The installer's log folder; logs a test makes are removed afterwards."""
    folder = temp_dir / "Velto Installer"
    before = set(folder.glob("*.log")) if folder.exists() else set()
    yield folder
    if folder.exists():
        for log in set(folder.glob("*.log")) - before:
            log.unlink()


def new_logs(folder, before):
    return sorted(set(folder.glob("*.log")) - before) if folder.exists() else []


def run_and_read_log(wine, log_dir, exe, *args):
    """Runs |exe| and returns its result and the text of the one log it wrote."""
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    result = wine.run([exe] + list(args))
    logs = new_logs(log_dir, before)
    assert len(logs) == 1
    return result, logs[0].read_text(encoding="utf-8")


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
