// Applies registry steps to the Windows registry.
#pragma once

#include "shellext/registration.h"

class CRegistryWriter : public IRegistryWriter {
 public:
  int32_t Apply(const RegistryStep& step) override;
};
