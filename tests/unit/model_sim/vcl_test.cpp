// Value-change links: which reason each object kind reports, what the
// records carry, when links fire, and how adding and deleting behave.
#include <gtest/gtest.h>

#include <vector>

#include "sim/sim_routines.h"
#include "support/model_sim.h"
#include "test_tasks.h"

namespace tavri::test {
namespace {

using sim::g_sim;

char kTagA[] = "a";
char kTagB[] = "b";

class ModelSimVcl : public ::testing::Test {
protected:
    ModelSimVcl() { top = model.AddTopModule("top"); }

    std::vector<s_vc_record> &records() { return VcRecorder::records; }

    ModelSim model;
    TestTasks tasks;  // clears the recorder
    Scope *top;
};

TEST_F(ModelSimVcl, ScalarNetLogicLinksFireOnLogicChangesOnly) {
    Signal *net = model.AddNet(top, "n");
    g_sim.acc_vcl_add(net, &VcRecorder::Consume, kTagA, vcl_verilog_logic);

    model.SetValue(net, "1");
    ASSERT_EQ(records().size(), 1U);
    EXPECT_EQ(records()[0].vc_reason, logic_value_change);
    EXPECT_EQ(records()[0].out_value.logic_value, vcl1);
    EXPECT_EQ(records()[0].user_data, kTagA);

    model.SetValue(net, "1");           // no change
    model.SetValue(net, "1", vclPull);  // strength only
    EXPECT_EQ(records().size(), 1U);

    model.SetValue(net, "z");
    model.SetValue(net, "x");
    model.SetValue(net, "0");
    ASSERT_EQ(records().size(), 4U);
    EXPECT_EQ(records()[1].out_value.logic_value, vclZ);
    EXPECT_EQ(records()[2].out_value.logic_value, vclX);
    EXPECT_EQ(records()[3].out_value.logic_value, vcl0);
}

TEST_F(ModelSimVcl, ScalarNetStrengthLinksReportStrengthsAndStrengthOnlyChanges) {
    Signal *net = model.AddNet(top, "n");
    g_sim.acc_vcl_add(net, &VcRecorder::Consume, kTagB, vcl_verilog_strength);

    model.SetValue(net, "0", vclPull);
    model.SetValue(net, "0", vclStrong);  // same logic, new strength
    model.SetStrengths(net, Logic::kX, vclStrong, vclWeak);
    model.SetValue(net, "z");
    model.SetValue(net, "z");  // nothing changes

    ASSERT_EQ(records().size(), 4U);
    const s_strengths expected[] = {
        {vcl0, vclPull, vclPull}, {vcl0, vclStrong, vclStrong}, {vclX, vclStrong, vclWeak}, {vclZ, vclHighZ, vclHighZ}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(records()[i].vc_reason, strength_value_change);
        EXPECT_EQ(records()[i].out_value.strengths_s.logic_value, expected[i].logic_value);
        EXPECT_EQ(records()[i].out_value.strengths_s.strength1, expected[i].strength1);
        EXPECT_EQ(records()[i].out_value.strengths_s.strength2, expected[i].strength2);
        EXPECT_EQ(records()[i].user_data, kTagB);
    }
}

TEST_F(ModelSimVcl, ReportsTheReasonOfEachObjectKind) {
    Signal *scalar_reg = model.AddReg(top, "r");
    Signal *vector_net = model.AddNet(top, "vn", 3, 0);
    Signal *vector_reg = model.AddReg(top, "vr", 3, 0);
    Signal *integer = model.AddInteger(top, "i");
    Signal *time = model.AddTime(top, "t");
    RealVar *real = model.AddReal(top, "re");
    NamedEvent *event = model.AddEvent(top, "ev");
    for (handle h : {handle(scalar_reg), handle(vector_net), handle(vector_reg), handle(integer), handle(time),
                     handle(real), handle(event)}) {
        g_sim.acc_vcl_add(h, &VcRecorder::Consume, kTagA, vcl_verilog_logic);
    }

    model.SetValue(scalar_reg, "1");
    model.SetValue(vector_net, "10z1");
    model.SetValue(vector_reg, "0011");
    model.SetInteger(integer, -4);
    model.SetInteger(time, 99);
    model.SetReal(real, 2.5);
    model.Trigger(event);
    model.Trigger(event);  // every trigger is a change

    ASSERT_EQ(records().size(), 8U);
    EXPECT_EQ(records()[0].vc_reason, sregister_value_change);
    EXPECT_EQ(records()[0].out_value.logic_value, vcl1);
    EXPECT_EQ(records()[1].vc_reason, vector_value_change);
    EXPECT_EQ(records()[1].out_value.vector_handle, vector_net);
    EXPECT_EQ(records()[2].vc_reason, vregister_value_change);
    EXPECT_EQ(records()[2].out_value.vector_handle, vector_reg);
    EXPECT_EQ(records()[3].vc_reason, integer_value_change);
    EXPECT_EQ(records()[4].vc_reason, time_value_change);
    EXPECT_EQ(records()[5].vc_reason, real_value_change);
    EXPECT_DOUBLE_EQ(records()[5].out_value.real_value, 2.5);
    EXPECT_EQ(records()[6].vc_reason, event_value_change);
    EXPECT_EQ(records()[7].vc_reason, event_value_change);

    // Unchanged values do not fire.
    model.SetInteger(integer, -4);
    model.SetReal(real, 2.5);
    model.SetValue(vector_reg, "0011");
    EXPECT_EQ(records().size(), 8U);
}

TEST_F(ModelSimVcl, StampsRecordsWithTheFull64BitTime) {
    Signal *reg = model.AddReg(top, "r");
    g_sim.acc_vcl_add(reg, &VcRecorder::Consume, nullptr, vcl_verilog_logic);
    model.AdvanceTo((std::uint64_t{5} << 32) + 7);
    model.SetValue(reg, "0");
    ASSERT_EQ(records().size(), 1U);
    EXPECT_EQ(records()[0].vc_hightime, 5);
    EXPECT_EQ(records()[0].vc_lowtime, 7);
}

int g_other_calls = 0;
int Other(p_vc_record) {
    ++g_other_calls;
    return 0;
}

TEST_F(ModelSimVcl, DeleteRemovesExactlyTheLinkWithTheSameArguments) {
    g_other_calls = 0;
    Signal *net = model.AddNet(top, "n");
    g_sim.acc_vcl_add(net, &VcRecorder::Consume, kTagA, vcl_verilog_logic);
    g_sim.acc_vcl_add(net, &VcRecorder::Consume, kTagB, vcl_verilog_logic);
    g_sim.acc_vcl_add(net, &VcRecorder::Consume, kTagA, vcl_verilog_strength);
    g_sim.acc_vcl_add(net, &Other, kTagA, vcl_verilog_logic);

    g_sim.acc_vcl_delete(net, &VcRecorder::Consume, kTagA, vcl_verilog_logic);
    model.SetValue(net, "1");
    ASSERT_EQ(records().size(), 2U);
    EXPECT_EQ(records()[0].user_data, kTagB);
    EXPECT_EQ(records()[1].vc_reason, strength_value_change);
    EXPECT_EQ(g_other_calls, 1);

    // Deleting a link that is not there is reported and changes nothing.
    g_sim.acc_vcl_delete(net, &VcRecorder::Consume, kTagA, vcl_verilog_logic);
    EXPECT_EQ(model.Diagnostics().size(), 1U);
    model.SetValue(net, "0");
    EXPECT_EQ(records().size(), 4U);
}

TEST_F(ModelSimVcl, AddingTheSameLinkTwiceDeliversTwiceUntilDeleted) {
    Signal *net = model.AddNet(top, "n");
    g_sim.acc_vcl_add(net, &VcRecorder::Consume, kTagA, vcl_verilog_logic);
    g_sim.acc_vcl_add(net, &VcRecorder::Consume, kTagA, vcl_verilog_logic);
    model.SetValue(net, "1");
    EXPECT_EQ(records().size(), 2U);
    g_sim.acc_vcl_delete(net, &VcRecorder::Consume, kTagA, vcl_verilog_logic);
    model.SetValue(net, "0");
    EXPECT_EQ(records().size(), 3U);
}

TEST_F(ModelSimVcl, BitChangesFireTheBitAndTheVector) {
    Signal *bus = model.AddNet(top, "bus", 7, 0);
    bus->expanded = true;
    Bit *bit3 = model.BitOf(bus, 3);
    g_sim.acc_vcl_add(bit3, &VcRecorder::Consume, kTagA, vcl_verilog_logic);
    g_sim.acc_vcl_add(bus, &VcRecorder::Consume, kTagB, vcl_verilog_logic);
    model.SetValue(bus, "00000000");
    records().clear();

    model.SetBit(bus, 3, Logic::k1);
    ASSERT_EQ(records().size(), 2U);
    int bit_records = 0;
    for (const s_vc_record &r : records()) {
        if (r.user_data == kTagA) {
            ++bit_records;
            EXPECT_EQ(r.vc_reason, logic_value_change);
            EXPECT_EQ(r.out_value.logic_value, vcl1);
        } else {
            EXPECT_EQ(r.vc_reason, vector_value_change);
            EXPECT_EQ(r.out_value.vector_handle, bus);
        }
    }
    EXPECT_EQ(bit_records, 1);

    records().clear();
    model.SetBit(bus, 2, Logic::k1);  // another bit: only the vector
    ASSERT_EQ(records().size(), 1U);
    EXPECT_EQ(records()[0].user_data, kTagB);

    records().clear();
    model.SetValue(bus, "1000x100");  // bit 3 becomes x among other changes
    ASSERT_EQ(records().size(), 2U);

    // Reg bits report register changes.
    Signal *reg = model.AddReg(top, "r", 1, 0);
    g_sim.acc_vcl_add(model.BitOf(reg, 0), &VcRecorder::Consume, kTagA, vcl_verilog_logic);
    records().clear();
    model.SetValue(reg, "01");
    ASSERT_EQ(records().size(), 1U);
    EXPECT_EQ(records()[0].vc_reason, sregister_value_change);
    EXPECT_EQ(records()[0].out_value.logic_value, vcl1);
}

TEST_F(ModelSimVcl, SimulatedNetChangesFireLinksOfCollapsedNetsAndTheirBits) {
    Signal *real_bus = model.AddNet(top, "real_bus", 3, 0);
    Signal *alias = model.AddNet(top, "alias", 7, 4);
    alias->expanded = true;
    model.Collapse(alias, real_bus);
    Signal *wire = model.AddNet(top, "w");
    Signal *wire_alias = model.AddNet(top, "w_alias");
    model.Collapse(wire_alias, wire);

    g_sim.acc_vcl_add(alias, &VcRecorder::Consume, kTagA, vcl_verilog_logic);
    g_sim.acc_vcl_add(model.BitOf(alias, 4), &VcRecorder::Consume, kTagB, vcl_verilog_logic);
    g_sim.acc_vcl_add(wire_alias, &VcRecorder::Consume, kTagB, vcl_verilog_strength);

    model.SetValue(real_bus, "0001");  // bit 0 of real_bus is alias[4]
    ASSERT_EQ(records().size(), 2U);
    bool saw_vector = false;
    bool saw_bit = false;
    for (const s_vc_record &r : records()) {
        if (r.vc_reason == vector_value_change) {
            saw_vector = true;
            EXPECT_EQ(r.out_value.vector_handle, alias);
        } else {
            saw_bit = true;
            EXPECT_EQ(r.vc_reason, logic_value_change);
            EXPECT_EQ(r.out_value.logic_value, vcl1);
        }
    }
    EXPECT_TRUE(saw_vector);
    EXPECT_TRUE(saw_bit);

    records().clear();
    model.SetValue(wire, "1", vclSupply);
    ASSERT_EQ(records().size(), 1U);
    EXPECT_EQ(records()[0].vc_reason, strength_value_change);
    EXPECT_EQ(records()[0].out_value.strengths_s.logic_value, vcl1);
    EXPECT_EQ(records()[0].out_value.strengths_s.strength1, vclSupply);
}

// Consumers that change the link list while a change is delivered.
struct Mutator {
    static Signal *net;
    static int deleter_calls;
    static int victim_calls;
    static int added_calls;
    static int Deleter(p_vc_record) {
        ++deleter_calls;
        g_sim.acc_vcl_delete(net, &Victim, nullptr, vcl_verilog_logic);
        g_sim.acc_vcl_delete(net, &Deleter, nullptr, vcl_verilog_logic);  // itself
        g_sim.acc_vcl_add(net, &Added, nullptr, vcl_verilog_logic);
        return 0;
    }
    static int Victim(p_vc_record) {
        ++victim_calls;
        return 0;
    }
    static int Added(p_vc_record) {
        ++added_calls;
        return 0;
    }
};
Signal *Mutator::net = nullptr;
int Mutator::deleter_calls = 0;
int Mutator::victim_calls = 0;
int Mutator::added_calls = 0;

TEST_F(ModelSimVcl, LinksAddedOrDeletedInACallbackKeepTheDeliveryIntact) {
    Mutator::net = model.AddNet(top, "n");
    g_sim.acc_vcl_add(Mutator::net, &VcRecorder::Consume, kTagA, vcl_verilog_logic);
    g_sim.acc_vcl_add(Mutator::net, &Mutator::Deleter, nullptr, vcl_verilog_logic);
    g_sim.acc_vcl_add(Mutator::net, &Mutator::Victim, nullptr, vcl_verilog_logic);
    g_sim.acc_vcl_add(Mutator::net, &VcRecorder::Consume, kTagB, vcl_verilog_logic);

    model.SetValue(Mutator::net, "1");
    EXPECT_EQ(Mutator::deleter_calls, 1);
    EXPECT_EQ(Mutator::victim_calls, 0);  // deleted before its turn
    EXPECT_EQ(Mutator::added_calls, 0);   // added during the delivery: from the next change on
    ASSERT_EQ(records().size(), 2U);      // the links around them still got the change
    EXPECT_EQ(records()[0].user_data, kTagA);
    EXPECT_EQ(records()[1].user_data, kTagB);

    model.SetValue(Mutator::net, "0");
    EXPECT_EQ(Mutator::deleter_calls, 1);
    EXPECT_EQ(Mutator::added_calls, 1);
    EXPECT_TRUE(model.Diagnostics().empty());
}

TEST_F(ModelSimVcl, ConsumersRunOutsideAnyTaskInstance) {
    static char *seen = kTagA;
    struct Probe {
        static int Consume(p_vc_record) {
            seen = g_sim.tf_getinstance();
            return 0;
        }
    };
    Signal *reg = model.AddReg(top, "r");
    tasks.Add("$poke", {.call = [&] {
                            model.SetValue(reg, "1");
                            return 0;
                        }});
    g_sim.acc_vcl_add(reg, &Probe::Consume, nullptr, vcl_verilog_logic);
    model.RunTask(top, "$poke");
    EXPECT_EQ(seen, nullptr);
}

TEST_F(ModelSimVcl, RefusesLinksOnObjectsWithoutValueChanges) {
    Parameter *parameter = model.AddIntParam(top, "P", 1);
    Memory *memory = model.AddMemory(top, "m", 3, 0, 0, 1);
    g_sim.acc_vcl_add(parameter, &VcRecorder::Consume, nullptr, vcl_verilog_logic);
    g_sim.acc_vcl_add(memory, &VcRecorder::Consume, nullptr, vcl_verilog_logic);
    g_sim.acc_vcl_add(top, &VcRecorder::Consume, nullptr, vcl_verilog_logic);
    EXPECT_EQ(model.Diagnostics().size(), 3U);
}

}  // namespace
}  // namespace tavri::test
