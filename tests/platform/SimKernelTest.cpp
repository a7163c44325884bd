// The simulation's kernel32: texts, name, version, token, libraries, strings, threads.
#include <atomic>
#include <thread>

#include "tests/support/SimFixture.h"
#include "tests/support/SimTestHelpers.h"

namespace {

using namespace tavrin::test;

class SimKernel : public SimTest {};

// The text FormatMessageA gives, or "error <code>".
std::string Message(DWORD flags, DWORD code, const char* source = nullptr, DWORD size = 512) {
  const char* args[] = {"alpha", "beta"};
  char buffer[512];
  const DWORD n = FormatMessageA(flags | FORMAT_MESSAGE_ARGUMENT_ARRAY, source, code, 0, buffer,
                                 size, reinterpret_cast<va_list*>(args));
  return n ? std::string(buffer, n) : "error " + std::to_string(GetLastError());
}

template <typename T>
FARPROC Proc(T* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

TEST(SimMessages, WindowsEnglishTexts) {
  const std::pair<DWORD, const char*> texts[] = {
      {0, "The operation completed successfully."},
      {6118, "The list of servers for this workgroup is not currently available"},
  };
  constexpr DWORD kSystem = FORMAT_MESSAGE_FROM_SYSTEM, kString = FORMAT_MESSAGE_FROM_STRING;
  for (const auto& [code, text] : texts)
    EXPECT_EQ(Message(kSystem, code), text + std::string("\r\n"));
  // 317's text has inserts: with IGNORE_INSERTS it comes as written.
  EXPECT_NE(Message(kSystem | FORMAT_MESSAGE_IGNORE_INSERTS, 317).find("number 0x%1 "),
            std::string::npos);
  // Network codes have no system text.
  for (DWORD code : {2100u, 2221u, 2453u, 2999u, 4242u})
    EXPECT_EQ(Message(kSystem, code), "error 317");
  // "Access is denied.\r\n" is 19 characters and needs 20 with its zero.
  EXPECT_EQ(Message(kSystem, 5, nullptr, 19), "error 122");
  EXPECT_EQ(Message(kSystem, 5, nullptr, 20), "Access is denied.\r\n");

  EXPECT_EQ(Message(kString, 0, "%2 and %1%% done%n"), "beta and alpha% done\r\n");
  // Line breaks come as "\r\n", with the maximum width as spaces; %n stays a break.
  EXPECT_EQ(Message(kString, 0, "a\nb\r\nc%n"), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(Message(kString | 0xFF, 0, "a\nb\r\nc%n"), "a b c\r\n");
  EXPECT_EQ(Message(kSystem | 0xFF, 5), "Access is denied. ");
  // Refused: an allocated buffer, a line width, a string with the system table.
  for (DWORD flags : {kSystem | FORMAT_MESSAGE_ALLOCATE_BUFFER, kSystem | 80, kString | kSystem})
    EXPECT_EQ(Message(flags, 5, "x"), "error 87") << flags;
}

TEST_F(SimKernel, ComputerNameVersionTokenAndLibraries) {
  char name[16];
  DWORD size = 4;
  EXPECT_EQ(ErrorOf(GetComputerNameA(name, &size)), ERROR_BUFFER_OVERFLOW);
  ASSERT_EQ(size, 5u);
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_STREQ(name, "WS01");
  EXPECT_EQ(size, 4u);

  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExA(&version));
  EXPECT_EQ(version.dwMajorVersion * 10000 + version.dwBuildNumber, 52195u);
  version.dwOSVersionInfoSize = 100;
  EXPECT_EQ(ErrorOf(GetVersionExA(&version)), ERROR_INSUFFICIENT_BUFFER);

  // TOKEN_QUERY, MAXIMUM_ALLOWED and GENERIC_READ may query the process token's user.
  const size_t tokens = sim::OpenTokenHandles();
  HANDLE token = nullptr;
  DWORD needed = 0;
  for (DWORD access : {DWORD{TOKEN_QUERY}, 0x02000000u, 0x80000000u}) {
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), access, &token));
    EXPECT_EQ(ErrorOf(GetTokenInformation(token, TokenUser, nullptr, 0, &needed)),
              ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(needed, sizeof(TOKEN_USER) + 28) << "the record and alice's SID";
    std::vector<BYTE> user(needed);
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user.data(), needed, &needed)) << access;
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    EXPECT_TRUE(EqualSid(sid, SidBytes("S-1-5-21-1000-2000-3000-1105").data()));
    EXPECT_TRUE(CloseHandle(token));
  }
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), 0x0002 /* TOKEN_DUPLICATE */, &token));
  EXPECT_EQ(ErrorOf(GetTokenInformation(token, TokenUser, nullptr, 0, &needed)),
            ERROR_ACCESS_DENIED);
  EXPECT_TRUE(CloseHandle(token));
  EXPECT_FALSE(CloseHandle(token));
  EXPECT_EQ(sim::OpenTokenHandles(), tokens);

  const int loads = sim::LibraryLoads("advapi32.dll");
  HMODULE advapi = LoadLibraryA("ADVAPI32.dll");
  EXPECT_EQ(sim::LibraryLoads("advapi32.dll"), loads + 1);
  EXPECT_EQ(GetProcAddress(advapi, "LsaOpenPolicy"), Proc(&LsaOpenPolicy));
  sim::HideExport("advapi32.dll", "LsaClose");
  for (const char* missing : {"lsaopenpolicy", "NetUserEnum", "LsaClose"}) {  // case-sensitive
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(advapi, missing), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  }
  // A listed function the program never calls answers 120.
  using LookupNames = NTSTATUS (*)(LSA_HANDLE, ULONG, PLSA_UNICODE_STRING, PVOID*, PVOID*);
  auto lookupNames = reinterpret_cast<LookupNames>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "LsaLookupNames")));
  ASSERT_NE(lookupNames, nullptr);
  EXPECT_EQ(lookupNames(nullptr, 0, nullptr, nullptr, nullptr), 120);
  EXPECT_TRUE(FreeLibrary(advapi));
  EXPECT_EQ(sim::LibraryLoads("advapi32.dll"), loads);

  EXPECT_EQ(GetProcAddress(LoadLibraryA("netapi32"), "NetServerEnum"), Proc(&NetServerEnum));
  sim::HideLibrary("netapi32.dll");
  for (const char* missing : {"netapi32.dll", "shell32.dll"}) {
    EXPECT_EQ(LoadLibraryA(missing), nullptr) << missing;
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND) << missing;
  }
}

