# The report site in headless Chromium, driven by chromium-driver through Selenium: every kind of
# page opens without a console error, the overview's numbers equal the database's, a table's
# filter and sort work (sorting by keyboard too) and views load from their address, a long list
# has only the rows near the screen in the page and every row is reached by scrolling, the site's
# search finds a computer by MAC address and a package by name, text (charts' too) has enough
# contrast in the light and the dark scheme, no page scrolls sideways at a phone's width, a
# computer's history names the packages added since its previous inventory; a screenshot of each
# kind of page is kept and checked not blank.
#   browser_check.py SITE DATABASE SCREENSHOT_DIR
import datetime
import os
import sqlite3
import struct
import sys
import urllib.parse
import zlib

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait
from selenium.common.exceptions import TimeoutException

site, database, shots = sys.argv[1:4]
os.makedirs(shots, exist_ok=True)
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def png_distinct_bytes(data):
    """The number of distinct byte values in a PNG's pixel data (a blank page has two or three)."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    return len(set(zlib.decompress(idat)))


db = sqlite3.connect("file:" + database + "?mode=ro", uri=True)
latest = db.execute("SELECT DeviceName, DomainWorkGrp, max(InvDateTime) FROM DeviceID "
                    "GROUP BY DeviceName, DomainWorkGrp").fetchall()

options = webdriver.ChromeOptions()
options.binary_location = "/usr/bin/chromium"
for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
            "--window-size=1300,1600", "--allow-file-access-from-files"):
    options.add_argument(arg)
options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
driver.set_page_load_timeout(30)


def page_url(relative):
    path, query = (relative.split("?", 1) + [""])[:2]
    return "file://" + urllib.parse.quote(os.path.join(os.path.abspath(site), path)) + ("?" + query if query else "")


def open_page(relative, shot):
    driver.get(page_url(relative))
    check(driver.execute_script("return document.readyState") == "complete", relative + ": not loaded")
    for entry in driver.get_log("browser"):
        check(entry["level"] not in ("SEVERE", "ERROR"), relative + ": console: " + entry["message"])
    # Every link of the page leads to a page of the site.
    for href in driver.execute_script("return Array.from(document.querySelectorAll('a[href]'), a => a.href)"):
        if href.startswith("file://"):
            path = urllib.parse.unquote(urllib.parse.urlparse(href).path)
            check(os.path.exists(path), relative + ": broken link " + href)
        else:
            check(href.startswith(page_url(relative).split("?")[0]) and "#" in href, relative + ": link leaves the site: " + href)
    png = driver.get_screenshot_as_png()
    with open(os.path.join(shots, shot + ".png"), "wb") as f:
        f.write(png)
    check(png_distinct_bytes(png) > 16, relative + ": screenshot is blank")


def text_of(css):
    return driver.find_element(By.CSS_SELECTOR, css).text.strip()


def number(css):
    return int(text_of(css).replace(",", ""))


def visible_rows(table_id):
    """Every row the table shows, in order (cell values): a long table has only the rows near the
    screen in the page, so they are gathered while scrolling through it, each by its aria-rowindex;
    a row missing or out of place there is a failure."""
    got = driver.execute_async_script("""
        const [id, done] = arguments, table = document.getElementById(id), rows = [];
        const total = +table.getAttribute('aria-rowcount') - 1;
        let wrong = 0;
        scrollTo(0, table.getBoundingClientRect().top + scrollY);
        const take = () => {
          for (const r of table.tBodies[0].rows) {
            const at = +r.getAttribute('aria-rowindex') - 2;
            if (r.classList.contains('gap')) continue;
            if (!(at >= 0 && at < total) || r.hidden) { wrong++; continue; }
            rows[at] = Array.from(r.cells, c => c.getAttribute('data-v') ?? c.textContent);
          }
          if (table.getBoundingClientRect().bottom <= innerHeight) {
            scrollTo(0, 0);
            let missing = 0;
            for (let i = 0; i < total; i++) missing += !rows[i];
            return done({rows: rows.filter(Boolean), missing: missing, wrong: wrong});
          }
          const before = scrollY;
          scrollBy(0, innerHeight * 1.5);
          if (scrollY === before) return done({rows: [], missing: total, wrong: wrong});
          requestAnimationFrame(take);
        };
        requestAnimationFrame(take);""", table_id)
    check(got["missing"] == 0 and got["wrong"] == 0, "%s: %d rows not reached by scrolling, %d out of place"
          % (table_id, got["missing"], got["wrong"]))
    return got["rows"]


def contrast(relative):
    """The page's text contrast in the light and the dark scheme, set as the system would set it."""
    for scheme in ("light", "dark"):
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
        check(driver.execute_script("return matchMedia('(prefers-color-scheme: %s)').matches" % scheme),
              "%s: the %s scheme is not in force" % (relative, scheme))
        low = driver.execute_script(CONTRAST)
        check(not low, "%s, %s scheme: %d texts of low contrast: %s" % (relative, scheme, len(low), "; ".join(low[:5])))
    driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})


