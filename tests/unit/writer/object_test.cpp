// Opening and closing writer objects: the header, environment record and
// reserved area as they reach the disk, the side files, reference counts,
// the environment switches read at open.
#include <ctime>

#include "writer_fixture.h"
#include "writer/header_layout.h"
#include "writer/object.h"

namespace tavri::test {
namespace {

using namespace tavri::writer;
namespace fs = std::filesystem;

class ObjectTest : public WriterTest {};

TEST_F(ObjectTest, FreshFileIsTheHeaderAndAreasWithBatchStatus) {
    const std::time_t before = std::time(nullptr);
    txwObject *obj = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    const std::vector<uint8_t> bytes = ReadFileBytes(Path("a.trax"));
    ASSERT_EQ(bytes.size(), 2816u);

    const std::vector<uint8_t> magic(bytes.begin() + 4, bytes.begin() + 8);
    EXPECT_EQ(magic, (std::vector<uint8_t>{0xFC, 0x3D, 0xD9, 0x48}));
    const std::vector<uint8_t> order(bytes.begin() + 8, bytes.begin() + 12);
    EXPECT_EQ(order, (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(bytes[61], 1);
    EXPECT_EQ(bytes[62], 1);
    EXPECT_EQ(bytes[63], 0) << "no time unit yet";
    EXPECT_EQ(bytes[64], TXW_FILE_VERILOG);
    EXPECT_EQ(bytes[65], 0) << "compression method";
    EXPECT_EQ(bytes[66], 2);
    EXPECT_EQ(bytes[67], 3);
    EXPECT_EQ(bytes[68], 4) << "pointer length";
    EXPECT_EQ(bytes[69], 1) << "little endian";
    EXPECT_EQ(bytes[71], 0) << "byte-range lock scheme";
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[72]), "/");
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[76]), "1ns");
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[96]), "unknown");
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[128]), "unknown");
    const uint32_t birth = LoadU32(bytes, 16);
    EXPECT_GE(birth, static_cast<uint32_t>(before));
    EXPECT_LE(birth, static_cast<uint32_t>(std::time(nullptr)));
    EXPECT_EQ(LoadU32(bytes, 20), 0u);

    EXPECT_EQ(bytes[504], kStatusBatch);
    EXPECT_EQ(bytes[408], kXtagNone);
    EXPECT_EQ(LoadU32(bytes, 328), 0xFFFFFFFFu);
    EXPECT_EQ(LoadU32(bytes, 332), 0xFFFFFFFFu);
    EXPECT_EQ(LoadU32(bytes, 480), 511u) << "max dt idcode";
    EXPECT_EQ(LoadU16(bytes, 500), 8u) << "max string length";
    EXPECT_EQ(LoadU16(bytes, 502), 1u) << "max glitch number";
    EXPECT_EQ(bytes[507], 1) << "synchronous control";

    // Creation-environment record and reserved area.
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[512 + 334]),
                 "ident_txw_WIN32_D:_5.4_2.3_WIN32/0_cl_05042005");
    const std::string created(reinterpret_cast<const char *>(&bytes[512]));
    EXPECT_EQ(created.size(), 24u) << created;
    for (size_t i = 2560; i < 2816; ++i) {
        ASSERT_EQ(bytes[i], 0) << "reserved area byte " << i;
    }
    for (const char *suffix : {".tlist", ".slist", ".chain", ".lock"}) {
        EXPECT_TRUE(fs::exists(Path(std::string("a.trax") + suffix))) << suffix;
    }
    EXPECT_EQ(txw_CloseFile(obj), 0);
}

TEST_F(ObjectTest, CloseFinishesTheFileAndRemovesTheSideFiles) {
    txwObject *obj = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    txw_CreateXCoor(obj, 0, 5);
    txw_CreateXCoor(obj, 0, 9);
    ASSERT_EQ(txw_CloseFile(obj), 0);

    const std::vector<uint8_t> bytes = ReadFileBytes(Path("a.trax"));
    ASSERT_EQ(bytes.size(), 2816u) << "nothing but the header for a file without data";
    EXPECT_EQ(bytes[504], kStatusFinished);
    EXPECT_EQ(bytes[440], 1) << "environment record present";
    EXPECT_EQ(bytes[408], kXtagInteger);
    EXPECT_EQ(LoadU32(bytes, 312), 0u);
    EXPECT_EQ(LoadU32(bytes, 316), 5u);
    EXPECT_EQ(LoadU32(bytes, 320), 0u);
    EXPECT_EQ(LoadU32(bytes, 324), 9u);
    EXPECT_EQ(LoadU32(bytes, 472), 2u) << "two time tags";
    // Empty side files were copied to the end: every structure starts at 2816.
    EXPECT_EQ(LoadU32(bytes, 192), 2816u) << "tree list";
    EXPECT_EQ(LoadU32(bytes, 200), 2816u) << "session list";
    EXPECT_EQ(LoadU32(bytes, 208), 2816u) << "chain table";
    EXPECT_EQ(LoadU32(bytes, 224), 0u) << "no strings";
    EXPECT_EQ(LoadU32(bytes, 304), 0u) << "no annotation";
    for (const char *suffix : {".tlist", ".slist", ".chain", ".lock", ".str"}) {
        EXPECT_FALSE(fs::exists(Path(std::string("a.trax") + suffix))) << suffix;
    }
}

