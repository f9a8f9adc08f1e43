/* zarq.h: the public C interface of the zarq library.
 *
 * zarq reads and maintains a database of securities and their price
 * histories kept in a plain folder that several processes may share. Every
 * function returns a signed 32-bit status (ZarqStatus below): 0 is success,
 * small positive values are successes with news, negative values are errors.
 * All calls are serialised by one process-wide lock, so the library may be
 * called from any thread of the host.
 *
 * Structures are byte-packed and little-endian; their sizes are fixed.
 */
#ifndef ZARQ_H_
#define ZARQ_H_

#include <stdint.h>

#include "zarq_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The interface version that ZARQ1_Initialize expects. */
#define ZARQ_INTERFACE_VERSION 9200

/* Status codes. The numbers are fixed; they are never renumbered. */
enum ZarqStatus {
  ZARQ_OK = 0,
  ZARQ_OPENED_NO_DATABASE = 1, /* directory open, no MASTER file yet */
  ZARQ_MESSAGE_2 = 2,          /* message only */
  ZARQ_OPENED_BUILT = 3,       /* master files built while opening */
  ZARQ_OPENED_CREATED = 4,     /* directory created while opening */
  ZARQ_NO_PREVIOUS = 5,        /* no live security precedes this one */
  ZARQ_NO_NEXT = 6,            /* no live security follows this one */
  ZARQ_NEAR_MATCH = 25,        /* search found a neighbouring record */
  ZARQ_MESSAGE_50 = 50,        /* message only */
  ZARQ_FEWER_DELETED = 51,     /* fewer records deleted than asked */
  ZARQ_FEWER_READ = 52,        /* fewer records available than asked */
  ZARQ_BUFFER_FILLED = 53,     /* buffer filled before the end moment */

