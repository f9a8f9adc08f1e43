"""zarq for Python: price histories of a zarq database as NumPy arrays and
pandas DataFrames.

    import zarq
    with zarq.Database("/data/prices") as db:
        frame = db["MSFT"].to_pandas()

The package calls the zarq library (libzarq.so or zarq.dll) through ctypes;
see ``zarq._native`` for how the library is found. The library is
initialised at first use with the program's and the login name
(``zarq.initialize`` names them otherwise) and shut down at exit.
"""

from zarq._native import initialize, message
from zarq.database import PRICE_FIELDS, RECORD_DTYPE, Database, Security
from zarq.errors import (DamagedDataError, Error, InvalidArgumentError, LockedError,
                         NotADatabaseError, NotFoundError)

__all__ = [
    "Database", "Security", "RECORD_DTYPE", "PRICE_FIELDS", "initialize", "message", "Error",
    "NotFoundError", "NotADatabaseError", "LockedError", "InvalidArgumentError",
    "DamagedDataError",
]