TEST_F(ObjectTest, AnnotationIsAppendedBeforeTheIndexStructures) {
    txwObject *obj = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    ASSERT_EQ(txw_SetAnnotation(obj, "first"), 0);
    ASSERT_EQ(txw_SetAnnotation(obj, "second note"), 0);
    ASSERT_EQ(txw_CloseFile(obj), 0);
    const std::vector<uint8_t> bytes = ReadFileBytes(Path("a.trax"));
    ASSERT_EQ(LoadU32(bytes, 216), 2816u);
    ASSERT_EQ(LoadU32(bytes, 304), 12u);
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[2816]), "second note");
    EXPECT_EQ(LoadU32(bytes, 192), 2828u) << "tree list follows the annotation";
}

TEST_F(ObjectTest, SameNameTwiceSharesOneObjectUntilTheLastClose) {
    txwObject *first = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    txwObject *second = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->ref_count, 2u);
    EXPECT_EQ(txw_CloseFile(first), TXW_ERROR);
    EXPECT_TRUE(Warned("Another application is writing to TRAX file (" + Path("a.trax") +
                       "), so it cannot be closed.\nReference count = (1)."));
    EXPECT_EQ(ReadFileBytes(Path("a.trax"))[504], kStatusBatch) << "still open";
    EXPECT_EQ(txw_CloseFile(second), 0);
    EXPECT_EQ(ReadFileBytes(Path("a.trax"))[504], kStatusFinished);
}

TEST_F(ObjectTest, ClosedObjectIsFreedAtTheNextOpenAndNamesCanBeReused) {
    txwObject *obj = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_EQ(txw_CloseFile(obj), 0);
    EXPECT_EQ(OpenWriters(), nullptr);
    txwObject *again = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->ref_count, 1u) << "a new object, not the closed one";
    EXPECT_EQ(OpenWriters(), again);
    EXPECT_EQ(txw_CloseFile(again), 0);
}

TEST_F(ObjectTest, OpenFailsCleanlyWhenTheFileCannotBeCreated) {
    EXPECT_EQ(txw_OpenFile(Path("missing/dir/a.trax").c_str(), TXW_FILE_VERILOG), nullptr);
    EXPECT_TRUE(Warned("Failed to open the file named " + Path("missing/dir/a.trax") + "\n"));
    EXPECT_EQ(OpenWriters(), nullptr);
}

TEST_F(ObjectTest, FileTypesWithoutAFlushAreRefusedAndOthersKept) {
    EXPECT_EQ(txw_OpenFile(Path("x.trax").c_str(), 4), nullptr);
    EXPECT_TRUE(Warned("txwOpenFile2(): file type(4) is not supported.\n"));
    txwObject *obj = txw_OpenFile(Path("v.trax").c_str(), 17);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(txw_CloseFile(obj), 0);
    EXPECT_EQ(ReadFileBytes(Path("v.trax"))[64], 17);
}

TEST_F(ObjectTest, NullNameAndBadFileTypeEndTheProcess) {
    EXPECT_EXIT(txw_OpenFile(nullptr, 0), ::testing::ExitedWithCode(ExitStatusOf(-9)), "");
    EXPECT_EXIT(txw_OpenFile(Path("a.trax").c_str(), 18), ::testing::ExitedWithCode(ExitStatusOf(-20)), "");
}