  ZARQ_E_PERIOD_NOT_LONGER = -99,
  ZARQ_E_MESSAGE_123 = -123, /* message only */
  ZARQ_E_INVALID_ARGUMENT = -124,
  ZARQ_E_NO_COMPOSITE_STATE = -125,
  ZARQ_E_INDEX_ENTRY_MISSING = -142,
  ZARQ_E_RECORD_NUMBER_RANGE = -143,
  ZARQ_E_RECORD_EXISTS = -144,
  ZARQ_E_BEFORE_FIRST = -145,
  ZARQ_E_AFTER_LAST = -146,
  ZARQ_E_OUT_OF_ORDER = -147,
  ZARQ_E_NO_EXACT_RECORD = -148,
  ZARQ_E_NO_INSERT = -149,
  ZARQ_E_TOO_MANY_RECORDS = -150,
  ZARQ_E_INVALID_HANDLE = -167,
  ZARQ_E_BAD_EXTRA_CODE = -168,
  ZARQ_E_BAD_RECORD_COUNT = -169,
  ZARQ_E_BAD_FIELD_MASK = -170,
  ZARQ_E_BAD_OPERATOR = -171,
  ZARQ_E_BAD_PERIOD = -172,
  ZARQ_E_BAD_INTERVAL = -173,
  ZARQ_E_BAD_TIME = -174,
  ZARQ_E_BAD_DATE = -175,
  ZARQ_E_SAME_SECURITY = -188,
  ZARQ_E_COMPOSITE_LIST_FULL = -189,
  ZARQ_E_DIRECTORY_FULL = -190,
  ZARQ_E_NO_SUCH_SECURITY = -191,
  ZARQ_E_NOT_COMPOSITE = -192,
  ZARQ_E_IS_COMPOSITE = -193,
  ZARQ_E_NO_DATA = -194,
  ZARQ_E_USED_BY_COMPOSITES = -195,
  ZARQ_E_NO_SECONDARY = -196,
  ZARQ_E_NO_PRIMARY = -197,
  ZARQ_E_SECURITY_EXISTS = -198,
  ZARQ_E_DUPLICATE_SECURITY = -199,
  ZARQ_E_LAYOUT_DIFFERS = -200,
  ZARQ_E_BAD_SYMBOL_TEXT = -224,
  ZARQ_E_SAME_COMPONENTS = -225,
  ZARQ_E_BAD_VERSION = -247,
  ZARQ_E_STAMP_MISMATCH = -248,
  ZARQ_E_MESSAGE_249 = -249, /* message only */
  ZARQ_E_MESSAGE_250 = -250, /* message only */
  ZARQ_E_SHORT_WRITE = -274,
  ZARQ_E_SHORT_READ = -275,
  ZARQ_E_FILE_QUERY = -292,
  ZARQ_E_BEYOND_END = -293,
  ZARQ_E_ACCESS_DENIED = -294,
  ZARQ_E_BAD_FILE_HANDLE = -295,
  ZARQ_E_FILE_NOT_FOUND = -296,
  ZARQ_E_WRITE_FAILED = -297,
  ZARQ_E_READ_FAILED = -298,
  ZARQ_E_OPEN_FAILED = -299,
  ZARQ_E_END_OF_FILE = -300,
  ZARQ_E_LOCK_TOO_WEAK = -319,
  ZARQ_E_NOT_LOCKED = -320,
  ZARQ_E_LOCK_CONFLICT = -321,
  ZARQ_E_LOCK_TABLE_FULL = -322,
  ZARQ_E_LOCK_FAILED = -323,
  ZARQ_E_BAD_LOCK_MODE = -324,
  ZARQ_E_RANGE_LOCKED = -325,
  ZARQ_E_NETWORK = -340,
  ZARQ_E_SYSTEM_17 = -341,
  ZARQ_E_DISK_FULL = -342,
  ZARQ_E_WRITE_PROTECTED = -343,
  ZARQ_E_SYSTEM_11 = -344,
  ZARQ_E_SEEK_FAILED = -345,
  ZARQ_E_SYSTEM_27 = -346,
  ZARQ_E_FOLDER_FAILED = -347,
  ZARQ_E_SYSTEM_31 = -348,
  ZARQ_E_NOT_READY = -349,
  ZARQ_E_SYSTEM_23 = -350,
  ZARQ_E_BAD_USER_FILE = -351,
  ZARQ_E_BAD_LIST_FILE = -352,
  ZARQ_E_BAD_LOCK_FILE = -353,
  ZARQ_E_BAD_INDEX_FILE = -354,
  ZARQ_E_BAD_XMASTER = -355,
  ZARQ_E_NO_RELOCATED_NAME = -360,
  ZARQ_E_READ_ONLY_DIRECTORY = -361,
  ZARQ_E_HELD_BY_OTHER_PROGRAM = -362,
  ZARQ_E_REGISTRATION_LOST = -363,
  ZARQ_E_TOO_MANY_USERS = -364,
  ZARQ_E_ALREADY_REGISTERED = -365,
  ZARQ_E_USER_FILE_LOCKED = -366,
  ZARQ_E_NOT_REGISTERED = -367,
  ZARQ_E_DATABASE_EXISTS = -368,
  ZARQ_E_TOO_MANY_DIRECTORIES = -369,
  ZARQ_E_DIRECTORY_NOT_OPEN = -370,
  ZARQ_E_DIRECTORY_OPEN = -371,
  ZARQ_E_CANNOT_CREATE_FOLDER = -372,
  ZARQ_E_NOT_A_FOLDER = -373,
  ZARQ_E_BAD_PATH = -374,
  ZARQ_E_BAD_DRIVE = -375,
  ZARQ_E_WRONG_VERSION = -391,
  ZARQ_E_NO_TEMP_FOLDER = -392,
  ZARQ_E_MESSAGE_393 = -393, /* message only */
  ZARQ_E_OUT_OF_MEMORY = -394,
  ZARQ_E_FILE_TABLE_TOO_SMALL = -395,
  ZARQ_E_MESSAGE_396 = -396, /* message only */
  ZARQ_E_UNSUPPORTED_SYSTEM = -397,

  /* Library states, as ZARQ1_GetZARQState reports them; every call made in
   * a state other than ZARQ_STATE_INITIALIZED returns the state. */
  ZARQ_STATE_DAMAGED = -398,
  ZARQ_STATE_INITIALIZED = -399,
  ZARQ_STATE_UNINITIALIZED = -400
};

#pragma pack(push, 1)

