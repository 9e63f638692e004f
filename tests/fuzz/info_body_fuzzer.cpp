// Bodies of SIP INFO application/dtmf-relay requests into the simulator's
// parser: arbitrary bytes, and well-formed bodies in the spellings senders
// use (key case, blanks, CRLF or LF, other lines), which must give back the
// key and duration they were written with.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "qav-sim/dtmf_relay.h"

namespace {

using qav::fuzz::check;

constexpr char kKeys[] = "0123456789*#ABCDabcd";
constexpr std::uint32_t kLongestMs = 60'000;

void checkParsed(const std::optional<qav::sim::RelayedDigit>& parsed) {
  if (!parsed) return;
  check(std::string_view("0123456789*#ABCD").find(parsed->digit) != std::string_view::npos,
        "parsed something that is not a key");
  check(!parsed->durationMs || *parsed->durationMs <= kLongestMs, "duration beyond the longest key press");
}

std::string spelled(FuzzedDataProvider& input, std::string key) {
  for (char& c : key)
    if (input.ConsumeBool()) c = static_cast<char>(c - 'a' + 'A');
  return key;
}

std::string blanks(FuzzedDataProvider& input) {
  constexpr const char* kBlanks[] = {"", " ", "  ", "\t", " \t"};
  return kBlanks[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kBlanks) - 1)];
}

void wellFormed(FuzzedDataProvider& input) {
  const char key = kKeys[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kKeys) - 2)];
  const bool withDuration = input.ConsumeBool();
  const std::uint32_t ms = input.ConsumeIntegralInRange<std::uint32_t>(0, kLongestMs);
  const bool durationFirst = input.ConsumeBool();
  const std::string eol = input.ConsumeBool() ? "\r\n" : "\n";
  // Other lines carry no "=" or an unknown key; neither may change the result.
  const std::string other = input.ConsumeBool() ? "Volume=10" : "";
  const std::string signal = blanks(input) + spelled(input, "signal") + blanks(input) + "=" + blanks(input) +
                             key + blanks(input);
  const std::string duration = blanks(input) + spelled(input, "duration") + blanks(input) + "=" +
                               blanks(input) + std::to_string(ms) + blanks(input);
  std::string body;
  if (withDuration && durationFirst) body += duration + eol;
  body += signal + eol;
  if (!other.empty()) body += other + eol;
  if (withDuration && !durationFirst) body += duration + eol;
  if (input.ConsumeBool()) body.resize(body.size() - eol.size());

  const auto parsed = qav::sim::parseDtmfRelay(body);
  check(parsed.has_value(), "well-formed body refused: " + body);
  check(parsed->digit == static_cast<char>(std::toupper(static_cast<unsigned char>(key))),
        "wrong key from: " + body);
  check(parsed->durationMs == (withDuration ? std::optional<std::uint32_t>(ms) : std::nullopt),
        "wrong duration from: " + body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0 && data[0] == 'W') {
    FuzzedDataProvider input(data + 1, size - 1);
    wellFormed(input);
    return 0;
  }
  checkParsed(qav::sim::parseDtmfRelay(std::string_view(reinterpret_cast<const char*>(data), size)));
  return 0;
}
