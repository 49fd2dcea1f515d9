#!/usr/bin/python3
"""The HTML report in a real browser (Chromium headless): the example site's page and a hostile site's.

Usage: html_report_browser.py MORVEX_SCAN EXAMPLE_SITE WORK_DIR

Each page must load without a console error or an alert, show the counts the TSV report gives, filter, sort and
open rows as it says, and show the hostile site's texts as text.
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.common.exceptions import NoAlertPresentException
from selenium.webdriver.chrome.service import Service as ChromeService
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

SCAN, EXAMPLE_SITE, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
HOSTILE = '</script><script>alert(1)</script>'
# Names and values a site may hold: markup, quotes, NUL, a right-to-left override and an isolate.
HOSTILE_TARVO = HOSTILE
HOSTILE_LIBRARY = '"\'&amp;<b>x</b>'
HOSTILE_VALUE = 'a\x00b\u202Eevil\u2066c'
HOSTILE_PROJECT = '<img src=x onerror=alert(2)>'
HOSTILE_PAGE = '<svg onload=alert(3)>'
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAIL:', what, file=sys.stderr)


def write_dbf(path, fields, records):
    out = bytearray(struct.pack('<B3BiHH20x', 3, 126, 1, 15, len(records), 32 + 32 * len(fields) + 1,
                                1 + sum(n for _, n in fields)))
    for name, length in fields:
        out += struct.pack('<11sc4xBB14x', name.encode('ascii'), b'C', length, 0)
    out += b'\x0d'
    for values in records:
        out += b' ' + b''.join(v.encode('cp1252').ljust(n, b' ') for (_, n), v in zip(fields, values))
    with open(path, 'wb') as handle:
        handle.write(out + b'\x1a')


def hostile_site(root):
    site = os.path.join(root, 'hostile-site')
    shutil.rmtree(site, ignore_errors=True)
    os.makedirs(os.path.join(site, 'p1'))
    write_dbf(os.path.join(site, 'master.dbf'), [('Name', 40), ('Path', 20)], [(HOSTILE_PROJECT, 'p1')])
    write_dbf(os.path.join(site, 'p1', 'pages.dbf'), [('Name', 40)], [(HOSTILE_PAGE,), ('missing',)])
    objects = [{'type': 'Tarvo', 'an': an, 'tarvo': {'project': 'include', 'library': HOSTILE_LIBRARY,
                                                     'name': HOSTILE_TARVO, 'number': 0},
                'properties': [{'name': 'TEXT', 'value': HOSTILE_VALUE}]} for an in (1, 2)]
    with open(os.path.join(site, 'p1', HOSTILE_PAGE + '.json'), 'w', encoding='utf-8') as handle:
        json.dump({'objects': objects}, handle)
    return site


def scan(site, *options):
    run = subprocess.run([SCAN, *options, site], capture_output=True)
    if run.returncode not in (0, 1):
        sys.exit(f'morvex-scan {" ".join(options)} failed: {run.stderr.decode(errors="replace")}')
    return run.stdout.decode('utf-8', errors='replace')


# The browser's profile, removed with all it holds when the script ends.
PROFILE = tempfile.TemporaryDirectory(prefix='morvex-chromium-')


def browser():
    options = webdriver.ChromeOptions()
    for flag in ('--headless=new', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
                 '--disable-component-update', '--disable-sync', '--disable-dev-shm-usage',
                 '--user-data-dir=' + PROFILE.name):
        options.add_argument(flag)
    options.binary_location = shutil.which('chromium') or '/usr/bin/chromium'
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    service = ChromeService(executable_path=shutil.which('chromedriver') or '/usr/bin/chromedriver')
    return webdriver.Chrome(options=options, service=service)


def count_of(driver, key):
    return int(driver.find_element(By.CSS_SELECTOR, f'li[data-count="{key}"]').get_attribute('data-n'))


def template_rows(driver):
    return driver.execute_script(
        "return Array.from(document.querySelectorAll('#tt > tbody > tr[data-t]')).map(r => ({hidden: r.hidden, "
        "cells: Array.from(r.cells).slice(1).map(c => c.textContent)}));")


def no_alert_and_no_errors(driver, label):
    try:
        alert = driver.switch_to.alert
        check(False, f'{label}: an alert came up: {alert.text}')
    except NoAlertPresentException:
        pass
    errors = [entry for entry in driver.get_log('browser') if entry['level'] in ('SEVERE', 'WARNING')]
    check(not errors, f'{label}: console messages {errors}')


def check_page(driver, site, label):
    page = os.path.join(WORK, label + '.html')
    scan(site, '--format', 'html', '-o', page)
    placements = scan(site).splitlines()[1:]
    unique = [line.split('\t') for line in scan(site, '--unique').splitlines()[1:]]
    driver.get('file://' + page)
    no_alert_and_no_errors(driver, label)
    check(count_of(driver, 'placements') == len(placements), f'{label}: placements shown')
    check(count_of(driver, 'templates') == len(unique), f'{label}: template properties shown')
    check(count_of(driver, 'pages') == len({tuple(l.split('\t')[:2]) for l in placements}), f'{label}: pages')

    rows = template_rows(driver)
    check(sorted(tuple(r['cells'][:4]) for r in rows) == sorted(tuple(u) for u in unique),
          f'{label}: the table holds the --unique lines')
    counts = [int(r['cells'][4].replace(',', '')) for r in rows]
    check(counts == sorted(counts, reverse=True), f'{label}: most placements first')
    check(sum(counts) == len(placements), f'{label}: placements add up')

    # Opening the first row lists exactly its placements.
    first = rows[0]['cells'][:4]
    expected = sorted((f[0], f[1], f[2], f[7]) for f in (l.split('\t') for l in placements)
                      if [x.lower() for x in f[3:7]] == [x.lower() for x in first])
    button = driver.find_element(By.CSS_SELECTOR, '#tt tbody tr[data-t] button.open')
    button.send_keys(Keys.ENTER)
    shown = driver.execute_script(
        "return Array.from(document.querySelectorAll('tr.placements tbody tr')).map(r => "
        "Array.from(r.cells).slice(0, 4).map(c => c.textContent));")
    check(button.get_attribute('aria-expanded') == 'true', f'{label}: the row says it is open')
    if label == 'example':
        check(sorted(tuple(s) for s in shown) == expected, f'{label}: the opened row lists its placements')
    button.send_keys(Keys.ENTER)
    check(not driver.find_elements(By.CSS_SELECTOR, 'tr.placements'), f'{label}: the row closes again')
    no_alert_and_no_errors(driver, label + ' after opening')
    return rows, placements


def check_filter_and_sort(driver, rows):
    word = rows[-1]['cells'][2]
    box = driver.find_element(By.ID, 'filter')
    box.send_keys(word.upper())
    WebDriverWait(driver, 2).until(lambda d: sum(not r['hidden'] for r in template_rows(d)) < len(rows) or
                                   all(word.lower() in '\t'.join(r['cells']).lower() for r in rows))
    for row in template_rows(driver):
        check(row['hidden'] != (word.lower() in '\t'.join(row['cells']).lower()), f'filter on {word!r}: {row}')
    box.send_keys(Keys.CONTROL, 'a')
    box.send_keys(Keys.DELETE)
    WebDriverWait(driver, 2).until(lambda d: not any(r['hidden'] for r in template_rows(d)))

    driver.find_element(By.CSS_SELECTOR, 'th button[data-col="2"]').click()
    names = [r['cells'][2].lower() for r in template_rows(driver)]
    check(names == sorted(names), 'sorted by Tarvo name')
    head = driver.find_element(By.CSS_SELECTOR, 'th button[data-col="4"]')
    head.click()
    head.click()
    counts = [int(r['cells'][4].replace(',', '')) for r in template_rows(driver)]
    check(counts == sorted(counts), 'sorted by placements, fewest first at the second click')
    check(head.find_element(By.XPATH, '..').get_attribute('aria-sort') == 'ascending', 'aria-sort follows')


def main():
    os.makedirs(WORK, exist_ok=True)
    driver = browser()
    try:
        rows, _ = check_page(driver, EXAMPLE_SITE, 'example')
        check_filter_and_sort(driver, rows)

        check_page(driver, hostile_site(WORK), 'hostile')
        texts = driver.execute_script(
            "return Array.from(document.querySelectorAll('#tt tbody td')).map(c => c.textContent);")
        check(HOSTILE_TARVO in texts and HOSTILE_LIBRARY in texts, 'hostile names shown as text')
        check(driver.execute_script("return document.querySelectorAll('script:not([type])').length") == 1,
              'the page runs its own script only')
        driver.find_element(By.CSS_SELECTOR, '#tt tbody button.open').click()
        shown = driver.execute_script(
            "return Array.from(document.querySelectorAll('tr.placements tbody td')).map(c => c.textContent);")
        check(HOSTILE_PROJECT in shown and HOSTILE_PAGE in shown, 'hostile project and page shown as text')
        check("'a[U+0000]b[U+202E]evil[U+2066]c'" in shown, f'NUL and bidirectional controls shown visibly: {shown}')
        no_alert_and_no_errors(driver, 'hostile placements')
    finally:
        driver.quit()
    if failures:
        sys.exit(f'{len(failures)} checks failed')
    print('html report: all checks passed')


main()
