#include "qav-sim/sim_options.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <stdexcept>

namespace qav::sim {

namespace {

// Steps of a call to a device on its own line: the start signal, the PIN,
// the first opening code.
constexpr std::uint32_t kStartSignalStep = 1;
constexpr std::uint32_t kPinStep = 2;
constexpr std::uint32_t kFirstCodeStep = 3;
constexpr std::uint64_t kMostDevices = 999;
constexpr char kDefaultDeviceUser[] = "qav";

constexpr std::array<std::pair<Signal, const char*>, 5> kAnswerNames{{
    {Signal::SingleConfirmation, "single-confirmation"},
    {Signal::DoubleConfirmation, "double-confirmation"},
    {Signal::MultiDevicePrompt, "multi-device-prompt"},
    {Signal::AlternatingDisconnect, "alternating-disconnect"},
    {Signal::ParameterError, "parameter-error"},
}};

[[noreturn]] void invalid(const std::string& option, const std::string& value) {
  throw std::invalid_argument("Ungültiger Wert für " + option + ": " + value);
}

std::uint64_t number(const std::string& option, const std::string& value, std::uint64_t lowest,
                     std::uint64_t highest) {
  std::uint64_t parsed = 0;
  const char* end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, parsed);
  if (value.empty() || error != std::errc{} || stop != end || parsed < lowest || parsed > highest)
    invalid(option, value);
  return parsed;
}

double decimal(const std::string& option, const std::string& value) {
  char* stop = nullptr;
  const double parsed = std::strtod(value.c_str(), &stop);
  if (value.empty() || stop != value.c_str() + value.size() || !std::isfinite(parsed))
    invalid(option, value);
  return parsed;
}

milliseconds duration(const std::string& option, const std::string& value) {
  // An hour is far beyond any time limit of the programming side.
  return milliseconds(number(option, value, 0, 3'600'000));
}

std::uint32_t step(const std::string& option, const std::string& value) {
  return static_cast<std::uint32_t>(number(option, value, 1, std::numeric_limits<std::uint32_t>::max()));
}

HostPort hostPort(const std::string& option, const std::string& value, std::uint16_t lowestPort) {
  const auto colon = value.rfind(':');
  if (colon == std::string::npos || colon == 0) invalid(option, value);
  std::string host = value.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  const auto port = number(option, value.substr(colon + 1), lowestPort, 65535);
  return {host, static_cast<std::uint16_t>(port)};
}

StunServer stunServerNamed(const std::string& option, const std::string& value) {
  const std::optional<StunServer> server = parseStunServer(value);
  if (!server) invalid(option, value);
  return *server;
}

SipTransport transportNamed(const std::string& option, const std::string& value) {
  if (value == "udp") return SipTransport::Udp;
  if (value == "tcp") return SipTransport::Tcp;
  if (value == "tls") return SipTransport::Tls;
  invalid(option, value);
}

StepTone stepTone(const std::string& option, const std::string& value) {
  const auto colon = value.find(':');
  if (colon == std::string::npos) invalid(option, value);
  const std::optional<Signal> pattern = answerNamed(value.substr(colon + 1));
  if (!pattern) invalid(option, value);
  return {step(option, value.substr(0, colon)), *pattern};
}

line::LineSpec& lineOf(SimOptions& options) {
  if (!options.line) options.line.emplace(*line::lineNamed("linear"));
  return *options.line;
}

std::vector<line::CodecKind> lineCodecs(const std::string& option, const std::string& value) {
  const std::optional<line::LineSpec> named = line::lineNamed(value);
  if (!named)
    throw std::invalid_argument("Unbekanntes Leitungsmodell für " + option + ": " + value);
  return named->codecs;
}

// COLOUR:DBFS, such as "white:-45".
line::NoiseSpec lineNoise(const std::string& option, const std::string& value) {
  const auto colon = value.find(':');
  if (colon == std::string::npos) invalid(option, value);
  const std::optional<line::NoiseColour> colour = line::noiseColourNamed(value.substr(0, colon));
  if (!colour) invalid(option, value);
  const double dbfs = decimal(option, value.substr(colon + 1));
  if (dbfs > 0.0) invalid(option, value);
  return {*colour, dbfs, 1};
}

// MS:DB, such as "50:-15": the delay of the caller's audio coming back and
// its loss, which no real line turns into a gain.
line::EchoSpec lineEcho(const std::string& option, const std::string& value) {
  const auto colon = value.find(':');
  if (colon == std::string::npos) invalid(option, value);
  const auto delay = static_cast<std::uint32_t>(number(option, value.substr(0, colon), 0, 2000));
  const double gain = decimal(option, value.substr(colon + 1));
  if (gain > 0.0) invalid(option, value);
  return {delay, gain};
}

constexpr std::array<std::pair<DeviceFaultKind, const char*>, 5> kDeviceFaultNames{{
    {DeviceFaultKind::Busy, "busy"},
    {DeviceFaultKind::Silence, "silence"},
    {DeviceFaultKind::ParameterError, "parameter-error"},
    {DeviceFaultKind::WrongPin, "wrong-pin"},
    {DeviceFaultKind::HangUp, "hang-up"},
}};

// K:NAME[@STEP], such as "7:busy" or "12:silence@4".
DeviceFault deviceFault(const std::string& option, const std::string& value) {
  const auto colon = value.find(':');
  if (colon == std::string::npos) invalid(option, value);
  DeviceFault fault;
  fault.device = static_cast<std::uint32_t>(number(option, value.substr(0, colon), 1, kMostDevices));
  std::string name = value.substr(colon + 1);
  if (const auto at = name.find('@'); at != std::string::npos) {
    fault.step = step(option, name.substr(at + 1));
    name.resize(at);
  }
  for (const auto& [kind, known] : kDeviceFaultNames)
    if (name == known) {
      fault.kind = kind;
      if (fault.step && (kind == DeviceFaultKind::Busy || kind == DeviceFaultKind::WrongPin)) invalid(option, value);
      return fault;
    }
  invalid(option, value);
}

void applyFault(const DeviceFault& fault, FaultPlan& faults) {
  switch (fault.kind) {
    case DeviceFaultKind::Busy:
      faults.busy = true;
      return;
    case DeviceFaultKind::Silence:
      faults.silenceAt = fault.step.value_or(kStartSignalStep);
      return;
    case DeviceFaultKind::ParameterError:
      faults.parameterErrorsFrom = fault.step.value_or(kFirstCodeStep);
      return;
    case DeviceFaultKind::WrongPin:
      faults.refusesPin = true;
      return;
    case DeviceFaultKind::HangUp:
      faults.hangUpAfter = fault.step.value_or(kPinStep);
      return;
  }
}

// At least two digits, as the accounts of a PBX are usually numbered.
std::string numberedUser(const std::string& prefix, std::uint32_t device) {
  std::string digits = std::to_string(device);
  if (digits.size() < 2) digits.insert(0, "0");
  return prefix + digits;
}

std::string withUser(std::string password, const std::string& user) {
  static const std::string placeholder = "{user}";
  for (auto at = password.find(placeholder); at != std::string::npos; at = password.find(placeholder, at + user.size()))
    password.replace(at, placeholder.size(), user);
  return password;
}

using ValueSetter = std::function<void(SimOptions&, const std::string& option, const std::string& value)>;
using FlagSetter = std::function<void(SimOptions&)>;

const std::map<std::string, ValueSetter>& valueOptions() {
  static const std::map<std::string, ValueSetter> options{
      {"--registrar", [](SimOptions& o, auto& k, auto& v) { o.registrar = hostPort(k, v, 1); }},
      {"--listen", [](SimOptions& o, auto& k, auto& v) { o.listen = hostPort(k, v, 0); }},
      {"--user", [](SimOptions& o, auto&, auto& v) { o.user = v; }},
      {"--password", [](SimOptions& o, auto&, auto& v) { o.password = v; }},
      {"--transport", [](SimOptions& o, auto& k, auto& v) { o.transport = transportNamed(k, v); }},
      {"--state", [](SimOptions& o, auto&, auto& v) { o.stateFile = v; }},
      {"--devices",
       [](SimOptions& o, auto& k, auto& v) { o.devices = static_cast<std::uint32_t>(number(k, v, 1, kMostDevices)); }},
      {"--state-dir", [](SimOptions& o, auto&, auto& v) { o.stateDir = v; }},
      {"--device-fault", [](SimOptions& o, auto& k, auto& v) { o.deviceFaults.push_back(deviceFault(k, v)); }},
      {"--stun-server", [](SimOptions& o, auto& k, auto& v) { o.stunServer = stunServerNamed(k, v); }},
      {"--ring-ms", [](SimOptions& o, auto& k, auto& v) { o.ringDelay = duration(k, v); }},
      {"--calls",
       [](SimOptions& o, auto& k, auto& v) {
         o.calls = static_cast<std::uint32_t>(number(k, v, 1, std::numeric_limits<std::uint32_t>::max()));
       }},
      {"--start-signal-delay-ms",
       [](SimOptions& o, auto& k, auto& v) { o.timing.startSignalDelay = duration(k, v); }},
      {"--answer-delay-ms", [](SimOptions& o, auto& k, auto& v) { o.timing.answerDelay = duration(k, v); }},
      {"--inter-digit-pause-ms",
       [](SimOptions& o, auto& k, auto& v) { o.timing.interDigitPause = duration(k, v); }},
      {"--empty-entry-after-ms",
       [](SimOptions& o, auto& k, auto& v) { o.timing.emptyEntryAfter = duration(k, v); }},
      {"--abandon-after-ms", [](SimOptions& o, auto& k, auto& v) { o.timing.abandonAfter = duration(k, v); }},
      {"--calibration-ms", [](SimOptions& o, auto& k, auto& v) { o.timing.calibration = duration(k, v); }},
      {"--wrong-tone", [](SimOptions& o, auto& k, auto& v) { o.faults.wrongTone = stepTone(k, v); }},
      {"--parameter-error-at", [](SimOptions& o, auto& k, auto& v) { o.faults.parameterErrorAt = step(k, v); }},
      {"--silence-at", [](SimOptions& o, auto& k, auto& v) { o.faults.silenceAt = step(k, v); }},
      {"--hang-up-after", [](SimOptions& o, auto& k, auto& v) { o.faults.hangUpAfter = step(k, v); }},
      {"--level-dbfs", [](SimOptions& o, auto& k, auto& v) { o.faults.line.levelDbfs = decimal(k, v); }},
      {"--noise-dbfs", [](SimOptions& o, auto& k, auto& v) { o.faults.line.noiseDbfs = decimal(k, v); }},
      {"--frequency-offset-percent",
       [](SimOptions& o, auto& k, auto& v) { o.faults.line.frequencyOffsetPercent = decimal(k, v); }},
      {"--line", [](SimOptions& o, auto& k, auto& v) { lineOf(o).codecs = lineCodecs(k, v); }},
      {"--line-noise", [](SimOptions& o, auto& k, auto& v) { lineOf(o).noise = lineNoise(k, v); }},
      {"--line-echo", [](SimOptions& o, auto& k, auto& v) { lineOf(o).echo = lineEcho(k, v); }},
  };
  return options;
}

const std::map<std::string, FlagSetter>& flagOptions() {
  static const std::map<std::string, FlagSetter> flags{
      {"--events", [](SimOptions& o) { o.events = true; }},
      {"--ice", [](SimOptions& o) { o.ice = true; }},
      {"--no-hang-up-after-zero", [](SimOptions& o) { o.faults.noHangUpAfterZero = true; }},
      {"--second-device", [](SimOptions& o) { o.faults.secondDevice = true; }},
      {"--help", [](SimOptions& o) { o.help = true; }},
  };
  return flags;
}

void checkComplete(const SimOptions& options) {
  if (options.help) return;
  if (options.registrar.has_value() == options.listen.has_value())
    throw std::invalid_argument("Entweder --registrar oder --listen angeben");
  if (options.registrar && options.user.empty() && !options.devices)
    throw std::invalid_argument("--registrar verlangt --user");
  if (options.devices) {
    if (!options.registrar) throw std::invalid_argument("--devices verlangt --registrar");
    if (!options.stateFile.empty())
      throw std::invalid_argument("--devices hält die Zustände mit --state-dir, nicht mit --state");
    for (const DeviceFault& fault : options.deviceFaults)
      if (fault.device > *options.devices)
        throw std::invalid_argument("--device-fault nennt Gerät " + std::to_string(fault.device) + ", es gibt nur " +
                                    std::to_string(*options.devices));
  } else if (!options.stateDir.empty() || !options.deviceFaults.empty()) {
    throw std::invalid_argument("--state-dir und --device-fault verlangen --devices");
  }
  const double level = options.faults.line.levelDbfs;
  // Above full scale the tones would clip into a different spectrum.
  if (level > 0.0 || level < -96.0) throw std::invalid_argument("--level-dbfs muss zwischen -96 und 0 liegen");
}

}  // namespace

