// Settings applied after open: header texts written in place, the time unit,
// glitch number, sequence numbers, support information, dump callbacks.
#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/object.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;

class SettingsTest : public WriterTest {
  protected:
    void SetUp() override {
        WriterTest::SetUp();
        obj_ = txw_OpenFile(Path("s.trax").c_str(), TXW_FILE_VERILOG);
        ASSERT_NE(obj_, nullptr);
    }
    void TearDown() override {
        if (obj_ != nullptr) {
            txw_CloseFile(obj_);
        }
        WriterTest::TearDown();
    }
    // The header as it is on disk now, while the file is open.
    std::vector<uint8_t> OnDisk() const { return ReadFileBytes(Path("s.trax")); }

    txwObject *obj_ = nullptr;
};

TEST_F(SettingsTest, TimeUnitCodesReachTheDiskAtOnce) {
    EXPECT_EQ(txw_SetTimeUnit(obj_, "1ns"), 0);
    EXPECT_EQ(OnDisk()[63], 12);
    EXPECT_EQ(txw_SetTimeUnit(obj_, "10us"), 0);
    EXPECT_EQ(OnDisk()[63], 8);
    EXPECT_EQ(txw_SetTimeUnit(obj_, "1s"), 0);
    EXPECT_EQ(OnDisk()[63], 3);
    EXPECT_EQ(txw_SetTimeUnit(obj_, "100fs"), 0);
    EXPECT_EQ(OnDisk()[63], 16);
}

TEST_F(SettingsTest, BadTimeUnitsLeaveTheUnitAsItWas) {
    ASSERT_EQ(txw_SetTimeUnit(obj_, "10ps"), 0);
    EXPECT_EQ(txw_SetTimeUnit(obj_, "100nsx"), TXW_ERROR);
    EXPECT_TRUE(Warned("Time unit(100nsx) len > TRAX_MAX_TIME_STR_LEN(5). Ignored!\n"));
    EXPECT_EQ(txw_SetTimeUnit(obj_, "2ns"), TXW_ERROR);
    EXPECT_TRUE(Warned("txw_SetTimeUnit(): time_unit(2ns) is invalid.\n"));
    EXPECT_EQ(txw_SetTimeUnit(obj_, nullptr), TXW_ERROR);
    EXPECT_TRUE(Warned("txw_SetTimeUnit(): pointer to time_unit is NULL.\n"));
    EXPECT_EQ(OnDisk()[63], 14);
}

TEST_F(SettingsTest, HeaderTextsAreCutToTheirFieldsOnDisk) {
    ASSERT_EQ(txw_SetScopeSeparator(obj_, "::::"), 0);
    ASSERT_EQ(txw_SetScaleUnit(obj_, "100ps"), 0);
    const std::string date(40, 'd');
    ASSERT_EQ(txw_SetSimulationDate(obj_, date.c_str()), 0);
    const std::string version(100, 'v');
    ASSERT_EQ(txw_SetSimulatorVersion(obj_, version.c_str()), 0);
    const std::vector<uint8_t> bytes = OnDisk();
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[72]), ":::");
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[76]), "100ps");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&bytes[96])), date.substr(0, 31));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&bytes[128])), version.substr(0, 63));
    EXPECT_EQ(bytes[191], 0);
}

TEST_F(SettingsTest, SettersKeepTheFilePosition) {
    const int64_t before = tavri::platform::Tell(obj_->main_file);
    ASSERT_EQ(txw_SetScaleUnit(obj_, "1ps"), 0);
    ASSERT_EQ(txw_SetTimeUnit(obj_, "1ps"), 0);
    EXPECT_EQ(tavri::platform::Tell(obj_->main_file), before);
    EXPECT_EQ(before, 2816);
}

TEST_F(SettingsTest, SimulatorVersionIsSetOnce) {
    ASSERT_EQ(txw_SetSimulatorVersion(obj_, "first"), 0);
    EXPECT_EQ(txw_SetSimulatorVersion(obj_, "second"), TXW_ERROR);
    EXPECT_TRUE(Warned("Simulator version has been set.\n"));
    EXPECT_STREQ(reinterpret_cast<const char *>(&OnDisk()[128]), "first");
}

