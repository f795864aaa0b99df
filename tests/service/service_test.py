"""`ksmain serve` from outside: the bridge contract over HTTP, the refusals and limits,
confinement of connection strings, concurrent writers, the statement time limit, and a
clean stop with requests in flight.

Usage: service_test.py KSMAIN_TOOL"""
import json
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from harness import Service, kestrel, make_demo

TOOL = None
TOKEN = "s3cret-token"
LIMITS = {"body_bytes": 65536, "json_depth": 16, "cells": 1000, "calls": 8, "statement_seconds": 1}


def count_cell(grid):
    """Cell (0, 0) of a row-first grid in the bridge encoding: the row count or None."""
    cell = grid["v"][0][0]
    return cell["v"] if isinstance(cell, dict) else cell


class ServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="ksmain-service-")
        cls.data = os.path.join(cls.root, "data")
        cls.outside = os.path.join(cls.root, "outside")
        os.makedirs(cls.data)
        os.makedirs(cls.outside)
        make_demo(TOOL, cls.data)
        make_demo(TOOL, cls.outside)
        os.symlink(os.path.join(cls.outside, "portfolio.db"), os.path.join(cls.data, "link.db"))
        cls.db = "Data Source=" + os.path.join(cls.data, "portfolio.db")
        cls.service = Service(TOOL, cls.data, token=TOKEN,
                              config={"limits": LIMITS, "servers": {"localhost": cls.data}})

    @classmethod
    def tearDownClass(cls):
        code = cls.service.stop()
        shutil.rmtree(cls.root)
        assert code == 0, f"the service ended with {code}"

    # 1.x: the same answer as `ksmain call`, byte for byte.
    def test_answers_as_the_bridge_does(self):
        cat = "Data Source=" + os.path.join(self.data, "veldaSQL.db")
        requests = [
            kestrel("Get_StatusAll", None, self.db, None, ""),
            kestrel("get_projectlistall", None, self.db, None, "", "", "", "", "", ""),
            kestrel("Get_ProjectSpecific", None, self.db, 3),
            kestrel("Get_rptKaizenEvents", None, self.db, "%", "1/1/2020", "12/31/2030"),
            kestrel("NoSuchMember", 1, 2),
            {"object": "KsMain.Nothing", "calls": [{"member": "x", "args": [1]}]},
            {"object": "KsMain.InsertTable_summary",
             "calls": [{"member": "Get_Categories", "args": [None, cat, None, "", "", "", "", "", "", ""]},
                       {"member": "GetCategoryName", "args": [None, {"$": "i2", "v": 1}, cat]}]},
            {"object": "KsMain.Kestrel", "calls": [{"member": "setProgressBarTarget", "args": ["red"]},
                                                  {"member": "Get_TypeAll", "args": [None, self.db, None, None]}]},
        ]
        for n, request in enumerate(requests, 1):
            with self.subTest(case=f"1.{n}"):
                status, text = self.service.post(request)
                self.assertEqual(status, 200, text)
                tool = subprocess.run([TOOL, "call"], input=json.dumps(request), capture_output=True, text=True)
                self.assertEqual(tool.returncode, 0, tool.stderr)
                self.assertEqual(text, tool.stdout)

    # 2.x: refusals, each with a JSON error naming what is wrong.
    def test_refusals(self):
        ok = kestrel("Get_StatusAll", None, self.db, None, "")
        deep = "[" * 40 + "]" * 40
        many_calls = {"object": "KsMain.Kestrel", "calls": [{"member": "Get_StatusAll"}] * 9}
        big_grid = kestrel("Get_StatusAll", {"$": "array", "lbound": [0, 0], "ubound": [100000, 1000], "v": []},
                           self.db, None, "")
        many_cells = kestrel("Get_StatusAll", list(range(1001)), self.db, None, "")
        cases = [
            # (request body, extra headers, status, word in the error)
            (ok, {"Authorization": ""}, 401, "token"),
            (ok, {"Authorization": "Bearer wrong-token!"}, 401, "token"),
            (ok, {"Authorization": "Bearer " + TOKEN[:-1]}, 401, "token"),
            (ok, {"Authorization": "Basic " + TOKEN}, 401, "token"),
            (dict(ok, settings={"servers": {"localhost": "/"}}), {}, 403, "settings"),
            (dict(ok, settings={}), {}, 403, "settings"),
            # A malformed request is refused as the bridge refuses it (BridgeCall.*), as a 400.
            ("{not json", {}, 400, "malformed"),
            (kestrel("Get_StatusAll", {"$": "cy", "v": "abc"}), {}, 400, "currency"),
            (deep, {}, 413, "nests"),
            (many_calls, {}, 413, "calls"),
            (big_grid, {}, 413, "cells"),
            (many_cells, {}, 413, "cells"),
            ("[" + " " * 70000 + "]", {}, 413, "large"),
        ]
        for n, (body, headers, status, word) in enumerate(cases, 1):
            with self.subTest(case=f"2.{n}"):
                got, text = self.service.post(body, headers)
                self.assertEqual(got, status, text)
                self.assertIn(word, json.loads(text)["error"])
        # The token guards the metrics too; health is open to the load balancer.
        self.assertEqual(self.service.get("/metrics")[0], 401)
        self.assertEqual(self.service.get("/health"), (200, '{"status":"ok"}\n'))

    # 3.x: connection strings reach only databases inside the data folder. (Every kind of
    # path the confinement refuses: ResolveTest.AllowedFoldersConfineEveryString.)
    def test_confinement(self):
        created = os.path.join(self.outside, "new.db")
        cases = [
            "Data Source=" + os.path.join(self.outside, "portfolio.db"),  # a real database outside
            "Data Source=" + os.path.join(self.data, "link.db"),  # a symbolic link pointing out
            "Data Source=" + created,
        ]
        for n, connect in enumerate(cases, 1):
            with self.subTest(case=f"3.{n}", connect=connect):
                result = self.service.call(kestrel("Get_StatusAll", None, connect, None, ""))[0]
                # The member's trap ends it silently: no error, the count cell stays Empty.
                self.assertIsNone(result["error"])
                self.assertIsNone(count_cell(result["args"][0]))
        self.assertFalse(os.path.exists(created))
        # The same database is served from inside, and through the servers map.
        for connect in (self.db, "server=localhost;Database=portfolio"):
            result = self.service.call(kestrel("Get_StatusAll", None, connect, None, ""))[0]
            self.assertGreater(count_cell(result["args"][0]), 0, connect)

    # 4.1: eight clients writing at once; what was reported OK is there, nothing else is.
    def test_concurrent_writers(self):
        reported = {}
        lock = threading.Lock()

        def writer(client):
            c = self.service.connection()
            for i in range(12):
                name = f"w{client}-{i}"
                step = ["INS", "", name, 1, 1, "", "", "", "", "", "", "", "", 1, "", "", name, "0"]
                request = {"object": "KsMain.KsMaint", "calls": [
                    {"member": "INS_UPD_ProjectSteps", "args": [step, self.db, ""]}]}
                kaizen = kestrel("ManageKaizenEvents",
                                 f"insert into KaizenEvents (KaizenEvent, Units) values ('{name}', 'u')", self.db, "")
                step_rc = self.service.call(request, c)[0]["args"][2]
                kaizen_rc = self.service.call(kaizen, c)[0]["args"][2]
                with lock:
                    reported[name] = (step_rc == "OK", kaizen_rc == "OK")
            c.close()

        threads = [threading.Thread(target=writer, args=(n,)) for n in range(8)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(len(reported), 96)

        with sqlite3.connect(os.path.join(self.data, "portfolio.db")) as db:
            steps = {r[0] for r in db.execute("SELECT StepName FROM ProjectSteps WHERE StepName LIKE 'w%-%'")}
            events = {r[0] for r in db.execute("SELECT KaizenEvent FROM KaizenEvents WHERE KaizenEvent LIKE 'w%-%'")}
        self.assertEqual(steps, {n for n, (ok, _) in reported.items() if ok})
        self.assertEqual(events, {n for n, (_, ok) in reported.items() if ok})
        # A writer may give up after the one-second limit on its busy wait; most get through.
        self.assertGreater(len(steps), 48)
        self.assertGreater(len(events), 48)

    # 5.1: a statement past the limit fails the member; the service answers on.
    def test_statement_time_limit(self):
        start = time.time()
        result = self.service.call(kestrel(
            "ManageKaizenEvents",
            "SELECT count(*) FROM ProjectSteps a, ProjectSteps b, ProjectSteps c, ProjectSteps d", self.db, ""))[0]
        self.assertEqual(result["args"][2], "", "the statement must not have finished")
        self.assertLess(time.time() - start, 10)

    def metric_samples(self):
        status, text = self.service.get("/metrics", {"Authorization": "Bearer " + TOKEN})
        self.assertEqual(status, 200)
        samples = {}
        for line in text.splitlines():
            if not line.startswith("#"):
                key, value = line.rsplit(" ", 1)
                samples[key] = float(value)
        return samples

    # 6.1: metrics in the Prometheus text format, counting what was asked.
    def test_metrics(self):
        self.service.call(kestrel("Get_StatusAll", None, self.db, None, ""))
        self.service.call(kestrel("Made_Up_Name"))
        samples = self.metric_samples()
        self.assertGreaterEqual(samples['ksmain_member_calls_total{member="get_statusall"}'], 1)
        self.assertGreaterEqual(samples['ksmain_member_failures_total{member="(unknown)"}'], 1)
        self.assertNotIn('ksmain_member_calls_total{member="made_up_name"}', samples)
        self.assertGreaterEqual(samples['ksmain_call_duration_seconds_count'],
                                samples['ksmain_call_duration_seconds_bucket{le="0.001"}'])
        self.assertIn('ksmain_pool_sessions{state="idle"}', samples)
        # The second status list of the run is answered from the translation cache.
        self.service.call(kestrel("Get_StatusAll", None, self.db, None, ""))
        after = self.metric_samples()
        self.assertGreater(after['ksmain_translations_total{cache="exact_hit"}'],
                           samples['ksmain_translations_total{cache="exact_hit"}'])


class ShutdownTest(unittest.TestCase):
    # 7.1: SIGTERM with requests in flight: each finishes whole, then the process exits 0.
    def test_requests_in_flight_finish(self):
        root = tempfile.mkdtemp(prefix="ksmain-stop-")
        try:
            make_demo(TOOL, root)
            service = Service(TOOL, root)
            db = "Data Source=" + os.path.join(root, "portfolio.db")
            heavy = {"object": "KsMain.Kestrel", "calls": [
                {"member": "Get_ProjectListAll", "args": [None, db, None, "", "", "", "", "", ""]}] * 40}
            outcomes = []
            signalled = threading.Event()

            def client():
                while True:
                    began_before_signal = not signalled.is_set()
                    try:
                        status, text = service.post(heavy)
                    except OSError:
                        return  # refused or closed: the service has stopped accepting
                    whole = status == 200 and len(json.loads(text)["results"]) == 40
                    outcomes.append((began_before_signal and signalled.is_set(), whole))

            threads = [threading.Thread(target=client) for _ in range(4)]
            for t in threads:
                t.start()
            time.sleep(0.8)
            signalled.set()
            code = service.stop(timeout=30)
            for t in threads:
                t.join(30)
            self.assertEqual(code, 0)
            self.assertTrue(outcomes and all(whole for _, whole in outcomes), outcomes)
            self.assertTrue(any(in_flight for in_flight, _ in outcomes), "no request was in flight at the signal")
        finally:
            shutil.rmtree(root)


if __name__ == "__main__":
    TOOL = sys.argv.pop(1)
    unittest.main(verbosity=2)
