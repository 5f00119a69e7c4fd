// Every file call of the Windows platform layer failed in turn, as tests/faults does on
// Linux with a preloaded shim: here the test binary points its own import table's entries
// for kernel32's file functions at wrappers that count the calls on the run's files and
// fail call N (ERROR_IO_DEVICE, ERROR_DISK_FULL where a file grows, or a read or write of
// half what was asked, which must be taken up again). orven-cli.exe itself has none of it.
// After each run of the real modes through the run sequence: success with the right outputs
// or one error message; result.html old or new whole; the log old lines and then whole new
// ones; readme.txt missing or whole; no other file left.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/mode_entries.h"
#include "app/run_sequence.h"

namespace {

namespace fs = std::filesystem;

enum class Fault { none, io, disk_full, short_transfer };

Fault g_fault = Fault::none;
long g_at = 0;
std::atomic<long> g_calls{0};
std::atomic<bool> g_injected{false};
std::wstring g_root;  // the folder whose files count, lower case
std::mutex g_handles_lock;
std::set<HANDLE> g_handles;

bool counted_name(LPCWSTR name) {
  if (name == nullptr) return false;
  std::wstring lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
  const bool absolute = lower.size() > 1 && (lower[1] == L':' || lower[0] == L'\\');
  return !absolute || lower.rfind(g_root, 0) == 0;
}

bool counted(HANDLE h) {
  const std::lock_guard hold(g_handles_lock);
  return g_handles.count(h) != 0;
}

// 1: fail the call (the error is set), 2: make it short, 0: let it through.
int strike(bool grows, bool transfer, DWORD size) {
  if (g_fault == Fault::disk_full && !grows) return 0;
  if (g_fault == Fault::short_transfer && (!transfer || size < 2)) return 0;
  if (g_fault == Fault::none) {
    ++g_calls;
    return 0;
  }
  if (++g_calls != g_at) return 0;
  g_injected = true;
  if (g_fault == Fault::short_transfer) return 2;
  SetLastError(g_fault == Fault::io ? ERROR_IO_DEVICE : ERROR_DISK_FULL);
  return 1;
}

decltype(&CreateFileW) real_CreateFileW;
decltype(&ReadFile) real_ReadFile;
decltype(&WriteFile) real_WriteFile;
decltype(&FlushFileBuffers) real_FlushFileBuffers;
decltype(&SetEndOfFile) real_SetEndOfFile;
decltype(&MoveFileExW) real_MoveFileExW;
decltype(&LockFileEx) real_LockFileEx;
decltype(&CloseHandle) real_CloseHandle;

HANDLE WINAPI fake_CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                               DWORD disposition, DWORD flags, HANDLE from) {
  const bool c = counted_name(name);
  if (c && strike(disposition != OPEN_EXISTING, false, 0) == 1) return INVALID_HANDLE_VALUE;
  const HANDLE h = real_CreateFileW(name, access, share, sa, disposition, flags, from);
  if (c && h != INVALID_HANDLE_VALUE) {
    const std::lock_guard hold(g_handles_lock);
    g_handles.insert(h);
  }
  return h;
}
BOOL WINAPI fake_ReadFile(HANDLE h, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED o) {
  if (counted(h)) {
    const int s = strike(false, true, size);
    if (s == 1) return FALSE;
    if (s == 2) size /= 2;
  }
  return real_ReadFile(h, buffer, size, got, o);
}
BOOL WINAPI fake_WriteFile(HANDLE h, LPCVOID buffer, DWORD size, LPDWORD put, LPOVERLAPPED o) {
  if (counted(h)) {
    const int s = strike(true, true, size);
    if (s == 1) return FALSE;
    if (s == 2) size /= 2;
  }
  return real_WriteFile(h, buffer, size, put, o);
}
BOOL WINAPI fake_FlushFileBuffers(HANDLE h) {
  if (counted(h) && strike(true, false, 0) == 1) return FALSE;
  return real_FlushFileBuffers(h);
}
BOOL WINAPI fake_SetEndOfFile(HANDLE h) {
  if (counted(h) && strike(true, false, 0) == 1) return FALSE;
  return real_SetEndOfFile(h);
}
BOOL WINAPI fake_MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (counted_name(to) && strike(true, false, 0) == 1) return FALSE;
  return real_MoveFileExW(from, to, flags);
}
BOOL WINAPI fake_LockFileEx(HANDLE h, DWORD flags, DWORD reserved, DWORD low, DWORD high,
                            LPOVERLAPPED o) {
  if (counted(h) && strike(false, false, 0) == 1) return FALSE;
  return real_LockFileEx(h, flags, reserved, low, high, o);
}
BOOL WINAPI fake_CloseHandle(HANDLE h) {
  bool c = false;
  {
    const std::lock_guard hold(g_handles_lock);
    c = g_handles.erase(h) != 0;
  }
  // The handle is gone whatever the failure says.
  const bool fail = c && strike(false, false, 0) == 1;
  const BOOL closed = real_CloseHandle(h);
  if (fail) {
    SetLastError(ERROR_IO_DEVICE);
    return FALSE;
  }
  return closed;
}

