// acc_fetch_value: the text formats and the "%%" value records, on every
// kind of object that holds a value.
#include <gtest/gtest.h>

#include <string>

#include "sim/sim_routines.h"
#include "support/model_sim.h"

namespace tavri::test {
namespace {

using sim::g_sim;

class ModelSimAccValue : public ::testing::Test {
protected:
    ModelSimAccValue() { top = model.AddTopModule("top"); }

    std::string Fetch(handle h, const char *format) {
        const char *text = g_sim.acc_fetch_value(h, format, nullptr);
        return text == nullptr ? "<null>" : text;
    }

    std::string FetchStr(handle h, int format) {
        s_acc_value value{};
        value.format = format;
        const char *result = g_sim.acc_fetch_value(h, "%%", &value);
        if (result == nullptr) {
            return "<null>";
        }
        EXPECT_EQ(result, value.value.str);
        return value.value.str;
    }

    ModelSim model;
    Scope *top;
};

TEST_F(ModelSimAccValue, FormatsFourStateVectorsAsVerilogPrintsThem) {
    Signal *reg = model.AddReg(top, "r", 11, 0);
    model.SetValue(reg, "1010_0111_1100");
    EXPECT_EQ(Fetch(reg, "%b"), "101001111100");
    EXPECT_EQ(Fetch(reg, "%h"), "a7c");
    EXPECT_EQ(Fetch(reg, "%o"), "5174");
    EXPECT_EQ(Fetch(reg, "%d"), "2684");

    model.SetValue(reg, "1010_xxxx_zzzz");
    EXPECT_EQ(Fetch(reg, "%b"), "1010xxxxzzzz");
    EXPECT_EQ(Fetch(reg, "%h"), "axz");
    EXPECT_EQ(Fetch(reg, "%d"), "X");
    model.SetValue(reg, "1010_x111_z100");
    EXPECT_EQ(Fetch(reg, "%h"), "aXZ");
    EXPECT_EQ(Fetch(reg, "%o"), "5XZ4");
    model.SetValue(reg, "zzzz_zzzz_zzzz");
    EXPECT_EQ(Fetch(reg, "%d"), "z");
    EXPECT_EQ(Fetch(reg, "%h"), "zzz");
    model.SetValue(reg, "xxxx_xxxx_xxxx");
    EXPECT_EQ(Fetch(reg, "%d"), "x");
    model.SetValue(reg, "0000_zzzz_0000");
    EXPECT_EQ(Fetch(reg, "%d"), "Z");
}

TEST_F(ModelSimAccValue, PrintsIntegersSignedAndWideValuesInFull) {
    Signal *integer = model.AddInteger(top, "i");
    model.SetInteger(integer, -42);
    EXPECT_EQ(Fetch(integer, "%d"), "-42");
    EXPECT_EQ(Fetch(integer, "%h"), "ffffffd6");
    Signal *time = model.AddTime(top, "t");
    model.SetInteger(time, static_cast<std::int64_t>(0xfedcba9876543210ULL));
    EXPECT_EQ(Fetch(time, "%d"), "18364758544493064720");  // unsigned
    EXPECT_EQ(Fetch(time, "%h"), "fedcba9876543210");
    Signal *wide = model.AddReg(top, "w", 79, 0);
    model.SetValue(wide, "1" + std::string(79, '0'));  // 2**79
    EXPECT_EQ(Fetch(wide, "%d"), "604462909807314587353088");
}

TEST_F(ModelSimAccValue, PrintsStrengthsOfScalars) {
    Signal *net = model.AddNet(top, "n");
    const struct {
        Logic logic;
        int strength1;
        int strength2;
        const char *text;
    } cases[] = {
        {Logic::k1, vclStrong, vclStrong, "St1"}, {Logic::k0, vclPull, vclPull, "Pu0"},
        {Logic::kZ, vclHighZ, vclHighZ, "HiZ"},   {Logic::kX, vclStrong, vclStrong, "StX"},
        {Logic::k1, vclWeak, vclWeak, "We1"},     {Logic::k0, vclSupply, vclSupply, "Su0"},
        {Logic::kX, vclStrong, vclPull, "65X"},
    };
    for (const auto &c : cases) {
        model.SetStrengths(net, c.logic, c.strength1, c.strength2);
        EXPECT_EQ(Fetch(net, "%v"), c.text);
    }
    Signal *reg = model.AddReg(top, "r");
    model.SetValue(reg, "0");
    EXPECT_EQ(Fetch(reg, "%v"), "St0");  // registers drive strongly
    Signal *supply = model.AddNet(top, "vdd", accSupply1);
    EXPECT_EQ(Fetch(supply, "%v"), "Su1");
}

TEST_F(ModelSimAccValue, FillsValueRecordsOfEveryFormat) {
    Signal *reg = model.AddReg(top, "r", 7, 0);
    model.SetValue(reg, "0100_0001");
    EXPECT_EQ(FetchStr(reg, accBinStrVal), "01000001");
    EXPECT_EQ(FetchStr(reg, accOctStrVal), "101");
    EXPECT_EQ(FetchStr(reg, accDecStrVal), "65");
    EXPECT_EQ(FetchStr(reg, accHexStrVal), "41");
    EXPECT_EQ(FetchStr(reg, accStringVal), "A");

    s_acc_value value{};
    value.format = accIntVal;
    EXPECT_NE(g_sim.acc_fetch_value(reg, "%%", &value), nullptr);
    EXPECT_EQ(value.value.integer, 65);
    value.format = accRealVal;
    EXPECT_NE(g_sim.acc_fetch_value(reg, "%%", &value), nullptr);
    EXPECT_DOUBLE_EQ(value.value.real, 65.0);

    Signal *scalar = model.AddNet(top, "s");
    for (const auto &[text, code] : {std::pair{"0", acc0}, {"1", acc1}, {"z", accZ}, {"x", accX}}) {
        model.SetValue(scalar, text);
        value.format = accScalarVal;
        EXPECT_NE(g_sim.acc_fetch_value(scalar, "%%", &value), nullptr);
        EXPECT_EQ(value.value.scalar, code) << text;
    }
    value.format = accScalarVal;
    EXPECT_EQ(g_sim.acc_fetch_value(reg, "%%", &value), nullptr);  // not a scalar
}

TEST_F(ModelSimAccValue, FillsVectorRecordsLeastSignificantGroupFirst) {
    Signal *reg = model.AddReg(top, "r", 39, 0);
    model.SetValue(reg, "10xz_0000" + std::string(31, '1') + "0");
    s_acc_vecval groups[3] = {{-1, -1}, {-1, -1}, {0x5a5a, 0x5a5a}};
    s_acc_value value{};
    value.format = accVectorVal;
    value.value.vector = groups;
    ASSERT_NE(g_sim.acc_fetch_value(reg, "%%", &value), nullptr);
    EXPECT_EQ(static_cast<unsigned>(groups[0].aval), 0xfffffffeU);
    EXPECT_EQ(groups[0].bval, 0);
    // Bits 32..39: 1 0 x z 0 0 0 0 (msb first); unused high bits are 0.
    EXPECT_EQ(groups[1].aval, 0xa0);
    EXPECT_EQ(groups[1].bval, 0x30);
    EXPECT_EQ(groups[2].aval, 0x5a5a);  // beyond the value: untouched
}

TEST_F(ModelSimAccValue, ReadsStringsWithLeadingZeroBytesSkipped) {
    Signal *reg = model.AddReg(top, "r", 31, 0);
    model.SetInteger(reg, 0x00004869);  // "\0\0Hi"
    EXPECT_EQ(FetchStr(reg, accStringVal), "Hi");
    Parameter *text = model.AddStringParam(top, "S", "trax");
    EXPECT_EQ(FetchStr(text, accStringVal), "trax");
    EXPECT_EQ(Fetch(text, "%h"), "74726178");
}

TEST_F(ModelSimAccValue, ReadsRealsParametersEventsAndBits) {
    RealVar *real = model.AddReal(top, "re");
    model.SetReal(real, 2.75);
    s_acc_value value{};
    value.format = accRealVal;
    ASSERT_NE(g_sim.acc_fetch_value(real, "%%", &value), nullptr);
    EXPECT_DOUBLE_EQ(value.value.real, 2.75);
    value.format = accIntVal;
    ASSERT_NE(g_sim.acc_fetch_value(real, "%%", &value), nullptr);
    EXPECT_EQ(value.value.integer, 3);
    EXPECT_EQ(Fetch(real, "%d"), "3");

    Parameter *ip = model.AddIntParam(top, "IP", -3);
    EXPECT_EQ(Fetch(ip, "%d"), "-3");
    value.format = accIntVal;
    ASSERT_NE(g_sim.acc_fetch_value(ip, "%%", &value), nullptr);
    EXPECT_EQ(value.value.integer, -3);
    Parameter *rp = model.AddRealParam(top, "RP", -0.5);
    value.format = accRealVal;
    ASSERT_NE(g_sim.acc_fetch_value(rp, "%%", &value), nullptr);
    EXPECT_DOUBLE_EQ(value.value.real, -0.5);

    NamedEvent *event = model.AddEvent(top, "ev");
    EXPECT_EQ(Fetch(event, "%b"), "x");

    Signal *bus = model.AddNet(top, "bus", 3, 0);
    model.SetValue(bus, "1z0x");
    EXPECT_EQ(Fetch(model.BitOf(bus, 2), "%b"), "z");
    EXPECT_EQ(Fetch(model.BitOf(bus, 3), "%b"), "1");
}

TEST_F(ModelSimAccValue, FailsOnObjectsWithoutValuesAndUnknownFormats) {
    Signal *reg = model.AddReg(top, "r");
    EXPECT_EQ(g_sim.acc_fetch_value(top, "%b", nullptr), nullptr);
    EXPECT_EQ(g_sim.acc_fetch_value(reg, "%q", nullptr), nullptr);
    EXPECT_EQ(g_sim.acc_fetch_value(reg, "%%", nullptr), nullptr);
    s_acc_value value{};
    value.format = 99;
    EXPECT_EQ(g_sim.acc_fetch_value(reg, "%%", &value), nullptr);
    EXPECT_EQ(model.Diagnostics().size(), 4U);
}

}  // namespace
}  // namespace tavri::test
