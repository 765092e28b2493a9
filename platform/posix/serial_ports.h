// How a port number finds its device outside Windows.
#pragma once
#include <string>

namespace plat {
// COM n opens /dev/ttyS<n-1> unless a path was set for n here (tests point a
// port number at a pseudo-terminal this way). An empty path restores that.
void serial_set_device_path(int port_number, const std::string& path);
std::string serial_device_path(int port_number);
}  // namespace plat
