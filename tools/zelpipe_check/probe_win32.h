// zelpipe-check's reach into Windows: the service's pipe, opened as a client opens it but with
// a deadline on every wait, the drive letters and the files the checks use.
#pragma once

#include <windows.h>

#include "tools/zelpipe_check/conformance.h"

class CWin32Probe : public IServiceProbe {
 public:
  explicit CWin32Probe(DWORD timeoutMs) : m_timeoutMs(timeoutMs) {}

  ProbeReply Exchange(const std::string& request, uint32_t capacity, uint32_t readDelayMs) override;
  std::vector<ProbeReply> ExchangeTogether(const std::string& request, uint32_t capacity, int count) override;
  void Abandon(const std::string& bytes) override;
  uint32_t LogicalDrives() override;
  bool FileExists(const std::u16string& path) override;
  bool RemoveFile(const std::u16string& path) override;
  std::vector<std::u16string> FolderEntries(const std::u16string& folder) override;
  void Pause(uint32_t ms) override;

 private:
  struct Client;
  static DWORD WINAPI ClientMain(void* client);

  // Opens the pipe as a client does (existing instance only, no waiting), for overlapped I/O;
  // INVALID_HANDLE_VALUE with the outcome in reply when it cannot.
  static HANDLE Open(ProbeReply& reply);
  // Writes the request and reads the reply on an open connection, then closes it.
  ProbeReply Talk(HANDLE pipe, const std::string& request, uint32_t capacity, uint32_t readDelayMs) const;

  DWORD m_timeoutMs;
};
