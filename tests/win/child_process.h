// A console program started by a test or a measurement, its output (standard output and error)
// going to a file that can be read back; ended, if it still runs, when the object goes.
#pragma once

#include <windows.h>

#include <string>

#include "tests/win/file_text.h"

class CChildProcess {
 public:
  // Starts "program" arguments, with these process creation flags; Started() says whether it did.
  CChildProcess(const std::wstring& program, const std::wstring& arguments, std::wstring outputFile,
                DWORD creationFlags = 0)
      : m_outputFile(std::move(outputFile)) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileW(m_outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                                CREATE_ALWAYS, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
      m_startError = GetLastError();
      return;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    if ((creationFlags & CREATE_NEW_CONSOLE) != 0) {
      startup.dwFlags |= STARTF_USESHOWWINDOW;  // the console window is not needed on the screen
      startup.wShowWindow = SW_HIDE;
    }
    std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, creationFlags, nullptr, nullptr,
                       &startup, &process)) {
      CloseHandle(process.hThread);
      m_process = process.hProcess;
    } else {
      m_startError = GetLastError();
    }
    CloseHandle(output);
  }
  ~CChildProcess() {
    if (m_process == nullptr) return;
    TerminateProcess(m_process, 0);
    WaitForSingleObject(m_process, 5000);
    CloseHandle(m_process);
  }
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  bool Started() const { return m_process != nullptr; }
  // Why it did not start: the system's error code.
  DWORD StartError() const { return m_startError; }
  HANDLE Handle() const { return m_process; }

  // True, with its exit code, once it has ended within timeoutMs.
  bool WaitExit(DWORD timeoutMs, DWORD* exitCode) const {
    if (m_process == nullptr || WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(m_process, exitCode) != FALSE;
  }

  // Everything it has written so far.
  std::string Output() const { return FileText(m_outputFile); }

 private:
  std::wstring m_outputFile;
  HANDLE m_process = nullptr;
  DWORD m_startError = 0;
};
