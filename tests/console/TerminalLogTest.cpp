#include "console/TerminalLog.h"

#include <gtest/gtest.h>

using qv::LogColour;

TEST(TerminalLog, CommandsRedAnswersBlueAtTheTabStop) {
  qv::TerminalLog log;
  log.Sent("r01");
  log.Received("S/N: 57\r\n");
  log.Sent("r60");
  log.Received("LASER_OFF\r");
  log.Received("\n");
  EXPECT_EQ(log.Text(), "r01\tS/N: 57\r\nr60\tLASER_OFF\r\n");
  ASSERT_EQ(log.Runs().size(), 4u);
  EXPECT_EQ(log.Runs()[0].colour, LogColour::Sent);
  EXPECT_EQ(log.Runs()[1].text, "S/N: 57\r\n");
  EXPECT_EQ(log.Runs()[1].colour, LogColour::Received);
  EXPECT_EQ(log.Runs()[2].text, "r60\t");
}

TEST(TerminalLog, MultiLineAnswerAndNoBlankLines) {
  qv::TerminalLog log;
  log.Received("READY\r\n");  // the first thing in an empty log starts at the tab stop
  log.Sent("r90");
  log.Received("80\r\n1042\r\n");
  log.Sent("r01");
  EXPECT_EQ(log.Text(), "\tREADY\r\nr90\t80\r\n\t1042\r\nr01\t");
}

TEST(TerminalLog, HiddenAndEmptyCommandsLeaveNoTrace) {
  qv::TerminalLog log;
  int edits = 0;
  log.OnEdit = [&](const qv::LogEdit&) { ++edits; };
  log.Sent("w01 secret");
  log.Sent("");
  EXPECT_EQ(edits, 0);
  log.Sent("w011 5");
  log.Clear();
  EXPECT_EQ(edits, 2);
  EXPECT_TRUE(log.Text().empty());
  EXPECT_TRUE(log.Runs().empty());
}

namespace {

// What a view holds after applying every edit: a document in which a line break is one "\n".
struct Document {
  std::string text;
  int removalsAtTop = 0;
  void attach(qv::TerminalLog& log) {
    log.OnEdit = [this](const qv::LogEdit& e) {
      ASSERT_LE(e.position + e.removed, text.size());
      text.replace(e.position, e.removed, e.text);
      if (e.position == 0 && e.text.empty() && e.removed > 0) ++removalsAtTop;
    };
  }
};

// The log's text with its "\r\n" breaks as the document writes them.
std::string asDocument(const std::string& logText) {
  std::string out;
  for (size_t i = 0; i < logText.size(); ++i) {
    if (logText.compare(i, 2, "\r\n") == 0) ++i;
    out += logText[i] == '\r' ? '\n' : logText[i];
  }
  return out;
}

}  // namespace

TEST(TerminalLog, EditsBuildTheSameTextInAView) {
  qv::TerminalLog log;
  Document doc;
  doc.attach(log);
  log.Sent("r60");
  log.Received("LASER_OFF\r");  // a chunk that ends between CR and LF: one break
  log.Received("\n");
  log.Sent("r01");
  log.Received("S/N: 57\n");  // a bare line feed
  log.Received("A\rB\r\n");   // a bare carriage return inside a chunk
  log.Sent("r90\r\nr91");     // a pasted line break inside a command
  log.Received("80\r\n1042\r\n");
  EXPECT_EQ(log.Text(),
            "r60\tLASER_OFF\r\nr01\tS/N: 57\r\nA\r\nB\r\nr90\r\nr91\t80\r\n\t1042\r\n\t");
  EXPECT_EQ(doc.text, asDocument(log.Text()));
  EXPECT_EQ(log.Length(), doc.text.size());
  std::string runs;
  for (const qv::LogRun& r : log.Runs()) runs += r.text;
  EXPECT_EQ(runs, log.Text());
  log.Clear();
  EXPECT_EQ(doc.text, "");
}

