// The Status request of the handlers: the service link's request text and reply reading over
// an exchange that the caller supplies (on Windows, one with a deadline).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// One exchange: sends request (its NUL included), reads at most capacity bytes into reply.
// True with *received set when the request went out whole and at least one byte came back.
using ServiceExchange =
    std::function<bool(const std::string& request, char* reply, uint32_t capacity, uint32_t* received)>;

// "Status", the drive text, each on its own line, as UTF-8 with its NUL; the reply (at most 10
// bytes) read by the integer rule. A failed exchange reads as 0.
int32_t RequestStatus(std::u16string_view drive, const ServiceExchange& exchange);
