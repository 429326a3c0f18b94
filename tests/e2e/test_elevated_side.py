"""What the installer processes that run elevated trust, through the real
installer.exe.

Under Wine the test user is an elevated administrator, so an all-users install
never asks for elevation here (the unit tests take the standard user's side
through the privileges seam and check the command lines it starts). These
tests start the real installer.exe as that side starts it:

- the elevated copy of an all-users install ("--run-elevated"), from a stand-in
  front end that made the run's events and mailslot (the package is ready);
- the folder-permission helper ("--set-folder-permission"), from a stand-in
  installer that made the helper's events and waits for its grant;
- any run, for where it writes its log when its temporary folder holds a link.

Wine keeps no access lists of files and folders: what the helper grants or the
protected package folder's rights cannot be read back, only what the
processes decide, refuse, run and copy."""

import json
import os
import re
import shutil
import time
import subprocess
import threading

import pytest

from conftest import BUILD, copy_installer, new_logs, sign_file

PACKAGE = BUILD / "fixtures" / "package-1"
DELIVERY = BUILD / "fixtures" / "delivery"
FRONT_END = BUILD / "bin" / "crash_test" / "front_end_stand_in.exe"
REQUESTER = BUILD / "fixtures" / "backend" / "fixture_permission_requester.exe"
FAKE_INSTALLER = BUILD / "fixtures" / "backend" / "fixture_fake_backend.exe"
PARTNER_PROBE = BUILD / "fixtures" / "planted_dll" / "partner_installer_probe.exe"
PLANTED_DLL = BUILD / "fixtures" / "planted_dll" / "planted.dll"
SIGNATURES = BUILD / "fixtures" / "signatures"

# An all-users install that changes nothing outside its folder but what an
# installation must (registration, autoupdate task): the tidying takes those.
QUIET_ALL_USERS = ["--backend", "--install", "--allusers=1", "--launchvelto=0",
                   "--desktopshortcut=0", "--startmenushortcut=0", "--quicklaunchshortcut=0",
                   "--pintotaskbar=0", "--setdefaultbrowser=0", "--enable-installer-stats=0",
                   "--v=2"]


def read_logs(log_dir, before):
    return "\n".join(log.read_text(encoding="utf-8", errors="replace")
                     for log in new_logs(log_dir, before))


def log_names(log_dir):
    return set(log_dir.glob("*.log")) if log_dir.exists() else set()


@pytest.fixture
def user_package(tmp_path):
    """A package folder as the fetcher leaves it in the user's temporary
    folder: the unpacked package beside the package file it came from."""
    folder = tmp_path / "download" / "velto_package.exe_20240101101010"
    shutil.copytree(PACKAGE, folder)
    shutil.copy(DELIVERY / "velto_package_unsigned.exe", folder / "velto_package.exe")
    return folder


def change_after_the_check(package):
    """What another program of the user does to the package once the front end
    has checked it: a browser file and the installer swapped, the installer
    for one that writes down that it ran and reports success."""
    (package / "velto.exe").write_bytes(b"changed browser")
    shutil.copy(FAKE_INSTALLER, package / "installer.exe")
    (package / "script.txt").write_text("record-command-line\nreport-success\nexit 0\n")


@pytest.fixture
def protected_folders(wine):
    """Checks that the folders the elevated side takes packages into are
    gone after the test."""
    temp = wine.prefix / "drive_c" / "windows" / "temp"
    before = set(temp.glob("velto_elevated_package_*"))
    yield temp
    assert set(temp.glob("velto_elevated_package_*")) == before


def run_elevated_copy(wine, install, program, *switches, run_elevated=True):
    """Runs |program| as the elevated copy of an all-users install of
    |install| (without "--run-elevated": as a back end that the token alone
    makes elevated); returns its exit code."""
    result = wine.run([FRONT_END, wine.windows_path(install), wine.windows_path(program)]
                      + QUIET_ALL_USERS + list(switches)
                      + (["--run-elevated"] if run_elevated else []), timeout=300)
    return int(result.stdout.decode().strip())


