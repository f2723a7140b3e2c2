// Runs a session script: one command per line, words separated by blanks,
// "double quotes" around a word with blanks, '#' starts a comment. Every line
// is checked before the first one runs, so a typo never leaves half a session.
// Commands run on the session's interface thread, in order.
#pragma once
#include <string>
#include <vector>

#include "host/HostSession.h"

namespace hostkit {

using ScriptArgs = std::vector<std::string>;

// A command's handler. Called first with session null to check the arguments
// (nothing may happen then), later with the session to run. False with *error
// set rejects the line or stops the script.
typedef bool (*ScriptHandler)(HostSession* session, const ScriptArgs& args, std::string* error);

struct ScriptCommand {
  const char* name;
  int minArgs;
  int maxArgs;
  const char* usage;  // e.g. "setup BLOCK FILEBUF"
  ScriptHandler run;
  bool withoutPlugin = false;  // may run after the plug-in was unloaded
};

class ScriptRunner {
 public:
  // A command with the name of an earlier one replaces it.
  void Add(const ScriptCommand& command);
  const std::vector<ScriptCommand>& Commands() const { return commands_; }

  // Checks every line without running anything; false with *error naming the line.
  bool Check(const std::vector<std::string>& lines, std::string* error) const;
  // Checks, then runs the lines in order; false with *error naming the line that failed.
  bool Run(const std::vector<std::string>& lines, HostSession& session, std::string* error) const;

 private:
  const ScriptCommand* Find(const std::string& name) const;
  bool Prepare(const std::string& line, const ScriptCommand** command, ScriptArgs* args, std::string* error) const;

  std::vector<ScriptCommand> commands_;
};

// Reads a script file into lines; false with *error when it cannot be read.
bool ReadScript(const std::string& path, std::vector<std::string>* lines, std::string* error);
// Splits a script line into words (see above); false on an unterminated quote.
bool SplitScriptLine(const std::string& line, ScriptArgs* words);
// A whole number in decimal or 0x hex that fits 32 bits (signed or unsigned).
bool ParseScriptNumber(const std::string& text, long long* value);

// setup, handle, policy, ui, pull, streamerror, wait: the commands that need no window.
void AddBasicCommands(ScriptRunner& runner);
// open, click, sysclose, screenshot: the commands that act on the plug-in's main window.
void AddWindowCommands(ScriptRunner& runner);
// prerec, feed: the pre-recorder's dialogs and what the capture device hears.
void AddPreRecorderCommands(ScriptRunner& runner);
// click record|stoprec and screenshot prerec FILE.png (called by click and screenshot).
bool ClickPreRecorder(HostSession* session, const ScriptArgs& args, std::string* error);
bool ScreenshotPreRecorder(HostSession* session, const std::string& file, std::string* error);

}  // namespace hostkit
