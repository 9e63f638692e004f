#include <gtest/gtest.h>

#include "qav-sim/sim_options.h"

namespace qav::sim {
namespace {

SimOptions parse(std::vector<std::string> args) { return parseSimOptions(args); }

TEST(SimOptions, RegistrarAndFaultsAsAllowed) {
  const SimOptions o =
      parse({"--registrar", "[::1]:5070", "--user", "qav", "--password", "s", "--transport", "tls",
             "--wrong-tone", "3:parameter-error", "--hang-up-after", "7", "--second-device", "--noise-dbfs",
             "-40.5", "--answer-delay-ms", "0", "--calls", "2", "--events"});
  ASSERT_TRUE(o.registrar);
  EXPECT_EQ(o.registrar->host, "::1");
  EXPECT_EQ(o.registrar->port, 5070);
  EXPECT_EQ(o.transport, SipTransport::Tls);
  ASSERT_TRUE(o.faults.wrongTone);
  EXPECT_EQ(o.faults.wrongTone->step, 3u);
  EXPECT_EQ(o.faults.wrongTone->pattern, Signal::ParameterError);
  EXPECT_EQ(o.faults.hangUpAfter, 7u);
  EXPECT_TRUE(o.faults.secondDevice);
  EXPECT_EQ(o.faults.line.noiseDbfs, -40.5);
  EXPECT_EQ(o.timing.answerDelay, milliseconds(0));
  EXPECT_EQ(o.calls, 2u);
  EXPECT_TRUE(o.events);
}

TEST(SimOptions, DevicesNumberedWithTheirOwnStateAndFaultsOverTheCommonOnes) {
  const SimOptions o = parse({"--registrar", "127.0.0.1:5060", "--devices", "12", "--password", "{user}-secret",
                              "--state-dir", "/s", "--device-fault", "2:busy", "--device-fault", "3:silence",
                              "--device-fault", "3:wrong-pin", "--device-fault", "10:parameter-error@5",
                              "--device-fault", "12:hang-up", "--hang-up-after", "9"});
  const std::vector<DeviceSpec> devices = deviceSpecs(o);
  ASSERT_EQ(devices.size(), 12u);
  EXPECT_EQ(devices[0].user, "qav01");
  EXPECT_EQ(devices[0].password, "qav01-secret");
  EXPECT_EQ(devices[0].stateFile, "/s/qav01.json");
  EXPECT_EQ(devices[0].eventPrefix, "qav01 ");
  EXPECT_EQ(devices[11].user, "qav12");
  EXPECT_EQ(devices[0].faults.hangUpAfter, 9u);
  EXPECT_FALSE(devices[0].faults.busy || devices[0].faults.refusesPin || devices[0].faults.silenceAt);
  EXPECT_TRUE(devices[1].faults.busy);
  EXPECT_EQ(devices[2].faults.silenceAt, 1u);
  EXPECT_TRUE(devices[2].faults.refusesPin);
  EXPECT_EQ(devices[9].faults.parameterErrorsFrom, 5u);
  EXPECT_TRUE(devices[9].faults.refuses(7) && !devices[9].faults.refuses(4));
  EXPECT_EQ(devices[11].faults.hangUpAfter, 2u);

  const std::vector<DeviceSpec> alone =
      deviceSpecs(parse({"--registrar", "127.0.0.1:5060", "--user", "qav", "--state", "s.json"}));
  ASSERT_EQ(alone.size(), 1u);
  EXPECT_EQ(alone[0].user, "qav");
  EXPECT_EQ(alone[0].stateFile, "s.json");
  EXPECT_EQ(alone[0].eventPrefix, "");
}

TEST(SimOptions, StunServerAndIce) {
  const SimOptions plain = parse({"--listen", "127.0.0.1:0"});
  EXPECT_FALSE(plain.stunServer);
  EXPECT_FALSE(plain.ice);
  const SimOptions o = parse({"--listen", "127.0.0.1:0", "--stun-server", "[::1]", "--ice"});
  ASSERT_TRUE(o.stunServer);
  EXPECT_EQ(o.stunServer->host, "::1");
  EXPECT_EQ(o.stunServer->port, 3478);
  EXPECT_TRUE(o.ice);
}

TEST(SimOptions, ListeningOnAnyPortNeedsNoAccount) {
  const SimOptions o = parse({"--listen", "127.0.0.1:0"});
  ASSERT_TRUE(o.listen);
  EXPECT_EQ(o.listen->port, 0);
  EXPECT_FALSE(o.registrar);
}

TEST(SimOptions, LineOnlyWhenAskedForAndItsPartsInAnyOrder) {
  EXPECT_FALSE(parse({"--listen", "127.0.0.1:0"}).line);
  const SimOptions o = parse({"--listen", "127.0.0.1:0", "--line-noise", "pink:-45.5", "--line", "amr475-dtx+alaw",
                              "--line-echo", "50:-15"});
  ASSERT_TRUE(o.line);
  EXPECT_EQ(line::lineName(*o.line), "amr475-dtx+alaw");
  ASSERT_TRUE(o.line->noise);
  EXPECT_EQ(o.line->noise->colour, line::NoiseColour::Pink);
  EXPECT_EQ(o.line->noise->dbfs, -45.5);
  ASSERT_TRUE(o.line->echo);
  EXPECT_EQ(o.line->echo->delayMs, 50u);
  EXPECT_EQ(o.line->echo->gainDb, -15.0);
  // Noise alone is a line without codecs beyond the call's G.711.
  const SimOptions noisy = parse({"--listen", "127.0.0.1:0", "--line-noise", "white:-40"});
  ASSERT_TRUE(noisy.line);
  EXPECT_EQ(line::lineName(*noisy.line), "linear");
}

TEST(SimOptions, RefusesWhatWouldMisleadTheRun) {
  const std::vector<std::vector<std::string>> refused{
      {},                                                          // neither way to take calls
      {"--listen", "127.0.0.1:5060", "--registrar", "127.0.0.1:5060", "--user", "u"},
      {"--registrar", "127.0.0.1:5060"},                           // no user to register
      {"--registrar", "127.0.0.1:0", "--user", "u"},               // a registrar has a port
      {"--listen", "127.0.0.1"},                                   // no port at all
      {"--listen", "127.0.0.1:5060", "--ring-ms", "500 "},         // trailing blank
      {"--listen", "127.0.0.1:5060", "--ring-ms", "-1"},
      {"--listen", "127.0.0.1:5060", "--calls", "0"},
      {"--listen", "127.0.0.1:5060", "--silence-at", "0"},         // steps count from 1
      {"--listen", "127.0.0.1:5060", "--wrong-tone", "2:beep"},
      {"--listen", "127.0.0.1:5060", "--wrong-tone", "single-confirmation"},
      {"--listen", "127.0.0.1:5060", "--level-dbfs", "3"},         // above full scale
      {"--listen", "127.0.0.1:5060", "--noise-dbfs", "nan"},
      {"--listen", "127.0.0.1:5060", "--transport", "sctp"},
      {"--listen", "127.0.0.1:5060", "--user"},                    // value missing
      {"--listen", "127.0.0.1:5060", "--stun-server", "host:0"},
      {"--listen", "127.0.0.1:5060", "--stun-server", ""},
      {"--listen", "127.0.0.1:5060", "--ring", "5"},               // unknown option
      {"--listen", "127.0.0.1:5060", "--line", "amr"},
      {"--listen", "127.0.0.1:5060", "--line", "gsm+"},
      {"--listen", "127.0.0.1:5060", "--line", "gsm-dtx"},         // only AMR has DTX
      {"--listen", "127.0.0.1:5060", "--line-noise", "-45"},       // no colour
      {"--listen", "127.0.0.1:5060", "--line-noise", "grey:-45"},
      {"--listen", "127.0.0.1:5060", "--line-noise", "white:6"},   // above full scale
      {"--listen", "127.0.0.1:5060", "--line-echo", "50:3"},       // echo louder than its source
      {"--listen", "127.0.0.1:5060", "--line-echo", "-5:-15"},
      {"--listen", "127.0.0.1:5060", "--devices", "2"},           // devices register
      {"--registrar", "127.0.0.1:5060", "--devices", "2", "--state", "s.json"},  // one file for two
      {"--registrar", "127.0.0.1:5060", "--user", "u", "--state-dir", "d"},      // without --devices
      {"--registrar", "127.0.0.1:5060", "--devices", "2", "--device-fault", "3:busy"},
      {"--registrar", "127.0.0.1:5060", "--devices", "2", "--device-fault", "0:busy"},
      {"--registrar", "127.0.0.1:5060", "--devices", "2", "--device-fault", "1:asleep"},
      {"--registrar", "127.0.0.1:5060", "--devices", "2", "--device-fault", "1:busy@2"},
      {"--registrar", "127.0.0.1:5060", "--devices", "2", "--device-fault", "1:silence@0"},
  };
  for (const auto& args : refused) {
    std::string joined;
    for (const auto& arg : args) joined += arg + " ";
    EXPECT_THROW(parse(args), std::invalid_argument) << joined;
  }
}

TEST(SimOptions, AnswerNamesRoundTrip) {
  for (Signal s : {Signal::SingleConfirmation, Signal::DoubleConfirmation, Signal::MultiDevicePrompt,
                   Signal::AlternatingDisconnect, Signal::ParameterError})
    EXPECT_EQ(answerNamed(answerName(s)), s);
  EXPECT_FALSE(answerNamed("unknown"));
}

}  // namespace
}  // namespace qav::sim