def run_waiting_elevated_copy(wine, tmp_path, log_dir, package_path, *switches):
    """Runs a copy of the built installer as the elevated copy of a front end
    that fetched its package into |package_path| (a Windows path); returns
    the exit code, the logs of the run and the install folder."""
    download = copy_installer(tmp_path / "download")
    install = tmp_path / "AllUsers" / "Velto"
    before = log_names(log_dir)
    code = run_elevated_copy(wine, install, download, "--wait-for-package=" + package_path,
                             *switches)
    return code, read_logs(log_dir, before), install


def run_through_the_seam(wine, suite, variables):
    """Runs the unit test |suite| of core_unittests, which takes the user's
    side through the privileges seam, with the environment |variables| that
    tell it what to work on; it must pass, not skip."""
    wine.env.update(variables)
    try:
        result = wine.run([BUILD / "bin" / "core_unittests.exe",
                           "--gtest_filter=%s.*" % suite], timeout=300)
    finally:
        for name in variables:
            del wine.env[name]
    output = result.stdout.decode(errors="replace")
    assert result.returncode == 0, output
    assert "[  PASSED  ] 1 test." in output and "SKIPPED" not in output, output


def installed_browser(install):
    status = install / "installation_status.json"
    if not status.exists():
        return None
    subfolder = json.loads(status.read_text(encoding="utf-8"))["_subfolder"]
    return (install / subfolder / "velto.exe").read_bytes()


def test_elevated_copy_installs_the_package_it_took_not_the_changed_folder(
        wine, tmp_path, user_package, log_dir, protected_folders):
    change_after_the_check(user_package)
    code, logs, install = run_waiting_elevated_copy(wine, tmp_path, log_dir,
                                                    wine.windows_path(user_package))
    assert code == 0, logs
    assert not (user_package / "result.txt").exists(), "the changed installer ran"
    assert installed_browser(install) == (PACKAGE / "velto.exe").read_bytes()
    assert "Package taken into C:\\windows\\Temp\\velto_elevated_package_" in logs, logs


def test_back_end_elevated_from_the_start_runs_nothing_from_the_folder_it_is_pointed_at(
        wine, tmp_path, user_package, log_dir, protected_folders):
    """A back end started elevated (Wine's every process is) without
    "--run-elevated", pointed at a folder anyone may have filled: it takes
    the package from there as the elevated copy does, never runs the
    folder's installer.exe."""
    change_after_the_check(user_package)
    download = copy_installer(tmp_path / "download")
    install = tmp_path / "AllUsers" / "Velto"
    before = log_names(log_dir)
    code = run_elevated_copy(wine, install, download,
                             "--wait-for-package=" + wine.windows_path(user_package),
                             run_elevated=False)
    logs = read_logs(log_dir, before)
    assert code == 0, logs
    assert not (user_package / "result.txt").exists(), "the folder's installer ran"
    assert installed_browser(install) == (PACKAGE / "velto.exe").read_bytes()
    assert "Package taken into C:\\windows\\Temp\\velto_elevated_package_" in logs, logs


def test_standard_users_all_users_install_through_the_privileges_seam(
        wine, tmp_path, user_package, protected_folders):
    """The standard user's side is the product's Installer in a unit test
    process, the privileges seam standing in for UAC; the elevated copy that
    the seam starts is the real installer.exe, waiting for the package."""
    download = copy_installer(tmp_path / "download")
    change_after_the_check(user_package)
    install = tmp_path / "AllUsers" / "Velto"
    variables = {"VELTO_ELEVATED_INSTALLER": wine.windows_path(download),
                 "VELTO_USER_PACKAGE": wine.windows_path(user_package),
                 "VELTO_ALL_USERS_FOLDER": wine.windows_path(install)}
    run_through_the_seam(wine, "ElevatedInstallThroughTheSeamTest", variables)
    assert installed_browser(install) == (PACKAGE / "velto.exe").read_bytes()
    # The changed installer ran once: in the user's own context, for the
    # tasks that follow the elevated install, as the user may run anything.
    recorded = (user_package / "result.txt").read_text().splitlines()
    assert len(recorded) == 1 and "--post-elevated-install-tasks" in recorded[0], recorded


