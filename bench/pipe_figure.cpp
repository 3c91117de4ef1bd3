// Figure 1 of `make bench`: Status through the program's client against the raw pipe round trip,
// both on one scripted service.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "common/disk_service_client.h"
#include "tools/scripted_service.h"

namespace {

constexpr int kPipeWarmups = 200;
constexpr int kPipeRounds = 2000;
constexpr double kPipeTarget = 1.10;

}  // namespace

void MeasureStatusExchange() {
  CScriptedService::Options options;
  options.recordRequests = false;
  CScriptedService service([](const std::string&) { return ScriptedReply::Text("0"); }, options);
  if (!service.Start()) {
    Row("1", "Status via CDiskServiceClient vs raw round trip", "-", "-", "-", "<= 1.10",
        "DOES NOT HOLD (no scripted service)");
    return;
  }
  // The very bytes the client sends for Status("E:").
  const std::string request = Request("Status\nE:\n");
  CDiskServiceClient client;
  for (int i = 0; i < kPipeWarmups; ++i) {
    RawRoundTrip(request);
    client.Status(u"E:");
  }

  // Pairs in the order ABBA, so that neither side always goes first.
  std::vector<double> raw;
  std::vector<double> through;
  raw.reserve(kPipeRounds);
  through.reserve(kPipeRounds);
  int rawFailed = 0;
  const int connectionsBefore = service.Connections();
  for (int i = 0; i < kPipeRounds; ++i) {
    const bool rawFirst = i % 4 == 0 || i % 4 == 3;
    auto measureRaw = [&] {
      bool ok = false;
      raw.push_back(Timed([&] { ok = RawRoundTrip(request); }));
      if (!ok) ++rawFailed;
    };
    auto measureClient = [&] { through.push_back(Timed([&] { client.Status(u"E:"); })); };
    if (rawFirst) {
      measureRaw();
      measureClient();
    } else {
      measureClient();
      measureRaw();
    }
  }
  // The service answers "0", which is also what a failed exchange reads as: the client's
  // exchanges are counted by the connections the service accepted.
  const int clientReached = service.Connections() - connectionsBefore - (kPipeRounds - rawFailed);
  const int clientFailed = std::max(0, kPipeRounds - clientReached);
  service.Stop();

  Note(Format("1: %d rounds after %d warm-ups; raw p10/p90 %s/%s, client p10/p90 %s/%s; failed raw %d, client %d",
              kPipeRounds, kPipeWarmups, Duration(Percentile(raw, 0.1)).c_str(), Duration(Percentile(raw, 0.9)).c_str(),
              Duration(Percentile(through, 0.1)).c_str(), Duration(Percentile(through, 0.9)).c_str(), rawFailed,
              clientFailed));
  RatioRow("1", "Status via CDiskServiceClient vs raw round trip (median)", Median(through), Median(raw), kPipeTarget,
           rawFailed + clientFailed);
}