/* A security's description, received from and supplied to the library. */
typedef struct ZarqSecurityInfo {
  uint32_t Size; /* set to 148 on output */
  uint32_t Handle;
  char Name[46];
  char Symbol[15];
  char Period;       /* 'D', 'W', 'M' or 'I' */
  uint16_t Interval; /* minutes, intraday only */
  uint32_t Composite;
  uint32_t Flagged;
  uint8_t ExtraCode;
  char Symbol2[15]; /* secondary component of a composite */
  char Operator;    /* '+', '-', '*' or '/' for a composite */
  uint8_t Reserved1[3];
  float PrimaryFactor;
  float SecondaryFactor;
  int32_t FirstDate;
  int32_t LastDate;
  int32_t FirstTime;
  int32_t LastTime;
  int32_t StartTime;
  int32_t EndTime;
  int32_t BaseDate;
  int32_t ExtraDate;
  uint32_t ExtraValue;
  uint16_t FieldMask;
  uint16_t Reserved2;
} ZarqSecurityInfo;

/* The identity by which a security is looked up. */
typedef struct ZarqSecurityId {
  uint32_t Size; /* set to 44 on output */
  uint8_t DirNumber;
  char Symbol[15];
  char Period;
  uint8_t Reserved1;
  uint16_t Interval;
  uint32_t Composite;
  char Symbol2[15];
  char Operator;
} ZarqSecurityId;

/* One price record as callers exchange it. */
typedef struct ZarqPriceRecord {
  int32_t Date; /* ZARQ date: year*10000 + month*100 + day */
  int32_t Time; /* ZARQ time: hour*100000 + minute*1000 + ticks */
  float Open;
  float High;
  float Low;
  float Close;
  float Volume;
  float OpenInterest;
  uint16_t FieldMask;
  uint16_t Reserved;
} ZarqPriceRecord;

/* A moment: a ZARQ date followed by a ZARQ time. */
typedef struct ZarqDateTimePair {
  int32_t Date;
  int32_t Time;
} ZarqDateTimePair;

/* Changes for ZARQ1_UpdateSecurity; a value applies only when its Change
 * flag is nonzero. */
typedef struct ZarqSecurityUpdate {
  uint32_t Size;
  char Name[46];
  char Symbol[15];
  uint8_t Reserved1[3];
  int32_t BaseDate;
  int32_t StartTime;
  int32_t EndTime;
  uint32_t Flagged;
  uint8_t ExtraCode;
  uint8_t Reserved2[3];
  float PrimaryFactor;
  float SecondaryFactor;
  int32_t ExtraDate;
  uint32_t ExtraValue;
  uint32_t ChangeName;
  uint32_t ChangeSymbol;
  uint32_t ChangeBaseDate;
  uint32_t ChangeStartTime;
  uint32_t ChangeEndTime;
  uint32_t ChangeFlagged;
  uint32_t ChangeExtraCode;
  uint32_t ChangePrimaryFactor;
  uint32_t ChangeSecondaryFactor;
  uint32_t ChangeExtraDate;
  uint32_t ChangeExtraValue;
} ZarqSecurityUpdate;

/* One arithmetic adjustment per price field for ZARQ2_AdjustData. */
typedef struct ZarqAdjustSpec {
  uint32_t Reserved1;
  char CloseOperator;
  char HighOperator;
  char LowOperator;
  char OpenOperator;
  char OpenInterestOperator;
  char VolumeOperator;
  uint8_t Reserved2[2];
  float CloseOperand;
  float HighOperand;
  float LowOperand;
  float OpenOperand;
  float OpenInterestOperand;
  float VolumeOperand;
} ZarqAdjustSpec;

/* What ZARQ1_GetDirectoryStatus reports about a directory. */
typedef struct ZarqDirectoryStatus {
  uint32_t Size; /* 40 */
  uint32_t Valid;
  uint32_t InUse;
  uint32_t HoldsDatabase;
  uint16_t DriveKind;
  uint16_t Reserved1;
  uint32_t OpenHere;
  uint32_t ReadOnly;
  uint32_t RegistrationLost;
  uint8_t DirNumber;
  uint8_t Reserved2[3];
  uint32_t LiveSecurities;
} ZarqDirectoryStatus;