def test_elevated_copy_of_an_unpacked_package_installs_what_it_took(
        wine, tmp_path, user_package, log_dir, protected_folders):
    # The elevated copy is the package's own installer.exe (the front end
    # started the back end from the unpacked package); only the browser file
    # was changed, or the changed installer would be what runs elevated.
    (user_package / "velto.exe").write_bytes(b"changed browser")
    install = tmp_path / "AllUsers" / "Velto"
    before = log_names(log_dir)
    code = run_elevated_copy(wine, install, user_package / "installer.exe")
    logs = read_logs(log_dir, before)
    assert code == 0, logs
    assert installed_browser(install) == (PACKAGE / "velto.exe").read_bytes()


def test_elevated_copy_refuses_a_package_folder_without_its_package_file(
        wine, tmp_path, user_package, log_dir, protected_folders):
    change_after_the_check(user_package)
    (user_package / "velto_package.exe").unlink()
    code, logs, install = run_waiting_elevated_copy(wine, tmp_path, log_dir,
                                                    wine.windows_path(user_package))
    assert code == 1, logs
    assert not (user_package / "result.txt").exists()
    assert installed_browser(install) is None
    assert "The package could not be verified for the elevated installation." in logs, logs


def test_elevated_copy_refuses_a_package_folder_behind_a_link(
        wine, tmp_path, user_package, log_dir, protected_folders):
    # A Unix link shows as a reparse point to Wine (it makes no junctions).
    os.symlink(user_package.parent, tmp_path / "linked")
    code, logs, install = run_waiting_elevated_copy(
        wine, tmp_path, log_dir,
        wine.windows_path(tmp_path) + "\\linked\\" + user_package.name)
    assert code == 1, logs
    assert installed_browser(install) is None
    assert "link or junction" in logs, logs


def ask_for_rights(wine, folder, installer, *switches, events=True):
    """Runs the helper as an installer asks for rights on |folder| (a Windows
    path); returns its exit code and whether it granted. Returns once the
    helper and everything it started have ended."""
    result = wine.run([REQUESTER] + ([] if events else ["--no-events"])
                      + [folder, installer, "--set-folder-permission=" + folder]
                      + list(switches), timeout=120)
    code, granted = result.stdout.decode(errors="replace").split()[-2:]
    return int(code), granted == "1"


def ask_for_rights_for_good_and_end(wine, folder, installer, *switches):
    """Runs the helper as an installer asks for a permanent grant on |folder|
    and then ends without installing there; returns the helper's exit code,
    whether it granted and whether the folder existed during the grant.
    Returns once the helper has ended."""
    result = wine.run([REQUESTER, "--end-when-granted", folder, installer,
                       "--set-folder-permission=" + folder, "--permanent-permissions"]
                      + list(switches), timeout=120)
    words = result.stdout.decode(errors="replace").split()
    existed = "folder" in words and words[words.index("folder") + 1] == "1"
    return int(words[-2]), words[-1] == "1", existed


def test_helper_refuses_everyone_rights_on_system32(wine, installer_exe, log_dir):
    for extra in (["--permanent-permissions"], []):
        before = log_names(log_dir)
        code, granted = ask_for_rights(wine, "C:\\windows\\system32", installer_exe,
                                       "--permissions-for-user=Everyone", *extra)
        logs = read_logs(log_dir, before)
        assert (code, granted) == (1, False), logs
        assert "Refused to grant rights: The Windows folder or a folder inside it" in logs, logs


