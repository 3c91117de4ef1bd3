// Which message explains a StorageAccessible refusal.
#include "utility/access_messages.h"

#include "common/disk_service_client.h"

const MessageText& AccessReasonMessage(int accessReason) {
  switch (accessReason) {
    case kAccessInvalidPassphrase: return kInvalidPassphrase;
    case kAccessInvalidFile: return kInvalidFile;
    case kAccessDenied: return kFileAccessDenied;
    default: return kFileError;
  }
}
