#!/usr/bin/python3
"""Times an HTML report in Chromium headless: load, a filter keystroke, opening the largest template's row.

Usage: bench_html_browser.py REPORT.html [RUNS] [SCREENSHOT.png]

Each run loads the page afresh. Load is from the start of navigation to the end of the load event (the counts,
charts and template table are in the markup, so they show by then at the latest); the filter and the opening
are timed in the page from the event to the next frame after the change. Medians over the runs are printed.
"""
import shutil
import statistics
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service as ChromeService

REPORT = sys.argv[1]
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 5
SCREENSHOT = sys.argv[3] if len(sys.argv) > 3 else None

# Resolves with the milliseconds from the event to the frame after `changed` sees the change.
TIMED = """
const done = arguments[arguments.length - 1];
const [what, word] = arguments;
const start = performance.now();
const finish = () => requestAnimationFrame(() => setTimeout(() => done(performance.now() - start), 0));
if (what === 'filter') {
  const shown = document.getElementById('shown');
  const before = shown.textContent;
  new MutationObserver((m, o) => { if (shown.textContent !== before) { o.disconnect(); finish(); } })
    .observe(shown, {childList: true, characterData: true, subtree: true});
  const box = document.getElementById('filter');
  box.value = word;
  box.dispatchEvent(new Event('input', {bubbles: true}));
} else {
  document.querySelector('#tt tbody tr[data-t] button.open').click();
  finish();
}
"""


# The browser's profile, removed with all it holds when the script ends.
PROFILE = tempfile.TemporaryDirectory(prefix='morvex-chromium-')


def browser():
    options = webdriver.ChromeOptions()
    for flag in ('--headless=new', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
                 '--disable-component-update', '--disable-sync', '--disable-dev-shm-usage', '--window-size=1400,1000',
                 '--user-data-dir=' + PROFILE.name):
        options.add_argument(flag)
    options.binary_location = shutil.which('chromium') or '/usr/bin/chromium'
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    return webdriver.Chrome(options=options, service=ChromeService(shutil.which('chromedriver') or '/usr/bin/chromedriver'))


def main():
    driver = browser()
    driver.set_script_timeout(30)
    times = {'load': [], 'filter': [], 'first open': [], 'open again': []}
    try:
        for run in range(RUNS):
            driver.get('file://' + REPORT)
            times['load'].append(driver.execute_script(
                "const t = performance.getEntriesByType('navigation')[0]; return t.loadEventEnd - t.startTime;"))
            word = driver.execute_script("return document.querySelector('#tt tbody tr[data-t]').cells[3].textContent;")
            times['filter'].append(driver.execute_async_script(TIMED, 'filter', word))
            driver.execute_async_script(TIMED, 'filter', '')
            times['first open'].append(driver.execute_async_script(TIMED, 'open', ''))
            driver.execute_async_script(TIMED, 'open', '')  # closes it
            times['open again'].append(driver.execute_async_script(TIMED, 'open', ''))
            errors = [e for e in driver.get_log('browser') if e['level'] in ('SEVERE', 'WARNING')]
            if errors:
                sys.exit(f'console messages: {errors}')
        if SCREENSHOT:
            driver.execute_async_script(TIMED, 'open', '')
            driver.execute_async_script(TIMED, 'open', '')
            driver.save_screenshot(SCREENSHOT)
    finally:
        driver.quit()
    for name, values in times.items():
        print(f'{name:12s} median {statistics.median(values):8.1f} ms   ({", ".join(f"{v:.0f}" for v in values)})')


main()