// Points this program's import entries for kernel32's `name` at `fake`.
template <class F>
void patch(const char* name, F fake, F& real) {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  real = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
  ASSERT_NE(real, nullptr) << name;
  auto* const base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  int patched = 0;
  for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       module->Name != 0; ++module) {
    for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
         thunk->u1.Function != 0; ++thunk) {
      if (thunk->u1.Function != reinterpret_cast<ULONG_PTR>(real)) continue;
      DWORD old = 0;
      VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, PAGE_READWRITE, &old);
      thunk->u1.Function = reinterpret_cast<ULONG_PTR>(fake);
      VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, old, &old);
      ++patched;
    }
  }
  ASSERT_GT(patched, 0) << name << " is not imported";
}

std::string read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
void write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

class Recorder : public orven::app::Services {
 public:
  explicit Recorder(std::vector<fs::path> inputs) : inputs_(std::move(inputs)) {}
  std::vector<fs::path> choose_file() override { return inputs_; }
  void show_message(std::string_view, std::string_view text, MessageKind kind) override {
    if (kind == MessageKind::error) {
      ++errors;
      message = text;
    }
  }
  void open_document(const fs::path&) override {}
  void show_note(std::string_view text) override { notes += std::string(text) + "\n"; }
  bool wants_causes() const override { return true; }

  int errors = 0;
  std::string message, notes;

 private:
  std::vector<fs::path> inputs_;
};

