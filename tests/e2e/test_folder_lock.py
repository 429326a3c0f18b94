"""The installation mutex keeps a second installer off a folder for as long as
an installer works in it, and no longer; the events of an earlier run of the
folder do not reach a later one. Driven only by the real installer.exe under
Wine.

A front end killed during the steps leaves its back end rolling back: the back
end holds the folder until it has ended. To look at that moment for as long as
the test needs, the back end's processes are frozen (SIGSTOP) while the front
end is killed and the second installer runs, then let go (SIGCONT)."""

import contextlib
import fcntl
import os
import signal
import socket
import subprocess
import time

from conftest import BUILD, STATS_LOCK, STATS_PORT, new_logs
from test_killed_backend import (TIMEOUT, Held, backend_processes, held_at,
                                 installer_processes, make_package, read_logs)
from test_silent_install import DELIVERY, installer_copy, package_copy, silent_run
from test_silent_uninstall import protocol_config, run_uninstall, wait_for_cleanup_batch

FAKE_BACKEND = BUILD / "fixtures" / "backend" / "fixture_fake_backend.exe"


def copy_only_run(wine, package, install, server):
    """The command of a silent stand-alone run, which writes nothing outside
    the install folder."""
    return ["wine", str(package / "installer.exe"), "--silent", "--copyonly=1",
            "--enable-installer-stats=0", "--launchvelto=0", "--v=2",
            "--installfolder=" + wine.windows_path(install),
            "--local-pref-default-overrides-server=" + server.url("/api/prefs/")]


def run(wine, log_dir, command):
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    result = subprocess.run(command, env=wine.env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            timeout=TIMEOUT)
    return result.returncode, read_logs(log_dir, before)


def event_name(wine, base, install):
    return "Global\\" + base + "/" + wine.windows_path(install).replace("\\", "/")


