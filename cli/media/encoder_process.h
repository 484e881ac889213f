// ffmpeg as a child process: frames written to its standard input, float sound to descriptor 3, both without
// blocking so that ffmpeg waiting for one input never waits on us blocked writing the other. The process is
// reaped whatever happens: the destructor kills one that was not finished.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The full path of a program found on PATH, or empty.
std::string FindProgramOnPath(const std::string& name);

// The reason of a failure in ffmpeg's messages: the end of its last line that names one ("No space left on
// device" of "Error writing trailer of ...: No space left on device"), or "".
std::string FailureReason(const std::string& messages);

class EncoderProcess {
 public:
  EncoderProcess() = default;
  EncoderProcess(EncoderProcess&& other) noexcept;
  EncoderProcess& operator=(EncoderProcess&& other) noexcept;
  EncoderProcess(const EncoderProcess&) = delete;
  EncoderProcess& operator=(const EncoderProcess&) = delete;
  ~EncoderProcess();

  // Starts `arguments` (the program first) with a pipe on its standard input, a second on descriptor 3 when
  // `sound`, and its standard output on ours when `toStandardOutput` (else /dev/null); what it says on its error
  // output is kept for Messages. `name` is the output's, for messages. False, with a message.
  bool Start(std::vector<std::string> arguments, bool sound, bool toStandardOutput, const std::string& name,
             std::string& error);
  bool Running() const { return pid_ > 0; }
  bool TakesFrames() const { return videoPipe_ >= 0; }

  // Writes all of a frame, feeding the sound pipe whenever ffmpeg takes it. False, with a message, when ffmpeg
  // stopped taking either (it is then waited for, and the message gives its reason), or on an interruption.
  bool WriteFrame(const std::uint8_t* data, std::size_t size, std::string& error);
  // Queues float samples for the sound pipe and writes what ffmpeg takes now.
  bool QueueSound(const float* samples, std::size_t count, std::string& error);
  // Ends the frames, hands over the rest of the sound and waits for ffmpeg. False, with a message naming the
  // reason, unless it exited with status 0 (it is told to stop at any error, a failed write among them).
  bool Finish(std::string& error);
  // Kills and reaps the process; nothing it wrote is of use.
  void Kill();
  // What ffmpeg wrote on its error output (the last 16 KiB of it).
  std::string Messages() const;

  // Asked for more sound whenever none is queued while a frame is written, so that ffmpeg never waits for sound
  // while we wait for it to take the frame: 1 = some was queued, 0 = none to give now, -1 = failed (`soundError`).
  std::function<int()> feedSound;
  std::string soundError;
  bool soundEnded = false;  // all the sound is queued: the pipe closes once ffmpeg has taken it

 private:
  bool DrainSound();
  bool SoundQueued() const { return audioPipe_ >= 0 && queueAt_ < queue_.size(); }
  bool SoundStopped(std::string& error);
  bool Stopped(const char* what, std::string& error);
  int Wait();
  void ClosePipes();

  pid_t pid_ = -1;
  int videoPipe_ = -1, audioPipe_ = -1;
  int messages_ = -1;  // a file in memory holding ffmpeg's error output
  std::string name_;
  std::vector<std::uint8_t> queue_;  // float samples not yet taken by ffmpeg, from byte queueAt_ on
  std::size_t queueAt_ = 0;
};
