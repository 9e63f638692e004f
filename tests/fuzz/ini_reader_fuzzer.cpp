// The configuration file reader against a small model of the INI rules: the
// same map or the same first error, for any bytes and either file mode.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "fuzz_check.h"
#include "settings/config_file.h"
#include "settings/setting_values.h"
#include "settings/validation.h"

namespace {

using qav::SettingMap;

std::string filePath;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string trim(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::string lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

struct ModelResult {
  SettingMap map;
  std::optional<std::string> error;
};

ModelResult modelRead(std::string_view content, const std::string& path, bool othersMayRead) {
  ModelResult result;
  std::string section;
  unsigned line = 0;
  while (!content.empty()) {
    const std::size_t newline = content.find('\n');
    const std::string text = trim(content.substr(0, newline));
    content = newline == std::string_view::npos ? std::string_view{} : content.substr(newline + 1);
    ++line;
    if (text.empty() || text[0] == '#' || text[0] == ';') continue;
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
      section = lower(trim(std::string_view(text).substr(1, text.size() - 2)));
      continue;
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
      result.error = path + ":" + std::to_string(line) + ": '=' fehlt";
      return result;
    }
    std::string key = lower(trim(text.substr(0, equals)));
    for (char& c : key)
      if (c == '_') c = '-';
    if (section == "sip") key = "sip-" + key;
    std::string value = trim(text.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    result.map[key] = value;
  }
  if (othersMayRead && result.map.count("sip-password") != 0)
    result.error =
        "Konfigurationsdatei mit SIP-Passwort darf keine Gruppen- oder Fremdrechte besitzen: " + path;
  return result;
}

void writeFile(const std::uint8_t* data, std::size_t size, mode_t mode) {
  const int fd = ::open(filePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  qav::fuzz::check(fd >= 0, "cannot create the input file");
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    qav::fuzz::check(n > 0, "cannot write the input file");
    done += static_cast<std::size_t>(n);
  }
  qav::fuzz::check(::fchmod(fd, mode) == 0, "cannot set the file mode");
  ::close(fd);
}

// The map must also survive the rest of the settings path without anything
// but the documented conversion errors.
void applyAndValidate(const SettingMap& map) {
  qav::Settings settings;
  try {
    qav::applySettingMap(settings, map);
  } catch (const std::runtime_error&) {
    return;
  }
  (void)qav::validateSettings(settings, true);
  (void)qav::validateSettings(settings, false);
}

}  // namespace

// The file is rewritten for every input: on a RAM disk where there is one,
// else the disk costs nine tenths of the run.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  for (std::string dir : {std::string("/dev/shm"), std::string(tmp && *tmp ? tmp : "/tmp")}) {
    std::string pattern = dir + "/qav-ini-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) continue;
    filePath = pattern + "/qav-cli.conf";
    std::atexit([] { std::filesystem::remove_all(std::filesystem::path(filePath).parent_path()); });
    return 0;
  }
  qav::fuzz::fail("cannot create a temporary directory");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the mode: a password file is refused unless 0600.
  const bool othersMayRead = (data[0] & 1) != 0;
  const mode_t mode = othersMayRead ? ((data[0] & 2) ? 0640 : 0604) : 0600;
  const std::string_view content(reinterpret_cast<const char*>(data + 1), size - 1);
  writeFile(data + 1, size - 1, mode);

  const ModelResult expected = modelRead(content, filePath, othersMayRead);
  try {
    const SettingMap map = qav::readConfigFile(filePath);
    qav::fuzz::check(!expected.error, "accepted a file the rules refuse: " + expected.error.value_or(""));
    qav::fuzz::check(map == expected.map, "map differs from the INI rules");
    applyAndValidate(map);
  } catch (const std::runtime_error& error) {
    qav::fuzz::check(expected.error.has_value(), std::string("refused a valid file: ") + error.what());
    qav::fuzz::check(*expected.error == error.what(), std::string("wrong message: ") + error.what());
  }
  return 0;
}
