#!/usr/bin/env python3
"""morvex-scan's SARIF against the official SARIF 2.1.0 schema and Microsoft's SARIF Multitool, with awkward
values, unopened pages, the limits of code-scanning services, object regions, paths from a repository root, and
identities that survive an edit moving a finding to another AN and a page added elsewhere.
Usage: sarif_output.py MORVEX_SCAN SCHEMA EXAMPLE_SITE WORK_DIR MULTITOOL"""
import gzip
import json
import os
import pathlib
import shutil
import struct
import subprocess
import sys

import jsonschema

scan, schema_path, example_site, work, multitool = sys.argv[1:6]


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


def tarvo(an, value, name="n", prop="TEXT"):
    return {"type": "Tarvo", "an": an, "tarvo": {"project": "i", "library": "l", "name": name},
            "properties": [{"name": prop, "value": value}]}


def page(an, value):
    return json.dumps({"objects": [tarvo(an, value)]})


elsewhere_cwd = os.path.dirname(os.path.abspath(__file__))


def run(site, *options, check=True, cwd=elsewhere_cwd):
    """From a current folder outside the site by default, where page URIs are relative to the site folder."""
    result = subprocess.run([scan, "--format", "sarif", *options, site], capture_output=True, cwd=cwd)
    if result.returncode not in (0, 1):
        sys.exit(f"morvex-scan exited {result.returncode}: {result.stderr.decode()}")
    if check and b"code-scanning" in result.stderr:
        fail(f"a limit was told for a small log: {result.stderr.decode()}")
    return json.loads(result.stdout), result.stdout


def fail(message):
    sys.exit("FAIL: " + message)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="") as out:
        out.write(text)


validator = jsonschema.Draft7Validator(json.load(open(schema_path, encoding="utf-8")))


def validate(name, log):
    errors = sorted(validator.iter_errors(log), key=lambda e: list(e.path))
    if errors:
        fail(f"{name}: {errors[0].message} at {list(errors[0].path)}")


site = os.path.join(work, "sarif-site")
shutil.rmtree(site, ignore_errors=True)
dbf(os.path.join(site, "master.dbf"), ["Name", "Path"], [("P", "p q")])
dbf(os.path.join(site, "p q", "pages.dbf"), "Name", [("a",), ("gone",)])
awkward = 'tab\there, "quotes", CR\rLF\n and \\ backslash'
write(os.path.join(site, "p q", "a.json"), page(4, awkward))

validate("example site", run(example_site)[0])
validate("awkward site", run(site)[0])

log = run(site)[0]
result = log["runs"][0]["results"][0]
if result["locations"][0]["properties"]["value"] != "'" + awkward + "'":
    fail("the value did not survive: " + repr(result["locations"][0]))
location = result["locations"][0]["physicalLocation"]["artifactLocation"]
if location != {"uri": "p%20q/a.json", "uriBaseId": "SITE"}:
    fail(f"artifact location {location}")
notifications = log["runs"][0]["invocations"][0]["toolExecutionNotifications"]
if [n["properties"]["reason"] for n in notifications] != ["missing"]:
    fail(f"notifications {notifications}")

# A generated site: a template placed 1,005 times on one page (more than a result lists), a template placed twice
# on another, objects starting mid-line after characters of one, two and four bytes, a line end of CR alone.
generated = os.path.join(work, "sarif-generated")


def generate(an_shift=0, value="v", extra_page=False):
    shutil.rmtree(generated, ignore_errors=True)
    dbf(os.path.join(generated, "master.dbf"), ["Name", "Path"], [("G", "g"), ("H", "h")])
    dbf(os.path.join(generated, "g", "pages.dbf"), "Name", [("many",), ("two",)])
    dbf(os.path.join(generated, "h", "pages.dbf"), "Name", [("x",), ("late",)] if extra_page else [("x",)])
    many = [tarvo(i + an_shift, value) for i in range(1005)]
    write(os.path.join(generated, "g", "many.json"), json.dumps({"objects": many}))
    two = ('{"objects": [\r  {"type": "Text", "an": 1, "label": "Ü€😀"}, ' + json.dumps(tarvo(2 + an_shift, value))
           + ',\n  ' + json.dumps(tarvo(3 + an_shift, value, prop="FONT")) + ", "
           + json.dumps(tarvo(5 + an_shift, value)) + "]}")
    write(os.path.join(generated, "g", "two.json"), two)
    write(os.path.join(generated, "h", "x.json"), page(7 + an_shift, value))
    if extra_page:
        write(os.path.join(generated, "h", "late.json"), json.dumps({"objects": [tarvo(1, "w", name="m")]}))
    return two


two_text = generate()
grouped, grouped_raw = run(generated)
placed, _ = run(generated, "--sarif-results", "placement")
unique, _ = run(generated, "--unique")
for name, generated_log in (("grouped", grouped), ("placed", placed), ("unique", unique)):
    validate(name, generated_log)
    results = generated_log["runs"][0]["results"]
    hashes = [r["partialFingerprints"]["primaryLocationLineHash"] for r in results]
    if len(set(hashes)) != len(hashes):
        fail(f"{name}: two results share a line hash")
    if len(results) > 25000 or max(len(r["locations"]) for r in results) > 1000:
        fail(f"{name}: beyond the limits of code-scanning services")
