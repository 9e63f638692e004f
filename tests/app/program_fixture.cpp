#include "program_fixture.h"

#include "programming_call.h"

namespace qav::test {

ProcessRun runProgram(const Command& command) { return testing::runToEnd(command, std::chrono::seconds(60)); }

Command ProgramTest::call(std::initializer_list<std::string> args,
                          const std::map<std::string, std::string>& env) const {
  Command c = testing::cliCommand(args, env);
  c.cwd = dir.string();
  return c;
}

ProcessRun ProgramTest::run(std::initializer_list<std::string> args, const std::map<std::string, std::string>& env) {
  return runProgram(call(args, env));
}

ProcessRun ProgramTest::runAt(const std::string& localTime, std::initializer_list<std::string> args,
                              const std::map<std::string, std::string>& env) {
  Command c = call(args, env);
  c.argv.insert(c.argv.begin(), {"/usr/bin/faketime", localTime});
  return runProgram(c);
}

ProcessRun ProgramTest::runOnTerminal(std::initializer_list<std::string> args) {
  Command c = call(args, {});
  c.streams = testing::Streams::Terminal;
  return runProgram(c);
}

}  // namespace qav::test