TEST_F(SettingsTest, NullHeaderTextsAreRefusedWithTheirMessages) {
    EXPECT_EQ(txw_SetScaleUnit(obj_, nullptr), TXW_ERROR);
    EXPECT_EQ(txw_SetScopeSeparator(obj_, nullptr), TXW_ERROR);
    EXPECT_EQ(txw_SetSimulationDate(obj_, nullptr), TXW_ERROR);
    EXPECT_EQ(txw_SetSimulatorVersion(obj_, nullptr), TXW_ERROR);
    EXPECT_TRUE(Warned("txw_SetScaleUnit(): pointer to scale_unit is NULL.\n"));
    EXPECT_TRUE(Warned("txw_SetScopeSeparator(): pointer to scope_separator is NULL.\n"));
    EXPECT_TRUE(Warned("txw_SetSimulationDate(): pointer to simulation_date is NULL.\n"));
    EXPECT_TRUE(Warned("txw_SetSimulatorVersion(): pointer to simulator_version is NULL.\n"));
    EXPECT_STREQ(obj_->header.Text(kHdrScaleUnit), "1ns");
}

TEST_F(SettingsTest, GlitchNumberIsClampedAndSetOnce) {
    EXPECT_EQ(txw_GetGlitchNum(obj_), 1u);
    EXPECT_EQ(txw_SetGlitchNum(obj_, 300), 0);
    EXPECT_TRUE(Warned("Max glitch number(300) exceeds 254. Use 254 instead!\n"));
    EXPECT_EQ(txw_GetGlitchNum(obj_), 254u);
    EXPECT_EQ(txw_SetGlitchNum(obj_, 3), TXW_ERROR);
    EXPECT_TRUE(Warned("txw_SetGlitchNum() has been called, return.\n"));
    EXPECT_EQ(txw_GetGlitchNum(obj_), 254u);
}

TEST_F(SettingsTest, SequenceNumbersBeforeAnyChangeWidenTheRecords) {
    EXPECT_EQ(obj_->vc_block_size, 7u * 4 + 16);
    EXPECT_EQ(txw_EnableSeqNum(obj_), 0);
    EXPECT_EQ(obj_->seq_num_size, 4);
    EXPECT_EQ(obj_->vc_block_size, 7u * 8 + 16);
    EXPECT_EQ(obj_->header.U8(kHdrHasSeqNum), 1);
    EXPECT_EQ(txw_EnableSeqNum(obj_), 0) << "already on: silent success";
}

TEST_F(SettingsTest, SequenceNumbersAfterAChangeAreRefused) {
    obj_->header.SetU32(kHdrBc1VcCreationCnt, 1);
    EXPECT_EQ(txw_EnableSeqNum(obj_), TXW_ERROR);
    EXPECT_TRUE(Warned("VC has been created, cannot turn on sequence number dumping\n"));
    EXPECT_EQ(obj_->seq_num_size, 0);
}

TEST_F(SettingsTest, IndependentVariableTypeAcceptsZeroToSeven) {
    EXPECT_EQ(txw_SetIndependentVarType(obj_, 7), 0);
    EXPECT_EQ(txw_SetIndependentVarType(obj_, 8), TXW_ERROR);
    EXPECT_TRUE(Warned("Invalid indepent variable type(8) is given! Ignored.\n"));
    EXPECT_EQ(obj_->header.U8(kHdrIndepVarType), 7);
}

TEST_F(SettingsTest, SupportInformationFillsItsAreaAndReportsTheCut) {
    ASSERT_EQ(txw_AppendSupportInfo(obj_, "abc"), 0);
    ASSERT_EQ(txw_AppendSupportInfo(obj_, "def"), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(obj_->support_info + 518)), "abcdef");
    const std::string big(2000, 'x');
    ASSERT_EQ(txw_AppendSupportInfo(obj_, big.c_str()), 0);
    EXPECT_TRUE(Warned("Support info too long(len=2000). Only 1523 bytes kept !\n"));
    EXPECT_EQ(obj_->support_used, 1529u);
    EXPECT_EQ(obj_->support_info[2047], 0);
    EXPECT_EQ(txw_AppendSupportInfo(obj_, "more"), TXW_ERROR);
    EXPECT_TRUE(Warned("Room for support info exhausted.\n"));
    // The text reaches the disk with the environment record at the next flush.
    ASSERT_EQ(txw_Flush(obj_), 0);
    const std::vector<uint8_t> bytes = OnDisk();
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&bytes[512 + 518])).substr(0, 6), "abcdef");
}