if len(gzip.compress(grouped_raw)) > 10_000_000:
    fail("the log is beyond 10 MB as gzip")

results = grouped["runs"][0]["results"]
sizes = [(r["properties"]["page"], r["properties"]["placements"], len(r["locations"]),
          r["properties"].get("placementsNotListed")) for r in results]
if sizes != [("many", 1005, 1000, 5), ("two", 2, 2, None), ("two", 1, 1, None), ("x", 1, 1, None)]:
    fail(f"grouping {sizes}")
# A grouped result is known by the fingerprint each of its placements has.
placed_fingerprints = {r["partialFingerprints"]["morvexFinding/v1"] for r in placed["runs"][0]["results"]}
if {r["partialFingerprints"]["morvexFinding/v1"] for r in results} != placed_fingerprints:
    fail("grouped and per-placement results differ in their fingerprints")


def object_place(text, marker):
    """1-based line and UTF-16 column of the object that starts with marker."""
    at = text.index(marker)
    before = text[:at].replace("\r\n", "\n").replace("\r", "\n")
    line_start = before.rfind("\n") + 1
    return before.count("\n") + 1, len(before[line_start:].encode("utf-16-le")) // 2 + 1


regions = [(loc["properties"]["an"], loc["physicalLocation"]["region"])
           for r in results if r["properties"]["page"] == "two" for loc in r["locations"]]
expected = [(str(an), dict(zip(("startLine", "startColumn"),
                               object_place(two_text, '{"type": "Tarvo", "an": %d' % an)))) for an in (2, 5, 3)]
if regions != expected:
    fail(f"regions {regions}, expected {expected}")

# --unique results point at the page of their first placement.
unique_pages = [r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"] for r in unique["runs"][0]["results"]]
if unique_pages != ["g/many.json", "g/two.json"]:
    fail(f"--unique locations {unique_pages}")

# URIs from a repository root above the site, given or by default the current folder; outside it, absolute.
current = run(generated, cwd=work)[0]["runs"][0]["results"][0]["locations"][0]["physicalLocation"]
if current["artifactLocation"] != {"uri": "sarif-generated/g/many.json", "uriBaseId": "ROOT"}:
    fail(f"from the current folder: {current}")
rooted = run(os.path.relpath(generated, elsewhere_cwd), "--sarif-root", work)[0]["runs"][0]
uri = rooted["results"][0]["locations"][0]["physicalLocation"]["artifactLocation"]
if uri != {"uri": "sarif-generated/g/many.json", "uriBaseId": "ROOT"} or \
        rooted["originalUriBaseIds"]["ROOT"]["uri"] != pathlib.Path(work).resolve().as_uri() + "/":
    fail(f"--sarif-root: {uri}, {rooted['originalUriBaseIds']}")
for options in (("--format", "json", "--root", work), ("--format", "tsv", "--sarif-results", "placement")):
    if subprocess.run([scan, *options, generated], capture_output=True).returncode != 2:
        fail(f"{options} was taken without --format sarif")
elsewhere = run(generated, "--sarif-root", os.path.join(generated, "h"))[0]["runs"][0]["results"][0]
if not elsewhere["locations"][0]["physicalLocation"]["artifactLocation"]["uri"].startswith("file:///"):
    fail("a page outside the root is not given by its absolute URI")

# Identities: the same after every AN and value changed, and after a page was added elsewhere.
for name, options in (("grouped", ()), ("placed", ("--sarif-results", "placement")), ("unique", ("--unique",))):
    def identities(log):
        return sorted(json.dumps(r["partialFingerprints"], sort_keys=True) for r in log["runs"][0]["results"]
                      if r["properties"]["tarvo"] == "n")
    generate()
    before = identities(run(generated, *options)[0])
    generate(an_shift=100, value="changed", extra_page=True)
    if identities(run(generated, *options)[0]) != before:
        fail(f"{name}: fingerprints changed with the ANs, values or another page")
generate()

# The validator of others: no error and no warning on the example's log and on the generated site's.
for name, site_folder in (("example", example_site), ("generated", generated)):
    log_file = os.path.join(work, f"multitool-{name}.sarif")
    with open(log_file, "wb") as out:
        out.write(run(site_folder)[1])
    report = os.path.join(work, f"multitool-{name}-report.sarif")
    checked = subprocess.run([multitool, "validate", "--rule-kind", "Sarif;Gh", "--level", "Error;Warning",
                              "--log", "ForceOverwrite", "--output", report, log_file], capture_output=True, text=True)
    if checked.returncode != 0:
        fail(f"Multitool on the {name} log exited {checked.returncode}: {checked.stdout}{checked.stderr}")
    found = json.load(open(report, encoding="utf-8-sig"))["runs"][0].get("results", [])
    if found:
        fail(f"Multitool on the {name} log: " + "; ".join(r["ruleId"] + " " + json.dumps(r["message"]) for r in found))
print("OK")
