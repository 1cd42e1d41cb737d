/*
 * The TRAX database writer.
 *
 * One writer object per open database file. The dumper calls every
 * operation through the writer API table (txw_GetApiTable), whose 47 entries
 * keep a fixed order; the functions are also exported under their own names.
 * Operations return 0 on success, a negative code for errors and a few
 * positive codes (26 a file could not be opened, 106 a caller's record is
 * newer than the writer, 122 time tag kind mismatch, 123 scale unit not set).
 */
#ifndef TAVRI_TXW_H
#define TAVRI_TXW_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct txwObject txwObject;

/* A simulator object handle, as the dumper's simulator hands it out. */
typedef void *txwHandle;

/* Status codes. */
enum {
    TXW_OK = 0,
    TXW_ERROR = -1,
    TXW_NO_MEMORY = -3,
    TXW_OPEN_RESOURCE = -6,
    TXW_NULL_NAME = -9,
    TXW_BIT_SIZE = -15,
    TXW_IDCODE_NOT_CONTINUOUS = -16,
    TXW_TREES_NOT_PAIRED = -21,
    TXW_BAD_BYTES_PER_BIT = -24,
    TXW_NEGATIVE_IDCODE = -29,
    TXW_CANNOT_OPEN_FILE = 26,
    TXW_RECORD_TOO_NEW = 106,
    TXW_XTAG_KIND_MISMATCH = 122,
    TXW_SCALE_UNIT_NOT_SET = 123
};

/* File types (header byte 64). */
enum {
    TXW_FILE_VERILOG = 0,
    TXW_FILE_EPIC_OR_MENTOR = 1,
    TXW_FILE_SPICE = 2,
    TXW_FILE_XP = 3,
    TXW_FILE_RAWFILE = 4,
    TXW_FILE_WFM = 5,
    TXW_FILE_VHDL = 6,
    TXW_FILE_VERILOG_AND_VHDL = 7,
    TXW_FILE_TYPE_MAX = 17
};

/*
 * Var map record: what the writer knows of one simulator handle. A negative
 * idcode means the record is disabled: value changes by handle or by record
 * are then dropped.
 */
typedef struct txwVarMapRec {
    struct txwVarMapRec *next; /* hash bucket link */
    txwHandle handle;
    int32_t idcode;
    uint32_t bit_size;
    uint8_t var_type;
    uint8_t vc_mark;
} txwVarMapRec;

/* What the dumper tells about a scope. */
typedef struct txwScopeDesc {
    const char *name;        /* required */
    const char *second_name; /* definition name, or null */
    const char *third_name;  /* or null */
    uint8_t flag_a;          /* bit 0 used */
    uint8_t scope_type;      /* 0 module, 1 task, 2 function, 3 begin, 4 fork */
} txwScopeDesc;

/*
 * Versioned open parameters: `size` is sizeof(txwOpenParam) as the caller
 * was built; a smaller record is widened with zeros, a larger one refused
 * with 106. Null strings take their defaults.
 */
typedef struct txwOpenParam {
    uint32_t size;
    const char *file_name;
    const char *scope_separator;   /* default "/" */
    const char *scale_unit;        /* default "1ns" */
    const char *simulation_date;   /* default "unknown" */
    const char *simulator_version; /* default "unknown" */
    uint32_t file_type;
} txwOpenParam;

/* Versioned scope parameters (see txwOpenParam for the size rule). */
typedef struct txwScopeParam {
    uint32_t size;
    const char *name;
    const char *second_name;
    const char *third_name;
    uint8_t flag_a;
    uint8_t scope_type;
    uint8_t flag_b;
    const char *fourth_name;
} txwScopeParam;

/*
 * Versioned variable parameters. var_type: low 6 bits the type code, high 2
 * bits the descriptor kind (0x40 or 0x80). bytes_per_bit: a value bit takes
 * 2^code bytes. data_type: a code below 512, or a data-type handle.
 */
typedef struct txwVarParam {
    uint32_t size;
    const char *name;
    uint8_t var_type;
    uint8_t direction;
    uint8_t bytes_per_bit;
    int32_t idcode;
    uint32_t data_type;
    int32_t left;
    int32_t right;
    uint32_t descriptor_length;
    const uint8_t *descriptor;
    uint32_t extra_length;
    uint8_t *extra; /* malloc'ed; the writer takes it over and frees it */
} txwVarParam;

