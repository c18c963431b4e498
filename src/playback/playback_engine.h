// The player's playback: extraction of the embedded recording, the start of
// each stream, the decode thread with the double-buffered wave output, and
// the transport controls. The dialog owns one engine and forwards its
// commands and the routed messages of its queue to the handlers below, all
// on its user-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "playback/audio_device.h"
#include "playback/decode_thread.h"
#include "playback/embedded_recording.h"
#include "playback/player_view.h"
#include "playback/temp_voice_file.h"
#include "voice/decoder_state.h"

namespace playback {

struct PlaybackState {
  bool extracted = false;  // the recording has been written to its temporary file
  // The file streams read: that temporary file once the first stream has
  // been prepared, or a voice file the user opened.
  std::string voicePath;
  // The opened voice file's name; empty while the recording is the embedded one.
  std::string fileName;
  // How many voice files have been opened: 0 for the embedded recording.
  uint32_t recordingNumber = 0;
  int32_t frameCount = 0;
  int32_t sampleRate = 8000;
  uint32_t durationSeconds = 0;
  // PCM offset of the point where the stream started; 64 bits, as a long
  // recording's offsets outgrow 32.
  int64_t seekBaseBytes = 0;
  // The decoder's frame position after the last buffer handed to the device.
  int32_t decodedFrame = 0;
  bool playing = false;     // the stream's device is open and playing (or paused)
  bool deviceOpen = false;  // the device is open with both headers prepared
  bool nextDoneIsB = false;
  bool paused = false;
  bool seekInProgress = false;  // a seek gesture has begun and is not committed yet
  int32_t lastVolumeLevel = 0;  // the last level sent from the volume slider

  // The device of a new stream has been asked to open and has not said so yet.
  bool opening = false;
  // Buffers written to the device and not given back yet.
  int buffersInDevice = 0;
  // The decode thread's last, short buffer has been written: its return ends
  // the stream.
  bool lastBufferWritten = false;
};

class PlaybackEngine {
 public:
  // `decoder` is the decoder the engine alone uses (the process's one
  // vdec_state() in the player); `tempRoot` is where the recording's private
  // directory is made.
  PlaybackEngine(voice::DecoderState& decoder, AudioDevice& device, PlayerView& view,
                 const EmbeddedRecording& recording, std::string tempRoot = SystemTempDirectory());
  ~PlaybackEngine();
  PlaybackEngine(const PlaybackEngine&) = delete;
  PlaybackEngine& operator=(const PlaybackEngine&) = delete;

  // The dialog's start-up: slider ranges, and a probe of the device whose
  // volume sets the volume slider.
  void InitControls();

  // Extraction and stream start.
  void StartFromBeginning();
  int PrepareVoice(const std::string& path);
  // A voice file on disk takes the embedded recording's place, or that of
  // the file opened before: the stream stops, the labels show the new file,
  // and every later stream reads it where it is. A file the decoder cannot
  // open shows the decoder's message and changes nothing else. Returns
  // whether the file was taken.
  bool OpenVoiceFile(const std::string& path);
  int StartStreamAt(const std::string& path, int frameDelta);
  void OnDestroy();

  // Wave output.
  void OnWaveOpen();
  void OnBufferAReady(uint32_t bytes, int32_t frame);
  void OnBufferBReady(uint32_t bytes, int32_t frame);
  void OnWaveDone();
  void OnWaveFailed(WaveResult code);
  WaveResult StopStream();

  // Transport controls. The scroll handlers act only for their own slider.
  void OnPlay();
  void OnStop();
  void OnHScroll(int code, int position, Control control);
  void OnVScroll(int code, int position, Control control);

  // Where playback stands: the point the stream started from plus what its
  // device has played. 0 when no stream is playing, paused, opening or being
  // sought in.
  int64_t PositionMicroseconds();
  // The recording's file name as its label shows it.
  std::string RecordingName() const;

  const PlaybackState& state() const { return state_; }
  const DecodeThreadBlock& decode_block() const { return block_; }

 private:
  bool ExtractRecording();
  bool LoadVoice(const std::string& path);
  void ForgetRecording();
  void AllocateBuffers();
  StatusCode PositionDecoder(const std::string& path, int frameDelta);
  int FailStreamStart(const std::string& text, const char* caption);
  void WakeDecodeThread();
  void EndDecodeThread();
  std::string DeviceErrorText(WaveResult code);
  void AbandonOpenedDevice(WaveResult failure, const char* caption);
  void OnBufferReady(WaveHeader& header, uint32_t bytes, int32_t frame, const char* caption);
  void RequestRefill();
  void EndOfStream(uint32_t playedBytes);
  void ReportReadingFailure(StatusCode ended);
  void ClearReadingFailure(const std::string& path);
  void ShowPlayedTime(uint32_t seconds);
  void ShowTransportIdle();
  uint32_t ElapsedSeconds(uint32_t playedBytes) const;
  uint32_t PlayedBytes();
  void BeginSeek();
  void CommitSeek();
  void StartSeekStream(int frameDelta, uint32_t seconds);

  voice::DecoderState& decoder_;
  AudioDevice& device_;
  PlayerView& view_;
  const EmbeddedRecording& recording_;
  const std::string tempRoot_;

  PlaybackState state_;
  DecodeThreadBlock block_;
  std::unique_ptr<uint8_t[]> bufferA_;
  std::unique_ptr<uint8_t[]> bufferB_;
  WaveHeader headerA_;
  WaveHeader headerB_;
  std::unique_ptr<TempVoiceFile> tempFile_;
  std::thread decodeThread_;
};

}  // namespace playback
