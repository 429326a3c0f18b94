"""Interactive runs of the real installer.exe, as a double-click starts it,
clicked through its wizard by the GUI driver: a net install for the current
user into a folder typed key by key, against the local package server, and
cancels during the download and during the copy, after which the machine is
as it was."""

import json
import shutil

import pytest

import machine_state
from conftest import BUILD
from test_silent_failures import file_held_open
from test_silent_install import status_of
from gui import (ACCEPT_BUTTON, CURRENT_USER, IDYES, INSTALL_FOR_COMBO, INSTALL_PATH_COMBO,
                 INVALID_PATH_TEXT, OPTIONS_BUTTON, PROGRESS_BAR, STATUS_TEXT, GuiDriver,
                 InteractiveRun)

DELIVERY = BUILD / "fixtures" / "delivery"
PACKAGE_ROUTE = "/package/velto_package.exe"
# A download of about 15 seconds in pieces that arrive often: a run cancelled
# right after the download began is surely still downloading. Under Wine a
# read that is under way when the run is cancelled is not cut short: the
# run's end waits until the read's buffer (256 KB) is full, here about 3 s.
TRICKLE = [8192, 100]


@pytest.fixture
def driver(wine):
    gui = GuiDriver(wine)
    yield gui
    gui.close()


@pytest.fixture
def runs():
    """Every interactive run a test starts; whatever is left of them when the
    test ends (a failure) is ended, so that the UI lock and the installation
    mutex are free for the next test."""
    started = []
    yield started
    for run in started:
        run.kill_all()


def net_installer(tmp_path):
    """The plain installer.exe with its library, alone in a folder, as a user
    downloads it."""
    folder = tmp_path / "download"
    folder.mkdir()
    for name in ("installer.exe", "installer_lib.dll"):
        shutil.copy(BUILD / "bin" / name, folder / name)
    return folder / "installer.exe"


def start(wine, log_dir, server, tmp_path, runs):
    """Starts the net installer as a double-click does, with the test's
    servers, no statistics and no browser start."""
    work = tmp_path / "temp"
    work.mkdir()
    run = InteractiveRun(wine, log_dir, net_installer(tmp_path), "--v=2",
                         "--enable-installer-stats=0", "--launchvelto=0",
                         "--temp-folder=" + wine.windows_path(work),
                         "--internal-package-server="
                         + server.url("/netinstaller/quenn/windows/x64/"),
                         "--local-pref-default-overrides-server=" + server.url("/api/prefs/"))
    runs.append(run)
    return run, work


FOLDER_ANALYSED = "] Install folder set: "


def type_folder(driver, run, folder):
    """Types |folder| over the path shown, key by key as a user does. The
    settings analyse every text typed; at normal speed the analysis of one
    text comes back before the next key, which is what each pause waits for:
    the window has then shown the analysis."""
    driver.set_text(INSTALL_PATH_COMBO, folder[0])
    run.wait_for_log(FOLDER_ANALYSED + folder[0] + "\n")
    analysed = run.front_end_log().count(FOLDER_ANALYSED)
    driver.type_text(INSTALL_PATH_COMBO, folder[1:],
                     pause=lambda typed: run.wait_for_log_count(FOLDER_ANALYSED, analysed + typed))
    assert driver.text(INSTALL_PATH_COMBO) == folder


def choose_current_user_and_folder(driver, run, wine, install, typed=False):
    """Welcome, Options, install into |install| for the current user, the
    folder typed key by key when |typed|. The folder comes first: an earlier
    installation's folder may be the default, and for an upgrade the mode
    cannot be chosen."""
    driver.wait_window(ACCEPT_BUTTON)
    driver.wait_visible(OPTIONS_BUTTON)
    driver.click(OPTIONS_BUTTON)
    driver.wait_visible(INSTALL_PATH_COMBO)
    # Typing waits until the analysis of the folder shown has come back.
    run.wait_for_log(FOLDER_ANALYSED)
    folder = wine.windows_path(install)
    if typed:
        type_folder(driver, run, folder)
    else:
        driver.set_text(INSTALL_PATH_COMBO, folder)
    # The settings have analysed the typed folder and show it.
    run.wait_for_log(FOLDER_ANALYSED + folder + "\n")
    driver.wait_text(INSTALL_PATH_COMBO, folder)
    assert not driver.visible(INVALID_PATH_TEXT)
    driver.select(INSTALL_FOR_COMBO, CURRENT_USER)
    assert driver.text(INSTALL_FOR_COMBO).startswith("Current user")
    assert driver.text(INSTALL_PATH_COMBO) == folder


