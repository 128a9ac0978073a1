#include "platform/wave_audio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/paths.h"

namespace platform {

static_assert(std::endian::native == std::endian::little, "RIFF fields are read and written in place");

namespace {

constexpr std::uint32_t kRiff = FourCC("RIFF");
constexpr std::uint32_t kList = FourCC("LIST");

std::string DeviceErrorText(std::int32_t result, const char* device) {
  const std::string d = device;
  switch (result) {
    case MMSYSERR_NOERROR:
      return "No error";
    case MMSYSERR_ERROR:
      return "Unspecified error of the " + d;
    case MMSYSERR_BADDEVICEID:
      return "There is no such " + d;
    case MMSYSERR_NOTENABLED:
      return "The " + d + " is not enabled";
    case MMSYSERR_ALLOCATED:
      return "The " + d + " is already in use";
    case MMSYSERR_INVALHANDLE:
      return "The " + d + " is not open";
    case MMSYSERR_NODRIVER:
      return "No driver is installed for the " + d;
    case MMSYSERR_NOMEM:
      return "Not enough memory for the " + d;
    case MMSYSERR_INVALFLAG:
      return "Invalid flag given to the " + d;
    case MMSYSERR_INVALPARAM:
      return "Invalid parameter given to the " + d;
    case WAVERR_BADFORMAT:
      return "The " + d + " does not support this wave format";
    case WAVERR_STILLPLAYING:
      return "The " + d + " still holds buffers";
    case WAVERR_UNPREPARED:
      return "The buffer was not prepared for the " + d;
    default:
      return "Error " + std::to_string(result) + " of the " + d;
  }
}

}  // namespace

std::string WaveOutErrorText(std::int32_t result) { return DeviceErrorText(result, "wave output device"); }
std::string WaveInErrorText(std::int32_t result) { return DeviceErrorText(result, "wave input device"); }

// the format record

WaveFormat WaveFormat::Pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  WaveFormat f;
  f.FormatTag = WAVE_FORMAT_PCM;
  f.Channels = channels;
  f.SamplesPerSec = rate;
  f.BitsPerSample = bits;
  f.BlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
  f.AvgBytesPerSec = rate * f.BlockAlign;
  return f;
}

std::vector<std::uint8_t> WaveFormat::Bytes(bool withExtraSize) const {
  std::vector<std::uint8_t> out(16);
  std::memcpy(&out[0], &FormatTag, 2);
  std::memcpy(&out[2], &Channels, 2);
  std::memcpy(&out[4], &SamplesPerSec, 4);
  std::memcpy(&out[8], &AvgBytesPerSec, 4);
  std::memcpy(&out[12], &BlockAlign, 2);
  std::memcpy(&out[14], &BitsPerSample, 2);
  if (withExtraSize) {
    const auto extraSize = static_cast<std::uint16_t>(Extra.size());
    out.resize(18);
    std::memcpy(&out[16], &extraSize, 2);
    out.insert(out.end(), Extra.begin(), Extra.end());
  }
  return out;
}

bool WaveFormat::Parse(const std::uint8_t* data, std::size_t size, WaveFormat& format) {
  if (size < 16) return false;
  WaveFormat f;
  std::memcpy(&f.FormatTag, data, 2);
  std::memcpy(&f.Channels, data + 2, 2);
  std::memcpy(&f.SamplesPerSec, data + 4, 4);
  std::memcpy(&f.AvgBytesPerSec, data + 8, 4);
  std::memcpy(&f.BlockAlign, data + 12, 2);
  std::memcpy(&f.BitsPerSample, data + 14, 2);
  if (size >= 18) {
    std::uint16_t extraSize = 0;
    std::memcpy(&extraSize, data + 16, 2);
    const std::size_t n = std::min<std::size_t>(extraSize, size - 18);
    f.Extra.assign(data + 18, data + 18 + n);
  }
  format = std::move(f);
  return true;
}

// RIFF files

RiffFile::RiffFile(WriteFunction write) : write_(std::move(write)) {
  if (!write_) write_ = [](int fd, const void* data, size_t size) { return ::write(fd, data, size); };
}

