// A flush made while the simulation is paused marks the live file complete
// up to its current time tag: readers show its last time step, which they
// hide after other flushes, until the writer flushes another session.
#include <fstream>

#include "roundtrip_util.h"
#include "writer/object.h"

namespace tavri::test {
namespace {

class StopMarkTest : public RoundTripTest {
  protected:
    txwObject *OpenWithScalar() {
        txwObject *obj = Open();
        EXPECT_TRUE(txw_BeginTree(obj));
        Scope(obj, "top");
        EXPECT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0), 1);
        EXPECT_EQ(txw_EndTree(obj), 0);
        return obj;
    }

    // The changes a reader of the live file shows now, and where it hides.
    struct LiveView {
        std::vector<Seen> changes;
        uint64_t hidden_from = 0;
        uint64_t visible_end = 0;
        bool stopped = false;
    };
    LiveView View(const std::string &path) {
        LiveView view;
        Reading live(path);
        EXPECT_EQ(live.status, TRAXR_OK) << live.message;
        EXPECT_EQ(traxr_IsLive(live.reader), 1);
        view.changes = live.Changes(1);
        EXPECT_EQ(traxr_HiddenFrom(live.reader, &view.hidden_from), 1);
        EXPECT_EQ(traxr_VisibleEndTime(live.reader, &view.visible_end), 1);
        uint64_t stop = 0;
        view.stopped = traxr_StoppedAt(live.reader, &stop) == 1;
        if (view.stopped) {
            EXPECT_EQ(stop, view.visible_end);
        }
        return view;
    }

    // The 16 bytes at the start of the reserved area.
    std::vector<uint32_t> MarkWords(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        in.seekg(2560);
        std::vector<uint32_t> words(4);
        in.read(reinterpret_cast<char *>(words.data()), 16);
        EXPECT_TRUE(in.good());
        return words;
    }
};

TEST_F(StopMarkTest, LastStepShowsAfterAStopUntilTheNextSession) {
    txwObject *obj = OpenWithScalar();
    txw_CreateXCoor(obj, 0, 1);
    Scalar(obj, 1, 1);
    txw_CreateXCoor(obj, 0, 5);
    Scalar(obj, 1, 0);
    ASSERT_EQ(txw_Flush(obj), 0);  // while running: step 5 may go on
    LiveView view = View(path_);
    EXPECT_EQ(view.changes, (std::vector<Seen>{At(1, "1")}));
    EXPECT_EQ(view.hidden_from, 5u);
    EXPECT_FALSE(view.stopped);

    ASSERT_EQ(txw_FlushAtStop(obj), 0);  // paused at 5, nothing new pending
    view = View(path_);
    EXPECT_EQ(view.changes, (std::vector<Seen>{At(1, "1"), At(5, "0")}));
    EXPECT_EQ(view.hidden_from, 6u);
    EXPECT_EQ(view.visible_end, 5u);
    EXPECT_TRUE(view.stopped);
    EXPECT_EQ(MarkWords(path_), (std::vector<uint32_t>{0x53544F50u, 1, 0, 5}));

    txw_CreateXCoor(obj, 0, 7);
    Scalar(obj, 1, 1);
    ASSERT_EQ(txw_Flush(obj), 0);  // running again: the mark lapses
    view = View(path_);
    EXPECT_EQ(view.changes, (std::vector<Seen>{At(1, "1"), At(5, "0")}));
    EXPECT_EQ(view.hidden_from, 7u);
    EXPECT_FALSE(view.stopped);

    txw_CreateXCoor(obj, 0, 9);
    Scalar(obj, 1, 0);
    ASSERT_EQ(txw_FlushAtStop(obj), 0);
    view = View(path_);
    EXPECT_EQ(view.changes, (std::vector<Seen>{At(1, "1"), At(5, "0"), At(7, "1"), At(9, "0")}));
    EXPECT_EQ(view.visible_end, 9u);

    // A file the writer switches to has not stopped yet.
    const std::string next = (dir_ / "next.trax").string();
    obj = txw_SwitchFile(obj, next.c_str());
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(MarkWords(next), (std::vector<uint32_t>{0, 0, 0, 0}));
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

TEST_F(StopMarkTest, AFilePastItsStopLimitIsNotMarked) {
    txwObject *obj = OpenWithScalar();
    txw_CreateXCoor(obj, 0, 1);
    Scalar(obj, 1, 1);
    ASSERT_EQ(txw_Flush(obj), 0);
    obj->stopped = true;  // as a stop limit leaves it: later changes are dropped
    txw_CreateXCoor(obj, 0, 5);
    Scalar(obj, 1, 0);
    ASSERT_EQ(txw_FlushAtStop(obj), 0);
    EXPECT_EQ(MarkWords(path_), (std::vector<uint32_t>{0, 0, 0, 0}));
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

TEST_F(StopMarkTest, ClosingStillShowsEverything) {
    txwObject *obj = OpenWithScalar();
    txw_CreateXCoor(obj, 0, 3);
    Scalar(obj, 1, 1);
    ASSERT_EQ(txw_FlushAtStop(obj), 0);
    txw_CreateXCoor(obj, 0, 4);
    Scalar(obj, 1, 0);
    ASSERT_EQ(txw_CloseFile(obj), 0);
    Reading done(path_);
    ASSERT_EQ(done.status, TRAXR_OK) << done.message;
    EXPECT_EQ(traxr_IsLive(done.reader), 0);
    EXPECT_EQ(done.Changes(1), (std::vector<Seen>{At(3, "1"), At(4, "0")}));
}

}  // namespace
}  // namespace tavri::test