def cancel_confirmed(driver):
    """The window's close box, then Yes in the confirmation."""
    driver.wait_window(ACCEPT_BUTTON)
    driver.close_window()
    question = driver.wait_window(IDYES)
    assert question == "Velto Installer"
    driver.click(IDYES)


def test_interactive_net_install_for_the_current_user(wine, log_dir, package_server, tmp_path,
                                                      driver, runs):
    from package_server import protocol_config
    package_server.set_config(protocol_config(str(DELIVERY / "velto_package.exe")))
    install = tmp_path / "Velto"
    before = machine_state.snapshot(wine)
    run, work = start(wine, log_dir, package_server, tmp_path, runs)
    driver.target(run.windows_pid())

    assert driver.wait_window(ACCEPT_BUTTON) == "Velto Installer"
    assert not driver.visible(PROGRESS_BAR)
    choose_current_user_and_folder(driver, run, wine, install, typed=True)
    driver.click(ACCEPT_BUTTON)
    driver.wait_visible(PROGRESS_BAR)
    # The window goes when the installation has succeeded.
    driver.wait_gone(240000)
    assert run.wait() == 0, "\n".join(run.logs())
    run.wait_all(driver)

    front_end = run.front_end_log()
    for line in ("Running UI controller", "Initializing installer UI", "Accept clicked.",
                 "Package fetched successfully.", "Installer terminated successfully. Finishing.",
                 "Controller exiting"):
        assert "] " + line in front_end, line
    everything = "\n".join(run.logs())
    assert "Installation succeeded" in everything
    status = status_of(install)
    assert not status.get("all_users", False)
    for name in status["files"]:
        assert (install / status["_subfolder"] / name.replace("\\", "/")).is_file(), name
    for name in status["root_files"]:
        assert (install / name.replace("\\", "/")).is_file(), name
    assert (install / "launcher.exe").is_file()
    assert json.loads((install / "installer_prefs.json").read_text(encoding="utf-8")) is not None
    # Registered and linked for the current user only.
    after = machine_state.snapshot(wine)
    added = [c[len("added "):] for c in machine_state.diff(before, after)
             if c.startswith("added ")]
    uninstall_key = ("reg:HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion"
                     "\\Uninstall\\Velto " + status["version"] + "\\")
    for entry in (uninstall_key, uninstall_key + "UninstallString",
                  "reg:HKEY_CURRENT_USER\\Software\\RegisteredApplications\\Velto quenn"):
        assert entry in added, (entry, added)
    # An earlier run may have left a last install path; this one's replaces it.
    last_path = after.get("reg:HKEY_CURRENT_USER\\Software\\Velto Software\\"
                          "Last quenn Install Path", "")
    assert wine.windows_path(install).replace("\\", "\\\\") in last_path, last_path
    assert [e for e in added if e.startswith("file:users/") and
            e.endswith("/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Velto quenn.lnk")]
    assert not [e for e in added if "HKEY_LOCAL_MACHINE" in e], added
    # The UI lock and the download folder are gone with the run.
    assert not (work / "Velto Installer").exists()


def analysed_folders(run):
    """The folders the front end's settings analysed, in order."""
    return [line.split(FOLDER_ANALYSED, 1)[1].rstrip("\r")
            for line in run.front_end_log().splitlines() if FOLDER_ANALYSED in line]


