#!/usr/bin/env python3
"""Where the time of one timed install went, from the logs of its processes.

usage: install_phases.py <log folder> <crash reporter log> <start> <end>

<start> and <end> are the wall-clock times (seconds since the epoch) just
before `wine installer.exe` was started and just after it ended. The log
folder holds one log per installer process, named after its start. The run's
processes are told apart by the command lines that start them, not by their
order: the front end is a log started between <start> and <end> whose
command line is not a back end's (of several, the one whose back end and
package's installer are found, the earliest then); the back end is the log
whose command line is the one the front end logged when launching it; the
package's installer is the log whose command line is the one that back end
logged when running it. Logs of other runs in the same folder (an uninstall
of the round before, another install) take no role. The crash reporter
writes into its own log.

Prints the phases, each as "name seconds". A phase ends at a line its
process logs: at the normal level, but for the first "Copying file", which
is written at --v=1 only (run.sh passes it). When that line is not in the log
(or the log itself is missing), the phase is named as missing with the line
it looked for, and the next phase found is named with it, as the two
together. Then the time per copied file."""

import datetime
import os
import re
import sys

LINE = re.compile(r"\[\d+:\d+:(\d{4})/(\d{6})\.(\d{3}):[^\]]*\] ?(.*)")


def read_log(path, day):
    """(seconds since the epoch, text) of each line of one log."""
    lines = []
    with open(path, encoding="utf-8", errors="replace") as log:
        for raw in log:
            match = LINE.match(raw)
            if not match:
                continue
            month_day, clock, millis, text = match.groups()
            stamp = datetime.datetime.strptime(
                "%d%s%s" % (day.year, month_day, clock), "%Y%m%d%H%M%S").replace(
                    tzinfo=day.tzinfo)
            lines.append((stamp.timestamp() + int(millis) / 1000, text))
    return lines


def first(lines, text):
    for when, line in lines:
        if text in line:
            return when
    return None


def logged_text(lines, prefix):
    """The text after |prefix| on the first line that starts with it."""
    for _, line in lines:
        if line.startswith(prefix):
            return line[len(prefix):].strip()
    return None


COMMAND = "Command line: "
LAUNCHES_BACK_END = "launching installer backend: "
RUNS_PACKAGE = "Running installer from the package with command line: "


def main(folder, reporter_log, start, end):
    start, end = float(start), float(end)
    # The logs hold local time without a year: the local zone of this machine
    # is the one Wine uses.
    day = datetime.datetime.fromtimestamp(start).astimezone()
    logs = []
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".log"):
            continue
        path = os.path.join(folder, name)
        if os.path.getmtime(path) < start:
            continue
        lines = read_log(path, day)
        if lines and start - 1 <= lines[0][0] <= end:
            logs.append(lines)
    by_command = {}
    for lines in logs:
        by_command.setdefault(logged_text(lines, COMMAND), lines)

    def chain(front):
        back = by_command.get(logged_text(front, LAUNCHES_BACK_END), [])
        return front, back, by_command.get(logged_text(back, RUNS_PACKAGE), []) if back else []

    # Of the front ends in the window (an uninstall of an earlier round may
    # have started just before), the one whose processes are all there; the
    # earliest of those.
    chains = [chain(lines) for lines in logs
              if "--backend" not in (logged_text(lines, COMMAND) or "")]
    front, back, package = max(chains, key=lambda c: sum(1 for log in c if log),
                               default=([], [], []))
    reporter = [entry for entry in read_log(reporter_log, day)
                if start - 1 <= entry[0] <= end + 1] if os.path.exists(reporter_log) else []

    logs_of = {"crash reporter": reporter, "front end": front, "back end": back,
               "package's installer": package}
    # Each phase ends at its mark: (name, whose log, the line's text), or the
    # first line of that log when the text is None.
    marks = [
        ("front end and crash reporter started", "crash reporter", "Crash reporter for process"),
        ("front end set-up", "front end", None),
        ("settings and fetch of the preference overrides", "front end", LAUNCHES_BACK_END),
        ("back end started", "back end", None),
        ("back end waited for the package", "back end", RUNS_PACKAGE),
        ("package's installer started", "package's installer", None),
        ("package's installer set-up", "package's installer", "Installation subfolder"),
        # The first copy, at --v=1 only.
        ("steps built", "package's installer", "Copying file"),
        # The copies end where the registry step begins.
        ("file copies", "package's installer", "Setting up the registry"),
        ("registry, shortcuts, prefs, status", "package's installer", "Creating scheduled task"),
        ("scheduled task", "package's installer", "Installation succeeded"),
    ]
    phases = []
    missing = []
    begin = start
    for name, role, text in marks:
        lines = logs_of[role]
        if not lines:
            finish = None
            why = "no log of the %s" % role
        elif text is None:
            finish = lines[0][0]
        else:
            finish = first(lines, text)
            why = 'no "%s" in the %s\'s log' % (text.rstrip(": "), role)
        if finish is None:
            phases.append("%s missing (%s)" % (name, why))
            missing.append(name)
            continue
        phases.append("%s %.2f s" % (" and ".join(missing + [name]), finish - begin))
        missing = []
        begin = finish
    phases.append("%s %.2f s" % (" and ".join(missing + ["processes ended"]), end - begin))
    print("  where the time went: " + ", ".join(phases))
    copy_start = first(package, "Copying file")
    copy_end = first(package, "Setting up the registry")
    count = sum(1 for _, line in package if line.startswith("Copying file "))
    if copy_start and copy_end and count:
        print("  %d files copied, %.2f ms each" % (count, 1000 * (copy_end - copy_start) / count))

if __name__ == "__main__":
    main(*sys.argv[1:5])