class WindowsFaults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    patch("CreateFileW", &fake_CreateFileW, real_CreateFileW);
    patch("ReadFile", &fake_ReadFile, real_ReadFile);
    patch("WriteFile", &fake_WriteFile, real_WriteFile);
    patch("FlushFileBuffers", &fake_FlushFileBuffers, real_FlushFileBuffers);
    patch("SetEndOfFile", &fake_SetEndOfFile, real_SetEndOfFile);
    patch("MoveFileExW", &fake_MoveFileExW, real_MoveFileExW);
    patch("LockFileEx", &fake_LockFileEx, real_LockFileEx);
    patch("CloseHandle", &fake_CloseHandle, real_CloseHandle);
  }

  void SetUp() override {
    top_ = fs::temp_directory_path() / ("orven-faults-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(top_);
    fs::create_directories(top_ / "proto/in/tree");
    fs::create_directories(top_ / "proto/out");
    std::wstring lower = top_.native();
    std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
    g_root = lower;
    previous_ = fs::current_path();
    const fs::path in = top_ / "proto/in";
    fs::copy_file(fs::path(ORVEN_SOURCE_DIR) / "samples/guestbook.php", in / "one.php");
    write(in / "tree/a.php",
          "<?php\n// a.php\nfunction f() { return mysql_query(\"SELECT 1\"); }\n?>\n");
    write(in / "tree/b.txt", "plain text with <b>html</b> and include in it\n");
    write(in / "script.txt",
          "#root::math::get_ctr 100 10\n#root::hv::get_x 1\nnot a command\n"
          "#root::math::get_ctr 5 2\n");
    write(top_ / "proto/out/result.html", "old report\n");
    write(top_ / "proto/out/orven_log.txt", "old line 1\r\nold line 2\r\n");
  }
  void TearDown() override {
    g_fault = Fault::none;
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(top_, ignored);
  }

  // One run in a fresh copy of proto/ (as case/); returns what it said.
  Recorder run(int mode, Fault fault, long at, const char* folder = "case") {
    const fs::path here = top_ / folder;
    fs::remove_all(here);
    fs::copy(top_ / "proto", here, fs::copy_options::recursive);
    fs::current_path(here / "out");
    std::vector<fs::path> inputs;
    if (mode == 0) {
      inputs = {here / "in/one.php", here / "in/tree"};
    } else {
      inputs = {here / "in/script.txt"};
    }
    Recorder recorder(inputs);
    g_calls = 0;
    g_injected = false;
    g_at = at;
    g_fault = fault;
    orven::app::perform_run(mode, recorder, orven::app::kModeEntries);
    g_fault = Fault::none;
    fs::current_path(previous_);
    return recorder;
  }

  std::vector<std::string> listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
      names.push_back(fs::relative(e.path(), folder).generic_string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Every call failed in turn with each fault; returns how many were failed.
  void every_call(int mode) {
    run(mode, Fault::none, 0, "expect");
    const fs::path expect = top_ / "expect/out";
    const std::string report = read(expect / "result.html");
    const std::string readme = read(expect / "readme.txt");
    const std::string log = read(expect / "orven_log.txt");
    const std::vector<std::string> files = listing(top_ / "expect");
    for (const Fault fault : {Fault::io, Fault::disk_full, Fault::short_transfer}) {
      long failed = 0;
      for (long at = 1; at < 5000; ++at) {
        const Recorder said = run(mode, fault, at);
        if (!g_injected) break;
        ++failed;
        const std::string what = "mode " + std::to_string(mode) + " fault " +
                                 std::to_string(static_cast<int>(fault)) + " call " +
                                 std::to_string(at) + ": " + said.message;
        const fs::path out = top_ / "case/out";
        EXPECT_LE(said.errors, 1) << what;
        if (fault == Fault::short_transfer) {
          EXPECT_EQ(said.errors, 0) << what;
        }
        const bool ok = said.errors == 0;
        const std::string now = read(out / "result.html");
        if (mode == 0) {
          if (ok && said.notes.empty()) {
            EXPECT_EQ(now, report) << what;
          }
          if (!ok) {
            EXPECT_TRUE(now == "old report\n" || now == report) << what;
          }
        } else {
          EXPECT_EQ(now, "old report\n") << what;
          const std::string got = read(out / "orven_log.txt");
          EXPECT_EQ(got.rfind("old line 1\r\nold line 2\r\n", 0), 0u) << what;
          EXPECT_TRUE(got.empty() || got.ends_with("\r\n")) << what;
          if (ok) {
            EXPECT_EQ(got, log) << what;
          }
          // The new lines: whole lines of this run, in order.
          std::istringstream lines(got.substr(std::min<std::size_t>(24, got.size())));
          std::size_t from = 24;
          for (std::string line; std::getline(lines, line);) {
            const std::size_t at_line = log.find(line + "\n", from);
            EXPECT_NE(at_line, std::string::npos) << what << " line " << line;
            if (at_line == std::string::npos) break;
            from = at_line + line.size() + 1;
          }
        }
        if (fs::exists(out / "readme.txt")) {
          EXPECT_EQ(read(out / "readme.txt"), readme) << what;
        }
        std::vector<std::string> left = listing(top_ / "case");
        std::erase_if(left, [&](const std::string& name) {
          return std::find(files.begin(), files.end(), name) != files.end();
        });
        EXPECT_TRUE(left.empty()) << what << ": left " << left.front();
      }
      std::cout << "mode " << mode << " fault " << static_cast<int>(fault) << ": " << failed
                << " calls failed in turn\n";
      EXPECT_GT(failed, 0);
    }
  }

  fs::path top_, previous_;
};

TEST_F(WindowsFaults, EveryCallOfATrainingRunFailedInTurn) {
  every_call(0);
}
TEST_F(WindowsFaults, EveryCallOfAnExpertRunFailedInTurn) {
  every_call(1);
}

}  // namespace