def test_path_box_shows_the_folder_a_change_of_mode_moves_to(wine, log_dir, package_server,
                                                           tmp_path, driver, runs):
    """A key typed at the end of the path and taken back again leaves the
    box showing the folder as typed; choosing "Current user" then moves the
    settings to the user's own folder, which the box must show, as that is
    where Accept would install."""
    from package_server import protocol_config
    package_server.set_config(protocol_config(str(DELIVERY / "velto_package.exe")))
    run, work = start(wine, log_dir, package_server, tmp_path, runs)
    driver.target(run.windows_pid())
    driver.wait_window(ACCEPT_BUTTON)
    driver.wait_visible(OPTIONS_BUTTON)
    driver.click(OPTIONS_BUTTON)
    driver.wait_visible(INSTALL_PATH_COMBO)
    run.wait_for_log(FOLDER_ANALYSED)
    shown = driver.text(INSTALL_PATH_COMBO)
    assert analysed_folders(run)[-1] == shown

    # "x" at the end of the path, then Backspace, each analysed as a user's
    # pause lets it be.
    analysed = len(analysed_folders(run))
    driver.set_text(INSTALL_PATH_COMBO, shown + "x")
    run.wait_for_log_count(FOLDER_ANALYSED, analysed + 1)
    assert analysed_folders(run)[-1] == shown + "x"
    driver.type_text(INSTALL_PATH_COMBO, "\b")
    run.wait_for_log_count(FOLDER_ANALYSED, analysed + 2)
    assert analysed_folders(run)[-1] == shown
    assert driver.text(INSTALL_PATH_COMBO) == shown

    driver.select(INSTALL_FOR_COMBO, CURRENT_USER)
    run.wait_for_log_count(FOLDER_ANALYSED, analysed + 3)
    moved_to = analysed_folders(run)[-1]
    assert moved_to != shown and "\\AppData\\" in moved_to, moved_to
    driver.wait_text(INSTALL_PATH_COMBO, moved_to)
    assert driver.text(INSTALL_PATH_COMBO) == moved_to

    cancel_confirmed(driver)
    assert run.wait(timeout=90) == 1, "\n".join(run.logs())
    run.wait_all(driver)


def test_cancel_while_downloading_leaves_the_machine_as_it_was(wine, log_dir, package_server,
                                                              tmp_path, driver, runs):
    from package_server import protocol_config
    package = str(DELIVERY / "velto_package.exe")
    package_server.set_config(protocol_config(
        package, package_responses={"file": package, "trickle": TRICKLE}))
    install = tmp_path / "Velto"
    before = machine_state.snapshot(wine, {"install": install})
    run, work = start(wine, log_dir, package_server, tmp_path, runs)
    driver.target(run.windows_pid())
    choose_current_user_and_folder(driver, run, wine, install)
    driver.click(ACCEPT_BUTTON)
    driver.wait_visible(PROGRESS_BAR)
    driver.wait_text(STATUS_TEXT, "Downloading")
    # The package is asked for and comes slowly: the run is downloading.
    run.wait_for_log("] Starting download from " + package_server.url(PACKAGE_ROUTE) + "\n")
    run.wait_for_log("] launching installer backend: ")

    cancel_confirmed(driver)
    assert run.wait(timeout=90) == 1, "\n".join(run.logs())
    run.wait_all(driver)
    front_end = run.front_end_log()
    assert "] Terminating the UI" in front_end
    assert "Package fetched successfully." not in front_end
    assert "Installation succeeded" not in "\n".join(run.logs())
    assert machine_state.diff(before, machine_state.snapshot(wine, {"install": install})) == []
    assert not (work / "Velto Installer").exists()


def test_cancel_while_copying_rolls_back(wine, log_dir, package_server, tmp_path, driver, runs):
    """A file of the user's where the package puts one of its root files is
    held open, so the copy waits for it (retrying) while the run is
    cancelled."""
    from package_server import protocol_config
    package_server.set_config(protocol_config(str(DELIVERY / "velto_package.exe")))
    install = tmp_path / "Velto"
    install.mkdir()
    held = install / "license.txt"
    held.write_text("the user's own file\n")
    before = machine_state.snapshot(wine, {"install": install})

    run, work = start(wine, log_dir, package_server, tmp_path, runs)
    driver.target(run.windows_pid())
    choose_current_user_and_folder(driver, run, wine, install)
    with file_held_open(wine, held):
        driver.click(ACCEPT_BUTTON)
        driver.wait_visible(PROGRESS_BAR)
        # The back end has copied files and now retries the held one.
        run.wait_for_log("Copying file license.txt", front_end_only=False)
        cancel_confirmed(driver)
        assert run.wait(timeout=90) == 1, "\n".join(run.logs())
        run.wait_all(driver)

    everything = "\n".join(run.logs())
    # The back end was waiting to copy the held file when the cancel came.
    assert "Installation cancelled" in everything
    assert "Installation succeeded" not in everything
    assert machine_state.diff(before, machine_state.snapshot(wine, {"install": install})) == []
    assert held.read_text() == "the user's own file\n"