#pragma pack(pop)

#ifdef __cplusplus
#define ZARQ_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define ZARQ_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
ZARQ_STATIC_ASSERT(sizeof(ZarqSecurityInfo) == 148, "ZarqSecurityInfo is 148 bytes");
ZARQ_STATIC_ASSERT(sizeof(ZarqSecurityId) == 44, "ZarqSecurityId is 44 bytes");
ZARQ_STATIC_ASSERT(sizeof(ZarqPriceRecord) == 36, "ZarqPriceRecord is 36 bytes");
ZARQ_STATIC_ASSERT(sizeof(ZarqDateTimePair) == 8, "ZarqDateTimePair is 8 bytes");
ZARQ_STATIC_ASSERT(sizeof(ZarqSecurityUpdate) == 148, "ZarqSecurityUpdate is 148 bytes");
ZARQ_STATIC_ASSERT(sizeof(ZarqAdjustSpec) == 36, "ZarqAdjustSpec is 36 bytes");
ZARQ_STATIC_ASSERT(sizeof(ZarqDirectoryStatus) == 40, "ZarqDirectoryStatus is 40 bytes");

/* Lifecycle ---------------------------------------------------------------*/

/* Initialises the library for this process. application and user name the
 * process to others sharing a directory (at most 30 characters of each are
 * kept; empty or null gives "Unknown" / "Unknown User"). version must be
 * ZARQ_INTERFACE_VERSION. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_Initialize(const char *application, const char *user,
                                            int32_t version);
/* Closes every open directory and releases all resources. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_Shutdown(void);
/* The library state: ZARQ_STATE_UNINITIALIZED, _INITIALIZED or _DAMAGED. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetZARQState(void);
/* The message of a status in the user's language, with details of the
 * last refused lock or directory open for ZARQ_E_LOCK_CONFLICT and
 * ZARQ_E_HELD_BY_OTHER_PROGRAM: at most maxLength characters and a NUL are
 * written to text (maxLength + 1 bytes at most; nothing when text is null).
 * The text is empty when the message file is not installed. Returns text. */
ZARQ_API char *ZARQ_CALL ZARQ1_GetErrorMessage(int32_t status, char *text, uint16_t maxLength);

/* Directories -------------------------------------------------------------*/

/* Flags of ZARQ1_OpenDirectory. */
#define ZARQ_OPEN_CREATE_FOLDER 0x01    /* create the folder and missing parents */
#define ZARQ_OPEN_BUILD_MASTERS 0x02    /* build master files when MASTER is missing */
#define ZARQ_OPEN_ALLOW_SAME_USER 0x04  /* take over a stale record of this identity */
#define ZARQ_OPEN_MERGE_DUPLICATES 0x08 /* merge securities listed twice */
#define ZARQ_OPEN_ERASE_WHEN_EMPTY                                               \
  0x10                                  /* erase the database when the last user \
                                           leaves it without securities */
#define ZARQ_OPEN_FIELD_LIST_FILES 0x20 /* keep a field-list file by each data file */
#define ZARQ_OPEN_COUNT_AGAIN 0x40      /* count one more open of an open directory */

/* Opens a data directory and gives it a number (1..125). Results: 0 open
 * with a database; ZARQ_OPENED_NO_DATABASE (1) open, no MASTER file;
 * ZARQ_OPENED_BUILT (3); ZARQ_OPENED_CREATED (4); or an error.
 * ZARQ_E_DIRECTORY_OPEN also sets *number. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_OpenDirectory(const char *path, uint8_t *number, uint32_t flags);
/* Closes one open of a directory; the last close releases it. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_CloseDirectory(uint32_t number);
/* The directory's path (at least 256 bytes), ending with the separator
 * unless strip is nonzero (a root keeps it). */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDataPath(uint32_t number, char *path, uint32_t strip);
