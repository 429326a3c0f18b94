"""Silent runs that fail, driven only by the real installer.exe under Wine.

Each failed run must end with exit code 1, name its reason in the log and in
the statistics it posts, and leave the machine as it was. (The package server
that answers 404 is in test_silent_install.py.) A successful upgrade, by
contrast, must leave nothing of the version it replaced once the run after it
is done: the replaced version's folder may still be in use, so its status
waits in "old_status" and a later upgrade removes the files it lists."""

import contextlib
import functools
import hashlib
import json
import shutil
import subprocess
import tempfile

import machine_state
from conftest import BUILD, stats_posts
from test_silent_install import (DELIVERY, installer_copy, package_copy, silent_run,
                                 status_of)

FILE_HOLDER = BUILD / "fixtures" / "file_holder" / "file_holder.exe"
STATS = ("--enable-installer-stats=1", "--local-stats-server")


def leftovers(log_dir, before):
    """What a run left in the installer's temporary folder besides its logs."""
    now = set(log_dir.iterdir()) if log_dir.exists() else set()
    return sorted(str(p) for p in now - before if p.suffix != ".log")


def failed_run_stats(stats_server):
    """The statistics of the one run that posted them, which failed."""
    posts = stats_posts(stats_server)
    assert len(posts) == 1, stats_server.requests()
    assert posts[0]["installation_success"] == 0
    return posts[0]


def temporary_entries(log_dir):
    return set(log_dir.iterdir()) if log_dir.exists() else set()


