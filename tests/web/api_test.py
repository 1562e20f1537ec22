"""The HTTP API of `quillbar serve`, spoken to directly: the answers, the
error answers, the Host and Origin rule, the bound on engines, the idle
ending, and an engine that crashes. Usage: api_test.py QUILLBAR FAKE_ENGINE_DIR"""
import http.client
import json
import os
import sys
import time
import unittest

from serve_fixture import Server, wait_for

QUILLBAR = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "quillbar"
FAKE_ENGINES = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else ""
# Sanitizer builds have no endgame databases; without them the engine spends
# its first seconds looking for them, and cannot give their verdicts.
DATABASES = "--no-databases" not in sys.argv


def request(server, method, path, body=None, headers=None, raw=None):
    """(status, parsed JSON or text) of one request."""
    connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=30)
    data = raw if raw is not None else (json.dumps(body) if body is not None else "")
    connection.request(method, path, body=data, headers={"Content-Type": "application/json", **(headers or {})})
    answer = connection.getresponse()
    text = answer.read().decode()
    connection.close()
    try:
        return answer.status, json.loads(text)
    except ValueError:
        return answer.status, text


class Events:
    """The event stream of one game, read until a move or a failure."""

    def __init__(self, server, game):
        self.connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=60)
        self.connection.request("GET", f"/api/games/{game}/events")
        self.stream = self.connection.getresponse()

    def until_done(self):
        seen, kind = [], None
        for line in self.stream:
            line = line.decode().rstrip("\n")
            if line.startswith("event: "):
                kind = line[7:]
            elif line.startswith("data: "):
                seen.append((kind, json.loads(line[6:])))
                if kind in ("move", "failure"):
                    break
        self.connection.close()
        return seen


