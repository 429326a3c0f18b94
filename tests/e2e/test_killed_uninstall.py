"""An uninstall whose back end ends part-way, without its rollback, then
uninstalled again: the second uninstall finishes what the first began, and
nothing of the product stays.

The back end is ended at a known place by the test build of the library
(bin/crash_test), which the installed version folder carries: its
"--crash-test=installer-step@<n>" ends the process as it is about to run its
n-th step, that is right after the step before it has done its work, and
"installer-succeeded" once the run has reported its success. A process that
ends so runs none of its own code any more, as one killed there: its
transaction is neither taken back nor kept. The back end is started as its
front end would start it, by the front end's stand-in (a front end would not
hand it the test switch); the uninstall after it is a real one, front end and
all, from the installer of the version folder, as the installation's entry
starts it.
"""

import os
import shutil
import subprocess
import time

import pytest

import machine_state
from conftest import BIN, BUILD
from test_killed_backend import installer_processes, read_logs
from test_silent_install import silent_run, status_of
from test_silent_uninstall import wait_for_cleanup_batch

CRASH_TEST = BIN / "crash_test"
TIMEOUT = 240

# The uninstall's steps in their order, by the line each logs as it starts
# (the component uninstallers' step logs none of its own).
STEP_LINES = ["Cleaning up registry", "Removing shortctus.", "Finalizing the uninstallation",
              "Removing installed files.", None, "Cleaning up files after uninstallation"]

# Where the back end ends: after the work of each step (the first ends it
# after the run's own preparations, before any step), and once it has
# reported its success.
END_POINTS = ["installer-step@%d" % number for number in range(1, len(STEP_LINES) + 1)] + [
    "installer-succeeded"]


@pytest.fixture(scope="module")
def package(tmp_path_factory):
    """The fixture package with the test build's library: the version folder
    it installs carries it, and so does the installer of the uninstall."""
    folder = tmp_path_factory.mktemp("killed-uninstall") / "package"
    from test_killed_backend import remake_package_file
    shutil.copytree(BUILD / "fixtures" / "package-1", folder)
    # The installer of the test build's library, which loads no other; and
    # the package file made anew, since an elevated run (under Wine every
    # one) installs what it unpacks from there.
    for name in ("installer.exe", "installer_lib.dll"):
        shutil.copy(CRASH_TEST / name, folder / name)
    remake_package_file(folder)
    return folder


def crash_env(wine, folder):
    """The environment of a run that may crash: its dumps in |folder|, and a
    crash server that refuses at once."""
    env = dict(wine.env)
    env["VELTO_CRASH_LOG_DIR"] = wine.windows_path(folder)
    env["VELTO_ALTERNATIVE_CRASH_SERVER_URL"] = "http://127.0.0.1:9/"
    return env


def install(wine, log_dir, package, folder, server):
    result, logs = silent_run(wine, log_dir, server, package, folder)
    assert result.returncode == 0, "\n".join(logs)
    return status_of(folder)


def ended_uninstall(wine, log_dir, installer, folder, dumps, point):
    """The uninstall's back end, run by the stand-in of its front end, ended
    at |point|; its log text."""
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    subprocess.run(
        ["wine", str(CRASH_TEST / "front_end_stand_in.exe"), wine.windows_path(folder),
         wine.windows_path(installer), "--backend", "--uninstall", "--silent", "--v=2",
         "--crash-test=" + point],
        env=crash_env(wine, dumps), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL, timeout=TIMEOUT)
    deadline = time.time() + TIMEOUT
    # Its crash reporter hands the crash on and ends too.
    while installer_processes(wine, folder):
        assert time.time() < deadline, "processes of the ended run stay"
        time.sleep(0.1)
    return read_logs(log_dir, before)


def uninstall(wine, log_dir, installer):
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    result = subprocess.run(["wine", str(installer), "--uninstall", "--silent", "--v=2"],
                            env=wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, timeout=TIMEOUT)
    return result.returncode, read_logs(log_dir, before)


def assert_uninstalled(wine, folder, status, text):
    """Nothing of the installation of |status| in |folder| is left: no file
    but the installer preferences (which every uninstall keeps) and the
    uninstall's own installer, which its clean-up batch deletes once its
    processes have ended (under Wine the batch cannot wait for them); no
    backup, no shortcut, no uninstall entry naming the folder."""
    assert wait_for_cleanup_batch(folder), sorted(os.listdir(folder))
    subfolder = status["_subfolder"]
    allowed = {"installer_prefs.json", subfolder, subfolder + "/installer.exe",
               subfolder + "/installer_lib.dll"}
    left = sorted(path.relative_to(folder).as_posix() for path in folder.rglob("*"))
    assert set(left) <= allowed, (left, text)
    for path in status["shortcuts"].values():
        shortcut = wine.unix_path(path)
        assert not shortcut.exists(), (shortcut, text)
        assert list(shortcut.parent.glob(shortcut.name + ".*.old")) == [], text
    entries = machine_state.entries_naming(machine_state.uninstall_entries(wine),
                                           wine.windows_path(folder))
    assert entries == [], (entries, text)


@pytest.mark.parametrize("point", END_POINTS)
def test_uninstall_ended_part_way_then_uninstalled_again(wine, log_dir, package, package_server,
                                                         tmp_path, point):
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    folder = tmp_path / "Velto"
    status = install(wine, log_dir, package, folder, package_server)
    assert len(status["shortcuts"]) == 3, status
    installer = folder / status["_subfolder"] / "installer.exe"
    dumps = tmp_path / "dumps"
    dumps.mkdir()

    text = ended_uninstall(wine, log_dir, installer, folder, dumps, point)
    if point == "installer-succeeded":
        # It ended once it had reported its success: what it reported is so.
        assert "Installation succeeded" in text, text
        assert_uninstalled(wine, folder, status, text)
        return
    done = int(point.rpartition("@")[2]) - 1
    for line in STEP_LINES[:done]:
        assert line is None or line in text, (line, text)
    for line in STEP_LINES[done:]:
        assert line is None or line not in text, (line, text)
    assert "Installation succeeded" not in text, text

    code, text = uninstall(wine, log_dir, installer)
    assert code == 0, text
    assert "Installation succeeded" in text, text
    assert_uninstalled(wine, folder, status, text)
