// The development service's disk files: any bytes a file may hold. One layout per disk, so
// whatever reads as a disk is written back byte for byte, and a disk made from the input's
// own values (when the format can hold them) reads back as itself.
#include <string>

#include "fuzz/fuzz_input.h"
#include "tools/dev_service/disk_image.h"

namespace {

bool SameImage(const DiskImage& a, const DiskImage& b) {
  return a.label == b.label && a.encrypted == b.encrypted && a.iterations == b.iterations && a.salt == b.salt &&
         a.verifier == b.verifier;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (const auto image = DecodeDiskImage(bytes)) {
    FUZZ_CHECK(EncodeDiskImage(*image) == bytes);
    FUZZ_CHECK(!image->encrypted || (image->iterations > 0 && image->salt.size() == DiskImage::kSaltBytes &&
                                     image->verifier.size() == DiskImage::kVerifierBytes));
    FUZZ_CHECK(image->encrypted || (image->iterations == 0 && image->salt.empty() && image->verifier.empty()));
  }

  // The other way round: a disk as the service would make it, its label from the input. The
  // service makes none with a label the format cannot hold.
  DiskImage made;
  made.encrypted = size > 0 && (data[0] & 1) != 0;
  made.label = bytes.substr(std::min<size_t>(size, 1));
  if (made.encrypted) {
    made.iterations = 1 + Number32(made.label.substr(0, 4)) % DiskImage::kMaxIterations;
    made.salt = std::string(DiskImage::kSaltBytes, 's');
    made.verifier = std::string(DiskImage::kVerifierBytes, 'v');
  }
  if (!LabelFits(made.label)) return 0;
  const auto back = DecodeDiskImage(EncodeDiskImage(made));
  FUZZ_CHECK(back.has_value() && SameImage(*back, made));
  return 0;
}
