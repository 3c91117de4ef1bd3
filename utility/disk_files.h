// The disk files at a Create location, on the real file system.
#pragma once

#include "utility/create_finish.h"

class CDiskFiles : public IDiskFiles {
 public:
  bool Exists(const std::u16string& path) override;
  std::u16string MoveAside(const std::u16string& path) override;
  bool Restore(const std::u16string& aside, const std::u16string& path) override;
  void Discard(const std::u16string& aside) override;
};
