#include "shell/QVLaserControlMain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "console/QVLaserControl.h"
#include "engine/Simulator.h"
#include "support/TempDir.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// Sets an environment variable for one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class MainWindow : public ::testing::Test {
 protected:
  qv::test::TempDir folder;
  qv::test::TempDir config;
  qv::test::PortsDir ports;  // no real serial device is ever opened
  ScopedEnv xdg{"XDG_CONFIG_HOME", config.path()};
  TQVLaserControl console{std::make_unique<qv::LoopTimer>()};

  std::string iniPath() const { return folder.file("QVLaserControlv4.ini"); }

  std::unique_ptr<TQVLaserControlMain> create(std::vector<std::string> args,
                                              const std::string& programFolder = {}) {
    auto main = std::make_unique<TQVLaserControlMain>(console, std::move(args),
                                                      programFolder.empty() ? folder.path() : programFolder);
    main->Create();
    return main;
  }
};

TEST_F(MainWindow, FirstStartWithoutAFileWritesTheGroupAtShutdown) {
  auto main = create({});
  const TStartUpRecord& r = main->StartUp();
  EXPECT_EQ(r.port, 1);
  EXPECT_EQ(r.left, 0);
  EXPECT_TRUE(r.autoDetectActive);
  EXPECT_EQ(r.autoDetectInterval, 50);
  EXPECT_EQ(console.Options().Port, 1);
  EXPECT_TRUE(console.Options().DetectEnabled);
  EXPECT_EQ(console.Options().DetectInterval, 50);
  EXPECT_EQ(console.Options().HotKeys, qv::builtInHotKeys());
  EXPECT_FALSE(console.Options().UpdateEnabled);
  EXPECT_EQ(main->Caption(), "TESSARIX - Quorvane Laser Control");

  std::ostringstream err;
  ASSERT_TRUE(main->Destroy(0, 0, err)) << err.str();
  qv::IniStore ini;
  ASSERT_TRUE(ini.load(iniPath()));
  EXPECT_EQ(ini.sections(), (std::vector<std::string>{"Laser", "Automation", "HotKeys", "PresetCurrents"}));
  EXPECT_EQ(ini.readString("Laser", "Port", ""), "1");
  EXPECT_EQ(ini.readString("Automation", "AutoDetect", ""), "1");
  EXPECT_EQ(ini.readString("Automation", "DetectInterval", ""), "50");
  EXPECT_EQ(ini.readString("HotKeys", "ConnectLaser", ""), "16460");
  EXPECT_EQ(ini.readString("HotKeys", "SetCurrentZero", ""), "16432");
  EXPECT_EQ(ini.readString("HotKeys", "ShowTrends", ""), "16468");
  EXPECT_EQ(ini.keys("PresetCurrents").size(), 9u);  // empty presets are written too
  EXPECT_TRUE(ini.valueExists("PresetCurrents", "9"));
  EXPECT_FALSE(ini.valueExists("Laser", "SeederFrequency"));
}

TEST_F(MainWindow, CommandLineWinsAndUnknownEntriesSurvive) {
  writeFile(iniPath(),
            "; kept comment\n[Laser]\nPort=3\nSeederFrequency=19000000\nExtra=x\n"
            "[WindowPosition]\nLeft=10\nTop=20\n[Automation]\nAutoDetect=0\nDetectInterval=abc\n"
            "[HotKeys]\nSetInternal=16465\nLaserOn=99999999\n[PresetCurrents]\n3= 12.5 \n[Custom]\nA=1\n");
  auto main = create({"/port:7", "-LEFT:-20", "-TOP:x", "/MEMLEAKS"});
  const TStartUpRecord& r = main->StartUp();
  EXPECT_TRUE(qv::leakReportEnabled());
  EXPECT_EQ(r.port, 7);
  EXPECT_EQ(console.Laser().Port(), 7);
  EXPECT_EQ(r.left, -20);
  EXPECT_EQ(r.top, 20);
  EXPECT_FALSE(r.autoDetectActive);
  EXPECT_EQ(r.autoDetectInterval, 50);                     // unparsable: default
  EXPECT_EQ(console.Options().HotKeys[hkSetInternal], 16465);
  EXPECT_EQ(console.Options().HotKeys[hkLaserOn], 16462);  // out of range: built-in
  EXPECT_EQ(console.Options().HotKeys[hkShowTrends], 16468);  // an older file: the default
  EXPECT_EQ(console.Options().PresetCurrents[3], "12.5");
  EXPECT_EQ(main->Actions().shortCut(qv::ActionId::SetInternal), 16465);

  // The window was not moved: "WindowPosition" stays as it was; the port in use is stored.
  ASSERT_TRUE(main->Destroy(-20, 20));
  qv::IniStore ini;
  ASSERT_TRUE(ini.load(iniPath()));
  EXPECT_EQ(ini.readString("Laser", "Port", ""), "7");
  EXPECT_EQ(ini.readString("Laser", "SeederFrequency", ""), "19000000");
  EXPECT_EQ(ini.readString("Laser", "Extra", ""), "x");
  EXPECT_EQ(ini.readString("WindowPosition", "Left", ""), "10");
  EXPECT_EQ(ini.readString("Custom", "A", ""), "1");
  EXPECT_EQ(ini.readString("Automation", "AutoDetect", ""), "0");
  EXPECT_NE(readFile(iniPath()).find("; kept comment"), std::string::npos);
}

