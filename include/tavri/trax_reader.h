/*
 * The TRAX database reader.
 *
 * Opens a ".trax" file, finished or still being written, and gives access to
 * its header, its scope and variable trees, its sessions and their blocks,
 * the vc chain of every variable, the string list and the value changes of
 * every idcode in time order.
 *
 * A live file (file status 1 or 2) keeps its index structures in side files
 * next to it (".tlist", ".slist", ".chain", ".str"); the reader reads them
 * under the lock that the writer takes for every flush, so that it never sees
 * a half-written session. What the open saw stays what the handle shows; a
 * file that has grown since is read again by opening it again. The open waits
 * for that lock at most 10 seconds (or the seconds in the environment
 * variable TRAX_READER_LOCK_WAIT) and then fails with TRAXR_ERR_IO and a
 * message that names the lock file.
 *
 * Only regular files are read (anything else fails with TRAXR_ERR_IO at
 * once, without blocking on a FIFO), and only what the file's structures
 * name: bytes past the end of a finished file's last structure are not read.
 * Messages of failures to open or read a file name the file and the
 * system's reason.
 *
 * A live file's last session may end in the middle of a time step (the
 * writer flushes when its memory is full, on request and at interactive
 * stops), so the value changes at its end time tag may be only part of that
 * step. Until the file is finished the value-change calls (traxr_ReadChanges,
 * traxr_ReadAllChanges, the walks) leave out the changes at that time and
 * later; see traxr_HiddenFrom. A writer that flushed while the simulation
 * was paused (an interactive stop, a command at the prompt) marks the file as
 * complete up to that time, and until it flushes another session nothing is
 * hidden. Header, sessions and chain entries are given as stored. A file
 * whose writer died stays live and follows the same rule.
 *
 * A file written under a dump limit (header field dump_limit not 0) keeps a
 * ring of its most recent sessions: the writer overwrote the older ones. The
 * session list still names every session, but only those from
 * traxr_FirstRetainedSession on are read (the others are marked dropped),
 * chains end where they link into a dropped session, and the file's first
 * time is its minimum xtag (traxr_FirstTime). At the start of every ring
 * session the writer repeats the value of each variable that has one
 * ("redundant" value changes). A variable's first retained change may be such
 * a repeat: it is its value at the file's first time, and is handed out
 * with `redundant` set, unless the variable changes at that very time
 * anyway; every later repeat is not a change and is left out.
 * A live ring file is read through ".rlist" too; when the writer drops a
 * session whose blocks this handle has not read yet, reading them fails with
 * TRAXR_ERR_IO and a message saying to open the file again.
 *
 * Every call returns a status; nothing is thrown across this interface.
 * Pointers handed out (names, texts, bits) stay valid until the reader (or
 * the change list they came from) is closed or freed. A handle is not meant
 * for use by several threads at once.
 */
#ifndef TAVRI_TRAX_READER_H
#define TAVRI_TRAX_READER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct traxrReader traxrReader;
typedef struct traxrChangeList traxrChangeList;
typedef struct traxrChangeSet traxrChangeSet;

typedef int traxrStatus;
enum {
    TRAXR_OK = 0,
    TRAXR_ERR_ARGUMENT = 1,    /* null pointer, index or kind out of range */
    TRAXR_ERR_IO = 2,          /* a file could not be opened or read */
    TRAXR_ERR_NOT_TRAX = 3,    /* not a database file (magic number, byte order) */
    TRAXR_ERR_TRUNCATED = 4,   /* a structure runs past the end of its file */
    TRAXR_ERR_CORRUPT = 5,     /* content that contradicts itself */
    TRAXR_ERR_UNSUPPORTED = 6, /* a valid feature that this reader does not decode */
    TRAXR_ERR_NO_MEMORY = 7,
    TRAXR_ERR_NOT_FOUND = 8, /* no such idcode, tree, scope, variable or session */
    TRAXR_END = 9            /* not a failure: a walk has handed out every change */
};

/* How the file's multi-byte fields relate to this host's order. */
enum {
    TRAXR_ORDER_SAME = 0,     /* byte-order word read as 0x01020304 */
    TRAXR_ORDER_REVERSED = 1, /* read as 0x04030201 */
    TRAXR_ORDER_HALVES = 2    /* read as 0x02010403: bytes swapped in each 16-bit half */
};

/* Every named field of the fixed, offset and statistics sections. Offsets
 * (uoff) are plain file offsets; time tags are (high << 32) | low. */
