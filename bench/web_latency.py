#!/usr/bin/python3
"""Browser side of web_bench: records when the page shows each new current.

Usage: web_latency.py URL
Prints READY once the page is connected and watched, waits for STOP on
standard input, then prints "T <wall clock ms> <text>" for every change of
channel 1's current as the page applied it, and END. Every wait is bounded.
"""

import os
import select
import shutil
import signal
import sys
import tempfile
import time

WATCH = r"""
window.__log = [];
const target = document.querySelector('#ch-1 .current');
new MutationObserver(() => {
  window.__log.push([performance.timeOrigin + performance.now(), target.textContent]);
}).observe(target, { childList: true, characterData: true, subtree: true });
"""


def say(line):
    print(line, flush=True)


def main():
    url = sys.argv[1]
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(3))
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By

    profile = tempfile.mkdtemp(prefix='korva-chromium-')
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for flag in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                 '--disable-background-networking', '--disable-component-update',
                 '--disable-sync', '--disable-dev-shm-usage', f'--user-data-dir={profile}'):
        options.add_argument(flag)
    driver = None
    try:
        driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver', log_path=os.devnull),
                                  options=options)
        driver.set_page_load_timeout(10)
        driver.get(url)
        deadline = time.monotonic() + 10
        while driver.find_element(By.ID, 'connection').get_attribute('class') != 'online':
            if time.monotonic() > deadline:
                say('FAIL: keine Verbindung')
                return 1
            time.sleep(0.05)
        driver.execute_script(WATCH)
        say('READY')
        ready, _, _ = select.select([sys.stdin], [], [], 300)
        if not ready or not sys.stdin.readline().startswith('STOP'):
            say('FAIL: kein STOP')
            return 1
        for stamp, text in driver.execute_script('return window.__log;'):
            say(f'T {stamp:.3f} {text}')
        say('END')
        return 0
    except Exception as e:
        say(f'FAIL: {type(e).__name__}: {str(e).splitlines()[0] if str(e) else ""}')
        return 1
    finally:
        if driver is not None:
            driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
