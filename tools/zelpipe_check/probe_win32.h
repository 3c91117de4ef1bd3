// zelpipe-check's reach into Windows: the service's pipe, opened exactly as our clients open it
// (through their own helper) but with a deadline on every wait, the drive letters and the files
// the checks use.
#pragma once

#include <windows.h>

#include "common/service_pipe_win32.h"
#include "tools/zelpipe_check/conformance.h"

class CWin32Probe : public IServiceProbe {
 public:
  explicit CWin32Probe(DWORD timeoutMs) : m_timeoutMs(timeoutMs) {}

  ProbeReply Exchange(const std::string& request, uint32_t capacity, uint32_t readDelayMs) override;
  std::vector<ProbeReply> ExchangeTogether(const std::string& request, uint32_t capacity, int count) override;
  void Abandon(const std::string& bytes) override;
  PipeAccess ReadPipeAccess() override;
  uint32_t LogicalDrives() override;
  bool FileExists(const std::u16string& path) override;
  bool RemoveFile(const std::u16string& path) override;
  std::string FileDigest(const std::u16string& path) override;
  std::vector<std::u16string> FolderEntries(const std::u16string& folder) override;
  void Pause(uint32_t ms) override;

 private:
  struct Client;
  static DWORD WINAPI ClientMain(void* client);

  // Writes the request and reads the reply on an open connection. start is when the exchange
  // began (a QueryPerformanceCounter reading), for the reply's time.
  ProbeReply Talk(CServicePipe& pipe, const std::string& request, uint32_t capacity, uint32_t readDelayMs,
                  LARGE_INTEGER start) const;

  DWORD m_timeoutMs;
};
