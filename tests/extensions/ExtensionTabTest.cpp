#include "extensions/ExtensionTab.h"

#include <gtest/gtest.h>

#include "FakeHost.h"
#include "extensions/ExtensionFile.h"
#include "platform/IniStore.h"

namespace {

std::unique_ptr<TExtensionTab> load(const std::string& text, std::shared_ptr<FakeCustomizedHost> host) {
  qv::IniStore ini;
  ini.loadFromText(text);
  return qv::loadExtension(ini, host);
}

TEST(PlaceWindow, DocksBesideTheMainWindow) {
  const qv::WindowRect m{100, 50, 600, 200};
  struct Case {
    int position, left, top;
  } cases[] = {{cpLeft, 100 - 80 - 5, 60}, {cpRight, 705, 60}, {cpTop, 105, 50 - 40 - 10},
               {cpBottom, 105, 260}};
  for (const Case& c : cases) {
    const auto p = qv::dockedPosition(c.position, 80, 40, 5, 10, m);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->left, c.left) << c.position;
    EXPECT_EQ(p->top, c.top) << c.position;
  }
  EXPECT_FALSE(qv::dockedPosition(cpNone, 80, 40, 5, 10, m));
}

TEST(ExtensionTab, OpensOnlyForListedSerialsAndFollowsTheMainWindow) {
  auto host = std::make_shared<FakeCustomizedHost>();
  auto tab = load("[Extension]\nSN=157\nPosition=Right\nSpaceX=5\nSpaceY=10\n", host);
  tab->OpenIfListed(57);
  EXPECT_FALSE(tab->IsOpen());
  tab->OpenIfListed(157);
  ASSERT_TRUE(tab->IsOpen());
  EXPECT_EQ(tab->Window->Left, 705);
  EXPECT_EQ(tab->Window->Top, 60);
  EXPECT_EQ(tab->Window->Caption, "Customized");
  host->main.width = 700;  // a resize re-docks
  tab->PlaceWindow();
  EXPECT_EQ(tab->Window->Left, 805);
}

TEST(ExtensionTab, ButtonsSendTheirCommandLists) {
  auto host = std::make_shared<FakeCustomizedHost>();
  auto tab = load(
      "[Extension]\nSN=1\nButtons=2\nOnStart= r01 | r02\n[Button1]\nCommand= w01 1 || w02 2 \n", host);
  tab->HandleButtonClick(0);  // closed: the description still sends (the window owns buttons)
  host->sent.clear();
  tab->OpenWindow();
  EXPECT_EQ(host->sent, std::vector<std::string>{"r01 | r02"});  // OnStart, trimmed
  ASSERT_EQ(tab->Window->Buttons.size(), 2u);
  tab->HandleButtonClick(tab->Window->Buttons[0].Tag);
  tab->HandleButtonClick(tab->Window->Buttons[1].Tag);  // no command: nothing sent
  tab->HandleButtonClick(7);                            // no such button
  EXPECT_EQ(host->sent, (std::vector<std::string>{"r01 | r02", "w01 1 || w02 2"}));
}

TEST(ExtensionTab, OnStartAgainAfterAResetOnlyWhileOpen) {
  auto host = std::make_shared<FakeCustomizedHost>();
  auto tab = load("[Extension]\nSN=1\nOnStart=r10\n", host);
  tab->SendOnStart();
  EXPECT_TRUE(host->sent.empty());
  tab->OpenWindow();
  tab->SendOnStart();
  EXPECT_EQ(host->sent.size(), 2u);
  tab->CloseWindow();
  tab->SendOnStart();
  EXPECT_EQ(host->sent.size(), 2u);
}

class CaptionAndLabel : public ::testing::Test {
 protected:
  std::shared_ptr<FakeCustomizedHost> host = std::make_shared<FakeCustomizedHost>();
  std::unique_ptr<TExtensionTab> tab;
  void open(const std::string& extra) {
    tab = load("[Extension]\nSN=1\nNewCommands=2\n" + extra +
                   "[Command1]\nCommandText=r90\nPattern=T (\\d+)\n"
                   "[Command2]\nCommandText=r91\nPattern=P (\\d+)\n",
               host);
    tab->OpenWindow();
  }
};

TEST_F(CaptionAndLabel, CaptionTemplateWithAndWithoutAMatch) {
  open("Name=Power $1 W\nCaptionCommand=Command2\n");
  EXPECT_EQ(host->appended, (std::vector<std::pair<std::string, std::string>>{
                               {"r90", "\\AT (\\d+)\\Z"}, {"r91", "\\AP (\\d+)\\Z"}}));
  EXPECT_EQ(tab->Window->Caption, "");  // empty until the first reply
  ASSERT_TRUE(host->receiver);
  host->reply("P 42");
  EXPECT_EQ(tab->Window->Caption, "Power 42 W");
  host->reply("T 7");  // does not match the caption command: shown as it is
  EXPECT_EQ(tab->Window->Caption, "T 7");
}

