// The ini store: what survives a rewrite, how names compare, how values parse, and that a save
// replaces the file in one step.
#include "platform/IniStore.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace {

using qv::IniStore;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> folderEntries(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* e = readdir(dir))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
        names.push_back(e->d_name);
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(IniStore, RewriteKeepsWhatItDoesNotOwn) {
  IniStore ini;
  ini.loadFromText(
      "; settings\n"
      "[laser]\n"
      "PORT = 3\n"
      "Custom=keep me\n"
      "\n"
      "[Vendor]\n"
      "x=1\n"
      "; trailing note\n"
      "[HotKeys]\n"
      "ConnectLaser=16460\n");
  ini.writeInteger("Laser", "Port", 7);
  ini.writeString("Vendor", "y", "2");
  ini.writeBool("Automation", "AutoDetect", false);
  ini.writeInteger("hotkeys", "SetCW", 16471);
  EXPECT_EQ(ini.text(),
            "; settings\n"
            "[laser]\n"
            "PORT=7\n"
            "Custom=keep me\n"
            "\n"
            "[Vendor]\n"
            "x=1\n"
            "y=2\n"
            "; trailing note\n"
            "[HotKeys]\n"
            "ConnectLaser=16460\n"
            "SetCW=16471\n"
            "[Automation]\n"
            "AutoDetect=0\n");
}

TEST(IniStore, NamesCompareWithoutCase) {
  IniStore ini;
  ini.loadFromText("[Extension]\r\nsn = 12, 57 \r\nNAME=Pump\r\n[EXTENSION]\r\nHeight=80\r\n");
  EXPECT_TRUE(ini.sectionExists("extension"));
  EXPECT_TRUE(ini.valueExists("Extension", "SN"));
  EXPECT_EQ(ini.readString("EXTENSION", "Sn", ""), "12, 57");  // value trimmed of blanks
  EXPECT_EQ(ini.readString("extension", "name", ""), "Pump");
  EXPECT_EQ(ini.readInteger("Extension", "height", 100), 80);  // a repeated section counts
  EXPECT_EQ(ini.sections(), (std::vector<std::string>{"Extension"}));
  EXPECT_EQ(ini.keys("extension"), (std::vector<std::string>{"sn", "NAME", "Height"}));
  EXPECT_FALSE(ini.valueExists("Extension", "Width"));
  EXPECT_FALSE(ini.sectionExists("Button1"));
  // The file's CR LF line ends stay.
  ini.writeInteger("Extension", "Width", 120);
  EXPECT_NE(ini.text().find("NAME=Pump\r\nWidth=120\r\n"), std::string::npos);

  // A file that starts with a UTF-8 byte-order mark still has its first section, and keeps
  // the mark.
  ini.loadFromText("\xEF\xBB\xBF[Extension]\nSN=7\n");
  EXPECT_EQ(ini.readInteger("Extension", "SN", 0), 7);
  EXPECT_EQ(ini.text(), "\xEF\xBB\xBF[Extension]\nSN=7\n");
}

TEST(IniStore, ValuesThatDoNotParseGiveTheDefault) {
  struct Case {
    const char* value;
    long long integer;  // default 99
    bool boolean;       // default true
    double real;        // default 0.5
  } cases[] = {
      {"5", 5, true, 5},       {"-20", -20, true, -20},
      {"+4", 4, true, 4},      {"0", 0, false, 0},
      {"x5", 99, true, 0.5},   {"", 99, true, 0.5},
      {"5x", 99, true, 0.5},   {"0x1F", 31, true, 0.5},
      {"$10", 16, true, 0.5},  {"12.5", 99, true, 12.5},
      {"1,5", 99, true, 0.5},  {"false", 99, false, 0.5},
      {"TRUE", 99, true, 0.5}, {"nan", 99, true, 0.5},
      {"--1", 99, true, 0.5},  {"99999999999999999999", 99, true, 1e20},
  };
  for (const Case& c : cases) {
    IniStore ini;
    ini.writeString("S", "K", c.value);
    EXPECT_EQ(ini.readInteger("S", "K", 99), c.integer) << c.value;
    EXPECT_EQ(ini.readBool("S", "K", true), c.boolean) << c.value;
    EXPECT_DOUBLE_EQ(ini.readFloat("S", "K", 0.5), c.real) << c.value;
  }
  IniStore empty;
  EXPECT_EQ(empty.readInteger("Laser", "Port", 1), 1);
  EXPECT_EQ(empty.readString("PresetCurrents", "1", "none"), "none");
  EXPECT_FALSE(empty.readBool("Automation", "AutoDetect", false));
}