/*
 * What the writer tells the auto switch callback when the file of an
 * automatically switched writer comes within 0x40000 bytes of its limited
 * size (checked at each new time tag). limit_too_small is 1 when the file
 * holds exactly two time tags: its first time step alone nearly fills it.
 */
typedef struct txwAutoSwitchInfo {
    txwObject *writer;
    uint32_t unused;
    uint32_t xtag_high;
    uint32_t xtag_low;
    uint32_t max_var_idcode;
    uint8_t limit_too_small;
} txwAutoSwitchInfo;
/* The callback may switch the writer (txw_SwitchFile); the writer it was
   called for is then closed. */
typedef void (*txwAutoSwitchCB)(const txwAutoSwitchInfo *info, void *data);

/*
 * Versioned parameters of txwOpenAutoSwitchFile (see txwOpenParam for the
 * size rule): the open parameters, then the limited file size in MB (2 to
 * 1900), the callback and the data handed to it (txw_SetAutoSwitchCBData
 * replaces the data).
 */
typedef struct txwAutoSwitchParam {
    uint32_t size;
    const char *file_name;
    const char *scope_separator;
    const char *scale_unit;
    const char *simulation_date;
    const char *simulator_version;
    uint32_t file_type;
    uint32_t limit_mb;
    txwAutoSwitchCB callback;
    void *callback_data;
} txwAutoSwitchParam;

/* Called when a write to the file fails, with the system error number. */
typedef void (*txwWriteErrorCB)(int error_number);
/* Called when the file comes close to 2 GB, with the writer's location. */
typedef void (*txwTwoGCB)(txwObject **writer);
/* Called for every var map record. */
typedef void (*txwVarMapVisitor)(txwVarMapRec *record, void *user_data);
/* Message hooks receive the formatted text of one writer message. */
typedef void (*txwMessageHook)(const char *text);
/* Called with (2, 0) at dump off and (1, 0) at dump on. */
typedef void (*txwDumpCB)(int what, int unused);