RiffFile::~RiffFile() { Close(); }

std::int32_t RiffFile::Open(const std::string& path, Mode mode) {
  Close();
  const int flags = mode == Mode::Read ? O_RDONLY : O_RDWR | O_CREAT | O_TRUNC;
  fd_ = ::open(NativePath(path).c_str(), flags | O_CLOEXEC, 0666);  // less the umask, as any new file
  if (fd_ < 0) return errno == ENOENT ? MMIOERR_FILENOTFOUND : MMIOERR_CANNOTOPEN;
  mode_ = mode;
  position_ = 0;
  failed_ = false;
  return 0;
}

std::int32_t RiffFile::Close() {
  if (fd_ < 0) return 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  return mode_ == Mode::Create && (failed_ || !closed) ? MMIOERR_CANNOTWRITE : 0;
}

bool RiffFile::Seek(std::int64_t offset) {
  if (fd_ < 0 || ::lseek(fd_, offset, SEEK_SET) < 0) return false;
  position_ = offset;
  return true;
}

std::int64_t RiffFile::BytesLeft() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  return std::max<std::int64_t>(st.st_size - position_, 0);
}

bool RiffFile::ReadExact(void* buffer, std::size_t size) { return Read(buffer, size) == static_cast<ssize_t>(size); }

bool RiffFile::WriteExact(const void* data, std::size_t size) {
  return Write(data, size) == static_cast<ssize_t>(size);
}

ssize_t RiffFile::Read(void* buffer, std::size_t size) {
  if (fd_ < 0) return -1;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  position_ += static_cast<std::int64_t>(done);
  return static_cast<ssize_t>(done);
}

ssize_t RiffFile::Write(const void* data, std::size_t size) {
  if (fd_ < 0 || mode_ != Mode::Create || failed_) return -1;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write_(fd_, static_cast<const char*>(data) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      return -1;
    }
    done += static_cast<std::size_t>(n);
  }
  position_ += static_cast<std::int64_t>(done);
  return static_cast<ssize_t>(done);
}

std::int32_t RiffFile::Descend(RiffChunk& chunk, const RiffChunk* parent, std::uint32_t flags) {
  if (fd_ < 0) return MMIOERR_CANNOTREAD;
  std::int64_t end = 0;
  if (parent) {
    end = static_cast<std::int64_t>(parent->DataOffset) + parent->Size;
  } else {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return MMIOERR_CANNOTREAD;
    end = st.st_size;
  }
  for (;;) {
    if (position_ + 8 > end) return MMIOERR_CHUNKNOTFOUND;
    std::uint32_t header[2];
    if (!ReadExact(header, sizeof header)) return MMIOERR_CHUNKNOTFOUND;
    RiffChunk found;
    found.Id = header[0];
    found.Size = header[1];
    found.DataOffset = static_cast<std::uint32_t>(position_);
    const bool list = found.Id == kRiff || found.Id == kList;
    if (list && !ReadExact(&found.FormType, 4)) return MMIOERR_CHUNKNOTFOUND;
    bool match = true;
    if (flags & FindChunk)
      match = found.Id == chunk.Id;
    else if (flags & FindRiff)
      match = found.Id == kRiff && found.FormType == chunk.FormType;
    else if (flags & FindList)
      match = found.Id == kList && found.FormType == chunk.FormType;
    if (match) {
      chunk = found;
      return 0;
    }
    const std::int64_t next = static_cast<std::int64_t>(found.DataOffset) + found.Size + (found.Size & 1);
    if (!Seek(next)) return MMIOERR_CANNOTSEEK;
  }
}

