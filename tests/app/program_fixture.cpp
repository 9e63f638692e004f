#include "program_fixture.h"

#include <unistd.h>

#include <fstream>

namespace qav::test {

void ProgramTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qav-cli-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir = pattern;
}

void ProgramTest::TearDown() {
  std::error_code ignored;
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(dir, ignored);
}

ProgramCall ProgramTest::call(std::initializer_list<std::string> args,
                              const std::map<std::string, std::string>& env) const {
  ProgramCall c;
  c.program = QAV_CLI_PATH;
  c.args.push_back(QAV_CLI_PATH);
  c.args.insert(c.args.end(), args);
  c.env = {{"PATH", "/usr/bin:/bin"}, {"TZ", "UTC"}};
  for (const auto& [key, value] : env) c.env[key] = value;
  c.cwd = dir.string();
  return c;
}

ProgramResult ProgramTest::run(std::initializer_list<std::string> args,
                               const std::map<std::string, std::string>& env) {
  return runProgram(call(args, env));
}

ProgramResult ProgramTest::runAt(const std::string& localTime,
                                 std::initializer_list<std::string> args,
                                 const std::map<std::string, std::string>& env) {
  ProgramCall c = call(args, env);
  c.args.erase(c.args.begin());
  c.args.insert(c.args.begin(), {"faketime", localTime, QAV_CLI_PATH});
  c.program = "/usr/bin/faketime";
  return runProgram(c);
}

std::filesystem::path ProgramTest::writeFile(const std::string& name, const std::string& text,
                                             std::filesystem::perms mode) {
  const std::filesystem::path path = dir / name;
  std::ofstream(path, std::ios::binary) << text;
  std::filesystem::permissions(path, mode);
  return path;
}

}  // namespace qav::test
