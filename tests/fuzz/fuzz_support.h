#pragma once
// Shared pieces of the fuzz targets: a scratch folder of the process (on
// /dev/shm when there is one, so file readers run at memory speed), the
// input written there as a file, and a check that stops the run with a
// message when a property of a reader does not hold.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace varenta::fuzz {

inline const std::string& scratchFolder()
{
    // Kept for the whole process (never destroyed), so that the removal at
    // exit still has it.
    static const std::string* folder = [] {
        std::error_code ec;
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                          : std::filesystem::temp_directory_path();
        const std::filesystem::path dir = base / ("varenta-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir, ec);
        auto* path = new std::string(dir.string());
        std::atexit([] {
            std::error_code e;
            std::filesystem::remove_all(scratchFolder(), e);
        });
        return path;
    }();
    return *folder;
}

inline std::string scratchFile(const std::string& name) { return scratchFolder() + "/" + name; }

// Writes the bytes to the scratch file `name` and returns its path.
inline std::string writeInput(const std::string& name, const std::uint8_t* data, std::size_t size)
{
    const std::string path = scratchFile(name);
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size)
            std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

[[noreturn]] inline void fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::abort();
}

}  // namespace varenta::fuzz

#define FUZZ_CHECK(cond)                                        \
    do {                                                        \
        if (!(cond))                                            \
            ::varenta::fuzz::fail(#cond, __FILE__, __LINE__);   \
    } while (0)
