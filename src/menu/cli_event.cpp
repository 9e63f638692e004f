#include "menu/cli_event.h"

#include <nlohmann/json.hpp>

namespace qav::menu {

namespace {

struct LevelLook {
  const char* level;
  const char* symbol;
  const char* colour;
};

constexpr LevelLook looks[] = {
    {"info", "i", "36"},  {"pending", "…", "36"}, {"success", "✓", "32"},
    {"retry", "↻", "33"}, {"error", "✗", "31"},
};

LevelLook lookOf(const std::string& level) {
  for (const LevelLook& look : looks)
    if (level == look.level) return look;
  return {"", "?", "35"};
}

std::optional<std::string> textMember(const nlohmann::json& object, const char* name) {
  const auto member = object.find(name);
  if (member == object.end() || !member->is_string()) return std::nullopt;
  return member->get<std::string>();
}

}  // namespace

std::optional<CliEvent> parseCliEvent(const std::string& line) {
  const nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
  auto level = textMember(parsed, "level");
  auto event = textMember(parsed, "event");
  auto message = textMember(parsed, "message");
  if (!level || !event || !message) return std::nullopt;
  return CliEvent{*level, *event, *message};
}

std::string renderEvent(const CliEvent& event, bool colour) {
  const LevelLook look = lookOf(event.level);
  const std::string bracket = std::string("[") + look.symbol + "]";
  if (!colour) return bracket + " " + event.message;
  return std::string("\x1b[") + look.colour + "m" + bracket + "\x1b[0m " + event.message;
}

std::string renderRawLine(const std::string& line) { return "[?] " + line; }

}  // namespace qav::menu
