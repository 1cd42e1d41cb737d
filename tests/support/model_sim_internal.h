// Pieces the implementation files of the model simulator share; not for tests.
#ifndef TAVRI_TESTS_SUPPORT_MODEL_SIM_INTERNAL_H
#define TAVRI_TESTS_SUPPORT_MODEL_SIM_INTERNAL_H

#include "support/model_sim.h"

namespace tavri::test {

// Makes `call` the calling context (tf_getinstance, argument routines,
// relative names) for as long as it lives; null clears the context, as for
// value-change callbacks and Tcl commands.
class ModelSim::CallContext {
public:
    CallContext(ModelSim *sim, TaskCall *call) : sim_(sim), saved_(sim->current_) { sim->current_ = call; }
    ~CallContext() { sim_->current_ = saved_; }
    CallContext(const CallContext &) = delete;
    CallContext &operator=(const CallContext &) = delete;

private:
    ModelSim *sim_;
    TaskCall *saved_;
};

}  // namespace tavri::test

#endif
