"""python -m zarq list DIR: the securities of a database folder."""

from __future__ import annotations

import argparse
import sys
from typing import List, Optional

import zarq


def _list(path: str) -> int:
    with zarq.Database(path) as db:
        rows = [("symbol", "period", "records", "first", "last", "name")]
        for sec in db.securities():
            period = sec.period + (str(sec.interval) if sec.intraday else "")
            rows.append((sec.symbol, period, str(sec.record_count), str(sec.first_date or "-"),
                         str(sec.last_date or "-"), sec.name))
    widths = [max(len(row[i]) for row in rows) for i in range(5)]
    for row in rows:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)) + "  " + row[5])
    return 0


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(prog="python -m zarq")
    commands = parser.add_subparsers(dest="command", required=True)
    listing = commands.add_parser("list", help="list the securities of a database folder")
    listing.add_argument("directory")
    args = parser.parse_args(argv)
    try:
        return _list(args.directory)
    except zarq.Error as error:
        print(f"python -m zarq: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