typedef struct traxrHeader {
    /* fixed section, bytes 0..191 */
    uint32_t magic_number;
    uint32_t byte_order_word; /* as read, in this host's order */
    uint64_t birth_time;
    uint8_t flag_61;
    uint8_t flag_62;
    uint8_t time_unit_code;
    uint8_t file_type;
    uint8_t compression_method;
    uint8_t version_major;
    uint8_t version_minor;
    uint8_t pointer_length;
    uint8_t endian_type;
    uint8_t lock_scheme;
    char scope_separator[4];
    char scale_unit[20];
    char simulation_date[32];
    char simulator_version[64];
    /* offset section, bytes 192..311 */
    uint64_t tree_list_uoff;
    uint64_t session_list_uoff;
    uint64_t chain_uoff;
    uint64_t annotation_uoff;
    uint64_t string_list_uoff;
    uint64_t redundant_list_uoff;
    uint64_t esd_uoff;
    uint64_t esd_table_uoff;
    uint32_t annotation_length;
    uint32_t writer_memory_limit;
    /* statistics section, bytes 312..511 */
    uint64_t minimum_xtag;
    uint64_t maximum_xtag;
    uint64_t minimum_time_step;
    uint32_t esd_var_count;
    uint8_t independent_var_type;
    uint8_t special_dumping_flags[5]; /* index = dumping type 0..4 */
    uint8_t xtag_type;
    uint32_t session_list_size;
    uint32_t dump_limit;
    uint32_t first_valid_vc_chain_block;
    uint32_t dump_off_count;
    uint32_t string_list_size;
    uint32_t string_count;
    uint8_t environment_record_present;
    uint8_t value_format_flags[3]; /* bytes 441..443 */
    uint32_t scope_blk_cnt;
    uint32_t var_blk_cnt;
    uint32_t data_type_blk_cnt;
    uint32_t vc_blk_cnt;
    uint32_t vc_chain_blk_cnt;
    uint32_t session_count;
    uint32_t tree_count;
    uint32_t max_xtag_idx;
    uint32_t max_var_idcode;
    uint32_t max_dt_idcode;
    uint32_t scope_creation_cnt;
    uint32_t var_creation_cnt;
    uint32_t bc1_vc_creation_cnt;
    uint32_t bcn_vc_creation_cnt;
    uint16_t max_string_length;
    uint16_t max_glitch_number;
    uint8_t file_status;
    uint8_t design_type;
    uint8_t has_var_dir;
    uint8_t synchronous_control;
    uint8_t vc_chain_is_8byte;
    uint8_t max_xtag_was_reset;
    uint8_t has_sequence_number;
    uint8_t vc_is_8byte;
} traxrHeader;

/* Where a stored block lies in the main file. */
typedef struct traxrBlockLayout {
    uint64_t offset;
    uint32_t stored_length;
} traxrBlockLayout;

#define TRAXR_NONE 0xFFFFFFFFu

typedef struct traxrTree {
    uint32_t first_idcode; /* 0 for the first tree (idcode 0 is the dump-off marker) */
    uint32_t idcode_count; /* the tree record's variable count */
    uint32_t scope_block_count;
    uint32_t var_block_count;
    uint32_t data_type_block_count;
    uint32_t first_scope; /* scopes of this tree: [first_scope, first_scope + scope_count) */
    uint32_t scope_count;
    uint32_t first_var; /* variable records of this tree, in scope order */
    uint32_t var_count;
} traxrTree;

typedef struct traxrScope {
    uint8_t type;
    uint8_t trailer; /* the trailer byte: bit 4 wide kind, bit 5 flag A, bit 6 flag B */
    uint8_t has_fourth_name;
    const char *name;
    const char *second_name; /* "" when absent */
    const char *third_name;
    const char *fourth_name; /* "" unless has_fourth_name */
    uint32_t tree;
    uint32_t parent;    /* TRAXR_NONE for a top scope */
    uint32_t depth;     /* 0 for a top scope */
    uint32_t first_var; /* its variable records: [first_var, first_var + var_count) */
    uint32_t var_count;
    uint64_t var_group_position; /* logical position in the variable stream, if var_count */
} traxrScope;

typedef struct traxrVar {
    const char *name;
    uint8_t var_type;        /* as stored: type code | descriptor kind */
    uint8_t type_code;       /* low 6 bits */
    uint8_t descriptor_kind; /* 0, 0x40 or 0x80 */
    uint8_t direction;
    uint8_t bytes_per_bit_code; /* a bit takes 2^code bytes */
    uint8_t has_data_type;
    uint16_t data_type;
    int32_t left;
    int32_t right;
    uint32_t idcode;
    uint32_t width;      /* |left - right| + 1 */
    uint64_t value_size; /* width << bytes_per_bit_code */
    uint8_t is_alias;    /* another record names this idcode first */
    const uint8_t *descriptor;
    uint32_t descriptor_length;
    uint32_t scope;
    uint32_t tree;
} traxrVar;

