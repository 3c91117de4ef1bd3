// Figure 4 of `make bench`: the development service under 32 clients at once, in ratios that
// hold on any machine: nothing fails, 32 clients get at least as much done as one, the slowest
// answers stay within a few times the typical one, and what the service holds does not grow
// with the number of requests it has answered.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench.h"
#include "common/disk_service_client.h"
#include "common/service_pipe.h"
#include "common/wide.h"
#include "tests/win/child_process.h"
#include "tests/win/test_paths.h"

namespace {

constexpr int kLoadClients = 32;
constexpr int kLoadRequests = 500;
constexpr int kLoadWarmups = 100;
constexpr double kLoadLimitSeconds = 240;
constexpr DWORD kServiceStartTimeoutMs = 15000;
constexpr double kRateTarget = 1.0;       // throughput of 32 clients over that of one, at least
constexpr double kTailTarget = 5.0;       // p99 over p50 under load, at most
constexpr long kHandleGrowthTarget = 64;  // handles the service may hold more after the load
constexpr double kMemoryGrowthTargetMiB = 8;

struct LoadRun {
  std::vector<double> latencies;
  int answered = 0;
  int failed = 0;
  double seconds = 0;
};

// clients threads, each sending requests StorageAccessible requests for a missing file, all
// released at once. A failed exchange reads as 0, an answer as 1 with reason 0.
LoadRun Load(int clients, int requests, const std::u16string& missing) {
  std::vector<std::vector<double>> latencies(static_cast<size_t>(clients));
  std::atomic<int> answered{0};
  std::atomic<int> failed{0};
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> ready{0};
  std::atomic<bool> late{false};
  const double deadline = NowMicroseconds() + kLoadLimitSeconds * 1e6;
  std::vector<std::thread> threads;
  threads.reserve(static_cast<size_t>(clients));
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      std::vector<double>& mine = latencies[static_cast<size_t>(c)];
      mine.reserve(static_cast<size_t>(requests));
      CDiskServiceClient client;
      ++ready;
      WaitForSingleObject(go, kServiceStartTimeoutMs);
      for (int i = 0; i < requests && !late.load(); ++i) {
        int32_t reason = -1;
        int32_t usable = 0;
        mine.push_back(Timed([&] { usable = client.StorageAccessible(missing, u"", reason); }));
        if (usable == 1 && reason == 0) {
          ++answered;
        } else {
          ++failed;
        }
        if (NowMicroseconds() > deadline) late = true;
      }
    });
  }
  // Released together once every thread waits (or after a bounded wait for stragglers).
  for (int i = 0; i < 1000 && ready.load() < clients; ++i) Sleep(5);
  const double start = NowMicroseconds();
  SetEvent(go);
  for (std::thread& thread : threads) thread.join();
  LoadRun run;
  run.seconds = (NowMicroseconds() - start) / 1e6;
  CloseHandle(go);
  for (const auto& one : latencies) run.latencies.insert(run.latencies.end(), one.begin(), one.end());
  run.answered = answered.load();
  run.failed = failed.load();
  if (late.load()) Note(Format("4: a run of %d clients stopped at the time limit of %.0f s", clients, kLoadLimitSeconds));
  return run;
}

bool WaitServing(const CChildProcess& service) {
  const double start = NowMicroseconds();
  while (service.Started() && NowMicroseconds() - start < kServiceStartTimeoutMs * 1000.0) {
    if (WaitNamedPipeA(kServicePipeName, 100)) return true;
    if (WaitForSingleObject(service.Handle(), 20) == WAIT_OBJECT_0) return false;
  }
  return false;
}

// What the service holds: its handles and its committed private memory.
struct Holdings {
  long handles = 0;
  double privateMiB = 0;
};

// Handles are counted by duplicating every handle value in turn, and private memory is added
// up region by region: both work for another process on every Windows and under Wine, which
// answers GetProcessHandleCount and the private-bytes counter with 0.
Holdings HoldingsOf(HANDLE process) {
  Holdings holdings;
  constexpr int kMissesAtTheEnd = 4096;  // handle values are handed out from the lowest free one
  int misses = 0;
  for (ULONG_PTR value = 4; misses < kMissesAtTheEnd; value += 4) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      CloseHandle(copy);
      ++holdings.handles;
      misses = 0;
    } else {
      ++misses;
    }
  }
  SIZE_T committed = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* address = nullptr; VirtualQueryEx(process, address, &region, sizeof region) == sizeof region &&
                                      region.RegionSize > 0;
       address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) committed += region.RegionSize;
  }
  holdings.privateMiB = static_cast<double>(committed) / (1024.0 * 1024.0);
  return holdings;
}

