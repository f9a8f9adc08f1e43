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


def days_from_dates(dates: np.ndarray) -> np.ndarray:
    """ZARQ dates (int32) as ``datetime64[D]``."""
    dates = dates.astype(np.int64, copy=False)
    year = dates // 10000
    month = dates // 100 % 100
    day = dates % 100
    # The civil-to-days formula over March-based years, in integers only.
    year = year - (month <= 2)
    era = np.floor_divide(year, 400)
    year_of_era = year - era * 400
    day_of_year = (153 * ((month + 9) % 12) + 2) // 5 + day - 1
    day_of_era = year_of_era * 365 + year_of_era // 4 - year_of_era // 100 + day_of_year
    return (era * 146097 + day_of_era - 719468).astype("datetime64[D]")


def moments_from_records(dates: np.ndarray, times: np.ndarray) -> np.ndarray:
    """ZARQ dates and times as ``datetime64[ms]``."""
    days = days_from_dates(dates).astype(np.int64)
    times = times.astype(np.int64, copy=False)
    ms = (times // 100000) * _MS_PER_HOUR + (times // 1000 % 100) * _MS_PER_MINUTE + times % 1000
    return (days * 86_400_000 + ms).astype("datetime64[ms]")


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