def run_with_output_in_files(wine, args, timeout=120, cwd=None, stdin=subprocess.DEVNULL):
    """wine.run, with the program's output in files rather than pipes: the
    run ends when the program does, whatever it started."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        done = subprocess.run(["wine"] + [str(a) for a in args], env=wine.env, cwd=cwd,
                              stdin=stdin, stdout=out, stderr=err, timeout=timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(done.args, done.returncode, out.read(), err.read())


@contextlib.contextmanager
def file_held_open(wine, path, program=FILE_HOLDER):
    """|path| held open with no sharing by another Windows process of the
    prefix (|program|, a copy of the file holder), as a running program
    holds its files, until the block ends.

    Meanwhile Wine's desktop process, which an installer run may start and
    which inherits that run's output pipes, stays up as long as the holder
    does: a run waited for through its pipes would never end. So the runs of
    the block (wine.run) put their output in files."""
    holder = subprocess.Popen(["wine", str(program), wine.windows_path(path)], env=wine.env,
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
    wine.run = functools.partial(run_with_output_in_files, wine)
    try:
        # The holder says so once the file is open; a failed open ends it.
        answer = holder.stdout.readline().decode("ascii", "replace").strip()
        assert answer == "held", answer
        yield
    finally:
        del wine.run
        holder.stdin.close()
        assert holder.wait(timeout=60) == 0


def test_wrong_checksum_of_the_downloaded_package_fails_and_changes_nothing(
        wine, log_dir, package_server, stats_server, tmp_path):
    from package_server import protocol_config
    package = DELIVERY / "velto_package.exe"
    wrong = "0" * 64
    package_server.set_config(protocol_config(str(package), checksum=wrong))
    install = tmp_path / "Velto"
    before = machine_state.snapshot(wine, {"install": install})
    temporary = temporary_entries(log_dir)
    folder = installer_copy(tmp_path / "download", BUILD / "bin" / "installer.exe")
    result, logs = silent_run(wine, log_dir, package_server, folder, install,
                              "--internal-package-server="
                              + package_server.url("/netinstaller/quenn/windows/x64/"), *STATS)
    everything = "\n".join(logs)
    assert result.returncode == 1, everything
    assert "Checksum incorrect for the downloaded package" in everything
    assert "Package fetcher failed." in everything
    # Nothing of the refused package ran: no signature or version check, no
    # unpacking, and the waiting back end rolled back what it had begun.
    assert "Unpacking files from archive" not in everything
    assert "Installation was interrupted" in everything
    assert machine_state.diff(before, machine_state.snapshot(wine, {"install": install})) == []
    assert leftovers(log_dir, temporary) == []

    stats = failed_run_stats(stats_server)
    assert stats["failure_reason"] == "Fetcher error"
    actual = hashlib.sha256(package.read_bytes()).hexdigest()
    # Every attempt was made, failed for the same reason, and says why.
    assert len(stats["fetches"]) == stats["fetcher_restarts"] > 1
    for fetch in stats["fetches"]:
        assert fetch["failure_reason"] == "Checksum incorrect for the downloaded package"
        assert fetch["result"] == "download_failed"
        assert fetch["error_details"]["detail"] == "Checksum mismatch"
        assert fetch["error_details"]["expected_checksum"] == wrong
        assert fetch["error_details"]["actual_checksum"] == actual
        assert "signature_check_error" not in fetch and "internal_version" not in fetch


def test_upgrade_meeting_a_file_in_use_fails_and_keeps_version_1(
        wine, log_dir, package_server, stats_server, tmp_path):
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    install = tmp_path / "Velto"
    result, logs = silent_run(wine, log_dir, package_server, package_copy(tmp_path, 1), install)
    assert result.returncode == 0, "\n".join(logs)
    version_1 = status_of(install)
    assert "velto_proxy.exe" in version_1["root_files"]
    before = machine_state.snapshot(wine, {"install": install})
    temporary = temporary_entries(log_dir)

    # The upgrade replaces the root file velto_proxy.exe, which a running
    # program of version 1 holds.
    package_2 = package_copy(tmp_path, 2)
    with file_held_open(wine, install / "velto_proxy.exe"):
        result, logs = silent_run(wine, log_dir, package_server, package_2, install, *STATS)
        everything = "\n".join(logs)
        assert result.returncode == 1, everything
        after = machine_state.snapshot(wine, {"install": install})
    assert "Failed copying velto_proxy.exe" in everything
    assert "IPC_MESSAGE_ERROR(8) received" in everything
    assert "Installation cancelled" in everything
    assert "Installation succeeded" not in everything
    # Six attempts in all: the first and five retries, each one announced.
    assert everything.count("Copying file velto_proxy.exe") == 6
    assert everything.count("Sending IPC_FILE_COPY_RETRY") == 5
    # Version 1 stands exactly as it was: its files (license.txt, which the
    # upgrade had already removed, is back), registry, shortcuts and status.
    assert machine_state.diff(before, after) == []
    assert status_of(install) == version_1
    assert leftovers(log_dir, temporary) == []

    stats = failed_run_stats(stats_server)
    assert stats["failure_reason"] == "Failed copying velto_proxy.exe"
    assert stats["file_copy_retry"] == 5

    # Once the program has let go, the same upgrade goes through.
    result, logs = silent_run(wine, log_dir, package_server, package_2, install)
    assert result.returncode == 0, "\n".join(logs)
    assert status_of(install)["version"] != version_1["version"]


def files_of(install, status):
    subfolder = install / status["_subfolder"]
    return [subfolder / name.replace("\\", "/") for name in status["files"]]


def test_upgrades_remove_the_replaced_version_one_run_later(wine, log_dir, package_server,
                                                            tmp_path):
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    install = tmp_path / "Velto"
    result, logs = silent_run(wine, log_dir, package_server, package_copy(tmp_path, 1), install)
    assert result.returncode == 0, "\n".join(logs)
    version_1 = status_of(install)

    package_2 = package_copy(tmp_path, 2)
    result, logs = silent_run(wine, log_dir, package_server, package_2, install)
    assert result.returncode == 0, "\n".join(logs)
    version_2 = status_of(install)
    assert version_2["_subfolder"] != version_1["_subfolder"]
    # The root files are replaced at once: version 1's own is gone.
    assert not (install / "license.txt").exists()
    for name in version_2["root_files"]:
        assert (install / name).is_file(), name
    # Version 1's folder may still be in use (a browser of that version
    # running during an update): it stays until the next run, which finds
    # its status in old_status.
    old = list((install / "old_status").iterdir())
    assert [p.name.rsplit(".", 1)[0] for p in old] == ["installation_status.json"]
    assert json.loads(old[0].read_text(encoding="utf-8"))["_subfolder"] == version_1["_subfolder"]

    result, logs = silent_run(wine, log_dir, package_server, package_2, install)
    everything = "\n".join(logs)
    assert result.returncode == 0, everything
    assert "Found old status file" in everything
    version_2_again = status_of(install)
    # Nothing of version 1 is left, not even its folder; both later versions
    # stand, the one before the last waiting in old_status in its turn.
    for path in files_of(install, version_1):
        assert not path.exists(), path
    assert not (install / version_1["_subfolder"]).exists()
    for path in files_of(install, version_2) + files_of(install, version_2_again):
        assert path.is_file(), path
    old = list((install / "old_status").iterdir())
    assert len(old) == 1
    assert json.loads(old[0].read_text(encoding="utf-8"))["_subfolder"] == version_2["_subfolder"]


def test_replaced_version_in_use_stays_until_a_later_upgrade(wine, log_dir, package_server,
                                                             tmp_path):
    """A browser of the replaced version still running (its executable held)
    does not fail the upgrade that would remove it: that version's files all
    stay, its status waits in old_status, and a later upgrade removes it."""
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    install = tmp_path / "Velto"
    result, logs = silent_run(wine, log_dir, package_server, package_copy(tmp_path, 1), install)
    assert result.returncode == 0, "\n".join(logs)
    version_1 = status_of(install)
    contents_1 = {path: path.read_bytes() for path in files_of(install, version_1)}
    package_2 = package_copy(tmp_path, 2)
    result, logs = silent_run(wine, log_dir, package_server, package_2, install)
    assert result.returncode == 0, "\n".join(logs)
    version_2 = status_of(install)

    with file_held_open(wine, install / version_1["_subfolder"] / "velto.exe"):
        result, logs = silent_run(wine, log_dir, package_server, package_2, install)
    assert result.returncode == 0, "\n".join(logs)
    assert {path: path.read_bytes() for path in files_of(install, version_1)} == contents_1
    kept = [json.loads(p.read_text(encoding="utf-8"))["_subfolder"]
            for p in (install / "old_status").iterdir()]
    assert sorted(kept) == sorted([version_1["_subfolder"], version_2["_subfolder"]])

    result, logs = silent_run(wine, log_dir, package_server, package_2, install)
    assert result.returncode == 0, "\n".join(logs)
    assert not (install / version_1["_subfolder"]).exists()
    assert not (install / version_2["_subfolder"]).exists()
    for path in files_of(install, status_of(install)):
        assert path.is_file(), path


def test_uninstall_while_the_browser_runs_fails_with_category_7_and_changes_nothing(
        wine, log_dir, package_server, tmp_path):
    from test_silent_uninstall import run_uninstall, wait_for_cleanup_batch
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    install = tmp_path / "Velto"
    result, logs = silent_run(wine, log_dir, package_server, package_copy(tmp_path, 1), install)
    assert result.returncode == 0, "\n".join(logs)
    status = status_of(install)
    # The browser runs: a program started from the installation's browser
    # executable (here one that keeps going until told to end).
    browser = install / status["_subfolder"] / "velto.exe"
    shutil.copyfile(FILE_HOLDER, browser)
    (tmp_path / "profile.lock").write_bytes(b"")
    before = machine_state.snapshot(wine, {"install": install})
    temporary = temporary_entries(log_dir)
    with file_held_open(wine, tmp_path / "profile.lock", program=browser):
        result, logs = run_uninstall(wine, log_dir, install, "--enable-installer-stats=0")
        everything = "\n".join(logs)
        after = machine_state.snapshot(wine, {"install": install})
    assert result.returncode == 1, everything
    assert "Can't uninstall when velto.exe is in use" in everything
    assert "IPC_MESSAGE_ERROR(7) received" in everything
    assert "Installation succeeded" not in everything
    assert machine_state.diff(before, after) == []
    assert status_of(install) == status
    assert leftovers(log_dir, temporary) == []

    # Once the browser has ended, the uninstall goes through.
    result, logs = run_uninstall(wine, log_dir, install, "--enable-installer-stats=0")
    assert result.returncode == 0, "\n".join(logs)
    assert wait_for_cleanup_batch(install)
    assert not (install / "installation_status.json").exists()


def test_install_after_an_uninstall_that_kept_an_old_version_is_a_new_installation(
        wine, log_dir, package_server, tmp_path):
    """Version 1 installed and upgraded to version 2, which keeps version 1's
    status aside. The uninstall meets a file of version 1 in use: that status
    stays kept, for a later run to remove version 1's files by it, and the
    version folder the uninstall ran from stays until its clean-up batch has
    deleted the installer in use (under Wine the batch cannot wait for it).
    The next install finds no installation there: it neither takes the kept
    status for one that an interrupted upgrade moved aside nor upgrades
    version 1."""
    from test_silent_uninstall import run_uninstall, wait_for_cleanup_batch
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    install = tmp_path / "Velto"
    package_1 = package_copy(tmp_path, 1)
    result, logs = silent_run(wine, log_dir, package_server, package_1, install)
    assert result.returncode == 0, "\n".join(logs)
    version_1 = status_of(install)
    result, logs = silent_run(wine, log_dir, package_server, package_copy(tmp_path, 2), install)
    assert result.returncode == 0, "\n".join(logs)
    version_2 = status_of(install)
    assert version_2["_subfolder"] != version_1["_subfolder"]

    with file_held_open(wine, install / version_1["_subfolder"] / "velto.exe"):
        result, logs = run_uninstall(wine, log_dir, install, "--enable-installer-stats=0")
        everything = "\n".join(logs)
        assert result.returncode == 0, everything
        assert wait_for_cleanup_batch(install)
    assert not (install / "installation_status.json").exists()
    assert [json.loads(p.read_text(encoding="utf-8"))["_subfolder"]
            for p in (install / "old_status").iterdir()] == [version_1["_subfolder"]]
    # The version folder the uninstall ran from holds its installer until the
    # batch has deleted it once the uninstall's processes have ended; an
    # install started before finds it so (under Wine the batch may have gone
    # on without waiting: what it deleted comes back).
    own = install / version_2["_subfolder"]
    own.mkdir(exist_ok=True)
    for name in ("installer.exe", "installer_lib.dll"):
        if not (own / name).exists():
            shutil.copyfile(package_1 / name, own / name)

    result, logs = silent_run(wine, log_dir, package_server, package_1, install)
    everything = "\n".join(logs)
    assert result.returncode == 0, everything
    assert "moved aside by an interrupted run" not in everything
    assert "Operation: 1" in everything and "Operation: 2" not in everything
    assert status_of(install)["app_id"] != version_1["app_id"]


def test_refused_install_folder_says_why(wine, log_dir, package_server, tmp_path):
    """An --installfolder that cannot be used (a file, a relative path) fails
    the run, and the log says, as an error, why the folder was refused."""
    import re
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    package = package_copy(tmp_path, 1)
    a_file = tmp_path / "Velto"
    a_file.write_bytes(b"not a folder")
    for install, reason in ((a_file, "Path is a file path"), ("Velto", "Path is relative")):
        result, logs = silent_run(wine, log_dir, package_server, package, install)
        everything = "\n".join(logs)
        assert result.returncode == 1, everything
        assert "Attempting to start installation with invalid settings" in everything
        assert re.search(r"^\[[^\]]*:ERROR:[^\]]*\] Install folder refused: .*: %s\r?$"
                         % re.escape(reason), everything, re.M), everything
