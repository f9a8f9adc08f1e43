"""Tests of the zarq package against the built library (ZARQ_LIBRARY, the
installed one or build/native)."""

from __future__ import annotations

import contextlib
import io
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest
from pathlib import Path

import numpy as np
import pandas as pd

import zarq
from zarq import _moments
from zarq.__main__ import main as cli_main

SAMPLE = Path(__file__).with_name("data") / "msft-2000-2001-daily.csv"
PACKAGE_ROOT = Path(zarq.__file__).resolve().parents[1]


def sample() -> pd.DataFrame:
    frame = pd.read_csv(SAMPLE, sep=";", index_col=0, parse_dates=True)
    frame.index.name = "date"
    return frame


def snapshot(folder: Path) -> dict:
    """Every file's bytes, but the stamp that each open of the folder writes
    in the master headers (4 bytes at offset 49)."""
    files = {p.name: bytearray(p.read_bytes()) for p in sorted(folder.iterdir()) if p.is_file()}
    for name in ("MASTER", "EMASTER"):
        files[name][49:53] = bytes(4)
    return files


class DatabaseCase(unittest.TestCase):
    """A new database holding the sample as daily MSFT."""

    def setUp(self):
        self.folder = Path(tempfile.mkdtemp(prefix="zarq-py-"))
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.path = self.folder / "db"
        self.frame = sample()
        with zarq.Database(self.path, create=True) as db:
            db.add("MSFT", "Microsoft", fields=("open", "high", "low")).write(self.frame)

    def open(self) -> zarq.Database:
        db = zarq.Database(self.path)
        self.addCleanup(db.close)
        return db


class RoundTripTest(DatabaseCase):
    def test_sample_reads_back_as_stored(self):
        db = self.open()
        sec = db["MSFT"]
        history = sec.read()
        self.assertEqual(history.dtype.names, ("date", "open", "high", "low", "close", "volume"))
        self.assertEqual(history["date"].dtype, np.dtype("datetime64[D]"))
        self.assertEqual(len(history), len(self.frame))
        np.testing.assert_array_equal(history["date"], self.frame.index.values.astype("M8[D]"))
        for column in self.frame.columns:  # stored as singles: equal to float32
            np.testing.assert_array_equal(history[column.lower()],
                                          self.frame[column].to_numpy(np.float32))
        got = sec.to_pandas()
        self.assertIsInstance(got.index, pd.DatetimeIndex)
        self.assertEqual(got.index.name, "date")
        self.assertTrue(got.index.equals(self.frame.index))
        self.assertEqual(list(got.columns), ["open", "high", "low", "close", "volume"])
        self.assertEqual(set(got.dtypes), {np.dtype(np.float32)})
        self.assertEqual((sec.symbol, sec.name, sec.period, sec.interval, sec.record_count),
                         ("MSFT", "Microsoft", "D", 0, len(self.frame)))
        self.assertEqual((sec.first_date, sec.last_date), (self.frame.index[0].date(),
                                                           self.frame.index[-1].date()))
        self.assertIsNone(sec.parts)

    def test_ranges(self):
        sec = self.open()["MSFT"]
        index = self.frame.index
        for start, end in [("2001-01-01", "2001-01-31"), (None, "2000-10-02"),
                           (index[-3], None), ("2001-02-03", "2001-02-04"),
                           ("1990-01-01", "1990-12-31"), ("2005-01-01", None)]:
            with self.subTest(start=start, end=end):
                want = index[(index >= pd.Timestamp(start or index[0]))
                             & (index <= pd.Timestamp(end or index[-1]))]
                got = sec.read(start, end)["date"]
                np.testing.assert_array_equal(got, want.values.astype("M8[D]"))

    def test_intraday_moments_and_ticks(self):
        db = self.open()
        sec = db.add("MSFT", "Microsoft 5 min", period="I", interval=5)
        moments = pd.DatetimeIndex(["2001-09-27 09:30", "2001-09-27 09:35",
                                    "2001-09-27 09:35:00.007", "2001-09-28 16:00"])
        bars = pd.DataFrame({"close": [1.5, 2.5, 3.5, 4.5], "volume": 100.0,
                             "open": 1.0, "high": 5.0, "low": 0.25}, index=moments[::-1])
        self.assertEqual(sec.write(bars), 4)  # sorted on the way in
        history = sec.read()
        self.assertEqual(history["date"].dtype, np.dtype("datetime64[ms]"))
        np.testing.assert_array_equal(history["date"], moments.values.astype("M8[ms]"))
        np.testing.assert_array_equal(history["close"], [4.5, 3.5, 2.5, 1.5])
        self.assertEqual(len(sec.read("2001-09-27", "2001-09-27")), 3)
        self.assertEqual(db.find("MSFT", "I", 5), sec)
        self.assertEqual(str(sec.last_date), "2001-09-28 16:00:00")

    def test_write_modes(self):
        sec = self.open()["MSFT"]
        head, tail = self.frame.iloc[:100], self.frame.iloc[100:]
        self.assertEqual(sec.write(head, mode="replace"), 100)  # shorter: the rest goes
        self.assertEqual(len(sec), 100)
        self.assertEqual(sec.write(tail), len(tail))  # appended
        np.testing.assert_array_equal(sec.read()["close"], self.frame["Close"].to_numpy("f4"))
        changed = self.frame.iloc[50:60].copy()
        changed["Close"] = 1.0
        sec.write(changed, mode="merge")
        sec.write(pd.DataFrame({"Close": [2.0]}, index=pd.DatetimeIndex(["2000-09-30"])),
                  mode="merge")
        got = sec.to_pandas()
        self.assertEqual(len(got), len(self.frame) + 1)
        self.assertTrue((got["close"].iloc[51:61] == 1.0).all())
        self.assertEqual(got.loc["2000-09-30", "close"], 2.0)
        self.assertEqual(got.loc["2000-09-30", "high"], 0.0)  # fields not given are 0
        self.assertEqual(sec.write(self.frame.iloc[:0], mode="replace"), 0)
        self.assertEqual(len(sec), 0)

    def test_securities_added_found_updated_deleted(self):
        db = self.open()
        weekly = db.add("MSFT", "Microsoft weekly", period="W")
        self.assertEqual(len(db), 2)
        self.assertEqual([s.period for s in db.securities()], ["D", "W"])
        db.add("COPY", "Copy").write(self.frame)
        ratio = db.add("MSFT", "Ratio", second="COPY", operator="/", primary_factor=2.0)
        self.assertEqual(ratio.parts, ("MSFT", "/", "COPY"))
        self.assertEqual(db.find("MSFT", second="COPY", operator="/"), ratio)
        np.testing.assert_allclose(ratio.read()["close"], 2.0, rtol=1e-6)
        db["COPY"].delete(cascade=True)
        self.assertEqual(len(db), 2)
        self.assertEqual(db.find("MSFT", "W"), weekly)
        weekly.update(name="Renamed", symbol="MSW")
        self.assertEqual((weekly.name, weekly.symbol), ("Renamed", "MSW"))
        self.assertEqual(db["MSW"], weekly)
        weekly.delete()
        self.assertEqual(len(db), 1)
        self.assertNotIn("MSW", db)
        with self.assertRaises(zarq.NotFoundError):
            db.find("MSFT", "W")

    def test_command_lists_the_securities(self):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            self.assertEqual(cli_main(["list", str(self.path)]), 0)
        self.assertRegex(out.getvalue(), r"MSFT\s+D\s+249\s+2000-09-27\s+2001-09-27\s+Microsoft")


