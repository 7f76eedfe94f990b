// The main window's workload: ExtractIconSet for the indexes 1 to 100, destinations 1.ico to 100.ico
// in a temporary directory, once on a large executable (Wine's shell32.dll by default) and once on an
// icon file made from its first group. Prints the median wall time of the 100 calls over several
// repetitions and the peak memory they need, against the goals: under 17.5 ms for the 100 calls, and
// a peak memory increase below the source file's size. It reports; it does not fail.
//   extract_bench [EXECUTABLE [REPETITIONS]]

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/extract.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDefaultSource = "/usr/lib/i386-linux-gnu/wine/i386-windows/shell32.dll";
constexpr double kTimeGoalMs = 350.0 / 20.0;
constexpr int kIndexes = 100;

// A field of /proc/self/status in kB (VmRSS, VmHWM); -1 when it can't be read.
long StatusKb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
  }
  return -1;
}

// Resets the process's peak resident size (VmHWM) to its current one; false where the kernel can't.
bool ResetPeakRss() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

long MaxRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct Usage {
  double cpuMs;
  long pageFaults;
};

Usage CurrentUsage() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
  return {ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_minflt + usage.ru_majflt};
}

template <typename T>
T Median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Result {
  double medianMs = 0;
  double medianCpuMs = 0;     // user and system time of the process
  long medianPageFaults = 0;  // minor and major
  double fastestMs = 0;
  double slowestMs = 0;
  long peakIncreaseKb = -1;  // peak resident size during the passes minus the size before them
  int filesWritten = 0;
};

// One pass: the 100 calls of the main window.
void Pass(const std::string& source, const std::vector<std::string>& destinations) {
  for (int index = 1; index <= kIndexes; ++index) {
    kestrin::ExtractIconSet(source, 0, destinations[index - 1], index);
  }
}

Result Measure(const std::string& source, const fs::path& directory, int repetitions) {
  std::vector<std::string> destinations;
  for (int index = 1; index <= kIndexes; ++index) {
    destinations.push_back((directory / (std::to_string(index) + ".ico")).string());
  }
  Result result;
  bool peakReset = ResetPeakRss();
  long before = StatusKb("VmRSS");
  std::vector<double> times, cpu;
  std::vector<long> faults;
  for (int r = 0; r < repetitions; ++r) {
    Usage usageBefore = CurrentUsage();
    auto start = std::chrono::steady_clock::now();
    Pass(source, destinations);
    auto end = std::chrono::steady_clock::now();
    Usage usageAfter = CurrentUsage();
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    cpu.push_back(usageAfter.cpuMs - usageBefore.cpuMs);
    faults.push_back(usageAfter.pageFaults - usageBefore.pageFaults);
  }
  long peak = StatusKb("VmHWM");
  if (peakReset && before >= 0 && peak >= 0) result.peakIncreaseKb = std::max(0L, peak - before);
  result.medianMs = Median(times);
  result.fastestMs = *std::min_element(times.begin(), times.end());
  result.slowestMs = *std::max_element(times.begin(), times.end());
  result.medianCpuMs = Median(cpu);
  result.medianPageFaults = Median(faults);
  for (const auto& destination : destinations) result.filesWritten += fs::exists(destination) ? 1 : 0;
  return result;
}

void Report(const char* label, const std::string& source, const Result& result, int repetitions) {
  std::error_code error;
  auto sourceBytes = fs::file_size(source, error);
  double sourceKb = error ? -1.0 : static_cast<double>(sourceBytes) / 1024.0;
  std::printf("%s: %s (%.0f KB), %d files written\n", label, source.c_str(), sourceKb, result.filesWritten);
  std::printf("  100 calls: median %.2f ms (fastest %.2f, slowest %.2f, %d repetitions)  goal < %.1f ms: %s\n",
              result.medianMs, result.fastestMs, result.slowestMs, repetitions, kTimeGoalMs,
              result.medianMs < kTimeGoalMs ? "PASS" : "MISS");
  std::printf("  per 100 calls: median CPU time %.2f ms (user and system), median page faults %ld\n",
              result.medianCpuMs, result.medianPageFaults);
  if (result.peakIncreaseKb < 0) {
    std::printf("  peak memory increase: not measurable here  goal < %.0f KB: ?\n", sourceKb);
  } else {
    std::printf("  peak memory increase: %ld KB  goal < %.0f KB: %s\n", result.peakIncreaseKb, sourceKb,
                static_cast<double>(result.peakIncreaseKb) < sourceKb ? "PASS" : "MISS");
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string source = argc > 1 ? argv[1] : kDefaultSource;
  int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
  if (!fs::exists(source)) {
    std::printf("extract_bench: %s not found; nothing measured\n", source.c_str());
    return 0;
  }

  std::string pattern = (fs::temp_directory_path() / "kestrin-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("extract_bench: mkdtemp");
    return 1;
  }
  fs::path work = pattern;
  fs::create_directories(work / "executable");
  fs::create_directories(work / "icon");

  // The icon file source: the executable's first icon.
  std::string icon = (work / "source.ico").string();
  if (kestrin::ExtractIconSet(source, 0, icon, 1) == 0 || !fs::exists(icon)) {
    std::printf("extract_bench: %s gave no icon; nothing measured\n", source.c_str());
    fs::remove_all(work);
    return 0;
  }

  long startKb = MaxRssKb();
  Result executable = Measure(source, work / "executable", repetitions);
  Result iconFile = Measure(icon, work / "icon", repetitions);
  Report("executable", source, executable, repetitions);
  Report("icon file", icon, iconFile, repetitions);
  std::printf("  process peak resident size: %ld KB (before the passes: %ld KB)\n", MaxRssKb(), startKb);

  fs::remove_all(work);
  return 0;
}
