#pragma once
// Wave audio, as the original's multimedia calls offered it: RIFF files read and written for real, and
// wave output and input devices that take buffers through headers and report back by posting messages to
// a window. Linux has no such devices here: the program's own devices are null ones that play nothing
// and record silence, each at the pace of real time. Tests install a simulated set.
//
// Device notifications run later from the event loop of the thread that opened the device, never from
// inside a device call. They are dropped once the window given at open is destroyed, and so are those of a
// device destroyed before it was closed; the close notification of a closed device still arrives.
#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;

namespace platform {

constexpr std::uint32_t FourCC(const char (&s)[5]) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[0])) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[3])) << 24;
}

// Results, numbered as the original's platform numbered them: 0 is success.
inline constexpr std::int32_t MMSYSERR_NOERROR = 0;
inline constexpr std::int32_t MMSYSERR_ERROR = 1;
inline constexpr std::int32_t MMSYSERR_BADDEVICEID = 2;
inline constexpr std::int32_t MMSYSERR_NOTENABLED = 3;
inline constexpr std::int32_t MMSYSERR_ALLOCATED = 4;
inline constexpr std::int32_t MMSYSERR_INVALHANDLE = 5;
inline constexpr std::int32_t MMSYSERR_NODRIVER = 6;
inline constexpr std::int32_t MMSYSERR_NOMEM = 7;
inline constexpr std::int32_t MMSYSERR_INVALFLAG = 10;
inline constexpr std::int32_t MMSYSERR_INVALPARAM = 11;
inline constexpr std::int32_t WAVERR_BADFORMAT = 32;
inline constexpr std::int32_t WAVERR_STILLPLAYING = 33;
inline constexpr std::int32_t WAVERR_UNPREPARED = 34;
inline constexpr std::int32_t MMIOERR_FILENOTFOUND = 257;
inline constexpr std::int32_t MMIOERR_CANNOTOPEN = 259;
inline constexpr std::int32_t MMIOERR_CANNOTREAD = 261;
inline constexpr std::int32_t MMIOERR_CANNOTWRITE = 262;
inline constexpr std::int32_t MMIOERR_CANNOTSEEK = 263;
inline constexpr std::int32_t MMIOERR_CANNOTEXPAND = 264;
inline constexpr std::int32_t MMIOERR_CHUNKNOTFOUND = 265;

// The texts the platform gives for a device result.
std::string WaveOutErrorText(std::int32_t result);
std::string WaveInErrorText(std::int32_t result);

// RIFF files

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

// The wave format record: 16 bytes for PCM, 18 with the extra-size field, more when extra bytes follow.
struct WaveFormat {
  std::uint16_t FormatTag = WAVE_FORMAT_PCM;
  std::uint16_t Channels = 1;
  std::uint32_t SamplesPerSec = 8000;
  std::uint32_t AvgBytesPerSec = 16000;
  std::uint16_t BlockAlign = 2;
  std::uint16_t BitsPerSample = 16;
  std::vector<std::uint8_t> Extra;  // the bytes after the extra-size field

  // PCM with the rates that follow from the other three.
  static WaveFormat Pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);
  // The record as a file holds it: with `withExtraSize` the extra-size field and the extra bytes follow.
  std::vector<std::uint8_t> Bytes(bool withExtraSize) const;
  // Reads the record from a "fmt " chunk's data; false when it is shorter than 16 bytes.
  static bool Parse(const std::uint8_t* data, std::size_t size, WaveFormat& format);
};

// A chunk, as descending into it or creating it describes it.
struct RiffChunk {
  std::uint32_t Id = 0;
  std::uint32_t Size = 0;
  std::uint32_t FormType = 0;    // of a "RIFF" or "LIST" chunk
  std::uint32_t DataOffset = 0;  // where its data begins (for RIFF and LIST: the form type)
  bool Dirty = false;            // created here: ascending writes its size
};

// A RIFF file opened for reading, or created for writing, with the original's chunk navigation. Every
// call answers 0 or an MMIOERR code; Read and Write answer a byte count or -1.
class RiffFile {
 public:
  using WriteFunction = std::function<ssize_t(int fd, const void* data, size_t size)>;
  enum class Mode { Read, Create };
  enum Find : std::uint32_t { FindChunk = 0x10, FindRiff = 0x20, FindList = 0x40 };
  enum Make : std::uint32_t { CreateRiff = 0x20, CreateList = 0x40 };

  // `write` is the seam through which tests make writes fail.
  explicit RiffFile(WriteFunction write = {});
  ~RiffFile();
  RiffFile(const RiffFile&) = delete;
  RiffFile& operator=(const RiffFile&) = delete;

  std::int32_t Open(const std::string& path, Mode mode);
  bool IsOpen() const { return fd_ >= 0; }
  // Flushes and closes; MMIOERR_CANNOTWRITE when the data did not reach the disk.
  std::int32_t Close();

  // Finds the next chunk inside `parent` (or up to the end of the file): with FindChunk the one whose id
  // is chunk.Id, with FindRiff/FindList the "RIFF"/"LIST" chunk of form chunk.FormType, else the next one.
  // The file is left at the chunk's data (after the form type for RIFF and LIST).
  std::int32_t Descend(RiffChunk& chunk, const RiffChunk* parent, std::uint32_t flags);
  // Leaves the chunk: after a created one, writes its size and pads it to an even length.
  std::int32_t Ascend(RiffChunk& chunk);
  // Starts a chunk at the current position (a "RIFF" or "LIST" chunk with chunk.FormType by the flags).
  std::int32_t CreateChunk(RiffChunk& chunk, std::uint32_t flags);

