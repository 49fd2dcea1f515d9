"""What several benchmark scripts compute alike: medians of interleaved hyperfine rounds, and the automation calls
a scan makes on a generated site."""
import json
import os
import re
import statistics
from pathlib import Path


def medians(work, label):
    """Median wall time per command over every run of every round of one comparison, and the fewest runs any
    command had."""
    times = {}
    for path in sorted(Path(work).glob(f"{label}-*.json")):
        for result in json.loads(path.read_text())["results"]:
            times.setdefault(result["command"], []).extend(result["times"])
    return {command: statistics.median(values) for command, values in times.items()}, \
        min(len(values) for values in times.values())


def automation_calls(site, reserved_source):
    """Pages and page-server calls of one scan, counted from the page files: per page OpenPage, PreparePage,
    ClosePage and FirstObject; per object NextObject and GetObjectType; per Tarvo FirstProperty and one
    NextProperty per property (the last one failing); per reserved name GetTarvoInfo and GetObjectAN."""
    reserved = set(re.findall(r'"([A-Z_0-9]+)"', Path(reserved_source).read_text()))
    calls = pages = 0
    for folder, _, files in os.walk(site):
        for name in files:
            if not name.endswith(".json"):
                continue
            pages += 1
            objects = json.load(open(os.path.join(folder, name), encoding="utf-8-sig")).get("objects", [])
            calls += 4 + 2 * len(objects)
            for item in objects:
                if isinstance(item, dict) and item.get("type") == "Tarvo":
                    properties = item.get("properties", [])
                    calls += 1 + len(properties)
                    calls += 2 * sum(1 for p in properties if isinstance(p, dict) and p.get("name") in reserved)
    return pages, calls
