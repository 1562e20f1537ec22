"""The board in a real browser: Debian's Chromium, headless, driven through
chromium-driver. Usage: browser_test.py QUILLBAR [SCREENSHOT.png]

Plays the first move by clicking, waits for the engine's reply, plays a
multi-jump from a FEN set-up, analyses, and saves and reloads the PDN. With a
screenshot path it also lets the engine play a few moves and photographs the
page (for the README)."""
import datetime
import os
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By

from serve_fixture import Server, wait_for

QUILLBAR = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "quillbar"
SCREENSHOT = sys.argv[2] if len(sys.argv) > 2 else None
MOVE_TIME = 1.0
# The reply comes within the time per move and half a second on a quiet
# machine (the test prints how long it took); a test run shares the machine,
# so it only requires a reply well within this.
REPLY_LIMIT = 10.0
START_BOARD = "bbbbbbbbbbbb--------wwwwwwwwwwww"


def board_of(pieces):
    return "".join(pieces.get(n, "-") for n in range(1, 33))


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for arg in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--disable-dev-shm-usage", "--window-size=1200,1000", f"--user-data-dir={profile}"):
        options.add_argument(arg)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


class BoardInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server(QUILLBAR, "--time", str(MOVE_TIME))
        cls.profile = tempfile.TemporaryDirectory(prefix="qb-chromium-")
        cls.browser = start_browser(cls.profile.name)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.server.stop()
        cls.profile.cleanup()

    def setUp(self):
        self.browser.get(self.server.url + "/")
        self.assertTrue(wait_for(lambda: self.text("turn") == "Black to move", 10), self.text("message"))

    # The page redraws its parts as the engine's messages come in, so they are
    # read in one script each: an element found by one request may be gone
    # by the next.
    def text(self, element_id):
        return self.browser.execute_script(
            "const e = document.getElementById(arguments[0]); return e ? e.innerText.trim() : null;", element_id)

    def click_square(self, n):
        self.browser.find_element(By.ID, f"sq{n}").click()

    def click(self, element_id):
        self.browser.find_element(By.ID, element_id).click()

    def board(self):
        """The board as the page draws it, square 1 first, like the API's."""
        return self.browser.execute_script(
            "let s = ''; for (let n = 1; n <= 32; n++) {"
            " const p = document.querySelector('#sq' + n + ' .piece'); s += p ? p.dataset.piece : '-'; }"
            " return s;")

    def moves(self):
        return self.browser.execute_script(
            "return [...document.querySelectorAll('#moves span')].map(e => e.innerText.trim());")

    def set_fen(self, fen):
        box = self.browser.find_element(By.ID, "fen")
        box.clear()
        box.send_keys(fen)
        self.click("set-fen")
        self.assertTrue(wait_for(lambda: "set up" in self.text("message"), 5), self.text("message"))

    def test_move_by_clicks_gets_the_engines_reply(self):
        self.assertEqual(self.board(), START_BOARD)
        self.click_square(11)
        dests = self.browser.find_elements(By.CSS_SELECTOR, ".sq.dest")
        self.assertEqual(sorted(int(d.get_attribute("data-square")) for d in dests), [15, 16])
        self.click_square(15)
        clicked = time.monotonic()
        replied = wait_for(lambda: len(self.moves()) == 2, REPLY_LIMIT)
        waited = time.monotonic() - clicked
        self.assertTrue(replied, f"no reply within {REPLY_LIMIT} s: {self.text('message')}")
        first, reply = self.moves()
        self.assertEqual(first, "11-15")
        board = self.board()
        self.assertEqual(board[10] + board[14], "-b")
        start, end = (int(s) for s in reply.split("-"))
        self.assertEqual(board[start - 1] + board[end - 1], "-w", f"{reply} on {board}")
        self.assertEqual(self.text("turn"), "Black to move")
        print(f"engine replied {reply} after {waited:.2f} s", file=sys.stderr)

    def test_multi_jump_from_a_fen_then_analysis_and_pdn(self):
        fen = "B:W6,15,30:B1,12"
        self.set_fen(fen)
        self.assertEqual(self.board(), board_of({1: "b", 12: "b", 6: "w", 15: "w", 30: "w"}))
        self.click_square(1)
        self.click_square(19)  # the end square alone: only one jump route
        self.assertTrue(wait_for(lambda: self.moves() == ["1x10x19"], 5), self.text("message"))
        board = self.board()
        self.assertEqual((board[0], board[5], board[14], board[18]), ("-", "-", "-", "b"))
        self.assertEqual(self.text("turn"), "White to move")

        self.click("analyse")
        rows = wait_for(lambda: self.browser.find_elements(By.CSS_SELECTOR, "#analysis tbody tr"), 10)
        self.assertTrue(rows, self.text("message"))
        self.assertEqual(sorted(r.find_element(By.CSS_SELECTOR, "td").text for r in rows), ["30-25", "30-26"])
        self.assertIn("White to move", self.text("a-score-head"))
        self.assertTrue(self.browser.find_elements(By.CSS_SELECTOR, ".sq.good"))

        self.click("save-pdn")
        pdn = wait_for(lambda: self.browser.find_element(By.ID, "pdn").get_property("value"), 5)
        date = datetime.date.today().strftime("%Y.%m.%d")
        self.assertEqual(pdn, f'[Event "Quillbar game"]\n[Date "{date}"]\n[Black "Player"]\n'
                              f'[White "Player"]\n[Result "*"]\n[GameType "21"]\n[FEN "{fen}"]\n\n'
                              "1. 1x10x19 *\n\n")
        self.click("new-free")
        self.assertTrue(wait_for(lambda: self.moves() == [], 5))
        self.click("load-pdn")
        self.assertTrue(wait_for(lambda: self.moves() == ["1x10x19"], 5), self.text("message"))
        self.assertEqual(self.board(), board)

    def test_illegal_move_is_refused_and_a_drag_plays(self):
        self.click_square(11)
        self.click_square(18)
        self.assertIn("Not a legal move", self.text("message"))
        self.assertEqual((self.board(), self.moves()), (START_BOARD, []))
        square = lambda n: self.browser.find_element(By.ID, f"sq{n}")
        ActionChains(self.browser).click_and_hold(square(9)).move_to_element(square(14)).release().perform()
        self.assertTrue(wait_for(lambda: self.moves()[:1] == ["9-14"], 5), self.text("message"))


def take_screenshot(path):
    """A game in progress: the engine plays itself for a few moves, and the
    picture is taken while it thinks."""
    server = Server(QUILLBAR, "--time", "2")
    profile = tempfile.TemporaryDirectory(prefix="qb-chromium-")
    browser = start_browser(profile.name)
    try:
        browser.get(server.url + "/")
        wait_for(lambda: browser.find_element(By.ID, "turn").text, 10)
        box = browser.find_element(By.ID, "time")
        box.clear()
        box.send_keys("0.3")
        browser.find_element(By.ID, "new-self").click()
        wait_for(lambda: len(browser.find_elements(By.CSS_SELECTOR, "#moves span")) >= 14, 60)
        box.clear()
        box.send_keys("3")
        wait_for(lambda: browser.find_element(By.ID, "t-depth").text not in ("", "-") and
                 len(browser.find_element(By.ID, "t-pv").text) > 12, 15)
        time.sleep(1)
        browser.save_screenshot(path)
    finally:
        browser.quit()
        server.stop()
        profile.cleanup()


if __name__ == "__main__":
    if SCREENSHOT:
        take_screenshot(SCREENSHOT)
    else:
        unittest.main(argv=sys.argv[:1], verbosity=2)
