// What the fuzz targets share: one input cut into fields, text made from bytes, and the check
// that stops a run on a broken property (libFuzzer keeps the input that did it).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "property broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                            \
    }                                                                                          \
  } while (false)

// An input's fields, separated by the byte 0xFF. No UTF-8 text holds that byte, so the seeds
// stay readable text around it; a missing field reads as absent, not as empty.
class FuzzFields {
 public:
  FuzzFields(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (;;) {
      const size_t end = all.find('\xFF', start);
      m_fields.push_back(all.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
  }
  size_t Count() const { return m_fields.size(); }
  bool Has(size_t index) const { return index < m_fields.size(); }
  std::string_view operator[](size_t index) const { return Has(index) ? m_fields[index] : std::string_view(); }

 private:
  std::vector<std::string_view> m_fields;
};

// Bytes taken as raw UTF-16 code units, low byte first, as Windows keeps text: lone surrogates
// and NULs included. An odd last byte is dropped.
inline std::u16string Utf16Units(std::string_view bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return units;
}

// Little-endian unsigned number from up to four bytes, 0 for none.
inline uint32_t Number32(std::string_view bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < bytes.size() && i < 4; ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return value;
}

inline bool StartsWith(std::u16string_view text, std::u16string_view start) {
  return text.substr(0, start.size()) == start;
}

inline bool EndsWith(std::u16string_view text, std::u16string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}
