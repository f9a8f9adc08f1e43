"""Database folders and their securities.

``Database`` opens a folder (one open of it in the library, closed by
``close`` or at the end of a ``with`` block) and finds, lists, adds and
deletes its securities. ``Security`` reads a price history into a NumPy
structured array or a pandas DataFrame in one library call, and writes one
back under a write lock.

Every single call that needs a lock takes it and gives it back itself,
unless the caller holds the security locked through ``Security.locked``,
in which case the call runs under that lock. Locks are held per process
and per security, as the library holds them; a ``Database`` and its
securities belong to one thread at a time.
"""

from __future__ import annotations

import contextlib
import ctypes
import datetime as _dt
import os
from ctypes import byref
from typing import Any, Dict, Iterable, Iterator, Optional, Sequence, Tuple, Union

import numpy as np

from zarq import _moments, _native
from zarq._native import library
from zarq.errors import Error, NotFoundError, check, error_for, refuse

# One price record exactly as the library exchanges it (36 bytes, packed).
RECORD_DTYPE = np.dtype([
    ("date", "<i4"), ("time", "<i4"), ("open", "<f4"), ("high", "<f4"), ("low", "<f4"),
    ("close", "<f4"), ("volume", "<f4"), ("open_interest", "<f4"), ("field_mask", "<u2"),
    ("reserved", "<u2"),
])
assert RECORD_DTYPE.itemsize == 36

# The price fields in the order a history shows them, with their mask bits.
PRICE_FIELDS: Tuple[Tuple[str, int], ...] = (
    ("open", _native.FIELD_OPEN), ("high", _native.FIELD_HIGH), ("low", _native.FIELD_LOW),
    ("close", _native.FIELD_CLOSE), ("volume", _native.FIELD_VOL),
    ("open_interest", _native.FIELD_OI),
)
_FIELD_BITS = dict(PRICE_FIELDS)
_COLUMN_ALIASES = {"vol": "volume", "oi": "open_interest", "openinterest": "open_interest"}
_LOCK_LEVELS = {"read": _native.READ_LOCK, "write": _native.WRITE_LOCK,
                "definition": _native.DEFINITION_LOCK, "full": _native.FULL_LOCK}
_MODES = ("append", "replace", "merge")


def _pair(date: int = 0, time: int = 0) -> _native.DateTimePair:
    return _native.DateTimePair(date, time)