# Text contrast by WCAG 2's AA rule (as axe-core's color-contrast checks it): every piece of text
# shown, SVG chart text by its fill, against the backgrounds under it composited up to an opaque
# one; 4.5:1 at least, 3:1 for large text (24 px, or 18.66 px bold). Gives the failures.
CONTRAST = r"""
const rgba = s => { const m = /rgba?\(([^)]*)\)/.exec(s || ''); if (!m) return null;
  const p = m[1].split(/[\s,\/]+/).filter(Boolean).map(Number); return [p[0], p[1], p[2], p.length > 3 ? p[3] : 1]; };
const over = (top, under) => top.slice(0, 3).map((c, i) => c * top[3] + under[i] * (1 - top[3])).concat([1]);
const luminance = c => { const l = c.slice(0, 3).map(v => { v /= 255; return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4); });
  return 0.2126 * l[0] + 0.7152 * l[1] + 0.0722 * l[2]; };
function background(el) {
  const layers = [];
  for (let e = el; e; e = e.parentElement) {
    const c = rgba(getComputedStyle(e).backgroundColor);
    if (c && c[3] > 0) { layers.push(c); if (c[3] === 1) break; }
  }
  let bg = [255, 255, 255, 1];
  for (let i = layers.length - 1; i >= 0; i--) bg = over(layers[i], bg);
  return bg;
}
const out = [], seen = new Set();
const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
for (let n = walker.nextNode(); n; n = walker.nextNode()) {
  const el = n.parentElement;
  if (!n.textContent.trim() || seen.has(el) || el.closest('title, script, style, noscript')) continue;
  seen.add(el);
  const st = getComputedStyle(el);
  if (!el.getClientRects().length || st.visibility !== 'visible') continue;
  const svg = el instanceof SVGElement;
  let fg = rgba(svg ? st.fill : st.color);
  if (!fg) continue;
  const bg = background(el);
  fg = over(fg, bg);
  const a = luminance(fg), b = luminance(bg), ratio = (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
  const px = parseFloat(st.fontSize), large = px >= 24 || (px >= 18.66 && +st.fontWeight >= 700);
  if (ratio < (large ? 3 : 4.5))
    out.push(n.textContent.trim().slice(0, 30) + ' (' + (svg ? 'svg ' + el.getAttribute('class') : el.tagName.toLowerCase()) +
             '): ' + ratio.toFixed(2) + ':1, ' + (svg ? st.fill : st.color) + ' on rgb(' + bg.slice(0, 3).map(Math.round) + ')');
}
return out;
"""