std::int32_t RiffFile::Ascend(RiffChunk& chunk) {
  if (fd_ < 0) return MMIOERR_CANNOTSEEK;
  if (!chunk.Dirty) {
    const std::int64_t next = static_cast<std::int64_t>(chunk.DataOffset) + chunk.Size + (chunk.Size & 1);
    return Seek(next) ? 0 : MMIOERR_CANNOTSEEK;
  }
  const std::int64_t size = position_ - chunk.DataOffset;
  if (size < 0 || size > 0xFFFFFFFFll) return MMIOERR_CANNOTSEEK;
  if (size & 1) {
    const std::uint8_t pad = 0;
    if (!WriteExact(&pad, 1)) return MMIOERR_CANNOTWRITE;
  }
  const std::int64_t after = position_;
  chunk.Size = static_cast<std::uint32_t>(size);
  if (!Seek(static_cast<std::int64_t>(chunk.DataOffset) - 4)) return MMIOERR_CANNOTSEEK;
  if (!WriteExact(&chunk.Size, 4)) return MMIOERR_CANNOTWRITE;
  if (!Seek(after)) return MMIOERR_CANNOTSEEK;
  chunk.Dirty = false;
  return 0;
}

std::int32_t RiffFile::CreateChunk(RiffChunk& chunk, std::uint32_t flags) {
  if (fd_ < 0 || mode_ != Mode::Create) return MMIOERR_CANNOTWRITE;
  if (flags & CreateRiff) chunk.Id = kRiff;
  if (flags & CreateList) chunk.Id = kList;
  const std::uint32_t header[2] = {chunk.Id, chunk.Size};
  if (!WriteExact(header, sizeof header)) return MMIOERR_CANNOTWRITE;
  chunk.DataOffset = static_cast<std::uint32_t>(position_);
  if ((flags & (CreateRiff | CreateList)) && !WriteExact(&chunk.FormType, 4)) return MMIOERR_CANNOTWRITE;
  chunk.Dirty = true;
  return 0;
}

std::int32_t ReadWaveFile(const std::string& path, WaveFormat& format, std::vector<std::uint8_t>& data) {
  RiffFile file;
  if (std::int32_t r = file.Open(path, RiffFile::Mode::Read)) return r;
  RiffChunk riff;
  riff.FormType = FourCC("WAVE");
  if (std::int32_t r = file.Descend(riff, nullptr, RiffFile::FindRiff)) return r;
  RiffChunk fmt;
  fmt.Id = FourCC("fmt ");
  if (std::int32_t r = file.Descend(fmt, &riff, RiffFile::FindChunk)) return r;
  std::vector<std::uint8_t> record(std::min<std::uint32_t>(fmt.Size, 1024));
  if (file.Read(record.data(), record.size()) != static_cast<ssize_t>(record.size()) ||
      !WaveFormat::Parse(record.data(), record.size(), format))
    return MMIOERR_CANNOTREAD;
  if (std::int32_t r = file.Ascend(fmt)) return r;
  RiffChunk chunk;
  chunk.Id = FourCC("data");
  if (std::int32_t r = file.Descend(chunk, &riff, RiffFile::FindChunk)) return r;
  // A size stated beyond the end of the file is a file cut short: room only for what the file holds.
  data.resize(static_cast<std::size_t>(std::min<std::int64_t>(chunk.Size, file.BytesLeft())));
  const ssize_t n = file.Read(data.data(), data.size());
  if (n < 0) return MMIOERR_CANNOTREAD;
  data.resize(static_cast<std::size_t>(n));  // a file cut short keeps what it has
  return 0;
}

std::int32_t WriteWaveFile(const std::string& path, const WaveFormat& format, const std::vector<std::uint8_t>& data) {
  // Written beside the old file and renamed over it only when complete.
  const std::string temp = path + ".~wav";
  RiffFile file;
  std::int32_t r = file.Open(temp, RiffFile::Mode::Create);
  RiffChunk riff, fmt, chunk;
  riff.FormType = FourCC("WAVE");
  fmt.Id = FourCC("fmt ");
  chunk.Id = FourCC("data");
  const auto record = format.Bytes(format.FormatTag != WAVE_FORMAT_PCM || !format.Extra.empty());
  if (!r) r = file.CreateChunk(riff, RiffFile::CreateRiff);
  if (!r) r = file.CreateChunk(fmt, 0);
  if (!r && file.Write(record.data(), record.size()) < 0) r = MMIOERR_CANNOTWRITE;
  if (!r) r = file.Ascend(fmt);
  if (!r) r = file.CreateChunk(chunk, 0);
  if (!r && file.Write(data.data(), data.size()) < 0) r = MMIOERR_CANNOTWRITE;
  if (!r) r = file.Ascend(chunk);
  if (!r) r = file.Ascend(riff);
  if (std::int32_t closed = file.Close(); !r) r = closed;
  if (!r && std::rename(NativePath(temp).c_str(), NativePath(path).c_str()) != 0) r = MMIOERR_CANNOTWRITE;
  if (r) ::unlink(NativePath(temp).c_str());
  return r;
}

