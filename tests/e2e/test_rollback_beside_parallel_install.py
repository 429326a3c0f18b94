"""An upgrade rolled back after it took away the uninstall entry of the
installation it replaces, while an install of the old version into another
folder runs: that install claims the first free entry name of its version,
which is the name the upgrade freed. The rollback leaves that entry to the
other install and puts the folder's own entry back under another name, which
the folder's status then names; the folder's next upgrade and its uninstall
touch only the folder's own entry.

The upgrade is held in its component step (after the registry steps, where
every rollback of the upgrade undoes the same registry changes) while the
other install runs from start to end; then the back end that waits for the
upgrade's package installer is killed: the run is interrupted, and the
package's installer rolls back.
"""

import subprocess
import time

import pytest

import machine_state
from conftest import new_logs
from test_killed_backend import (TIMEOUT, WaitingComponent, command, entry_names_of_status,
                                 installer_processes, kill_waiting_back_ends, make_package,
                                 package_server_module, silent_run, workspace)
from test_silent_install import status_of
from test_silent_uninstall import run_uninstall

assert package_server_module and workspace  # fixtures of this module too


def logs_of(wine, log_dir, before, install):
    """The text of the new logs of the runs into |install|."""
    switch = "Install folder from command line: " + wine.windows_path(install) + "\n"
    texts = [log.read_text(encoding="utf-8", errors="replace") for log in new_logs(log_dir, before)]
    return "\n".join(text for text in texts if switch in text)


def entry_name(key):
    return key.rpartition("\\")[2].lower()


def one_entry_naming(wine, install):
    naming = machine_state.entries_naming(machine_state.uninstall_entries(wine),
                                          wine.windows_path(install))
    assert len(naming) == 1, (install, naming)
    return naming[0]


def test_rolled_back_upgrade_keeps_an_entry_of_its_own_beside_an_install_of_its_old_version(
        wine, log_dir, workspace, package_server_module):
    server = package_server_module
    package_1, package_2 = (make_package(workspace, version) for version in (1, 2))
    folder_a = workspace / "rolled-back" / "Velto"
    folder_b = workspace / "beside" / "Velto"
    component = WaitingComponent(workspace)
    code, text = silent_run(wine, log_dir, package_1, folder_a, server, component.SWITCHES)
    assert code == 0, text
    old_entry = one_entry_naming(wine, folder_a)

    before = set(log_dir.glob("*.log"))
    component.hold(wine, folder_a)
    front_end = subprocess.Popen(command(wine, package_2, folder_a, server, component.SWITCHES),
                                 env=wine.env, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.time() + TIMEOUT
        while not component.waits(logs_of(wine, log_dir, before, folder_a), []):
            assert front_end.poll() is None, logs_of(wine, log_dir, before, folder_a)
            assert time.time() < deadline, "the component step never came"
            time.sleep(0.05)
        assert "Cleaning up registry" in logs_of(wine, log_dir, before, folder_a)

        # The install into B claims the entry name the upgrade has freed.
        code, text = silent_run(wine, log_dir, package_1, folder_b, server)
        assert code == 0, text
        assert entry_name(one_entry_naming(wine, folder_b)) == entry_name(old_entry)

        # The front end interrupts the run once its back end has gone; the
        # component installer, which waits for that, returns, and the
        # package's installer rolls back.
        kill_waiting_back_ends(wine, folder_a, deadline)
        code = front_end.wait(timeout=TIMEOUT)
        while installer_processes(wine, folder_a):
            assert time.time() < deadline, "processes of the killed run stay"
            time.sleep(0.1)
    finally:
        if front_end.poll() is None:
            front_end.kill()
        component.let_go()
    text = logs_of(wine, log_dir, before, folder_a)
    assert code == 1, text
    assert "Installation succeeded" not in text, text
    assert "Installation was interrupted" in text, text
    assert status_of(folder_a)["version"] == status_of(folder_b)["version"]

    # Each folder has one entry of its own, the one its status names.
    entry_a = one_entry_naming(wine, folder_a)
    entry_b = one_entry_naming(wine, folder_b)
    assert entry_name(entry_b) == entry_name(old_entry)
    assert [entry_name(entry_a)] == entry_names_of_status(folder_a), text
    assert [entry_name(entry_b)] == entry_names_of_status(folder_b)

    # The folder's next upgrade replaces its own entry only.
    code, text = silent_run(wine, log_dir, package_2, folder_a, server, component.SWITCHES)
    assert code == 0, text
    assert one_entry_naming(wine, folder_b) == entry_b
    assert [entry_name(one_entry_naming(wine, folder_a))] == entry_names_of_status(folder_a)

    # And its uninstall takes away its own entry only.
    result, logs = run_uninstall(wine, log_dir, folder_a)
    assert result.returncode == 0, "\n".join(logs)
    assert machine_state.entries_naming(machine_state.uninstall_entries(wine),
                                        wine.windows_path(folder_a)) == []
    assert one_entry_naming(wine, folder_b) == entry_b