/* The writer API table, in its fixed order. */
typedef struct txwApiTable {
    int (*Noop)(void);                                                      /* 0 */
    int (*Flush)(txwObject *obj);                                           /* 1 */
    int (*CloseFile)(txwObject *obj);                                       /* 2 */
    int (*EndTree)(txwObject *obj);                                         /* 3 */
    int (*SetScaleUnit)(txwObject *obj, const char *scale_unit);            /* 4 */
    int (*SetGlitchNum)(txwObject *obj, uint16_t number);                   /* 5 */
    int (*SetDumpLimit)(txwObject *obj, uint32_t megabytes);                /* 6 */
    int (*DumpOff)(txwObject *obj);                                         /* 7 */
    int (*EndScope)(txwObject *obj);                                        /* 8 */
    int (*DumpOn)(txwObject *obj);                                          /* 9 */
    int (*EnableSeqNum)(txwObject *obj);                                    /* 10 */
    int (*SetSimulationDate)(txwObject *obj, const char *date);             /* 11 */
    int (*SetSyncControl)(txwObject *obj);                                  /* 12 */
    int (*EnableStrengthDumping)(txwObject *obj);                           /* 13 */
    int (*SetSimulatorVersion)(txwObject *obj, const char *version);        /* 14 */
    int (*CreateTreeByHandleScheme)(txwObject *obj);                        /* 15 */
    void (*CreateXCoor)(txwObject *obj, uint32_t high, uint32_t low);       /* 16 */
    void (*SetAutoSwitchCBData)(txwObject *obj, void *data);                /* 17 */
    void (*RegisterWriteErrorCB)(txwWriteErrorCB callback);                 /* 18 */
    void (*RegisterTwoGCB)(txwObject *obj, txwTwoGCB callback);             /* 19 */
    void (*SetDesignType)(txwObject *obj, uint8_t design_type);             /* 20 */
    void (*DisableVarRec)(txwObject *obj, txwVarMapRec *record);            /* 21 */
    void (*ForEachVarMapRec)(txwObject *obj, txwVarMapVisitor visit, void *user_data); /* 22 */
    void (*EnableVarRec)(txwObject *obj, txwVarMapRec *record);             /* 23 */
    int (*BeginAttrGroup)(txwObject *obj, const char *name, const void *value4); /* 24 */
    int (*EndAttrGroup)(txwObject *obj);                                    /* 25 */
    int (*IsVarRecEnabled)(txwObject *obj, const txwVarMapRec *record);     /* 26 */
    int (*BeginTree)(txwObject *obj);                                       /* 27 */
    int (*CreateScope)(txwObject *obj, const txwScopeDesc *scope);          /* 28 */
    uint16_t (*GetGlitchNum)(txwObject *obj);                               /* 29 */
    txwObject *(*OpenFile)(const char *file_name, uint32_t file_type);     /* 30 */
    txwObject *(*OpenAutoSwitchFile)(const void *param);                    /* 31 */
    txwObject *(*SwitchFile)(txwObject *obj, const char *new_name);        /* 32 */
    int32_t (*CreateVarByIdcode)(txwObject *obj, const char *name, int32_t idcode); /* 33 */
    uint32_t (*GetMaxVarIdcode)(txwObject *obj);                            /* 34 */
    int32_t (*GetVarIdcodeByVarHdl)(txwObject *obj, txwHandle handle);      /* 35 */
    int32_t (*CreateVarByVarIdcode)(txwObject *obj, uint8_t var_type, uint8_t direction,
                                    uint32_t data_type, int32_t left, int32_t right,
                                    int32_t idcode, const char *name,
                                    uint8_t bytes_per_bit);                 /* 36 */
    txwVarMapRec *(*CreateVarByHandle)(txwObject *obj, uint8_t var_type, uint8_t direction,
                                       uint32_t data_type, int32_t left, int32_t right,
                                       txwHandle handle, const char *name,
                                       uint8_t bytes_per_bit);              /* 37 */
    txwVarMapRec *(*CreateVarByHandleAndPath)(txwObject *obj, uint8_t var_type,
                                              uint8_t direction, uint32_t data_type,
                                              int32_t left, int32_t right, txwHandle handle,
                                              const char *name, uint8_t bytes_per_bit,
                                              const char *path,
                                              const char *separators);      /* 38 */
    txwVarMapRec *(*GetVarMapRecByHdl)(txwObject *obj, txwHandle handle);   /* 39 */
    txwVarMapRec *(*CreateVarRecByHandle)(txwObject *obj, uint8_t var_type, uint8_t direction,
                                          uint32_t data_type, int32_t left, int32_t right,
                                          txwHandle handle, const char *name,
                                          uint8_t bytes_per_bit,
                                          uint8_t *existed);                /* 40 */
    int (*CreateStrValByVarIdcode)(txwObject *obj, int32_t idcode, const char *text,
                                   const char **stored);                    /* 41 */
    int (*CreateStrValByVarHdl)(txwObject *obj, txwHandle handle, const char *text,
                                const char **stored);                       /* 42 */
    int (*CreateVarValueByIdcode)(txwObject *obj, int32_t idcode, const void *value,
                                  uint32_t width);                          /* 43 */
    int (*CreateABBusValueByIdcode)(txwObject *obj, int32_t idcode, uint32_t *words,
                                    uint32_t width);                        /* 44 */
    int (*CreateVarValueByVarHdl)(txwObject *obj, txwHandle handle, const void *value); /* 45 */
    int (*CreateVarValueByVarRec)(txwObject *obj, txwVarMapRec *record, const void *value); /* 46 */
} txwApiTable;

/* The table the dumper calls through. */
const txwApiTable *txw_GetApiTable(void);

/* ---- Writer object and settings ---- */
int txw_Noop(void);
/* On failure to create the file or one of its side files, errno holds the
   system's reason. */
txwObject *txw_OpenFile(const char *file_name, uint32_t file_type);
int txwOpenFile2(const txwOpenParam *param, txwObject **out);
int txw_CloseFile(txwObject *obj);
int txw_Flush(txwObject *obj);
/* For a simulation paused at an interactive stop or at the prompt: flushes
   as txw_Flush does, and marks the live file as holding every value change
   up to its current time tag, so that its readers show the last time step
   too (after other flushes it may be incomplete, and they hide it). The mark
   lapses at the next flush that writes a session. */
int txw_FlushAtStop(txwObject *obj);
int txw_SetScaleUnit(txwObject *obj, const char *scale_unit);
int txw_SetScopeSeparator(txwObject *obj, const char *separator);
int txw_SetSimulationDate(txwObject *obj, const char *date);
int txw_SetSimulatorVersion(txwObject *obj, const char *version);
int txw_SetTimeUnit(txwObject *obj, const char *time_unit);
int txw_SetGlitchNum(txwObject *obj, uint16_t number);
uint16_t txw_GetGlitchNum(txwObject *obj);
int txw_EnableSeqNum(txwObject *obj);
int txw_EnableStrengthDumping(txwObject *obj);
int txw_SetSyncControl(txwObject *obj);
void txw_SetDesignType(txwObject *obj, uint8_t design_type);
int txw_SetIndependentVarType(txwObject *obj, uint32_t type);
/* Block compression of the file: method 0 LZO1B (the default, level 1 to 9
   or 99) or 1 zstd (level 1 to 19). Only before the first block is stored;
   otherwise, and for an unknown method or level, a warning and TXW_ERROR. */
