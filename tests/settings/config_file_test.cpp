#include "settings/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "temporary_directory.h"

namespace qav {
namespace {

namespace fs = std::filesystem;

class ConfigFile : public ::testing::Test {
 protected:
  std::string write(const std::string& content, mode_t mode = 0600,
                    const std::string& name = "qav.conf") {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << content;
    ::chmod(path.c_str(), mode);
    return path.string();
  }

  static std::string readError(const std::string& path) {
    try {
      readConfigFile(path);
    } catch (const std::runtime_error& error) {
      return error.what();
    }
    return "(read)";
  }

  const testing::TemporaryDirectory scratch_;
  const fs::path dir_{scratch_.path()};
};

TEST_F(ConfigFile, SectionsKeysAndValues) {
  const SettingMap map =
      readConfigFile(write("sip_auth_user = y\n"
                           "[SIP]\n"
                           "Server = x\n"
                           "PORT=5070\n"
                           "sip-server = ignored\n"
                           "[ Device ]\n"
                           "target = 0123 # office\n"
                           "routine-at = a=b\n"
                           "= nothing\n"
                           "[sip]\n"
                           "=x\n"));
  EXPECT_EQ(map, (SettingMap{{"sip-auth-user", "y"},
                             {"sip-server", "x"},
                             {"sip-port", "5070"},
                             {"sip-sip-server", "ignored"},
                             {"target", "0123 # office"},
                             {"routine-at", "a=b"},
                             {"", "nothing"},
                             {"sip-", "x"}}));
}

TEST_F(ConfigFile, CommentsBlanksAndLineEndings) {
  const SettingMap map =
      readConfigFile(write("# comment\r\n"
                           "   ; indented comment\r\n"
                           "\r\n"
                           "  \t \n"
                           "target = 1\r\n"
                           "target = 2\r\n"
                           "pin=4711"));
  EXPECT_EQ(map, (SettingMap{{"target", "2"}, {"pin", "4711"}}));
}

TEST_F(ConfigFile, OnlyOnePairOfEnclosingQuotesIsRemoved) {
  const SettingMap map =
      readConfigFile(write("target = \"0123\"\n"
                           "pin = \"\"\n"
                           "new-pin = \"\n"
                           "z208 = \"\"x\"\"\n"
                           "routine-at = \" 12:00 \"\n"
                           "dial-mode = 'x'\n"));
  EXPECT_EQ(map.at("target"), "0123");
  EXPECT_EQ(map.at("pin"), "");
  EXPECT_EQ(map.at("new-pin"), "\"");
  EXPECT_EQ(map.at("z208"), "\"x\"");
  EXPECT_EQ(map.at("routine-at"), " 12:00 ");
  EXPECT_EQ(map.at("dial-mode"), "'x'");
}

TEST_F(ConfigFile, MissingEqualsNamesPathAndPhysicalLine) {
  const std::string plain = write("# one\n\n[sip]\nserver=x\n; five\n\nplain text\n");
  EXPECT_EQ(readError(plain), plain + ":7: '=' fehlt");
  const std::string bracket = write("[sip\n", 0600, "bracket.conf");
  EXPECT_EQ(readError(bracket), bracket + ":1: '=' fehlt");
  // A byte-order mark is data: the header after it is no header.
  const std::string bom = write("\xEF\xBB\xBF[sip]\nserver=x\n", 0600, "bom.conf");
  EXPECT_EQ(readError(bom), bom + ":1: '=' fehlt");
  const std::string nul = write(std::string("target=1\n\0\n", 11), 0600, "nul.conf");
  EXPECT_EQ(readError(nul), nul + ":2: '=' fehlt");
}

TEST_F(ConfigFile, OddBytesPassThroughUnchanged) {
  const SettingMap map =
      readConfigFile(write("[Gerät]\nTARGET = \xff\xfe\nK\xc3\x84Y = v\nsip-password = p\xe4ss\n"));
  EXPECT_EQ(map.at("target"), "\xff\xfe");
  EXPECT_EQ(map.at("k\xc3\x84y"), "v");
  EXPECT_EQ(map.at("sip-password"), "p\xe4ss");
}

TEST_F(ConfigFile, EmptyFileGivesEmptyMap) {
  EXPECT_TRUE(readConfigFile(write("")).empty());
  EXPECT_TRUE(readConfigFile(write("\n\n# nothing\n", 0644, "comments.conf")).empty());
}

TEST_F(ConfigFile, UnopenableOrDirectoryOrHugeIsRefused) {
  const std::string missing = (dir_ / "missing.conf").string();
  EXPECT_EQ(readError(missing), "Konfigurationsdatei kann nicht geöffnet werden: " + missing);
  EXPECT_EQ(readError(dir_.string()),
            "Konfigurationsdatei kann nicht geöffnet werden: " + dir_.string());
  EXPECT_EQ(readError(""), "Konfigurationsdatei kann nicht geöffnet werden: ");
  const std::string huge = write("target = " + std::string(2 * 1024 * 1024, '1') + "\n");
  EXPECT_EQ(readError(huge), "Konfigurationsdatei ist größer als 1 MiB: " + huge);
}

TEST_F(ConfigFile, PasswordFileMustNotBeOpenToGroupOrOthers) {
  const std::string content = "[sip]\npassword = secret\n";
  EXPECT_EQ(readConfigFile(write(content, 0600)).at("sip-password"), "secret");
  EXPECT_EQ(readConfigFile(write(content, 0400)).at("sip-password"), "secret");
  for (const mode_t mode : {0640, 0604, 0610, 0601, 0644}) {
    const std::string path = write(content, mode);
    EXPECT_EQ(
        readError(path),
        "Konfigurationsdatei mit SIP-Passwort darf keine Gruppen- oder Fremdrechte besitzen: " +
            path)
        << std::oct << mode;
  }
  // An empty password written as sip_password still counts as holding one.
  const std::string empty = write("SIP_PASSWORD =\n", 0640);
  EXPECT_NE(readError(empty).find("Gruppen- oder Fremdrechte"), std::string::npos);
  EXPECT_EQ(readConfigFile(write("[sip]\nserver = x\n", 0644)).at("sip-server"), "x");
}

TEST_F(ConfigFile, PermissionIsThatOfTheFileBehindALink) {
  const std::string target = write("[sip]\npassword = secret\n", 0600, "real.conf");
  const fs::path link = dir_ / "link.conf";
  fs::create_symlink(target, link);
  EXPECT_EQ(readConfigFile(link.string()).at("sip-password"), "secret");
  ::chmod(target.c_str(), 0640);
  EXPECT_EQ(readError(link.string()),
            "Konfigurationsdatei mit SIP-Passwort darf keine Gruppen- oder Fremdrechte besitzen: " +
                link.string());
}

TEST_F(ConfigFile, MissingEqualsIsReportedBeforePermission) {
  const std::string path = write("sip-password = x\nbroken\n", 0644);
  EXPECT_EQ(readError(path), path + ":2: '=' fehlt");
}

class WorkingDirectory {
 public:
  explicit WorkingDirectory(const fs::path& dir) : previous_(fs::current_path()) {
    fs::current_path(dir);
  }
  ~WorkingDirectory() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

TEST_F(ConfigFile, LocateTakesConfigOptionWithoutLookingAtIt) {
  CommandLine line;
  line.options["config"] = "/nowhere/qav.conf";
  EXPECT_EQ(locateConfigFile(line), "/nowhere/qav.conf");
}

TEST_F(ConfigFile, LocateFallsBackToTheWorkingDirectory) {
  if (fs::exists(systemConfigPath)) GTEST_SKIP() << systemConfigPath << " exists on this machine";
  const WorkingDirectory inside(dir_);
  EXPECT_EQ(locateConfigFile(CommandLine{}), std::nullopt);
  fs::create_directory(dir_ / localConfigPath);  // any type counts as present
  EXPECT_EQ(locateConfigFile(CommandLine{}), std::string(localConfigPath));
}

TEST_F(ConfigFile, LocateReportsAStatusFailure) {
  if (fs::exists(systemConfigPath)) GTEST_SKIP() << systemConfigPath << " exists on this machine";
  const WorkingDirectory inside(dir_);
  fs::create_symlink(localConfigPath, dir_ / localConfigPath);  // a loop
  try {
    locateConfigFile(CommandLine{});
    ADD_FAILURE() << "symbolic link loop passed";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what())
                  .rfind("Konfigurationsdatei kann nicht gesucht werden: qav-cli.conf: ", 0),
              0u)
        << error.what();
  }
}

}  // namespace
}  // namespace qav
