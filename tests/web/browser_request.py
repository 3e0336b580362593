#!/usr/bin/env python3
"""Drives the booking page in headless Chromium as a client on a phone would:
opens the month, picks the day, fills the form and sends it. On the way it
checks what an accessibility check checks on each page: every control has a
label, every text stands out from its background by at least 4.5 to 1, the
page fits 360 pixels without scrolling sideways, and nothing needs a script.

usage: browser_request.py BASE_URL DAY [SCREENSHOT_FOLDER]
Prints "SUBMIT" the moment the form is sent, then "SENT" once the page
confirms it; exits non-zero with the reason on a failure."""
import os
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as ec
from selenium.webdriver.support.ui import Select, WebDriverWait

# Colour contrast per WCAG 2: the relative luminance of each colour, the
# text's against the first background behind it that is not transparent.
CONTRAST = r"""
function lum(c) {
  const m = c.match(/rgba?\(([^)]+)\)/); if (!m) return null;
  const p = m[1].split(',').map(Number);
  if (p.length > 3 && p[3] === 0) return null;
  const f = v => { v /= 255; return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4); };
  return 0.2126 * f(p[0]) + 0.7152 * f(p[1]) + 0.0722 * f(p[2]);
}
function background(e) {
  for (; e; e = e.parentElement) {
    const l = lum(getComputedStyle(e).backgroundColor);
    if (l !== null) return l;
  }
  return 1;
}
const low = [];
for (const e of document.querySelectorAll('body *')) {
  const own = [...e.childNodes].some(n => n.nodeType === 3 && n.textContent.trim());
  if (!own || e.closest('.trap')) continue;
  const s = getComputedStyle(e);
  if (s.visibility === 'hidden' || s.display === 'none') continue;
  const fg = lum(s.color), bg = background(e);
  const ratio = (Math.max(fg, bg) + 0.05) / (Math.min(fg, bg) + 0.05);
  if (ratio < 4.5) low.push(e.tagName + ' "' + e.textContent.trim().slice(0, 30) + '" ' + ratio.toFixed(2));
}
return low;
"""

LABELS = r"""
const missing = [];
for (const e of document.querySelectorAll('input, select, textarea')) {
  if (e.type === 'hidden' || e.closest('.trap')) continue;
  const label = e.id && document.querySelector('label[for="' + e.id + '"]');
  if (!label || !label.textContent.trim()) missing.push(e.name || e.outerHTML.slice(0, 40));
}
if (!document.documentElement.lang) missing.push('html lang');
if (!document.title.trim()) missing.push('title');
return missing;
"""


def check_page(driver, what, shots):
    low = driver.execute_script(CONTRAST)
    if low:
        sys.exit(f"{what}: text with too little contrast: {low}")
    missing = driver.execute_script(LABELS)
    if missing:
        sys.exit(f"{what}: without a label: {missing}")
    width = driver.execute_script("return document.documentElement.scrollWidth")
    view = driver.execute_script("return window.innerWidth")
    if width > view:
        sys.exit(f"{what}: {width} pixels wide in a window of {view}")
    if driver.find_elements(By.TAG_NAME, "script"):
        sys.exit(f"{what}: has a script")
    if shots:
        driver.save_screenshot(os.path.join(shots, what + ".png"))


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    base, day = sys.argv[1].rstrip("/"), sys.argv[2]
    shots = sys.argv[3] if len(sys.argv) > 3 else None
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--window-size=360,740"):
        options.add_argument(flag)
    profile = tempfile.TemporaryDirectory(prefix="bm-chromium-")
    options.add_argument("--user-data-dir=" + profile.name)
    # A phone's screen: 360 CSS pixels wide.
    options.add_experimental_option("mobileEmulation", {
        "deviceMetrics": {"width": 360, "height": 740, "pixelRatio": 2.0}})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        wait = WebDriverWait(driver, 20)
        driver.get(f"{base}/?month={day[:7]}")
        check_page(driver, "month", shots)
        driver.find_element(By.CSS_SELECTOR, f'a[href="/request?day={day}"]').click()
        wait.until(ec.presence_of_element_located((By.ID, "name")))
        check_page(driver, "form", shots)
        if Select(driver.find_element(By.ID, "day")).first_selected_option.get_attribute("value") != day:
            sys.exit("the form does not hold the day picked")
        Select(driver.find_element(By.ID, "trip")).select_by_value("Full Day")
        fields = {"party": "2", "name": "Ann Lee", "email": "ann@example.com", "phone": "555 0100",
                  "note": "We bring our own rods."}
        for name, value in fields.items():
            box = driver.find_element(By.ID, name)
            box.clear()
            box.send_keys(value)
        if shots:
            driver.save_screenshot(os.path.join(shots, "form-filled.png"))
        print("SUBMIT", flush=True)
        driver.find_element(By.CSS_SELECTOR, 'button[type="submit"]').click()
        wait.until(ec.text_to_be_present_in_element((By.TAG_NAME, "h1"), "Request sent"))
        check_page(driver, "sent", shots)
        if "Requested" not in driver.find_element(By.TAG_NAME, "main").text:
            sys.exit("the page does not say the request waits for the guide")
        print("SENT", flush=True)
    finally:
        driver.quit()


if __name__ == "__main__":
    main()