typedef struct traxrSession {
    uint64_t start_time;
    uint64_t end_time;
    uint32_t first_vc_block; /* index among all value-change blocks */
    uint32_t vc_block_count;
    uint32_t first_vc_chain_block; /* index among all vc chain blocks */
    uint32_t vc_chain_block_count;
    uint8_t dropped; /* a ring file's session that the writer overwrote: not read */
} traxrSession;

/* One ring session's redundant value changes: vc chain blocks first..last,
 * or TRAXR_NONE twice when it has none. */
typedef struct traxrRedundantRange {
    uint32_t first_block;
    uint32_t last_block;
} traxrRedundantRange;

/* Block kinds for traxr_GetTreeBlock and traxr_GetSessionBlock. */
enum {
    TRAXR_BLOCK_SCOPE = 0,
    TRAXR_BLOCK_VAR = 1,
    TRAXR_BLOCK_DATA_TYPE = 2,
    TRAXR_BLOCK_VC = 3,
    TRAXR_BLOCK_VC_CHAIN = 4
};

/* One vc chain entry: a variable's record for one session. */
typedef struct traxrChainEntry {
    uint64_t position;         /* logical position in the vc chain stream */
    uint64_t back_link;        /* distance back to the previous entry; 0 for the first */
    uint64_t element_position; /* logical position of the element array */
    uint64_t statistic;        /* largest time delta between consecutive changes */
    uint64_t first_time;
    uint64_t last_time;
    uint32_t change_count;
    uint8_t flags_a;
    uint8_t flags_b; /* bits 4..6: the three per-session flags */
    uint32_t session;
    uint8_t redundant; /* in a ring session's redundant vc chain blocks */
} traxrChainEntry;

/* How a value is presented. */
enum {
    TRAXR_VALUE_LOGIC = 0,  /* bits: per-bit codes 0, 1, 2 (X), 3 (Z), most significant first */
    TRAXR_VALUE_REAL = 1,   /* real: a double (width 1, bytes-per-bit code 3) */
    TRAXR_VALUE_STRING = 2, /* text: a string variable's text (width 1, code 2) */
    TRAXR_VALUE_RAW = 3,    /* only raw: the value as stored */
    TRAXR_VALUE_WORDS = 4   /* words: signed 32-bit integers (code 2, width above 1), e.g.
                               a memory-depth variable's dumped cell range (first, last) */
};

typedef struct traxrChange {
    uint64_t time;
    uint32_t session;
    uint8_t has_sequence;
    uint32_t sequence;
    uint8_t format;  /* element group format byte: 0 scalar, 4 bus, 5 A/B, 6, 10 C/D, 11 */
    uint8_t compact; /* the value was stored in the compact form */
    int kind;        /* TRAXR_VALUE_* */
    const uint8_t *bits;
    uint32_t bit_count;
    double real;
    uint32_t string_id;
    const char *text;
    const uint8_t *raw; /* the value bytes as stored */
    uint32_t raw_length;
    uint8_t redundant; /* a ring file's value at its first time, repeated by the writer */
    const int32_t *words; /* TRAXR_VALUE_WORDS: word_count integers, first word first */
    uint32_t word_count;
} traxrChange;

/* ---- Opening ---- */

/* Opens a database. On failure *reader is null and, when message is not
 * null, a description of the fault is copied into it. */
traxrStatus traxr_Open(const char *path, traxrReader **reader, char *message, size_t message_size);
void traxr_Close(traxrReader *reader);
/* Reads and checks only the 512-byte header, as traxr_Open does; works for
 * files that traxr_Open refuses as a whole (damaged index structures). */
traxrStatus traxr_ReadHeader(const char *path, traxrHeader *header, char *message,
                             size_t message_size);
/* The description of the last failed call on this handle ("" if none). */
const char *traxr_LastMessage(const traxrReader *reader);

/* ---- Header ---- */
const traxrHeader *traxr_GetHeader(const traxrReader *reader);
int traxr_ByteOrder(const traxrReader *reader);          /* TRAXR_ORDER_* */
int traxr_IsLive(const traxrReader *reader);             /* read through the side files */
/* 1 with *time set when the value changes at *time and later are hidden (a
 * live file: the end time tag of its last session, 0 before the first
 * session; the time after the stop while its stop mark holds), 0 when every
 * change is shown (a finished file). */