/* The number of the open directory at path. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDirectoryNumber(const char *path, uint8_t *number);
/* Reports on the open directory number (when above 0), else on the folder
 * at path, open or not. The block is cleared and its Size set even when the
 * call fails. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDirectoryStatus(int8_t number, const char *path,
                                                    ZarqDirectoryStatus *status);
/* After an open refused with ZARQ_E_HELD_BY_OTHER_PROGRAM or
 * ZARQ_E_ALREADY_REGISTERED: the application and user names (at least 31
 * bytes each) of whoever holds the directory; empty after any other open. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetLastFailedOpenDirInfo(char *application, char *user);
/* Turns an open directory without a database into an empty database. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_BuildQuorvantaDirectory(uint32_t number);

/* Securities --------------------------------------------------------------*/

/* A security handle: the directory number in bits 24..31, bit 23 set for a
 * composite, the security's slot in bits 0..15. */

/* The handle of the security of id (symbol as given, letter case
 * counting; period in either case; interval only for 'I'; for a composite
 * its second symbol and operator). ZARQ_E_NO_SUCH_SECURITY when there is
 * none. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetSecurityHandle(const ZarqSecurityId *id, uint32_t *handle);
/* Up to maxCount handles of the directory's securities in list order, from
 * start (0: the first); *count tells how many were stored. */
ZARQ_API int32_t ZARQ_CALL ZARQ2_GetSecurityHandles(uint8_t dir, uint32_t start,
                                                    uint32_t maxCount, uint32_t *handles,
                                                    uint32_t *count);
/* The directory number of a handle of an open directory. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDirNumberFromHandle(uint32_t handle, uint8_t *dir);
/* The identity of a security (id is cleared and its Size set first). */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetSecurityID(uint32_t handle, ZarqSecurityId *id);
/* The number of live securities of the directory. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetSecurityCount(uint8_t dir, uint32_t *count);
/* A security's description. ZARQ_E_NO_SUCH_SECURITY for a deleted one
 * (the description is filled all the same). */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetSecurityInfo(uint32_t handle, ZarqSecurityInfo *info);
/* The first and last live securities in list order; the next and previous
 * ones from a handle (0: the security the last of these calls returned).
 * ZARQ_NO_PREVIOUS and ZARQ_NO_NEXT tell that none precedes or follows the
 * one returned; ZARQ_E_NO_SUCH_SECURITY that there was none to return. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetFirstSecurityInfo(uint8_t dir, ZarqSecurityInfo *info);
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetLastSecurityInfo(uint8_t dir, ZarqSecurityInfo *info);
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetNextSecurityInfo(uint32_t handle, ZarqSecurityInfo *info);
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetPrevSecurityInfo(uint32_t handle, ZarqSecurityInfo *info);
/* Adds the security info describes before the security anchor (at the end
 * when anchor is 0 or names no live security of dir), with an empty data
 * file; on success info is filled as ZARQ1_GetSecurityInfo gives it. A
 * composite takes its components' dates and common fields;
 * ZARQ_E_NO_PRIMARY, ZARQ_E_NO_SECONDARY and ZARQ_E_SAME_COMPONENTS tell
 * what is wrong with them. ZARQ_E_SECURITY_EXISTS when the identity is
 * listed already. A failed addition leaves nothing behind. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_AddSecurity(uint8_t dir, ZarqSecurityInfo *info, uint32_t anchor);
/* Changes the flagged fields of a security the caller holds locked at
 * ZARQ_DEFINITION_LOCK or more; they reach the files at its unlock. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_UpdateSecurity(uint32_t handle, const ZarqSecurityUpdate *update);
/* Deletes a security and its files. ZARQ_E_USED_BY_COMPOSITES when
 * composites are built on it, unless cascade is nonzero: they are deleted
 * first. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_DeleteSecurity(uint32_t handle, int32_t cascade);
/* Orders the stretch of the list from first to last (handles of one
 * directory) by name, letter case aside, live securities before deleted
 * ones; records and handles stay where they are. */
ZARQ_API int32_t ZARQ_CALL ZARQ2_SortSecurities(uint32_t first, uint32_t last);
/* Copies the security of source (held locked at ZARQ_READ_LOCK or more;
 * not a composite) with its price data, and with charts nonzero its chart
 * files, into the open directory dir: added there, or with replace
 * nonzero taking the place of the security of its identity
 * (ZARQ_E_SECURITY_EXISTS without). ZARQ_E_SAME_SECURITY when dir is the
 * source's own directory. A failed copy leaves the destination as it
 * was. */