TEST_F(MainWindow, WindowPositionOnlyForTheEdgeThatMoved) {
  auto main = create({});
  ASSERT_TRUE(main->Destroy(0, 35));
  qv::IniStore ini;
  ASSERT_TRUE(ini.load(iniPath()));
  EXPECT_FALSE(ini.valueExists("WindowPosition", "Left"));
  EXPECT_EQ(ini.readString("WindowPosition", "Top", ""), "35");
}

TEST_F(MainWindow, OptionsChangedWhileRunningReachTheFileAtShutdown) {
  auto main = create({});
  console.Options().HotKeys[hkSetInternal] = ShortCut('Q', scCtrl);
  console.Options().PresetCurrents[1] = "3.5";
  ASSERT_TRUE(console.AfterChangeOption);
  console.AfterChangeOption(console);  // the dialog's OK re-applies the short-cuts
  EXPECT_EQ(main->Actions().shortCut(qv::ActionId::SetInternal), ShortCut('Q', scCtrl));
  ASSERT_TRUE(main->Destroy(0, 0));
  qv::IniStore ini;
  ASSERT_TRUE(ini.load(iniPath()));
  EXPECT_EQ(ini.readInteger("HotKeys", "SetInternal", 0), ShortCut('Q', scCtrl));
  EXPECT_EQ(ini.readString("PresetCurrents", "1", ""), "3.5");
}

TEST_F(MainWindow, UnwritableProgramFolderUsesTheFallbackFolder) {
  // A program folder that cannot take a file (here: one that does not exist).
  const std::string missing = folder.file("gone");
  auto main = create({}, missing);
  const std::string fallback = config.path() + "/QVLaserControl/QVLaserControlv4.ini";
  EXPECT_EQ(main->SettingsFile().writePath, fallback);
  console.Options().PresetCurrents[2] = "7";
  ASSERT_TRUE(main->Destroy(0, 0));
  // The next start reads what the last one wrote.
  main.reset();
  TQVLaserControl second{std::make_unique<qv::LoopTimer>()};
  TQVLaserControlMain again(second, {}, missing);
  again.Create();
  EXPECT_EQ(again.StartUp().settingsRead, fallback);
  EXPECT_EQ(second.Options().PresetCurrents[2], "7");
}

TEST_F(MainWindow, ReadOnlyProgramFolderUsesTheFallbackFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  const std::string ro = folder.file("ro");
  ::mkdir(ro.c_str(), 0555);
  auto main = create({}, ro);
  EXPECT_EQ(main->SettingsFile().writePath, config.path() + "/QVLaserControl/QVLaserControlv4.ini");
  EXPECT_TRUE(main->Destroy(0, 0));
  ::chmod(ro.c_str(), 0755);
}

TEST_F(MainWindow, ProgramFolderNobodyCanWriteUsesTheFallbackFolder) {
  // /proc exists and takes no new files, not even from root, so this runs where the read-only
  // folder above cannot (as root).
  struct stat st{};
  if (::stat("/proc", &st) != 0 || !S_ISDIR(st.st_mode)) GTEST_SKIP() << "no /proc";
  auto main = create({}, "/proc");
  const std::string fallback = config.path() + "/QVLaserControl/QVLaserControlv4.ini";
  EXPECT_EQ(main->SettingsFile().writePath, fallback);
  ASSERT_TRUE(main->Destroy(0, 0));
  qv::IniStore ini;
  ASSERT_TRUE(ini.load(fallback));
  EXPECT_EQ(ini.readString("Laser", "Port", ""), "1");
}

TEST_F(MainWindow, NoWritableFolderAtAllIsReportedAndLosesNothingElse) {
  writeFile(folder.file("blocker"), "a file, not a folder");
  ScopedEnv blocked{"XDG_CONFIG_HOME", folder.file("blocker") + "/sub"};
  const std::string missing = folder.file("gone");
  auto main = create({}, missing);
  std::ostringstream err;
  EXPECT_FALSE(main->Destroy(0, 0, err));
  EXPECT_NE(err.str().find("settings could not be saved"), std::string::npos) << err.str();
  EXPECT_EQ(main->IniFile().readString("Laser", "Port", ""), "1");  // the store still holds it
}

