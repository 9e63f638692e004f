#include "menu/settings_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "menu/ini_writer.h"
#include "menu/setting_text.h"
#include "settings/config_file.h"
#include "settings/setting_values.h"

namespace qav::menu {

namespace {

std::runtime_error writeError(const std::string& path, int error) {
  return std::runtime_error("Datei kann nicht geschrieben werden: " + path + ": " +
                            std::strerror(error));
}

void writeAll(int fd, const std::string& text, const std::string& path) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw writeError(path, errno);
    done += static_cast<std::size_t>(written);
  }
}

bool isKnownKey(const std::string& key) {
  for (const std::string& known : settingKeys())
    if (known == key) return true;
  return false;
}

}  // namespace

void writeNewFile(const std::string& path, const std::string& text, unsigned mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        static_cast<mode_t>(mode));
  if (fd < 0) throw writeError(path, errno);
  try {
    writeAll(fd, text, path);
    if (::fsync(fd) != 0) throw writeError(path, errno);
  } catch (...) {
    ::close(fd);
    ::unlink(path.c_str());
    throw;
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(path.c_str());
    throw writeError(path, error);
  }
}

void saveSettingsFile(const std::string& path, const Settings& settings) {
  const std::string text = iniText(settings);
  const unsigned mode = iniHoldsPassword(settings) ? 0600 : 0644;
  const std::string temporary = path + ".qav-menu-" + std::to_string(::getpid());
  ::unlink(temporary.c_str());  // a leftover of an earlier, interrupted save
  writeNewFile(temporary, text, mode);
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw writeError(path, error);
  }
}

LoadedSettings loadSettingsFile(const std::string& path) {
  SettingMap map = readConfigFile(path);
  LoadedSettings loaded;
  // "config" inside a file only names a file; it is no setting of its own.
  map.erase("config");
  std::erase_if(map, [&](const auto& entry) {
    if (isKnownKey(entry.first)) return false;
    loaded.ignoredKeys.push_back(entry.first);
    return true;
  });
  // Taken as a name only: applying it would look the variable up.
  if (const auto passwordEnv = map.find("sip-password-env"); passwordEnv != map.end()) {
    loaded.settings.sip.passwordEnv = passwordEnv->second;
    map.erase(passwordEnv);
  }
  applySettingMap(loaded.settings, map);
  return loaded;
}

}  // namespace qav::menu