class MomentsTest(unittest.TestCase):
    def test_dates_and_times_convert_both_ways(self):
        cases = [  # ZARQ date, ZARQ time, the moment
            (18000101, 0, "1800-01-01T00:00"), (19000228, 0, "1900-02-28T00:00"),
            (19691231, 2359999, "1969-12-31T23:59:00.999"), (20000229, 930000, "2000-02-29T09:30"),
            (20240301, 1201007, "2024-03-01T12:01:00.007"), (22001231, 0, "2200-12-31T00:00"),
        ]
        dates = np.array([c[0] for c in cases], np.int32)
        times = np.array([c[1] for c in cases], np.int32)
        want = np.array([c[2] for c in cases], "datetime64[ms]")
        np.testing.assert_array_equal(_moments.moments_from_records(dates, times), want)
        np.testing.assert_array_equal(_moments.days_from_dates(dates), want.astype("M8[D]"))
        back_dates, back_times, _ = _moments.records_from_moments(want)
        np.testing.assert_array_equal(back_dates, dates)
        np.testing.assert_array_equal(back_times, times)


class LockTest(DatabaseCase):
    def test_calls_run_under_the_callers_lock(self):
        sec = self.open()["MSFT"]
        with sec.locked("write"):
            sec.write(self.frame.iloc[:10], mode="replace")
            self.assertEqual(len(sec.read()), 10)
            with self.assertRaises(zarq.InvalidArgumentError):
                with sec.locked("read"):
                    pass
        with sec.locked("read"):
            with self.assertRaises(zarq.Error) as caught:
                sec.write(self.frame, mode="replace")
            self.assertEqual(caught.exception.status, -319)  # too weak
        with self.assertRaises(zarq.InvalidArgumentError):
            with sec.locked("exclusive"):
                pass
        self.assertEqual(len(sec), 10)  # every lock was given back