TEST_F(MainWindow, SettingsFileIsNamedAfterTheProgram) {
  EXPECT_EQ(qv::settingsBaseName("/opt/qv/QVLaserControlv4"), "QVLaserControlv4");
  EXPECT_EQ(qv::settingsBaseName("/opt/qv/Bench Laser.exe"), "Bench Laser");
  EXPECT_EQ(qv::settingsBaseName(""), "QVLaserControlv4");
  // The running program (this test) reads and writes the file of its own name.
  TQVLaserControlMain own(console, {});
  own.Create();
  EXPECT_EQ(std::filesystem::path(own.SettingsFile().writePath).filename().string(),
            std::filesystem::path(qv::executablePath()).stem().string() + ".ini");
  // A renamed window in a given folder.
  writeFile(folder.file("Bench.ini"), "[Laser]\nPort=12\n");
  TQVLaserControl second{std::make_unique<qv::LoopTimer>()};
  TQVLaserControlMain renamed(second, {}, folder.path(), "Bench");
  EXPECT_EQ(renamed.Create().port, 12);
}

TEST_F(MainWindow, ConsolePortForOtherPrograms) {
  writeFile(iniPath(), "[Laser]\nPort=12\n");
  EXPECT_EQ(qv::consolePort({}, folder.path()), 12);
  qv::CommandLineOverrides o;
  o.port = 4;
  EXPECT_EQ(qv::consolePort(o, folder.path()), 4);
  writeFile(iniPath(), "[Laser]\nPort=999\n");
  EXPECT_EQ(qv::consolePort({}, folder.path()), 1);
}

TEST_F(MainWindow, ExtensionFilesOfTheProgramFolderAreLoaded) {
  writeFile(folder.file("b.ext"), "[Extension]\nSN=2\n");
  writeFile(folder.file("A.EXT"), "[Extension]\nSN=1\n");
  writeFile(folder.file("c.ext"), "[Extension]\nName=no serials\n");
  writeFile(folder.file("d.txt"), "[Extension]\nSN=4\n");
  ::mkdir(folder.file("e.ext").c_str(), 0755);
  auto main = create({});
  EXPECT_EQ(main->StartUp().extensionFiles,
            (std::vector<std::string>{folder.file("A.EXT"), folder.file("b.ext")}));
  EXPECT_EQ(console.CustomizedWnds().size(), 2u);
}

}  // namespace

namespace {

// The caption and the laser actions follow the connection; the seeder frequency typed into the
// file by hand is kept (the program never writes it).
TEST_F(MainWindow, CaptionAndActionsFollowTheConnection) {
  writeFile(iniPath(), "[Laser]\nPort=6\nSeederFrequency=12345678\n[Automation]\nAutoDetect=0\n");
  qv::sim::Simulator sim("gen3-2branch");  // serial and head serial 1234, two branches
  ASSERT_TRUE(sim.start(6, ports.path())) << sim.lastError();
  auto main = create({});
  console.ConnectLaserClick();
  auto* timer = static_cast<qv::LoopTimer*>(&console.UpdateTimer());
  ASSERT_TRUE(qv::runConsoleLoop(timer, [&] { return main->Caption() != "TESSARIX - Quorvane Laser Control"; }, 10000));
  EXPECT_EQ(main->Caption(), "SN1234 - Quorvane Laser Control");
  EXPECT_EQ(main->ApplicationTitle(), "SN1234 - Quorvane Laser Control");

  main->UpdateLaserAction();
  EXPECT_TRUE(main->Actions().enabled(qv::ActionId::SetLaserOn));
  // Ctrl+3 with a preset surrounded by blanks sets every shown branch (once the maximum
  // currents are known).
  ASSERT_TRUE(qv::runConsoleLoop(timer, [&] { return console.Laser().MaxCurrent(2) == 35.0; }, 5000));
  console.Options().PresetCurrents[3] = " 12.5 ";
  EXPECT_TRUE(main->HandleShortCut(ShortCut('3', scCtrl)));
  EXPECT_TRUE(qv::runConsoleLoop(timer, [&] {
    const auto st = sim.state();
    return st.current[1] == 12.5 && st.current[2] == 12.5;
  }, 5000));
  console.ConnectLaserClick();
  ASSERT_TRUE(qv::runConsoleLoop(timer, [&] { return !console.Laser().Connected(); }, 5000));
  EXPECT_EQ(main->Caption(), "TESSARIX - Quorvane Laser Control");
  main->UpdateLaserAction();
  EXPECT_FALSE(main->Actions().enabled(qv::ActionId::SetLaserOn));
  ASSERT_TRUE(main->Destroy(0, 0));
  qv::IniStore ini;
  ASSERT_TRUE(ini.load(iniPath()));
  EXPECT_EQ(ini.readString("Laser", "SeederFrequency", ""), "12345678");
}

}  // namespace

namespace {

TEST(SettingsFile, SeederFrequencyIsReadOnlyByHand) {
  qv::IniStore ini;
  EXPECT_EQ(qv::readSeederFrequency(ini), 20000000);
  ini.loadFromText("[laser]\nseederfrequency=19999000\n");
  EXPECT_EQ(qv::readSeederFrequency(ini), 19999000);
  ini.loadFromText("[Laser]\nSeederFrequency=20MHz\n");
  EXPECT_EQ(qv::readSeederFrequency(ini), 20000000);
}

}  // namespace
