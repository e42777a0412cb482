#!/usr/bin/python3
"""Drives the web panel in headless Chromium for test_web_browser.

Usage: panel_check.py URL PASSWORD

Talks to the test program line by line:
  prints  ROW k|name|state|current|width   for each of the 16 rows, then READY
  reads   SHORT k      (the short is in the simulated layout); row k must show
                       the cutoff within a second
  prints  CUTOFF k MS
  the summary line at the top names k, also scrolled to the end
  then logs in (the form must go), tries to switch k on (must be refused
  with the lock text), switches channel 7 off and waits for the journal
  line from the web
  prints  SWITCHED 7 off
  reads   DROP         (the server is gone); the page must say so
  prints  OFFLINE
  reads   BACK         (the server runs again); the stream must come back
  prints  ONLINE
  reads   ON 7         (the view switched 7 on); the row must show it
  prints  RECONNECTED, then DONE
Every button is at least 44 px high; no name runs out of its cell.
Any failure: "FAIL: ..." and exit code 1. Every wait is bounded.
"""

import os
import shutil
import signal
import sys
import tempfile
import time

CHROMIUM = '/usr/bin/chromium'
CHROMEDRIVER = '/usr/bin/chromedriver'
LOCK_TEXT = 'Kurzschluss erst beheben'
SWITCH_CHANNEL = 7
WINDOW = os.environ.get('KORVA_BROWSER_WINDOW', '390,844')  # a phone, upright


class Failure(Exception):
    pass


def say(line):
    print(line, flush=True)


def wait_until(what, condition, timeout):
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = condition()
        except Exception:  # the page may be between two renders
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f'{what} (nach {timeout:g} s nicht erreicht)')
        time.sleep(0.02)


def read_command(expected, timeout=20):
    # The test program answers quickly; an end of input means it gave up.
    import select
    ready, _, _ = select.select([sys.stdin], [], [], timeout)
    if not ready:
        raise Failure(f'keine Anweisung {expected} vom Testprogramm')
    line = sys.stdin.readline()
    if not line:
        raise Failure('Eingabe geschlossen')
    words = line.split()
    if not words or words[0] != expected:
        raise Failure(f'unerwartete Anweisung {line.strip()!r}')
    return words[1:]


def check_layout(driver):
    from selenium.webdriver.common.by import By
    for b in driver.find_elements(By.CSS_SELECTOR, 'button'):
        if b.is_displayed() and b.rect['height'] < 44:
            raise Failure(f'Knopf {b.text!r} nur {b.rect["height"]:g} px hoch')
    for li in driver.find_elements(By.CSS_SELECTOR, '#channels > li'):
        name = li.find_element(By.CSS_SELECTOR, '.name').rect
        for other in ('.current', '.state', '.bar', '.buttons'):
            r = li.find_element(By.CSS_SELECTOR, other).rect
            overlap_x = name['x'] < r['x'] + r['width'] - 1 and r['x'] < name['x'] + name['width'] - 1
            overlap_y = name['y'] < r['y'] + r['height'] - 1 and r['y'] < name['y'] + name['height'] - 1
            if overlap_x and overlap_y:
                raise Failure(f'Name von {li.get_attribute("id")} ragt in {other}')


def check_summary(driver, name):
    from selenium.webdriver.common.by import By
    summary = driver.find_element(By.ID, 'summary')
    wait_until('Zusammenfassung oben',
               lambda: summary.is_displayed() and name in summary.text
               and 'abgeschaltet' in summary.text, 2)
    driver.execute_script('window.scrollTo(0, document.body.scrollHeight)')
    wait_until('Zusammenfassung beim Blättern sichtbar',
               lambda: driver.execute_script(
                   'const r = document.getElementById("summary").getBoundingClientRect();'
                   'return window.scrollY > 0 && r.top >= 0 && r.bottom <= window.innerHeight;'), 2)
    driver.execute_script('window.scrollTo(0, 0)')


