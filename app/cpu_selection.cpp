#include "app/cpu_selection.h"

#include <sched.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/files.h"
#include "platform/numbers.h"

std::vector<int> HighestCapacityCpus(const std::string& root)
{
  namespace fs = std::filesystem;
  std::map<int, long> capacity;
  std::error_code ec;
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < 4 || name.compare(0, 3, "cpu") != 0 ||
        !std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    std::string text;
    long value = 0;
    if (!ReadWholeFile(it->path().string() + "/cpu_capacity", text))
      continue;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
      text.pop_back();
    if (ParseInt(text, value))
      capacity[std::stoi(name.substr(3))] = value;
  }
  if (capacity.empty())
    return {};
  auto [lo, hi] = std::minmax_element(capacity.begin(), capacity.end(),
                                      [](const auto& a, const auto& b) { return a.second < b.second; });
  if (lo->second == hi->second)
    return {};
  std::vector<int> cpus;
  for (const auto& [cpu, cap] : capacity)
    if (cap == hi->second)
      cpus.push_back(cpu);
  return cpus;
}

void KeepToHighestCapacityCpus()
{
  const std::vector<int> cpus = HighestCapacityCpus("/sys/devices/system/cpu/");
  if (cpus.empty())
    return;
  cpu_set_t current;
  CPU_ZERO(&current);
  if (sched_getaffinity(0, sizeof current, &current) != 0)
    return;
  cpu_set_t wanted;
  CPU_ZERO(&wanted);
  for (int cpu : cpus)
    if (cpu < CPU_SETSIZE && CPU_ISSET(cpu, &current))
      CPU_SET(cpu, &wanted);
  if (CPU_COUNT(&wanted) > 0)
    sched_setaffinity(0, sizeof wanted, &wanted);
}