int traxr_HiddenFrom(const traxrReader *reader, uint64_t *time);
/* 1 with *time set to the stop a live file was last flushed at, while no
 * session was flushed after it (the file is complete up to *time), else 0. */
int traxr_StoppedAt(const traxrReader *reader, uint64_t *time);
/* 1 with *time set to the last time whose changes are all shown: the time
 * before the hidden step of a live file, the maximum xtag of a finished one;
 * 0 when there is none yet. */
int traxr_VisibleEndTime(const traxrReader *reader, uint64_t *time);
/* 1 with *time set to the file's first time, its minimum xtag (for a ring
 * file the start of the stretch it still holds, for a switched file the
 * time it took over from the one before), 0 before the first time tag. */
int traxr_FirstTime(const traxrReader *reader, uint64_t *time);
const char *traxr_Version(const traxrReader *reader);    /* "%u.%u" */
const char *traxr_FileTypeName(unsigned file_type);      /* null beyond 7 */
/* "LZO1B" for 0, "zstd" for 1, null for a method this reader cannot read. */
const char *traxr_CompressionMethodName(unsigned method);
const char *traxr_FileStatusName(unsigned file_status);  /* null beyond 2 */
const char *traxr_EndianName(unsigned endian_type);      /* null unless 1 or 2 */
const char *traxr_TimeUnitName(unsigned time_unit_code); /* null for 0 and beyond 18 */
const char *traxr_Annotation(const traxrReader *reader); /* null when the file has none */

/* ---- Trees, scopes, variables ---- */
uint32_t traxr_TreeCount(const traxrReader *reader);
traxrStatus traxr_GetTree(const traxrReader *reader, uint32_t index, traxrTree *tree);
traxrStatus traxr_GetTreeBlock(const traxrReader *reader, uint32_t tree, int kind, uint32_t index,
                               traxrBlockLayout *layout);
uint32_t traxr_ScopeCount(const traxrReader *reader);
traxrStatus traxr_GetScope(const traxrReader *reader, uint32_t index, traxrScope *scope);
uint32_t traxr_VarCount(const traxrReader *reader);
traxrStatus traxr_GetVar(const traxrReader *reader, uint32_t index, traxrVar *var);
/* The highest idcode named by a variable record. */
uint32_t traxr_MaxIdcode(const traxrReader *reader);
/* The record that named the idcode first (NOT_FOUND for none). */
traxrStatus traxr_FindVar(const traxrReader *reader, uint32_t idcode, uint32_t *var_index);
/* All records naming the idcode, the first one and its aliases. */
uint32_t traxr_NameCount(const traxrReader *reader, uint32_t idcode);
traxrStatus traxr_GetName(const traxrReader *reader, uint32_t idcode, uint32_t k,
                          uint32_t *var_index);

/* ---- Sessions ---- */
uint32_t traxr_SessionCount(const traxrReader *reader);
traxrStatus traxr_GetSession(const traxrReader *reader, uint32_t index, traxrSession *session);
/* kind TRAXR_BLOCK_VC or TRAXR_BLOCK_VC_CHAIN; index inside the session. */
traxrStatus traxr_GetSessionBlock(const traxrReader *reader, uint32_t session, int kind,
                                  uint32_t index, traxrBlockLayout *layout);
/* The first session whose data the file still holds: 0 without a dump
 * limit, traxr_SessionCount when a ring dropped every session. */
uint32_t traxr_FirstRetainedSession(const traxrReader *reader);
/* The redundant vc chain list of a ring file, one range per retained ring
 * session, oldest first (none without a dump limit). */
uint32_t traxr_RedundantRangeCount(const traxrReader *reader);
traxrStatus traxr_GetRedundantRange(const traxrReader *reader, uint32_t index,
                                    traxrRedundantRange *range);

/* ---- Strings ---- */
uint32_t traxr_StringCount(const traxrReader *reader);
const char *traxr_String(const traxrReader *reader, uint32_t id); /* null when out of range */

/* ---- vc chain ---- */
/* Entries of the chain table: one per idcode from 0. */
uint32_t traxr_ChainTableSize(const traxrReader *reader);
traxrStatus traxr_GetChainTableEntry(const traxrReader *reader, uint32_t idcode,
                                     uint64_t *last_position, uint8_t *flags);
/* The idcode's chain entries, oldest first; free with traxr_FreeChainEntries. */
traxrStatus traxr_ReadChainEntries(traxrReader *reader, uint32_t idcode, traxrChainEntry **entries,
                                   uint32_t *count);
