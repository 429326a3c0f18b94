#!/usr/bin/env python3
"""Where the time of one timed install went, from the logs of its processes.

usage: install_phases.py <log folder> <crash reporter log> <start> <end>

<start> and <end> are the wall-clock times (seconds since the epoch) just
before `wine installer.exe` was started and just after it ended. The log
folder holds one log per installer process, named after its start; the logs
of this run are the ones started between <start> and <end>. Each process is
told apart by its command line and start: the front end, the back end it
starts (the first --backend log) and the installer from the package that back
end runs (the second). The crash reporter writes into its own log.

Prints the phases, each as "name seconds" (a phase whose end is missing from
the logs is counted in the next one), and the time per copied file."""

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


def main(folder, reporter_log, start, end):
    start, end = float(start), float(end)
    # The logs hold local time without a year: the local zone of this machine
    # is the one Wine uses.
    day = datetime.datetime.fromtimestamp(start).astimezone()
    roles = {}
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".log"):
            continue
        path = os.path.join(folder, name)
        if os.path.getmtime(path) < start:
            continue
        lines = read_log(path, day)
        if not lines or not start - 1 <= lines[0][0] <= end:
            continue
        command = next((line for _, line in lines if line.startswith("Command line:")), "")
        if "--backend" not in command:
            roles.setdefault("front end", lines)
        elif "back end" not in roles:
            roles["back end"] = lines
        else:
            roles.setdefault("package back end", lines)
    reporter = [entry for entry in read_log(reporter_log, day)
                if start - 1 <= entry[0] <= end + 1] if os.path.exists(reporter_log) else []

    front = roles.get("front end", [])
    back = roles.get("back end", [])
    package = roles.get("package back end", [])
    # Each phase ends at its mark; a phase whose mark is missing from the logs
    # is merged into the next one.
    marks = [
        ("front end and crash reporter started", first(reporter, "Crash reporter for process")),
        ("front end set-up", front[0][0] if front else None),
        ("settings and fetch of the preference overrides",
         first(front, "launching installer backend")),
        ("back end started", back[0][0] if back else None),
        ("back end waited for the package", first(back, "Running installer from the package")),
        ("package's installer started", package[0][0] if package else None),
        ("steps built", first(package, "Copying file")),
        # The copies end where the registry step begins.
        ("file copies", first(package, "Setting up the registry")),
        ("registry, shortcuts, prefs, status", first(package, "Creating scheduled task")),
        ("scheduled task", first(package, "Installation succeeded")),
        ("processes ended", end),
    ]
    phases = []
    begin = start
    for name, finish in marks:
        if finish is not None:
            phases.append("%s %.2f s" % (name, finish - begin))
            begin = finish
    print("  where the time went: " + ", ".join(phases))
    copy_start = first(package, "Copying file")
    copy_end = first(package, "Setting up the registry")
    count = sum(1 for _, line in package if line.startswith("Copying file "))
    if copy_start and copy_end and count:
        print("  %d files copied, %.2f ms each" % (count, 1000 * (copy_end - copy_start) / count))


if __name__ == "__main__":
    main(*sys.argv[1:5])
