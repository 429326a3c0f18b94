"""Silent installs and upgrades driven only by the real installer.exe, run from
an unpacked package folder (the fixture packages, two versions)."""

import json
import shutil

import pytest

import machine_state
from conftest import BUILD, new_logs, stats_posts

PACKAGES = BUILD / "fixtures"


@pytest.fixture
def overrides_server(package_server):
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    return package_server


def package_copy(tmp_path, version):
    folder = tmp_path / ("package-%d" % version)
    shutil.copytree(PACKAGES / ("package-%d" % version), folder)
    return folder


def silent_run(wine, log_dir, server, package, install, *extra):
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    result = wine.run([package / "installer.exe", "--silent", "--enable-installer-stats=0",
                       "--launchvelto=0", "--v=2",
                       "--installfolder=" + (install if isinstance(install, str)
                                             else wine.windows_path(install)),
                       "--local-pref-default-overrides-server=" + server.url("/api/prefs/")]
                      + list(extra), timeout=300)
    logs = [log.read_text(encoding="utf-8", errors="replace")
            for log in new_logs(log_dir, before)]
    return result, logs


def status_of(install):
    return json.loads((install / "installation_status.json").read_text(encoding="utf-8"))


def test_silent_install_then_upgrade(wine, log_dir, overrides_server, tmp_path):
    install = tmp_path / "Velto"
    result, logs = silent_run(wine, log_dir, overrides_server, package_copy(tmp_path, 1), install)
    assert result.returncode == 0, "\n".join(logs)
    everything = "\n".join(logs)
    # The phases of the run: front end, back end, steps, end.
    for phase in ("Running silent controller", "launching installer backend", "Running backend",
                  "Beginning installation", "Installation succeeded", "Controller exiting"):
        assert phase in everything, phase
    status = status_of(install)
    version_1 = status["version"]
    subfolder = install / status["_subfolder"]
    for name in status["files"]:
        assert (subfolder / name.replace("\\", "/")).is_file(), name
    for name in status["root_files"]:
        assert (install / name.replace("\\", "/")).is_file(), name
    assert (install / "launcher.exe").is_file()
    prefs_file = install / "installer_prefs.json"
    prefs = json.loads(prefs_file.read_text(encoding="utf-8"))
    assert prefs["installer-experiments"] == []
    # An experiment this installation was put in (by an earlier installer's
    # switch or a server's choice) stays in force through upgrades.
    prefs["installer-experiments"] = ["installer-experiment-test@1"]
    prefs_file.write_text(json.dumps(prefs), encoding="utf-8")

    result, logs = silent_run(wine, log_dir, overrides_server, package_copy(tmp_path, 2), install)
    assert result.returncode == 0, "\n".join(logs)
    status = status_of(install)
    assert status["version"] != version_1
    for name in status["files"]:
        assert (install / status["_subfolder"] / name.replace("\\", "/")).is_file(), name
    prefs = json.loads(prefs_file.read_text(encoding="utf-8"))
    assert prefs["installer-experiments"] == ["installer-experiment-test@1"]
    assert "installer-experiment-test@1" in prefs["all-installer-experiments"]


def test_second_installer_on_the_same_folder_gets_category_10(wine, log_dir, package_server,
                                                              tmp_path):
    """While one installer holds the folder (its preference-overrides request is
    answered late), another one for the same folder, spelled in other case, ends
    with exit code 1 and the mutex error; the first one still succeeds."""
    import subprocess
    import time
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}, "delay_ms": 8000}}})
    install = tmp_path / "Velto"
    package = package_copy(tmp_path, 1)
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    first = subprocess.Popen(
        ["wine", str(package / "installer.exe"), "--silent", "--enable-installer-stats=0",
         "--launchvelto=0", "--v=1", "--installfolder=" + wine.windows_path(install),
         "--local-pref-default-overrides-server=" + package_server.url("/api/prefs/")],
        env=wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)
    try:
        deadline = time.time() + 120
        while time.time() < deadline:
            texts = [log.read_text(encoding="utf-8", errors="replace")
                     for log in new_logs(log_dir, before)]
            if any("launching installer backend" in text for text in texts):
                break
            time.sleep(0.1)
        else:
            raise AssertionError("the first installer never started its back end")
        result, logs = silent_run(wine, log_dir, package_server, package,
                                  wine.windows_path(install).upper())
        assert result.returncode == 1
        assert any("Could not acquire installer mutex" in text for text in logs), logs
    finally:
        assert first.wait(timeout=300) == 0
    assert (install / "installation_status.json").is_file()



DELIVERY = BUILD / "fixtures" / "delivery"


def installer_copy(folder, exe, library=BUILD / "bin" / "installer_lib.dll"):
    """|exe| as installer.exe in |folder|, with |library| beside it."""
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copy(exe, folder / "installer.exe")
    shutil.copy(library, folder / "installer_lib.dll")
    return folder