void traxr_FreeChainEntries(traxrChainEntry *entries);

/* ---- Value changes ---- */
/* The idcode's value changes in time order across all sessions. */
traxrStatus traxr_ReadChanges(traxrReader *reader, uint32_t idcode, traxrChangeList **list);
uint32_t traxr_ChangeCount(const traxrChangeList *list);
traxrStatus traxr_GetChange(const traxrChangeList *list, uint32_t index, traxrChange *change);
void traxr_FreeChangeList(traxrChangeList *list);

/* The changes of every idcode at once, reading each block once. The set
 * holds a list per chain table entry (idcodes 0 .. size - 1); any other
 * idcode gets an empty list. */
traxrStatus traxr_ReadAllChanges(traxrReader *reader, traxrChangeSet **set);
uint32_t traxr_ChangeSetSize(const traxrChangeSet *set);
const traxrChangeList *traxr_ChangeSetList(const traxrChangeSet *set, uint32_t idcode);
void traxr_FreeChangeSet(traxrChangeSet *set);

/* ---- Walking all changes in time order ---- */
/* A walk hands out the value changes of chosen idcodes (all when `idcodes`
 * is null) with from <= time <= to, in time order; at one time by session,
 * then by idcode; each idcode's changes in their recorded order. It reads the
 * file a session at a time: its memory grows with the number of variables
 * and the size of one session, not with the size of the file. Files whose
 * chains do not hold together fail the walk with TRAXR_ERR_CORRUPT. */
typedef struct traxrWalk traxrWalk;
traxrStatus traxr_OpenWalk(traxrReader *reader, const uint32_t *idcodes, uint32_t idcode_count,
                           uint64_t from, uint64_t to, traxrWalk **walk);
/* TRAXR_OK with the next change (valid until the next call on the walk),
 * TRAXR_END when there is none, or a failure (see traxr_LastMessage). */
traxrStatus traxr_WalkNext(traxrWalk *walk, uint32_t *idcode, traxrChange *change);
void traxr_CloseWalk(traxrWalk *walk);

/* ---- Creation-environment record (512 .. 2559) ---- */
typedef struct traxrEnvRecord {
    char creation_time[30];
    char host_name[20];
    char processor[20];
    char platform[12];
    char os_version[50];
    uint16_t max_glitch_number;
    char settings[200];
    char writer_ident[120];
    char unused_text[64];
    char support[1530];
} traxrEnvRecord;
/* Each text is cut at its field's end and always ends in a zero byte. */
traxrStatus traxr_GetEnvRecord(const traxrReader *reader, traxrEnvRecord *record);

/* ---- Essential-signal information ---- */
/* The expression data and the table (8-byte entries) that an
 * essential-signal file carries: in a finished file at its esd uoff and esd
 * table uoff, each running up to the next structure of the file; in a live
 * one in the side files ".esd.exp" and ".esd.tbl" (read under the lock). A
 * part the file lacks has size 0. NOT_FOUND when it lacks both. The bytes
 * stay valid until the reader is closed or this is called again. */
typedef struct traxrEsdInfo {
    uint8_t in_side_files; /* read from the side files of a live file */
    uint64_t data_offset;  /* 0 in side files or when absent */
    uint64_t data_size;
    uint64_t table_offset;
    uint64_t table_size;
    uint64_t table_entries; /* table_size / 8 */
    const uint8_t *data;
    const uint8_t *table;
} traxrEsdInfo;
traxrStatus traxr_GetEsdInfo(traxrReader *reader, traxrEsdInfo *info);

/* ---- Structural checks ---- */
/* Called once per failure with one line of text (no newline). */
typedef void (*traxrCheckReport)(void *user, const char *failure);
/* Checks that every block lies inside the file and decompresses exactly,
 * that the header's counts agree with the file, that idcodes are dense and
 * aliases fit their variables, that every vc chain is whole, and that time
 * never goes backwards; in a ring file also that no retained session
 * overlaps another, that its blocks lie inside the ring, that the first
 * valid vc chain block and the minimum xtag fit the sessions, and that the
 * redundant ranges lie inside the retained chain and only repeat values;
 * and that the essential-signal data and table can be read (a live file's
 * from its side files) and the table is whole 8-byte entries.
 * Returns the number of failures. */
uint32_t traxr_Check(traxrReader *reader, traxrCheckReport report, void *user);

/* Blocks decompressed and blocks found in the cache since the open. */
void traxr_GetBlockStats(const traxrReader *reader, uint64_t *decompressed, uint64_t *cache_hits);

#ifdef __cplusplus
}
#endif

#endif
