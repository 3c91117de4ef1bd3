// The client of the disk service: every operation is one complete exchange on its own pipe
// connection, and every failure reads as an empty reply, that is 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/secret_text.h"
#include "common/service_protocol.h"

class CDiskServiceClient {
 public:
  int32_t Mount(std::u16string_view path, std::u16string_view drive, std::u16string_view label,
                std::u16string_view passphrase, int32_t option);
  int32_t Unmount(std::u16string_view entry);
  int32_t Status(std::u16string_view drive);
  // The service's list of mounted disks; empty when it announces no list.
  std::u16string List();
  // Whether the file can be used (or created) with this passphrase; accessReason says why not.
  int32_t StorageAccessible(std::u16string_view path, std::u16string_view passphrase,
                            int32_t& accessReason);

 private:
  // One exchange. replyLength goes in as the reply capacity minus 1 and comes out as the reply
  // text's length; the reply buffer is zeroed first, so a failure leaves an empty reply.
  // Returns 0 on success, 1 on failure.
  int Transact(const char* request, uint32_t requestLength, char* reply, uint32_t* replyLength);
  // Sends a request (its bytes with their NUL) and the reply, at most capacity bytes, into reply.
  void Send(const SecretBytes& request, char* reply, uint32_t capacity);
  // Sends a request whose answer is one integer and reads that integer.
  int32_t IntegerRequest(const SecretBytes& request);
};
