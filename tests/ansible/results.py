"""Checks for tests/ansible/run.sh that need JSON or YAML read.

  results.py exported DESIRED EXPORT   every data source of the desired state,
                                       in each machine view it names, is in the
                                       export with its driver and properties
  results.py same-apply LINUX WINDOWS README
                                       the Windows play runs and reads apply as
                                       the Linux play that CI runs does, and as
                                       the README shows it
Prints what differs and exits 1.
"""
import json
import re
import sys

import yaml


def desired_places(source):
    """The places apply writes a data source to: a system one without a view
    goes to every machine view, of which the Linux build has two."""
    if source["scope"] == "user":
        return [None]
    view = source.get("view")
    return [view] if view is not None else [64, 32]


def properties_of(source):
    """Names to data, from either form a desired file may use."""
    properties = source.get("properties", {})
    if isinstance(properties, dict):
        return properties
    return {p["name"]: p["data"] for p in properties}


def exported(desired_path, export_path):
    with open(desired_path, encoding="utf-8") as f:
        desired = json.load(f)
    with open(export_path, encoding="utf-8") as f:
        export = json.load(f)
    found = {(s["name"], s["scope"], s["view"]): s for s in export["dataSources"]}
    problems = []
    for source in desired["dataSources"]:
        for view in desired_places(source):
            key = (source["name"], source["scope"], view)
            got = found.get(key)
            if got is None:
                problems.append(f"{key}: not exported")
                continue
            if got["driver"] != source["driver"]:
                problems.append(f"{key}: driver {got['driver']!r}, not {source['driver']!r}")
            values = {p["name"]: p for p in got["properties"]}
            for name, data in properties_of(source).items():
                value = values.get(name)
                if value is None or value["type"] != "REG_SZ" or value["data"] != data:
                    problems.append(f"{key}: {name} is {value!r}, not {data!r}")
    return problems


def apply_task(path):
    """The task that runs dsnconf apply, with the block around it."""
    with open(path, encoding="utf-8") as f:
        plays = yaml.safe_load(f)
    (play,) = plays
    for task in play["tasks"]:
        for inner in task.get("block", []):
            if inner.get("name") == "dsnconf apply":
                return play, inner
    raise SystemExit(f"{path}: no task named 'dsnconf apply'")


def readme_task(path):
    """The task of the README's YAML example that runs dsnconf apply."""
    with open(path, encoding="utf-8") as f:
        blocks = re.findall(r"```yaml\n(.*?)```", f.read(), re.S)
    for block in blocks:
        for task in yaml.safe_load(block):
            if task.get("name") == "dsnconf apply":
                return task
    raise SystemExit(f"{path}: no example task named 'dsnconf apply'")


def same_apply(linux_path, windows_path, readme_path):
    linux_play, linux = apply_task(linux_path)
    windows_play, windows = apply_task(windows_path)
    problems = []
    if readme_task(readme_path) != windows:
        problems.append(f"{readme_path} shows another task than {windows_path}")
    (linux_module,) = [k for k in linux if k.startswith("ansible.")]
    (windows_module,) = [k for k in windows if k.startswith("ansible.")]
    if (linux_module, windows_module) != ("ansible.builtin.command", "ansible.windows.win_command"):
        problems.append(f"modules {linux_module}, {windows_module}")
    if linux[linux_module]["argv"] != windows[windows_module]["argv"]:
        problems.append("the command lines differ")
    for key in ("register", "vars", "check_mode", "changed_when", "failed_when"):
        if linux.get(key) != windows.get(key):
            problems.append(f"{key}: {linux.get(key)!r} against {windows.get(key)!r}")
    for play, path in ((linux_play, linux_path), (windows_play, windows_path)):
        if play.get("gather_facts") is not False:
            problems.append(f"{path}: gathers facts")
    return problems


def main(argv):
    checks = {"exported": (exported, 2), "same-apply": (same_apply, 3)}
    if len(argv) < 2 or argv[1] not in checks or len(argv) != 2 + checks[argv[1]][1]:
        raise SystemExit(__doc__)
    problems = checks[argv[1]][0](*argv[2:])
    for problem in problems:
        print(f"*** {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