def net_run(wine, log_dir, server, tmp_path, install, *extra):
    """A silent run of the plain installer.exe, which fetches its package."""
    folder = installer_copy(tmp_path / "download", BUILD / "bin" / "installer.exe")
    return silent_run(wine, log_dir, server, folder, install, "--internal-package-server="
                      + server.url("/netinstaller/quenn/windows/x64/"), *extra)


def check_installation(install):
    status = status_of(install)
    for name in status["files"]:
        assert (install / status["_subfolder"] / name.replace("\\", "/")).is_file(), name
    for name in status["root_files"]:
        assert (install / name.replace("\\", "/")).is_file(), name
    assert (install / "installer_prefs.json").is_file()
    return status


def test_silent_net_install_from_the_package_server(wine, log_dir, package_server, tmp_path):
    from package_server import protocol_config
    package_server.set_config(protocol_config(str(DELIVERY / "velto_package.exe")))
    install = tmp_path / "Velto"
    result, logs = net_run(wine, log_dir, package_server, tmp_path, install)
    everything = "\n".join(logs)
    assert result.returncode == 0, everything
    for phase in ("Initializing controller with fetcher.", "Package fetched successfully.",
                  "launching installer backend", "Package is ready", "Installation succeeded"):
        assert phase in everything, phase
    check_installation(install)


def test_silent_net_install_follows_a_long_package_redirect_to_any_host(wine, log_dir,
                                                                       package_server, tmp_path):
    """The package address answers with a redirect of 1,500 characters (a signed
    mirror address) to a host outside the download-address request's
    allow-list (127.1, the loopback address written short): the package comes
    from there and installs."""
    import hashlib
    from package_server import protocol_config
    package = DELIVERY / "velto_package.exe"
    mirror_host = "127.1:%d" % package_server.port
    mirror = "http://%s/mirror/velto_package.exe?sig=" % mirror_host
    location = mirror + "s" * (1500 - len(mirror))
    config = protocol_config(str(package), checksum=hashlib.sha256(package.read_bytes()).hexdigest(),
                             package_responses={"redirect": location})
    config["routes"]["/mirror/velto_package.exe"] = {"file": str(package)}
    package_server.set_config(config)
    install = tmp_path / "Velto"
    result, logs = net_run(wine, log_dir, package_server, tmp_path, install)
    assert result.returncode == 0, "\n".join(logs)
    check_installation(install)
    mirrored = [r for r in package_server.requests() if r["path"] == "/mirror/velto_package.exe"]
    assert len(mirrored) == 1, package_server.requests()
    assert "http://" + mirror_host + mirrored[0]["target"] == location
    assert dict(mirrored[0]["headers"])["Host"] == mirror_host


def test_silent_offline_install_from_the_full_package_payload(wine, log_dir, package_server,
                                                              tmp_path):
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    install = tmp_path / "Velto"
    # Signed, as it is delivered: its library is signed by the same signer.
    folder = installer_copy(tmp_path / "offline", DELIVERY / "velto_installer_full.exe",
                            DELIVERY / "installer_lib_signed.dll")
    result, logs = silent_run(wine, log_dir, package_server, folder, install)
    everything = "\n".join(logs)
    assert result.returncode == 0, everything
    assert "Found full package" in everything
    check_installation(install)


def test_silent_net_install_failing_with_404_changes_nothing(wine, log_dir, package_server,
                                                            stats_server, tmp_path):
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    install = tmp_path / "Velto"
    before = machine_state.snapshot(wine, {"install": install})
    folder = installer_copy(tmp_path / "download", BUILD / "bin" / "installer.exe")
    result, logs = silent_run(wine, log_dir, package_server, folder, install,
                              "--internal-package-server="
                              + package_server.url("/netinstaller/quenn/windows/x64/"),
                              "--enable-installer-stats=1", "--local-stats-server")
    everything = "\n".join(logs)
    assert result.returncode == 1, everything
    assert "Package fetcher failed." in everything
    assert "Failed fetching the download URL" in everything
    # The waiting back end is told at once and does not hold the run.
    assert "Installation was interrupted" in everything
    assert "The installer backend did not end in time" not in everything
    assert machine_state.diff(before, machine_state.snapshot(wine, {"install": install})) == []
    posts = stats_posts(stats_server)
    assert len(posts) == 1, stats_server.requests()
    assert posts[0]["installation_success"] == 0
    assert posts[0]["failure_reason"] == "Fetcher error"
    assert all(fetch["failure_reason"].startswith("Failed fetching the download URL")
               for fetch in posts[0]["fetches"])
    assert posts[0]["fetches"][0]["fetch_download_url_http_status"] == 404


PARALLEL_RUNS = 20


