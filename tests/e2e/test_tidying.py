"""The suite's own tidying (conftest.py, machine_state.capture/restore) beside
a unit suite that runs in the same prefix."""

import shutil

import pytest

import machine_state

# As base/test/test_main.cc names them: process id and start tick.
TAG = "4242_99"


def key_exists(wine, key):
    return wine.run(["reg", "query", key]).returncode == 0


def test_tidying_leaves_the_scratch_of_a_unit_test_process_running_beside(wine, temp_dir):
    """A unit test process that starts during an e2e test keeps its scratch
    folder and key until it ends; the tidying after the e2e test takes
    neither away from under it."""
    before = machine_state.capture(wine)
    folder = temp_dir / ("velto_test_" + TAG)
    port_file = folder / "temp_1" / "package_server_1" / "port"
    key = "HKEY_CURRENT_USER\\Software\\VeltoTests_" + TAG + "\\HKLM"
    try:
        port_file.parent.mkdir(parents=True)
        port_file.write_text("40000")
        assert wine.run(["reg", "add", key, "/v", "Value", "/d", "x", "/f"]).returncode == 0

        after = machine_state.capture(wine)
        if not port_file.exists():
            # Only a unit test process starting beside this one removes it: it
            # takes the folder for one of a process that was killed.
            pytest.skip("a unit test process beside this suite removed the folder first")
        done = machine_state.restore(wine, before, after)

        assert port_file.exists(), done
        assert key_exists(wine, key), done
        assert not [line for line in done if TAG in line], done
    finally:
        shutil.rmtree(folder, ignore_errors=True)
        wine.run(["reg", "delete", "HKEY_CURRENT_USER\\Software\\VeltoTests_" + TAG, "/f"])
