// What the journeys set up around the program: the scripted service's expected requests, disk
// files, the recent-file value, drive letters that come and go, and a recorder standing in for
// the file manager.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A request as it goes over the pipe: the text and its NUL.
inline std::string Request(const std::string& text) { return text + std::string(1, '\0'); }

// A file in the temporary folder, removed again at the end of the test.
class CTempFile {
 public:
  explicit CTempFile(const std::wstring& name);
  ~CTempFile();
  CTempFile(const CTempFile&) = delete;
  CTempFile& operator=(const CTempFile&) = delete;
  const std::wstring& Path() const { return m_path; }
  std::string PathUtf8() const;

 private:
  std::wstring m_path;
};

// The test's current folder, which a started program inherits, is folder while the object lives.
class CCurrentFolder {
 public:
  explicit CCurrentFolder(const std::wstring& folder);
  ~CCurrentFolder();
  CCurrentFolder(const CCurrentFolder&) = delete;
  CCurrentFolder& operator=(const CCurrentFolder&) = delete;
  // name in the current folder, as the program makes a relative name absolute.
  std::wstring Inside(const std::wstring& name) const;

 private:
  std::wstring m_previous;
};

// The recent-file value in the registry, raw.
void SetHistoryValue(const std::wstring& text);
std::wstring HistoryValue();
void DeleteHistoryValue();

// A drive letter that exists while the object lives.
class CDriveLetter {
 public:
  explicit CDriveLetter(wchar_t letter);
  ~CDriveLetter();
  CDriveLetter(const CDriveLetter&) = delete;
  CDriveLetter& operator=(const CDriveLetter&) = delete;

 private:
  std::wstring m_drive;
};

// Folders and drives opened with the shell's "open" verb start the command recorder instead of
// the file manager; each test gets a fresh record of what was opened.
class COpenRecorder {
 public:
  COpenRecorder();
  ~COpenRecorder();
  COpenRecorder(const COpenRecorder&) = delete;
  COpenRecorder& operator=(const COpenRecorder&) = delete;
  // The environment entry that the started program passes on to what it starts.
  std::wstring Environment() const { return L"LV_RECORD_FILE=" + m_file; }
  // The recorded command-line tails, one per start.
  std::vector<std::string> Lines() const;

 private:
  std::wstring m_file;
};

// Puts text on the clipboard as another program's copy would; empty text empties it.
bool SetClipboardText(const std::wstring& text);

// Every piece of text that is length characters long, each as UTF-16 and as UTF-8.
std::vector<std::string> PiecesOf(const std::wstring& text, size_t length);
// Those of needles that the memory of process pid holds anywhere it can be read: every
// committed page, in use or freed back to a heap.
std::vector<std::string> FoundInMemory(DWORD pid, const std::vector<std::string>& needles);

// The recorder's own path, next to the other tools.
std::wstring RecorderPath();
