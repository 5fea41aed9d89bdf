#pragma once

// Timing, child processes and peak memory for the engine's benchmarks.

#include <string>
#include <vector>

namespace vkbench {

double Now();
// Runs a shell command and returns its wall time in seconds; exits the
// benchmark when the command fails.
double TimeCommand(const std::string& command);
double Median(std::vector<double> values);
// Peak resident memory in MiB of this process.
double PeakMiB();
// CPU seconds (user and system) used so far by this process, all threads,
// and by its waited-for children: on a machine shared with other work the
// wall time says more about the others than about the code measured.
double CpuSeconds();
double ChildrenCpuSeconds();

}  // namespace vkbench
