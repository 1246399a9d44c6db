// Recording speed: what AddSample costs the calling (main) thread, and how many samples per
// second the recorder thread compresses, enciphers and writes.
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "link/QVUtils.h"
#include "recording/QVLaserParam.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

bool waitFinished(const int& finished, int want) {
  const auto start = Clock::now();
  while (finished < want) {
    CheckSynchronize(10);
    if (secondsSince(start) > 600) return false;
  }
  return true;
}

// Samples as the console makes them: a handful of codes, slowly changing values.
TParamValue valueFor(int i) { return qv::paramValue(20.0 + (i % 1000) * 0.01); }

}  // namespace

int main() {
  char dirTemplate[] = "/tmp/qvrec-bench-XXXXXX";
  if (!mkdtemp(dirTemplate)) return 1;
  const std::string file = std::string(dirTemplate) + "/bench.qlp";
  TParamFileHeader header;
  header.StartTime = qv::unixTimeMs();

  TLaserParamBuffer buffer;
  int finished = 0;
  buffer.OnFinished = [&](TObject*) { ++finished; };

  // 1. AddSample on the calling thread, call by call, while the recorder thread runs.
  {
    constexpr int kCalls = 200000;
    std::string why;
    if (!buffer.Start(file, header, &why)) {
      std::fprintf(stderr, "%s\n", why.c_str());
      return 1;
    }
    std::vector<double> ns(kCalls);
    rusage before{}, after{};
    getrusage(RUSAGE_THREAD, &before);
    for (int i = 0; i < kCalls; ++i) {
      const auto t = Clock::now();
      buffer.AddSample(static_cast<int16_t>(60 + i % 12), valueFor(i), header.StartTime + i);
      ns[i] = std::chrono::duration<double, std::nano>(Clock::now() - t).count();
    }
    getrusage(RUSAGE_THREAD, &after);
    const int backlog = buffer.Count();
    buffer.Stop();
    if (!waitFinished(finished, 1)) return 1;
    std::sort(ns.begin(), ns.end());
    double sum = 0;
    for (double v : ns) sum += v;
    std::printf("AddSample on the calling thread (%d calls): mean %.0f ns, median %.0f ns, "
                "p99 %.0f ns, p99.9 %.0f ns, max %.0f ns; samples still queued after the "
                "last call: %d; the calling thread was preempted %ld times and waited %ld "
                "times meanwhile\n",
                kCalls, sum / kCalls, ns[kCalls / 2], ns[kCalls * 99 / 100],
                ns[kCalls * 999 / 1000], ns.back(), backlog,
                after.ru_nivcsw - before.ru_nivcsw, after.ru_nvcsw - before.ru_nvcsw);
  }

  // 2. Recorder throughput: a burst far faster than the thread, from the first sample until
  // the file is closed.
  {
    constexpr int kSamples = 2000000;
    std::string why;
    if (!buffer.Start(file, header, &why)) {
      std::fprintf(stderr, "%s\n", why.c_str());
      return 1;
    }
    const auto t0 = Clock::now();
    for (int i = 0; i < kSamples; ++i)
      buffer.AddSample(static_cast<int16_t>(60 + i % 12), valueFor(i), header.StartTime + i);
    const double addSeconds = secondsSince(t0);
    buffer.Stop();
    if (!waitFinished(finished, 2)) return 1;
    const double total = secondsSince(t0);
    const auto bytes = std::filesystem::file_size(file);
    std::printf("Recorder thread: %d samples (%d chunks, %ju bytes on disk) in %.3f s = %.0f "
                "samples/s (adding them took %.3f s on the calling thread)\n",
                kSamples, (kSamples + 146) / 147, static_cast<uintmax_t>(bytes), total,
                kSamples / total, addSeconds);
  }
  std::filesystem::remove_all(dirTemplate);
  return 0;
}