HOLDER = textwrap.dedent("""
    import sys
    sys.path.insert(0, sys.argv[2])
    import zarq
    zarq.initialize("LockHolder", "Analyst")
    with zarq.Database(sys.argv[1]) as db, db["MSFT"].locked("write"):
        print("locked", flush=True)
        sys.stdin.readline()
""")


class SharingTest(DatabaseCase):
    def test_read_refused_while_another_process_writes(self):
        holder = subprocess.Popen([sys.executable, "-c", HOLDER, str(self.path),
                                   str(PACKAGE_ROOT)],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.addCleanup(holder.wait, 30)
        self.addCleanup(holder.stdin.close)
        self.addCleanup(holder.stdout.close)
        self.assertEqual(holder.stdout.readline().strip(), "locked")
        sec = self.open()["MSFT"]
        with self.assertRaises(zarq.LockedError) as caught:
            sec.read()
        error = caught.exception
        self.assertEqual((error.status, error.application, error.user),
                         (-321, "LockHolder", "Analyst"))
        self.assertIn("LockHolder", error.message)
        self.assertEqual(error.message, zarq.message(-321))
        holder.stdin.write("\n")
        holder.stdin.flush()
        self.assertEqual(holder.wait(30), 0)
        self.assertEqual(len(sec.read()), len(self.frame))


class BadInputTest(DatabaseCase):
    def test_folders_that_are_no_database(self):
        empty = self.folder / "empty"
        empty.mkdir()
        for path, error in [(empty, zarq.NotADatabaseError),
                            (self.folder / "missing", zarq.NotFoundError)]:
            with self.subTest(path=path.name), self.assertRaises(error) as caught:
                zarq.Database(path)
            self.assertTrue(caught.exception.message)
        self.assertEqual(sorted(p.name for p in self.folder.iterdir()), ["db", "empty"])
        self.assertEqual(list(empty.iterdir()), [])

    def test_refused_input_leaves_the_files_as_they_were(self):
        frame = self.frame
        bad_value = frame.copy()
        bad_value.iloc[7, 3] = np.nan
        infinite = frame.copy()
        infinite.iloc[9, 0] = np.inf
        long = pd.DataFrame({"close": 1.0}, index=pd.date_range("1850-01-01", periods=65501))
        early = pd.DataFrame({"close": [1.0]}, index=pd.DatetimeIndex(["2001-09-26"]))
        timed = pd.DataFrame({"close": [1.0]}, index=pd.DatetimeIndex(["2001-10-01 10:00"]))
        twice = pd.concat([frame.iloc[:3], frame.iloc[2:3]])
        ancient = pd.DataFrame({"close": [1.0]}, index=pd.DatetimeIndex(["1700-01-01"]))
        cases = [  # (what, call, exception, text in it)
            ("no such symbol", lambda db: db["NOPE"], zarq.NotFoundError, "NOPE"),
            ("no date index", lambda db: db["MSFT"].write(frame.reset_index()),
             zarq.InvalidArgumentError, "date index"),
            ("no close", lambda db: db["MSFT"].write(frame.drop(columns="Close")),
             zarq.InvalidArgumentError, "close"),
            ("NaN", lambda db: db["MSFT"].write(bad_value, mode="replace"),
             zarq.InvalidArgumentError, "row 2000-10-06 00:00:00: close is nan"),
            ("infinite", lambda db: db["MSFT"].write(infinite, mode="merge"),
             zarq.InvalidArgumentError, "row 2000-10-10 00:00:00: open is inf"),
            ("too many", lambda db: db["MSFT"].write(long, mode="replace"),
             zarq.InvalidArgumentError, "65501 rows"),
            ("before the last", lambda db: db["MSFT"].write(early),
             zarq.InvalidArgumentError, "row 2001-09-26 is not after"),
            ("repeated moment", lambda db: db["MSFT"].write(twice, mode="merge"),
             zarq.InvalidArgumentError, "repeats"),
            ("time of day", lambda db: db["MSFT"].write(timed),
             zarq.InvalidArgumentError, "time of day"),
            ("date the library refuses", lambda db: db["MSFT"].write(ancient, mode="replace"),
             zarq.InvalidArgumentError, ""),
            ("unknown mode", lambda db: db["MSFT"].write(frame, mode="upsert"),
             zarq.InvalidArgumentError, "upsert"),
        ]
        before = snapshot(self.path)
        for what, call, error, text in cases:
            with self.subTest(what):
                with zarq.Database(self.path) as db:
                    with self.assertRaises(error) as caught:
                        call(db)
                self.assertIn(text, str(caught.exception))
                self.assertTrue(caught.exception.message)
                self.assertEqual(snapshot(self.path), before)


if __name__ == "__main__":
    unittest.main()
