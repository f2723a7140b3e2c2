#include "host/ScriptRunner.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace hostkit {

bool SplitScriptLine(const std::string& line, ScriptArgs* words) {
  words->clear();
  size_t i = 0, n = line.size();
  while (i < n) {
    char ch = line[i];
    if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') {
      ++i;
    } else if (ch == '#') {
      break;
    } else if (ch == '"') {
      size_t end = line.find('"', i + 1);
      if (end == std::string::npos) return false;
      words->push_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      size_t end = line.find_first_of(" \t\r\n", i);
      if (end == std::string::npos) end = n;
      words->push_back(line.substr(i, end - i));
      i = end;
    }
  }
  return true;
}

bool ParseScriptNumber(const std::string& text, long long* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = strtoll(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v < -2147483648LL || v > 4294967295LL) return false;
  // A leading 0 would make strtoll read octal; script numbers are decimal or 0x hex.
  if (text.size() > 1 && text[0] == '0' && text[1] != 'x' && text[1] != 'X') return false;
  *value = v;
  return true;
}

void ScriptRunner::Add(const ScriptCommand& command) {
  for (ScriptCommand& existing : commands_) {
    if (std::string(existing.name) == command.name) {
      existing = command;
      return;
    }
  }
  commands_.push_back(command);
}

const ScriptCommand* ScriptRunner::Find(const std::string& name) const {
  for (const ScriptCommand& command : commands_)
    if (name == command.name) return &command;
  return nullptr;
}

bool ScriptRunner::Prepare(const std::string& line, const ScriptCommand** command, ScriptArgs* args,
                           std::string* error) const {
  ScriptArgs words;
  *command = nullptr;
  if (!SplitScriptLine(line, &words)) {
    *error = "unterminated quote";
    return false;
  }
  if (words.empty()) return true;
  const ScriptCommand* found = Find(words[0]);
  if (!found) {
    *error = "unknown command \"" + words[0] + "\"";
    return false;
  }
  args->assign(words.begin() + 1, words.end());
  int count = (int)args->size();
  if (count < found->minArgs || count > found->maxArgs) {
    *error = std::string("usage: ") + found->usage;
    return false;
  }
  *command = found;
  return true;
}

bool ScriptRunner::Check(const std::vector<std::string>& lines, std::string* error) const {
  for (size_t i = 0; i < lines.size(); ++i) {
    const ScriptCommand* command;
    ScriptArgs args;
    std::string why;
    bool ok = Prepare(lines[i], &command, &args, &why);
    if (ok && command && !command->run(nullptr, args, &why)) {
      if (why.empty()) why = std::string("usage: ") + command->usage;
      ok = false;
    }
    if (!ok) {
      *error = "line " + std::to_string(i + 1) + ": " + why;
      return false;
    }
  }
  return true;
}

bool ScriptRunner::Run(const std::vector<std::string>& lines, HostSession& session, std::string* error) const {
  if (!Check(lines, error)) return false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const ScriptCommand* command;
    ScriptArgs args;
    std::string why;
    Prepare(lines[i], &command, &args, &why);
    if (!command) continue;
    std::string where = "line " + std::to_string(i + 1) + " (" + command->name + ")";
    if (session.Closed() && !command->withoutPlugin) {
      *error = where + ": the plug-in was unloaded";
      return false;
    }
    session.Guard().Arm(where, session.CommandLimit());
    // Let the plug-in's windows catch up with whatever the previous command did.
    PumpMessages(0);
    bool ran = command->run(&session, args, &why);
    session.Guard().Disarm();
    if (!ran) {
      *error = where + ": " + why;
      return false;
    }
  }
  PumpMessages(0);
  return true;
}

bool ReadScript(const std::string& path, std::vector<std::string>* lines, std::string* error) {
  lines->clear();
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) {
    *error = "cannot read the script " + path;
    return false;
  }
  std::string line;
  int ch;
  while ((ch = fgetc(file)) != EOF) {
    if (ch == '\n') {
      lines->push_back(line);
      line.clear();
    } else {
      line += (char)ch;
    }
  }
  if (!line.empty()) lines->push_back(line);
  fclose(file);
  return true;
}

}  // namespace hostkit
