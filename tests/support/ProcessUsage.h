#pragma once

#include <filesystem>
#include <fstream>
#include <string>

// What the test process holds right now, read from the system: its threads,
// its open files and its resident memory. Life-cycle tests compare them
// before and after many cycles.
inline int EntryCount(const char* folder)
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

inline int ThreadCount()
{
    return EntryCount("/proc/self/task");
}

// Each timer thread holds a wake-up counter, which is a file descriptor.
inline int OpenFileCount()
{
    return EntryCount("/proc/self/fd");
}

inline double ResidentMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key)
    {
        if (key == "VmRSS:")
        {
            double kilobytes = 0;
            status >> kilobytes;
            return kilobytes / 1024;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// AddressSanitizer keeps freed memory in quarantine, so the resident size
// says nothing about leaks there; LeakSanitizer judges them instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool ResidentSizeTellsLeaks = false;
#else
constexpr bool ResidentSizeTellsLeaks = true;
#endif
