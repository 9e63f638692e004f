// The two programs of a programming call as the call tests start them:
// qav-sim as the device "qav" and qav-cli as "tester", both registered at a
// test PBX, and the state file in which the device keeps its settings.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_events.h"
#include "process.h"

namespace qav::testing {

// A digit pace fast enough that a call with every action stays near a
// minute, slow enough for the device's digit timing.
inline const std::vector<std::string> kFastDigits{"--dtmf-tone-ms", "80", "--dtmf-gap-ms", "80",
                                                  "--settle-ms", "100"};

// The paths of the built programs.
std::string cliProgram();
std::string simulatorProgram();

// qav-cli with these arguments and only PATH, TZ=UTC and `env` set.
Command cliCommand(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {});
// qav-sim registering as `user` (the PBX's password is user + "-secret") at
// `registrar` ("host:port"), keeping its state in statePath, printing its
// events, for one call; its output and error come as one stream of lines.
Command simulatorCommand(const std::string& registrar, const std::string& statePath, const std::string& user = "qav");
// The device's state file: null when it never saved anything, discarded
// when it is no JSON.
nlohmann::json readDeviceState(const std::string& path);
void writeDeviceState(const std::string& path, const nlohmann::json& state);

// Where both programs of a call reach the PBX and how they are started.
struct CallSite {
  std::string pbxHost = "127.0.0.1";
  std::uint16_t pbxPort = 0;
  std::string transport;  // empty: each program's default
  // Put before each program's command line, e.g. `ip netns exec …`.
  std::vector<std::string> simulatorPrefix;
  std::vector<std::string> cliPrefix;
  std::string directory;  // holds the device's state file
};

// Members of a call test fixture (a gtest fixture derives from it as well):
// the fixture fills `site` in its SetUp and drops `simulator` in TearDown.
class ProgrammingCallParties {
 protected:
  std::string statePath() const { return site.directory + "/state.json"; }
  void seedState(const nlohmann::json& state) const { writeDeviceState(statePath(), state); }
  nlohmann::json readState() const { return readDeviceState(statePath()); }

  // A simulator that takes one call, or calls until stopped; the test fails
  // unless it registers within the limit.
  void startSimulator(const std::vector<std::string>& extra = {}, bool oneCall = true,
                      std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Its lines once it has ended after its call; the test fails unless it
  // ends with status 0.
  std::vector<std::string> simulatorLines(std::chrono::milliseconds limit = std::chrono::seconds(20));

  // qav-cli as "tester" calling "qav" with --json, then `extra`.
  std::vector<std::string> cliArguments(const std::vector<std::string>& extra) const;
  // Runs it to its end, started through `launcher` if one is given.
  CliRun runCall(const std::vector<std::string>& extra, std::chrono::milliseconds limit,
                 const std::vector<std::string>& launcher = {}) const;

  CallSite site;
  std::unique_ptr<Process> simulator;
};

}  // namespace qav::testing
