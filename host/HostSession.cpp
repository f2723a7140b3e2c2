#include "host/HostSession.h"

#include <cstdio>
#include <new>

#include "host/MessagePump.h"

namespace hostkit {

namespace {
// Anything larger from one readStreamChannel call is not audio but a fault.
constexpr int32_t kMaxBlockBytes = 16 * 1024 * 1024;
// Longest a single period may take: four channels, each allowed its 50 ms lock wait, and slack.
constexpr DWORD kPeriodAllowanceMs = 400;
// Longest the end of a session may take: the window closed, streaming stopped, the plug-in unloaded.
constexpr DWORD kCloseLimitMs = 60000;
// Longest the output device may keep every buffer: many periods, so it has stopped.
constexpr DWORD kOutputStallMs = 2000;
}  // namespace

bool CreateFolders(const std::string& path) {
  if (path.empty()) return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos && slash > 0 && path[slash - 1] != ':') {
    if (!CreateFolders(path.substr(0, slash))) return false;
  }
  return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string HostPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  typedef WCHAR*(CDECL * DosNameFn)(const char*);
  DosNameFn dosName = reinterpret_cast<DosNameFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (!dosName) return path;
  WCHAR* wide = dosName(path.c_str());
  if (!wide) return path;
  char narrow[MAX_PATH * 2];
  int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
  HeapFree(GetProcessHeap(), 0, wide);
  return n > 0 ? std::string(narrow) : path;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

namespace {
// Absolute: a drive ("C:...") or a rooted or network path ("\\..." or "/...").
bool IsAbsolute(const std::string& path) {
  return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

std::string FullPath(const std::string& path) {
  char full[MAX_PATH * 2];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return n > 0 && n < sizeof full ? std::string(full, n) : path;
}
}  // namespace

namespace {
// The armed tear-down: a hook on the interface thread sees the dialog being made
// and wakes a messenger thread, which sends a host window on the interface thread
// a message. Sent from another thread, it is handled where the interface thread
// next waits for messages: inside the dialog's own loop, in turn with the other
// threads' messages to the dialog (a worker's progress and its close).
constexpr UINT kMsgDestroyNow = WM_APP + 40;
HostSession* g_armed = nullptr;
HHOOK g_hook = nullptr;
HWND g_courier = nullptr;
HWND g_dialog = nullptr;
HANDLE g_seen = nullptr;       // the hook saw the dialog (or the session ends)
HANDLE g_messenger = nullptr;  // the thread that sends the message

LRESULT CALLBACK CourierProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kMsgDestroyNow || !g_armed) return DefWindowProcA(hwnd, message, wParam, lParam);
  HostSession* session = g_armed;
  g_armed = nullptr;
  HWND dialog = reinterpret_cast<HWND>(lParam);
  char title[256] = "";
  const bool up = IsWindow(dialog) != FALSE;
  if (up) GetWindowTextA(dialog, title, sizeof title);
  session->Events().Append(JsonObject().Add("type", "destroy-in-dialog").Add("title", title).AddBool("inDialog", up));
  session->DestroyUi();
  return 0;
}

DWORD WINAPI Messenger(void*) {
  WaitForSingleObject(g_seen, INFINITE);
  DWORD_PTR ignored = 0;
  if (g_dialog)
    SendMessageTimeoutA(g_courier, kMsgDestroyNow, 0, reinterpret_cast<LPARAM>(g_dialog), SMTO_NORMAL, 60000, &ignored);
  return 0;
}

// On the interface thread, as each window is made: the first dialog box (or message
// box) disarms the hook and wakes the messenger.
LRESULT CALLBACK WatchDialogs(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && g_hook && !g_dialog) {
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    char cls[16] = "";
    const CBT_CREATEWNDA* create = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
    const bool topLevel = create && create->lpcs && !(create->lpcs->style & WS_CHILD);
    if (topLevel && GetClassNameA(hwnd, cls, sizeof cls) && lstrcmpA(cls, "#32770") == 0) {
      g_dialog = hwnd;
      SetEvent(g_seen);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Session end: the hook goes, the messenger is woken (without a dialog) and joined.
void Disarm() {
  g_armed = nullptr;
  if (g_hook) UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
  if (g_messenger) {
    SetEvent(g_seen);
    PumpUntilSignalled(g_messenger, 60000);
    CloseHandle(g_messenger);
    g_messenger = nullptr;
  }
}
}  // namespace

HostSession::HostSession() = default;

std::string HostSession::InputPath(const std::string& path) const {
  std::string host = HostPath(path);
  if (!IsAbsolute(host) && !scriptFolder_.empty()) host = scriptFolder_ + "\\" + host;
  return FullPath(host);
}

std::string HostSession::OutputPath(const std::string& path) const {
  std::string host = HostPath(path);
  return FullPath(IsAbsolute(host) ? host : OutPath(host));
}

HostSession::~HostSession() { Close(); }

bool HostSession::OpenOutputs(const std::string& outDir, std::string* error) {
  outDir_ = outDir;
  while (outDir_.size() > 3 && (outDir_.back() == '\\' || outDir_.back() == '/')) outDir_.pop_back();
  if (!CreateFolders(outDir_)) {
    *error = "cannot create the output folder " + outDir_ + ": " + SystemErrorText(GetLastError());
    return false;
  }
  bool ok = events_.Open(OutPath("events.jsonl")) && periods_.Open(OutPath("periods.jsonl"));
  for (int c = 0; c < kNumChannels; ++c) ok = ok && channels_[c].Create(OutPath("ch" + std::to_string(c + 1) + ".wav"));
  if (!ok) *error = "cannot write the session's files in " + outDir_;
  return ok;
}

bool HostSession::LoadPlugin(const std::string& pluginPath, std::string* error) {
  if (!loader_.Load(pluginPath, error)) {
    events_.Append(JsonObject().Add("type", "load").Add("path", pluginPath).Add("error", *error));
    return false;
  }
  const PluginApi& api = loader_.Api();
  int32_t version = api.getInterfaceVersion();
  int32_t kind = api.getPluginKind();
  int32_t channels = api.supportNumChannels();
  PluginInfoFields info = loader_.ReadInfo();
  events_.Append(JsonObject()
                     .Add("type", "load")
                     .Add("path", pluginPath)
                     .Add("interfaceVersion", version)
                     .Add("pluginKind", kind)
                     .Add("numChannels", channels)
                     .Add("fullName", info.fullName)
                     .Add("version", info.version));
  if (version != kInterfaceVersion || kind != kPluginKindInput || channels != kNumChannels) {
    *error = pluginPath + " is not an input plug-in for this host: interface version " + std::to_string(version) +
             ", kind " + std::to_string(kind) + ", " + std::to_string(channels) + " channels (expected " +
             std::to_string(kInterfaceVersion) + ", 1, 4)";
    return false;
  }
  SetHandle(kDefaultPluginHandle);
  api.setEventCallback(&HostCallbacks::OnEvent);
  LogCall("setEventCallback", JsonObject());
  api.setInternalCallback(&HostCallbacks::OnInternal);
  LogCall("setInternalCallback", JsonObject());
  return true;
}

bool HostSession::Open(const std::string& pluginPath, const std::string& outDir, std::string* error) {
  threads_.SetInterfaceThread(GetCurrentThreadId());
  if (!OpenOutputs(outDir, error)) return false;
  callbacks_.reset(new (std::nothrow) HostCallbacks(events_, threads_));
  watcher_.reset(new (std::nothrow) MessageBoxWatcher(kEngineTitle, [this](const MessageBoxInfo& box) {
    events_.Append(JsonObject().Add("type", "messagebox").Add("text", box.text).Add("thread", threads_.Name(box.threadId)));
    if (echoBoxes_) fprintf(stderr, "orvan-host: message box: %s\n", box.text.c_str());
  }));
  guard_.reset(new (std::nothrow) Watchdog([this](const std::string& what) {
    events_.Append(JsonObject().Add("type", "error").Add("text", what + " did not finish in time"));
  }));
  if (!callbacks_ || !watcher_ || !guard_) {
    *error = "out of memory";
    return false;
  }
  if (!LoadPlugin(pluginPath, error)) return false;
  streaming_.reset(new (std::nothrow) StreamingThread(loader_.Api(), *this));
  if (!streaming_ || !streaming_->Start()) {
    *error = "cannot start the streaming thread";
    return false;
  }
  threads_.SetStreamingThread(streaming_->ThreadId());
  return true;
}

bool HostSession::Close() {
  bool ok = true;
  if (guard_) guard_->Arm("ending the session", kCloseLimitMs);
  Disarm();
  std::string why;
  if (streamingOn_ && !Stream(false, &why)) ok = false;
  if (loader_.Loaded() && uiUp_) DestroyUi();
  if (streaming_) {
    if (!streaming_->Stop()) {
      // The plug-in never returned to the streaming thread: unloading it now would pull the code from under it.
      return false;
    }
    streaming_.reset();
  }
  if (output_) SetOutput(false, &why);
  if (loader_.Loaded()) {
    loader_.Unload();
    events_.Append(JsonObject().Add("type", "unload").Add("thread", threads_.Current()));
  }
  watcher_.reset();
  guard_.reset();
  callbacks_.reset();
  for (WaveWriter& channel : channels_) ok = channel.Close() && ok;
  periods_.Close();
  events_.Close();
  return ok && !writeFailed_;
}

void HostSession::LogCall(const char* name, const JsonObject& fields, const char* thread) {
  JsonObject line;
  line.Add("type", "call").Add("name", name).Merge(fields);
  events_.Append(line.Add("thread", thread ? thread : threads_.Current()));
}

int32_t HostSession::Setup(int32_t blockSize, int32_t fileBufferSize) {
  SetupRecord record = {};
  record.words[kSetupBlockSize] = blockSize;
  record.words[kSetupFileBuffer] = fileBufferSize;
  int32_t result = loader_.Api().setupAudioSystem(&record);
  blockSize_ = blockSize;
  LogCall("setupAudioSystem", JsonObject().Add("block", blockSize).Add("fileBuffer", fileBufferSize).Add("result", result));
  return result;
}

void HostSession::SetHandle(uint32_t handle) {
  loader_.Api().setPluginHandle(handle);
  LogCall("setPluginHandle", JsonObject().Add("handle", handle));
}

int32_t HostSession::CreateUi() {
  int32_t result = loader_.Api().createUserInterface(0, SW_SHOW);
  if (result) uiUp_ = true;
  LogCall("createUserInterface", JsonObject().Add("show", SW_SHOW).Add("result", result));
  return result;
}

int32_t HostSession::DestroyUi() {
  int32_t result = loader_.Api().destroyUserInterface();
  uiUp_ = false;
  LogCall("destroyUserInterface", JsonObject().Add("result", result));
  return result;
}

bool HostSession::DestroyUiInNextDialog(std::string* error) {
  if (!g_courier) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CourierProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OrvanHostCourier";
    RegisterClassA(&wc);
    g_courier = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
  Disarm();
  if (!g_seen) g_seen = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (g_seen) ResetEvent(g_seen);
  g_dialog = nullptr;
  g_hook = SetWindowsHookExA(WH_CBT, WatchDialogs, nullptr, GetCurrentThreadId());
  g_messenger = g_hook && g_courier && g_seen ? CreateThread(nullptr, 0, Messenger, nullptr, 0, nullptr) : nullptr;
  if (!g_messenger) {
    *error = "cannot watch for the plug-in's next dialog: " + SystemErrorText(GetLastError());
    Disarm();
    return false;
  }
  g_armed = this;
  LogCall("armDestroyInDialog", JsonObject());
  return true;
}

void HostSession::SwitchUi(bool on) {
  loader_.Api().onPluginSwitch(on ? 1 : 0);
  LogCall("onPluginSwitch", JsonObject().Add("on", on ? 1 : 0));
}

DWORD HostSession::BlockMs() const {
  // One block of 16-bit mono samples at 44100 Hz; at least 1 ms.
  long long ms = blockSize_ > 0 ? (long long)blockSize_ / 2 * 1000 / 44100 : 10;
  return ms > 0 ? (DWORD)ms : 1;
}

bool HostSession::Pull(uint32_t periods, bool realtime, std::string* error, bool discard) {
  if (streamingOn_) {
    *error = "the host streams already (stream on)";
    return false;
  }
  discard_ = discard;
  const bool paced = output_ != nullptr;
  DWORD periodMs = realtime || paced ? BlockMs() : 0;
  unsigned long long allowance = 10000ull + (unsigned long long)periods * (periodMs + kPeriodAllowanceMs);
  DWORD timeout = allowance > 0x7FFFFFFFull ? 0x7FFFFFFF : (DWORD)allowance;
  if (guard_) guard_->Extend(timeout);
  if (paced && !StartOutputStretch(error)) return false;
  if (!streaming_ || !streaming_->Pull(periods, paced ? StreamingThread::kSinkPaced : periodMs, timeout)) {
    // The files stay as the streaming thread may still be writing them.
    *error = "the streaming thread did not finish " + std::to_string(periods) + " periods";
    return false;
  }
  if (paced && !EndOutputStretch(error)) return false;
  bool written = !writeFailed_;
  for (WaveWriter& channel : channels_) written = channel.Flush() && written;
  if (!written) *error = "cannot write the channels' wave files in " + outDir_;
  return written;
}

bool HostSession::SetOutput(bool on, std::string* error) {
  if (streamingOn_) {
    *error = "output cannot change while the host streams (stream off first)";
    return false;
  }
  if (on == (output_ != nullptr)) return true;
  if (on) {
    std::unique_ptr<WaveOutput> output(new (std::nothrow) WaveOutput());
    if (!output) {
      *error = "out of memory";
      return false;
    }
    if (!output->Open(error)) return false;
    output_ = std::move(output);
  } else {
    output_->Close();
    output_.reset();
  }
  events_.Append(JsonObject().Add("type", "output").Add("device", on ? "default" : "none"));
  return true;
}

bool HostSession::StartOutputStretch(std::string* error) {
  if (blockSize_ < 4) {
    *error = "the output needs a block of at least one sample (setup first)";
    return false;
  }
  if (!output_->Prepare((uint32_t)blockSize_ / 2)) {
    *error = "out of memory for the output's buffers";
    return false;
  }
  output_->StartStretch();
  InterlockedExchange(&outputFailed_, 0);
  InterlockedExchange(&outputLive_, 1);
  return true;
}

bool HostSession::EndOutputStretch(std::string* error) {
  InterlockedExchange(&outputLive_, 0);
  char paced[32];
  snprintf(paced, sizeof paced, "%.1f", output_->PacedMs());
  events_.Append(JsonObject()
                     .Add("type", "played")
                     .Add("periods", output_->StretchPeriods())
                     .Add("underruns", output_->StretchUnderruns())
                     .Add("pacedPeriods", output_->PacedPeriods())
                     .Add("pacedMs", paced)
                     .Add("blockFrames", output_->Frames()));
  if (outputFailed_) {
    *error = "the wave output device stopped taking periods";
    return false;
  }
  return true;
}

bool HostSession::Stream(bool on, std::string* error) {
  if (on == streamingOn_) return true;
  if (on) {
    const bool paced = output_ != nullptr;
    if (paced && !StartOutputStretch(error)) return false;
    if (!streaming_ || !streaming_->Begin(0xFFFFFFFFu, paced ? StreamingThread::kSinkPaced : BlockMs())) {
      InterlockedExchange(&outputLive_, 0);
      *error = "the streaming thread is busy";
      return false;
    }
    streamingOn_ = true;
    events_.Append(JsonObject().Add("type", "stream").AddBool("on", true));
    return true;
  }
  streamingOn_ = false;
  if (guard_) guard_->Extend(10000);
  if (!streaming_->Halt(10000)) {
    *error = "the streaming thread did not stop";
    return false;
  }
  events_.Append(JsonObject().Add("type", "stream").AddBool("on", false));
  bool ok = !output_ || EndOutputStretch(error);
  bool written = !writeFailed_;
  for (WaveWriter& channel : channels_) written = channel.Flush() && written;
  if (!written) *error = "cannot write the channels' wave files in " + outDir_;
  return ok && written;
}

bool HostSession::WaitForCloseRequest(DWORD ms, std::string* error) {
  if (guard_) guard_->Extend(ms ? ms : 0x7FFFFFFF);
  HANDLE request = callbacks_->CloseRequested();
  if (!PumpUntilSignalled(request, ms ? ms : INFINITE)) {
    *error = "the plug-in did not ask to close its window within " + std::to_string(ms) + " ms";
    return false;
  }
  events_.Append(JsonObject().Add("type", "close-request"));
  return true;
}

bool HostSession::StreamingError(std::string* error) {
  if (streamingOn_) {
    *error = "the host streams (stream on): stream off first";
    return false;
  }
  bool finished = streaming_ && streaming_->ReportStreamingError(10000);
  LogCall("onStreamingError", JsonObject(), "stream");
  if (!finished) *error = "onStreamingError did not return";
  return finished;
}

bool HostSession::Unload(std::string* error) {
  Disarm();
  if (streaming_) {
    if (!streaming_->Stop()) {
      *error = "the streaming thread did not stop";
      return false;
    }
    streaming_.reset();
    streamingOn_ = false;  // the background pull ended with the thread
    InterlockedExchange(&outputLive_, 0);
  }
  if (loader_.Loaded()) {
    LogCall("FreeLibrary", JsonObject());
    loader_.Unload();
    uiUp_ = false;
    events_.Append(JsonObject().Add("type", "unload").Add("thread", threads_.Current()));
  }
  return true;
}

void HostSession::Wait(DWORD ms) {
  if (guard_) guard_->Extend(ms);
  PumpMessages(ms);
}

// Streaming thread: one readStreamChannel call's outcome.
void HostSession::OnChannelRead(uint32_t period, int channel, int32_t result, const uint8_t* data, int32_t count) {
  JsonObject line;
  line.Add("period", period).Add("channel", channel).Add("result", result).Add("bytes", count);
  bool bad = result && (count < 0 || count > kMaxBlockBytes || (count > 0 && !data));
  if (bad) line.AddBool("bad", true);
  periods_.Append(line);
  if (result && !bad && !discard_ && !channels_[channel].Append(data, (size_t)count)) writeFailed_ = true;
  if (result && !bad && outputLive_) output_->Add(callbacks_->Role(channel), data, count);
}

// Streaming thread, output on: the period is pulled when the device has room for it.
bool HostSession::BeforePeriod(uint32_t) {
  if (!outputLive_) return true;
  if (output_->WaitForRoom(kOutputStallMs)) return true;
  InterlockedExchange(&outputFailed_, 1);
  events_.Append(JsonObject().Add("type", "error").Add("text", "the wave output device gave no buffer back in time"));
  return false;
}

void HostSession::AfterPeriod(uint32_t period) {
  if (!outputLive_) return;
  bool underrun = false;
  if (!output_->Submit(&underrun)) {
    InterlockedExchange(&outputFailed_, 1);
    events_.Append(JsonObject().Add("type", "error").Add("text", "the wave output device refused a period"));
  } else if (underrun) {
    events_.Append(JsonObject().Add("type", "underrun").Add("period", period));
  }
}

}  // namespace hostkit
