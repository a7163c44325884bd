// kernel32 services of the simulation: system texts, computer name, version,
// the simulated libraries, code pages, string helpers and threads.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32api.h"
#include "tests/platform/SimTestHelpers.h"
#include "tests/support/SimFixture.h"

namespace {

namespace sim = tavrin::sim;
using tavrin::test::Names;

class SimKernel : public tavrin::test::SimTest {};

constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY;

TEST(SimMessages, WindowsEnglishTexts) {
  const struct {
    DWORD code;
    const char* text;
  } cases[] = {
      {0, "The operation completed successfully."},
      {2, "The system cannot find the file specified."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {53, "The network path was not found."},
      {87, "The parameter is incorrect."},
      {111, "The file name is too long."},
      {120, "This function is not supported on this system."},
      {122, "The data area passed to a system call is too small."},
      {124, "The system call level is not correct."},
      {126, "The specified module could not be found."},
      {127, "The specified procedure could not be found."},
      {234, "More data is available."},
      {998, "Invalid access to memory location."},
      {1313, "A specified privilege does not exist."},
      {1332, "No mapping between account names and security IDs was done."},
      {1337, "The security ID structure is invalid."},
      {1355, "The specified domain either does not exist or could not be contacted."},
      {1450, "Insufficient system resources exist to complete the requested service."},
      {1722, "The RPC server is unavailable."},
      {1727, "The remote procedure call failed and did not execute."},
      {1788, "The trust relationship between the primary domain and the trusted domain failed."},
      {6118, "The list of servers for this workgroup is not currently available"},
  };
  char buffer[256];
  for (const auto& c : cases) {
    const DWORD n = FormatMessageA(kFlags, nullptr, c.code, 0, buffer, sizeof buffer, nullptr);
    EXPECT_EQ(std::string(buffer, n), std::string(c.text) + "\r\n") << c.code;
  }
  // 317's text has inserts: with IGNORE_INSERTS it comes as written.
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 317,
                           0, buffer, sizeof buffer, nullptr);
  EXPECT_NE(std::string(buffer, n).find("message number 0x%1"), std::string::npos);

  // Network codes have no system text.
  for (DWORD code : {2100u, 2221u, 2453u, 2999u, 4242u}) {
    EXPECT_EQ(FormatMessageA(kFlags, nullptr, code, 0, buffer, sizeof buffer, nullptr), 0u) << code;
    EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND) << code;
  }
  // "Access is denied.\r\n" is 19 characters and needs 20 with its zero.
  EXPECT_EQ(FormatMessageA(kFlags, nullptr, 5, 0, buffer, 19, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(FormatMessageA(kFlags, nullptr, 5, 0, buffer, 20, nullptr), 19u);

  // Inserts from an argument array.
  const char* args[] = {"alpha", "beta"};
  n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                     "%2 and %1%% done%n", 0, 0, buffer, sizeof buffer,
                     reinterpret_cast<va_list*>(args));
  EXPECT_EQ(std::string(buffer, n), "beta and alpha% done\r\n");
}

TEST_F(SimKernel, ComputerNameAndVersion) {
  char name[16];
  DWORD size = 4;
  EXPECT_FALSE(GetComputerNameA(name, &size));
  EXPECT_EQ(GetLastError(), ERROR_BUFFER_OVERFLOW);
  EXPECT_EQ(size, 5u);
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_STREQ(name, "WS01");
  EXPECT_EQ(size, 4u);

  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExA(&version));
  EXPECT_EQ(version.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(version.dwMajorVersion, 5u);
  EXPECT_EQ(version.dwBuildNumber, 2195u);
  sim::SetPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  ASSERT_TRUE(GetVersionExA(&version));
  EXPECT_EQ(version.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  version.dwOSVersionInfoSize = 100;
  EXPECT_FALSE(GetVersionExA(&version));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

template <typename T>
FARPROC Proc(T* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

TEST_F(SimKernel, LibrariesAndExports) {
  const int loads = sim::LibraryLoads("advapi32.dll");
  HMODULE advapi = LoadLibraryA("ADVAPI32.dll");
  ASSERT_NE(advapi, nullptr);
  EXPECT_EQ(sim::LibraryLoads("advapi32.dll"), loads + 1);
  EXPECT_EQ(GetProcAddress(advapi, "LsaOpenPolicy"), Proc(&LsaOpenPolicy));
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(advapi, "lsaopenpolicy"), nullptr) << "export names are case-sensitive";
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(advapi, "NetUserEnum"), nullptr);

  // A listed function the program never calls answers 120.
  using LookupNames = NTSTATUS (*)(LSA_HANDLE, ULONG, PLSA_UNICODE_STRING, PVOID*, PVOID*);
  auto lookupNames = reinterpret_cast<LookupNames>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "LsaLookupNames")));
  ASSERT_NE(lookupNames, nullptr);
  EXPECT_EQ(lookupNames(nullptr, 0, nullptr, nullptr, nullptr), 120);

  sim::HideExport("advapi32.dll", "LsaOpenPolicy");
  EXPECT_EQ(GetProcAddress(advapi, "LsaOpenPolicy"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_NE(GetProcAddress(advapi, "LsaClose"), nullptr);
  EXPECT_TRUE(FreeLibrary(advapi));
  EXPECT_EQ(sim::LibraryLoads("advapi32.dll"), loads);

  HMODULE netapi = LoadLibraryA("netapi32");
  ASSERT_NE(netapi, nullptr);
  EXPECT_EQ(GetProcAddress(netapi, "NetServerEnum"), Proc(&NetServerEnum));
  FreeLibrary(netapi);
  sim::HideLibrary("netapi32.dll");
  for (const char* missing : {"netapi32.dll", "shell32.dll"}) {
    EXPECT_EQ(LoadLibraryA(missing), nullptr) << missing;
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND) << missing;
  }
  sim::ShowAllExports();
  HMODULE again = LoadLibraryA("netapi32.dll");
  EXPECT_NE(again, nullptr);
  FreeLibrary(again);
}

