#pragma once
// On a processor whose cores differ in capacity (big and little cores), the
// program keeps to the cores of the highest capacity; long integrations then
// never land on the slow cores.
#include <string>
#include <vector>

// The CPUs of the highest capacity, read from "<root>cpu<N>/cpu_capacity"
// (root normally "/sys/devices/system/cpu/"); empty when no capacity is
// published or every CPU has the same one.
std::vector<int> HighestCapacityCpus(const std::string& root);

// Restricts the calling thread (and the threads it starts later) to those
// CPUs, within its current affinity; nothing changes when the list is empty
// or shares no CPU with the current affinity.
void KeepToHighestCapacityCpus();