int g_dump_calls[3];
void CountDumpCall(int what, int /*unused*/) { ++g_dump_calls[what]; }

TEST_F(SettingsTest, DumpOffAndOnCallTheDumpCallbacksOncePerChange) {
    g_dump_calls[1] = g_dump_calls[2] = 0;
    txw_RegisterDumpCB(obj_, CountDumpCall);
    EXPECT_EQ(txw_DumpOn(obj_), 0) << "already on";
    EXPECT_EQ(g_dump_calls[1], 0);
    txw_DumpOff(obj_);
    txw_DumpOff(obj_);
    EXPECT_TRUE(obj_->dumping_off);
    EXPECT_EQ(g_dump_calls[2], 1);
    txw_DumpOn(obj_);
    EXPECT_FALSE(obj_->dumping_off);
    EXPECT_EQ(g_dump_calls[1], 1);
}

TEST_F(SettingsTest, SyncControlTurnedOnLaterMakesTheLockFile) {
    txw_CloseFile(obj_);
    obj_ = nullptr;
    ScopedEnv off("TRAX_ENV_SYNC_CONTROL", "off");
    obj_ = txw_OpenFile(Path("late.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj_, nullptr);
    EXPECT_FALSE(std::filesystem::exists(Path("late.trax.lock")));
    EXPECT_EQ(txw_SetSyncControl(obj_), 0);
    EXPECT_TRUE(std::filesystem::exists(Path("late.trax.lock")));
    EXPECT_EQ(txw_Flush(obj_), 0) << "flushes now lock the new lock file";
}

class GlitchEnvironmentTest : public WriterTest {};

TEST_F(GlitchEnvironmentTest, LargeValueIsClampedTo254) {
    ScopedEnv glitch("TRAX_ENV_MAX_GLITCH_NUM", "300");
    txwObject *obj = txw_OpenFile(Path("g.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(txw_GetGlitchNum(obj), 254u);
    EXPECT_TRUE(Warned("Max glitch number(300) exceeds 254. Use 254 instead!\n"));
    txw_CloseFile(obj);
}

TEST_F(GlitchEnvironmentTest, NonDigitsFallBackToOne) {
    ScopedEnv glitch("TRAX_ENV_MAX_GLITCH_NUM", "12a");
    txwObject *obj = txw_OpenFile(Path("g.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(txw_GetGlitchNum(obj), 1u);
    EXPECT_TRUE(Warned("Env var TRAX_ENV_MAX_GLITCH_NUM(12a) contains non-digit character.\n"));
    EXPECT_TRUE(Warned("TRAX_ENV_MAX_GLITCH_NUM is set to default value (1) now.\n"));
    txw_CloseFile(obj);
}

TEST_F(GlitchEnvironmentTest, ValidValueIsStoredInTheHeader) {
    ScopedEnv glitch("TRAX_ENV_MAX_GLITCH_NUM", "5");
    txwObject *obj = txw_OpenFile(Path("g.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(LoadU16(ReadFileBytes(Path("g.trax")), 502), 5u);
    txw_CloseFile(obj);
}

TEST_F(GlitchEnvironmentTest, SequenceNumbersFromTheEnvironment) {
    ScopedEnv seq("TRAX_ENV_DUMP_SEQ_NUM", "1");
    txwObject *obj = txw_OpenFile(Path("q.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->seq_num_size, 4);
    EXPECT_EQ(obj->vc_block_size, 7u * 8 + 16);
    EXPECT_EQ(ReadFileBytes(Path("q.trax"))[510], 1);
    txw_CloseFile(obj);
}

}  // namespace
}  // namespace tavri::test
