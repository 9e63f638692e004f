// The technician's side of the menu: prompts and plain lines on standard
// output, answers read line by line, so that it works on any terminal, over
// SSH, on a serial console and from a pipe.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace qav::menu {

// End of standard input: the menu ends cleanly wherever it is.
struct InputEnded {};

// Ctrl-C while the technician was asked something: the menu goes back to
// its main menu, or at the main menu asks whether to quit.
struct PromptInterrupted {};

// From now on Ctrl-C (SIGINT) interrupts the prompt instead of ending the
// process; a qav-cli run in the foreground still gets it and stops itself.
void catchInterrupts();

// The answer as the menu takes it: escape sequences (arrow and function
// keys) and other control bytes removed.
std::string withoutControlBytes(const std::string& typed);

// The longest answer the menu takes; a longer one is asked again.
inline constexpr std::size_t maxAnswerLength = 1000;

class Console {
 public:
  // inputIsTerminal: answers are echoed by the terminal, and the password
  // can be read with echo switched off. When input comes from a pipe the
  // answers are written after their prompts so that a transcript reads
  // like a session. colour: ANSI colour for status symbols.
  Console(std::istream& in, std::ostream& out, bool inputIsTerminal, bool colour);

  // The answer without surrounding blanks. Throws InputEnded and
  // PromptInterrupted.
  std::string ask(const std::string& prompt);
  // The answer as typed (only a carriage return at its end is dropped),
  // never echoed. Throws InputEnded.
  std::string askSecret(const std::string& prompt);
  // "j"/"ja" is yes; anything else is no.
  bool confirm(const std::string& question);

  void say(const std::string& line);
  // A line with qav-cli's status symbol for the level (info, success, ...).
  void status(const std::string& level, const std::string& message);

  std::ostream& stream() { return out; }
  bool colour() const { return useColour; }

 private:
  std::string readLine(const std::string& prompt, bool secret);
  std::string readAnswer(const std::string& prompt, bool secret);

  std::istream& in;
  std::ostream& out;
  bool inputIsTerminal;
  bool useColour;
};

}  // namespace qav::menu