def test_helper_refuses_a_folder_behind_a_link(wine, tmp_path, installer_exe, log_dir):
    system32 = wine.prefix / "drive_c" / "windows" / "system32"
    os.symlink(system32, tmp_path / "system")
    # An installation's folder, which the helper would grant rights on, but
    # behind a link.
    real = tmp_path / "real" / "Velto"
    real.mkdir(parents=True)
    shutil.copy(PACKAGE / "files_list", real / "files_list")
    (real / "installation_status.json").write_text('{"app_id": "1", "path": "x"}')
    os.symlink(real.parent, tmp_path / "linked")
    for folder in ("system", "system\\new", "linked\\Velto"):
        before = log_names(log_dir)
        code, granted = ask_for_rights(wine, wine.windows_path(tmp_path) + "\\" + folder,
                                       installer_exe, "--permissions-for-user=Everyone",
                                       "--permanent-permissions")
        logs = read_logs(log_dir, before)
        assert (code, granted) == (1, False), (folder, logs)
        assert "link or junction" in logs, (folder, logs)
    assert not (system32 / "new").exists()


def test_helper_grants_a_new_folder_only_for_the_run_that_asked(wine, tmp_path, installer_exe,
                                                                 log_dir):
    before = log_names(log_dir)
    code, granted, existed = ask_for_rights_for_good_and_end(
        wine, wine.windows_path(tmp_path) + "\\new\\Velto", installer_exe,
        "--permissions-for-user=Everyone")
    logs = read_logs(log_dir, before)
    assert (code, granted, existed) == (0, True, True), logs
    # The named account is logged; the rights go to the requester's user.
    assert "for the user of the installer that asked: " in logs, logs
    assert "permissions-for-user names Everyone" in logs, logs
    # The run installed nothing there: the grant and the folders it made go.
    assert "The installer that asked has ended without an installation there" in logs, logs
    assert "Rights taken back" in logs, logs
    assert not (tmp_path / "new").exists()


def test_k_bat_beside_the_installer_does_not_run_without_a_grant_of_the_helper(
        wine, tmp_path, log_dir):
    installer = copy_installer(tmp_path / "installer")
    (installer.parent / "k.bat").write_bytes(b"echo ran> ran.txt\r\n")
    folder = wine.windows_path(tmp_path) + "\\other"
    before = log_names(log_dir)
    code, granted = ask_for_rights(wine, folder, installer, "--run-uninstall-bat", events=False)
    logs = read_logs(log_dir, before)
    assert (code, granted) == (0, False), logs
    assert not (installer.parent / "ran.txt").exists(), "the batch file ran"
    assert "No clean-up batch file runs without a grant of this helper" in logs, logs


def cleanup_batch(*lines):
    """A clean-up batch file as an uninstallation writes it for an ended
    process, deleting and removing what |lines| ("del ..." and "rmdir ...",
    relative to its folder) say."""
    text = ("IF NOT EXIST k.bat EXIT /B\n"
            "SET PID1_RUNNING=TRUE\n"
            ":again\n"
            "IF %PID1_RUNNING%==TRUE (\n"
            "TASKLIST /FI \"PID eq 0\" | FIND /c /i \".exe\"\n"
            "IF ERRORLEVEL 1 SET PID1_RUNNING=FALSE\n"
            ")\n"
            "ping -n 2 127.0.0.1\n"
            "IF %PID1_RUNNING%==TRUE GOTO :again\n")
    return (text + "".join(line + "\n" for line in lines) + "del %0\n").encode("ascii")


