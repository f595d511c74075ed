#include "ProcReadings.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace probe {

namespace {

    std::string readFile(const std::string &path)
    {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    /// A "Key:   123 kB" value of a /proc status-like file, in kB.
    long long procKb(const std::string &path, const std::string &key)
    {
        std::istringstream in(readFile(path));
        std::string line;
        long long sum = 0;
        bool found = false;
        while (std::getline(in, line)) {
            if (line.rfind(key + ":", 0) == 0) {
                std::istringstream value(line.substr(key.size() + 1));
                long long kb = 0;
                value >> kb;
                sum += kb;
                found = true;
            }
        }
        return found ? sum : -1;
    }

} // namespace

/// CPU time of every thread of the process, in ns, from the scheduler's accounting.
long long processRunNs(pid_t pid)
{
    long long total = 0;
    const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    if (DIR *dir = opendir(taskDir.c_str())) {
        while (dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            std::istringstream in(readFile(taskDir + "/" + entry->d_name + "/schedstat"));
            long long ns = 0;
            if (in >> ns)
                total += ns;
        }
        closedir(dir);
    }
    return total;
}

/// CPU time per thread (tid -> name, ns), for saying who is awake while idle.
std::map<std::string, std::pair<std::string, long long>> threadRunNs(pid_t pid)
{
    std::map<std::string, std::pair<std::string, long long>> threads;
    const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    if (DIR *dir = opendir(taskDir.c_str())) {
        while (dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            const std::string base = taskDir + "/" + entry->d_name;
            std::istringstream in(readFile(base + "/schedstat"));
            long long ns = 0;
            in >> ns;
            std::string name = readFile(base + "/comm");
            while (!name.empty() && name.back() == '\n')
                name.pop_back();
            if (std::to_string(pid) == entry->d_name)
                name = "main thread";
            else
                name = "thread " + std::string(entry->d_name) + " '" + name + "'";
            threads[entry->d_name] = { name, ns };
        }
        closedir(dir);
    }
    return threads;
}

/// utime + stime of the process in clock ticks (/proc/<pid>/stat fields 14 and 15).
long long processTicks(pid_t pid)
{
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream in(stat.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && in >> field; ++i) {
        if (i == 14)
            utime = std::stoll(field);
        if (i == 15)
            stime = std::stoll(field);
    }
    return utime + stime;
}

Memory memoryOf(pid_t pid)
{
    const std::string base = "/proc/" + std::to_string(pid);
    Memory memory;
    memory.rssMb = static_cast<double>(procKb(base + "/status", "VmRSS")) / 1024.0;
    memory.privateMb = static_cast<double>(procKb(base + "/smaps_rollup", "Private_Clean")
                           + procKb(base + "/smaps_rollup", "Private_Dirty"))
        / 1024.0;
    memory.threads = static_cast<int>(procKb(base + "/status", "Threads"));
    return memory;
}

/// The mappings that hold most resident memory, summed by file ("[anon]" for
/// anonymous ones): "name rss/private MB, ...".
std::string topMappings(pid_t pid, std::size_t count)
{
    std::istringstream in(readFile("/proc/" + std::to_string(pid) + "/smaps"));
    std::map<std::string, std::pair<long long, long long>> byName; // rss kB, private kB
    std::string line;
    std::string current;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        const bool header = line.find(':') > line.find(' ') && line.find('-') < line.find(' ');
        if (header) {
            std::istringstream fields(line);
            std::string range, perms, offset, dev, inode, path;
            fields >> range >> perms >> offset >> dev >> inode;
            std::getline(fields, path);
            const auto first = path.find_first_not_of(' ');
            path = first == std::string::npos ? "[anon]" : path.substr(first);
            const auto slash = path.rfind('/');
            current = slash == std::string::npos ? path : path.substr(slash + 1);
            continue;
        }
        std::istringstream fields(line);
        std::string key;
        long long kb = 0;
        fields >> key >> kb;
        if (key == "Rss:")
            byName[current].first += kb;
        else if (key == "Private_Clean:" || key == "Private_Dirty:")
            byName[current].second += kb;
    }
    std::vector<std::pair<std::string, std::pair<long long, long long>>> sorted(
        byName.begin(), byName.end());
    std::sort(sorted.begin(), sorted.end(),
        [](const auto &a, const auto &b) { return a.second.first > b.second.first; });
    std::string text;
    for (std::size_t i = 0; i < sorted.size() && i < count; ++i) {
        char item[200];
        std::snprintf(item, sizeof item, "%s%s %.1f/%.1f", text.empty() ? "" : ", ",
            sorted[i].first.c_str(), static_cast<double>(sorted[i].second.first) / 1024.0,
            static_cast<double>(sorted[i].second.second) / 1024.0);
        text += item;
    }
    return text;
}

} // namespace probe
