#include "project/icon_image.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "platform/paths.h"
#include "platform/text.h"

namespace project {

namespace {

const SystemMapTree::Node* IconsGroup(const SystemMapTree& tree) {
  // The compiler goes by position, not by the header's text, which the user may rename.
  if (!tree.IsTouchController()) return nullptr;
  const SystemMapTree::Node* group = tree.NodeAt(IconsHeader);
  if (!group || tree.LevelOf(group) != 2 || tree.PositionOf(group->Parent()) != 1) return nullptr;
  return group;
}

void PutU16(std::span<std::uint8_t> buffer, int offset, int value) {
  buffer[offset] = static_cast<std::uint8_t>(value & 0xFF);
  buffer[offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

IconFile LoadIconBitmap(const std::string& path) {
  IconFile file;
  std::string actual = platform::ResolveFileCase(path);
  if (!platform::FileExists(actual)) return file;
  if (file.Image.load(platform::ToQString(actual)) && FitsIconDirectory(file.Image)) {
    file.Status = IconFile::State::Loaded;
  } else {
    file.Image = QImage();
    file.Status = IconFile::State::Unreadable;
  }
  return file;
}

bool FitsIconDirectory(const QImage& image) { return image.width() / 8 * 8 <= 0xFFFF && image.height() <= 0xFFFF; }

bool IsWhitePixel(QRgb pixel) { return qRed(pixel) == 255 && qGreen(pixel) == 255 && qBlue(pixel) == 255; }

QImage ReduceToTwoLevels(const QImage& image) {
  QImage source = image.convertToFormat(QImage::Format_RGB32);
  QImage result(source.size(), QImage::Format_RGB32);
  for (int y = 0; y < source.height(); ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    QRgb* out = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < source.width(); ++x) out[x] = IsWhitePixel(in[x]) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
  }
  return result;
}

IconCompileResult CompileIconImage(const SystemMapTree& tree, const std::string& projectDir, const IconLoader& loader,
                                   std::span<std::uint8_t> buffer, CommsLog& log) {
  IconCompileResult result;
  const SystemMapTree::Node* group = IconsGroup(tree);
  const int size = static_cast<int>(std::min<size_t>(buffer.size(), 0x7FFFFFFF));
  int next = IconDirectorySize;

  for (int i = 0; i < IconCount; ++i) {
    const SystemMapTree::Node* node = group ? group->Child(i) : nullptr;
    int width = 16;
    int height = 16;
    QImage image;
    if (node) {
      IconFile file;
      // A bitmap that breaks its reader becomes the white icon: the compile runs inside a timer tick.
      try {
        file = loader(projectDir + node->Text());
      } catch (const std::exception&) {
        file = IconFile{IconFile::State::Unreadable, QImage()};
      }
      if (file.Status == IconFile::State::Loaded && !FitsIconDirectory(file.Image))
        file.Status = IconFile::State::Unreadable;
      if (file.Status == IconFile::State::Loaded) {
        image = file.Image.convertToFormat(QImage::Format_RGB32);
        height = image.height();
        width = image.width() / 8 * 8;
        char line[512];
        std::snprintf(line, sizeof line, "%s, to %u, %u x %u #%d", node->Text().c_str(), static_cast<unsigned>(next),
                      static_cast<unsigned>(width), static_cast<unsigned>(height), i);
        log.AddLogLine(line);
      } else if (file.Status == IconFile::State::Unreadable) {
        log.AddLogLine(node->Text() + ", not a readable bitmap #" + std::to_string(i));
      }
    }

    const long long bytes = static_cast<long long>(height) * (width / 8);
    if (6 * i + 6 > size || next + bytes > size) {
      log.AddLogLine("Error - Icon memory overrun");
      result.Overrun = true;
      return result;
    }
    PutU16(buffer, 6 * i, height);
    PutU16(buffer, 6 * i + 2, width);
    PutU16(buffer, 6 * i + 4, next);
    ++result.EntriesWritten;

    if (image.isNull()) {
      std::fill_n(buffer.begin() + next, bytes, 0xFF);
      next += static_cast<int>(bytes);
    } else {
      for (int y = 0; y < height; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int c = 0; c < width / 8; ++c) {
          std::uint8_t byte = 0;
          for (int k = 0; k < 8; ++k)
            if (IsWhitePixel(row[8 * c + k])) byte |= static_cast<std::uint8_t>(0x80 >> k);
          buffer[next++] = byte;
        }
      }
    }
    result.End = next;
    if (next > IconImageLimit) {
      log.AddLogLine("Error - Icon memory overrun");
      result.Overrun = true;
      return result;
    }
  }
  return result;
}

}  // namespace project
