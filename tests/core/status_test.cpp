// The one failure type: its message names the place as the code was given it, and the reason
// alone stays available for messages that place the name themselves.

#include "core/base/status.h"

#include <gtest/gtest.h>

namespace marvek {
namespace {

TEST(Status, MessageNamesThePlaceAndKeepsTheReason) {
    EXPECT_TRUE(Status().ok());
    EXPECT_EQ(Status().code(), ErrorCode::None);

    const Status line = Status::LineError(ErrorCode::BadValue, "grid.csv", 7, "not a number");
    EXPECT_FALSE(line.ok());
    EXPECT_EQ(line.message(), "grid.csv:7: not a number");
    EXPECT_EQ(line.reason(), "not a number");
    EXPECT_EQ(line.code(), ErrorCode::BadValue);

    ErrorPlace cell;
    cell.file = "FS_XP.xls";
    cell.cell = "Test 001!B7";
    EXPECT_EQ(Status::At(ErrorCode::Damaged, cell, "empty").message(),
              "FS_XP.xls (cell Test 001!B7): empty");
    ErrorPlace field;
    field.field = "epsilon";
    EXPECT_EQ(Status::At(ErrorCode::BadValue, field, "must be above 0").message(),
              "epsilon: must be above 0");
    // A failure is never ok, even when its code was given as None.
    EXPECT_FALSE(Status::At(ErrorCode::None, field, "x").ok());

    const Status file = Status::FileError("a.csv", "cannot be opened", ErrorCode::CannotOpen);
    EXPECT_EQ(file.message(), "a.csv: cannot be opened");
    EXPECT_EQ(file.place().file, "a.csv");
    EXPECT_EQ(Status::Error("no file name given").message(), "no file name given");
}

}  // namespace
}  // namespace marvek
