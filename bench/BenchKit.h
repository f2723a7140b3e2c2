// Timing and reporting for the benchmarks: medians of timed rounds, and one
// line per measure in the form scripts collect:
//   BENCH <name> value=<median> unit=<unit> baseline=<median> ratio=<r> goal=<op><n> pass=<yes|no>
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace benchkit {

// Seconds since an arbitrary start, from the performance counter.
double Now();
// Seconds one call of work takes.
double Time(const std::function<void()>& work);
double Median(std::vector<double> values);

// Prints a BENCH line. For a speed-up goal (">=") the ratio is baseline / value,
// otherwise value / baseline. extra is appended as is (" key=value ...").
void Report(const std::string& name, double value, const std::string& unit, double baseline, const std::string& goal,
            const std::string& extra = "");

// Allocations counted so far by the counting allocator (bench/CountingAllocation.cpp,
// linked into the benchmarks that show a path allocates nothing). Calls are counted
// on every thread, only on the thread given to CountAllocationsOn, or, given 0, on none.
constexpr DWORD kEveryThread = 0xFFFFFFFFu;
LONG Allocations();
void CountAllocationsOn(DWORD thread);

// A folder for generated benchmark inputs beside the build's bin folder (kept between runs).
std::string DataDir();

}  // namespace benchkit