int txw_SetCompression(txwObject *obj, uint32_t method, int level);
/* Reads "lzo1b", "lzo1b:N", "zstd" or "zstd:N" into a method and level (a
   name alone takes its default level: LZO1B 1, zstd 7); 0 on success,
   TXW_ERROR for any other text. */
int txw_ParseCompression(const char *text, uint32_t *method, int *level);
int txw_SetAnnotation(txwObject *obj, const char *text);
int txw_AppendSupportInfo(txwObject *obj, const char *text);
int txw_DumpOff(txwObject *obj);
int txw_DumpOn(txwObject *obj);
int txw_RegisterDumpCB(txwObject *obj, txwDumpCB callback);
void txw_RegisterWriteErrorCB(txwWriteErrorCB callback);
void txw_ClearWriteErrorCB(void);
void txw_RegisterTwoGCB(txwObject *obj, txwTwoGCB callback);
void txw_SetAutoSwitchCBData(txwObject *obj, void *data);
int txw_SetDumpLimit(txwObject *obj, uint32_t megabytes);
/* A dump or stop limit below TXW_MIN_SIZE_LIMIT_MB is raised to it; with
   32-bit file offsets one above TXW_MAX_SIZE_LIMIT_MB is lowered to it. */
#define TXW_MIN_SIZE_LIMIT_MB 10u
#define TXW_MAX_SIZE_LIMIT_MB 1800u
/* The stop limit: the file stops taking value changes once it reaches the
   size, so that it keeps the earliest stretch of time. */
int txw_SetLifoDumpLimit(txwObject *obj, uint32_t megabytes);
/* `param` is a txwAutoSwitchParam. */
txwObject *txwOpenAutoSwitchFile(const void *param);
/*
 * Finishes the writer's file and goes on in a new file of that name with the
 * same trees, variables and settings: the tree blocks are copied as stored,
 * the var map records stay valid. The same name keeps the old file as the
 * name followed by ".bak". Returns the writer of the new file, or null; after
 * null the old writer is closed too (its file is finished and complete).
 */
txwObject *txw_SwitchFile(txwObject *obj, const char *new_name);

/* ---- Essential-signal information ---- */
/*
 * Takes over the essential-signal information of a template: `var_count`
 * table entries in `table` (table_size bytes, 8 per entry) and the expression
 * data (data_size bytes). The writer keeps its own copy (the caller's buffers
 * may go at once), puts it into ".esd.tbl" and ".esd.exp" beside the live
 * file for its readers, and appends the data, then the table, to the finished
 * file (header fields esd uoff and esd table uoff). A switched file takes the
 * information along. A second call replaces the first one's. 0, or -1 (and a
 * warning) when a size is not 0 but its buffer is null, or when the table is
 * not var_count entries of 8 bytes.
 */
int txw_AppendForeignESDInfo(txwObject *obj, uint32_t var_count, uint32_t table_size,
                             uint32_t data_size, const uint8_t *table, const uint8_t *data);

/* ---- Messages ---- */
void txw_SetMessageHooks(txwMessageHook warning, txwMessageHook error,
                         txwMessageHook information);
void txw_SetWarningSwitch(int suppress);
void txw_SetInformationSwitch(int suppress);

/* ---- Time tags ---- */
void txw_CreateXCoor(txwObject *obj, uint32_t high, uint32_t low);
int txw_CreateXCoorByHnL(txwObject *obj, uint32_t high, uint32_t low);
int txw_CreateFloatXCoor(txwObject *obj, float xtag);
int txw_CreateDoubleXCoor(txwObject *obj, double xtag);
int txw_GetMaxXTag(txwObject *obj, uint32_t *high_low);
int txw_GetMinXTag(txwObject *obj, uint32_t *high_low);

/* ---- Value-change memory ---- */
int txw_SetValueChangeMemLimit(txwObject *obj, uint32_t megabytes);