def test_helper_cleans_up_nothing_through_a_link_in_the_installation(wine, tmp_path, log_dir):
    """During its temporary grant the uninstaller's user can make a folder
    that its clean-up batch file names, and turn it into a junction (a Unix
    link here) before the batch's deletions run: those must not reach the
    folder it leads to."""
    outside = tmp_path / "outside"
    outside.mkdir()
    (outside / "victim.txt").write_text("not the installation's")
    install = tmp_path / "Velto"
    installer = copy_installer(install)
    (install / "installation_status.json").write_text(json.dumps(
        {"version": "47.0.2631.23", "app_id": "1", "copy_only": False, "_all_users": False,
         "pinned": False, "path": wine.windows_path(install), "files": [], "registry": {}}))
    (install / "left.txt").write_text("left behind by the uninstallation")
    os.symlink(outside, install / "47.0")
    (install / "k.bat").write_bytes(cleanup_batch('del "left.txt"', 'del "47.0\\victim.txt"',
                                                  'rmdir "47.0"', 'rmdir "."'))
    before = log_names(log_dir)
    code, granted = ask_for_rights(wine, wine.windows_path(install), installer,
                                   "--permissions-for-user=Everyone", "--run-uninstall-bat")
    logs = read_logs(log_dir, before)
    assert (code, granted) == (0, True), logs
    assert (outside / "victim.txt").exists(), "deleted through the link"
    assert (install / "47.0").is_symlink()
    # The batch was acted on, all but the link.
    assert not (install / "left.txt").exists(), logs
    assert not (install / "k.bat").exists(), logs
    assert "link or junction" in logs, logs


def test_helper_refuses_an_installation_for_all_users(wine, tmp_path, log_dir):
    install = tmp_path / "Velto"
    installer = copy_installer(install)
    (install / "installation_status.json").write_text(json.dumps(
        {"version": "47.0.2631.23", "app_id": "1", "copy_only": False, "_all_users": True,
         "pinned": False, "path": wine.windows_path(install), "files": [], "registry": {}}))
    for extra in (["--permanent-permissions"], []):
        before = log_names(log_dir)
        code, granted = ask_for_rights(wine, wine.windows_path(install), installer,
                                       "--permissions-for-user=Everyone", *extra)
        logs = read_logs(log_dir, before)
        assert (code, granted) == (1, False), logs
        assert "Refused to grant rights: An installation for all users" in logs, logs


def test_uninstall_through_the_helper_leaves_no_program_in_the_folder(wine, tmp_path, log_dir):
    """The helper that finishes an uninstallation runs from the installation's
    own installer.exe and installer_lib.dll: they leave the folder too, moved
    where only administrators can write, and go there at once or at the next
    start of Windows, as the log says."""
    install = tmp_path / "Velto"
    installer = copy_installer(install)
    (install / "installation_status.json").write_text(json.dumps(
        {"version": "47.0.2631.23", "app_id": "1", "copy_only": False, "_all_users": False,
         "pinned": False, "path": wine.windows_path(install), "files": [], "registry": {}}))
    (install / "k.bat").write_bytes(cleanup_batch(
        'del "installer.exe"', 'del "installer_lib.dll"', 'del "installation_status.json"',
        'rmdir "."'))
    before = log_names(log_dir)
    code, granted = ask_for_rights(wine, wine.windows_path(install), installer,
                                   "--permissions-for-user=Everyone", "--run-uninstall-bat")
    logs = read_logs(log_dir, before)
    assert (code, granted) == (0, True), logs
    assert not install.exists(), (sorted(os.listdir(install)), logs)
    for name in ("installer.exe", "installer_lib.dll"):
        moved = re.search(r"Moved \S*\\%s to (\S+)" % re.escape(name), logs)
        assert moved, logs
        left = wine.unix_path(moved.group(1))
        assert not left.exists() or (
            "Removed at the next start of Windows: " + moved.group(1)) in logs, logs
        assert "C:\\windows\\Temp\\velto_removed_" in moved.group(1), logs
    # What Windows would remove at its next start.
    shutil.rmtree(wine.unix_path(moved.group(1)).parent, ignore_errors=True)