// A row whose figure is how much something grew, with an upper bound.
void GrowthRow(const char* number, const char* what, double before, double after, double limit, const char* unit,
               const char* format) {
  const std::string growth = std::string("%+") + (format + 1);
  Row(number, Format("dev_service %s after the load vs before", what), Format(format, after) + " " + unit,
      Format(format, before) + " " + unit, Format(growth.c_str(), after - before),
      Format("<= +%s %s", Format(format, limit).c_str(), unit), after - before <= limit && before > 0 ? "holds"
                                                                                                   : "DOES NOT HOLD");
}

}  // namespace

void MeasureServiceLoad() {
  const std::wstring log = TempFilePath(L"lv-bench-dev-service.log");
  const std::wstring missingPath = TempFilePath(L"lv-bench-missing.zel");
  DeleteFileW(missingPath.c_str());
  const std::u16string missing = U16Str(missingPath);
  const int total = kLoadClients * kLoadRequests;
  {
    // Its one line per request goes to the log, as in `make run`.
    CChildProcess service(PathBesideProgram(L"..\\tools\\dev_service\\dev_service.exe"), L"", log);
    if (!WaitServing(service)) {
      Row("4", "dev_service under load", "-", "-", "-", "0 failed",
          "DOES NOT HOLD (dev_service.exe did not serve its pipe)");
      return;
    }
    Load(1, kLoadWarmups, missing);
    const Holdings before = HoldingsOf(service.Handle());
    const LoadRun single = Load(1, kLoadRequests, missing);
    const LoadRun loaded = Load(kLoadClients, kLoadRequests, missing);
    const Holdings after = HoldingsOf(service.Handle());

    const double singleP50 = Median(single.latencies);
    const double p50 = Median(loaded.latencies);
    const double p99 = Percentile(loaded.latencies, 0.99);
    const double singleRate = single.seconds > 0 ? single.answered / single.seconds : 0;
    const double loadedRate = loaded.seconds > 0 ? loaded.answered / loaded.seconds : 0;
    const double rateRatio = singleRate > 0 ? loadedRate / singleRate : 0;
    Note(Format("4: 1 client: %d answered, %d failed in %.2f s; p50 %s, p99 %s", single.answered, single.failed,
                single.seconds, Duration(singleP50).c_str(), Duration(Percentile(single.latencies, 0.99)).c_str()));
    Note(Format("4: %d clients: %d answered, %d failed in %.2f s; max %s", kLoadClients, loaded.answered, loaded.failed,
                loaded.seconds, Duration(Percentile(loaded.latencies, 1)).c_str()));

    const bool allAnswered = loaded.answered == total && loaded.failed == 0 && single.failed == 0;
    Row("4", Format("dev_service: %d clients x %d StorageAccessible", kLoadClients, kLoadRequests),
        Format("%d answered, %d failed", loaded.answered, loaded.failed),
        Format("1 client: %d answered, %d failed", single.answered, single.failed), "-",
        Format("%d answered, 0 failed", total), allAnswered ? "holds" : "DOES NOT HOLD");
    Row("4 rate", Format("dev_service throughput, %d clients vs 1 client", kLoadClients),
        Format("%.0f req/s", loadedRate), Format("%.0f req/s", singleRate), Format("%.2f", rateRatio),
        Format(">= %.2f", kRateTarget), rateRatio >= kRateTarget ? "holds" : "DOES NOT HOLD");
    RatioRow("4 tail", Format("dev_service p99 vs p50 latency, %d clients", kLoadClients), p99, p50, kTailTarget,
             loaded.failed);
    Row("4 p50", Format("dev_service p50 latency, %d clients vs 1 client", kLoadClients), Duration(p50),
        Duration(singleP50), Format("%.2f", singleP50 > 0 ? p50 / singleP50 : 0), "(reference)", "-");
    GrowthRow("4 handles", "handle count", static_cast<double>(before.handles), static_cast<double>(after.handles),
              static_cast<double>(kHandleGrowthTarget), "handles", "%.0f");
    GrowthRow("4 memory", "private bytes", before.privateMiB, after.privateMiB, kMemoryGrowthTargetMiB, "MiB", "%.1f");
  }
  DeleteFileW(log.c_str());
}
