#include "extensions/ExtensionFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "FakeHost.h"
#include "platform/IniStore.h"

namespace {

std::unique_ptr<TExtensionTab> load(const std::string& text, std::shared_ptr<FakeCustomizedHost> host) {
  qv::IniStore ini;
  ini.loadFromText(text);
  return qv::loadExtension(ini, host);
}

TEST(ExtensionFile, SerialNumberPieces) {
  struct Case {
    const char* sn;
    std::vector<std::uint16_t> numbers;
  } cases[] = {{"12, 34,x,56", {12, 34}}, {",,7", {7}},          {"5, ,6", {5}},
               {"", {}},                  {"9,9,10", {9, 10}}, {"1,2,", {1, 2}},
               {" 157 ", {157}},          {"3x", {}}};
  for (const Case& c : cases) {
    auto host = std::make_shared<FakeCustomizedHost>();
    auto tab = load(std::string("[Extension]\nSN=") + c.sn + "\n", host);
    ASSERT_TRUE(tab) << c.sn;
    EXPECT_EQ(tab->SerialNumbers, c.numbers) << c.sn;
  }
}

TEST(ExtensionFile, NeedsTheExtensionSectionAndItsSN) {
  auto host = std::make_shared<FakeCustomizedHost>();
  EXPECT_FALSE(load("[Extension]\nName=x\n", host));
  EXPECT_FALSE(load("[Other]\nSN=1\n", host));
  TCustomizedTabList list;
  EXPECT_EQ(LoadExtensionFile("/nonexistent/dir/a.ext", host, list), nullptr);
  EXPECT_TRUE(list.empty());
}

TEST(ExtensionFile, DefaultsOfTheExtensionSection) {
  auto host = std::make_shared<FakeCustomizedHost>();
  auto tab = load("[extension]\nsn=1\n", host);  // names in any case
  ASSERT_TRUE(tab);
  EXPECT_EQ(tab->Name, "Customized");
  EXPECT_EQ(tab->CaptionCommandIndex, kNoCaptionCommand);
  EXPECT_EQ(tab->Position, cpRight);
  EXPECT_EQ(tab->Width, 100);
  EXPECT_EQ(tab->Height, 100);
  EXPECT_EQ(tab->SpaceX, 0);
  EXPECT_TRUE(tab->OnStart.empty());
  EXPECT_TRUE(tab->Buttons.empty());
}

TEST(ExtensionFile, CaptionCommandAndPositionWords) {
  struct Case {
    const char* lines;
    std::uint32_t index;
    int position;
  } cases[] = {{"CaptionCommand=command2\nPosition=bottom", 1, cpBottom},
               {"CaptionCommand=Cmd2\nPosition=middle", kNoCaptionCommand, cpNone},
               {"CaptionCommand=COMMAND1\nPosition= Left ", 0, cpLeft},
               {"CaptionCommand=Command\nPosition=TOP", kNoCaptionCommand, cpTop},
               {"CaptionCommand=Command0\nPosition=", kNoCaptionCommand, cpNone},
               // Numbers that name no command do not wrap round to one that exists.
               {"CaptionCommand=Command4294967297", kNoCaptionCommand, cpRight},
               {"CaptionCommand=Command-4294967295", kNoCaptionCommand, cpRight},
               {"CaptionCommand=Command99999999999999999999", kNoCaptionCommand, cpRight},
               {"Name=\nCaptionCommand=Command2", 0, cpRight}};  // an empty Name changes nothing
  for (const Case& c : cases) {
    auto host = std::make_shared<FakeCustomizedHost>();
    auto tab = load(std::string("[Extension]\nSN=1\n") + c.lines + "\n", host);
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->CaptionCommandIndex, c.index) << c.lines;
    EXPECT_EQ(tab->Position, c.position) << c.lines;
  }
}