ZARQ_API int32_t ZARQ_CALL ZARQ2_CopySecurity(uint32_t source, uint8_t dir, int32_t charts,
                                              uint32_t replace);

/* Lock levels. */
#define ZARQ_READ_LOCK 16        /* shared: reading price data */
#define ZARQ_WRITE_LOCK 32       /* writing price data */
#define ZARQ_DEFINITION_LOCK 127 /* changing a security's description */
#define ZARQ_FULL_LOCK 128       /* deleting, copying, restructuring */

/* Locks a security across processes. ZARQ_E_LOCK_CONFLICT when others hold
 * it at a level that does not admit this one (or this process locked it
 * already); ZARQ_E_LOCK_TABLE_FULL with 24 securities locked here. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_LockSecurity(uint32_t handle, uint32_t level);
/* Unlocks it; changes made under a write lock reach the files now. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_UnlockSecurity(uint32_t handle);
/* Whether a security is locked: *status 0 not at all, 1 by this process
 * (*level its level), 2 by others (the level in force); for a composite
 * not locked itself, 3 or 4 when a component is locked here or elsewhere
 * (*level the component's). */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetSecurityLockedStatus(uint32_t handle, uint32_t *status,
                                                         uint32_t *level);
/* Who held the security whose lock was last refused: *count holders at
 * *level; with one holder its application and user names (at most 30
 * characters each; buffers of 31), else "no users" or "<n> users" in
 * user. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetLastFailedLockInfo(char *application, char *user,
                                                       uint32_t *count, uint32_t *level);

/* Price data -------------------------------------------------------------*/

/* The fields of a FieldMask. Every security stores DATE, CLOSE and VOL, 4 to
 * 8 fields in all, the lowest bits set first (DATE, CLOSE, VOL, HIGH, LOW,
 * OPEN, OI); an intraday security stores TIME in place of its highest one. */
#define ZARQ_FIELD_DATE 0x01
#define ZARQ_FIELD_CLOSE 0x02
#define ZARQ_FIELD_VOL 0x04
#define ZARQ_FIELD_HIGH 0x08
#define ZARQ_FIELD_LOW 0x10
#define ZARQ_FIELD_OPEN 0x20
#define ZARQ_FIELD_OI 0x40
#define ZARQ_FIELD_TIME 0x80

/* A security's price records are read and changed through a cursor kept
 * while the caller holds it locked (reading needs ZARQ_READ_LOCK, changing
 * ZARQ_WRITE_LOCK; ZARQ_E_LOCK_TOO_WEAK or ZARQ_E_NOT_LOCKED otherwise).
 * Record numbers run from 1; a security holds at most 65500 records, in
 * ascending order of their moments (date, and time for intraday ones).
 *
 * Search modes (mode arguments): */
#define ZARQ_FIND_AT_OR_BEFORE 0 /* the moment, else the last record before it */
#define ZARQ_FIND_AT_OR_AFTER 1  /* the moment, else the first record after it */
#define ZARQ_FIND_EXACT 2        /* exactly the moment (any other value too) */
#define ZARQ_FIND_AT_CURSOR 3    /* no search: the cursor (where allowed) */
/* A search finds the first record of the moment: 0; or a neighbour by the
 * mode: ZARQ_NEAR_MATCH, with the moment changed to the neighbour's;
 * ZARQ_E_BEFORE_FIRST, ZARQ_E_AFTER_LAST, ZARQ_E_NO_EXACT_RECORD when there
 * is none; ZARQ_E_NO_DATA without records. */

/* Places the cursor before the first record, or past the last. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_SeekBeginData(uint32_t handle);
ZARQ_API int32_t ZARQ_CALL ZARQ1_SeekEndData(uint32_t handle);
/* The number and moment of the record at the cursor, which does not move;
 * ZARQ_E_END_OF_FILE past the last record. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetCurrentDataPos(uint32_t handle, uint16_t *recno,
                                                   ZarqDateTimePair *pair);
/* The number of price records. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDataRecordCount(uint32_t handle, uint16_t *count);
/* The number of records from start to end (both included). */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetRecordCountForDateRange(uint32_t handle,
                                                            const ZarqDateTimePair *start,
                                                            const ZarqDateTimePair *end,
                                                            uint16_t *count);
