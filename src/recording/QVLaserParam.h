// The parameter buffer: takes recording samples on the main thread without touching the disk, and
// its recorder thread, which packs them into chunks of 147 and appends them to the recording file.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "link/QVUtils.h"
#include "recording/QVLaserParam_Bin.h"

class TLaserParamBuffer;

// Sender and the text of the error that ended the recording.
using TNotifyWriteError = std::function<void(TObject* Sender, const std::string& Message)>;

// The recorder thread: drains the buffer's samples, compresses, enciphers and writes the chunks.
class TParamBufferMonitor : public TMonitorThread {
 public:
  explicit TParamBufferMonitor(TLaserParamBuffer& owner);
  ~TParamBufferMonitor() override;

 protected:
  void Execute() override;

 private:
  void Flush();
  void Finish();

  TLaserParamBuffer& Buffer;
  std::vector<uint8_t> PackBuffer;   // the compressed chunk
  std::vector<uint8_t> ChunkBuffer;  // length word and enciphered chunk, as written
  std::vector<TLaserParams> Taken;   // samples moved out of the list at once
};

class TLaserParamBuffer : public TObject {
 public:
  TLaserParamBuffer();
  // Completes a recording still open (its last chunk reaches the file) before the thread ends;
  // no events are raised from then on.
  ~TLaserParamBuffer() override;
  TLaserParamBuffer(const TLaserParamBuffer&) = delete;
  TLaserParamBuffer& operator=(const TLaserParamBuffer&) = delete;

  // Main thread, while idle: creates (or overwrites) FileName and writes the signature and the
  // header. False when a recording is still open or finishing, or the file cannot be created or
  // written; Why then holds the reason and the buffer stays idle.
  bool Start(const std::string& FileName, const TParamFileHeader& Header,
             std::string* Why = nullptr);
  // Main thread, between Start and Stop (ignored otherwise): queues one sample and wakes the
  // thread. Never waits for compression, ciphering or the disk.
  void AddSample(int16_t Code, const TParamValue& Value, int64_t Time);
  // Main thread: ends the recording; OnFinished follows once the last chunk is written.
  void Stop();
  int Count() const;
  int64_t StartTime() const { return StartTime_; }
  bool Stopping() const { return Stopping_.load(); }
  bool Recording() const { return Open_.load() && !Stopping_.load() && !Failed_.load(); }

  // Main thread, after the file was closed.
  TNotifyEvent OnFinished;
  // Main thread, when a chunk could not be written: the recording has ended (OnFinished
  // follows), the file keeps every chunk written before, later samples are dropped.
  TNotifyWriteError OnWriteError;

 private:
  friend class TParamBufferMonitor;
  // Moves the oldest samples, at most `most`, into `into` as file bytes; all of them when `all`,
  // otherwise all but the newest. Returns how many.
  size_t takeSamples(std::vector<uint8_t>& into, size_t most, bool all,
                     std::vector<TLaserParams>& scratch);
  void discardSamples();
  bool hasWork() const;  // the thread has something to do: a stop, a failure, a full pair

  std::deque<TLaserParams> Samples;
  mutable std::shared_mutex Lock;  // guards Samples
  std::unique_ptr<TParamBufferMonitor> Monitor;

  // Set on the main thread, read by the recorder thread.
  std::atomic<bool> Stopping_{false};
  std::atomic<bool> Open_{false};        // a file is open (recording or finishing)
  std::atomic<bool> Failed_{false};      // a write failed; the thread ends the recording
  std::atomic<bool> Destroying_{false};  // finish without handing over to the main thread
  qv::Event Closed_{qv::Event::Reset::Manual, true};  // set while no file is open

  // Touched by the main thread only in Start (before any sample exists), and otherwise by the
  // recorder thread.
  int64_t StartTime_ = 0;
  std::string FileName_;
  std::vector<uint8_t> PlainBuffer;  // sample bytes not yet written
  int FileStream = -1;               // the open recording file, or -1
  uint64_t Written_ = 0;             // bytes of complete chunks (and the prologue) in the file
  std::string WriteError_;           // why the recording failed
};