def _from_zarq_date(date: int, time: Optional[int] = None):
    if date <= 0:
        return None
    day = _dt.date(date // 10000, date // 100 % 100, date % 100)
    if time is None:
        return day
    return _dt.datetime(day.year, day.month, day.day, time // 100000, time // 1000 % 100,
                        0, time % 1000 * 1000)


class Security:
    """One security of an open database, by its library handle.

    The descriptive properties are read from the library at each access, so
    they follow changes made by this or other processes.
    """

    def __init__(self, database: "Database", handle: int):
        self._db = database
        self.handle = handle

    # Description -------------------------------------------------------------

    def _info(self) -> _native.SecurityInfo:
        info = _native.SecurityInfo()
        check(library().ZARQ1_GetSecurityInfo(self.handle, byref(info)), self._label())
        return info

    def _label(self) -> str:
        return f"security handle {self.handle:#x}"

    @property
    def symbol(self) -> str:
        return _native.text(self._info().Symbol)

    @property
    def name(self) -> str:
        return _native.text(self._info().Name)

    @property
    def period(self) -> str:
        """'D', 'W', 'M' or 'I' (intraday)."""
        return self._info().Period.decode("latin-1")

    @property
    def interval(self) -> int:
        """Minutes per bar of an intraday security, else 0."""
        info = self._info()
        return info.Interval if info.Period == b"I" else 0

    @property
    def intraday(self) -> bool:
        return self._info().Period == b"I"

    @property
    def first_date(self) -> Union[_dt.date, _dt.datetime, None]:
        """The first record's date (a datetime for intraday), None without records."""
        info = self._info()
        return _from_zarq_date(info.FirstDate, info.FirstTime if info.Period == b"I" else None)

    @property
    def last_date(self) -> Union[_dt.date, _dt.datetime, None]:
        info = self._info()
        return _from_zarq_date(info.LastDate, info.LastTime if info.Period == b"I" else None)

    @property
    def field_mask(self) -> int:
        return self._info().FieldMask

    @property
    def fields(self) -> Tuple[str, ...]:
        """The price fields stored, in the order read() gives them."""
        mask = self.field_mask
        return tuple(name for name, bit in PRICE_FIELDS if mask & bit)

    @property
    def parts(self) -> Optional[Tuple[str, str, str]]:
        """For a composite (primary symbol, operator, secondary symbol), else None."""
        info = self._info()
        if not info.Composite:
            return None
        return (_native.text(info.Symbol), info.Operator.decode("latin-1"),
                _native.text(info.Symbol2))

    @property
    def record_count(self) -> int:
        with self._locked_for(_native.READ_LOCK):
            count = ctypes.c_uint16()
            check(library().ZARQ1_GetDataRecordCount(self.handle, byref(count)), self.symbol)
            return count.value

    def __len__(self) -> int:
        return self.record_count

    def __repr__(self) -> str:
        try:
            info = self._info()
        except Error:
            return f"<zarq.Security handle={self.handle:#x} (gone)>"
        period = info.Period.decode("latin-1")
        if period == "I":
            period += str(info.Interval)
        symbol = _native.text(info.Symbol)
        if info.Composite:
            symbol += f" {info.Operator.decode('latin-1')} {_native.text(info.Symbol2)}"
        return f"<zarq.Security {symbol!r} {period}>"

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Security) and other.handle == self.handle

    def __hash__(self) -> int:
        return hash(self.handle)

    # Locks -------------------------------------------------------------------

    @contextlib.contextmanager
    def locked(self, level: str = "read") -> Iterator["Security"]:
        """Holds the security locked at level ('read', 'write', 'definition'
        or 'full') for several calls; other processes are kept out as the
        level says. Raises LockedError when another process holds it."""
        if level not in _LOCK_LEVELS:
            raise refuse(_native.E_INVALID_ARGUMENT,
                         f"lock level {level!r}: one of {', '.join(_LOCK_LEVELS)}")
        if self.handle in self._db._held:
            raise refuse(_native.E_INVALID_ARGUMENT, f"{self.symbol} is locked here already")
        check(library().ZARQ1_LockSecurity(self.handle, _LOCK_LEVELS[level]), self.symbol)
        self._db._held[self.handle] = _LOCK_LEVELS[level]
        try:
            yield self
        finally:
            del self._db._held[self.handle]
            check(library().ZARQ1_UnlockSecurity(self.handle), self.symbol)

    @contextlib.contextmanager
    def _locked_for(self, level: int) -> Iterator[None]:
        """The caller's lock when it holds one (the library judges whether it
        is strong enough), else a lock at level for the duration."""
        if self.handle in self._db._held:
            yield
            return
        lib = library()
        check(lib.ZARQ1_LockSecurity(self.handle, level), self.symbol)
        self._db._held[self.handle] = level
        try:
            yield
        finally:
            del self._db._held[self.handle]
            status = lib.ZARQ1_UnlockSecurity(self.handle)
        check(status, self.symbol)

    # Reading -----------------------------------------------------------------

    def read_records(self, start=None, end=None) -> np.ndarray:
        """The stored records from start to end (both included, None: open)
        as an array of RECORD_DTYPE, filled by one library call."""
        lib = self._lib_checked()
        with self._locked_for(_native.READ_LOCK):
            count = ctypes.c_uint16()
            check(lib.ZARQ1_GetDataRecordCount(self.handle, byref(count)), self.symbol)
            records = np.empty(count.value, RECORD_DTYPE)
            if count.value == 0:
                return records
            got = ctypes.c_uint16(count.value)
            if start is None and end is None:
                status = lib.ZARQ2_ReadMultipleRecs(self.handle, records.ctypes.data,
                                                    byref(_pair()), byref(got),
                                                    _native.FIND_AT_OR_AFTER)
            else:
                first = self._moment(start, _pair(0, 0), end_of_day=False)
                last = self._moment(end, _pair(99991231, 9999999), end_of_day=True)
                status = lib.ZARQ2_ReadMultipleRecsByDates(self.handle, records.ctypes.data,
                                                           byref(first), byref(last),
                                                           byref(got), _native.FIND_AT_OR_AFTER)
                if status in (_native.E_NO_DATA, -146, -148):  # nothing in the range
                    return records[:0]
            check(status, self.symbol,
                  ok=(_native.OK, _native.NEAR_MATCH, _native.FEWER_READ))
        return records[:got.value]

    def read(self, start=None, end=None) -> np.ndarray:
        """The price history from start to end (dates, datetimes or NumPy
        datetime64; both included; None: from the first or to the last).

        Returns a structured array with ``date`` (``datetime64[D]``, or
        ``datetime64[ms]`` for intraday, the ticks as milliseconds after the
        minute) and the price fields the security stores, as float32:
        open, high, low, close, volume, open_interest.
        """
        mask, intraday = self._layout()
        records = self.read_records(start, end)
        return _history(records, mask, intraday)

    def to_pandas(self, start=None, end=None):
        """The price history as a pandas DataFrame indexed by timestamp
        (``date``), one float32 column per stored price field."""
        try:
            import pandas as pd
        except ImportError as missing:
            raise ImportError("to_pandas needs pandas: install python3-pandas "
                              "(Debian) or the pandas package") from missing
        history = self.read(start, end)
        index = pd.DatetimeIndex(history["date"], name="date")
        return pd.DataFrame({name: history[name] for name in history.dtype.names[1:]},
                            index=index, copy=False)

    def _layout(self) -> Tuple[int, bool]:
        info = self._info()
        return info.FieldMask, info.Period == b"I"

    def _lib_checked(self):
        if self._db._number is None:
            raise refuse(_native.E_INVALID_ARGUMENT, "the database is closed")
        return library()

    def _moment(self, value, default: _native.DateTimePair, end_of_day: bool):
        if value is None:
            return default
        stamp = np.asarray([np.datetime64(value, "ms")])
        dates, times, within = _moments.records_from_moments(stamp)
        date, time = int(dates[0]), int(times[0])
        if within[0] >= 1000:  # beyond the ticks: the minute's last one
            time = time - int(within[0]) + 999
        is_day = (isinstance(value, _dt.date) and not isinstance(value, _dt.datetime)) or (
            isinstance(value, str) and len(value) <= 10) or (
            isinstance(value, np.datetime64) and np.datetime_data(value.dtype)[0] in "YMWD")
        if is_day:
            time = 2359999 if end_of_day else 0
        return _pair(date, time)

    # Writing -----------------------------------------------------------------

    def write(self, data, mode: str = "append") -> int:
        """Writes a price history under a write lock; returns the records
        written.

        data is a pandas DataFrame indexed by timestamps (a DatetimeIndex)
        or a NumPy structured array with a datetime64 ``date`` field, with a
        ``close`` column and any of open, high, low, volume, open_interest
        (missing stored fields are written as 0). Rows are sorted by moment.

        mode 'append' adds rows after the last stored moment (earlier rows
        are refused); 'replace' makes them the whole history; 'merge' puts
        them among the stored records, a row replacing the record of its
        moment. Everything is checked before anything is written: a refused
        write leaves the database as it was.
        """
        if mode not in _MODES:
            raise refuse(_native.E_INVALID_ARGUMENT, f"mode {mode!r}: one of {', '.join(_MODES)}")
        lib = self._lib_checked()
        mask, intraday = self._layout()
        records = _records_from(data, mask, intraday)
        with self._locked_for(_native.WRITE_LOCK):
            count = ctypes.c_uint16()
            check(lib.ZARQ1_GetDataRecordCount(self.handle, byref(count)), self.symbol)
            stored = count.value
            if mode == "append":
                if stored and len(records):
                    self._check_after_last(records, stored)
                if len(records):
                    check(lib.ZARQ1_SeekEndData(self.handle), self.symbol)
                    check(lib.ZARQ2_WriteMultipleRecs(self.handle, records.ctypes.data,
                                                      len(records), 3), self.symbol)
                return len(records)
            if mode == "merge" and stored:
                records = _merged(self.read_records(), records)
            self._replace(records, stored)
        return len(records)

    def _check_after_last(self, records: np.ndarray, stored: int) -> None:
        last = _pair()
        check(library().ZARQ1_FindDataRec(self.handle, stored, byref(last)), self.symbol)
        key = _moment_keys(records)
        late = key <= (np.int64(last.Date) << 32 | last.Time)
        if late.any():
            row = int(np.argmax(late))
            raise refuse(_native.E_OUT_OF_ORDER,
                         f"row {_row_label(records[row])} is not after the last stored "
                         f"record ({last.Date} {last.Time}); use mode='merge'")

    def _replace(self, records: np.ndarray, stored: int) -> None:
        # The new records overwrite the stored ones from the first on (the
        # library checks them all before it writes any), then what is left
        # of the old ones goes.
        lib, handle = library(), self.handle
        pair = _pair()
        if len(records):
            if stored:
                check(lib.ZARQ1_FindDataRec(handle, 1, byref(pair)), self.symbol)
            else:
                check(lib.ZARQ1_SeekEndData(handle), self.symbol)
            check(lib.ZARQ2_WriteMultipleRecs(handle, records.ctypes.data, len(records), 3),
                  self.symbol)
        if stored > len(records):
            check(lib.ZARQ1_FindDataRec(handle, len(records) + 1, byref(pair)), self.symbol)
            check(lib.ZARQ2_DeleteMultipleRecs(handle, byref(pair), stored - len(records), 3),
                  self.symbol)

    # Changing the description --------------------------------------------------

    def update(self, *, name: Optional[str] = None, symbol: Optional[str] = None,
               base_date: Optional[_dt.date] = None,
               primary_factor: Optional[float] = None,
               secondary_factor: Optional[float] = None) -> None:
        """Changes the named parts of the description (under a definition
        lock, taken here unless the caller holds one)."""
        update = _native.SecurityUpdate()
        update.Size = ctypes.sizeof(update)
        if name is not None:
            update.Name, update.ChangeName = _fixed_text(name, 45, "name"), 1
        if symbol is not None:
            update.Symbol, update.ChangeSymbol = _fixed_text(symbol, 14, "symbol"), 1
        if base_date is not None:
            day = np.asarray([np.datetime64(base_date, "D")])
            update.BaseDate, update.ChangeBaseDate = int(_moments.dates_from_days(day)[0]), 1
        if primary_factor is not None:
            update.PrimaryFactor, update.ChangePrimaryFactor = primary_factor, 1
        if secondary_factor is not None:
            update.SecondaryFactor, update.ChangeSecondaryFactor = secondary_factor, 1
        with self._locked_for(_native.DEFINITION_LOCK):
            check(library().ZARQ1_UpdateSecurity(self.handle, byref(update)), self._label())

    def delete(self, cascade: bool = False) -> None:
        """Deletes the security and its files (with cascade, the composites
        built on it first). It must not be locked here."""
        label = self.symbol
        check(self._lib_checked().ZARQ1_DeleteSecurity(self.handle, int(cascade)), label)


