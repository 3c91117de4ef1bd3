// What the figures of `make bench` share.
#include "bench/bench.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "common/disk_service_client.h"
#include "common/service_pipe.h"

double NowMicroseconds() {
  static const double ticksPerMicrosecond = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1e6;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticksPerMicrosecond;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t rank = static_cast<size_t>(share * static_cast<double>(values.size()) + 0.999999);
  rank = std::min(std::max<size_t>(rank, 1), values.size());
  return values[rank - 1];
}

std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string Duration(double microseconds) {
  if (microseconds >= 10000) return Format("%.1f ms", microseconds / 1000);
  return Format("%.1f us", microseconds);
}

void Row(const std::string& number, const std::string& measure, const std::string& measured,
         const std::string& baseline, const std::string& ratio, const std::string& target, const std::string& result) {
  std::printf("ROW\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", number.c_str(), measure.c_str(), measured.c_str(),
              baseline.c_str(), ratio.c_str(), target.c_str(), result.c_str());
  std::fflush(stdout);
}

void Note(const std::string& text) {
  std::printf("NOTE\t%s\n", text.c_str());
  std::fflush(stdout);
}

void RatioRow(const std::string& number, const std::string& measure, double measured, double baseline, double target,
              int failures) {
  const double ratio = baseline > 0 ? measured / baseline : 0;
  std::string result = baseline > 0 && ratio <= target ? "holds" : "DOES NOT HOLD";
  if (failures > 0) result = Format("DOES NOT HOLD (%d failed)", failures);
  Row(number, measure, Duration(measured), Duration(baseline), Format("%.3f", ratio), Format("<= %.2f", target),
      result);
}

std::string Request(const char* text) { return std::string(text) + std::string(1, '\0'); }

bool RawRoundTrip(const std::string& request) {
  HANDLE pipe = CreateFileA(kServicePipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(pipe, request.data(), static_cast<DWORD>(request.size()), &written, nullptr) &&
            written == request.size();
  char reply[kIntegerReplyCapacity];
  DWORD read = 0;
  ok = ok && ReadFile(pipe, reply, sizeof reply, &read, nullptr) && read > 0;
  CloseHandle(pipe);
  return ok;
}
