// Readings of another process from /proc: CPU time per process and per
// thread, clock ticks, and memory.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <map>
#include <string>
#include <utility>

namespace probe {

/// CPU time of every thread of the process, in ns, from the scheduler's accounting.
long long processRunNs(pid_t pid);
/// CPU time per thread (tid -> name, ns), for saying who is awake while idle.
std::map<std::string, std::pair<std::string, long long>> threadRunNs(pid_t pid);
/// utime + stime of the process in clock ticks (/proc/<pid>/stat fields 14 and 15).
long long processTicks(pid_t pid);

struct Memory
{
    double rssMb = 0;
    double privateMb = 0;
    int threads = 0;
};

Memory memoryOf(pid_t pid);
/// The mappings that hold most resident memory, summed by file ("[anon]" for
/// anonymous ones): "name rss/private MB, ...".
std::string topMappings(pid_t pid, std::size_t count);

} // namespace probe
