// The transport under the disk-service client: one exchange on a fresh pipe connection.
// Windows implements it on the named pipe; the native unit tests link a scripted stand-in.
#pragma once

#include <cstdint>

#include "common/service_protocol.h"

// Opens the service's pipe (existing instance only, no waiting, no retry), writes requestBytes
// bytes in one write, reads once at most capacity bytes into reply, and closes the pipe.
// Returns true and the byte count in *received when the request went out whole and the read
// delivered at least one byte; false on any failure.
bool ExchangeWithService(const char* request, uint32_t requestBytes, char* reply, uint32_t capacity,
                         uint32_t* received);
