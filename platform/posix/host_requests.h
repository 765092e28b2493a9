// What the host services were asked for outside Windows, for the tests.
#pragma once
#include <functional>
#include <string>

namespace plat {
// Told of every request that would change the system's state on Windows, as it
// is made: "keep awake on"/"off", "fine timer on"/"off" (nullptr: none).
void set_host_observer(std::function<void(const std::string& request)> observer);
}  // namespace plat
