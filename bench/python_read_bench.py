#!/usr/bin/env python3
"""Reading 65,500 daily records of seven fields from Python, against the C read.

Times, each the median of repeated runs in this process:
  - zarq sec.read(): lock, one ZARQ2_ReadMultipleRecs into a NumPy buffer,
    unlock, dates made datetime64[D] and the stored fields picked out;
  - zarq sec.read_records(): the same without the conversion;
  - pandas.read_csv of the same history exported as CSV (dates parsed);
  - pandas.read_sql of the same history from an indexed SQLite table.
and runs the C benchmark Read_zarq (build/bench, scripts/bench.sh builds it)
for the C figure, then prints the ratios to it.

Usage: bench/python_read_bench.py [--repeat N] [--c-us MICROSECONDS]
The optimised library of build/bench is used unless ZARQ_LIBRARY names one.
"""

from __future__ import annotations

import argparse
import json
import os
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BENCH_BUILD = ROOT / "build" / "bench"
if not os.environ.get("ZARQ_LIBRARY") and (BENCH_BUILD / "libzarq.so").is_file():
    os.environ["ZARQ_LIBRARY"] = str(BENCH_BUILD / "libzarq.so")
    os.environ.setdefault("ZARQ_COMMON_FILES", str(ROOT / "build" / "native" / "share"))
sys.path.insert(0, str(ROOT / "python"))

import numpy as np  # noqa: E402
import pandas as pd  # noqa: E402

import zarq  # noqa: E402

RECORDS = 65500


def median_us(function, repeat: int) -> float:
    function()  # warm caches
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1e6


def c_read_us() -> float | None:
    program = BENCH_BUILD / "bench" / "zarq_benchmarks"
    if not program.is_file():
        return None
    out = subprocess.run([str(program), "--benchmark_filter=Read_zarq$",
                          "--benchmark_format=json", "--benchmark_repetitions=5",
                          "--benchmark_report_aggregates_only=true"],
                         check=True, capture_output=True, text=True).stdout
    for entry in json.loads(out)["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            scale = {"us": 1, "ms": 1000, "ns": 0.001}[entry["time_unit"]]
            return entry["real_time"] * scale
    return None


def history() -> pd.DataFrame:
    rng = np.random.default_rng(7)
    days = np.datetime64("1850-01-01") + np.arange(RECORDS)
    close = (50 + np.cumsum(rng.normal(0, 0.5, RECORDS))).clip(1).astype(np.float32)
    return pd.DataFrame({
        "open": close * 0.99, "high": close * 1.01, "low": close * 0.98, "close": close,
        "volume": rng.integers(1000, 10**7, RECORDS).astype(np.float32),
        "open_interest": rng.integers(0, 10**5, RECORDS).astype(np.float32),
    }, index=pd.DatetimeIndex(days, name="date"))


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--repeat", type=int, default=50)
    parser.add_argument("--c-us", type=float, help="the C figure, instead of running it")
    args = parser.parse_args()
    frame = history()
    with tempfile.TemporaryDirectory() as folder:
        with zarq.Database(Path(folder, "db"), create=True) as db:
            sec = db.add("BENCH", "Benchmark", fields=("open", "high", "low", "open_interest"))
            sec.write(frame, mode="replace")
            assert len(sec.read()) == RECORDS
            read_us = median_us(sec.read, args.repeat)
            raw_us = median_us(sec.read_records, args.repeat)
            exported = sec.to_pandas()

        csv_path = Path(folder, "bench.csv")
        exported.to_csv(csv_path)
        csv_us = median_us(lambda: pd.read_csv(csv_path, index_col="date", parse_dates=["date"]),
                           max(5, args.repeat // 10))

        with sqlite3.connect(Path(folder, "bench.sqlite")) as connection:
            exported.reset_index().assign(date=exported.index.strftime("%Y-%m-%d")).to_sql(
                "bars", connection, index=False)
            connection.execute("CREATE UNIQUE INDEX bars_date ON bars(date)")
            query = "SELECT * FROM bars ORDER BY date"
            sql_us = median_us(lambda: pd.read_sql(query, connection, index_col="date",
                                                   parse_dates=["date"]),
                               max(5, args.repeat // 10))

    c_us = args.c_us if args.c_us is not None else c_read_us()
    print(f"library: {os.environ.get('ZARQ_LIBRARY', '(default)')}; {RECORDS} records")
    print(f"  zarq sec.read()           {read_us:10.0f} us")
    print(f"  zarq sec.read_records()   {raw_us:10.0f} us")
    print(f"  pandas.read_csv           {csv_us:10.0f} us")
    print(f"  pandas.read_sql (SQLite)  {sql_us:10.0f} us")
    if c_us:
        print(f"  C Read_zarq               {c_us:10.0f} us")
        print(f"sec.read() / C read:              {read_us / c_us:6.2f}")
        print(f"sec.read_records() / C read:      {raw_us / c_us:6.2f}")
    else:
        print("(no C figure: run scripts/bench.sh first, or give --c-us)")
    print(f"pandas.read_csv / sec.read():     {csv_us / read_us:6.1f}")
    print(f"pandas.read_sql / sec.read():     {sql_us / read_us:6.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
