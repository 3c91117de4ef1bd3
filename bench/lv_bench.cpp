// The Windows half of `make bench`: every figure is measured against a baseline measured in the
// same run, on the same machine, and printed as one tab-separated row ("ROW", number, measure,
// measured, baseline, ratio, target, result) for scripts/bench to lay out. Lines starting
// "NOTE" carry the figures behind a row. One file per figure (bench.h lists them).
//   lv_bench.exe [pipe] [menus] [start] [load]     (no argument: all four, in this order)
// Every wait has a deadline and every loop a fixed count and a time limit; all traffic is on
// this machine's named pipe.
#include <algorithm>
#include <string>
#include <vector>

#include "bench/bench.h"

int main(int argc, char** argv) {
  std::vector<std::string> chosen(argv + 1, argv + argc);
  auto wanted = [&](const char* name) {
    return chosen.empty() || std::find(chosen.begin(), chosen.end(), name) != chosen.end();
  };
  if (wanted("pipe")) MeasureStatusExchange();
  if (wanted("menus")) MeasureContextMenus();
  if (wanted("start")) MeasureStarts();
  if (wanted("load")) MeasureServiceLoad();
  return 0;
}