TEST(TerminalLog, KeepsTheNewestLinesAndDropsWholeOnesAtTheTop) {
  qv::TerminalLog log;
  Document doc;
  doc.attach(log);
  const int commands = 3 * static_cast<int>(qv::TerminalLog::kMaxLines);
  for (int i = 0; i < commands; ++i) {
    log.Sent("r" + std::to_string(i));
    log.Received("12.50 A\r\n");
  }
  EXPECT_LE(log.LineCount(), qv::TerminalLog::kMaxLines);
  EXPECT_GT(log.LineCount(), qv::TerminalLog::kMaxLines / 2);
  const std::string text = log.Text();
  EXPECT_TRUE(text.ends_with("r" + std::to_string(commands - 1) + "\t12.50 A\r\n\t"));
  EXPECT_EQ(text[0], 'r');  // a whole line heads the log
  EXPECT_EQ(doc.text, asDocument(text));
  EXPECT_GT(doc.removalsAtTop, 0);
  EXPECT_LT(doc.removalsAtTop, commands / 100);  // many lines go at once
}

TEST(TerminalLog, AnEndlessLineKeepsItsNewestCharacters) {
  qv::TerminalLog log;
  Document doc;
  doc.attach(log);
  log.Sent("r01");
  const std::string chunk(4096, 'x');
  for (int i = 0; i < 600; ++i) log.Received(chunk + std::to_string(i % 10));  // 2.4 MB, no break
  EXPECT_LE(log.Length(), qv::TerminalLog::kMaxChars);
  EXPECT_EQ(log.LineCount(), 1u);
  EXPECT_EQ(log.Text().back(), '9');
  EXPECT_EQ(doc.text, log.Text());
  size_t runLength = 0;
  for (const qv::LogRun& r : log.Runs()) runLength += r.text.size();
  EXPECT_EQ(runLength, log.Length());
  ASSERT_EQ(log.Runs().size(), 1u);  // the command's red run went with the oldest characters
  EXPECT_EQ(log.Runs()[0].colour, LogColour::Received);
}

TEST(CommandHistory, OnceWithoutRegardToCase) {
  qv::CommandHistory h;
  h.Add("r01|r60");
  h.Add("R01|R60");
  h.Add("");
  h.Add("r02");
  EXPECT_EQ(h.Entries(), (std::vector<std::string>{"r01|r60", "r02"}));
}

// The forms a service engineer switches on: local times and hex bytes.
class TerminalForms : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    oldTz_ = tz ? tz : "";
    hadTz_ = tz != nullptr;
    setenv("TZ", "UTC", 1);
    tzset();
    log_.Now = [this] { return now_; };
  }
  void TearDown() override {
    if (hadTz_)
      setenv("TZ", oldTz_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  qv::TerminalLog log_;
  int64_t now_ = 1796996497123;  // 13:41:37.123 UTC
  std::string oldTz_;
  bool hadTz_ = false;
};

TEST_F(TerminalForms, TimestampOnEveryLineTheLogBegins) {
  EXPECT_EQ(qv::terminalTimestamp(now_), "13:41:37.123 ");
  log_.SetTimestamps(true);
  log_.Sent("r01");
  now_ += 12;
  log_.Received("S/N: 57\r\n");
  now_ += 1000;
  log_.Sent("r90");
  log_.Received("80\r\n");
  log_.Received("1042\r\n");
  EXPECT_EQ(log_.Text(),
            "13:41:37.123 r01\tS/N: 57\r\n"
            "13:41:38.135 r90\t80\r\n"
            "13:41:38.135 \t1042\r\n"
            "13:41:38.135 \t");
  // Switched off, new lines come without; what was logged stays as it was.
  log_.SetTimestamps(false);
  log_.Sent("r60");
  EXPECT_EQ(log_.Text().substr(log_.Text().size() - 4), "r60\t");
}

TEST_F(TerminalForms, HexShowsControlAndHighBytesAndKeepsTheLines) {
  EXPECT_EQ(qv::hexBytes(std::string("A\x01\xB0", 3)), "41 01 B0 ");
  log_.SetHexView(true);
  log_.Sent("r86");  // what was sent stays readable
  log_.Received(
      std::string("T=25\xB0"
                  "C\r",
                  7));
  log_.Received("\nOK\x07\r\n");
  EXPECT_EQ(log_.Text(),
            "r86\t54 3D 32 35 B0 43 0D \r\n"
            "0A 4F 4B 07 0D 0A \r\n"
            "\t");
}
