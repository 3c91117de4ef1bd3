// The recent-file list in the registry: what is written, what reads as empty, and which stale
// entries are dropped and written back.
#include "utility/history_store.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utility/zel_base_dlg.h"

using ::testing::ElementsAre;

namespace {

constexpr wchar_t kKey[] = L"Software\\Halvern\\Lockvale";
constexpr wchar_t kValue[] = L"FileHistory";

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};

RawValue ReadRaw() {
  RawValue raw;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return raw;
  DWORD size = 0;
  if (RegQueryValueExW(key, kValue, nullptr, &raw.type, nullptr, &size) == ERROR_SUCCESS) {
    raw.bytes.resize(size);
    RegQueryValueExW(key, kValue, nullptr, &raw.type, raw.bytes.data(), &size);
  }
  RegCloseKey(key);
  return raw;
}

void WriteRaw(DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  RegSetValueExW(key, kValue, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

std::vector<BYTE> Utf16Bytes(const std::wstring& text) {
  const BYTE* first = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(first, first + (text.size() + 1) * sizeof(wchar_t));
}

std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  std::wstring path = std::wstring(folder) + name;
  CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return path;
}

class HistoryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteKeyW(HKEY_CURRENT_USER, kKey); }
  void TearDown() override { RegDeleteKeyW(HKEY_CURRENT_USER, kKey); }
};

}  // namespace

TEST_F(HistoryStoreTest, WritesOneRegSzWithItsNul) {
  WriteHistoryValue(u"C:\\a.zel\nD:\\b.zel\n");
  const RawValue raw = ReadRaw();
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw.bytes, Utf16Bytes(L"C:\\a.zel\nD:\\b.zel\n"));
  EXPECT_EQ(ReadHistoryValue(), u"C:\\a.zel\nD:\\b.zel\n");

  WriteHistoryValue(u"");
  EXPECT_EQ(ReadRaw().bytes, Utf16Bytes(L""));
}

TEST_F(HistoryStoreTest, AnythingButUtf16RegSzReadsAsEmpty) {
  EXPECT_EQ(ReadHistoryValue(), u"");  // no key at all

  const std::vector<BYTE> text = Utf16Bytes(L"C:\\a.zel\n");
  WriteRaw(REG_EXPAND_SZ, text.data(), static_cast<DWORD>(text.size()));
  EXPECT_EQ(ReadHistoryValue(), u"");
  WriteRaw(REG_MULTI_SZ, text.data(), static_cast<DWORD>(text.size()));
  EXPECT_EQ(ReadHistoryValue(), u"");
  WriteRaw(REG_SZ, text.data(), 5);  // an odd byte count is no UTF-16 text
  EXPECT_EQ(ReadHistoryValue(), u"");
  WriteRaw(REG_SZ, text.data(), 0);
  EXPECT_EQ(ReadHistoryValue(), u"");
}

TEST_F(HistoryStoreTest, TextWithoutItsFinalNulStillEnds) {
  const std::wstring text = L"C:\\a.zel\n";
  WriteRaw(REG_SZ, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)));
  EXPECT_EQ(ReadHistoryValue(), u"C:\\a.zel\n");
}

TEST_F(HistoryStoreTest, LoadingDropsMissingFilesAndRewritesTheValue) {
  const std::wstring first = TempFile(L"lv-history-first.zel");
  const std::wstring third = TempFile(L"lv-history-third.zel");
  const std::wstring stored = first + L"\n" + L"C:\\no such folder\\gone.zel\n" + third + L"\n";
  WriteRaw(REG_SZ, stored.c_str(), static_cast<DWORD>((stored.size() + 1) * sizeof(wchar_t)));

  CZelBaseDlg page(0);
  page.LoadHistory();
  EXPECT_THAT(page.m_history, ElementsAre(std::u16string(first.begin(), first.end()),
                                          std::u16string(third.begin(), third.end())));
  EXPECT_EQ(ReadRaw().bytes, Utf16Bytes(first + L"\n" + third + L"\n"));
  DeleteFileW(first.c_str());
  DeleteFileW(third.c_str());
}

TEST_F(HistoryStoreTest, AnExpandStringStaysUntilTheNextAddition) {
  const std::vector<BYTE> text = Utf16Bytes(L"%TEMP%\\a.zel\n");
  WriteRaw(REG_EXPAND_SZ, text.data(), static_cast<DWORD>(text.size()));

  CZelBaseDlg page(0);
  page.LoadHistory();
  EXPECT_TRUE(page.m_history.empty());
  EXPECT_EQ(ReadRaw().type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(ReadRaw().bytes, text);

  page.AddToHistory(L"C:\\new.zel");
  EXPECT_EQ(ReadRaw().type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(ReadRaw().bytes, Utf16Bytes(L"C:\\new.zel\n"));
}