// devices

WaveDevice::WaveDevice(bool output, const WaveFormat& format, QObject* window, WaveCallback callback)
    : output_(output),
      format_(format),
      window_(window),
      callback_(std::make_shared<WaveCallback>(std::move(callback))),
      guard_(std::make_unique<QObject>()) {
  Notify(output ? MM_WOM_OPEN : MM_WIM_OPEN, nullptr);
}

WaveDevice::~WaveDevice() = default;

void WaveDevice::Notify(std::uint32_t message, WaveHeader* header, bool outlivesDevice) {
  if (!window_ || !*callback_) return;
  QPointer<QObject> guard(guard_.get());
  QMetaObject::invokeMethod(
      window_,
      [guard, outlivesDevice, callback = callback_, message, header] {
        if (outlivesDevice || guard) (*callback)(message, header);
      },
      Qt::QueuedConnection);
}

std::int32_t WaveDevice::PrepareHeader(WaveHeader& header) {
  if (closed_) return MMSYSERR_INVALHANDLE;
  if (!header.Data && header.BufferLength) return MMSYSERR_INVALPARAM;
  header.Flags |= WHDR_PREPARED;
  return 0;
}

std::int32_t WaveDevice::UnprepareHeader(WaveHeader& header) {
  if (closed_) return MMSYSERR_INVALHANDLE;
  if (header.Flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header.Flags &= ~WHDR_PREPARED;
  return 0;
}

std::int32_t WaveDevice::Write(WaveHeader& header) {
  if (closed_) return MMSYSERR_INVALHANDLE;
  if (!(header.Flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (header.Flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header.Flags = (header.Flags & ~WHDR_DONE) | WHDR_INQUEUE;
  if (!output_) header.BytesRecorded = 0;
  queue_.push_back(&header);
  Queued();
  return 0;
}

std::int32_t WaveDevice::Start() {
  if (closed_ || output_) return MMSYSERR_INVALHANDLE;
  started_ = true;
  Queued();
  return 0;
}

std::int32_t WaveDevice::Stop() {
  if (closed_ || output_) return MMSYSERR_INVALHANDLE;
  Halted();
  started_ = false;
  if (!queue_.empty() && queue_.front()->BytesRecorded > 0) CompleteFront(queue_.front()->BytesRecorded);
  return 0;
}

std::int32_t WaveDevice::Reset() {
  if (closed_) return MMSYSERR_INVALHANDLE;
  Halted();
  started_ = false;
  while (!queue_.empty()) CompleteFront(queue_.front()->BytesRecorded);
  return 0;
}

std::int32_t WaveDevice::Close() {
  if (closed_) return MMSYSERR_INVALHANDLE;
  if (!queue_.empty()) return WAVERR_STILLPLAYING;
  Halted();
  started_ = false;
  closed_ = true;
  Notify(output_ ? MM_WOM_CLOSE : MM_WIM_CLOSE, nullptr, true);
  return 0;
}

void WaveDevice::CompleteFront(std::uint32_t recorded) {
  if (queue_.empty()) return;
  WaveHeader* header = queue_.front();
  queue_.pop_front();
  if (!output_) header->BytesRecorded = std::min(recorded, header->BufferLength);
  header->Flags = (header->Flags & ~WHDR_INQUEUE) | WHDR_DONE;
  Notify(output_ ? MM_WOM_DONE : MM_WIM_DATA, header);
}

namespace {

// Plays nothing and records silence, one buffer after the other at the pace of real time.
class NullDevice : public WaveDevice {
 public:
  NullDevice(bool output, const WaveFormat& format, QObject* window, WaveCallback callback)
      : WaveDevice(output, format, window, std::move(callback)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Elapsed(); });
  }

 protected:
  void Queued() override {
    if (timer_.isActive() || Queue().empty() || (!Output() && !Started())) return;
    WaveHeader* front = Queue().front();
    const std::uint64_t rate = std::max<std::uint32_t>(Format().AvgBytesPerSec, 1);
    timer_.start(static_cast<int>(std::min<std::uint64_t>(front->BufferLength * 1000ull / rate, 3600000)));
    clock_.start();
  }

  void Halted() override {
    if (!timer_.isActive()) return;
    timer_.stop();
    // Input stopped half way: the buffer holds the silence recorded so far.
    if (!Output() && !Queue().empty()) Fill(*Queue().front(), static_cast<std::uint64_t>(clock_.elapsed()));
  }

 private:
  void Elapsed() {
    if (Queue().empty()) return;
    WaveHeader& front = *Queue().front();
    if (!Output()) Fill(front, ~0ull);
    CompleteFront(front.BytesRecorded);
    Queued();
  }

  void Fill(WaveHeader& header, std::uint64_t ms) {
    const std::uint64_t align = std::max<std::uint16_t>(Format().BlockAlign, 1);
    std::uint64_t bytes = ms == ~0ull ? header.BufferLength : ms * Format().AvgBytesPerSec / 1000;
    bytes = std::min<std::uint64_t>(bytes - bytes % align, header.BufferLength);
    std::memset(header.Data, Format().BitsPerSample == 8 ? 0x80 : 0, static_cast<std::size_t>(bytes));
    header.BytesRecorded = static_cast<std::uint32_t>(bytes);
  }

  QTimer timer_;
  QElapsedTimer clock_;
};

bool PlainPcm(const WaveFormat& f) {
  return f.FormatTag == WAVE_FORMAT_PCM && (f.BitsPerSample == 8 || f.BitsPerSample == 16) && f.Channels >= 1 &&
         f.Channels <= 2 && f.SamplesPerSec >= 1 && f.SamplesPerSec <= 192000 &&
         f.BlockAlign == f.Channels * f.BitsPerSample / 8 && f.AvgBytesPerSec == f.SamplesPerSec * f.BlockAlign;
}

class NullAudio : public WaveAudio {
 public:
  std::int32_t OutOpen(std::unique_ptr<WaveDevice>& device, std::uint32_t id, const WaveFormat& format, QObject* window,
                       WaveCallback callback, std::uint32_t flags) override {
    return Open(true, device, id, format, window, std::move(callback), flags);
  }
  std::int32_t InOpen(std::unique_ptr<WaveDevice>& device, std::uint32_t id, const WaveFormat& format, QObject* window,
                      WaveCallback callback, std::uint32_t flags) override {
    return Open(false, device, id, format, window, std::move(callback), flags);
  }

 private:
  static std::int32_t Open(bool output, std::unique_ptr<WaveDevice>& device, std::uint32_t id, const WaveFormat& format,
                           QObject* window, WaveCallback callback, std::uint32_t flags) {
    device.reset();
    if (id != 0 && id != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    if (!PlainPcm(format)) return WAVERR_BADFORMAT;
    if (flags & WAVE_FORMAT_QUERY) return 0;
    device = std::make_unique<NullDevice>(output, format, window, std::move(callback));
    return 0;
  }
};

NullAudio nullAudio;
std::atomic<WaveAudio*> installed{nullptr};

}  // namespace

WaveAudio& Audio() {
  WaveAudio* a = installed.load();
  return a ? *a : nullAudio;
}

WaveAudio* SetAudio(WaveAudio* audio) {
  WaveAudio* previous = installed.exchange(audio);
  return previous ? previous : &nullAudio;
}

}  // namespace platform