def _fixed_text(value: str, limit: int, what: str) -> bytes:
    raw = value.encode("latin-1")
    if not raw or len(raw) > limit:
        raise refuse(_native.E_INVALID_ARGUMENT, f"{what} {value!r}: 1 to {limit} characters")
    return raw


def _history(records: np.ndarray, mask: int, intraday: bool) -> np.ndarray:
    """The records as a history, made in place: each record's moment, as a
    64-bit datetime, overwrites its date and time (the first 8 bytes), and
    the result is a view of the same buffer showing it and the stored
    price fields."""
    fields = [name for name, bit in PRICE_FIELDS if mask & bit]
    moments = records.view(np.dtype({"names": ["moment"], "formats": ["<i8"], "offsets": [0],
                                     "itemsize": RECORD_DTYPE.itemsize}))["moment"]
    if intraday:
        moments[...] = _moments.milliseconds(records["date"], records["time"])
    else:
        moments[...] = _moments.day_numbers(records["date"])
    view = np.dtype({
        "names": ["date"] + fields,
        "formats": ["datetime64[ms]" if intraday else "datetime64[D]"] + ["<f4"] * len(fields),
        "offsets": [0] + [RECORD_DTYPE.fields[name][1] for name in fields],
        "itemsize": RECORD_DTYPE.itemsize,
    })
    return records.view(view)


