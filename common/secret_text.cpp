// Wiping memory that held a passphrase.
#include "common/secret_text.h"

void WipeMemory(void* data, size_t bytes) {
  // Writes through a volatile pointer are observable behaviour: they stay even though the
  // memory is freed right after.
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  for (size_t i = 0; i < bytes; ++i) p[i] = 0;
}

#ifdef LV_FREED_SECRET_OBSERVER
FreedSecretObserver g_pfnFreedSecretObserver = nullptr;
#endif
