/*
 * PLI 1.0 TF-routine declarations used by the dumper: the task registration
 * cell, the misctf reason codes, argument types, expression and node
 * information records. Written for this project from the IEEE 1364 PLI 1.0
 * definitions; layouts follow the standard so that a simulator that loads the
 * native library can read our registration cells directly.
 */
#ifndef TAVRI_SIM_PLI_TF_H
#define TAVRI_SIM_PLI_TF_H

#ifdef __cplusplus
extern "C" {
#endif

/* Every routine of a task row is called with the row's data word and a reason. */
typedef int (*p_tffn)(int data, int reason);

/* One row of a task registration table. */
typedef struct t_tfcell {
    short type;           /* usertask, userfunction, userrealfunction; 0 ends a table */
    short data;           /* handed to every routine of the row */
    p_tffn checktf;       /* argument check at compile time */
    p_tffn sizetf;        /* result size of a user function */
    p_tffn calltf;        /* runs when the task executes */
    p_tffn misctf;        /* simulation events (reasons below) */
    char *tfname;         /* "$name" */
    int forwref;          /* 1: arguments may refer forward */
    char *tfveritool;
    char *tferrmessage;
    int hash;
    struct t_tfcell *left_p;
    struct t_tfcell *right_p;
    char *namecell_p;
    int warning_printed;
} s_tfcell, *p_tfcell;

enum {
    usertask = 1,
    userfunction = 2,
    userrealfunction = 3
};

/* Misctf reasons. */
enum {
    reason_checktf = 1,
    reason_calltf = 2,
    reason_save = 4,
    reason_restart = 5,
    reason_disable = 6,
    reason_paramvc = 7,
    reason_synch = 8,
    reason_finish = 9,
    reason_reactivate = 10,
    reason_rosynch = 11,
    reason_interactive = 18,
    reason_reset = 19,
    reason_endofreset = 20,
    reason_startofsave = 27,
    reason_startofrestart = 28
};

/* Argument kinds reported by tf_typep and tf_exprinfo. */
enum {
    tf_nullparam = 0,
    tf_string = 1,
    tf_readonly = 10,
    tf_readwrite = 11,
    tf_rwbitselect = 12,
    tf_rwpartselect = 13,
    tf_rwmemselect = 14,
    tf_readonlyreal = 15,
    tf_readwritereal = 16
};

/* Node kinds reported by tf_nodeinfo. */
enum {
    tf_null_node = 100,
    tf_reg_node = 101,
    tf_integer_node = 102,
    tf_time_node = 103,
    tf_netvector_node = 104,
    tf_netscalar_node = 105,
    tf_memory_node = 106,
    tf_real_node = 107
};

/* One 32-bit group of a four-state value: (aval, bval) = (0,0) 0, (1,0) 1, (0,1) z, (1,1) x. */
typedef struct t_vecval {
    int avalbits;
    int bvalbits;
} s_vecval, *p_vecval;

typedef struct t_strengthval {
    int strength0;
    int strength1;
} s_strengthval, *p_strengthval;

typedef struct t_tfexprinfo {
    short expr_type;
    short padding;
    struct t_vecval *expr_value_p;
    double real_value;
    char *expr_string;
    int expr_ngroups;
    int expr_vec_size;
    int expr_sign;
    int expr_lhs_select;
    int expr_rhs_select;
} s_tfexprinfo, *p_tfexprinfo;

typedef struct t_tfnodeinfo {
    short node_type;
    short padding;
    union {
        struct t_vecval *vecval_p;
        struct t_strengthval *strengthval_p;
        char *memoryval_p;
        double *real_val_p;
    } node_value;
    char *node_symbol;
    int node_ngroups;
    int node_vec_size;
    int node_sign;
    int node_ms_index;
    int node_ls_index;
    int node_mem_size;
    int node_lhs_element;
    int node_rhs_element;
    int *node_handle;
} s_tfnodeinfo, *p_tfnodeinfo;

#ifdef __cplusplus
}
#endif

#endif