def _moment_keys(records: np.ndarray) -> np.ndarray:
    return records["date"].astype(np.int64) << 32 | records["time"].astype(np.int64)


def _row_label(record) -> str:
    date, time = int(record["date"]), int(record["time"])
    text = f"{date // 10000:04d}-{date // 100 % 100:02d}-{date % 100:02d}"
    if time:
        text += f" {time // 100000:02d}:{time // 1000 % 100:02d} tick {time % 1000}"
    return text


def _records_from(data, mask: int, intraday: bool) -> np.ndarray:
    """The rows of a DataFrame or structured array as RECORD_DTYPE records,
    sorted by moment, after every check on them."""
    columns, moments, labels = _columns_of(data)
    rows = len(moments)
    if rows > _native.MAX_RECORDS:
        raise refuse(_native.E_TOO_MANY_RECORDS,
                     f"{rows} rows; a security holds at most {_native.MAX_RECORDS}")
    if "close" not in columns:
        raise refuse(_native.E_INVALID_ARGUMENT, "no close column")
    if np.isnat(moments).any():
        raise refuse(_native.E_INVALID_ARGUMENT,
                     f"row {labels[int(np.argmax(np.isnat(moments)))]} has no date")
    records = np.zeros(rows, RECORD_DTYPE)
    dates, times, within = _moments.records_from_moments(moments)
    if intraday:
        bad = within >= 1000
        what = "lies between whole minutes (ticks are 0 to 999 ms after the minute)"
    else:
        bad = times != 0
        what = "has a time of day, and the security is not intraday"
    if bad.any():
        raise refuse(_native.E_INVALID_ARGUMENT, f"row {labels[int(np.argmax(bad))]} {what}")
    records["date"], records["time"] = dates, times
    records["field_mask"] = mask
    for name, bit in PRICE_FIELDS:
        if not mask & bit or name not in columns:
            continue
        try:
            values = np.asarray(columns[name], dtype=np.float64)
        except (TypeError, ValueError):
            raise refuse(_native.E_INVALID_ARGUMENT, f"column {name} is not numeric") from None
        finite = np.isfinite(values)
        if not finite.all():
            row = int(np.argmin(finite))
            raise refuse(_native.E_INVALID_ARGUMENT,
                         f"row {labels[row]}: {name} is {values[row]}")
        records[name] = values
    order = np.argsort(_moment_keys(records), kind="stable")
    records = records[order]
    keys = _moment_keys(records)
    same = keys[1:] == keys[:-1]
    if same.any():
        raise refuse(_native.E_INVALID_ARGUMENT,
                     f"row {labels[int(order[int(np.argmax(same)) + 1])]} repeats a moment")
    return records


