#pragma once
// Icon images for the touch-screen controller: the icon bitmaps named by the System Map's "Icons" group,
// reduced to black and white and packed into one image for the download.
//
// Image layout (16-bit values little-endian): a directory of 200 entries of 6 bytes (height, width,
// offset of the first pixel byte) at 0, then the icons' rows back to back from 1200. A row is width / 8
// bytes, leftmost pixel in the most significant bit, 1 = white.
#include <QImage>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "project/comms_log.h"
#include "project/system_map_tree.h"

namespace project {

inline constexpr int IconDirectorySize = IconCount * 6;  // 1200
inline constexpr int IconImageLimit = 49152;             // what the download sends
inline constexpr int ImageBufferSize = 57344;            // the communications window's staging buffer

struct IconFile {
  enum class State { Missing, Unreadable, Loaded };
  State Status = State::Missing;
  QImage Image;
};
using IconLoader = std::function<IconFile(const std::string& path)>;

// The program's loader: any bitmap QImage reads, looked up ignoring the name's case. A bitmap whose size
// the image directory's 16-bit fields cannot hold is unreadable.
IconFile LoadIconBitmap(const std::string& path);
bool FitsIconDirectory(const QImage& image);

// Only pure white (red, green and blue at full value) stays white; every other colour is black.
bool IsWhitePixel(QRgb pixel);
// The two-level picture the controller will show, as a black-and-white image of the same size.
QImage ReduceToTwoLevels(const QImage& image);

struct IconCompileResult {
  int EntriesWritten = 0;  // directory entries written
  int End = 0;             // offset after the last pixel byte written
  bool Overrun = false;
};

// Packs the icons into `buffer` (the staging buffer; 57,344 bytes in the program). Entry i is child i of
// the "Icons" group at position 1864 of a touch-screen tree; its file is projectDir + the node text.
// Entries without a node, a file or a readable bitmap become 16 x 16 white icons; an unreadable file is
// logged. Once the image passes 49,152 bytes, or an icon would not fit in the buffer, "Error - Icon
// memory overrun" is logged and the compilation stops. Nothing is ever written past the buffer, and the
// bytes after the image keep what they held.
IconCompileResult CompileIconImage(const SystemMapTree& tree, const std::string& projectDir, const IconLoader& loader,
                                   std::span<std::uint8_t> buffer, CommsLog& log);

}  // namespace project