  ssize_t Read(void* buffer, std::size_t size);
  ssize_t Write(const void* data, std::size_t size);
  std::int64_t Position() const { return position_; }
  // The bytes from the position to the end of the file (0 when it cannot be told).
  std::int64_t BytesLeft() const;

 private:
  bool Seek(std::int64_t offset);
  bool ReadExact(void* buffer, std::size_t size);
  bool WriteExact(const void* data, std::size_t size);

  WriteFunction write_;
  int fd_ = -1;
  Mode mode_ = Mode::Read;
  std::int64_t position_ = 0;
  bool failed_ = false;  // a write failed: the file cannot be trusted any more
};

// A whole wave file: its format and its sample bytes. Read answers 0 or an MMIOERR code (a file without a
// readable format gives MMIOERR_CANNOTREAD).
std::int32_t ReadWaveFile(const std::string& path, WaveFormat& format, std::vector<std::uint8_t>& data);
std::int32_t WriteWaveFile(const std::string& path, const WaveFormat& format, const std::vector<std::uint8_t>& data);

// devices

inline constexpr std::uint32_t WAVE_MAPPER = 0xFFFFFFFF;  // the default device
// Open flags.
inline constexpr std::uint32_t WAVE_FORMAT_QUERY = 0x1;  // only ask whether the format is accepted
inline constexpr std::uint32_t WAVE_MAPPED = 0x4;        // the device may be reached through the mapper

// Notifications.
inline constexpr std::uint32_t MM_WOM_OPEN = 0x3BB;
inline constexpr std::uint32_t MM_WOM_CLOSE = 0x3BC;
inline constexpr std::uint32_t MM_WOM_DONE = 0x3BD;
inline constexpr std::uint32_t MM_WIM_OPEN = 0x3BE;
inline constexpr std::uint32_t MM_WIM_CLOSE = 0x3BF;
inline constexpr std::uint32_t MM_WIM_DATA = 0x3C0;

inline constexpr std::uint32_t WHDR_DONE = 0x1;
inline constexpr std::uint32_t WHDR_PREPARED = 0x2;
inline constexpr std::uint32_t WHDR_INQUEUE = 0x10;

// A buffer handed to a device. It must stay where it is until the device gives it back.
struct WaveHeader {
  std::uint8_t* Data = nullptr;
  std::uint32_t BufferLength = 0;
  std::uint32_t BytesRecorded = 0;  // input: how much of the buffer was filled
  std::uint32_t Flags = 0;
};

// The window procedure a device reports to: the notification and, for done and data, the header.
using WaveCallback = std::function<void(std::uint32_t message, WaveHeader* header)>;

// An open device, output or input. Buffers queue in order and come back one by one (done for output,
// data for input). Destroying a device that is still open drops its buffers and tells nobody.
class WaveDevice {
 public:
  WaveDevice(bool output, const WaveFormat& format, QObject* window, WaveCallback callback);
  virtual ~WaveDevice();
  WaveDevice(const WaveDevice&) = delete;
  WaveDevice& operator=(const WaveDevice&) = delete;

  bool Output() const { return output_; }
  const WaveFormat& Format() const { return format_; }
  bool Closed() const { return closed_; }

  std::int32_t PrepareHeader(WaveHeader& header);
  // WAVERR_STILLPLAYING while the device holds the buffer.
  std::int32_t UnprepareHeader(WaveHeader& header);
  // Output: plays the buffer after those queued. Input: adds an empty buffer to fill.
  std::int32_t Write(WaveHeader& header);
  std::int32_t AddBuffer(WaveHeader& header) { return Write(header); }
  // Input: starts filling the queued buffers; Stop gives back the one being filled with what it holds.
  std::int32_t Start();
  std::int32_t Stop();
  // Stops and gives every queued buffer back (input buffers with what they hold).
  std::int32_t Reset();
  // WAVERR_STILLPLAYING while buffers are queued; otherwise the device closes and reports it.
  std::int32_t Close();

  const std::deque<WaveHeader*>& Queue() const { return queue_; }
  bool Started() const { return started_; }

 protected:
  // A buffer joined the queue, or input started: a device that runs by itself starts its clock.
  virtual void Queued() {}
  // The device stops moving (stop, reset, close): it drops its clock.
  virtual void Halted() {}
  // Finishes the oldest queued buffer: input buffers hold `recorded` bytes (filled in beforehand).
  void CompleteFront(std::uint32_t recorded = 0);
  void Notify(std::uint32_t message, WaveHeader* header, bool outlivesDevice = false);

 private:
  bool output_;
  WaveFormat format_;
  QObject* window_;
  std::shared_ptr<WaveCallback> callback_;
  std::unique_ptr<QObject> guard_;  // dies with the device, and with it what the device still had to say
  std::deque<WaveHeader*> queue_;
  bool started_ = false;
  bool closed_ = false;
};

// The platform's wave devices. Open answers 0 and the device, or an error; with WAVE_FORMAT_QUERY it only
// answers whether the device accepts the format and opens nothing.
class WaveAudio {
 public:
  virtual ~WaveAudio() = default;
  virtual std::int32_t OutOpen(std::unique_ptr<WaveDevice>& device, std::uint32_t deviceID, const WaveFormat& format,
                               QObject* window, WaveCallback callback, std::uint32_t flags) = 0;
  virtual std::int32_t InOpen(std::unique_ptr<WaveDevice>& device, std::uint32_t deviceID, const WaveFormat& format,
                              QObject* window, WaveCallback callback, std::uint32_t flags) = 0;
};

// The installed devices. Until some are installed, the null ones: one output and one input (device 0, or
// the mapper), PCM only.
WaveAudio& Audio();
// Installs devices (not owned) and returns the previous ones; nullptr restores the null devices.
WaveAudio* SetAudio(WaveAudio* audio);

}  // namespace platform
