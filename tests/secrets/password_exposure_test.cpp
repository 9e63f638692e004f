// The SIP password, whichever source gives it, never shows in qav-cli's
// output, error lines, JSON stream or process arguments, and goes over the
// wire only as a digest: in a refused registration and in a programming
// call against qav-sim through the test PBX.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "programming_call.h"
#include "run_checks.h"
#include "scripted_peer.h"
#include "test_pbx.h"
#include "udp_relay.h"

namespace qav::hostile {
namespace {

using namespace std::chrono_literals;

const std::string secret = "Zq9-geheim-\xC3\xBC-73";

// Where the password comes from, and what qav-cli then needs.
struct Source {
  std::string name;
  std::vector<std::string> args;
  std::map<std::string, std::string> env;
  std::string configText;  // written to a 0600 file given by --config
};

std::vector<Source> sources(const std::string& password) {
  return {
      {"QAV_SIP_PASSWORD", {}, {{"QAV_SIP_PASSWORD", password}}, ""},
      {"sip-password-env on the command line", {"--sip-password-env", "MY_SECRET"}, {{"MY_SECRET", password}}, ""},
      {"sip-password-env in the file", {}, {{"OTHER_SECRET", password}}, "[sip]\npassword-env = OTHER_SECRET\n"},
      {"the configuration file", {}, {}, "[sip]\npassword = " + password + "\n"},
  };
}

// What qav-cli showed of itself while it ran: its arguments, those of any
// process it started, and whether it stayed the same program.
struct Observed {
  int samples = 0;
  std::vector<std::string> arguments;
  bool replaced = false;
};

std::function<void(pid_t)> observe(Observed& seen) {
  return [&seen](pid_t pid) {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    if (error) return;
    ++seen.samples;
    if (exe.filename() != "qav-cli") seen.replaced = true;
    for (const std::string& arg : processArguments(pid)) seen.arguments.push_back(arg);
    for (pid_t child : childrenOf(pid))
      for (const std::string& arg : processArguments(child)) seen.arguments.push_back(arg);
  };
}

void expectNowhere(const ProcessRun& run, const Observed& seen, const std::string& password) {
  EXPECT_EQ(run.out.find(password), std::string::npos) << run.out;
  EXPECT_EQ(run.err.find(password), std::string::npos) << run.err;
  EXPECT_GT(seen.samples, 0) << "qav-cli was never seen running";
  EXPECT_FALSE(seen.replaced) << "qav-cli replaced itself with another program";
  for (const std::string& arg : seen.arguments) EXPECT_EQ(arg.find(password), std::string::npos) << arg;
}

CliCall withSource(const Source& source, std::vector<std::string> args, const std::string& directory) {
  args.insert(args.end(), source.args.begin(), source.args.end());
  if (!source.configText.empty()) {
    const std::string path = directory + "/qav-cli.conf";
    std::ofstream(path) << source.configText;
    std::filesystem::permissions(path, std::filesystem::perms(0600));
    args.insert(args.end(), {"--config", path});
  }
  return {args, source.env, 60s, "", {}};
}

// The registrar challenges and refuses the digest: a failing run that has
// sent the credentials once.
TEST(PasswordExposure, RefusedRegistrationShowsThePasswordNowhereAndSendsOnlyTheDigest) {
  for (const Source& source : sources(secret)) {
    for (const bool json : {false, true}) {
      SCOPED_TRACE(source.name + (json ? " --json" : " console"));
      testing::TemporaryDirectory directory;
      ScriptedPeer registrar("registrar_challenge_then_403.xml");
      std::vector<std::string> args{"--sip-server", "127.0.0.1", "--sip-port", std::to_string(registrar.port()),
                                    "--sip-user", "tester", "--target", "qav"};
      if (json) args.push_back("--json");
      CliCall call = withSource(source, args, directory.path());
      Observed seen;
      call.whileRunning = observe(seen);
      const ProcessRun run = runCli(call);
      EXPECT_EQ(run.status, 3);
      EXPECT_EQ(run.err, "Fehler: SIP-Registrierung fehlgeschlagen (SIP 403).\n");
      expectNowhere(run, seen, secret);

      EXPECT_EQ(registrar.wait(5s), 0);
      const std::string wire = registrar.messages();
      EXPECT_TRUE(std::regex_search(wire, std::regex("Authorization: Digest [^\\r\\n]*response=\"[0-9a-f]{32}\"")))
          << wire;
      EXPECT_EQ(wire.find(secret), std::string::npos) << wire;
    }
  }
}

// A whole programming call: qav-sim registered as "qav" at the test PBX,
// qav-cli as "tester" with the PBX's password from each source, through a
// relay as outbound proxy that sees the REGISTERs and INVITEs with their
// credentials.
TEST(PasswordExposure, ProgrammingCallShowsThePasswordNowhere) {
  const testing::TestPbx pbx;
  const std::string password = "tester-secret";
  for (const Source& source : sources(password)) {
    SCOPED_TRACE(source.name);
    testing::TemporaryDirectory directory;
    testing::Process simulator(
        testing::simulatorCommand("127.0.0.1:" + std::to_string(pbx.udpPort()), directory.path("state.json")));
    ASSERT_TRUE(simulator.waitFor("registered", 5s));
    std::vector<std::string> args{"--sip-server", "127.0.0.1", "--sip-port", std::to_string(pbx.udpPort()),
                                  "--sip-user", "tester", "--target", "qav", "--json", "--actions", "clock",
                                  "--dtmf-tone-ms", "80", "--dtmf-gap-ms", "80", "--settle-ms", "100"};
    secrets::UdpRelay relay(pbx.udpPort());
    args.insert(args.end(), {"--sip-proxy", "127.0.0.1:" + std::to_string(relay.port())});
    CliCall call = withSource(source, args, directory.path());
    call.limit = 120s;
    Observed seen;
    call.whileRunning = observe(seen);
    const ProcessRun run = runCli(call);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    ASSERT_FALSE(eventsOf(run).empty());
    EXPECT_EQ(eventsOf(run).back().event, "complete");
    expectNowhere(run, seen, password);
    int register_ = 0, invite = 0, digests = 0;
    const std::regex digest("Authorization: Digest [^\\r\\n]*response=\"[0-9a-f]{32}\"");
    for (const std::string& datagram : relay.sent()) {
      EXPECT_EQ(datagram.find(password), std::string::npos) << datagram;
      register_ += datagram.rfind("REGISTER ", 0) == 0;
      invite += datagram.rfind("INVITE ", 0) == 0;
      digests += std::regex_search(datagram, digest);
    }
    EXPECT_GE(register_, 2);
    EXPECT_GE(invite, 2);
    EXPECT_GE(digests, 2);
    EXPECT_EQ(simulator.finish(15s), 0);
    EXPECT_FALSE(pbx.hasLocation("tester")) << pbx.locations();
  }
}

}  // namespace
}  // namespace qav::hostile