TEST(IniStore, WrittenValuesStayOnOneLine) {
  IniStore ini;
  ini.writeString("PresetCurrents", "1", "12\r\n[Laser]\nPort=9");
  ini.writeString("PresetCurrents", "2", "");
  IniStore again;
  again.loadFromText(ini.text());
  EXPECT_FALSE(again.sectionExists("Laser"));
  EXPECT_EQ(again.readString("PresetCurrents", "1", ""), "12  [Laser] Port=9");
  EXPECT_TRUE(again.valueExists("PresetCurrents", "2"));
  EXPECT_EQ(again.readString("PresetCurrents", "2", "x"), "");
}

// Doubled carriage returns (a file converted to CR LF twice) end the line like one; the values
// read the same before and after a save with the file's own line ends.
TEST(IniStore, DoubledCarriageReturnsEndTheLine) {
  for (const char* text :
       {"[Laser]\nPort=3\r\r\nName=a\r\n", "[Laser]\r\nPort=3\r\r\nName=a\r\n"}) {
    IniStore ini;
    ini.loadFromText(text);
    EXPECT_EQ(ini.readInteger("Laser", "Port", 0), 3) << text;
    IniStore again;
    again.loadFromText(ini.text());
    EXPECT_EQ(again.keys("Laser"), (std::vector<std::string>{"Port", "Name"})) << text;
    EXPECT_EQ(again.readString("Laser", "Port", ""), "3") << text;
    EXPECT_EQ(again.text(), ini.text()) << text;
  }
}

TEST(IniStore, DeleteAndErase) {
  IniStore ini;
  ini.loadFromText("[A]\nk=1\nK=2\nj=3\n[B]\nk=4\n[a]\nk=5\n");
  ini.deleteKey("a", "K");
  EXPECT_FALSE(ini.valueExists("A", "k"));
  EXPECT_EQ(ini.readInteger("B", "k", 0), 4);
  ini.eraseSection("A");
  EXPECT_EQ(ini.text(), "[B]\nk=4\n");
}

struct IniFile : testing::Test {
  qv::test::TempDir dir;
};

TEST_F(IniFile, MissingFileIsAnEmptyStoreUnreadableIsReported) {
  IniStore ini;
  ini.writeString("Old", "k", "v");
  EXPECT_TRUE(ini.load(dir.file("none.ini")));
  EXPECT_EQ(ini.sections().size(), 0u);
  EXPECT_FALSE(ini.load(dir.path()));  // a folder cannot be read as a file
  EXPECT_EQ(ini.text(), "");
}

TEST_F(IniFile, SaveReplacesTheFileAndKeepsItsPermissions) {
  std::string path = dir.file("QVLaserControlv4.ini");
  writeFile(path, "[Laser]\nPort=3\n[Mine]\nnote=hand made\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  IniStore ini;
  ASSERT_TRUE(ini.load(path));
  ini.writeInteger("Laser", "Port", 5);
  ASSERT_TRUE(ini.save(path));
  EXPECT_EQ(readFile(path), "[Laser]\nPort=5\n[Mine]\nnote=hand made\n");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"QVLaserControlv4.ini"}));

  IniStore fresh;
  fresh.writeInteger("Laser", "Port", 1);
  ASSERT_TRUE(fresh.save(dir.file("new.ini")));
  EXPECT_EQ(readFile(dir.file("new.ini")), "[Laser]\nPort=1\n");
}

TEST_F(IniFile, FailedSaveLeavesNoTraceAndTheOldFileWhole) {
  IniStore ini;
  ini.writeInteger("Laser", "Port", 5);
  EXPECT_FALSE(ini.save(dir.file("missing/settings.ini")));
  // The target is a folder: the rename fails after the temporary file was written.
  std::string blocked = dir.file("blocked.ini");
  ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
  writeFile(blocked + "/inside", "x");
  EXPECT_FALSE(ini.save(blocked));
  EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"blocked.ini"}));
  EXPECT_EQ(readFile(blocked + "/inside"), "x");
}

}  // namespace