/* ---- Tree, variable map, value changes ---- */
int txw_BeginTree(txwObject *obj);
int txw_EndTree(txwObject *obj);
int txw_CreateScope(txwObject *obj, const txwScopeDesc *scope);
int txwCreateScope2(txwObject *obj, const txwScopeParam *scope);
int txwCreateVarByVarIdcode2(txwObject *obj, const txwVarParam *var);
int txw_EndScope(txwObject *obj);
int txw_BeginAttrGroup(txwObject *obj, const char *name, const void *value4);
int txw_EndAttrGroup(txwObject *obj);
int txwCreateTreeByHandleScheme(txwObject *obj);
int32_t txw_CreateVarByIdcode(txwObject *obj, const char *name, int32_t idcode);
uint32_t txw_GetMaxVarIdcode(txwObject *obj);
int32_t txwGetVarIdcodeByVarHdl(txwObject *obj, txwHandle handle);
int32_t txw_CreateVarByVarIdcode(txwObject *obj, uint8_t var_type, uint8_t direction,
                                 uint32_t data_type, int32_t left, int32_t right,
                                 int32_t idcode, const char *name, uint8_t bytes_per_bit);
txwVarMapRec *txw_CreateVarByHandle(txwObject *obj, uint8_t var_type, uint8_t direction,
                                    uint32_t data_type, int32_t left, int32_t right,
                                    txwHandle handle, const char *name, uint8_t bytes_per_bit);
txwVarMapRec *txw_CreateVarByHandleAndPath(txwObject *obj, uint8_t var_type, uint8_t direction,
                                           uint32_t data_type, int32_t left, int32_t right,
                                           txwHandle handle, const char *name,
                                           uint8_t bytes_per_bit, const char *path,
                                           const char *separators);
txwVarMapRec *txw_GetVarMapRecByHdl(txwObject *obj, txwHandle handle);
int txwGetBpbByVarHdl(txwObject *obj, txwHandle handle, uint8_t *code);
/* Full name of `name` in the open scopes; static text, valid until the next call. */
const char *txwGetFullHierName(txwObject *obj, const char *name, const char *separator);
txwVarMapRec *txw_CreateVarRecByHandle(txwObject *obj, uint8_t var_type, uint8_t direction,
                                       uint32_t data_type, int32_t left, int32_t right,
                                       txwHandle handle, const char *name,
                                       uint8_t bytes_per_bit, uint8_t *existed);
void txw_DisableVarRec(txwObject *obj, txwVarMapRec *record);
void txw_EnableVarRec(txwObject *obj, txwVarMapRec *record);
int txw_IsVarRecEnabled(txwObject *obj, const txwVarMapRec *record);
void txw_ForEachVarMapRec(txwObject *obj, txwVarMapVisitor visit, void *user_data);
int txwCreateStrValByVarIdcode(txwObject *obj, int32_t idcode, const char *text,
                               const char **stored);
int txw_CreateStrValByVarHdl(txwObject *obj, txwHandle handle, const char *text,
                             const char **stored);
int txw_CreateVarValueByIdcode(txwObject *obj, int32_t idcode, const void *value,
                               uint32_t width);
int txw_CreateABBusValueByIdcode(txwObject *obj, int32_t idcode, uint32_t *words,
                                 uint32_t width);
int txw_CreateVarValueByVarHdl(txwObject *obj, txwHandle handle, const void *value);
int txw_CreateVarValueByVarRec(txwObject *obj, txwVarMapRec *record, const void *value);

/*
 * The value-change hot path. A caller that records many changes of one
 * variable keeps a slot for it (zero-initialised): the first change finds
 * the writer's record of the idcode and keeps it there, later ones go
 * straight to it. A slot filled for another writer (a file switch, a new
 * file) is filled again. Values, checks and results are those of
 * txw_CreateVarValueByIdcode and txw_CreateABBusValueByIdcode.
 */
typedef struct txwValueSlot {
    uint64_t writer_serial; /* the writer it was filled for; 0 = empty */
    void *var;              /* that writer's record of the variable */
    /* Where the writer put this variable's last change (or null): a caller
     * may fetch it and `var` into the cache ahead of the next change. Only
     * a hint, never to be read: it may be stale. */
    const void *last_unit;
} txwValueSlot;
int txw_CreateVarValueInSlot(txwObject *obj, txwValueSlot *slot, int32_t idcode, const void *value);
int txw_CreateABBusValueInSlot(txwObject *obj, txwValueSlot *slot, int32_t idcode, uint32_t *words);

#ifdef __cplusplus
}
#endif

#endif
