// Tests of the domain's files: a stream or files that cannot be used, and the
// script text and its limit. (Every way reading the domain data file can
// stop, with the state it leaves, exact written forms, records of other
// versions and over-long names are checked by the end-to-end cases read_*
// and write_*.)
#include "domtarn.h"
#include "domtarn_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

namespace {

// A bare stream names no file; files that cannot be opened are passed over.
TEST(DomainFiles, StreamsAndFilesThatCannotBeUsed) {
  CShiftSchedulingDomain domain;
  std::istringstream in("0 CShiftSchedulingDomain 1");
  Capture capture;
  in >> domain;
  domain.Read(std::string("missing.dom"));
  domain.Write("no-such-folder/out.dom");
  EXPECT_EQ(capture.str(), "Domain data: expected the header line and the script file name\n");
  EXPECT_FALSE(std::filesystem::exists("no-such-folder"));
}

// The buffer holds 65534 characters and its terminator; a longer text is
// refused as a whole and the earlier text stays.
TEST(DomainFiles, ScriptTextFitsTheBufferOrIsRefused) {
  const std::string fits(CDomainInstance::kStaticDataChars, 'a');
  const std::string tooLong(fits.size() + 1, 'b');
  const std::string longFile = "long.scr", scriptText = "PRINT \"x\"\r\n\t/* keep  layout */\n";
  write_file(longFile, tooLong);
  write_file("script.scr", scriptText);
  CShiftSchedulingDomain domain;
  Capture capture;
  EXPECT_TRUE(domain.SetStaticData(fits));
  EXPECT_FALSE(domain.SetStaticData(tooLong));
  EXPECT_EQ(domain.GetStaticData(), fits);
  domain.SetStaticDataFileName(longFile);
  EXPECT_FALSE(domain.ReadStaticData());
  EXPECT_EQ(domain.GetStaticData(), fits);
  domain.SetStaticDataFileName("script.scr");
  EXPECT_TRUE(domain.ReadStaticData());
  domain.SetStaticDataFileName("missing.scr");
  EXPECT_FALSE(domain.ReadStaticData());
  EXPECT_EQ(domain.GetStaticData(), scriptText);
  EXPECT_EQ(capture.str(),
            "CDomainInstance: static data text holds more than 65534 characters\n"
            "CDomainInstance: static data file " +
                longFile +
                " holds more than 65534 characters\n"
                "CDomainInstance: couldn't find static data file\n");
}

}  // namespace
