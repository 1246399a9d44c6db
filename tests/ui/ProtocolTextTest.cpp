#include "ui/ProtocolText.h"

#include <gtest/gtest.h>

namespace {

// Every byte survives the round trip, the degree sign and the euro sign land where they belong.
TEST(ProtocolText, Windows1252BytesRoundTrip) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  EXPECT_EQ(qv::toProtocolText(qv::fromProtocolText(all)), all);
  EXPECT_EQ(qv::fromProtocolText("25\xB0"
                                 "C"),
            QString::fromUtf8("25\u00B0C"));
  EXPECT_EQ(qv::fromProtocolText("\x80"), QString::fromUtf8("\u20AC"));
  EXPECT_EQ(qv::toProtocolText(QString::fromUtf8("\u4E2D")), "?");
}

}  // namespace