/* Searches for *pair (changed to a neighbour's moment when one is found)
 * and places the cursor at the record found. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_FindDataDate(uint32_t handle, ZarqDateTimePair *pair,
                                              uint16_t *recno, uint32_t mode);
/* Places the cursor at record recno and gives its moment. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_FindDataRec(uint32_t handle, uint16_t recno,
                                             ZarqDateTimePair *pair);
/* Reads the record at the cursor and moves past it; the second form
 * searches first. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_ReadDataRec(uint32_t handle, ZarqPriceRecord *rec);
ZARQ_API int32_t ZARQ_CALL ZARQ2_ReadDataRec(uint32_t handle, const ZarqDateTimePair *pair,
                                             ZarqPriceRecord *rec, uint32_t mode);
/* Reads up to *count (1..65500) records from the record found (mode 3: the
 * cursor); *count is set to the number read. ZARQ_FEWER_READ when the data
 * ended first. */
ZARQ_API int32_t ZARQ_CALL ZARQ2_ReadMultipleRecs(uint32_t handle, ZarqPriceRecord *recs,
                                                  const ZarqDateTimePair *pair, uint16_t *count,
                                                  uint32_t mode);
/* Reads the up to *count records ending at the record found for *end
 * (mode 3: at the cursor), in ascending order, and leaves the cursor just
 * before them: mode 3 then pages further back (no record once the first
 * has been read). */
ZARQ_API int32_t ZARQ_CALL ZARQ2_ReadBackMultipleRecs(uint32_t handle, ZarqPriceRecord *recs,
                                                      const ZarqDateTimePair *end, uint16_t *count,
                                                      uint32_t mode);
/* Reads forward from the record found for start while records lie at or
 * before end: 0 when the range was read to its end, ZARQ_BUFFER_FILLED when
 * records of it remain, ZARQ_FEWER_READ when the data ended first. */
ZARQ_API int32_t ZARQ_CALL ZARQ2_ReadMultipleRecsByDates(uint32_t handle, ZarqPriceRecord *recs,
                                                         const ZarqDateTimePair *start,
                                                         const ZarqDateTimePair *end,
                                                         uint16_t *count, uint32_t mode);
/* Writes at the cursor (overwriting, or appending past the last record). A
 * record's FieldMask is ignored: the security's fields are stored. Every
 * date and time is checked before anything is written; a failed change
 * leaves the data as it was. ZARQ_E_TOO_MANY_RECORDS beyond 65500. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_WriteDataRec(uint32_t handle, const ZarqPriceRecord *rec);
/* Places the record by its moment: inserted, appended, or over the record
 * of that moment when replace is nonzero (else ZARQ_E_RECORD_EXISTS). */
ZARQ_API int32_t ZARQ_CALL ZARQ2_WriteDataRec(uint32_t handle, const ZarqPriceRecord *rec,
                                              uint32_t replace);
/* Writes count records from the record of the first one's moment. */
ZARQ_API int32_t ZARQ_CALL ZARQ2_WriteMultipleRecs(uint32_t handle, const ZarqPriceRecord *recs,
                                                   uint16_t count, uint32_t mode);
/* Inserts before the record at the cursor (ZARQ_E_NO_INSERT when full),
 * or count records before the record found for the first one's moment. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_InsertDataRec(uint32_t handle, const ZarqPriceRecord *rec);
ZARQ_API int32_t ZARQ_CALL ZARQ2_InsertMultipleRecs(uint32_t handle, const ZarqPriceRecord *recs,
                                                    uint16_t count, uint32_t mode);
/* Deletes the record at the cursor, count records from the record of
 * *pair (ZARQ_FEWER_DELETED when the data ended first), or the records
 * from start to end. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_DeleteDataRec(uint32_t handle);
ZARQ_API int32_t ZARQ_CALL ZARQ2_DeleteMultipleRecs(uint32_t handle, const ZarqDateTimePair *pair,
                                                    uint32_t count, uint32_t mode);
ZARQ_API int32_t ZARQ_CALL ZARQ2_DeleteMultipleRecsByDates(uint32_t handle,
                                                           const ZarqDateTimePair *start,
                                                           uint32_t startMode,
                                                           const ZarqDateTimePair *end,
                                                           uint32_t endMode);

/* Data maintenance: whole-file operations on one security's price data. A
 * rebuilt data file replaces the old one in one step only when it is
 * complete: a failure leaves the data as they were. Composites are refused
 * with ZARQ_E_IS_COMPOSITE. */
