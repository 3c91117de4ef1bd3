// Finish on the Create wizard's drive page: the checks in their order, the requests, and the
// care taken of a disk file that already stands at the path.
#pragma once

#include <string>
#include <string_view>

#include "common/secret_text.h"
#include "utility/texts.h"

class CDiskServiceClient;

// What the page offers the finish: questions to the user, and the page's own reactions.
class ICreateFinishView {
 public:
  // Shows the message (text, when given, stands in for its own); true when the user chose OK.
  virtual bool Ask(const MessageText& message, std::u16string_view text = {}) = 0;
  virtual void AddToHistory(const std::u16string& path) = 0;
  // After Mount has returned, whatever it replied.
  virtual void DisableControls() = 0;
  virtual void EnableControls() = 0;
  // Keeps what was mounted, or shows "Failed to mount" for a reply of 0; returns the reply.
  virtual int RecordMountResult(const std::u16string& path, const std::u16string& drive,
                                const std::u16string& label, int reply) = 0;
  virtual void StartDriveWait(int reply) = 0;
  // The wizard was closed while a box was open: Finish ends at once, sending nothing more and
  // touching no page, and only puts back a file it moved aside.
  virtual bool WizardClosed() = 0;

 protected:
  ~ICreateFinishView() = default;
};

// The disk files at the location, as far as Finish touches them.
class IDiskFiles {
 public:
  // A file or folder of that path exists.
  virtual bool Exists(const std::u16string& path) = 0;
  // Moves an existing file out of the way, to a free name in the same folder, and returns that
  // name; empty when it cannot go (a folder, a read-only file, a locked one, no rights).
  virtual std::u16string MoveAside(const std::u16string& path) = 0;
  // Puts a file moved aside back at its path, over whatever stands there now; false when it
  // cannot go back (a folder stands there, or the path is still held open).
  virtual bool Restore(const std::u16string& aside, const std::u16string& path) = 0;
  // Removes a file moved aside for good.
  virtual void Discard(const std::u16string& aside) = 0;

 protected:
  ~IDiskFiles() = default;
};

struct CreateRequest {
  std::u16string path;  // fully qualified, or empty
  std::u16string drive;
  std::u16string label;
  SecretText passphrase;  // empty when encryption is off
};

// The passphrase page's check when encryption is on: a mismatch first, then a blank passphrase;
// null when the passphrase may be used. Its strength is never a reason to refuse it.
const MessageText* PassphraseProblem(std::u16string_view passphrase, std::u16string_view confirmation);

// Runs Finish. An existing file is only moved aside after the user agreed to overwrite it; it
// comes back whenever Finish stops before a disk is mounted in its place (and when it cannot,
// the user is told where it is kept), and is removed only after the service mounted the new
// disk. Returns the Mount reply, or 0 when Finish stopped before Mount.
int FinishCreate(const CreateRequest& request, CDiskServiceClient& service, IDiskFiles& files,
                 ICreateFinishView& view);

// The text of the box that tells where an old file stays when it could not be put back.
std::u16string FileKeptAsideText(const std::u16string& aside);
