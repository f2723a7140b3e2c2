#include "bench/BenchKit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace benchkit {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return (double)now.QuadPart / (double)frequency.QuadPart;
}

double Time(const std::function<void()>& work) {
  double start = Now();
  work();
  return Now() - start;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Report(const std::string& name, double value, const std::string& unit, double baseline, const std::string& goal,
            const std::string& extra) {
  bool speedup = goal.rfind(">=", 0) == 0;
  double ratio = speedup ? (value > 0 ? baseline / value : 0) : (baseline > 0 ? value / baseline : 0);
  double target = atof(goal.c_str() + (goal.size() > 1 && goal[1] == '=' ? 2 : 1));
  bool pass = speedup ? ratio >= target : ratio <= target;
  printf("BENCH %s value=%.6g unit=%s baseline=%.6g ratio=%.4g goal=%s pass=%s%s\n", name.c_str(), value,
         unit.c_str(), baseline, ratio, goal.c_str(), pass ? "yes" : "no", extra.c_str());
  fflush(stdout);
}

std::string DataDir() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir = path;
  dir = dir.substr(0, dir.find_last_of('\\'));
  dir += "\\..\\bench-data";
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

}  // namespace benchkit
