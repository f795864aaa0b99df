"""The reference pages in a real headless Chromium against `ksmain serve` on the demo
databases: the project list with its bars, the Gantt chart, a save through the project
form seen after a reload, a catalogue search, and the list at phone width. A screenshot
of each goes to the folder given.

Usage: pages_test.py KSMAIN_TOOL SCREENSHOT_DIR"""
import os
import shutil
import sys
import tempfile
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service as DriverService
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as when
from selenium.webdriver.support.ui import WebDriverWait

from harness import Service, kestrel, make_demo

TOOL = None
SHOTS = None


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--window-size=1280,1000"):
        options.add_argument(flag)
    options.add_argument("--user-data-dir=" + tempfile.mkdtemp(prefix="ksmain-chromium-"))
    return webdriver.Chrome(service=DriverService("/usr/bin/chromedriver"), options=options)


class PagesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="ksmain-pages-")
        make_demo(TOOL, cls.root)
        cls.service = Service(TOOL, cls.root)
        cls.db = "server=localhost;Database=portfolio"
        cls.driver = browser()
        cls.wait = WebDriverWait(cls.driver, 30)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        code = cls.service.stop()
        shutil.rmtree(cls.root)
        assert code == 0, f"the service ended with {code}"

    def open(self, page):
        self.driver.set_window_size(1280, 1000)
        self.driver.get(self.service.url + page)

    def shot(self, name, element=None):
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name)
        if element is None:
            self.driver.save_screenshot(path)
        else:
            # Headless Chromium clips an element's picture to the window: make it tall enough.
            height = self.driver.execute_script("return arguments[0].getBoundingClientRect().bottom + scrollY", element)
            self.driver.set_window_size(1280, int(height) + 200)
            element.screenshot(path)

    def assert_no_error(self):
        box = self.driver.find_element(By.ID, "error")
        self.assertFalse(box.is_displayed(), box.text)

    def project_rows(self):
        self.wait.until(when.presence_of_element_located((By.CSS_SELECTOR, "#project-table tbody tr")))
        return self.driver.find_elements(By.CSS_SELECTOR, "#project-table tbody tr")

    def test_1_project_list_has_every_project_with_its_bar(self):
        self.open("index.html")
        rows = self.project_rows()
        grid = self.service.call(kestrel("Get_ProjectListAll", None, self.db, None, "", "", "", "", "", ""))[0]["args"][0]
        expected = grid["v"][0][0]["v"]
        self.assertEqual(len(rows), expected)
        names = [r.find_elements(By.TAG_NAME, "td")[1].text for r in rows]
        self.assertEqual(names, [grid["v"][r][1] for r in range(1, expected + 1)])
        for row in rows:
            self.assertEqual(len(row.find_elements(By.CSS_SELECTOR, ".bar span")), 10)
        coloured = self.driver.execute_script(
            "return [...document.querySelectorAll('#project-table .bar span')].filter(s => s.style.background).length")
        self.assertGreater(coloured, 0, "no bar cell carries a colour")
        self.assert_no_error()
        self.shot("portfolio.png")

    def test_2_gantt_has_one_bar_per_project_in_the_period(self):
        self.open("index.html")
        self.wait.until(when.presence_of_element_located((By.CSS_SELECTOR, "svg.gantt rect.gantt-bar")))
        bars = self.driver.find_elements(By.CSS_SELECTOR, "#gantt svg rect.gantt-bar")
        grid = self.service.call(kestrel("Get_ProjectListAllGanttChartView", None, self.db, None, "", "Z", "", "", "", "",
                                         "1/1/2026", "6/30/2026"))[0]["args"][0]
        ids = sorted(str(grid["v"][4][r]) for r in range(1, grid["v"][0][0]["v"] + 1))
        self.assertEqual(sorted(b.get_attribute("data-id") for b in bars), ids)
        bars[0].click()
        self.wait.until(when.presence_of_element_located((By.CSS_SELECTOR, "#gantt-steps svg")))
        self.assert_no_error()
        self.shot("gantt.png", self.driver.find_element(By.ID, "gantt-section"))

    def test_3_saved_project_shows_after_reload(self):
        self.open("index.html")
        link = self.project_rows()[0].find_element(By.CSS_SELECTOR, "a[data-id]")
        project = link.get_attribute("data-id")
        link.click()
        form = self.wait.until(when.visibility_of_element_located((By.ID, "project-form")))
        self.wait.until(lambda d: form.find_element(By.NAME, "name").get_attribute("value"))
        name = form.find_element(By.NAME, "name")
        name.clear()
        name.send_keys("Renamed in the browser")
        comments = form.find_element(By.NAME, "comments")
        comments.clear()
        comments.send_keys("Saved by the page test & checked after a reload")
        form.find_element(By.CSS_SELECTOR, "button[type=submit]").click()
        self.wait.until(when.text_to_be_present_in_element((By.ID, "save-rc"), "RC OK"))
        self.driver.refresh()
        self.project_rows()
        self.driver.find_element(By.CSS_SELECTOR, f"#project-table a[data-id='{project}']").click()
        self.wait.until(when.text_to_be_present_in_element((By.ID, "project-title"), "Renamed in the browser"))
        self.assertIn("checked after a reload", self.driver.find_element(By.ID, "project-detail").text)
        self.assert_no_error()
        self.shot("project.png", self.driver.find_element(By.ID, "project-section"))

    def test_4_catalogue_search_lists_the_expected_entries(self):
        cat = "server=localhost;Database=veldaSQL"
        grid = {"$": "array", "lbound": [0, 0], "ubound": [250, 25], "v": [[None] * 26 for _ in range(251)]}
        found = self.service.call({"object": "KsMain.InsertTable_summary", "calls": [{"member": "Get_SimpleSearch", "args": [
            grid, cat, None, "", "", "", "", "", "", "pump filter", "", "1", ""]}]})[0]["args"][0]["v"]
        count = found[0][0]["v"] if isinstance(found[0][0], dict) else found[0][0]
        expected = [found[r][1] for r in range(1, count + 1)]
        self.assertGreater(len(expected), 0, "the demo catalogue should have pump and filter entries")
        self.open("catalogue.html")
        self.wait.until(when.presence_of_element_located((By.CSS_SELECTOR, "#tree table")))
        self.driver.find_element(By.NAME, "words").send_keys("pump filter")
        self.driver.find_element(By.CSS_SELECTOR, "#search-form button").click()
        self.wait.until(when.presence_of_element_located((By.CSS_SELECTOR, "#search-results table")))
        titles = [r.find_elements(By.TAG_NAME, "td")[1].text
                  for r in self.driver.find_elements(By.CSS_SELECTOR, "#search-results tbody tr")]
        self.assertEqual(titles, expected)
        self.assert_no_error()
        self.shot("catalogue.png")

    def test_5_phone_width_and_shown_errors(self):
        self.driver.set_window_size(390, 844)
        self.driver.get(self.service.url + "index.html")
        self.project_rows()
        overflow = self.driver.execute_script("return document.documentElement.scrollWidth - window.innerWidth")
        self.assertLessEqual(overflow, 0, "the page scrolls sideways at phone width")
        self.shot("portfolio-phone.png")
        # An error from the service is shown, not swallowed.
        self.driver.execute_script("localStorage.setItem('ksmain.portfolio', 'Data Source=/etc/passwd'); location.reload()")
        self.wait.until(when.visibility_of_element_located((By.ID, "error")))
        self.driver.execute_script("localStorage.clear()")


if __name__ == "__main__":
    TOOL = sys.argv.pop(1)
    SHOTS = sys.argv.pop(1)
    unittest.main(verbosity=2)
