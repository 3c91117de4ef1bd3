// Finish on the Create wizard's drive page.
#include "utility/create_finish.h"

#include "common/disk_service_client.h"
#include "utility/access_messages.h"

namespace {

// The drive of a path that starts with a letter and a colon; empty for UNC and relative paths.
std::u16string DriveOf(const std::u16string& path) {
  return path.size() >= 2 && path[1] == u':' ? path.substr(0, 2) : std::u16string();
}

}  // namespace

const MessageText* PassphraseProblem(std::u16string_view passphrase, std::u16string_view confirmation) {
  if (passphrase != confirmation) return &kPasswordMismatch;
  if (passphrase.empty()) return &kBlankPassword;
  return nullptr;
}

int FinishCreate(const CreateRequest& request, CDiskServiceClient& service, IDiskFiles& files,
                 ICreateFinishView& view) {
  const std::u16string& path = request.path;

  // A disk file cannot live inside a mounted virtual disk.
  const std::u16string drive = DriveOf(path);
  if (!drive.empty() && service.Status(drive) != 0) {
    view.Ask(kFileOnMountedDisk);
    return 0;
  }

  std::u16string aside;
  if (files.Exists(path)) {
    if (!view.Ask(kFileAlreadyExists) || view.WizardClosed()) return 0;
    aside = files.MoveAside(path);
    if (aside.empty()) {
      view.Ask(kCouldNotDeleteFile);
      return 0;
    }
  }
  // Whenever Finish stops from here on, the old file goes back once the user has seen why; if
  // it cannot, the user learns where it is, and it stays there.
  auto restore = [&] {
    if (!aside.empty() && !files.Restore(aside, path)) view.Ask(kFileKeptAside, FileKeptAsideText(aside));
  };

  int accessReason = 0;
  if (service.StorageAccessible(path, request.passphrase, accessReason) == 0) {
    view.Ask(AccessReasonMessage(accessReason));
    restore();
    return 0;
  }
  if (accessReason == 0 && !request.passphrase.empty() && (!view.Ask(kNewEncryptedDisk) || view.WizardClosed())) {
    restore();
    return 0;
  }

  view.AddToHistory(path);
  const int reply = service.Mount(path, request.drive, request.label, request.passphrase, 0);
  view.DisableControls();
  if (view.RecordMountResult(path, request.drive, request.label, reply) == 0) {
    restore();
    if (!view.WizardClosed()) view.EnableControls();
    return 0;
  }
  if (!aside.empty()) files.Discard(aside);
  view.StartDriveWait(reply);
  return reply;
}

std::u16string FileKeptAsideText(const std::u16string& aside) { return kFileKeptAsideIntro + aside; }
