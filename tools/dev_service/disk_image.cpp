// The development service's disk file format.
#include "tools/dev_service/disk_image.h"

namespace {

constexpr char kMagic[8] = {'L', 'V', 'Z', 'E', 'L', 'D', 'S', 'K'};
constexpr uint32_t kEncryptedFlag = 1;

void PutU32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// Reads from a byte string, refusing to go past its end.
class CReader {
 public:
  explicit CReader(const std::string& bytes) : m_bytes(bytes) {}
  bool U32(uint32_t& value) {
    if (m_bytes.size() - m_offset < 4) return false;
    value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(m_bytes[m_offset + static_cast<size_t>(i)]);
    m_offset += 4;
    return true;
  }
  bool Bytes(size_t count, std::string& out) {
    if (m_bytes.size() - m_offset < count) return false;
    out = m_bytes.substr(m_offset, count);
    m_offset += count;
    return true;
  }
  bool AtEnd() const { return m_offset == m_bytes.size(); }

 private:
  const std::string& m_bytes;
  size_t m_offset = 0;
};

}  // namespace

bool LabelFits(const std::string& label) { return label.size() <= DiskImage::kMaxLabelBytes; }

std::string EncodeDiskImage(const DiskImage& image) {
  std::string out(kMagic, sizeof kMagic);
  PutU32(out, DiskImage::kVersion);
  PutU32(out, image.encrypted ? kEncryptedFlag : 0);
  PutU32(out, static_cast<uint32_t>(image.label.size()));
  out += image.label;
  if (image.encrypted) {
    PutU32(out, image.iterations);
    out += image.salt;
    out += image.verifier;
  }
  return out;
}

std::optional<DiskImage> DecodeDiskImage(const std::string& bytes) {
  CReader reader(bytes);
  std::string magic;
  uint32_t version = 0;
  uint32_t flags = 0;
  uint32_t labelBytes = 0;
  DiskImage image;
  if (!reader.Bytes(sizeof kMagic, magic) || magic != std::string(kMagic, sizeof kMagic)) return std::nullopt;
  if (!reader.U32(version) || version != DiskImage::kVersion) return std::nullopt;
  if (!reader.U32(flags) || (flags & ~kEncryptedFlag) != 0) return std::nullopt;
  if (!reader.U32(labelBytes) || labelBytes > DiskImage::kMaxLabelBytes || !reader.Bytes(labelBytes, image.label)) {
    return std::nullopt;
  }
  image.encrypted = (flags & kEncryptedFlag) != 0;
  if (image.encrypted) {
    if (!reader.U32(image.iterations) || image.iterations == 0 || image.iterations > DiskImage::kMaxIterations ||
        !reader.Bytes(DiskImage::kSaltBytes, image.salt) || !reader.Bytes(DiskImage::kVerifierBytes, image.verifier)) {
      return std::nullopt;
    }
  }
  if (!reader.AtEnd()) return std::nullopt;
  return image;
}
