// A text file that a test reads back, whole or line by line, while another process (a recorder,
// a started program) may still be writing it.
#pragma once

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

// Everything written to the file so far; empty when it cannot be opened.
inline std::string FileText(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  CloseHandle(file);
  return text;
}

// Its lines, without their line feeds.
inline std::vector<std::string> FileLines(const std::wstring& path) {
  std::vector<std::string> lines;
  std::istringstream in(FileText(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
