#include "settings/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

#include "settings/setting_values.h"
#include "settings/text_util.h"

namespace qav {

namespace {

// A real configuration is a few hundred bytes; the cap keeps a path like
// /dev/zero from eating all memory before the first line ends.
constexpr std::size_t maxConfigBytes = 1024 * 1024;

class OpenFile {
 public:
  explicit OpenFile(int fd) : fd_(fd) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() { ::close(fd_); }
  int fd() const { return fd_; }

 private:
  int fd_;
};

std::runtime_error cannotOpen(const std::string& path) {
  return std::runtime_error("Konfigurationsdatei kann nicht geöffnet werden: " + path);
}

bool pathExists(const std::string& path) {
  std::error_code error;
  const bool exists = std::filesystem::exists(path, error);
  if (error)
    throw std::runtime_error("Konfigurationsdatei kann nicht gesucht werden: " + path + ": " +
                             error.message());
  return exists;
}

// open() succeeds on a directory and only read() fails, which would pass
// for an empty file; a directory is therefore refused like a missing file.
// A FIFO without a writer (a stray one named qav-cli.conf in the working
// directory) would block open() for ever: it is opened without waiting and
// then read like any file, so that it reads as empty, while a pipe that has
// a writer (--config <(...)) is read to its end.
int openForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw cannotOpen(path);
  struct stat status {};
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    throw cannotOpen(path);
  }
  return fd;
}

std::string readContent(const OpenFile& file, const std::string& path) {
  std::string content;
  char buffer[8192];
  while (true) {
    const ssize_t count = ::read(file.fd(), buffer, sizeof buffer);
    if (count == 0) return content;
    if (count < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("Konfigurationsdatei kann nicht gelesen werden: " + path);
    }
    content.append(buffer, static_cast<std::size_t>(count));
    if (content.size() > maxConfigBytes)
      throw std::runtime_error("Konfigurationsdatei ist größer als 1 MiB: " + path);
  }
}

// The descriptor is the file itself, reached through any symbolic links, so
// the bits checked are those of the file that was read.
void checkPasswordFileMode(const OpenFile& file, const std::string& path) {
  struct stat status {};
  if (::fstat(file.fd(), &status) != 0)
    throw std::runtime_error("Dateirechte der Konfigurationsdatei können nicht geprüft werden: " +
                             path);
  if ((status.st_mode & 077) != 0)
    throw std::runtime_error(
        "Konfigurationsdatei mit SIP-Passwort darf keine Gruppen- oder Fremdrechte besitzen: " +
        path);
}

std::string normaliseKey(std::string_view raw) {
  std::string key = lowerAscii(trimBlanks(raw));
  for (char& c : key)
    if (c == '_') c = '-';
  return key;
}

// Only one pair of enclosing double quotes is removed; there are no escapes.
std::string unquote(std::string value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    return value.substr(1, value.size() - 2);
  return value;
}

class IniParser {
 public:
  explicit IniParser(const std::string& path) : path_(path) {}

  void feed(std::string_view rawLine) {
    ++lineNumber_;
    const std::string line = trimBlanks(rawLine);
    if (line.empty() || line.front() == '#' || line.front() == ';') return;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section_ = lowerAscii(trimBlanks(std::string_view(line).substr(1, line.size() - 2)));
      return;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos)
      throw std::runtime_error(path_ + ":" + std::to_string(lineNumber_) + ": '=' fehlt");
    std::string key = normaliseKey(std::string_view(line).substr(0, equals));
    if (section_ == "sip") key = "sip-" + key;
    if (!isSettingKey(key)) content_.unknownKeys.push_back({path_, lineNumber_, key});
    content_.map[key] = unquote(trimBlanks(std::string_view(line).substr(equals + 1)));
  }

  ConfigFileContent& content() { return content_; }

 private:
  const std::string& path_;
  std::string section_;
  unsigned long lineNumber_ = 0;
  ConfigFileContent content_;
};

ConfigFileContent parseIni(std::string_view content, const std::string& path) {
  IniParser parser(path);
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    parser.feed(content.substr(start, end - start));
    start = end + 1;
  }
  return std::move(parser.content());
}

}  // namespace

std::optional<std::string> locateConfigFile(const CommandLine& commandLine) {
  const auto given = commandLine.options.find("config");
  if (given != commandLine.options.end()) return given->second;
  for (const char* candidate : {systemConfigPath, localConfigPath})
    if (pathExists(candidate)) return std::string(candidate);
  return std::nullopt;
}

ConfigFileContent readConfigFileContent(const std::string& path) {
  const OpenFile file(openForReading(path));
  ConfigFileContent content = parseIni(readContent(file, path), path);
  if (content.map.count("sip-password") != 0) checkPasswordFileMode(file, path);
  return content;
}

SettingMap readConfigFile(const std::string& path) { return readConfigFileContent(path).map; }

}  // namespace qav
