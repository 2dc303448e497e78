// Lists the ports of a fake tree whose lock file for ttyS0 is 300 MB long (a
// PID and no line end, as anyone may write into the world-writable lock
// directory), and prints the time and the process's peak memory.
#include "link/port_list_linux.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

int main() {
    const fs::path root = fs::temp_directory_path() / "vz_port_list_bench";
    fs::remove_all(root);
    fs::create_directories(root / "sys/devices/pnp0/00:04");
    fs::create_directories(root / "sys/class/tty/ttyS0");
    fs::create_directory_symlink("../../../devices/pnp0/00:04", root / "sys/class/tty/ttyS0/device");
    fs::create_directories(root / "run/lock");
    const fs::path lock = root / "run/lock/LCK..ttyS0";
    std::ofstream(lock) << "       999";
    fs::resize_file(lock, 300u << 20); // the rest reads as NUL bytes and costs no disk

    const auto start = std::chrono::steady_clock::now();
    const std::size_t count = vz::ListPortsUnder(root).size();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%zu port(s) listed with a 300 MB lock file: %.3f s, peak memory %ld MB\n", count, seconds,
                usage.ru_maxrss / 1024);
    fs::remove_all(root);
    return 0;
}
