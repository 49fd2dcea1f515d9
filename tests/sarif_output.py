#!/usr/bin/env python3
"""morvex-scan's SARIF against the official SARIF 2.1.0 schema, with awkward values, unopened pages, and
fingerprints that survive an edit moving a finding to another AN.
Usage: sarif_output.py MORVEX_SCAN SCHEMA EXAMPLE_SITE WORK_DIR"""
import json
import os
import shutil
import struct
import subprocess
import sys

import jsonschema

scan, schema_path, example_site, work = sys.argv[1:5]


def dbf(path, field, values):
    """A dBase III table of one or two character fields; values are tuples of the fields' texts."""
    fields = [field] if isinstance(field, str) else field
    width = 64
    os.makedirs(os.path.dirname(path), exist_ok=True)
    header_length = 32 + 32 * len(fields) + 1
    record_length = 1 + width * len(fields)
    with open(path, "wb") as out:
        out.write(struct.pack("<B3BIHH20x", 3, 126, 1, 1, len(values), header_length, record_length))
        for name in fields:
            out.write(struct.pack("<11sc4xB15x", name.encode(), b"C", width))
        out.write(b"\r")
        for record in values:
            out.write(b" " + b"".join(v.encode("latin-1").ljust(width) for v in record))
        out.write(b"\x1a")


def page(an, value):
    return json.dumps({"objects": [{"type": "Tarvo", "an": an, "tarvo": {"project": "i", "library": "l", "name": "n"},
                                    "properties": [{"name": "TEXT", "value": value}]}]})


def run(site):
    result = subprocess.run([scan, "--format", "sarif", site], capture_output=True)
    if result.returncode not in (0, 1):
        sys.exit(f"morvex-scan exited {result.returncode}: {result.stderr.decode()}")
    return json.loads(result.stdout)


def fail(message):
    sys.exit("FAIL: " + message)


validator = jsonschema.Draft7Validator(json.load(open(schema_path, encoding="utf-8")))
site = os.path.join(work, "sarif-site")
shutil.rmtree(site, ignore_errors=True)
dbf(os.path.join(site, "master.dbf"), ["Name", "Path"], [("P", "p q")])
dbf(os.path.join(site, "p q", "pages.dbf"), "Name", [("a",), ("gone",)])
awkward = 'tab\there, "quotes", CR\rLF\n and \\ backslash'
with open(os.path.join(site, "p q", "a.json"), "w", encoding="utf-8") as out:
    out.write(page(4, awkward))

for name, log in (("example site", run(example_site)), ("awkward site", run(site))):
    errors = sorted(validator.iter_errors(log), key=lambda e: list(e.path))
    if errors:
        fail(f"{name}: {errors[0].message} at {list(errors[0].path)}")

log = run(site)
result = log["runs"][0]["results"][0]
if result["properties"]["value"] != "'" + awkward + "'":
    fail("the value did not survive: " + repr(result["properties"]["value"]))
location = result["locations"][0]["physicalLocation"]["artifactLocation"]
if location != {"uri": "p%20q/a.json", "uriBaseId": "SITE"}:
    fail(f"artifact location {location}")
notifications = log["runs"][0]["invocations"][0]["toolExecutionNotifications"]
if [n["properties"]["reason"] for n in notifications] != ["missing"]:
    fail(f"notifications {notifications}")

with open(os.path.join(site, "p q", "a.json"), "w", encoding="utf-8") as out:
    out.write(page(9, "another value"))
moved = run(site)["runs"][0]["results"][0]
if moved["partialFingerprints"] != result["partialFingerprints"]:
    fail("the fingerprint changed with the AN and the value")
print("OK")