@contextlib.contextmanager
def events_held_and_set(wine, folder, names):
    """Another process holds the named events open and sets them, as a
    process of an earlier run may, until the block ends."""
    folder.mkdir()
    (folder / "installer.exe").write_bytes(FAKE_BACKEND.read_bytes())
    script = ["hold-event " + name for name in names]
    script += ["set-event " + name for name in names]
    script += ["record-event " + name for name in names]
    script += ["sleep 600000", "exit 0"]
    (folder / "script.txt").write_text("\n".join(script) + "\n", encoding="ascii")
    holder = subprocess.Popen(["wine", str(folder / "installer.exe")], env=wine.env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        expected = "".join(name + " set\n" for name in names)
        deadline = time.time() + TIMEOUT
        result = folder / "result.txt"
        while not (result.exists() and result.read_text(encoding="ascii") == expected):
            assert holder.poll() is None and time.time() < deadline, (
                result.read_text(encoding="ascii") if result.exists() else "no result")
            time.sleep(0.05)
        yield
    finally:
        holder.kill()
        holder.wait(timeout=60)


def test_killed_front_ends_folder_stays_locked_until_its_back_end_has_rolled_back(
        wine, log_dir, package_server, tmp_path):
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    package = make_package(tmp_path, 1)
    install = tmp_path / "Velto"
    events = [event_name(wine, "VeltoInstaller/PackageReady", install),
              event_name(wine, "VeltoInstaller/InstallationInterrupted", install)]
    # The back end is held at the copy of a file that is missing for now.
    name = "data\\extra_12.bin"
    held = Held(package, name)
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    front_end = subprocess.Popen(copy_only_run(wine, package, install, package_server),
                                 env=wine.env, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    frozen = []
    try:
        deadline = time.time() + TIMEOUT
        ready = held_at(name)
        while not ready(read_logs(log_dir, before), backend_processes(wine, install)):
            assert front_end.poll() is None, read_logs(log_dir, before)
            assert time.time() < deadline, "the back end never reached the held file"
            time.sleep(0.05)
        frozen = backend_processes(wine, install)
        for pid in frozen:
            os.kill(pid, signal.SIGSTOP)
        front_end.kill()
        front_end.wait(timeout=60)

        with events_held_and_set(wine, tmp_path / "holder", events):
            # Started at once, while the killed run's back end still has the
            # folder: refused, without starting a back end of its own.
            code, text = run(wine, log_dir, copy_only_run(wine, package, install,
                                                         package_server))
            assert code == 1, text
            assert "Could not acquire installer mutex" in text, text
            assert "launching installer backend" not in text, text

            for pid in frozen:
                os.kill(pid, signal.SIGCONT)
            frozen = []
            while installer_processes(wine, install):
                assert time.time() < deadline + TIMEOUT, "the killed run's processes stay"
                time.sleep(0.1)
            held.put_back()
            held = None
            # The killed run rolled back; its events, still held and set by
            # another process, do not interrupt the next run of the folder.
            assert not (install / "installation_status.json").exists()
            code, text = run(wine, log_dir, copy_only_run(wine, package, install,
                                                         package_server))
            assert code == 0, text
            assert "Installation was interrupted" not in text, text
            assert (install / "installation_status.json").is_file()
    finally:
        for pid in frozen:
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGCONT)
        if front_end.poll() is None:
            front_end.kill()
        if held:
            held.put_back()


@contextlib.contextmanager
def statistics_host_unreachable():
    """No statistics server of this machine listens while the block runs:
    the statistics of a run cannot be posted, and it keeps trying."""
    try:
        address = socket.gethostbyname(socket.gethostname())
    except OSError as error:
        import pytest
        pytest.skip("the host name does not resolve: %s" % error)
    with open(STATS_LOCK, "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        with socket.socket() as probe:
            probe.settimeout(5)
            assert probe.connect_ex((address, STATS_PORT)) != 0, "something answers on the port"
        yield


def start_posting_statistics(wine, folder, install, tmp_path, server):
    """A silent net install into |install| from |server| that sends its
    statistics to the local statistics server."""
    return subprocess.Popen(
        ["wine", str(folder / "installer.exe"), "--silent", "--allusers=0",
         "--enable-installer-stats=1", "--local-stats-server", "--launchvelto=0", "--v=2",
         "--installfolder=" + wine.windows_path(install),
         "--temp-folder=" + wine.windows_path(tmp_path),
         "--internal-package-server=" + server.url("/netinstaller/quenn/windows/x64/"),
         "--local-pref-default-overrides-server=" + server.url("/api/prefs/")],
        env=wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)


def wait_for_statistics_after_the_back_end(log_dir, before, front_end):
    """The logs of the run once its back end has ended and it sends its
    statistics."""
    deadline = time.time() + TIMEOUT
    while True:
        text = read_logs(log_dir, before)
        if "Sending stats" in text and "Installer backend process signaled" in text:
            return text
        assert front_end.poll() is None, text
        assert time.time() < deadline, text
        time.sleep(0.1)


def test_folder_is_free_while_the_front_end_still_posts_its_statistics(
        wine, log_dir, package_server, tmp_path):
    package_server.set_config(protocol_config(str(DELIVERY / "velto_package.exe")))
    install = tmp_path / "Velto"
    folder = installer_copy(tmp_path / "download", BUILD / "bin" / "installer.exe")
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    with statistics_host_unreachable():
        front_end = start_posting_statistics(wine, folder, install, tmp_path, package_server)
        try:
            text = wait_for_statistics_after_the_back_end(log_dir, before, front_end)
            assert "Installation succeeded" in text, text
            # The installation is done; its front end still tries to post.
            result, logs = run_uninstall(wine, log_dir, install)
            everything = "\n".join(logs)
            assert result.returncode == 0, everything
            assert "Could not acquire installer mutex" not in everything
            assert front_end.poll() is None, "the statistics were posted after all"
        finally:
            front_end.kill()
            front_end.wait(timeout=60)
    assert wait_for_cleanup_batch(install)
    assert not (install / "installation_status.json").exists()


def test_folder_of_a_failed_run_is_free_while_it_still_posts_its_statistics(
        wine, log_dir, package_server, tmp_path):
    """A net install whose package never passes its check fails on the front
    end's side, while its back end waits for the package. That back end is
    told to roll back and ends before the statistics go out (with their host
    unreachable, that takes long): meanwhile the folder takes another run."""
    package = str(DELIVERY / "velto_package.exe")
    package_server.set_config(protocol_config(package, checksum="0" * 64))
    install = tmp_path / "Velto"
    folder = installer_copy(tmp_path / "download", BUILD / "bin" / "installer.exe")
    server = "--internal-package-server=" + package_server.url("/netinstaller/quenn/windows/x64/")
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    with statistics_host_unreachable():
        front_end = start_posting_statistics(wine, folder, install, tmp_path, package_server)
        try:
            text = wait_for_statistics_after_the_back_end(log_dir, before, front_end)
            assert "Package fetcher failed." in text, text
            assert "Installation was interrupted" in text, text
            # The run is over but for its statistics; another install of the
            # folder, from a package that is right, goes ahead.
            package_server.set_config(protocol_config(package))
            result, logs = silent_run(wine, log_dir, package_server, folder, install, server)
            everything = "\n".join(logs)
            assert result.returncode == 0, everything
            assert "Could not acquire installer mutex" not in everything
            assert (install / "installation_status.json").is_file()
            assert front_end.poll() is None, "the statistics were posted after all"
        finally:
            front_end.kill()
            front_end.wait(timeout=60)


def test_back_end_whose_front_end_has_gone_leaves_a_moved_aside_status(
        wine, log_dir, package_server, tmp_path):
    """A status that an interrupted upgrade moved aside goes back only in a
    run that holds the folder: a back end that cannot find its front end
    (which may have left the folder to another run) does not touch it."""
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    install = tmp_path / "Velto"
    result, logs = silent_run(wine, log_dir, package_server, package_copy(tmp_path, 1), install)
    assert result.returncode == 0, "\n".join(logs)
    # What an upgrade killed between keeping the status and writing its own
    # leaves: no status, the old one kept, and the copy no record names.
    status = install / "installation_status.json"
    kept = install / "old_status" / "installation_status.json.1500000000"
    kept.parent.mkdir(exist_ok=True)
    status.rename(kept)
    (install / "99.0.0.1").mkdir()
    code, text = run(wine, log_dir, ["wine", str(BUILD / "bin" / "installer.exe"), "--backend",
                                     "--initial-pid=4294967280", "--v=2",
                                     "--installfolder=" + wine.windows_path(install)])
    assert code == 1, text
    assert "Failed opening initial process" in text, text
    assert kept.is_file() and not status.exists(), text