TEST_F(ObjectTest, OpenParametersAreVersionedRecords) {
    struct Smaller {
        uint32_t size;
        const char *file_name;
    } smaller{sizeof(Smaller), nullptr};
    const std::string name = Path("small.trax");
    smaller.file_name = name.c_str();
    txwObject *obj = nullptr;
    ASSERT_EQ(txwOpenFile2(reinterpret_cast<const txwOpenParam *>(&smaller), &obj), 0);
    ASSERT_NE(obj, nullptr);
    EXPECT_STREQ(obj->header.Text(kHdrScaleUnit), "1ns") << "missing fields take their defaults";
    EXPECT_EQ(txw_CloseFile(obj), 0);

    struct Larger {
        txwOpenParam known;
        uint32_t extra;
    } larger{};
    larger.known.size = sizeof(Larger);
    const std::string other = Path("large.trax");
    larger.known.file_name = other.c_str();
    EXPECT_EQ(txwOpenFile2(&larger.known, &obj), TXW_RECORD_TOO_NEW);
    EXPECT_EQ(obj, nullptr);
}

TEST_F(ObjectTest, GivenHeaderStringsAreStoredCut) {
    txwOpenParam param{};
    param.size = sizeof param;
    const std::string name = Path("a.trax");
    param.file_name = name.c_str();
    param.scope_separator = ".::";
    param.scale_unit = "10ps";
    param.simulation_date = "Tue Dec  8 03:51:00 2026 and a long tail";
    param.simulator_version = "sim 1.0";
    txwObject *obj = nullptr;
    ASSERT_EQ(txwOpenFile2(&param, &obj), 0);
    EXPECT_TRUE(obj->separator_given);
    EXPECT_TRUE(obj->simulation_date_set);
    EXPECT_TRUE(obj->simulator_version_set);
    const std::vector<uint8_t> bytes = ReadFileBytes(name);
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[72]), ".::");
    EXPECT_STREQ(reinterpret_cast<const char *>(&bytes[76]), "10ps");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&bytes[96])),
              std::string(param.simulation_date).substr(0, 31));
    EXPECT_EQ(txw_CloseFile(obj), 0);
}

TEST_F(ObjectTest, SyncControlOffCreatesNoLockFile) {
    ScopedEnv off("TRAX_ENV_SYNC_CONTROL", "off");
    txwObject *obj = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    EXPECT_FALSE(fs::exists(Path("a.trax.lock")));
    EXPECT_EQ(ReadFileBytes(Path("a.trax"))[507], 0);
    EXPECT_EQ(txw_CloseFile(obj), 0);
}

TEST_F(ObjectTest, SyncControlCanBeGivenUnderTheAlias) {
    ScopedEnv off("TAVRI_TRAX_ENV_SYNC_CONTROL", "off");
    txwObject *obj = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    EXPECT_FALSE(fs::exists(Path("a.trax.lock")));
    EXPECT_EQ(txw_CloseFile(obj), 0);
}

TEST_F(ObjectTest, LockFileLocationMovesTheLockFile) {
    ScopedEnv location("TRAX_ENV_LOCK_FILE_LOC", Path("elsewhere.lck").c_str());
    txwObject *obj = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    EXPECT_TRUE(fs::exists(Path("elsewhere.lck")));
    EXPECT_FALSE(fs::exists(Path("a.trax.lock")));
    EXPECT_EQ(txw_CloseFile(obj), 0);
    EXPECT_FALSE(fs::exists(Path("elsewhere.lck")));
}

TEST_F(ObjectTest, DotLockSchemeMakesTheOpenFail) {
    ScopedEnv dot("TRAX_ENV_TAVRI_LOCK", "1");
    EXPECT_EQ(txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG), nullptr);
    EXPECT_TRUE(Warned("TRAX_ENV_TAVRI_LOCK environment variable is set.\n"));
    EXPECT_TRUE(Warned("Failed to lock trax files!\n"));
    EXPECT_TRUE(Warned("You could do \"setenv TRAX_ENV_SYNC_CONTROL off\" as a workaround.\n"));
    EXPECT_EQ(OpenWriters(), nullptr);
    EXPECT_FALSE(fs::exists(Path("a.trax.tlist")));
}

TEST_F(ObjectTest, StaleLockFileIsReplaced) {
    { std::ofstream(Path("a.trax.lock")) << "stale"; }
    txwObject *obj = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(fs::file_size(Path("a.trax.lock")), 0u);
    EXPECT_EQ(txw_CloseFile(obj), 0);
}

TEST_F(ObjectTest, DebugLogRecordsCreationAndClose) {
    ScopedEnv log("TXW_ENV_DBG", Path("debug.log").c_str());
    txwObject *obj = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(txw_CloseFile(obj), 0);
    std::ifstream in(Path("debug.log"));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("A new trax file has been created("), std::string::npos) << text;
    EXPECT_NE(text.find("Finished trax data is flushed\n"), std::string::npos) << text;
    EXPECT_NE(text.find("trax file is closed\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace tavri::test