TEST_F(CaptionAndLabel, DisplayLabelUsesTheFirstPatternAndTheFirstTemplate) {
  // The display label is the second description; the first one's template is "[$1]".
  open("Labels=2\n[Label1]\nType=QVCommand\nName=[$1]\n[Label2]\nType=qvcommand\nName=unused $1\n");
  EXPECT_EQ(tab->Window->Caption, "Customized");
  ASSERT_TRUE(tab->DisplayLabel);
  EXPECT_EQ(*tab->DisplayLabel, 1u);
  host->reply("T 25");
  EXPECT_EQ(tab->DisplayLabelText(), "[25]");
  host->reply("P 3");
  EXPECT_EQ(tab->DisplayLabelText(), "P 3");
}

TEST_F(CaptionAndLabel, AnOrdinaryFirstLabelEmptiesTheDisplayOnAMatch) {
  open("Labels=2\n[Label1]\nName=Temperature\n[Label2]\nType=QVCOMMAND\nName=$1\n");
  host->reply("X");
  EXPECT_EQ(tab->DisplayLabelText(), "X");
  host->reply("T 25");
  EXPECT_EQ(tab->DisplayLabelText(), "");
  EXPECT_EQ(tab->Window->Labels[0].Caption, "Temperature");
}

TEST(ExtensionTab, DisplayLabelWithoutCustomCommandsShowsTheReply) {
  auto host = std::make_shared<FakeCustomizedHost>();
  auto tab = load("[Extension]\nSN=1\nLabels=1\n[Label1]\nType=qvcommand\nName=x$1\n", host);
  tab->OpenWindow();
  host->reply("anything");
  EXPECT_EQ(tab->DisplayLabelText(), "anything");
}

TEST(ExtensionTab, ReceiverIsTheLastWindowOpenedWithACaptionCommandOrLabel) {
  auto host = std::make_shared<FakeCustomizedHost>();
  const std::string cmd = "NewCommands=1\n[Command1]\nCommandText=r90\nPattern=(.+)\n";
  auto first = load("[Extension]\nSN=1\nName=A $1\nCaptionCommand=Command1\n" + cmd, host);
  auto second = load("[Extension]\nSN=1\nName=B $1\nCaptionCommand=Command1\n" + cmd, host);
  auto plain = load("[Extension]\nSN=1\nName=C\n", host);  // takes no replies
  first->OpenWindow();
  second->OpenWindow();
  plain->OpenWindow();
  host->reply("x");
  EXPECT_EQ(first->Window->Caption, "");
  EXPECT_EQ(second->Window->Caption, "B x");
  first->CloseWindow();  // disconnection closes all and leaves no receiver
  second->CloseWindow();
  plain->CloseWindow();
  EXPECT_FALSE(host->receiver);
  second->HandleCustomizedReply(0, "late");  // a reply while closed is ignored
  EXPECT_FALSE(second->IsOpen());
}

TEST(ExtensionTab, EmptyNameLetsTheFirstCommandDriveAnEmptyCaption) {
  auto host = std::make_shared<FakeCustomizedHost>();
  auto tab = load("[Extension]\nSN=1\nName=\nNewCommands=1\n[Command1]\nCommandText=r1\nPattern=(\\d+)\n", host);
  EXPECT_EQ(tab->CaptionCommandIndex, 0u);
  tab->OpenWindow();
  EXPECT_TRUE(host->receiver);
  host->reply("12");
  EXPECT_EQ(tab->Window->Caption, "");
  host->reply("ab");
  EXPECT_EQ(tab->Window->Caption, "ab");
}

TEST(ExtensionTab, ViewEventsFireOnChangesOnly) {
  auto host = std::make_shared<FakeCustomizedHost>();
  auto tab = load("[Extension]\nSN=1\nName=N $1\nCaptionCommand=Command1\nNewCommands=1\n"
                  "[Command1]\nCommandText=r1\nPattern=(\\d+)\n",
                  host);
  std::vector<std::string> events;
  tab->OnWindowOpened = [&](TExtensionTab&) { events.push_back("open"); };
  tab->OnWindowClosed = [&](TExtensionTab&) { events.push_back("close"); };
  tab->OnCaptionChange = [&](TExtensionTab& t) { events.push_back("caption " + t.Window->Caption); };
  tab->OpenWindow();
  host->reply("5");
  host->reply("5");
  tab->CloseWindow();
  EXPECT_EQ(events, (std::vector<std::string>{"open", "caption N 5", "close"}));
}

}  // namespace
