/*
 * PLI 1.0 ACC-routine declarations used by the dumper: object handles, the
 * type and fulltype codes of design objects, value records and value-change
 * link records. Written for this project from the IEEE 1364 PLI 1.0
 * definitions.
 */
#ifndef TAVRI_SIM_PLI_ACC_H
#define TAVRI_SIM_PLI_ACC_H

#ifdef __cplusplus
extern "C" {
#endif

/* A simulator object. Only the simulator knows what lies behind it. */
typedef void *handle;

/* Object types and fulltypes (acc_fetch_type, acc_fetch_fulltype, acc_object_of_type). */
enum {
    accModule = 20,
    accScope = 21,
    accNet = 25,
    accReg = 30,
    accPort = 35,
    accNetBit = 36,
    accRegBit = 37,
    accPortBit = 38, /* reported among a scope's objects but never a variable */

    accIntegerParam = 200,
    accRealParam = 202,
    accStringParam = 204,
    accParameter = 220,

    accTopModule = 224,
    accModuleInstance = 226,
    accCellInstance = 228,

    /* port fulltypes */
    accScalarPort = 250,
    accBitSelectPort = 252,
    accPartSelectPort = 254,
    accVectorPort = 256,
    accConcatPort = 258,

    /* net fulltypes */
    accWire = 260,
    accWand = 261,
    accWor = 262,
    accTri = 263,
    accTriand = 264,
    accTrior = 265,
    accTri0 = 266,
    accTri1 = 267,
    accTrireg = 268,
    accSupply0 = 269,
    accSupply1 = 270,

    accNamedEvent = 280,
    accIntegerVar = 281,
    accRealVar = 282,
    accTimeVar = 283,

    /* properties tested with acc_object_of_type */
    accScalar = 300,
    accVector = 302,
    accCollapsedNet = 304,
    accExpandedVector = 306,
    accProtected = 308,

    /* port directions (acc_fetch_direction) */
    accInput = 402,
    accOutput = 404,
    accInout = 406,

    /* scopes that are not module instances */
    accTask = 504,
    accFunction = 506,
    accSeqBlock = 558,       /* named begin block */
    accNamedBeginStat = 560, /* named begin block */
    accParBlock = 562,       /* named fork block */
    accNamedForkStat = 564,  /* named fork block */
    accBeginKind716 = 716,   /* further begin-kind blocks some simulators report */
    accBeginKind717 = 717,   /* begin-kind block that is never dumped */

    accConstant = 600
};

/* Scalar logic values (accScalarVal) and value-change logic values. */
enum {
    acc0 = 0,
    acc1 = 1,
    accZ = 2,
    accX = 3
};
enum {
    vcl0 = acc0,
    vcl1 = acc1,
    vclZ = accZ,
    vclX = accX
};

/* Strength levels of a value-change record. */
enum {
    vclHighZ = 0,
    vclSmall = 1,
    vclMedium = 2,
    vclWeak = 3,
    vclLarge = 4,
    vclPull = 5,
    vclStrong = 6,
    vclSupply = 7
};

/* Value formats of acc_fetch_value with the "%%" format string. */
enum {
    accBinStrVal = 1,
    accOctStrVal = 2,
    accDecStrVal = 3,
    accHexStrVal = 4,
    accScalarVal = 5,
    accIntVal = 6,
    accRealVal = 7,
    accStringVal = 8,
    accVectorVal = 10
};

/* One 32-bit group of a vector value; bits as in t_vecval. */
typedef struct t_acc_vecval {
    int aval;
    int bval;
} s_acc_vecval, *p_acc_vecval;

typedef struct t_acc_value {
    int format;
    union {
        char *str;
        int scalar;
        int integer;
        double real;
        p_acc_vecval vector;
    } value;
} s_acc_value, *p_acc_value;

/* Value-change link flags. */
enum {
    vcl_verilog_logic = 2,
    vcl_verilog_strength = 3
};

/* Why a value-change link was called (s_vc_record.vc_reason). */
enum {
    logic_value_change = 1,
    strength_value_change = 2,
    real_value_change = 3,
    vector_value_change = 4,
    event_value_change = 5,
    integer_value_change = 6,
    time_value_change = 7,
    sregister_value_change = 8,
    vregister_value_change = 9,
    realtime_value_change = 10
};

typedef struct t_strengths {
    unsigned char logic_value;
    unsigned char strength1;
    unsigned char strength2;
} s_strengths, *p_strengths;

typedef struct t_vc_record {
    int vc_reason;
    int vc_hightime;
    int vc_lowtime;
    char *user_data;
    union {
        unsigned char logic_value;
        double real_value;
        handle vector_handle;
        s_strengths strengths_s;
    } out_value;
} s_vc_record, *p_vc_record;

typedef int (*p_vc_consumer)(p_vc_record record);

#ifdef __cplusplus
}
#endif

#endif
