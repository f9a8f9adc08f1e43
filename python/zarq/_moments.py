"""Vectorised conversion between ZARQ dates and times and NumPy datetimes.

A ZARQ date is ``year*10000 + month*100 + day``; a ZARQ time is
``hour*100000 + minute*1000 + ticks``, where the ticks (0..999) order records
within one minute. A moment of an intraday record becomes a
``datetime64[ms]`` whose milliseconds after the minute are its ticks, so
that every stored moment converts exactly and back; daily and longer
records become ``datetime64[D]``.

Pure functions over NumPy arrays; no per-record Python code.
"""

from __future__ import annotations

from typing import Tuple

import numpy as np

_MS_PER_MINUTE = 60_000
_MS_PER_HOUR = 3_600_000


# Days since 1970-01-01 of the first of each month, indexed by
# year*100 + month - _FIRST_MONTH over every year the library accepts
# (1800 to 2200); a division, a multiplication and a table look-up then
# make a date a day count, far cheaper than 64-bit calendar arithmetic.
_FIRST_MONTH = 1800 * 100


def _month_table() -> np.ndarray:
    keys = np.arange(1800 * 100, 2201 * 100)
    year, month = keys // 100, keys % 100
    valid = (month >= 1) & (month <= 12)
    months = (year - 1970) * 12 + np.where(valid, month, 1) - 1
    days = months.astype("datetime64[M]").astype("datetime64[D]").astype(np.int64)
    return days.astype(np.int32)


_MONTH_DAYS = _month_table()


def day_numbers(dates: np.ndarray) -> np.ndarray:
    """ZARQ dates (int32, 1800-01-01 to 2200-12-31) as days since 1970-01-01 (int32)."""
    dates = np.ascontiguousarray(dates, dtype=np.int32)  # strided arithmetic is slow
    year_month = dates // 100
    day = dates - year_month * 100
    np.subtract(year_month, _FIRST_MONTH, out=year_month)
    return np.take(_MONTH_DAYS, year_month, mode="clip") + (day - 1)


def days_from_dates(dates: np.ndarray) -> np.ndarray:
    """ZARQ dates (int32) as ``datetime64[D]``."""
    return day_numbers(dates).astype("datetime64[D]")


def milliseconds(dates: np.ndarray, times: np.ndarray) -> np.ndarray:
    """ZARQ dates and times as milliseconds since 1970 (int64)."""
    times = np.ascontiguousarray(times, dtype=np.int32)
    hours = times // 100000
    rest = times - hours * 100000
    minutes = rest // 1000
    within = hours * _MS_PER_HOUR + minutes * _MS_PER_MINUTE + (rest - minutes * 1000)
    return day_numbers(dates).astype(np.int64) * 86_400_000 + within


def moments_from_records(dates: np.ndarray, times: np.ndarray) -> np.ndarray:
    """ZARQ dates and times as ``datetime64[ms]``."""
    return milliseconds(dates, times).astype("datetime64[ms]")


def dates_from_days(days: np.ndarray) -> np.ndarray:
    """``datetime64`` values (whole days) as ZARQ dates (int32)."""
    days = days.astype("datetime64[D]")
    months = days.astype("datetime64[M]")
    year = months.astype(np.int64) // 12 + 1970
    month = months.astype(np.int64) % 12 + 1
    day = (days - months.astype("datetime64[D]")).astype(np.int64) + 1
    return (year * 10000 + month * 100 + day).astype(np.int32)


def records_from_moments(moments: np.ndarray) -> Tuple[np.ndarray, np.ndarray, np.ndarray]:
    """``datetime64`` values as ZARQ dates and times, with the milliseconds
    within the minute (the ticks when below 1000)."""
    moments = moments.astype("datetime64[ms]")
    days = moments.astype("datetime64[D]")
    ms = (moments - days).astype(np.int64)
    minute_part = ms % _MS_PER_MINUTE
    times = (ms // _MS_PER_HOUR) * 100000 + (ms // _MS_PER_MINUTE % 60) * 1000 + minute_part
    return dates_from_days(days), times.astype(np.int32), minute_part
