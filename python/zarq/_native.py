"""The zarq shared library seen through ctypes.

This module finds and loads the library, declares the packed structures of
``zarq.h`` and the prototypes of the functions the package calls, and
initialises the library once per process (shutting it down at exit).

The library is found in this order: the file named by ``ZARQ_LIBRARY``; the
installed library (found by the system's loader); the build of this
repository (``build/native/libzarq.so``). When the repository's build is
used and ``ZARQ_COMMON_FILES`` is unset, it is pointed at the build's
``share`` folder so that status messages have their texts.

All calls are serialised by the library itself, so the objects here may be
used from any thread.
"""

from __future__ import annotations

import atexit
import ctypes
import ctypes.util
import getpass
import os
import sys
import threading
from ctypes import (POINTER, Structure, c_char, c_char_p, c_float, c_int32, c_uint8,
                    c_uint16, c_uint32, c_void_p)
from pathlib import Path
from typing import Optional

INTERFACE_VERSION = 9200

# Status codes the package tells apart (zarq.h has them all).
OK = 0
OPENED_NO_DATABASE = 1
NEAR_MATCH = 25
FEWER_READ = 52
BUFFER_FILLED = 53
E_INVALID_ARGUMENT = -124
E_OUT_OF_ORDER = -147
E_NO_DATA = -194
E_TOO_MANY_RECORDS = -150
E_NO_SUCH_SECURITY = -191
E_LOCK_CONFLICT = -321
E_HELD_BY_OTHER_PROGRAM = -362
E_ALREADY_REGISTERED = -365
E_DIRECTORY_OPEN = -371
E_NOT_A_FOLDER = -373

READ_LOCK = 16
WRITE_LOCK = 32
DEFINITION_LOCK = 127
FULL_LOCK = 128

OPEN_CREATE_FOLDER = 0x01
OPEN_BUILD_MASTERS = 0x02
OPEN_COUNT_AGAIN = 0x40

FIELD_DATE = 0x01
FIELD_CLOSE = 0x02
FIELD_VOL = 0x04
FIELD_HIGH = 0x08
FIELD_LOW = 0x10
FIELD_OPEN = 0x20
FIELD_OI = 0x40
FIELD_TIME = 0x80

FIND_AT_OR_BEFORE = 0
FIND_AT_OR_AFTER = 1
FIND_EXACT = 2

MAX_RECORDS = 65500


class SecurityInfo(Structure):
    _pack_ = 1
    _fields_ = [
        ("Size", c_uint32), ("Handle", c_uint32), ("Name", c_char * 46),
        ("Symbol", c_char * 15), ("Period", c_char), ("Interval", c_uint16),
        ("Composite", c_uint32), ("Flagged", c_uint32), ("ExtraCode", c_uint8),
        ("Symbol2", c_char * 15), ("Operator", c_char), ("Reserved1", c_uint8 * 3),
        ("PrimaryFactor", c_float), ("SecondaryFactor", c_float), ("FirstDate", c_int32),
        ("LastDate", c_int32), ("FirstTime", c_int32), ("LastTime", c_int32),
        ("StartTime", c_int32), ("EndTime", c_int32), ("BaseDate", c_int32),
        ("ExtraDate", c_int32), ("ExtraValue", c_uint32), ("FieldMask", c_uint16),
        ("Reserved2", c_uint16),
    ]


class SecurityId(Structure):
    _pack_ = 1
    _fields_ = [
        ("Size", c_uint32), ("DirNumber", c_uint8), ("Symbol", c_char * 15),
        ("Period", c_char), ("Reserved1", c_uint8), ("Interval", c_uint16),
        ("Composite", c_uint32), ("Symbol2", c_char * 15), ("Operator", c_char),
    ]


class DateTimePair(Structure):
    _pack_ = 1
    _fields_ = [("Date", c_int32), ("Time", c_int32)]


class SecurityUpdate(Structure):
    _pack_ = 1
    _fields_ = [
        ("Size", c_uint32), ("Name", c_char * 46), ("Symbol", c_char * 15),
        ("Reserved1", c_uint8 * 3), ("BaseDate", c_int32), ("StartTime", c_int32),
        ("EndTime", c_int32), ("Flagged", c_uint32), ("ExtraCode", c_uint8),
        ("Reserved2", c_uint8 * 3), ("PrimaryFactor", c_float), ("SecondaryFactor", c_float),
        ("ExtraDate", c_int32), ("ExtraValue", c_uint32), ("ChangeName", c_uint32),
        ("ChangeSymbol", c_uint32), ("ChangeBaseDate", c_uint32), ("ChangeStartTime", c_uint32),
        ("ChangeEndTime", c_uint32), ("ChangeFlagged", c_uint32), ("ChangeExtraCode", c_uint32),
        ("ChangePrimaryFactor", c_uint32), ("ChangeSecondaryFactor", c_uint32),
        ("ChangeExtraDate", c_uint32), ("ChangeExtraValue", c_uint32),
    ]


for _struct, _size in ((SecurityInfo, 148), (SecurityId, 44), (DateTimePair, 8),
                       (SecurityUpdate, 148)):
    assert ctypes.sizeof(_struct) == _size, _struct.__name__

_u8p, _u16p, _u32p = POINTER(c_uint8), POINTER(c_uint16), POINTER(c_uint32)
_pair = POINTER(DateTimePair)
_info = POINTER(SecurityInfo)

