// The development service's disk file: a small header of our own that says what the disk is.
// It holds the volume label and, for an encrypted disk, a salt and a verifier derived from the
// passphrase with PBKDF2; never the passphrase itself. There is no disk content: the service
// only simulates attachment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct DiskImage {
  static constexpr uint32_t kVersion = 1;
  static constexpr size_t kSaltBytes = 16;
  static constexpr size_t kVerifierBytes = 32;
  // The most key-derivation rounds a disk file may ask for. The service derives under its lock,
  // so a file asking for billions would freeze every client for hours; ours ask for far fewer.
  static constexpr uint32_t kMaxIterations = 1'000'000;
  // The longest volume label a disk file holds, in bytes of UTF-8.
  static constexpr size_t kMaxLabelBytes = 1024;

  std::string label;      // UTF-8
  bool encrypted = false;
  uint32_t iterations = 0;  // of the key derivation, for an encrypted disk
  std::string salt;
  std::string verifier;
};

// Whether a disk file can hold this label (UTF-8). A disk with a longer one would not read back.
bool LabelFits(const std::string& label);

// The bytes of a disk file; its label must fit.
std::string EncodeDiskImage(const DiskImage& image);

// The disk a file holds; nothing when the bytes are not one of our disk files.
std::optional<DiskImage> DecodeDiskImage(const std::string& bytes);
