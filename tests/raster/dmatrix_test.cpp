#include <gtest/gtest.h>

#include <climits>

#include "raster/dmatrix.h"
#include "support/recording_feedback.h"

namespace plotvane {
namespace {

using test::RecordingFeedback;

const Message kRowsMessage = warning("cleardmatrix : dmat->maxrnum < rstart + rnum !!!\n");
const Message kColumnsMessage = warning("cleardmatrix : dmat->maxcnum < cstart + cnum !!!\n");

void fill(dmatrix& m, double value) {
    for (int c = 0; c < m.maxcnum; ++c)
        for (int r = 0; r < m.maxrnum; ++r) m.at(r, c) = value;
}

TEST(Dmatrix, AllocationSetsSizesAndLeavesNothingUsed) {
    RecordingFeedback feedback;
    dmatrix m;
    allocdmatrix(m, 3, 5, feedback);
    ASSERT_NE(m.value, nullptr);
    EXPECT_EQ(m.maxrnum, 3);
    EXPECT_EQ(m.ldnum, 3);
    EXPECT_EQ(m.maxcnum, 5);
    EXPECT_EQ(m.usedrnum, 0);
    EXPECT_EQ(m.usedcnum, 0);
    EXPECT_TRUE(feedback.messages.empty());
}

TEST(Dmatrix, StorageIsColumnMajor) {
    RecordingFeedback feedback;
    dmatrix m;
    allocdmatrix(m, 3, 4, feedback);
    m.at(2, 1) = 7.5;
    EXPECT_EQ(m.value[2 + 1 * 3], 7.5);
}

TEST(Dmatrix, UnobtainableSizesAreReportedAndLeaveNoStorage) {
    struct Row {
        std::int32_t rows, columns;
    };
    for (const Row row : {Row{INT32_MAX, INT32_MAX}, Row{-1, 10}, Row{10, -4}}) {
        RecordingFeedback feedback;
        dmatrix m;
        allocdmatrix(m, row.rows, row.columns, feedback);
        EXPECT_EQ(m.value, nullptr) << row.rows << " x " << row.columns;
        EXPECT_EQ(feedback.messages, std::vector<Message>{warning("allocdmatrix error\n")});
    }
}

TEST(Dmatrix, ClearingTheWholeMatrixZeroesEverythingAndUsesAll) {
    RecordingFeedback feedback;
    dmatrix m;
    allocdmatrix(m, 4, 6, feedback);
    fill(m, 9.0);
    cleardmatrix(m, 0, 0, 4, 6, feedback);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(m.value[i], 0.0);
    EXPECT_EQ(m.usedrnum, 4);
    EXPECT_EQ(m.usedcnum, 6);
    EXPECT_TRUE(feedback.messages.empty());
}

TEST(Dmatrix, ClearingOneRowKeepsTheOthers) {
    RecordingFeedback feedback;
    dmatrix m;
    allocdmatrix(m, 2, 5, feedback);
    fill(m, 1.25);
    cleardmatrix(m, 1, 0, 1, 5, feedback);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(m.at(0, c), 1.25);
        EXPECT_EQ(m.at(1, c), 0.0);
    }
    EXPECT_EQ(m.usedrnum, 2);
    EXPECT_EQ(m.usedcnum, 5);
}

TEST(Dmatrix, UsedSizesOnlyGrow) {
    RecordingFeedback feedback;
    dmatrix m;
    allocdmatrix(m, 6, 6, feedback);
    cleardmatrix(m, 0, 0, 5, 5, feedback);
    cleardmatrix(m, 1, 1, 2, 2, feedback);
    EXPECT_EQ(m.usedrnum, 5);
    EXPECT_EQ(m.usedcnum, 5);
}

TEST(Dmatrix, ClearingPastTheBoundsIsReportedRowsFirstAndClearsNothing) {
    struct Row {
        std::int32_t rstart, cstart, rnum, cnum;
        std::vector<Message> expected;
    };
    const std::vector<Row> rows = {
        {2, 0, 2, 3, {kRowsMessage}},
        {0, 1, 1, 3, {kColumnsMessage}},
        {1, 2, 3, 5, {kRowsMessage, kColumnsMessage}},
    };
    for (const Row& row : rows) {
        RecordingFeedback feedback;
        dmatrix m;
        allocdmatrix(m, 3, 3, feedback);
        fill(m, 2.0);
        cleardmatrix(m, row.rstart, row.cstart, row.rnum, row.cnum, feedback);
        EXPECT_EQ(feedback.messages, row.expected);
        for (int i = 0; i < 9; ++i) EXPECT_EQ(m.value[i], 2.0);
        EXPECT_EQ(m.usedrnum, 0);
    }
}

TEST(Dmatrix, WrapDescribesStorageWithoutOwningIt) {
    double storage[6] = {1, 2, 3, 4, 5, 6};
    dmatrix m;
    wrapdmatrix(m, storage, 2, 3);
    EXPECT_EQ(m.value, storage);
    EXPECT_EQ(m.maxrnum, 2);
    EXPECT_EQ(m.usedrnum, 2);
    EXPECT_EQ(m.ldnum, 2);
    EXPECT_EQ(m.maxcnum, 3);
    EXPECT_EQ(m.usedcnum, 3);
    EXPECT_EQ(m.at(1, 2), 6.0);
    EXPECT_EQ(m.owned, nullptr);
}

}  // namespace
}  // namespace plotvane
