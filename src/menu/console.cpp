#include "menu/console.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <istream>
#include <iterator>
#include <ostream>

#include "menu/cli_event.h"
#include "settings/text_util.h"

namespace qav::menu {

namespace {

// The terminal settings to put back if a signal ends the menu while echo is
// off; otherwise the technician's shell would stay blind after Ctrl-C.
termios savedTerminal{};
volatile sig_atomic_t echoIsOff = 0;

void restoreAndDie(int signalNumber) {
  if (echoIsOff) ::tcsetattr(0, TCSAFLUSH, &savedTerminal);
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

constexpr int endingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

// Switches the terminal's echo off for as long as it lives.
class EchoOff {
 public:
  EchoOff() {
    if (::tcgetattr(0, &savedTerminal) != 0) return;
    struct sigaction handler {};
    handler.sa_handler = restoreAndDie;
    for (std::size_t i = 0; i < std::size(endingSignals); ++i)
      ::sigaction(endingSignals[i], &handler, &previous[i]);
    termios quiet = savedTerminal;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    echoIsOff = ::tcsetattr(0, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (echoIsOff) ::tcsetattr(0, TCSAFLUSH, &savedTerminal);
    echoIsOff = 0;
    for (std::size_t i = 0; i < std::size(endingSignals); ++i)
      ::sigaction(endingSignals[i], &previous[i], nullptr);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  struct sigaction previous[std::size(endingSignals)]{};
};

}  // namespace

Console::Console(std::istream& in, std::ostream& out, bool inputIsTerminal, bool colour)
    : in(in), out(out), inputIsTerminal(inputIsTerminal), useColour(colour) {}

std::string Console::readLine(const std::string& prompt, bool secret) {
  std::string line;
  bool got = false;
  if (secret && inputIsTerminal) {
    // Echo goes off before the prompt shows: keys typed as soon as it
    // appears must neither be echoed nor flushed away by TCSAFLUSH.
    const EchoOff quiet;
    out << prompt << std::flush;
    got = static_cast<bool>(std::getline(in, line));
  } else {
    out << prompt << std::flush;
    got = static_cast<bool>(std::getline(in, line));
  }
  if (!got) {
    out << '\n' << std::flush;
    throw InputEnded{};
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (secret || !inputIsTerminal) out << (secret ? "" : line) << '\n';
  out << std::flush;
  return line;
}

std::string Console::ask(const std::string& prompt) { return trimBlanks(readLine(prompt, false)); }

std::string Console::askSecret(const std::string& prompt) { return readLine(prompt, true); }

bool Console::confirm(const std::string& question) {
  const std::string answer = lowerAscii(ask(question + " (j/n): "));
  return answer == "j" || answer == "ja";
}

void Console::say(const std::string& line) { out << line << '\n' << std::flush; }

void Console::status(const std::string& level, const std::string& message) {
  say(renderEvent({level, "", message}, useColour));
}

}  // namespace qav::menu
