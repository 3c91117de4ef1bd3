// Which message explains a StorageAccessible refusal.
#pragma once

#include "utility/texts.h"

// 4: the passphrase; 1: not a disk file; 2: access denied; anything else: a general error.
const MessageText& AccessReasonMessage(int accessReason);
