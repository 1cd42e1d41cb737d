// The model simulator as a binding of the routine table.
#include <gtest/gtest.h>

#include <stdexcept>

#include "sim/sim_routines.h"
#include "support/model_sim.h"

namespace tavri::test {
namespace {

using sim::g_sim;

TEST(ModelSimBinding, FillsEveryRoutineOfTheTable) {
    const char *missing = nullptr;
    EXPECT_EQ(sim::CountUnbound(ModelSim::RoutineTable(), &missing), 0) << "first empty entry: " << missing;

    ModelSim model;
    EXPECT_EQ(sim::CountUnbound(g_sim), 0);
    EXPECT_EQ(sim::CountUnbound(sim::g_simBound), 0);
}

TEST(ModelSimBinding, ConstructionActivatesAndDestructionUnbinds) {
    EXPECT_EQ(ModelSim::Active(), nullptr);
    {
        ModelSim model;
        EXPECT_EQ(ModelSim::Active(), &model);
        // The table reaches this simulator: a routine sees its configuration.
        model.SetResolutionLimit(-12);
        EXPECT_EQ(g_sim.mti_GetResolutionLimit(), -12);
        EXPECT_THROW(ModelSim second, std::logic_error);
        EXPECT_EQ(ModelSim::Active(), &model);
    }
    EXPECT_EQ(ModelSim::Active(), nullptr);
    EXPECT_GT(sim::CountUnbound(g_sim), 0);
}

TEST(ModelSimBinding, EachSimulatorStartsFresh) {
    {
        ModelSim first;
        first.AddTopModule("top");
        first.SetResolutionLimit(-15);
    }
    ModelSim second;
    EXPECT_EQ(g_sim.acc_next_topmod(nullptr), nullptr);
    EXPECT_EQ(g_sim.mti_GetResolutionLimit(), -9);
}

}  // namespace
}  // namespace tavri::test
