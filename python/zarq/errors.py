"""The exceptions of the zarq package.

Every failure of a library call becomes an ``Error`` carrying the library's
status and its own message text; the subclasses group the statuses a caller
is likely to handle. Input that the package refuses before calling the
library raises ``InvalidArgumentError`` with the status the library would
have given and a detail naming what is wrong.
"""

from __future__ import annotations

import ctypes

from zarq import _native


class Error(Exception):
    """A library status other than success: ``status`` and ``message``."""

    def __init__(self, status: int, message: str, detail: str = ""):
        self.status = status
        self.message = message
        self.detail = detail
        text = f"zarq status {status}"
        if message:
            text += f": {message}"
        if detail:
            text += f" ({detail})"
        super().__init__(text)


class NotFoundError(Error, LookupError):
    """No such security, folder or database."""


class NotADatabaseError(NotFoundError):
    """A folder that holds no database (nothing was created in it)."""


class LockedError(Error):
    """Another process holds what was asked for.

    ``application`` and ``user`` name the holder when there is one;
    ``holders`` counts them and ``level`` is the lock level in force.
    """

    def __init__(self, status: int, message: str, detail: str = "", *,
                 application: str = "", user: str = "", holders: int = 0, level: int = 0):
        self.application = application
        self.user = user
        self.holders = holders
        self.level = level
        super().__init__(status, message, detail)


class InvalidArgumentError(Error, ValueError):
    """An argument or input data the library cannot take."""


class DamagedDataError(Error):
    """A database file that is damaged or of an unknown layout."""


_NOT_FOUND = {-191, -296, -373, -374, -192, -196, -197}
_LOCKED = {-321, -325, -362, -365, -366}
_INVALID = {-124, -143, -144, -145, -146, -147, -148, -149, -150, -167, -168, -169, -170,
            -171, -172, -173, -174, -175, -224}
_DAMAGED = {-199, -247, -248, -275, -351, -352, -353, -354, -355, -398}


def error_for(status: int, lib=None, detail: str = "") -> Error:
    """The exception for a status, with the library's message (and for a
    refused lock or open, the holder's names)."""
    message = _native.message(status, lib)
    if status == _native.OPENED_NO_DATABASE:
        return NotADatabaseError(status, message, detail)
    if status in _NOT_FOUND:
        return NotFoundError(status, message, detail)
    if status in _LOCKED:
        return _locked(status, message, detail, lib or _native.library())
    if status in _INVALID:
        return InvalidArgumentError(status, message, detail)
    if status in _DAMAGED:
        return DamagedDataError(status, message, detail)
    return Error(status, message, detail)


def _locked(status: int, message: str, detail: str, lib) -> LockedError:
    application = ctypes.create_string_buffer(64)
    user = ctypes.create_string_buffer(64)
    count, level = ctypes.c_uint32(0), ctypes.c_uint32(0)
    if status in (_native.E_HELD_BY_OTHER_PROGRAM, _native.E_ALREADY_REGISTERED):
        lib.ZARQ1_GetLastFailedOpenDirInfo(application, user)
        count.value = 1 if application.value else 0
    else:
        lib.ZARQ1_GetLastFailedLockInfo(application, user, ctypes.byref(count),
                                        ctypes.byref(level))
    app = _native.text(application.value)
    who = _native.text(user.value)
    if count.value != 1:  # the user field then counts the holders
        app = ""
    return LockedError(status, message, detail, application=app,
                       user=who if count.value == 1 else "", holders=count.value,
                       level=level.value)


def check(status: int, detail: str = "", ok: tuple = (0,)) -> int:
    """Raises the status's exception unless it is one of ok; returns it."""
    if status in ok:
        return status
    raise error_for(status, detail=detail)


def refuse(status: int, detail: str) -> InvalidArgumentError:
    """The exception for input refused before any library call."""
    return InvalidArgumentError(status, _native.message(status), detail)
