// zelpipe-check's checks: which requests each one sends to whatever serves the disk service's
// pipe and what it expects back. The pipe and the file system are reached through
// IServiceProbe; what a well-formed reply is lives in reply_rules.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/zelpipe_check/pipe_access.h"
#include "tools/zelpipe_check/reply_rules.h"

class IServiceProbe {
 public:
  // One exchange on a connection of its own, as a client makes it but never waiting beyond a
  // deadline: open, one write, (after readDelayMs) one read of more than capacity bytes; when
  // that holds no NUL, reading goes on briefly, to tell a reply in pieces from one without NUL.
  virtual ProbeReply Exchange(const std::string& request, uint32_t capacity, uint32_t readDelayMs) = 0;
  // count clients each open a connection; once every one has tried, those that got one send
  // request and read the reply.
  virtual std::vector<ProbeReply> ExchangeTogether(const std::string& request, uint32_t capacity, int count) = 0;
  // Opens a connection, writes these bytes (maybe none) and closes it without reading.
  virtual void Abandon(const std::string& bytes) = 0;
  // Who may connect, read through a client's own connection.
  virtual PipeAccess ReadPipeAccess() = 0;

  virtual uint32_t LogicalDrives() = 0;
  virtual bool FileExists(const std::u16string& path) = 0;
  virtual bool RemoveFile(const std::u16string& path) = 0;
  // The file's size and a digest of its bytes, read while nobody else has it open; empty when it
  // cannot be opened so (missing, or held open by someone).
  virtual std::string FileDigest(const std::u16string& path) = 0;
  // The names in a folder.
  virtual std::vector<std::u16string> FolderEntries(const std::u16string& folder) = 0;
  virtual void Pause(uint32_t ms) = 0;

 protected:
  ~IServiceProbe() = default;
};

// The files the checks use; the caller makes them and removes them afterwards.
struct CheckPlan {
  std::u16string noDiskFile;     // an existing file of plain text
  std::u16string folder;         // an existing folder
  std::u16string creatablePath;  // no file there, in a folder that exists
  // Where the lifecycle creates its own disk, in a folder where nothing else is touched; empty:
  // no lifecycle.
  std::u16string lifecyclePath;
};

struct CheckResult {
  std::string name;
  bool passed = false;
  std::string why;  // when it failed
};

// A line that is no check of its own: a slow reply that no client gives up on, the slowest
// reply of each kind.
using ReportNote = std::function<void(const std::string& line)>;

// Runs every check in turn, handing each result to report as soon as it is known, and the notes
// on reply times at the end. Ends early only when nobody serves the pipe at all.
void RunConformanceChecks(IServiceProbe& probe, const CheckPlan& plan,
                          const std::function<void(const CheckResult&)>& report, const ReportNote& note);