# name: (argument types); every function answers an int32 status unless
# listed in _RESTYPES. Price records travel as plain buffer addresses.
_PROTOTYPES = {
    "ZARQ1_Initialize": (c_char_p, c_char_p, c_int32),
    "ZARQ1_Shutdown": (),
    "ZARQ1_GetZARQState": (),
    "ZARQ1_GetErrorMessage": (c_int32, c_char_p, c_uint16),
    "ZARQ1_OpenDirectory": (c_char_p, _u8p, c_uint32),
    "ZARQ1_CloseDirectory": (c_uint32,),
    "ZARQ1_GetDataPath": (c_uint32, c_char_p, c_uint32),
    "ZARQ1_GetLastFailedOpenDirInfo": (c_char_p, c_char_p),
    "ZARQ1_GetSecurityHandle": (POINTER(SecurityId), _u32p),
    "ZARQ2_GetSecurityHandles": (c_uint8, c_uint32, c_uint32, _u32p, _u32p),
    "ZARQ1_GetSecurityCount": (c_uint8, _u32p),
    "ZARQ1_GetSecurityInfo": (c_uint32, _info),
    "ZARQ1_AddSecurity": (c_uint8, _info, c_uint32),
    "ZARQ1_UpdateSecurity": (c_uint32, POINTER(SecurityUpdate)),
    "ZARQ1_DeleteSecurity": (c_uint32, c_int32),
    "ZARQ1_LockSecurity": (c_uint32, c_uint32),
    "ZARQ1_UnlockSecurity": (c_uint32,),
    "ZARQ1_GetSecurityLockedStatus": (c_uint32, _u32p, _u32p),
    "ZARQ1_GetLastFailedLockInfo": (c_char_p, c_char_p, _u32p, _u32p),
    "ZARQ1_GetDataRecordCount": (c_uint32, _u16p),
    "ZARQ1_GetRecordCountForDateRange": (c_uint32, _pair, _pair, _u16p),
    "ZARQ2_ReadMultipleRecs": (c_uint32, c_void_p, _pair, _u16p, c_uint32),
    "ZARQ2_ReadMultipleRecsByDates": (c_uint32, c_void_p, _pair, _pair, _u16p, c_uint32),
    "ZARQ1_SeekEndData": (c_uint32,),
    "ZARQ2_WriteMultipleRecs": (c_uint32, c_void_p, c_uint16, c_uint32),
    "ZARQ2_DeleteMultipleRecs": (c_uint32, _pair, c_uint32, c_uint32),
    "ZARQ2_DeleteMultipleRecsByDates": (c_uint32, _pair, c_uint32, _pair, c_uint32),
    "ZARQ1_FindDataRec": (c_uint32, c_uint16, _pair),
}
_RESTYPES = {"ZARQ1_GetErrorMessage": c_char_p}


class _Library:
    """The loaded library: its functions as attributes, bound on first use."""

    def __init__(self, dll: ctypes.CDLL, path: str):
        self.dll = dll
        self.path = path

    def __getattr__(self, name: str):
        function = getattr(self.dll, name)
        function.argtypes = _PROTOTYPES[name]
        function.restype = _RESTYPES.get(name, c_int32)
        setattr(self, name, function)
        return function


def _repository_build() -> Optional[Path]:
    root = Path(__file__).resolve().parents[2]
    for name in ("libzarq.so", "zarq.dll"):
        candidate = root / "build" / "native" / name
        if candidate.is_file():
            return candidate
    return None


def _load() -> _Library:
    loader = ctypes.WinDLL if sys.platform == "win32" else ctypes.CDLL
    named = os.environ.get("ZARQ_LIBRARY")
    if named:
        return _Library(loader(named), named)
    installed = ctypes.util.find_library("zarq")
    if installed:
        try:
            return _Library(loader(installed), installed)
        except OSError:
            pass
    built = _repository_build()
    if built is None:
        raise OSError("the zarq library was not found: set ZARQ_LIBRARY to libzarq.so or "
                      "zarq.dll, install it, or build it in build/native")
    messages = built.parent / "share"
    if not os.environ.get("ZARQ_COMMON_FILES") and (messages / "zarq").is_dir():
        os.environ["ZARQ_COMMON_FILES"] = str(messages)
    return _Library(loader(str(built)), str(built))


_lock = threading.Lock()
_library: Optional[_Library] = None
_names = {"application": None, "user": None}


def _default_application() -> str:
    program = Path(sys.argv[0]).stem if sys.argv and sys.argv[0] else ""
    return program or "python"


def _default_user() -> str:
    try:
        return getpass.getuser()
    except Exception:  # no login name on this system: the library's own default
        return ""


def initialize(application: Optional[str] = None, user: Optional[str] = None) -> None:
    """Names this process to others sharing a folder; call before any other use.

    Without this call the library is initialised at first use with the
    program's name and the login name. Calling it after that raises
    RuntimeError.
    """
    with _lock:
        if _library is not None:
            raise RuntimeError("the zarq library is initialised already")
        _names["application"], _names["user"] = application, user
    library()


def library() -> _Library:
    """The loaded and initialised library."""
    global _library
    with _lock:
        if _library is None:
            lib = _load()
            application = _names["application"] or _default_application()
            user = _names["user"] if _names["user"] is not None else _default_user()
            status = lib.ZARQ1_Initialize(application.encode(), user.encode(),
                                          INTERFACE_VERSION)
            if status != OK:
                from zarq.errors import error_for  # errors imports this module
                raise error_for(status, lib)
            atexit.register(lib.ZARQ1_Shutdown)
            _library = lib
        return _library


def message(status: int, lib: Optional[_Library] = None) -> str:
    """The library's text for a status (empty without the message file)."""
    lib = lib or library()
    buffer = ctypes.create_string_buffer(1024)
    lib.ZARQ1_GetErrorMessage(status, buffer, 1023)
    return buffer.value.decode("latin-1").strip()


def text(value: bytes) -> str:
    """A fixed-size text field as Python text."""
    return value.split(b"\0", 1)[0].decode("latin-1").rstrip()


__all__ = ["initialize", "library", "message"]
