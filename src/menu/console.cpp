#include "menu/console.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
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
volatile sig_atomic_t interruptSeen = 0;

void noteInterrupt(int) { interruptSeen = 1; }

void restoreAndDie(int signalNumber) {
  if (echoIsOff) ::tcsetattr(0, TCSAFLUSH, &savedTerminal);
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

// SIGINT is not among them once catchInterrupts() has run: it then leaves
// the read, and EchoOff's destructor puts the echo back.
constexpr int endingSignals[] = {SIGQUIT, SIGTERM, SIGHUP};
bool interruptsCaught = false;

// Switches the terminal's echo off for as long as it lives.
class EchoOff {
 public:
  EchoOff() {
    if (::tcgetattr(0, &savedTerminal) != 0) return;
    struct sigaction handler {};
    handler.sa_handler = restoreAndDie;
    for (std::size_t i = 0; i < std::size(endingSignals); ++i)
      ::sigaction(endingSignals[i], &handler, &previous[i]);
    if (!interruptsCaught) ::sigaction(SIGINT, &handler, &previousInterrupt);
    termios quiet = savedTerminal;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    echoIsOff = ::tcsetattr(0, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (echoIsOff) ::tcsetattr(0, TCSAFLUSH, &savedTerminal);
    echoIsOff = 0;
    for (std::size_t i = 0; i < std::size(endingSignals); ++i)
      ::sigaction(endingSignals[i], &previous[i], nullptr);
    if (!interruptsCaught) ::sigaction(SIGINT, &previousInterrupt, nullptr);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  struct sigaction previous[std::size(endingSignals)]{};
  struct sigaction previousInterrupt {};
};

bool isFinalByte(char c) { return c >= 0x40 && c <= 0x7e; }

}  // namespace

void catchInterrupts() {
  // Without SA_RESTART, so that a read waiting for the answer returns.
  struct sigaction handler {};
  handler.sa_handler = noteInterrupt;
  ::sigaction(SIGINT, &handler, nullptr);
  interruptsCaught = true;
}

std::string withoutControlBytes(const std::string& typed) {
  std::string kept;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const auto c = static_cast<unsigned char>(typed[i]);
    if (c == 0x1b) {
      // CSI "ESC [ … final" and SS3 "ESC O x"; any other ESC takes one byte.
      if (i + 1 < typed.size() && typed[i + 1] == '[') {
        i += 2;
        while (i < typed.size() && !isFinalByte(typed[i])) ++i;
      } else if (i + 1 < typed.size() && typed[i + 1] == 'O') {
        i += 2;
      } else {
        ++i;
      }
      continue;
    }
    if (c < 0x20 || c == 0x7f) continue;
    kept += typed[i];
  }
  return kept;
}

Console::Console(std::istream& in, std::ostream& out, bool inputIsTerminal, bool colour)
    : in(in), out(out), inputIsTerminal(inputIsTerminal), useColour(colour) {}

std::string Console::readLine(const std::string& prompt, bool secret) {
  std::string line;
  bool got = false;
  interruptSeen = 0;
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
    if (interruptSeen) {
      // The read ended by Ctrl-C, not by the end of input.
      interruptSeen = 0;
      in.clear();
      std::clearerr(stdin);
      throw PromptInterrupted{};
    }
    throw InputEnded{};
  }
  line = withoutControlBytes(line);
  if (secret || !inputIsTerminal) out << (secret ? "" : line) << '\n';
  out << std::flush;
  return line;
}

std::string Console::readAnswer(const std::string& prompt, bool secret) {
  for (;;) {
    const std::string answer = readLine(prompt, secret);
    if (answer.size() <= maxAnswerLength) return answer;
    say("Die Eingabe ist zu lang (höchstens " + std::to_string(maxAnswerLength) +
        " Zeichen); bitte erneut eingeben.");
  }
}

std::string Console::ask(const std::string& prompt) { return trimBlanks(readAnswer(prompt, false)); }

std::string Console::askSecret(const std::string& prompt) { return readAnswer(prompt, true); }

bool Console::confirm(const std::string& question) {
  const std::string answer = lowerAscii(ask(question + " (j/n): "));
  return answer == "j" || answer == "ja";
}

void Console::say(const std::string& line) { out << line << '\n' << std::flush; }

void Console::status(const std::string& level, const std::string& message) {
  say(renderEvent({level, "", message}, useColour));
}

}  // namespace qav::menu