/* Adjusts every record from the first at or after *from to the last at or
 * before *to by *adjustment (ZARQ_WRITE_LOCK). */
ZARQ_API int32_t ZARQ_CALL ZARQ2_AdjustData(uint32_t handle, const ZarqDateTimePair *from,
                                            const ZarqDateTimePair *to,
                                            const ZarqAdjustSpec *adjustment);
/* Converts every record to the fields of fieldMask (ZARQ_FULL_LOCK). */
ZARQ_API int32_t ZARQ_CALL ZARQ2_ChangeFieldsInData(uint32_t handle, uint16_t fieldMask);
/* Merges source's records into destination's in moment order; on a moment
 * in both, mode 0 keeps the source's record, 1 the destination's, any other
 * both. */
ZARQ_API int32_t ZARQ_CALL ZARQ2_MergeData(uint32_t source, uint32_t destination, uint32_t mode);
/* Sorts the records by moment, keeping the order of records of one moment. */
ZARQ_API int32_t ZARQ_CALL ZARQ2_SortData(uint32_t handle);
/* Keeps one record of each moment: the first, or the last when keep is 1. */
ZARQ_API int32_t ZARQ_CALL ZARQ2_RemoveDuplicateDataRecs(uint32_t handle, uint32_t keep);

/* Dates and times (work in any library state) -----------------------------*/

/* Builds a ZARQ date; a year of 0 to 99 is widened by the two-digit-year
 * window. On an invalid date *date is 0 and the result ZARQ_E_BAD_DATE. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_MakeZARQDate(uint32_t *date, uint16_t month, uint16_t day,
                                              uint16_t year);
/* Builds a ZARQ time; on an invalid time *time is 0 and the result
 * ZARQ_E_BAD_TIME. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_MakeZARQTime(uint32_t *time, uint16_t hour, uint16_t minute,
                                              uint16_t ticks);
/* Splits a ZARQ date; on an invalid date all three outputs are 0. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDayMonthYear(uint16_t *day, uint16_t *month, uint16_t *year,
                                                 int32_t date);
/* Splits a ZARQ time; on an invalid time all three outputs are 0. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_GetHourMinTicks(uint16_t *hour, uint16_t *minute, uint16_t *ticks,
                                                 int32_t time);

/* Date and time text in the user's regional format (Windows: the user's
 * locale; elsewhere the ZARQ_SDATE, ZARQ_SSHORTDATE, ZARQ_STIME,
 * ZARQ_STIMEFORMAT, ZARQ_S1159 and ZARQ_S2359 variables when set, else the
 * LC_TIME locale). size counts the terminating NUL: a text that does not
 * fit gives 122 (a size of 0 writes nothing); a failure leaves an empty
 * text; a null text gives ZARQ_E_INVALID_ARGUMENT. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_FormatDate(char *text, uint16_t size, int32_t date);
/* withTicks nonzero shows the ticks (three digits) in place of the
 * seconds, when the user's time picture has seconds. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_FormatTime(char *text, uint32_t size, int32_t time,
                                            uint32_t withTicks);
/* Read a text by the user's time or short-date picture; the seconds field
 * gives the ticks. ZARQ_E_BAD_TIME / ZARQ_E_BAD_DATE when the result is no
 * valid time or date. */
ZARQ_API int32_t ZARQ_CALL ZARQ1_ParseTimeString(uint32_t *time, const char *text);
ZARQ_API int32_t ZARQ_CALL ZARQ1_ParseDateString(uint32_t *date, const char *text);

#ifdef __cplusplus
}
#endif

#endif /* ZARQ_H_ */