class Api(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server(QUILLBAR, "--max-games", "2")

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def test_state_replays_the_game(self):
        status, state = request(self.server, "POST", "/api/state", {"moves": ["11-15", "22-18"]})
        self.assertEqual(status, 200)
        self.assertEqual(state["side"], "black")
        self.assertEqual([m["text"] for m in state["legal"]], ["15x22"])
        self.assertEqual(state["positions"][2]["fen"], "B:W18,21,23-32:B1-10,12,15")

    def test_bad_requests_get_a_clear_error(self):
        big = json.dumps({"pdn": "x" * 300_000})
        cases = [
            ("POST", "/api/state", {"moves": ["11-15", "11-15"]}, None, 400, "not a legal move"),
            ("POST", "/api/state", {"fen": "B:W33:B1"}, None, 400, "cannot read the position"),
            ("POST", "/api/state", {"fen": "W:W29:B32"}, None, 400, "crowning row"),
            ("POST", "/api/state", {"moves": "11-15"}, None, 400, "'moves' must be a list"),
            ("POST", "/api/state", None, "[1, 2", 400, "not a JSON object"),
            ("POST", "/api/pdn/read", {"pdn": "1. 11-15 11-15 *"}, None, 400, ""),
            ("POST", "/api/pdn/read", None, big, 413, "too large"),
            ("POST", "/api/games/0123456789abcdef/think", {}, None, 404, "no such game"),
            ("GET", "/api/unknown", None, None, 404, "unknown request"),
            ("GET", "/../../etc/passwd", None, None, 404, "Not found"),
            ("GET", "/app.js/../../CMakeLists.txt", None, None, 404, "Not found"),
        ]
        for method, path, body, raw, want_status, want_text in cases:
            with self.subTest(path=path, body=body):
                status, answer = request(self.server, method, path, body, raw=raw)
                self.assertEqual(status, want_status, answer)
                text = answer["error"] if isinstance(answer, dict) else answer
                self.assertIn(want_text, text)
        self.assertTrue(self.server.alive())

    def test_only_this_servers_own_pages_may_use_it(self):
        own = f"127.0.0.1:{self.server.port}"
        cases = [
            ({"Host": own}, 200),
            ({"Host": f"localhost:{self.server.port}", "Origin": f"http://localhost:{self.server.port}"}, 200),
            ({"Host": own, "Origin": f"http://{own}"}, 200),
            ({"Host": "evil.example:80"}, 403),
            ({"Host": f"attacker.example:{self.server.port}"}, 403),  # a name rebound to 127.0.0.1
            ({"Host": own, "Origin": "http://evil.example"}, 403),
            ({"Host": own, "Origin": "null"}, 403),
        ]
        for headers, want in cases:
            with self.subTest(headers=headers):
                status, _ = request(self.server, "POST", "/api/state", {}, headers=headers)
                self.assertEqual(status, want)

    def test_page_and_help_are_served(self):
        status, page = request(self.server, "GET", "/")
        self.assertEqual(status, 200)
        self.assertIn('src="/app.js"', page)
        status, help_page = request(self.server, "GET", "/help")
        self.assertIn(status, (200, 404))
        if status == 404:
            self.assertIn("help file", help_page)

    def test_pdn_round_trip(self):
        game = {"fen": "B:W6,15,30:B1,12", "moves": ["1x19"], "tags": [["Event", 'a "quoted" name']]}
        status, written = request(self.server, "POST", "/api/pdn/write", game)
        self.assertEqual(status, 200)
        self.assertIn('[FEN "B:W6,15,30:B1,12"]', written["pdn"])
        self.assertIn("1. 1x10x19 *", written["pdn"])
        status, read = request(self.server, "POST", "/api/pdn/read", {"pdn": written["pdn"]})
        self.assertEqual((status, read["moves"], read["tags"]["Event"]), (200, ["1x10x19"], 'a "quoted" name'))

    @unittest.skipUnless(DATABASES, "needs the endgame databases of the build")
    def test_engine_moves_and_the_number_of_engines_is_bounded(self):
        status, first = request(self.server, "POST", "/api/games", {})
        self.assertEqual(status, 201)
        status, second = request(self.server, "POST", "/api/games", {})
        self.assertEqual(status, 201)
        status, busy = request(self.server, "POST", "/api/games", {})
        self.assertEqual(status, 503)
        self.assertIn("busy", busy["error"])

        game = first["id"]
        events = Events(self.server, game)
        fen = "B:W20,22,24,25,27,28,30,31,32:B1,3,4,6,7,9,10,12,13"  # out of the book
        # Long enough that the search outlasts opening the databases on a
        # busy machine, and its thinking is seen before its move.
        status, _ = request(self.server, "POST", f"/api/games/{game}/think", {"fen": fen, "time": 5})
        self.assertEqual(status, 202)
        status, again = request(self.server, "POST", f"/api/games/{game}/think", {"fen": fen, "time": 1})
        self.assertEqual(status, 409)
        seen = events.until_done()
        kinds = [k for k, _ in seen]
        self.assertEqual(kinds[-1], "move", seen)
        self.assertTrue(any("depth" in data for kind, data in seen if kind == "status"), seen)
        status, state = request(self.server, "POST", "/api/state", {"fen": fen, "moves": [seen[-1][1]["move"]]})
        self.assertEqual(status, 200)

        # Inside the endgame databases the analysis gives their verdict, the
        # scores from the side to move's view.
        status, analysis = request(self.server, "POST", f"/api/games/{game}/analyse",
                                   {"fen": "W:W30:B1,2", "time": 0.2})
        self.assertEqual(status, 200, analysis)
        self.assertEqual(analysis["verdict"], "endgame database: Black wins")
        self.assertEqual(sorted(m["text"] for m in analysis["moves"]), ["30-25", "30-26"])
        self.assertTrue(all(m["score"] < 0 for m in analysis["moves"] if m["good"]), analysis)

        for ended in (first, second):
            request(self.server, "POST", f"/api/games/{ended['id']}/close", {})
        status, _ = request(self.server, "POST", "/api/games", {})
        self.assertEqual(status, 201)


class FailingEngines(unittest.TestCase):
    def test_a_crashing_engine_loses_its_game_not_the_server(self):
        server = Server(QUILLBAR, "--engine", os.path.join(FAKE_ENGINES, "libfake_engine_crash.so"))
        try:
            _, game = request(server, "POST", "/api/games", {})
            events = Events(server, game["id"])
            status, _ = request(server, "POST", f"/api/games/{game['id']}/think", {"moves": ["11-15"], "time": 0.2})
            self.assertEqual(status, 202)
            kind, data = events.until_done()[-1]
            self.assertEqual(kind, "failure")
            self.assertIn("crashed", data["error"])
            # The next request starts a fresh engine for the game.
            status, answer = request(server, "POST", f"/api/games/{game['id']}/analyse", {"moves": ["11-15"]})
            self.assertEqual(status, 200, answer)
            self.assertTrue(server.alive())
            self.assertEqual(request(server, "POST", "/api/state", {})[0], 200)
        finally:
            server.stop()

    def test_an_idle_game_ends(self):
        server = Server(QUILLBAR, "--idle", "1")
        try:
            _, game = request(server, "POST", "/api/games", {})
            path = f"/api/games/{game['id']}/stop"
            self.assertEqual(request(server, "POST", path, {})[0], 200)
            time.sleep(3)  # every request keeps a game alive: look only once
            self.assertEqual(request(server, "POST", path, {})[0], 404)
        finally:
            server.stop()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
