// Host services (POSIX-specific).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "../host.h"
#include "host_requests.h"

namespace plat {
namespace {
std::mutex observer_lock;
std::function<void(const std::string&)> host_observer;

// A test host changes nothing in the system: it only tells the test.
void notify(const std::string& request) {
    std::lock_guard<std::mutex> hold(observer_lock);
    if (host_observer) host_observer(request);
}
}  // namespace

bool write_text_file(const std::string& path, const std::string& content, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(content.data(), 1, content.size(), file) == content.size();
    int code = errno;
    if (file && std::fclose(file) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok && error) *error = std::string(std::strerror(code)) + " (erro " + std::to_string(code) + ")";
    return ok;
}

bool documents_file(const std::string& name, std::string* path, std::string* error) {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        if (error) *error = "HOME não está definida";
        return false;
    }
    *path = std::string(home) + "/" + name;
    return true;
}

void keep_awake(bool on) { notify(on ? "keep awake on" : "keep awake off"); }

void fine_system_timer(bool on) { notify(on ? "fine timer on" : "fine timer off"); }

void set_host_observer(std::function<void(const std::string& request)> observer) {
    std::lock_guard<std::mutex> hold(observer_lock);
    host_observer = std::move(observer);
}

}  // namespace plat
