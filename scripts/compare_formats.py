#!/usr/bin/env python3
"""Runs two builds of morvex-scan over the same sites with every format and option that shapes what it writes,
and names every case whose stdout, stderr, exit status or written file differ (the HTML page's scan time
left out): the check that moving or reworking the output formats changed no byte.

  scripts/compare_formats.py OLD_MORVEX_SCAN NEW_MORVEX_SCAN [--sitegen MORVEX_SITEGEN] [--work DIR]

The sites: the bundled example, an awkward one written here (quotes, tabs, markup, control characters and
non-ASCII bytes in names and values, page files spelt in another case, a page that is no JSON, a missing page
list, a project outside the site folder) and, with --sitegen, the benchmarks' default and many-findings shapes.
Status 0 when every case agrees, 1 when any differs.
"""
import argparse
import json
import os
import re
import runpy
import subprocess
import sys
import tempfile
import types

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FORMATS = ['tsv', 'json', 'json-v2', 'sarif', 'github', 'gitlab']
# The HTML page says when the scan ran: the one part two runs may not share.
SCAN_TIME = re.compile(rb'<dt>Scanned</dt><dd>[^<]*</dd>')


def load_site_writer():
    """The example site's own writers of tables and objects, without running its main."""
    return types.SimpleNamespace(**runpy.run_path(os.path.join(ROOT, 'examples', 'make_site.py')))


def write_awkward_site(site, outside):
    writer = load_site_writer()
    os.makedirs(site, exist_ok=True)
    os.makedirs(outside, exist_ok=True)
    hostile = '</script><script>alert(1)</script> "q" & \'a\' \t\u202e\u00e9'
    objects = [
        writer.tarvo(1, 'inc"l', 'l<b>', 'pump&x', [('TEXT', hostile), ('FONT', 'a\tb\\c'), ('Tag', 'x')]),
        writer.tarvo(2, 'inc"l', 'l<b>', 'pump&x', [('TEXT', '\u0001\u001b[2J'), ('VISIBLE', '')]),
        writer.tarvo(-3, 'lib', 'valves', 'v%:,\r\nx', [('COL_A', '1'), ('TEXT', '\u00fc')]),
        writer.plain('Rectangle', 4),
    ]
    projects = [('Kl\u00e4r "A"', 'a'), ('Out<side>', outside), ('Gone', 'gone'), ('Empty', '')]
    writer.write_dbf(os.path.join(site, 'master.dbf'), [('Name', 30), ('Path', 120)],
                     [(False, [name, path]) for name, path in projects])
    os.makedirs(os.path.join(site, 'a'), exist_ok=True)
    pages = ['Valves', '\u00dcber "sicht"', 'broken', 'missing', 'a%b:c,d']
    writer.write_dbf(os.path.join(site, 'a', 'pages.dbf'), [('Name', 32)], [(False, [p]) for p in pages])
    files = {'VALVES.json': objects, '\u00dcber "sicht".json': objects[:2], 'a%b:c,d.json': objects[2:]}
    for name, content in files.items():
        with open(os.path.join(site, 'a', name), 'w', encoding='utf-8') as handle:
            json.dump({'objects': content}, handle, ensure_ascii=False)
    with open(os.path.join(site, 'a', 'broken.json'), 'w', encoding='utf-8') as handle:
        handle.write('{"objects": [')
    writer.write_dbf(os.path.join(outside, 'pages.dbf'), [('Name', 32)], [(False, ['far'])])
    with open(os.path.join(outside, 'far.json'), 'w', encoding='utf-8') as handle:
        json.dump({'objects': objects}, handle, ensure_ascii=False)


def generated_site(sitegen, site, projects, pages, collisions):
    stamp = os.path.join(site, '.shape')
    shape = f'{projects} {pages} 200 42 {collisions}'
    if os.path.exists(stamp) and open(stamp).read().strip() == shape:
        return site
    subprocess.run(['rm', '-rf', site], check=True)
    subprocess.run([sitegen, '--projects', str(projects), '--pages', str(pages), '--objects', '200', '--seed', '42',
                    '--collisions', str(collisions), site], check=True, stdout=subprocess.DEVNULL)
    with open(stamp, 'w') as handle:
        handle.write(shape + '\n')
    return site