def test_silent_net_installs_started_at_once_each_install_and_clear_a_killed_run(
        wine, log_dir, package_server, temp_dir, tmp_path):
    """A run killed during its download leaves its folders behind; then one
    user starts silent net installs into different folders all at once, from
    one server. Each run fetches into a package folder of its own and installs
    from it, while the others remove the folders of runs that have ended: the
    killed run's go, and after one more run none of theirs is left."""
    import os
    import signal
    import subprocess
    import time
    from package_server import PackageServer, protocol_config
    from test_killed_backend import installer_processes
    package = str(DELIVERY / "velto_package.exe")
    folder = installer_copy(tmp_path / "download", BUILD / "bin" / "installer.exe")
    # Every Wine run is elevated: each fetches into a protected folder of its
    # own in the Windows folder's Temp.
    download_folder = wine.unix_path("C:\\windows\\Temp")

    def start(server, install):
        return subprocess.Popen(
            ["wine", str(folder / "installer.exe"), "--silent", "--enable-installer-stats=0",
             "--launchvelto=0", "--v=1", "--installfolder=" + wine.windows_path(install),
             "--internal-package-server=" + server.url("/netinstaller/quenn/windows/x64/"),
             "--local-pref-default-overrides-server=" + server.url("/api/prefs/")],
            env=wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)

    def try_folders():
        return {p.name for p in download_folder.iterdir()
                if p.name.startswith("velto_elevated_package_") and p.is_dir()
                and any(p.rglob("*"))}

    # The killed run: its package comes slowly, and the kill comes once the
    # download has begun.
    before_kill = try_folders()
    slow = protocol_config(package, package_responses={"file": package, "trickle": [4096, 200]})
    killed_install = tmp_path / "Velto killed"
    with PackageServer(slow) as slow_server:
        killed = start(slow_server, killed_install)
        deadline = time.monotonic() + 120
        while not try_folders() - before_kill:
            assert killed.poll() is None, "the run to kill ended by itself"
            assert time.monotonic() < deadline, "the killed run never began its download"
            time.sleep(0.05)
        # The whole run goes, as with a killed process tree: a back end left
        # waiting is no part of what is tested here.
        while killed.poll() is None or installer_processes(wine, killed_install):
            for pid in installer_processes(wine, killed_install):
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            assert time.monotonic() < deadline, "processes of the killed run stay"
            time.sleep(0.05)
    left = try_folders() - before_kill
    stamps = {name.rsplit("_", 1)[1] for name in left}
    assert len(stamps) == 1, left

    package_server.set_config(protocol_config(package))
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    installs = [tmp_path / ("Velto %02d" % number) for number in range(PARALLEL_RUNS)]
    processes = [start(package_server, install) for install in installs]
    # Every run ends well within this even on a loaded machine; one that
    # hangs is killed, and its log tells where it waited.
    deadline = time.monotonic() + 300
    codes = []
    for process in processes:
        try:
            codes.append(process.wait(timeout=max(1, deadline - time.monotonic())))
        except subprocess.TimeoutExpired:
            process.kill()
            codes.append(process.wait())
    logs = [log.read_text(encoding="utf-8", errors="replace")
            for log in new_logs(log_dir, before)]
    assert codes == [0] * PARALLEL_RUNS, "\n".join(
        text for text in logs if "Installation succeeded" not in text)
    for install in installs:
        check_installation(install)
    # Each front end fetched into a protected folder of its own.
    import re
    fetched = {match.group(1) for text in logs
               for match in re.finditer(r"\] Package folder: .*\\velto_elevated_package_"
                                        r"([0-9A-Fa-f]+)\\", text)}
    assert len(fetched) == PARALLEL_RUNS, fetched
    # A run removes its folders at its end, unless a process that ran from
    # them is still going away; the next run removes what is left then.
    result, logs = silent_run(wine, log_dir, package_server, folder, tmp_path / "Velto next",
                              "--internal-package-server="
                              + package_server.url("/netinstaller/quenn/windows/x64/"))
    assert result.returncode == 0, "\n".join(logs)
    left = [p.name for p in download_folder.iterdir()
            if p.name.startswith("velto_elevated_package_")
            and p.name.rsplit("_", 1)[1] in fetched | stamps]
    assert not left, left


def test_current_user_install_logs_no_error_for_a_folder_the_system_lacks(
        wine, log_dir, overrides_server, tmp_path):
    """The default folder for the current user comes from a known folder that
    Wine does not have: the run falls back on the local application data
    folder, and that is no error."""
    install = tmp_path / "Velto"
    result, logs = silent_run(wine, log_dir, overrides_server, package_copy(tmp_path, 1), install,
                              "--allusers=0")
    everything = "\n".join(logs)
    assert result.returncode == 0, everything
    assert "SHGetKnownFolderPath failed" not in everything
