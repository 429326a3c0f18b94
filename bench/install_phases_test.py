"""Checks of install_phases.py on logs written here: python3 -m pytest -q bench/install_phases_test.py"""

import datetime
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
START = datetime.datetime(2026, 12, 7, 20, 0, 0).astimezone()


def write_log(folder, pid, offset, command, lines):
    """A log as the installer writes it, its first line |offset| seconds after START."""
    path = os.path.join(folder, "velto_installer_%d.log" % (1000 + pid))
    with open(path, "w", encoding="utf-8") as log:
        for at, text in [(offset, "Velto installer starting"), (offset, "Command line: " + command)] + lines:
            when = START + datetime.timedelta(seconds=at)
            log.write("[%d:%d:%s.%03d:INFO:x.cc(1)] %s\n" % (
                pid, pid + 4, when.strftime("%m%d/%H%M%S"), when.microsecond // 1000, text))


def phases(folder, end_offset=5.0):
    start = START.timestamp()
    output = subprocess.run(
        [sys.executable, os.path.join(HERE, "install_phases.py"), folder,
         os.path.join(folder, "no_reporter.log"), str(start), str(start + end_offset)],
        check=True, capture_output=True, text=True).stdout
    return output.splitlines()[0].split(": ", 1)[1]


def write_install(folder, copying=True):
    front = "installer.exe --silent --installfolder=X"
    back = "installer.exe --backend --silent --install --installfolder=X"
    package = "installer.exe --backend --silent --initial-pid=10 --install --installfolder=X"
    write_log(folder, 10, 0.1, front, [(0.2, "launching installer backend: " + back)])
    write_log(folder, 20, 0.4, back, [
        (0.5, "Running installer from the package with command line: " + package),
        (3.0, "Installation succeeded")])
    write_log(folder, 30, 0.6, package, [
        (0.7, "Installation subfolder 47.0"),
        (0.8, "Copying file a") if copying else (0.8, "Reading files list"),
        (2.0, "Setting up the registry"),
        (2.5, "Creating scheduled task"),
        (2.9, "Installation succeeded")])


def test_each_phase_from_its_own_process(tmp_path):
    write_install(str(tmp_path))
    # The round before: an uninstall, started just inside the window's slack,
    # its front end and back end first in the folder.
    write_log(str(tmp_path), 1, -0.5, "installer.exe --uninstall --silent",
              [(-0.4, "launching installer backend: installer.exe --backend --uninstall")])
    write_log(str(tmp_path), 2, -0.3, "installer.exe --backend --uninstall",
              [(0.05, "Installation succeeded")])
    assert phases(str(tmp_path)).endswith(", ".join([
        "settings and fetch of the preference overrides 0.10 s",
        "back end started 0.20 s",
        "back end waited for the package 0.10 s",
        "package's installer started 0.10 s",
        "package's installer set-up 0.10 s",
        "steps built 0.10 s",
        "file copies 1.20 s",
        "registry, shortcuts, prefs, status 0.50 s",
        "scheduled task 0.40 s",
        "processes ended 2.10 s",
    ]))


def test_a_missing_mark_is_named_and_not_folded_silently(tmp_path):
    write_install(str(tmp_path), copying=False)
    found = phases(str(tmp_path))
    assert 'steps built missing (no "Copying file" in the package\'s installer\'s log)' in found
    assert "steps built and file copies 1.30 s" in found