def _columns_of(data) -> Tuple[Dict[str, Any], np.ndarray, Sequence[Any]]:
    """(columns by lower-case name, moments as datetime64, row labels)."""
    if isinstance(data, np.ndarray) and data.dtype.names:
        if "date" not in data.dtype.names or data.dtype["date"].kind != "M":
            raise refuse(_native.E_INVALID_ARGUMENT, "the array has no datetime64 'date' field")
        columns = {_COLUMN_ALIASES.get(n.lower(), n.lower()): data[n]
                   for n in data.dtype.names if n != "date"}
        moments = data["date"]
        return columns, moments, [str(m) for m in moments] if len(moments) < 100000 else moments
    try:
        import pandas as pd
    except ImportError:
        pd = None
    if pd is not None and isinstance(data, pd.DataFrame):
        index = data.index
        if not isinstance(index, pd.DatetimeIndex):
            raise refuse(_native.E_INVALID_ARGUMENT,
                         "the frame has no date index (a pandas DatetimeIndex)")
        if index.tz is not None:
            index = index.tz_localize(None)
        columns = {_COLUMN_ALIASES.get(str(c).lower(), str(c).lower()): data[c].to_numpy()
                   for c in data.columns}
        return columns, index.to_numpy(dtype="datetime64[ns]"), _Labels(index)
    raise refuse(_native.E_INVALID_ARGUMENT,
                 f"cannot write a {type(data).__name__}: give a pandas DataFrame with a date "
                 "index or a structured array with a 'date' field")


