"""The console help as a user sees it: the help opens a console of its own,
which Wine draws on the terminal it runs in, so the test runs the installer in
a terminal (tmux) and reads the screen."""

import shutil
import subprocess
import time
from pathlib import Path

import pytest

from conftest import wine_env

pytestmark = pytest.mark.skipif(not shutil.which("tmux"), reason="needs tmux")

SWITCH_ROWS = [
    ("silent", None,
     "Run the installer fully unattended. No dialog will be displayed in this mode. If it "
     "isn't running with sufficient privileges, the installer will fail instead of prompting "
     "the user.", None),
    ("runimmediately", None,
     "Run the installer mostly unattended. The installation will start immediately and the "
     "progress dialog will be displayed. The installer will prompt the user for elevation if "
     "needed.", None),
    ("language", "LANGUAGE",
     "Install Velto in the specified language.This language will also be used during "
     "installation.", "The Operating system UI language."),
    ("installfolder", "FOLDER", "Install Velto in the specified folder.", None),
    ("allusers", "[0|1]", "If true, install Velto for all users on the system.",
     "True when running from an administrative acount."),
    ("copyonly", "[0|1]",
     "If true, the installer will only copy the files to the installation folder and will "
     "otherwise not perform any modification on the system.", "False."),
    ("singleprofile", "[0|1]",
     "If true, the installer will set up Velto to use a singleprofile located in the "
     "installation folder.", "False."),
    ("setdefaultbrowser", "[0|1]",
     "If true, make Velto the default browser for this user or computer.",
     "True for Velto Tamber."),
    ("desktopshortcut", "[0|1]", "If true, create a shortcut for Velto on the desktop.",
     "True."),
    ("startmenushortcut", "[0|1]", "If true, create a shortcut for Velto on the start menu.",
     "True."),
    ("quicklaunchshortcut", "[0|1]",
     "If true, create a shortcut for Velto on the quick launch menu.",
     "False on Window 7 and later. True otherwise"),
    ("pintotaskbar", "[0|1]", "If true, pin Velto to the taskbar.",
     "True on Window 7 and later. False otherwise."),
    ("import-browser-data", "[0|1]",
     "If true, Velto is set up to import user data from the previously default browser when "
     "creating new user profiles.", "True."),
    ("enable-stats", "[0|1]", "If true, Velto will by default gather and report statistics.",
     "True."),
    ("enable-installer-stats", "[0|1]",
     "If true, installer will by default gather and report statistics.", "True."),
    ("launchbrowser", "[0|1]", "If true, Velto is launched once the installation is completed.",
     "True."),
]

FEATURES = [
    ("installer-experiment-test", "false"),
    ("installer-download-sfx-package", "false"),
    ("installer-use-minimal-package", "false"),
    ("installer-pref-default-overrides-support", "true"),
    ("installer-hide-from-program-and-features", "false"),
    ("installer-support-x64-download", "true"),
]


def expected_help():
    text = "Velto Installer 47.0.2631.23 quenn\n\n"
    text += "The following command line parameters affect the behavior of the installer:\n"
    for name, value, help_text, default in SWITCH_ROWS:
        text += "  " + name + ("=" + value if value else "") + "\n    " + help_text + "\n"
        if default:
            text += "    Default value: " + default + "\n"
    languages = (Path(__file__).parents[2] / "resources" / "languages.txt").read_text().split()
    text += "\nLanguages available for the language option:\n" + ", ".join(languages) + "\n"
    text += "\nFeatures available through command-line switches:\n"
    for name, default in FEATURES:
        text += "\t--with-feature:%s [Enabled by default: %s]\n" % (name, default)
    return text


def wait_for_screen(tmux, session, text):
    """The screen once |text| shows on it (or after 30 s, for the assertion)."""
    screen = ""
    for _ in range(300):
        screen = subprocess.run(tmux + ["capture-pane", "-p", "-J", "-t", session],
                                capture_output=True, text=True).stdout
        if text in screen:
            break
        time.sleep(0.1)
    return screen


def test_help_on_a_terminal_reads_exactly(installer_exe):
    # A tmux server of the test's own, which knows nothing of the user's.
    tmux = ["tmux", "-L", "velto-e2e-%d" % time.monotonic_ns()]
    session = "help"
    env = wine_env()
    command = "env WINEPREFIX='%s' WINEDEBUG=-all wine '%s' --help; echo \"exit code $?\"; sleep 60" % (
        env["WINEPREFIX"], installer_exe)
    subprocess.run(tmux + ["new-session", "-d", "-s", session, "-x", "400", "-y", "120", command],
                   env=env, check=True)
    try:
        prompt = "Press any key to continue"
        screen = wait_for_screen(tmux, session, prompt)
        assert prompt in screen
        lines = [line.rstrip() for line in screen[:screen.index(prompt)].splitlines()]
        expected = [line.expandtabs(8) for line in expected_help().splitlines()]
        assert lines == expected

        # A key ends the pause and the run succeeds.
        subprocess.run(tmux + ["send-keys", "-t", session, "Enter"], check=True)
        assert "exit code 0" in wait_for_screen(tmux, session, "exit code")
    finally:
        subprocess.run(tmux + ["kill-server"], capture_output=True)