TEST(SimText, CodePagesCaseInsensitiveCompareAndUpperCase) {
  const char* text = "Ёлкин";  // five Cyrillic letters, two bytes each
  // A buffer too short fails and is not written past its end.
  WCHAR wide[8] = {0, 0, 0, 0, 0, 0x2A, 0x2A, 0x2A};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 5), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(wide[5], 0x2A);
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 8), 6);
  EXPECT_EQ(std::u16string(wide), u"Ёлкин");
  EXPECT_EQ(wide[6], 0x2A);

  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr), 11)
      << "-1 counts the zero";
  char back[16] = "***************";
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 5, back, 9, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(back[9], '*');
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, sizeof back, nullptr, nullptr), 11);
  EXPECT_STREQ(back, text);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 8 /* MB_ERR_INVALID_CHARS */, "\xC3(", 2, wide, 8), 0);
  EXPECT_EQ(GetLastError(), 1113u);

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
  char upper[] = "straße ёлка zoë";
  EXPECT_EQ(CharUpperBuffA(upper, 2), 2u);
  EXPECT_STREQ(upper, "STraße ёлка zoë") << "only the length given";
  EXPECT_EQ(CharUpperBuffA(upper, sizeof upper - 1), sizeof upper - 1);
  EXPECT_STREQ(upper, "STRAßE ЁЛКА ZOË");
}

TEST_F(SimKernel, SeveralThreadsShareTheNetwork) {
  SetLastError(5);  // the last error is each thread's own
  DWORD seen = 1;
  std::thread([&] { seen = GetLastError(), SetLastError(6); }).join();
  EXPECT_EQ(seen * 100 + GetLastError(), 5u) << "a new thread starts at 0";

  sim::SetLatency(std::chrono::microseconds(50));
  std::atomic<int> failures{0};
  auto worker = [&] {
    for (int i = 0; i < 50; ++i) {
      LSA_HANDLE policy = nullptr;
      Names rights;
      if (ServerEnum().names.size() != 4 || OpenPolicy(u"SRV01", policy) != STATUS_SUCCESS ||
          EnumerateRights(policy, "S-1-5-32-544", rights) != STATUS_SUCCESS || rights.size() != 1)
        ++failures;
      LsaClose(policy);
    }
  };
  const size_t held =
      sim::OpenPolicyHandles() + sim::OutstandingNetBuffers() + sim::OutstandingLsaBuffers();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(worker);
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(sim::OpenPolicyHandles() + sim::OutstandingNetBuffers() + sim::OutstandingLsaBuffers(),
            held);
  EXPECT_GE(sim::CountCalls("LsaOpenPolicy"), 200u);
}

}  // namespace