TEST(SimText, CodePageConversions) {
  const char* text = "Ёлкин";  // five Cyrillic letters, two bytes each
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), 6) << "-1 counts the zero";
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, 4, nullptr, 0), 2);
  WCHAR wide[8];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 5), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 8), 6);
  EXPECT_EQ(std::u16string(wide), u"Ёлкин");

  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr), 11);
  char back[16];
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, sizeof back, nullptr, nullptr), 11);
  EXPECT_STREQ(back, text);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 5, back, 9, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 8 /* MB_ERR_INVALID_CHARS */, "\xC3(", 2, wide, 8), 0);
  EXPECT_EQ(GetLastError(), 1113u);
}

TEST(SimText, CaseInsensitiveCompareAndUpperCase) {
  const struct {
    const char *a, *b;
    int sign;
  } cases[] = {{"ёлкин", "ЁЛКИН", 0}, {"José.Martínez", "JOSÉ.MARTÍNEZ", 0},
               {"abc", "ABD", -1},    {"b", "A", 1},
               {"Élan", "fox", -1},  // an accented letter sorts with its letter
               {"Ель", "Ёж", -1},     {"Ёж", "Жук", -1},
               {"Zeta", "Альфа", -1}, {"ab", "abc", -1}};
  for (const auto& c : cases) {
    const int result = lstrcmpiA(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " / " << c.b;
  }
  char text[] = "straße ёлка zoë";
  EXPECT_EQ(CharUpperBuffA(text, sizeof text - 1), sizeof text - 1);
  EXPECT_STREQ(text, "STRAßE ЁЛКА ZOË");
  char partial[] = "abcd";
  CharUpperBuffA(partial, 2);
  EXPECT_STREQ(partial, "ABcd");
}

TEST(SimThreads, LastErrorIsPerThread) {
  SetLastError(5);
  DWORD seen = 99;
  std::thread([&] {
    seen = GetLastError();
    SetLastError(6);
  }).join();
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(GetLastError(), 5u);
}

TEST_F(SimKernel, SeveralThreadsShareTheNetwork) {
  sim::SetLatency(std::chrono::microseconds(50));
  std::atomic<int> failures{0};
  auto worker = [&](int id) {
    for (int i = 0; i < 50; ++i) {
      if (tavrin::test::ServerEnum().names.size() != 4) ++failures;
      if (tavrin::test::NameSizeQuery(nullptr, id % 2 ? "CORP\\bob" : "Everyone").error !=
          ERROR_INSUFFICIENT_BUFFER)
        ++failures;
      LSA_HANDLE policy = nullptr;
      Names rights;
      if (tavrin::test::OpenPolicy(u"SRV01", policy) != STATUS_SUCCESS ||
          tavrin::test::EnumerateRights(policy, "S-1-5-32-544", rights) != STATUS_SUCCESS ||
          rights.size() != 1)
        ++failures;
      LsaClose(policy);
    }
  };
  const size_t handles = sim::OpenPolicyHandles();
  const size_t netBuffers = sim::OutstandingNetBuffers();
  const size_t lsaBuffers = sim::OutstandingLsaBuffers();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(worker, t);
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(sim::OpenPolicyHandles(), handles);
  EXPECT_EQ(sim::OutstandingNetBuffers(), netBuffers);
  EXPECT_EQ(sim::OutstandingLsaBuffers(), lsaBuffers);
  EXPECT_GE(sim::CountCalls("LsaOpenPolicy"), 200u);
}

}  // namespace