TEST(ExtensionFile, CountedSectionsWithMissingOnes) {
  auto host = std::make_shared<FakeCustomizedHost>();
  auto tab = load(
      "[Extension]\nSN=1\nButtons=2\nLabels=3\nNewCommands=1\nName= Pump $1 \nOnStart= r01|r02 \n"
      "[Button1]\nLeft=5\nTop=6\nWidth=70\nHeight=20\nFont.Name=Mono\nFont.Size=9\nFont.Bold=1\n"
      "Font.StrikeOut=1\nCommand=w01 1|w02 2\nName=Go\n"
      "[Button3]\nName=ignored beyond the count\n"
      "[Label1]\nLeft=1\nTop=2\nName=Plain\nWidth=99\n"
      "[Label2]\nType=qvcommand\nName=T=$1\n"
      "[Command1]\nCommandText=  r99  \nPattern=  (\\d+) A  \n",
      host);
  ASSERT_TRUE(tab);
  EXPECT_EQ(tab->Name, "Pump $1");
  EXPECT_EQ(tab->OnStart, "r01|r02");
  ASSERT_EQ(tab->Buttons.size(), 2u);
  const TCustomizedControl& b1 = tab->Buttons[0];
  EXPECT_EQ(b1.Caption, "Go");
  EXPECT_EQ(b1.Command, "w01 1|w02 2");
  EXPECT_EQ((std::vector<int>{b1.Left, b1.Top, b1.Width, b1.Height}), (std::vector<int>{5, 6, 70, 20}));
  EXPECT_EQ(b1.FontName, "Mono");
  EXPECT_EQ(b1.FontSize, 9);
  EXPECT_EQ(b1.FontStyle, fsBold | fsStrikeOut);
  const TCustomizedControl& b2 = tab->Buttons[1];  // counted but missing: all defaults
  EXPECT_EQ(b2.Caption, "Button2");
  EXPECT_EQ((std::vector<int>{b2.Left, b2.Top, b2.Width, b2.Height}), (std::vector<int>{0, 0, 50, 30}));
  EXPECT_TRUE(b2.Command.empty());
  EXPECT_EQ(b2.FontSize, -1);
  EXPECT_EQ(b2.FontStyle, 0);
  ASSERT_EQ(tab->Labels.size(), 3u);
  EXPECT_EQ(tab->Labels[0].Caption, "Plain");
  EXPECT_EQ(tab->Labels[0].Width, 0);  // labels size themselves
  EXPECT_TRUE(tab->Labels[0].Command.empty());
  EXPECT_EQ(tab->Labels[1].Command, "T=$1");  // the display label: template, no caption
  EXPECT_TRUE(tab->Labels[1].Caption.empty());
  EXPECT_EQ(tab->Labels[2].Caption, "Label3");
  ASSERT_EQ(tab->CustomCommands.size(), 1u);
  EXPECT_EQ(tab->CustomCommands[0].CommandText, "r99");
  EXPECT_EQ(tab->CustomCommands[0].Pattern, "\\A(\\d+) A\\Z");
}

TEST(ExtensionFile, HugeCountsAreCut) {
  auto host = std::make_shared<FakeCustomizedHost>();
  auto tab = load("[Extension]\nSN=1\nButtons=2000000000\n", host);
  ASSERT_TRUE(tab);
  EXPECT_LE(tab->Buttons.size(), 1024u);
}

TEST(ExtensionFile, Utf8FileBecomesSingleByte) {
  EXPECT_EQ(qv::extensionTextToSingleByte("\xEF\xBB\xBFName=x"), "Name=x");
  EXPECT_EQ(qv::extensionTextToSingleByte("T=25\xC2\xB0" "C \xE2\x82\xAC"), "T=25\xB0" "C \x80");
  EXPECT_EQ(qv::extensionTextToSingleByte("T=25\xB0" "C"), "T=25\xB0" "C");  // already single-byte
  EXPECT_EQ(qv::extensionTextToSingleByte("\xE4\xB8\xAD"), "?");
}

TEST(ExtensionFile, LoadsFromDiskAndAppends) {
  const std::string path = ::testing::TempDir() + "/qv_ext_test.ext";
  {
    std::ofstream out(path, std::ios::binary);
    out << "\xEF\xBB\xBF[Extension]\r\nSN=157\r\nName=Caf\xC3\xA9\r\n";
  }
  auto host = std::make_shared<FakeCustomizedHost>();
  TCustomizedTabList list;
  TExtensionTab* tab = LoadExtensionFile(path, host, list);
  ASSERT_TRUE(tab);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_EQ(tab->Name, "Caf\xE9");
  EXPECT_EQ(tab->FileName, "qv_ext_test.ext");
  EXPECT_EQ(tab->SerialNumbers, std::vector<std::uint16_t>{157});
  std::remove(path.c_str());
}

}  // namespace
