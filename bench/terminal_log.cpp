// The terminal log's cost per logged line as the log grows: a command and its answer, as the
// console's send and receive handlers log them, at 1 k, 10 k, 100 k and 1 M lines logged. The
// figures should stay flat, and the log's size bounded, however much was logged before.
#include <time.h>

#include <cstdio>
#include <string>

#include "console/QVLaserControl.h"
#include "console/TerminalLog.h"

namespace {

double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Logs `lines` exchanges through log(sent, received); returns the CPU time of the last tenth
// per line, in microseconds, so the figure is that of a log already `lines` long.
template <typename Log>
double perLine(long lines, Log&& log) {
  const long warm = lines - lines / 10;
  for (long i = 0; i < warm; ++i) log(i);
  const double start = cpuSeconds();
  for (long i = warm; i < lines; ++i) log(i);
  return (cpuSeconds() - start) * 1e6 / double(lines - warm);
}

}  // namespace

int main() {
  const long counts[] = {1000, 10000, 100000, 1000000};
  std::printf("terminal log, CPU time per logged line (command and answer)\n");
  std::printf("%10s  %14s  %14s  %12s  %10s\n", "lines", "log us/line", "console us/line",
              "log length", "log lines");
  for (long n : counts) {
    qv::TerminalLog log;
    long edits = 0;
    log.OnEdit = [&edits](const qv::LogEdit&) { ++edits; };  // a view that applies each edit
    const double alone = perLine(n, [&log](long i) {
      log.Sent("r6" + std::to_string(i % 2 + 1));
      log.Received("12.50 A\r\n");
    });

    TQVLaserControl console(std::make_unique<qv::LoopTimer>());
    const double throughConsole = perLine(n, [&console](long i) {
      console.LaserSend("r6" + std::to_string(i % 2 + 1));
      console.LaserReceive("12.50 A\r\n");
    });
    std::printf("%10ld  %14.3f  %14.3f  %12zu  %10zu\n", n, alone, throughConsole, log.Length(),
                log.LineCount());
  }
  return 0;
}
