// Spreads independent jobs over every hardware thread of the machine.
#pragma once

#include <functional>

// Runs job(i) for every i in [0, n), each exactly once, on all cores; returns
// when every job is done. Jobs must not depend on each other's order.
void forEachOnAllCores(int n, const std::function<void(int)>& job);
