"""Interactive runs of the real installer.exe, driven through its window.

GuiDriver talks to tests/fixtures/gui_driver (a Windows console program run
under Wine in the suite's prefix), which finds the installer's windows by
process id and reads and operates their controls by id. InteractiveRun starts
an installer without --silent or --backend, learns its Windows process id
from its log and ends it (and the processes it started) if the test fails.

Every wait is bounded: the driver polls with a time-out and every answer is
awaited with one."""

import queue
import re
import subprocess
import threading
import time

from conftest import BUILD, new_logs

GUI_DRIVER = BUILD / "fixtures" / "gui_driver" / "gui_driver.exe"

# Control ids (resources/installer_resource_ids.h).
OPTIONS_BUTTON = 1001
CANCEL_BUTTON = 1002
ACCEPT_BUTTON = 1003
TRY_AGAIN_BUTTON = 1005
UNINSTALL_BUTTON = 1006
STATUS_TEXT = 1011
INSTALL_FOR_COMBO = 1015
INSTALL_PATH_COMBO = 1016
INVALID_PATH_TEXT = 1027
PROGRESS_BAR = 1025
# Buttons of a standard message box.
IDOK = 1
IDYES = 6
IDNO = 7

CURRENT_USER = 1  # the install-for combo's entry for the current user
MESSAGE_BOX_TEXT = 0xFFFF  # the text's control id in a standard message box

WINDOW_TIMEOUT_MS = 90000


class GuiError(AssertionError):
    pass


def _unescape(text):
    """The driver's one-line form of a text back to the text."""
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r"}.get(m.group(1), m.group(1)), text)


class GuiDriver:
    """One gui_driver process; each call sends one command and returns the
    text after "ok", or raises GuiError with the driver's answer."""

    def __init__(self, wine):
        assert GUI_DRIVER.exists(), "build the project first"
        self._process = subprocess.Popen(["wine", str(GUI_DRIVER)], env=wine.env,
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL)
        self._answers = queue.Queue()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for line in self._process.stdout:
            self._answers.put(line.decode("utf-8", errors="replace").rstrip("\r\n"))
        self._answers.put(None)

    def do(self, command, timeout_ms=30000):
        self._process.stdin.write((command + "\n").encode("utf-8"))
        self._process.stdin.flush()
        try:
            # The driver's own bound plus room for a slow start of the driver.
            answer = self._answers.get(timeout=timeout_ms / 1000.0 + 120)
        except queue.Empty:
            raise GuiError("the GUI driver did not answer %r" % command)
        if answer is None:
            raise GuiError("the GUI driver ended at %r" % command)
        if answer != "ok" and not answer.startswith("ok "):
            raise GuiError("%s: %s%s" % (command, answer,
                                         "" if command == "dump" else self._controls()))
        return _unescape(answer[3:])

    def _controls(self):
        """The selected window's controls, for a failure's message."""
        try:
            return "\ncontrols (id:class:visible/enabled:text):" + self.dump().replace(
                " | ", "\n  ")
        except GuiError:
            return ""

    # Commands of the driver (see gui_driver_main.cc).
    def target(self, pid):
        self.do("target %d" % pid)

    def wait_window(self, control_id, timeout_ms=WINDOW_TIMEOUT_MS):
        """Selects the target's visible top-level window holding |control_id|;
        returns its title."""
        return self.do("wait-window %d %d" % (control_id, timeout_ms), timeout_ms)

    def wait_gone(self, timeout_ms=WINDOW_TIMEOUT_MS):
        self.do("wait-gone %d" % timeout_ms, timeout_ms)

    def wait_visible(self, control_id, timeout_ms=WINDOW_TIMEOUT_MS):
        self.do("wait-visible %d %d" % (control_id, timeout_ms), timeout_ms)

    def wait_text(self, control_id, text, timeout_ms=WINDOW_TIMEOUT_MS):
        return self.do("wait-text %d %d %s" % (control_id, timeout_ms, text), timeout_ms)

    def text(self, control_id):
        return self.do("text %d" % control_id)

    def visible(self, control_id):
        return self.do("visible %d" % control_id) == "1"

    def enabled(self, control_id):
        return self.do("enabled %d" % control_id) == "1"

    def pos(self, control_id):
        return int(self.do("pos %d" % control_id))

    def click(self, control_id):
        self.do("click %d" % control_id)

    def set_text(self, control_id, text):
        self.do("set-text %d %s" % (control_id, text))

    def type_text(self, control_id, text, pause=None):
        """Types |text| at the caret one keystroke at a time, as a user does
        ("\\b" is the Backspace key);
        after each keystroke |pause| (if given) is called with the number of
        characters typed so far, standing for the time a user takes between
        two keys."""
        for count, character in enumerate(text, 1):
            self.do("type %d %s" % (control_id, character))
            if pause:
                pause(count)

    def select(self, control_id, index):
        self.do("select %d %d" % (control_id, index))

    def close_window(self):
        """The selected window's close box."""
        self.do("close")

    def dump(self):
        return self.do("dump")

    def wait_process(self, pid, timeout_ms=WINDOW_TIMEOUT_MS):
        self.do("wait-process %d %d" % (pid, timeout_ms), timeout_ms)

    def close(self):
        try:
            if self._process.poll() is None:
                self._process.stdin.write(b"quit\n")
                self._process.stdin.flush()
                self._process.wait(timeout=60)
        except (OSError, subprocess.TimeoutExpired):
            pass
        if self._process.poll() is None:
            self._process.kill()
            self._process.wait()