class _Labels:
    """Row labels of a DatetimeIndex, made into text only when one is named."""

    def __init__(self, index):
        self._index = index

    def __getitem__(self, row: int) -> str:
        return str(self._index[row])


def _merged(stored: np.ndarray, new: np.ndarray) -> np.ndarray:
    both = np.concatenate([new, stored])  # new rows first: they win a moment
    keys = _moment_keys(both)
    _, first = np.unique(keys, return_index=True)  # sorted by moment
    merged = both[first]
    if len(merged) > _native.MAX_RECORDS:
        raise refuse(_native.E_TOO_MANY_RECORDS,
                     f"the merge would hold {len(merged)} records; at most "
                     f"{_native.MAX_RECORDS}")
    return merged


class Database:
    """An open database folder.

    ``Database(path)`` opens an existing database; with ``create=True`` the
    folder (and its parents) and an empty database are made when missing.
    A folder that is not a database raises NotADatabaseError and is left
    untouched. Use as a context manager, or call ``close``.
    """

    def __init__(self, path: Union[str, os.PathLike], *, create: bool = False):
        self.path = os.fspath(path)
        self._number: Optional[int] = None
        self._held: Dict[int, int] = {}
        lib = library()
        flags = _native.OPEN_COUNT_AGAIN
        if create:
            flags |= _native.OPEN_CREATE_FOLDER | _native.OPEN_BUILD_MASTERS
        number = ctypes.c_uint8()
        status = lib.ZARQ1_OpenDirectory(self.path.encode(), byref(number), flags)
        if status < 0:
            raise error_for(status, detail=self.path)
        if status == _native.OPENED_NO_DATABASE:
            lib.ZARQ1_CloseDirectory(number.value)
            raise error_for(status, detail=f"{self.path}: open it with create=True to make one")
        self._number = number.value

    @property
    def number(self) -> int:
        """The library's number of this open directory."""
        if self._number is None:
            raise refuse(_native.E_INVALID_ARGUMENT, "the database is closed")
        return self._number

    def close(self) -> None:
        """Releases the locks this object holds and closes the folder."""
        if self._number is None:
            return
        lib = library()
        for handle in list(self._held):
            lib.ZARQ1_UnlockSecurity(handle)
        self._held.clear()
        number, self._number = self._number, None
        check(lib.ZARQ1_CloseDirectory(number), self.path)

    def __enter__(self) -> "Database":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:
            pass

    def __len__(self) -> int:
        count = ctypes.c_uint32()
        check(library().ZARQ1_GetSecurityCount(self.number, byref(count)), self.path)
        return count.value

    def __repr__(self) -> str:
        state = "closed" if self._number is None else f"open as {self._number}"
        return f"<zarq.Database {self.path!r} {state}>"

    def securities(self) -> Iterator[Security]:
        """The live securities in list order."""
        lib, start, page = library(), 0, 256
        handles = (ctypes.c_uint32 * page)()
        while True:
            got = ctypes.c_uint32()
            check(lib.ZARQ2_GetSecurityHandles(self.number, start, page, handles, byref(got)),
                  self.path)
            for handle in handles[:got.value]:
                yield Security(self, handle)
            if got.value < page:
                return
            start += got.value

    def __iter__(self) -> Iterator[Security]:
        return self.securities()

    def find(self, symbol: str, period: str = "D", interval: Optional[int] = None, *,
             second: Optional[str] = None, operator: Optional[str] = None) -> Security:
        """The security of symbol and period ('D', 'W', 'M', or 'I' with its
        interval in minutes); a composite also by its second symbol and
        operator. Raises NotFoundError when there is none."""
        ident = _native.SecurityId()
        ident.Size = ctypes.sizeof(ident)
        ident.DirNumber = self.number
        ident.Symbol = _fixed_text(symbol, 14, "symbol")
        ident.Period = period.encode("latin-1")[:1]
        ident.Interval = interval or 0
        if second is not None:
            ident.Composite = 1
            ident.Symbol2 = _fixed_text(second, 14, "second symbol")
            ident.Operator = (operator or "").encode("latin-1")[:1]
        handle = ctypes.c_uint32()
        check(library().ZARQ1_GetSecurityHandle(byref(ident), byref(handle)),
              f"{symbol} ({period}) in {self.path}")
        return Security(self, handle.value)

    def __getitem__(self, symbol: str) -> Security:
        """The security of symbol: its daily one when there is one, else the
        first of that symbol in list order."""
        try:
            return self.find(symbol, "D")
        except NotFoundError:
            pass
        for security in self.securities():
            if security.symbol == symbol:
                return security
        raise error_for(_native.E_NO_SUCH_SECURITY, detail=f"{symbol} in {self.path}")

    def __contains__(self, symbol: str) -> bool:
        try:
            self[symbol]
        except NotFoundError:
            return False
        return True

    def add(self, symbol: str, name: str, *, period: str = "D", interval: int = 0,
            fields: Iterable[str] = ("open", "high", "low", "close", "volume"),
            second: Optional[str] = None, operator: str = "/",
            primary_factor: float = 1.0, secondary_factor: float = 1.0) -> Security:
        """Adds a security without records at the end of the list and returns it.

        fields names the price fields to store; close and volume are always
        stored, and the library takes the field sets high; high and low;
        high, low and open; and all with open_interest (intraday also none
        of them). Raises InvalidArgumentError for others, and an Error for
        an identity listed already.

        With second, the security is a composite of the securities symbol
        and second of this period: (symbol x primary_factor) operator
        (second x secondary_factor), operator one of + - * /; it takes its
        parts' dates and common fields.
        """
        mask = _native.FIELD_DATE | _native.FIELD_CLOSE | _native.FIELD_VOL
        for field in fields:
            key = _COLUMN_ALIASES.get(field.lower(), field.lower())
            if key not in _FIELD_BITS:
                raise refuse(_native.E_INVALID_ARGUMENT,
                             f"field {field!r}: one of {', '.join(_FIELD_BITS)}")
            mask |= _FIELD_BITS[key]
        period = period.upper()
        if period == "I":
            mask |= _native.FIELD_TIME
        info = _native.SecurityInfo()
        info.Size = ctypes.sizeof(info)
        info.Name = _fixed_text(name, 45, "name")
        info.Symbol = _fixed_text(symbol, 14, "symbol")
        info.Period = period.encode("latin-1")[:1]
        info.Interval = interval if period == "I" else 0
        today = _dt.date.today()
        info.FirstDate = info.LastDate = info.BaseDate = (
            today.year * 10000 + today.month * 100 + today.day)
        info.FieldMask = mask
        if second is not None:
            info.Composite = 1
            info.Symbol2 = _fixed_text(second, 14, "second symbol")
            info.Operator = operator.encode("latin-1")[:1]
            info.PrimaryFactor, info.SecondaryFactor = primary_factor, secondary_factor
        check(library().ZARQ1_AddSecurity(self.number, byref(info), 0), f"{symbol} ({period})")
        return Security(self, info.Handle)
