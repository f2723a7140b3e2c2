// The script commands that need no window: the host's calls into the plug-in,
// its callbacks' policy, streaming and waiting.
#include "host/ScriptRunner.h"

namespace hostkit {

namespace {

bool Number(const std::string& text, long long min, long long max, long long* value, std::string* error) {
  if (ParseScriptNumber(text, value) && *value >= min && *value <= max) return true;
  *error = "\"" + text + "\" is not a number from " + std::to_string(min) + " to " + std::to_string(max);
  return false;
}

// setup BLOCK FILEBUF: setupAudioSystem with words 1 and 3, the others 0.
bool Setup(HostSession* session, const ScriptArgs& args, std::string* error) {
  long long block, buffer;
  if (!Number(args[0], INT32_MIN, INT32_MAX, &block, error) || !Number(args[1], INT32_MIN, INT32_MAX, &buffer, error))
    return false;
  if (session) session->Setup((int32_t)block, (int32_t)buffer);
  return true;
}

// handle N: setPluginHandle.
bool Handle(HostSession* session, const ScriptArgs& args, std::string* error) {
  long long handle;
  if (!Number(args[0], 0, UINT32_MAX, &handle, error)) return false;
  if (session) session->SetHandle((uint32_t)handle);
  return true;
}

// policy accept | policy refuse CODE: how the event callback answers from now on.
bool Policy(HostSession* session, const ScriptArgs& args, std::string* error) {
  long long code = 0;
  if (args[0] == "accept" && args.size() == 1) {
    if (session) session->Callbacks().AcceptAll();
  } else if (args[0] == "refuse" && args.size() == 2) {
    if (!Number(args[1], 0, 31, &code, error)) return false;
    if (session) session->Callbacks().Refuse((int32_t)code);
  } else {
    *error = "usage: policy accept | policy refuse CODE";
    return false;
  }
  if (session) {
    JsonObject line;
    line.Add("type", "policy").Add("rule", args[0]);
    if (args[0] == "refuse") line.Add("code", code);
    session->Events().Append(line);
  }
  return true;
}

// ui create | destroy | destroy-in-dialog | show | hide.
bool Ui(HostSession* session, const ScriptArgs& args, std::string* error) {
  const std::string& what = args[0];
  if (what != "create" && what != "destroy" && what != "destroy-in-dialog" && what != "show" && what != "hide") {
    *error = "usage: ui create|destroy|destroy-in-dialog|show|hide";
    return false;
  }
  if (!session) return true;
  if (what == "destroy-in-dialog") return session->DestroyUiInNextDialog(error);
  if (what == "create") session->CreateUi();
  else if (what == "destroy") session->DestroyUi();
  else session->SwitchUi(what == "show");
  return true;
}

// pull N [realtime] [discard]: N periods of readStreamChannel for channels 0 to 3;
// with discard the blocks are logged but not written to the channels' wave files.
bool Pull(HostSession* session, const ScriptArgs& args, std::string* error) {
  long long periods;
  if (!Number(args[0], 0, 10000000, &periods, error)) return false;
  bool realtime = false, discard = false;
  for (size_t i = 1; i < args.size(); ++i) {
    bool* flag = args[i] == "realtime" ? &realtime : args[i] == "discard" ? &discard : nullptr;
    if (!flag || *flag) {
      *error = "usage: pull N [realtime] [discard]";
      return false;
    }
    *flag = true;
  }
  return !session || session->Pull((uint32_t)periods, realtime, error, discard);
}

// streamerror: onStreamingError on the streaming thread.
bool StreamError(HostSession* session, const ScriptArgs&, std::string* error) {
  return !session || session->StreamingError(error);
}

// wait MS: dispatch the interface thread's messages for MS milliseconds.
// wait close [MS]: until the plug-in asks the host to close its window (at most MS).
bool Wait(HostSession* session, const ScriptArgs& args, std::string* error) {
  long long ms = 0;
  if (args[0] == "close") {
    if (args.size() == 2 && !Number(args[1], 1, 3600000, &ms, error)) return false;
    return !session || session->WaitForCloseRequest((DWORD)ms, error);
  }
  if (args.size() != 1) {
    *error = "usage: wait MS | wait close [MS]";
    return false;
  }
  if (!Number(args[0], 0, 3600000, &ms, error)) return false;
  if (session) session->Wait((DWORD)ms);
  return true;
}

// output device | output none: play what the host pulls on the default wave output device, or not.
bool Output(HostSession* session, const ScriptArgs& args, std::string* error) {
  if (args[0] != "device" && args[0] != "none") {
    *error = "usage: output device|none";
    return false;
  }
  return !session || session->SetOutput(args[0] == "device", error);
}

// stream on | stream off: pull without end in the background while later commands run.
bool Stream(HostSession* session, const ScriptArgs& args, std::string* error) {
  if (args[0] != "on" && args[0] != "off") {
    *error = "usage: stream on|off";
    return false;
  }
  return !session || session->Stream(args[0] == "on", error);
}

// unload: FreeLibrary at once, without destroyUserInterface first (a take may run),
// as a host that quits without closing the interface does.
bool Unload(HostSession* session, const ScriptArgs&, std::string* error) {
  return !session || session->Unload(error);
}

}  // namespace

void AddBasicCommands(ScriptRunner& runner) {
  runner.Add({"setup", 2, 2, "setup BLOCK FILEBUF", Setup});
  runner.Add({"handle", 1, 1, "handle N", Handle});
  runner.Add({"policy", 1, 2, "policy accept | policy refuse CODE", Policy});
  runner.Add({"ui", 1, 1, "ui create|destroy|destroy-in-dialog|show|hide", Ui});
  runner.Add({"pull", 1, 3, "pull N [realtime] [discard]", Pull});
  runner.Add({"streamerror", 0, 0, "streamerror", StreamError});
  runner.Add({"wait", 1, 2, "wait MS | wait close [MS]", Wait, true});
  runner.Add({"output", 1, 1, "output device|none", Output});
  runner.Add({"stream", 1, 1, "stream on|off", Stream});
  runner.Add({"unload", 0, 0, "unload", Unload});
}

}  // namespace hostkit