def log_pid(text):
    match = re.search(r"^\[(\d+):", text, re.M)
    return int(match.group(1)) if match else None


class InteractiveRun:
    """One installer.exe started as a double-click would start it (plus the
    test's switches), with its log and Windows process id."""

    def __init__(self, wine, log_dir, exe, *args):
        self.wine = wine
        self.log_dir = log_dir
        self.before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
        self.process = subprocess.Popen(["wine", str(exe)] + [str(a) for a in args],
                                        env=wine.env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.pid = None
        self.ended = False

    def logs(self):
        return [log.read_text(encoding="utf-8", errors="replace")
                for log in new_logs(self.log_dir, self.before)]

    def command_lines(self):
        """The command line of each process of the run that wrote a log."""
        return [m.group(1) for m in (re.search(r"\] Command line: (.*)$", t, re.M)
                                     for t in self.logs()) if m]

    def front_end_log(self):
        for text in self.logs():
            command = re.search(r"\] Command line: (.*)$", text, re.M)
            if command and "--backend" not in command.group(1):
                return text
        return ""

    def wait_for_log(self, text, timeout=120, front_end_only=True):
        """Waits until the front end's log (or any log of the run) holds |text|."""
        deadline = time.monotonic() + timeout
        while True:
            texts = [self.front_end_log()] if front_end_only else self.logs()
            if any(text in t for t in texts):
                return
            if time.monotonic() > deadline:
                raise AssertionError("no %r in the logs:\n%s" % (text, "\n".join(self.logs())))
            if front_end_only and self.process.poll() is not None:
                # The run ended: its log is complete.
                if not any(text in t for t in [self.front_end_log()]):
                    raise AssertionError("the installer ended (exit code %s) without %r:\n%s"
                                         % (self.process.returncode, text,
                                            "\n".join(self.logs())))
            time.sleep(0.05)

    def wait_for_log_count(self, text, count, timeout=120):
        """Waits until the front end's log holds |text| |count| times."""
        deadline = time.monotonic() + timeout
        while self.front_end_log().count(text) < count:
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise AssertionError("%r not %d times in the log:\n%s"
                                     % (text, count, self.front_end_log()))
            time.sleep(0.05)

    def windows_pid(self, timeout=120):
        """The front end's Windows process id, from its log."""
        if self.pid is None:
            self.wait_for_log("] Command line: ", timeout)
            self.pid = log_pid(self.front_end_log())
        return self.pid

    def wait(self, timeout=180):
        return self.process.wait(timeout=timeout)

    def wait_all(self, driver, timeout_ms=WINDOW_TIMEOUT_MS):
        """Waits for the end of every installer process of this run that wrote
        a log: a back end still rolls back after its front end has gone. A
        back end the front end launched just before it ended may not have
        written its log yet: it is waited for."""
        if "] launching installer backend: " in self.front_end_log():
            started = "--initial-pid=%d " % self.windows_pid()
            deadline = time.monotonic() + timeout_ms / 1000.0
            while not any(started in c and "--backend" in c for c in self.command_lines()):
                assert time.monotonic() < deadline, "the back end wrote no log"
                time.sleep(0.05)
        for text in self.logs():
            pid = log_pid(text)
            if pid:
                driver.wait_process(pid, timeout_ms)
        self.ended = self.process.poll() is not None

    def kill_all(self):
        """Ends the front end and every installer process of this run that
        wrote a log (back ends), by their process ids, unless all of them
        were seen to end."""
        if self.ended:
            return
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        for text in self.logs():
            pid = log_pid(text)
            if pid:
                self.wine.run(["taskkill", "/f", "/pid", str(pid)], timeout=60)


def run_and_cancel(wine, log_dir, exe, *args):
    """Runs |exe| interactively and cancels it through its window as soon as
    the window is up; returns the exit code and the front end's log."""
    driver = GuiDriver(wine)
    run = InteractiveRun(wine, log_dir, exe, *args)
    try:
        driver.target(run.windows_pid())
        driver.wait_window(ACCEPT_BUTTON)
        driver.close_window()
        driver.wait_window(IDYES)
        driver.click(IDYES)
        code = run.wait(timeout=120)
        run.wait_all(driver)
        return code, run.front_end_log()
    finally:
        run.kill_all()
        driver.close()


def report_on_console_and_in_a_box(wine, args):
    """Runs "wine |args|" for a program that writes one line to its standard
    error and then shows that line in a message box; checks the box, closes
    it, and returns the line and the program's exit code."""
    process = subprocess.Popen(["wine"] + [str(a) for a in args], env=wine.env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    # The text comes first; then a message box waits for the user.
    line = []
    reader = threading.Thread(target=lambda: line.append(process.stderr.readline()))
    reader.start()
    driver = GuiDriver(wine)
    try:
        reader.join(timeout=120)
        assert line, "no message on the console"
        text = line[0].decode("utf-8").rstrip("\r\n")
        driver.target(0)  # the box's process id is not known here
        driver.wait_window(IDOK, 60000)
        assert driver.text(MESSAGE_BOX_TEXT) == text
        # Closing the box ends the run.
        driver.click(IDOK)
        return text, process.wait(timeout=60)
    finally:
        driver.close()
        if process.poll() is None:
            process.kill()
            process.wait(timeout=60)