def run(driver, url, password):
    from selenium.webdriver.common.by import By

    def row(k):
        return driver.find_element(By.ID, f'ch-{k}')

    def state(k):
        return row(k).get_attribute('data-state')

    driver.set_page_load_timeout(10)
    driver.get(url)
    wait_until('Verbindung zum Programm',
               lambda: driver.find_element(By.ID, 'connection').get_attribute('class') == 'online',
               10)
    rows = driver.find_elements(By.CSS_SELECTOR, '#channels > li')
    if len(rows) != 16:
        raise Failure(f'{len(rows)} Kanäle statt 16')
    wait_until('Zustand aller Kanäle', lambda: all(state(k) for k in range(1, 17)), 5)
    for k in range(1, 17):
        r = row(k)
        name = r.find_element(By.CSS_SELECTOR, '.name').text
        current = r.find_element(By.CSS_SELECTOR, '.current').text
        width = r.find_element(By.CSS_SELECTOR, '.fill').value_of_css_property('width')
        say(f'ROW {k}|{name}|{state(k)}|{current}|{width}')
    # Not logged in: nothing can be switched.
    for b in driver.find_elements(By.CSS_SELECTOR, 'button.switch'):
        if b.is_enabled():
            raise Failure('Schaltknopf vor der Anmeldung bedienbar')
    if not driver.find_element(By.ID, 'login-form').is_displayed():
        raise Failure('Anmeldung nicht sichtbar')
    say('READY')

    (shorted,) = read_command('SHORT')
    k = int(shorted)
    start = time.monotonic()
    wait_until(f'Kanal {k} abgeschaltet', lambda: state(k) == 'cutoff', 1.0)
    say(f'CUTOFF {k} {round((time.monotonic() - start) * 1000)}')
    if row(k).find_element(By.CSS_SELECTOR, '.state').text != 'abgeschaltet':
        raise Failure('Zustandstext des abgeschalteten Kanals')
    check_summary(driver, row(k).find_element(By.CSS_SELECTOR, '.name').get_attribute('title'))
    check_layout(driver)

    driver.find_element(By.ID, 'password').send_keys(password)
    driver.find_element(By.ID, 'login-button').click()
    wait_until('angemeldet', lambda: driver.find_element(By.ID, 'logged-in').is_displayed(), 5)
    wait_until('Anmeldeformular weg',
               lambda: not driver.find_element(By.ID, 'login-form').is_displayed(), 2)
    wait_until('Schaltknöpfe frei',
               lambda: all(b.is_enabled()
                           for b in driver.find_elements(By.CSS_SELECTOR, 'button.switch')), 5)

    # The locked channel stays off and the page says why.
    row(k).find_element(By.CSS_SELECTOR, 'button.on').click()
    wait_until('Sperrmeldung',
               lambda: driver.find_element(By.ID, 'message').text == LOCK_TEXT, 5)
    if state(k) != 'cutoff':
        raise Failure(f'gesperrter Kanal {k} zeigt {state(k)}')

    if state(SWITCH_CHANNEL) != 'on':
        raise Failure(f'Kanal {SWITCH_CHANNEL} ist vor dem Schalten nicht an')
    row(SWITCH_CHANNEL).find_element(By.CSS_SELECTOR, 'button.off').click()
    wait_until(f'Kanal {SWITCH_CHANNEL} aus', lambda: state(SWITCH_CHANNEL) == 'off', 5)
    wait_until('Journalzeile vom Web',
               lambda: f'Kanal {SWITCH_CHANNEL}' in driver.find_element(By.ID, 'journal')
               .find_element(By.TAG_NAME, 'li').text
               and 'Web' in driver.find_element(By.ID, 'journal').find_element(By.TAG_NAME, 'li').text,
               5)
    if driver.find_element(By.ID, 'message').is_displayed():
        raise Failure('Meldung nach erfolgreichem Schalten: '
                      + driver.find_element(By.ID, 'message').text)
    say(f'SWITCHED {SWITCH_CHANNEL} off')

    read_command('DROP')
    banner = driver.find_element(By.ID, 'offline-banner')
    wait_until('Hinweis auf die Unterbrechung',
               lambda: banner.is_displayed() and 'Verbindung unterbrochen' in banner.text, 10)
    say('OFFLINE')
    read_command('BACK')
    wait_until('wieder verbunden', lambda: not banner.is_displayed()
               and driver.find_element(By.ID, 'connection').get_attribute('class') == 'online', 30)
    say('ONLINE')
    read_command('ON')
    wait_until(f'Kanal {SWITCH_CHANNEL} wieder an', lambda: state(SWITCH_CHANNEL) == 'on', 5)
    say('RECONNECTED')


def main():
    if len(sys.argv) != 3:
        say('FAIL: Aufruf: panel_check.py URL PASSWORT')
        return 2
    url, password = sys.argv[1], sys.argv[2]
    # A terminate from the test program still closes the browser.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(3))
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    profile = tempfile.mkdtemp(prefix='korva-chromium-')
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    # The network is closed: nothing that reaches out.
    for flag in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                 '--disable-background-networking', '--disable-component-update',
                 '--disable-sync', '--disable-dev-shm-usage', f'--user-data-dir={profile}',
                 f'--window-size={WINDOW}'):
        options.add_argument(flag)
    driver = None
    try:
        driver = webdriver.Chrome(service=Service(CHROMEDRIVER, log_path=os.devnull),
                                  options=options)
        run(driver, url, password)
        say('DONE')
        return 0
    except Failure as e:
        say(f'FAIL: {e}')
        return 1
    except Exception as e:  # selenium or the browser broke
        say(f'FAIL: {type(e).__name__}: {str(e).splitlines()[0] if str(e) else ""}')
        return 1
    finally:
        if driver is not None:
            driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
