// Time, synchronisation, delayed reactivation and the simulation events
// delivered to every instance.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "sim/sim_routines.h"
#include "support/model_sim.h"
#include "test_tasks.h"

namespace tavri::test {
namespace {

using sim::g_sim;

class ModelSimTime : public ::testing::Test {
protected:
    ModelSimTime() { top = model.AddTopModule("top"); }

    std::uint64_t SimTime() {
        int high = -1;
        const int low = g_sim.tf_getlongsimtime(&high);
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | static_cast<std::uint32_t>(low);
    }

    ModelSim model;
    TestTasks tasks;
    Scope *top;
};

TEST_F(ModelSimTime, ReadOnlySynchFiresOncePerStepAfterEveryChange) {
    Signal *reg = model.AddReg(top, "r", 3, 0);
    std::vector<std::string> seen;
    tasks.Add("$watch", {.call = [] {
                             g_sim.tf_rosynchronize();
                             g_sim.tf_rosynchronize();  // asking twice still gives one callback
                             return 0;
                         },
                         .misc = [&](int reason) {
                             if (reason == reason_rosynch) {
                                 seen.push_back(g_sim.acc_fetch_value(reg, "%b", nullptr));
                             }
                         }});
    TaskCall *call = model.RunTask(top, "$watch");
    model.SetValue(reg, "0001");
    model.SetValue(reg, "0010");
    model.SetValue(reg, "0100");
    EXPECT_TRUE(seen.empty());  // nothing until the step ends
    model.EndStep();
    EXPECT_EQ(seen, std::vector<std::string>{"0100"});
    EXPECT_EQ(tasks.ReasonsFor(call->instance()), std::vector<int>{reason_rosynch});

    model.EndStep();  // no new request: no callback
    model.Advance(5);
    EXPECT_EQ(seen.size(), 1U);
}

TEST_F(ModelSimTime, SynchCallbacksComeBeforeReadOnlySynch) {
    tasks.Add("$both", {.call = [] {
                            g_sim.tf_rosynchronize();
                            g_sim.tf_synchronize();
                            return 0;
                        }});
    tasks.Add("$ro", {.call = [] {
                          g_sim.tf_rosynchronize();
                          return 0;
                      }});
    TaskCall *both = model.RunTask(top, "$both");
    TaskCall *ro = model.RunTask(top, "$ro");
    model.EndStep();
    ASSERT_EQ(tasks.misc_calls().size(), 3U);
    EXPECT_EQ(tasks.misc_calls()[0].reason, reason_synch);
    EXPECT_EQ(tasks.misc_calls()[0].instance, both->instance());
    EXPECT_EQ(tasks.misc_calls()[1].reason, reason_rosynch);
    EXPECT_EQ(tasks.misc_calls()[1].instance, both->instance());
    EXPECT_EQ(tasks.misc_calls()[2].reason, reason_rosynch);
    EXPECT_EQ(tasks.misc_calls()[2].instance, ro->instance());
}

TEST_F(ModelSimTime, ARequestFromTheReadOnlyCallbackIsForTheNextStep) {
    int callbacks = 0;
    tasks.Add("$again", {.call = [] { return g_sim.tf_rosynchronize(); },
                         .misc = [&](int reason) {
                             if (reason == reason_rosynch && ++callbacks < 3) {
                                 g_sim.tf_rosynchronize();
                             }
                         }});
    model.RunTask(top, "$again");
    model.EndStep();
    EXPECT_EQ(callbacks, 1);
    model.Advance(1);  // ends the step at 0 again: the renewed request
    EXPECT_EQ(callbacks, 2);
    model.EndStep();
    EXPECT_EQ(callbacks, 3);
    model.EndStep();
    EXPECT_EQ(callbacks, 3);
}

TEST_F(ModelSimTime, SynchRequestsFromOtherContextsNameTheirInstance) {
    tasks.Add("$t");
    TaskCall *call = model.RunTask(top, "$t");
    EXPECT_EQ(g_sim.tf_irosynchronize(call->instance()), 1);
    EXPECT_EQ(g_sim.tf_isynchronize(call->instance()), 1);
    model.EndStep();
    EXPECT_EQ(tasks.ReasonsFor(call->instance()), (std::vector<int>{reason_synch, reason_rosynch}));

    // Without a calling instance the plain forms fail.
    EXPECT_EQ(g_sim.tf_rosynchronize(), 0);
    EXPECT_EQ(g_sim.tf_synchronize(), 0);
    char bogus = 0;
    EXPECT_EQ(g_sim.tf_irosynchronize(&bogus), 0);
    EXPECT_EQ(model.Diagnostics().size(), 3U);
}

TEST_F(ModelSimTime, ReactivatesEachDelayAtItsOwnTime) {
    std::vector<std::uint64_t> reactivated_at;
    tasks.Add("$later", {.call = [] {
                             g_sim.tf_setdelay(30);
                             g_sim.tf_setdelay(10);
                             return 0;
                         },
                         .misc = [&](int reason) {
                             if (reason == reason_reactivate) {
                                 reactivated_at.push_back(SimTime());
                                 g_sim.tf_rosynchronize();
                             }
                         }});
    TaskCall *call = model.RunTask(top, "$later");
    EXPECT_EQ(model.PendingReactivations(), 2U);
    model.AdvanceTo(9);
    EXPECT_TRUE(reactivated_at.empty());
    model.AdvanceTo(100);
    EXPECT_EQ(reactivated_at, (std::vector<std::uint64_t>{10, 30}));
    EXPECT_EQ(model.Now(), 100U);
    // Each step was ended at its own time: the rosynch asked for at 10 came at 10.
    ASSERT_EQ(tasks.misc_calls().size(), 4U);
    EXPECT_EQ(tasks.misc_calls()[1].reason, reason_rosynch);
    EXPECT_EQ(tasks.misc_calls()[1].time, 10U);
    EXPECT_EQ(tasks.misc_calls()[3].time, 30U);
    EXPECT_EQ(tasks.ReasonsFor(call->instance()).size(), 4U);
}

TEST_F(ModelSimTime, LeavesTheStepAtTheTargetTimeOpen) {
    tasks.Add("$at", {.call = [] { return g_sim.tf_setdelay(5); },
                      .misc = [](int reason) {
                          if (reason == reason_reactivate) {
                              g_sim.tf_rosynchronize();
                          }
                      }});
    TaskCall *call = model.RunTask(top, "$at");
    model.AdvanceTo(5);
    EXPECT_EQ(tasks.ReasonsFor(call->instance()), std::vector<int>{reason_reactivate});
    model.EndStep();
    EXPECT_EQ(tasks.ReasonsFor(call->instance()), (std::vector<int>{reason_reactivate, reason_rosynch}));
    EXPECT_EQ(tasks.misc_calls().back().time, 5U);
}

TEST_F(ModelSimTime, LongDelaysUseTheHighWordAndAnUnsignedLowWord) {
    std::vector<std::uint64_t> reactivated_at;
    tasks.Add("$long", {.call = [] {
                            g_sim.tf_setlongdelay(3, 2);   // 2 * 2**32 + 3
                            g_sim.tf_setlongdelay(-1, 0);  // 2**32 - 1
                            return 0;
                        },
                        .misc = [&](int reason) {
                            if (reason == reason_reactivate) {
                                reactivated_at.push_back(SimTime());
                            }
                        }});
    model.RunTask(top, "$long");
    model.RunPending();
    EXPECT_EQ(reactivated_at, (std::vector<std::uint64_t>{0xffffffffULL, (2ULL << 32) + 3}));
    EXPECT_EQ(model.Now(), (2ULL << 32) + 3);
}

TEST_F(ModelSimTime, SchedulesAnotherInstanceWithIsetlongdelay) {
    TaskCall *target = nullptr;
    tasks.Add("$target");
    tasks.Add("$kick", {.call = [&] { return g_sim.tf_isetlongdelay(7, 0, target->instance()); }});
    target = model.RunTask(top, "$target");
    TaskCall *kick = model.RunTask(top, "$kick");
    EXPECT_EQ(kick->last_call_result, 1);
    model.RunPending();
    EXPECT_EQ(tasks.ReasonsFor(target->instance()), std::vector<int>{reason_reactivate});
    EXPECT_TRUE(tasks.ReasonsFor(kick->instance()).empty());
    EXPECT_EQ(tasks.misc_calls()[0].time, 7U);
}

TEST_F(ModelSimTime, ZeroDelayRunsLaterInTheSameStepBeforeReadOnlySynch) {
    tasks.Add("$now", {.call = [] {
                           g_sim.tf_rosynchronize();
                           return g_sim.tf_setdelay(0);
                       }});
    TaskCall *call = model.RunTask(top, "$now");
    EXPECT_TRUE(tasks.misc_calls().empty());  // not from inside calltf
    model.EndStep();
    EXPECT_EQ(tasks.ReasonsFor(call->instance()), (std::vector<int>{reason_reactivate, reason_rosynch}));
    EXPECT_EQ(tasks.misc_calls()[0].time, 0U);
    EXPECT_EQ(model.Now(), 0U);
}

TEST_F(ModelSimTime, ScalesDelaysByTheModuleTimeUnit) {
    model.SetResolutionLimit(-12);
    model.SetTimeUnit(top, -9);
    int unit = 0;
    tasks.Add("$unit", {.call = [&] {
                            unit = g_sim.tf_gettimeunit();
                            return g_sim.tf_setdelay(3);
                        }});
    model.RunTask(top, "$unit");
    EXPECT_EQ(unit, -9);
    model.RunPending();
    EXPECT_EQ(tasks.misc_calls().at(0).time, 3000U);
    EXPECT_EQ(g_sim.tf_gettimeunit(), -12);  // outside a task: the resolution
}

TEST_F(ModelSimTime, DeliversSimulationEventsToEveryInstanceInCreationOrder) {
    tasks.Add("$a");
    tasks.Add("$quiet", {}, /*with_misc=*/false);
    tasks.Add("$b");
    TaskCall *b1 = model.AddTaskCall(top, "$b");
    TaskCall *a = model.AddTaskCall(top, "$a");
    model.AddTaskCall(top, "$quiet");
    TaskCall *b2 = model.AddTaskCall(top, "$b");

    const int reasons[] = {reason_finish,      reason_save,        reason_restart,
                           reason_reset,       reason_endofreset,  reason_interactive,
                           reason_startofsave, reason_startofrestart};
    model.Finish();
    model.Save();
    model.Restart();
    model.Reset();
    model.EndOfReset();
    model.Interactive();
    model.StartOfSave();
    model.StartOfRestart();
    ASSERT_EQ(tasks.misc_calls().size(), 24U);
    for (std::size_t i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(tasks.misc_calls()[3 * i].instance, b1->instance());
        EXPECT_EQ(tasks.misc_calls()[3 * i + 1].instance, a->instance());
        EXPECT_EQ(tasks.misc_calls()[3 * i + 2].instance, b2->instance());
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(tasks.misc_calls()[3 * i + k].reason, reasons[i]);
        }
    }
    tasks.ClearMisc();
    model.DeliverMisc(reason_paramvc);
    EXPECT_EQ(tasks.misc_calls().size(), 3U);
}

TEST_F(ModelSimTime, ResetGoesBackToTimeZeroAndDropsWhatWasScheduled) {
    std::vector<std::uint64_t> seen_at;
    tasks.Add("$later", {.call = [] {
                             g_sim.tf_setdelay(50);
                             g_sim.tf_rosynchronize();
                             return 0;
                         },
                         .misc = [&](int reason) {
                             if (reason == reason_reset) {
                                 seen_at.push_back(SimTime());  // the reset is told before the time goes back
                             } else if (reason == reason_reactivate || reason == reason_rosynch) {
                                 seen_at.push_back(~std::uint64_t{0});
                             }
                         }});
    model.AdvanceTo(30);
    model.RunTask(top, "$later");
    model.Reset();
    EXPECT_EQ(SimTime(), 0U);
    EXPECT_EQ(model.PendingReactivations(), 0U);
    model.EndStep();
    model.AdvanceTo(100);
    EXPECT_EQ(seen_at, std::vector<std::uint64_t>{30}) << "neither the delay nor the synchronisation survives";
}

TEST_F(ModelSimTime, KeepsSixtyFourBitTime) {
    model.AdvanceTo((std::uint64_t{3} << 32) | 0x80000001U);
    EXPECT_EQ(SimTime(), (std::uint64_t{3} << 32) | 0x80000001U);
    EXPECT_THROW(model.AdvanceTo(1), std::logic_error);
}

}  // namespace
}  // namespace tavri::test
