// orvan-host: the reference host. It loads an input plug-in as the Orvan Audio
// Engine does and either reports what the plug-in is or runs a session script.
#include <windows.h>

#include <cstdio>
#include <string>

#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include "util/ModulePath.h"

using namespace hostkit;

namespace {

// A command that hangs ends the run with kHungExitCode (4, see Watchdog).
enum ExitCode { kOk = 0, kUsage = 1, kLoadFailed = 2, kScriptFailed = 3 };

const char kUsageText[] =
    "usage: orvan-host info PLUGIN\n"
    "       orvan-host run SCRIPT --out DIR [--plugin PATH] [--timeout SECONDS]\n"
    "       orvan-host play [FILE...] --out DIR [--plugin PATH] [--script SCRIPT]\n"
    "\n"
    "info prints what the plug-in answers as one JSON object.\n"
    "play shows the plug-in's window, loads the files into the first free tracks\n"
    "and plays what the tracks deliver on the default wave output device until the\n"
    "window's close key is used (SCRIPT's commands run once the files are loaded).\n"
    "run loads the plug-in (default: sondrel.oin beside orvan-host.exe) and runs\n"
    "SCRIPT, one command per line ('#' starts a comment). Relative paths of files\n"
    "to open are taken from the script's folder, those of files written from DIR.\n"
    "A command that keeps the host longer than SECONDS (default 120; waits and\n"
    "pulls add their own length) ends the run with exit status 4. Commands:\n";

void PrintUsage(const ScriptRunner& runner) {
  fputs(kUsageText, stderr);
  for (const ScriptCommand& command : runner.Commands()) fprintf(stderr, "  %s\n", command.usage);
  fputs("Output in DIR: events.jsonl, periods.jsonl, ch1.wav..ch4.wav.\n", stderr);
}

int Info(const std::string& pluginPath) {
  MessageBoxWatcher watcher(kEngineTitle, [](const MessageBoxInfo& box) {
    fprintf(stderr, "orvan-host: message box: %s\n", box.text.c_str());
  });
  PluginLoader loader;
  std::string error;
  if (!loader.Load(pluginPath, &error)) {
    fprintf(stderr, "orvan-host: %s\n", error.c_str());
    return kLoadFailed;
  }
  const PluginApi& api = loader.Api();
  JsonObject info;
  info.Add("interfaceVersion", api.getInterfaceVersion())
      .Add("pluginKind", api.getPluginKind())
      .Add("numChannels", api.supportNumChannels());
  PluginInfoFields fields = loader.ReadInfo();
  info.Add("fullName", fields.fullName)
      .Add("shortName", fields.shortName)
      .Add("inputKind", fields.inputKind)
      .Add("copyright", fields.copyright)
      .Add("version", fields.version)
      .Add("url", fields.url)
      .Add("word592", fields.word592);
  printf("%s\n", info.Text().c_str());
  fflush(stdout);
  loader.Unload();
  return kOk;
}

int Run(const ScriptRunner& runner, const std::string& scriptPath, const std::vector<std::string>& lines,
        const std::string& outDir, const std::string& pluginPath, DWORD commandLimitMs, bool player = false) {
  std::string error;
  if (!runner.Check(lines, &error)) {
    fprintf(stderr, "orvan-host: %s: %s\n", scriptPath.c_str(), error.c_str());
    return kScriptFailed;
  }
  HostSession session;
  session.SetScriptFolder(FolderOf(scriptPath));
  session.SetCommandLimit(commandLimitMs);
  session.SetEchoBoxes(player);
  if (!session.Open(pluginPath, outDir, &error)) {
    fprintf(stderr, "orvan-host: %s\n", error.c_str());
    session.Close();
    return kLoadFailed;
  }
  bool ran = runner.Run(lines, session, &error);
  if (!ran) {
    fprintf(stderr, "orvan-host: %s: %s\n", scriptPath.c_str(), error.c_str());
    session.Events().Append(JsonObject().Add("type", "error").Add("text", error));
  }
  if (!session.Close()) {
    fprintf(stderr, "orvan-host: the session did not end cleanly (streaming thread or output files)\n");
    fflush(stderr);
    // A plug-in that still holds the streaming thread cannot be unloaded under it: leave at once.
    if (!session.Closed()) ExitProcess(kScriptFailed);
    ran = false;
  }
  if (ran) printf("orvan-host: session done, output in %s\n", outDir.c_str());
  return ran ? kOk : kScriptFailed;
}

// The player's session: the window, the files dropped on the first strip (they
// fill the free tracks from there), streaming to the output device, the extra
// commands, and the end when the plug-in passes on the window's close key.
std::vector<std::string> PlayerLines(const std::vector<std::string>& files, const std::vector<std::string>& extra) {
  std::vector<std::string> lines = {"setup 4410 65536", "output device", "ui create"};
  if (!files.empty()) {
    std::string drop = "drop 1";
    for (const std::string& file : files) drop += " \"" + file + "\"";
    lines.push_back(drop);
  }
  lines.push_back("stream on");
  lines.insert(lines.end(), extra.begin(), extra.end());
  lines.push_back("wait close");
  lines.push_back("stream off");
  lines.push_back("ui destroy");
  return lines;
}

// The plug-in beside the host's own program, where --plugin names none ("" when
// its path cannot be made).
std::string PluginBesideHost() {
  char beside[MAX_PATH];
  return PathBesideModule(nullptr, "sondrel.oin", beside, sizeof beside) ? beside : "";
}

// The lines of a script file; false, having said why on stderr, when it cannot be read.
bool ReadScriptOrSay(const std::string& path, std::vector<std::string>* lines) {
  std::string error;
  if (ReadScript(path, lines, &error)) return true;
  fprintf(stderr, "orvan-host: %s\n", error.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Never let the system ask a person about a missing disk or file.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  ScriptRunner runner;
  AddBasicCommands(runner);
  AddWindowCommands(runner);
  AddPreRecorderCommands(runner);

  std::string command = argc > 1 ? argv[1] : "";
  if (command == "info" && argc == 3) return Info(HostPath(argv[2]));
  if (command == "run" && argc >= 3) {
    std::string script = HostPath(argv[2]), outDir, plugin;
    long long seconds = 120;
    bool ok = true;
    for (int i = 3; i < argc; ++i) {
      std::string option = argv[i];
      if (option == "--out" && i + 1 < argc) outDir = HostPath(argv[++i]);
      else if (option == "--plugin" && i + 1 < argc) plugin = HostPath(argv[++i]);
      else if (option == "--timeout" && i + 1 < argc)
        ok = ParseScriptNumber(argv[++i], &seconds) && seconds >= 1 && seconds <= 86400 && ok;
      else ok = false;
    }
    if (ok && !outDir.empty()) {
      if (plugin.empty()) plugin = PluginBesideHost();
      std::vector<std::string> lines;
      if (!ReadScriptOrSay(script, &lines)) return kScriptFailed;
      return Run(runner, script, lines, outDir, plugin, (DWORD)seconds * 1000);
    }
  }
  if (command == "play") {
    std::string outDir, plugin, script;
    std::vector<std::string> files;
    bool ok = true;
    for (int i = 2; i < argc; ++i) {
      std::string option = argv[i];
      if (option == "--out" && i + 1 < argc) outDir = HostPath(argv[++i]);
      else if (option == "--plugin" && i + 1 < argc) plugin = HostPath(argv[++i]);
      else if (option == "--script" && i + 1 < argc) script = HostPath(argv[++i]);
      else if (option.compare(0, 2, "--") == 0 || option.find('"') != std::string::npos) ok = false;
      else files.push_back(HostPath(option));
    }
    if (ok && !outDir.empty()) {
      if (plugin.empty()) plugin = PluginBesideHost();
      std::vector<std::string> extra;
      if (!script.empty() && !ReadScriptOrSay(script, &extra)) return kScriptFailed;
      return Run(runner, script.empty() ? "play" : script, PlayerLines(files, extra), outDir, plugin, 120000, true);
    }
  }
  PrintUsage(runner);
  return kUsage;
}
