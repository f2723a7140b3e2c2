// One run of the reference host: the plug-in loaded as the real host loads it,
// its callbacks answered and logged, its message boxes recorded and dismissed,
// a streaming thread pulling its channels, and the session's output folder:
//   events.jsonl   calls, events, internal commands and message boxes, in order
//   periods.jsonl  one line per readStreamChannel call
//   ch1.wav..ch4.wav  what each channel delivered (16-bit mono 44100 Hz)
// The thread that opens the session is its interface thread: every operation
// below is called there, and waits on it dispatch window messages.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "host/HostCallbacks.h"
#include "host/JsonLog.h"
#include "host/MessageBoxWatcher.h"
#include "host/PluginLoader.h"
#include "host/StreamingThread.h"
#include "host/Watchdog.h"
#include "host/WaveOutput.h"
#include "host/WaveWriter.h"

namespace hostkit {

constexpr uint32_t kDefaultPluginHandle = 0x1234;

class HostSession : public PeriodSink {
 public:
  HostSession();
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // Creates outDir and its files, starts watching for message boxes, loads the
  // plug-in, checks what it is, hands it the default handle and both callbacks,
  // and starts the streaming thread. False with *error on any failure.
  bool Open(const std::string& pluginPath, const std::string& outDir, std::string* error);
  // Message boxes are also printed on stderr (for a person, who never sees them).
  void SetEchoBoxes(bool on) { echoBoxes_ = on; }
  // Relative input paths of the script (files to open) are taken from this folder.
  void SetScriptFolder(const std::string& folder) { scriptFolder_ = folder; }
  // Ends the user interface if it is up, stops streaming, unloads the plug-in
  // and completes the output files. False when any of that went wrong.
  bool Close();
  // True once Close got as far as unloading the plug-in (or nothing was loaded).
  bool Closed() const { return !loader_.Loaded(); }

  // The plug-in's exports as a host uses them; each call is logged with its result.
  int32_t Setup(int32_t blockSize, int32_t fileBufferSize);
  void SetHandle(uint32_t handle);
  int32_t CreateUi();
  int32_t DestroyUi();
  // Arms the host: the next dialog or message box shown on the interface thread
  // makes it call destroyUserInterface from inside that dialog's loop (logged with
  // the dialog's title and whether it was still up). False with *error when the
  // hook cannot be set.
  bool DestroyUiInNextDialog(std::string* error);
  void SwitchUi(bool on);
  // `periods` periods on the streaming thread (paced at the block's duration
  // when realtime; by the output device whenever output is on); false with
  // *error when the streaming thread did not finish.
  // With discard the blocks are logged but not written to the channels' wave files.
  bool Pull(uint32_t periods, bool realtime, std::string* error, bool discard = false);
  // Output on: every period pulled from now on is mixed (see WaveOutput.h) and
  // played on the default wave output device, which paces the pulls. Off: the
  // queued periods play out and the device is closed.
  bool SetOutput(bool on, std::string* error);
  // Streaming without end in the background (paced by the output device, or by
  // the block's duration when output is off) while later commands run; off ends it.
  bool Stream(bool on, std::string* error);
  bool Streaming() const { return streamingOn_; }
  // Dispatches messages until the plug-in asks the host to close its window
  // (command 15; also one that came earlier and was not yet waited for), at most
  // ms (0: no limit). False with *error when the time ran out.
  bool WaitForCloseRequest(DWORD ms, std::string* error);
  bool StreamingError(std::string* error);
  // Dispatches the interface thread's messages for ms milliseconds.
  void Wait(DWORD ms);
  // Stops streaming and frees the plug-in at once, without destroyUserInterface
  // first (its windows and a running take are its own to end). False with *error
  // when the streaming thread does not stop.
  bool Unload(std::string* error);

  HostCallbacks& Callbacks() { return *callbacks_; }
  JsonLog& Events() { return events_; }
  std::string OutPath(const std::string& name) const { return outDir_ + "\\" + name; }
  // A path of a file the script reads, as this process opens it: Linux paths
  // translated, relative ones taken from the script's folder, made absolute.
  std::string InputPath(const std::string& path) const;
  // A path of a file the script writes: relative ones go into the output folder.
  std::string OutputPath(const std::string& path) const;
  // Guards each command against a plug-in that never returns (see Watchdog).
  Watchdog& Guard() { return *guard_; }
  // How long one command may keep the host (waits and pulls add their own length).
  void SetCommandLimit(DWORD ms) { commandLimitMs_ = ms; }
  DWORD CommandLimit() const { return commandLimitMs_; }

  // Appends {"type":"call","name":name,...fields,"thread":...} to the events log
  // (fields carry the arguments and the result, if any); thread is the calling
  // thread's name unless given.
  void LogCall(const char* name, const JsonObject& fields, const char* thread = nullptr);

  void OnChannelRead(uint32_t period, int channel, int32_t result, const uint8_t* data, int32_t count) override;
  bool BeforePeriod(uint32_t period) override;
  void AfterPeriod(uint32_t period) override;

 private:
  bool OpenOutputs(const std::string& outDir, std::string* error);
  bool LoadPlugin(const std::string& pluginPath, std::string* error);
  // Sizes the output for the block and starts a stretch; false with *error.
  bool StartOutputStretch(std::string* error);
  // Logs the stretch's figures; false with *error when the device failed in it.
  bool EndOutputStretch(std::string* error);
  DWORD BlockMs() const;

  std::string outDir_;
  JsonLog events_;
  JsonLog periods_;
  WaveWriter channels_[kNumChannels];
  ThreadNames threads_;
  std::unique_ptr<HostCallbacks> callbacks_;
  std::unique_ptr<MessageBoxWatcher> watcher_;
  PluginLoader loader_;
  std::unique_ptr<StreamingThread> streaming_;
  std::unique_ptr<Watchdog> guard_;
  std::unique_ptr<WaveOutput> output_;
  volatile LONG outputLive_ = 0;    // the streaming thread feeds the output
  volatile LONG outputFailed_ = 0;  // the device gave no buffer back, or refused one
  bool streamingOn_ = false;
  bool echoBoxes_ = false;
  DWORD commandLimitMs_ = 120000;
  std::string scriptFolder_;
  int32_t blockSize_ = 0;
  bool uiUp_ = false;
  bool writeFailed_ = false;
  volatile bool discard_ = false;  // set between pulls: the blocks are not written
};

// Creates a folder and its missing parents; true when it exists afterwards.
bool CreateFolders(const std::string& path);
// A path as this process can open it: an absolute Linux path ("/...") becomes
// its Windows name when running under Wine; anything else stays as given.
std::string HostPath(const std::string& path);
// The folder part of a path (without the last separator); "." when there is none.
std::string FolderOf(const std::string& path);

}  // namespace hostkit