SimOptions parseSimOptions(const std::vector<std::string>& arguments) {
  SimOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    if (const auto flag = flagOptions().find(option); flag != flagOptions().end()) {
      flag->second(options);
      continue;
    }
    const auto setter = valueOptions().find(option);
    if (setter == valueOptions().end()) throw std::invalid_argument("Unbekannte Option: " + option);
    if (i + 1 == arguments.size()) throw std::invalid_argument("Wert fehlt für " + option);
    setter->second(options, option, arguments[++i]);
  }
  checkComplete(options);
  return options;
}

std::string simUsage() {
  return "Aufruf: qav-sim (--registrar HOST:PORT --user U --password P | --listen ADRESSE:PORT)\n"
         "               [--transport udp|tcp|tls] [--state DATEI] [--ring-ms N] [--calls N] [--events]\n"
         "               [--stun-server HOST[:PORT]] [--ice]\n"
         "       qav-sim --help\n"
         "  Geräte:       --devices N [--state-dir VERZEICHNIS] [--device-fault K:FEHLER[@STEP]]...\n"
         "                meldet --user (Standard qav) mit Nummer 01 ... N an, jedes mit --password\n"
         "                ({user} steht für den Namen) und VERZEICHNIS/BENUTZER.json;\n"
         "                Ereigniszeilen beginnen mit BENUTZER\n"
         "  FEHLER:       busy, silence (Standard Schritt 1), parameter-error (ab Schritt 3),\n"
         "                wrong-pin, hang-up (nach Schritt 2)\n"
         "  Zeiten in ms: --start-signal-delay-ms N --answer-delay-ms N --inter-digit-pause-ms N\n"
         "                --empty-entry-after-ms N --abandon-after-ms N --calibration-ms N\n"
         "  Fehlerbilder: --wrong-tone STEP:ANSWER --parameter-error-at STEP --silence-at STEP\n"
         "                --hang-up-after STEP --no-hang-up-after-zero --second-device\n"
         "                --level-dbfs X --noise-dbfs X --frequency-offset-percent X\n"
         "  Leitung:      --line CODEC[+CODEC...] --line-noise FARBE:DBFS --line-echo MS:DB\n"
         "  CODEC:        linear, ulaw, alaw, gsm, amr475 ... amr122, amrwb660 ... amrwb2385,\n"
         "                amrwb (12,65 kbit/s); AMR auch mit -dtx, etwa amr475-dtx\n"
         "  FARBE:        white, pink, speech\n"
         "  ANSWER:       single-confirmation, double-confirmation, multi-device-prompt,\n"
         "                alternating-disconnect, parameter-error\n"
         "  STEP:         n-ter Anlass eines Anrufs, ab 1 für den Startton\n";
}

std::vector<DeviceSpec> deviceSpecs(const SimOptions& options) {
  if (!options.devices) return {DeviceSpec{options.user, options.password, options.stateFile, options.faults, ""}};
  const std::string prefix = options.user.empty() ? kDefaultDeviceUser : options.user;
  std::vector<DeviceSpec> devices;
  for (std::uint32_t device = 1; device <= *options.devices; ++device) {
    DeviceSpec spec{numberedUser(prefix, device), "", "", options.faults, ""};
    spec.password = withUser(options.password, spec.user);
    if (!options.stateDir.empty()) spec.stateFile = options.stateDir + "/" + spec.user + ".json";
    for (const DeviceFault& fault : options.deviceFaults)
      if (fault.device == device) applyFault(fault, spec.faults);
    spec.eventPrefix = spec.user + " ";
    devices.push_back(std::move(spec));
  }
  return devices;
}

std::string answerName(Signal pattern) {
  for (const auto& [signal, name] : kAnswerNames)
    if (signal == pattern) return name;
  return "unknown";
}

std::optional<Signal> answerNamed(const std::string& name) {
  for (const auto& [signal, known] : kAnswerNames)
    if (name == known) return signal;
  return std::nullopt;
}

}  // namespace qav::sim
