// Samples and header taken from the laser object itself (its catalogue and its unknown values).
#include <gtest/gtest.h>

#include "link/QVLaser.h"
#include "recording/QVLaserParam_Bin.h"

namespace {

TEST(LaserSamples, CodeFromTheCatalogueAndValueFromTheLaser) {
  TLaser laser;
  // Only the two entries a new laser object holds: a pair missing from it gives no sample.
  EXPECT_TRUE(qv::makeParamSamples(laser, lcReadFreeTriggerMode, 0, 1).empty());

  TCommandList& list = laser.CommandList();
  list.Add(lcReadOvenHeatingValue, 2, "w19 1", "", 1, "");
  list.Add(lcReadFreeTriggerMode, 0, "r232", "", 1, "");
  list.Add(lcReadTriggerMode, 1, "r74", "", 1, "");
  list.Add(lcReadErrorCode, 0, "r90", "", 1, "");
  list.Add(lcReadMaxCurrent, 1, "r62", "", 1, "");

  // Never-read values as the laser object keeps them: heating value -1, free trigger 65535.
  auto s = qv::makeParamSamples(laser, lcReadOvenHeatingValue, 2, 77);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].Code, 19);
  EXPECT_EQ(s[0].Time, 77);
  EXPECT_EQ(qv::paramDouble(s[0].Value), 65535);

  s = qv::makeParamSamples(laser, lcReadFreeTriggerMode, 0, 77);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].Code, 232);
  EXPECT_EQ(qv::paramDouble(s[0].Value), -65534);

  s = qv::makeParamSamples(laser, lcReadTriggerMode, 1, 77);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(qv::paramDouble(s[0].Value), static_cast<double>(tmCW));

  EXPECT_TRUE(qv::makeParamSamples(laser, lcReadErrorCode, 0, 77).empty());  // empty list
  EXPECT_TRUE(qv::makeParamSamples(laser, lcReadMaxCurrent, 1, 77).empty());
  EXPECT_TRUE(qv::makeParamSamples(laser, lcReadSN, 0, 77).empty());
}

TEST(LaserSamples, HeaderOfAnUnidentifiedLaser) {
  TLaser laser;
  const TParamFileHeader h = qv::paramFileHeader(laser, 1394028429123);
  EXPECT_EQ(+h.Reserved, 0);
  EXPECT_EQ(+h.HeadSerial, 0x8001);  // low 16 bits of -32767
  EXPECT_EQ(+h.LaserSerial, 0);
  EXPECT_EQ(+h.RunningMinutes, 0xFFFFFFFFu);
  EXPECT_EQ(+h.Diode1Minutes, 0xFFFFFFFFu);
  EXPECT_EQ(+h.Diode2Minutes, 0xFFFFFFFFu);
  EXPECT_EQ(+h.StartTime, 1394028429123);
}

}  // namespace