try:
    # Overview: its numbers against the database.
    open_page("index.html", "overview")
    contrast("index.html")
    check(number("#n-computers") == len(latest), "computers: %s, database %d" % (text_of("#n-computers"), len(latest)))
    inventories = db.execute("SELECT count(*) FROM DeviceID").fetchone()[0]
    check(number("#n-inventories") == inventories, "inventories: %s, database %d" % (text_of("#n-inventories"), inventories))
    as_of = datetime.datetime.strptime(text_of("#as-of"), "%Y-%m-%d %H:%M:%S")
    stale = sum(1 for _, _, when in latest
                if (as_of - datetime.datetime.strptime(when, "%Y-%m-%d %H:%M:%S")).total_seconds() >= 30 * 86400)
    check(number("#n-stale") == stale, "not inventoried for 30 days: %s, database %d" % (text_of("#n-stale"), stale))
    check(stale > 0 and stale < len(latest), "the fleet has both recent and stale computers")
    packages = db.execute("SELECT count(DISTINCT trim(p.Name)) FROM RegSoftwarePackages p JOIN "
                          "(SELECT DeviceName, DomainWorkGrp, max(InvDateTime) AS t FROM DeviceID GROUP BY 1, 2) l "
                          "ON p.DeviceName = l.DeviceName AND p.DomainWorkGrp IS l.DomainWorkGrp AND p.InvDateTime = l.t "
                          "WHERE trim(p.Name) <> ''").fetchone()[0]
    check(number("#n-packages") == packages, "packages: %s, database %d" % (text_of("#n-packages"), packages))
    bars = driver.execute_script(
        "return Array.from(document.querySelectorAll('#chart-os g.bar'), g => [g.dataset.label, g.dataset.value])")
    expected = {}
    for name, domain, when in latest:
        os_row = db.execute("SELECT trim(OSName || ' ' || Version) FROM OSData WHERE DeviceName = ? AND "
                            "DomainWorkGrp IS ? AND InvDateTime = ?", (name, domain, when)).fetchone()
        expected[os_row[0]] = expected.get(os_row[0], 0) + 1
    check({label: int(value) for label, value in bars} == expected, "systems chart %s, database %s" % (bars, expected))
    memory = driver.execute_script(
        "return Array.from(document.querySelectorAll('#chart-memory g.bar'), g => +g.dataset.value)")
    check(sum(memory) == len(latest), "memory chart counts %d computers" % sum(memory))
    # Bars are drawn to scale: widths in proportion to their numbers.
    widths = driver.execute_script(
        "return Array.from(document.querySelectorAll('#chart-os g.bar'), g => [+g.dataset.value, g.querySelector('rect').getBBox().width])")
    ratios = [w / v for v, w in widths if v > 0]
    check(ratios and max(ratios) - min(ratios) < 0.01 * max(ratios), "bars not to scale: %s" % widths)

    # Computers: filter and sort.
    open_page("computers.html", "computers")
    total = len(visible_rows("computers"))
    check(total == len(latest), "computer list has %d rows" % total)
    in_page = driver.execute_script("return document.querySelectorAll('#computers tbody tr:not(.gap)').length")
    check(0 < in_page < total, "the computer list has %d of its %d rows in the page, not those near the screen" % (in_page, total))
    box = driver.find_element(By.CSS_SELECTOR, "input.filter[data-filter-for=computers]")
    box.send_keys("PC0007")
    rows = visible_rows("computers")
    check(len(rows) == 1 and "PC0007" in rows[0][0], "filter PC0007 shows %s" % [r[0] for r in rows])
    box.clear()
    box.send_keys("LAB")
    lab = db.execute("SELECT count(DISTINCT DeviceName) FROM DeviceID WHERE DomainWorkGrp = 'LAB'").fetchone()[0]
    check(len(visible_rows("computers")) == lab, "filter LAB shows %d rows, database %d" % (len(visible_rows("computers")), lab))
    box.clear()
    box.send_keys(" ")
    driver.execute_script("arguments[0].value = ''; arguments[0].dispatchEvent(new Event('input'))", box)
    check(len(visible_rows("computers")) == total, "clearing the filter shows every row")
    # Sorting by keyboard: the header's button, reached with Tab, pressed with Enter.
    header = driver.find_element(By.XPATH, "//table[@id='computers']/thead/tr/th[button[text()='Memory']]")
    button = header.find_element(By.TAG_NAME, "button")
    column = 6
    driver.execute_script("document.querySelector('input.filter').focus()")
    for _ in range(40):
        if driver.switch_to.active_element == button:
            break
        driver.switch_to.active_element.send_keys(Keys.TAB)
    check(driver.switch_to.active_element == button, "the Memory header is not reached with Tab")
    button.send_keys(Keys.ENTER)
    values = [float(r[column]) for r in visible_rows("computers")]
    check(values and values == sorted(values) and values[0] < values[-1], "memory not sorted ascending")
    check(header.get_attribute("aria-sort") == "ascending", "aria-sort is %s" % header.get_attribute("aria-sort"))
    button.click()
    values = [float(r[column]) for r in visible_rows("computers")]
    check(values == sorted(values, reverse=True), "memory not sorted descending")
    check("sort=memory" in driver.current_url and "dir=desc" in driver.current_url,
          "the sort is not in the address: " + driver.current_url)

    # A view from its address: the stale computers, as the overview's card links them.
    open_page("computers.html?q=is%3Astale&sort=latest", "computers-stale")
    contrast("computers.html?q=is%3Astale&sort=latest")
    check(len(visible_rows("computers")) == stale, "computers.html?q=is:stale shows %d rows, %d stale"
          % (len(visible_rows("computers")), stale))
    open_page("computers.html?q=LAB", "computers-lab")
    check(len(visible_rows("computers")) == lab, "computers.html?q=LAB shows %d rows" % len(visible_rows("computers")))

    # The site's search: a MAC address and a package name give links while typing.
    mac = db.execute("SELECT MACAddress FROM NetworkAdapters WHERE DeviceName = 'PC0042' ORDER BY InvDateTime DESC").fetchone()[0]
    search = driver.find_element(By.ID, "qv-search")
    # Pasted in one input event as the index starts loading: the search is made once it is in.
    driver.execute_script("arguments[0].focus(); arguments[0].value = arguments[1]; arguments[0].dispatchEvent(new Event('input'))",
                          search, mac.lower())
    results = lambda: driver.execute_script(
        "return Array.from(document.querySelectorAll('#qv-results a[href]'), a => [a.textContent, a.href])")
    try:
        found = WebDriverWait(driver, 20, poll_frequency=0.05).until(lambda d: results())
    except TimeoutException:
        found = []
    check(len(found) == 1 and "/c/PC0042.html" in found[0][1], "search for %s finds %s" % (mac, found))
    search.clear()
    search.send_keys("fleet mon")
    check(any("/software/" in href and text.startswith("Fleet Monitor") for text, href in results()),
          "search for fleet mon finds %s" % results())

    # Software and one package's page.
    open_page("software.html", "software")
    link = driver.find_element(By.LINK_TEXT, "Fleet Monitor").get_attribute("href")
    package_page = os.path.relpath(urllib.parse.unquote(urllib.parse.urlparse(link).path), os.path.abspath(site))
    open_page(package_page, "package")
    contrast(package_page)
    installs = db.execute("SELECT count(*) FROM RegSoftwarePackages p JOIN "
                          "(SELECT DeviceName, DomainWorkGrp, max(InvDateTime) AS t FROM DeviceID GROUP BY 1, 2) l "
                          "ON p.DeviceName = l.DeviceName AND p.DomainWorkGrp IS l.DomainWorkGrp AND p.InvDateTime = l.t "
                          "WHERE trim(p.Name) = 'Fleet Monitor'").fetchone()[0]
    check(len(visible_rows("installs")) == installs, "Fleet Monitor installs %d, database %d" % (len(visible_rows("installs")), installs))

    # A computer: its history names what was added since the inventory before.
    open_page("c/PC0002.html", "computer")
    contrast("c/PC0002.html")
    times = [t for (t,) in db.execute("SELECT InvDateTime FROM DeviceID WHERE DeviceName = 'PC0002' ORDER BY 1")]
    check(len(times) == 2, "PC0002 has two inventories")
    names = lambda t: {n for (n,) in db.execute("SELECT trim(Name) FROM RegSoftwarePackages WHERE DeviceName = "
                                                "'PC0002' AND InvDateTime = ?", (t,))}
    added = names(times[1]) - names(times[0])
    history = text_of("#history + ol > li")
    check(bool(added), "PC0002 got a package in its second inventory")
    for package in added:
        check("Software added: " + package in history, "history lacks the added package %s: %s" % (package, history))
    check(times[1] in history, "history names the latest inventory's time")

    # The fleet's changes, picked by kind from the address: PC0002's added packages among them.
    open_page("changes.html?q=is%3Asoftware+is%3Aadded", "changes")
    contrast("changes.html?q=is%3Asoftware+is%3Aadded")
    rows = visible_rows("changes")
    check(rows and all(r[2] == "Software" and r[3] == "added" for r in rows), "changes filter shows %s" % rows[:3])
    for package in added:
        check(any("PC0002" in r[1] and r[4].startswith(package) for r in rows), "changes lack PC0002's %s" % package)

    open_page("disks.html", "disks")
    check("Latest inventory" in text_of("#disks thead"), "the disk list has no inventory date")

    # A phone's width: no page scrolls sideways (tables scroll in their own box).
    driver.set_window_size(390, 800)
    for relative in ("index.html", "computers.html", "c/PC0002.html", "disks.html", "software.html"):
        driver.get(page_url(relative))
        width = driver.execute_script("return document.documentElement.scrollWidth")
        check(width <= 390, "%s is %d px wide at 390 px" % (relative, width))
finally:
    driver.quit()

for f in failures:
    print("FAILED: " + f)
print("browser check: %d failures; screenshots in %s" % (len(failures), shots))
sys.exit(1 if failures else 0)