def cases(site, work):
    """Every option set worth comparing on a site: (name, arguments, files the run writes)."""
    for fmt in FORMATS:
        for shape in ([], ['--unique']):
            yield f'{fmt} {" ".join(shape)}', ['--format', fmt, *shape, '--list-unopened'], []
    yield 'sarif placement', ['--format', 'sarif', '--sarif-results', 'placement'], []
    yield 'sarif root', ['--format', 'sarif', '--root', site], []
    for fmt in ('tsv', 'json', 'json-v2'):
        yield f'{fmt} --unique --counts', ['--format', fmt, '--unique', '--counts'], []
    yield 'statistics', ['--statistics'], []
    yield 'statistics --unique', ['--statistics', '--unique'], []
    yield 'html', ['--format', 'html'], []
    yield 'html --unique', ['--format', 'html', '--unique'], []
    page = os.path.join(work, 'report.html')
    yield 'html output file', ['--format', 'html', '-o', page], [page]
    baseline = os.path.join(work, 'baseline.json')
    yield 'write-baseline', ['--write-baseline', baseline], [baseline]
    yield 'baseline', ['--baseline', os.path.join(work, 'kept-baseline.json')], []
    report = os.path.join(work, 'report.tsv')
    yield 'output file', ['-o', report, '--format', 'json-v2'], [report]


def run(program, arguments, site, cwd, written):
    for path in written:
        if os.path.exists(path):
            os.remove(path)
    done = subprocess.run([program, '-j', '2', *arguments, site], cwd=cwd, capture_output=True)
    files = []
    for path in written:
        files.append(SCAN_TIME.sub(b'', open(path, 'rb').read()) if os.path.exists(path) else None)
    return done.returncode, SCAN_TIME.sub(b'', done.stdout), done.stderr, files


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('old')
    parser.add_argument('new')
    parser.add_argument('--sitegen', help='morvex-sitegen, for the benchmark shapes')
    parser.add_argument('--work', default=os.path.join(tempfile.gettempdir(), 'morvex-compare-formats'))
    options = parser.parse_args()
    options.old, options.new = os.path.abspath(options.old), os.path.abspath(options.new)
    os.makedirs(options.work, exist_ok=True)
    awkward = os.path.join(options.work, 'sites', 'awkward')
    write_awkward_site(awkward, os.path.join(options.work, 'elsewhere'))
    sites = [os.path.join(ROOT, 'examples', 'site'), awkward]
    if options.sitegen:
        sites.append(generated_site(options.sitegen, os.path.join(options.work, 'default'), 100, 100, 4))
        sites.append(generated_site(options.sitegen, os.path.join(options.work, 'many-findings'), 100, 100, 45))
    differing = 0
    compared = 0
    for site in sites:
        # The baseline that --baseline compares with: the old build's, so both read the same file.
        kept = os.path.join(options.work, 'kept-baseline.json')
        subprocess.run([options.old, '-q', '--write-baseline', kept, site], capture_output=True)
        # Run from the folder above the site, as a CI job runs from the repository's top folder.
        cwd = os.path.dirname(site)
        for name, arguments, written in cases(site, options.work):
            old = run(options.old, arguments, site, cwd, written)
            new = run(options.new, arguments, site, cwd, written)
            compared += 1
            if old != new:
                differing += 1
                what = [part for part, a, b in zip(('status', 'stdout', 'stderr', 'files'), old, new) if a != b]
                print(f'differs: {os.path.basename(site)}: {name}: {", ".join(what)}')
    print(f'{compared - differing} of {compared} cases give the same bytes')
    return 1 if differing else 0


if __name__ == '__main__':
    sys.exit(main())
