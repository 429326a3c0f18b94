"""The uninstall of one folder while an install into another folder makes its
shortcuts: every installation's shortcuts have the same names, and the
uninstall removes only those that lead into its own folder when it removes
them.

The uninstall's back end looks at the shortcuts when it analyses its folder
and removes them a few steps later. To have the install make its shortcuts in
between, the uninstall's back end is frozen (SIGSTOP) once it has analysed
its folder (its own log, not its front end's, which analyses the folder too), and let go once the install has ended. Frozen too late (it had
begun to remove the shortcuts), the attempt is made again.
"""

import contextlib
import os
import signal
import subprocess
import time

import pytest

from test_killed_backend import back_end_log_text, processes_where, read_logs
from test_silent_install import package_copy, silent_run, status_of
from test_silent_uninstall import wait_for_cleanup_batch

TIMEOUT = 240
ATTEMPTS = 4
# The back end logs this once its analysis of the folder (which runs on a
# worker thread and opens the shortcuts to resolve them) has come back, and
# this as it starts to remove the shortcuts.
ANALYSED = "Operation: 3"
SHORTCUT_SWITCHES = ("--desktopshortcut=1", "--startmenushortcut=1", "--quicklaunchshortcut=1")
REMOVING = "Removing shortctus."


def install(wine, log_dir, package, folder, server):
    result, logs = silent_run(wine, log_dir, server, package, folder, *SHORTCUT_SWITCHES)
    assert result.returncode == 0, "\n".join(logs)
    return status_of(folder)


def names_folder(link, folder):
    """Whether the shell link's bytes hold the Windows path |folder| followed by
    a backslash (in its ANSI or its UTF-16 form), ignoring case: what leads
    into that folder."""
    data = link.read_bytes().lower()
    text = folder.lower() + "\\"
    return text.encode("latin-1") in data or text.encode("utf-16-le") in data


def test_uninstall_leaves_the_shortcuts_an_install_beside_it_made(wine, log_dir, package_server,
                                                                  tmp_path):
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    # A run writes into its package folder: a copy of the fixture's.
    package = package_copy(tmp_path, 1)
    for attempt in range(ATTEMPTS):
        a = tmp_path / ("A%d" % attempt) / "Velto"
        b = tmp_path / ("B%d" % attempt) / "Velto"
        status_a = install(wine, log_dir, package, a, package_server)
        assert len(status_a["shortcuts"]) == 3, status_a

        before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
        uninstaller = a / status_a["_subfolder"] / "installer.exe"
        program = wine.windows_path(uninstaller).lower().encode()
        front_end = subprocess.Popen(["wine", str(uninstaller), "--uninstall", "--silent", "--v=2"],
                                     env=wine.env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        frozen = []
        try:
            deadline = time.time() + TIMEOUT
            while True:
                text = back_end_log_text(log_dir, before)
                # The uninstall's back end, started from the same installer (it
                # takes its folder from there, not from a switch).
                pids = processes_where(lambda arguments: b"--backend" in arguments and any(
                    program in argument.lower() for argument in arguments))
                # Ended already: too late.
                if (pids and ANALYSED in text) or front_end.poll() is not None:
                    break
                assert time.time() < deadline, "the uninstall never analysed its folder"
                time.sleep(0.005)
            for pid in pids:
                with contextlib.suppress(ProcessLookupError):
                    os.kill(pid, signal.SIGSTOP)
                    frozen.append(pid)
            in_time = (front_end.poll() is None and
                       REMOVING not in back_end_log_text(log_dir, before))
            if in_time:
                status_b = install(wine, log_dir, package, b, package_server)
                assert len(status_b["shortcuts"]) == 3, status_b
        finally:
            for pid in frozen:
                with contextlib.suppress(ProcessLookupError):
                    os.kill(pid, signal.SIGCONT)
            code = front_end.wait(timeout=TIMEOUT)
        text = read_logs(log_dir, before)
        assert code == 0, text
        assert wait_for_cleanup_batch(a)
        if not in_time:
            continue
        # B's shortcuts, under the names A's had, are there and lead into B.
        assert status_b["shortcuts"] == status_a["shortcuts"]
        for path in status_b["shortcuts"].values():
            assert wine.unix_path(path).is_file(), (path, text)
            link = wine.unix_path(path)
            assert names_folder(link, wine.windows_path(b)), (path, text)
            assert not names_folder(link, wine.windows_path(a)), (path, text)
        assert "does not lead into this installation" in text, text
        return
    pytest.fail("the uninstall was never frozen before it removed the shortcuts")
