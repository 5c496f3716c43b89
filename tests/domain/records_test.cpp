// Tests of the domain's stored records: their text form, reading with other
// versions, over-long names and streams that run dry.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "domtarn.h"

namespace {

template <class Record>
std::string Written(const Record& record) {
  std::ostringstream out;
  out << record;
  return out.str();
}

COperating Cell(int shift, int level, int number) {
  COperating cell;
  cell.SetShift(shift);
  cell.SetLevel(level);
  cell.SetNumber(number);
  return cell;
}

TEST(RecordsTest, WriteHeaderAndFieldLine) {
  CShift halfHour("Late", 0, 3);
  halfHour.SetLength(7.5f);
  EXPECT_EQ(Written(CShift("Early", 8, 2)), "0 CShift 1\nEarly 8 2\n");
  EXPECT_EQ(Written(halfHour), "0 CShift 1\nLate 7.5 3\n");
  EXPECT_EQ(Written(CGroup("Team1", 4)), "0 CGroup 1\nTeam1 4\n");
  EXPECT_EQ(Written(Cell(1, 2, 3)), "0 COperating 1\n1 2 3\n");
}

// With a version other than 1 shifts and groups read no fields; the
// operating cell reads its three numbers whatever the version.
TEST(RecordsTest, OtherVersionSkipsFieldsExceptOperatingCell) {
  std::istringstream in("0 CShift 2 Next 0 CGroup 2 Next 0 COperating 2 4 5 6 Next");
  CShift shift("Early", 8, 2);
  CGroup group("Team1", 3);
  COperating cell = Cell(1, 1, 1);
  std::string next;
  in >> shift >> next;
  EXPECT_EQ(next, "Next");
  in >> group >> next;
  EXPECT_EQ(next, "Next");
  in >> cell >> next;
  EXPECT_EQ(next, "Next");
  EXPECT_STREQ(shift.GetName(), "Early");
  EXPECT_EQ(shift.GetLength(), 8.0f);
  EXPECT_EQ(shift.GetShiftsRequired(), 2);
  EXPECT_STREQ(group.GetName(), "Team1");
  EXPECT_EQ(group.GetMembers(), 3);
  EXPECT_EQ(cell.GetShift(), 4);
  EXPECT_EQ(cell.GetNumber(), 6);
}

// A name longer than its field is cut, and the numbers after it still land
// in the right fields.
TEST(RecordsTest, LongNamesAreCutAndReadingStaysInStep) {
  const std::string longName(kNamestrChars + 50, 'x');
  std::istringstream in("0 CShift 1 " + longName + " 6 1 0 CGroup 1 " + longName + " 5");
  CShift shift("NONAME", 0, 0);
  CGroup group("NONAME", 0);
  in >> shift >> group;
  EXPECT_EQ(std::string(shift.GetName()), longName.substr(0, kNamestrChars));
  EXPECT_EQ(shift.GetLength(), 6.0f);
  EXPECT_EQ(group.GetMembers(), 5);
}

}  // namespace
