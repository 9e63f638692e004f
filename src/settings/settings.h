// The one record a run of qav-cli is driven by, with its built-in defaults.
// Filled from file, environment and command line, then validated and frozen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qav {

enum class SipTransport : int { Udp = 0, Tcp = 1, Tls = 2 };
enum class DtmfMethod : int { Rfc4733 = 0, Inband = 1, SipInfo = 2 };
enum class ColorMode : int { Auto = 0, Always = 1, Never = 2 };

// Everything the telephony session needs; the session keeps its own copy.
struct SipSettings {
  std::string server;
  std::uint16_t port = 5060;
  SipTransport transport = SipTransport::Udp;
  std::string user;
  std::string authUser;
  std::string password;
  std::string passwordEnv = "QAV_SIP_PASSWORD";
  std::string realm = "*";
  std::string proxy;
  std::string stunServer;
  std::string dialPrefix;
  bool ice = false;
  // TLS: check the server's certificate against the CA certificates of
  // tlsCaFile (PEM). Off by default: PBXs often present self-signed ones.
  bool tlsVerify = false;
  std::string tlsCaFile;
  DtmfMethod dtmfMethod = DtmfMethod::Rfc4733;
  std::uint32_t dtmfToneMs = 500;
  std::uint32_t dtmfGapMs = 110;
  std::uint32_t registrationTimeoutSec = 20;
  std::uint32_t callTimeoutSec = 60;

  bool operator==(const SipSettings&) const = default;
};

// The QAV and the job. QAV parameters are kept as the digit text that is
// later sent, not as numbers.
struct DeviceSettings {
  std::string target;
  std::string pin = "5831";
  std::string newPin = "5831";
  std::uint32_t cabin = 0;
  std::vector<std::string> actions{"clock", "routine"};
  std::string routineAt = "auto";
  std::uint32_t routineDays = 3;
  std::string serviceNumber;
  std::vector<std::string> emergencyNumbers{"", "", "", ""};
  std::string dialMode = "1";
  std::string dialAttempts = "12";
  std::string callDuration = "6";
  std::string inputMode = "1";
  std::string callProtection = "off";
  std::string routineFault = "0";
  std::string z208Id;
  std::string outputMode = "0";
  std::string alarmLatency = "3";
  std::string alarmHorn = "0";
  std::string lineImpedance = "1";
  std::string busAddress = "0";
  std::string emergencyTrigger1 = "111";
  std::string emergencyTrigger2 = "222";
  std::string emergencyTrigger3 = "333";
  std::uint32_t retries = 2;
  std::uint32_t settleMs = 500;

  bool operator==(const DeviceSettings&) const = default;
};

struct Settings {
  SipSettings sip;
  DeviceSettings device;
  ColorMode color = ColorMode::Auto;
  bool json = false;
  bool dryRun = false;
  std::string configPath;
  // Empty: the call is not recorded.
  std::string recordAudioPath;
  // Empty: no report of the call is written.
  std::string reportPath;

  bool operator==(const Settings&) const = default;
};

}  // namespace qav
