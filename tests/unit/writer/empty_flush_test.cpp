// Flushes with nothing pending add no session: after one flush with data and
// two without, the header counts one session and the session list holds one
// record, live and after the close.
#include "writer_fixture.h"
#include "writer/header_layout.h"

namespace tavri::test {
namespace {

using writer::kHdrSessionCount;
using writer::kHdrSessionListSize;

class EmptyFlush : public WriterTest {};

TEST_F(EmptyFlush, OnlyTheFlushWithDataAddsASession) {
    const std::string path = Path("e.trax");
    txwObject *obj = OpenWithOneSession("e.trax");
    ASSERT_NE(obj, nullptr);
    // Marker, start and end time, first block index, one value-change block
    // and one vc chain block.
    constexpr uint32_t kOneRecord = 1 + 8 + 8 + 4 + 1 + 12 + 1 + 12;
    ASSERT_EQ(ReadFileBytes(path + ".slist").size(), kOneRecord);

    txw_CreateXCoor(obj, 0, 9);
    ASSERT_EQ(txw_Flush(obj), 0);
    ASSERT_EQ(txw_Flush(obj), 0);
    const std::vector<uint8_t> live = ReadFileBytes(path);
    EXPECT_EQ(LoadU32(live, kHdrSessionCount), 1u);
    EXPECT_EQ(LoadU32(live, kHdrSessionListSize), kOneRecord);
    EXPECT_EQ(ReadFileBytes(path + ".slist").size(), kOneRecord);

    ASSERT_EQ(txw_CloseFile(obj), 0);
    const std::vector<uint8_t> finished = ReadFileBytes(path);
    EXPECT_EQ(LoadU32(finished, kHdrSessionCount), 1u) << "the close has nothing left to flush either";
    EXPECT_EQ(LoadU32(finished, kHdrSessionListSize), kOneRecord);
}

}  // namespace
}  // namespace tavri::test