def test_uninstall_through_the_privileges_seam_leaves_no_program_in_the_folder(
        wine, tmp_path, log_dir):
    """The standard user's uninstaller is the product's Installer in a unit
    test process, the privileges seam standing in for UAC; the helper it
    starts is the installation's own installer.exe, which finishes the
    uninstallation after the uninstaller has ended."""
    install = tmp_path / "Velto"
    copy_installer(install)
    (install / "installation_status.json").write_text(json.dumps(
        {"version": "47.0.2631.23", "app_id": "1", "copy_only": False, "_all_users": False,
         "pinned": False, "path": wine.windows_path(install),
         "files": ["installer.exe", "installer_lib.dll"], "registry": {}}))
    before = log_names(log_dir)
    variables = {"VELTO_UNINSTALL_FOLDER": wine.windows_path(install),
                 "VELTO_HELPER_TEMP": wine.windows_path(log_dir.parent)}
    run_through_the_seam(wine, "UninstallThroughTheSeamTest", variables)
    # The helper gives the uninstaller's files a moment (its restore delay)
    # before it cleans up, and logs where each of its own files went.
    programs = [install / "installer.exe", install / "installer_lib.dll"]

    def gone_or_named(logs):
        for program in programs:
            moved = re.search(r"Moved %s to (\S+)" % re.escape(wine.windows_path(program)),
                              logs)
            if not moved or program.exists():
                return False
            if wine.unix_path(moved.group(1)).exists() and (
                    "Removed at the next start of Windows: " + moved.group(1)) not in logs:
                return False
        return True

    deadline = time.monotonic() + 120
    logs = read_logs(log_dir, before)
    while not gone_or_named(logs) and time.monotonic() < deadline:
        time.sleep(0.5)
        logs = read_logs(log_dir, before)
    assert gone_or_named(logs), (sorted(os.listdir(install)), logs)
    moved = re.search(r"Moved \S+ to (\S+)", logs)
    shutil.rmtree(wine.unix_path(moved.group(1)).parent, ignore_errors=True)


class PackageSwapper:
    """A program of the user that, while a run goes on, replaces installer.exe
    and velto.exe in every package folder of the user's temporary installer
    folder as soon as they are there, that is just after the fetcher checked
    the package: the installer for one that writes down that it ran and
    reports success."""

    def __init__(self, download_folder):
        self.download_folder = download_folder
        self.swapped = set()
        # Folders whose swapped installer wrote down that it ran (the run
        # removes its package folder when it ends).
        self.ran = set()
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)

    def run(self):
        while not self.stop.is_set():
            self.ran |= {folder for folder in self.swapped if (folder / "result.txt").exists()}
            for folder in self.download_folder.glob("velto_package*"):
                if folder in self.swapped or not (folder / "velto.exe").exists():
                    continue
                try:
                    change_after_the_check(folder)
                    self.swapped.add(folder)
                except OSError:
                    pass  # In use or gone: the next round tries again.
            self.stop.wait(0.001)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop.set()
        self.thread.join()


def test_all_users_net_install_runs_nothing_swapped_after_the_check(
        wine, tmp_path, temp_dir, log_dir, package_server, protected_folders):
    """A silent all-users net install, which Wine runs elevated from the
    start (no "--run-elevated" copy): what it fetched and checked is run and
    installed only from a folder of its own. A later request of the run (an
    additional file) comes slowly, holding the run between the check and the
    back end's use of the package while the user's program swaps files."""
    from package_server import protocol_config
    extra = tmp_path / "extra.txt"
    extra.write_text("partner content")
    config = protocol_config(str(DELIVERY / "velto_package.exe"), components=[{
        "type": "partner_content", "location": "{base}/files/extra.txt",
        "checksum": "{sha256:/files/extra.txt}", "filename": "extra.txt", "archive": 0}])
    config["routes"]["/files/extra.txt"] = {"file": str(extra), "delay_ms": 3000}
    package_server.set_config(config)
    download = copy_installer(tmp_path / "download")
    install = tmp_path / "AllUsers" / "Velto"
    before = log_names(log_dir)
    download_folder = temp_dir / "Velto Installer"
    download_folder.mkdir(exist_ok=True)
    with PackageSwapper(download_folder) as swapper:
        result = wine.run([download, "--silent", "--allusers=1", "--launchvelto=0",
                           "--desktopshortcut=0", "--startmenushortcut=0",
                           "--quicklaunchshortcut=0", "--pintotaskbar=0",
                           "--setdefaultbrowser=0", "--enable-installer-stats=0", "--v=2",
                           "--installfolder=" + wine.windows_path(install),
                           "--internal-package-server="
                           + package_server.url("/netinstaller/quenn/windows/x64/"),
                           "--local-pref-default-overrides-server="
                           + package_server.url("/api/prefs/")], timeout=300)
    logs = read_logs(log_dir, before)
    assert result.returncode == 0, logs
    assert not swapper.ran, "a swapped installer ran: %s" % swapper.ran
    assert installed_browser(install) == (PACKAGE / "velto.exe").read_bytes(), logs
    # Fetched and unpacked once, into the run's own folder, not the user's.
    assert "Installer download folder: C:\\windows\\Temp\\velto_elevated_package_" in logs, logs
    assert "Taking the package of" not in logs, logs


@pytest.fixture
def partner_installer(wine, tmp_path):
    """The partner installer stand-in signed by the product's expected signer,
    with native load order for version.dll in any program of its name."""
    signed = tmp_path / "signed_partner.exe"
    sign_file(SIGNATURES / "expected_cert.pem", SIGNATURES / "expected_key.pem",
              PARTNER_PROBE, signed)
    key = "HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\suite_installer.exe\\DllOverrides"
    wine.run(["reg", "add", key, "/v", "version", "/d", "native,builtin", "/f"])
    yield signed
    wine.run(["reg", "delete", key.rsplit("\\", 1)[0], "/f"])


def test_elevated_copy_loads_no_library_left_in_a_component_folder(
        wine, tmp_path, user_package, log_dir, partner_installer, protected_folders):
    """The user's component folder holds the signed partner installer and a
    version.dll beside it; the elevated copy runs the installer it took
    without what lay beside it."""
    components = user_package.parent / "suite_20240101101010"
    components.mkdir()
    shutil.copy(partner_installer, components / "suite_installer.exe")
    shutil.copy(PLANTED_DLL, components / "version.dll")
    code, logs, install = run_waiting_elevated_copy(
        wine, tmp_path, log_dir, wine.windows_path(user_package),
        "--components=suite:" + components.name)
    assert code == 0, logs
    report = install / components.name / "loaded_version_dll.txt"
    assert report.exists(), "the partner installer did not run\n" + logs
    loaded = report.read_bytes().decode("utf-16-le")
    assert "velto_elevated_package_" not in loaded, loaded
    assert not list(components.glob("*.loaded")), "the user's library was loaded"


def run_with_temp(wine, temp, *args):
    """Runs installer.exe with |temp| (a Unix folder) as its temporary folder."""
    windows_temp = wine.windows_path(temp)
    # No spaces in either path: cmd would keep one before "&&" in the value.
    return wine.run(["cmd", "/c", "set", "TMP=%s&&" % windows_temp, "set",
                     "TEMP=%s&&" % windows_temp, wine.windows_path(BUILD / "bin" / "installer.exe")]
                    + list(args))


def test_elevated_run_logs_nothing_through_a_linked_log_folder(wine, tmp_path):
    # Under Wine every run is elevated: its temporary folder is one a program
    # of lesser rights could change.
    plain = tmp_path / "plain"
    plain.mkdir()
    result = run_with_temp(wine, plain, "--uninstall")
    assert result.returncode == 1
    assert len(list((plain / "Velto Installer").glob("velto_installer_*.log"))) == 1

    linked = tmp_path / "linked"
    elsewhere = tmp_path / "elsewhere"
    linked.mkdir()
    elsewhere.mkdir()
    os.symlink(elsewhere, linked / "Velto Installer")
    result = run_with_temp(wine, linked, "--uninstall")
    assert result.returncode == 1
    assert list(elsewhere.iterdir()) == []
