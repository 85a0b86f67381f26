// Many instances in one host process, as a session with a dozen guitar tracks has: what each
// one costs while it sits there, and that closing them gives everything back. Threads and
// wake-ups are checked; bytes per instance are printed (a figure, not a check).
#include "EffectTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#include <tlhelp32.h>
#else
#include <dirent.h>
#include <malloc.h>
#endif

using namespace orvex;
using namespace orvex::testing;

namespace {

int threadCount()
{
#if defined(_WIN32)
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    CloseHandle(snapshot);
    return count;
#else
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.' ? 1 : 0;
        closedir(tasks);
    }
    return count;
#endif
}

// Bytes the C library has handed out and not taken back (0 where it does not say).
long long bytesInUse()
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    return static_cast<long long>(mallinfo2().uordblks) + static_cast<long long>(mallinfo2().hblkhd);
#else
    return 0;
#endif
}

// The thread count once it has stopped moving: a thread that an earlier test joined can stay
// listed for a moment (under qemu-user the join returns before the emulator's own thread
// has ended). Settled: the same count twice, 50 ms apart (two seconds at most).
int settledThreadCount()
{
    int count = threadCount();
    for (int wait = 0; wait < 40; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int again = threadCount();
        if (again == count)
            break;
        count = again;
    }
    return count;
}

} // namespace

TEST(Instances, SixtyFourOpenedAndClosedLeaveNoThreadAndSleepWhileIdle)
{
    constexpr int kInstances = 64;
    const int threadsBefore = settledThreadCount();
    const long long bytesBefore = bytesInUse();
    std::vector<std::unique_ptr<Orvex>> instances;
    for (int i = 0; i < kInstances; ++i)
        instances.push_back(makeEffect());
    const int threadsOpen = settledThreadCount();
    const long long bytesOpen = bytesInUse();

    // An idle instance's loader sleeps without a timeout: nothing wakes it in a second.
    long long wakeUps = 0;
    for (const auto& fx : instances)
        wakeUps += fx->loaderWakeUps();
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    long long wakeUpsLater = 0;
    for (const auto& fx : instances)
        wakeUpsLater += fx->loaderWakeUps();

    instances.clear();
    // A joined thread can stay listed for a moment while the system tears it down (under
    // qemu-user the join returns before the emulator's own thread has ended). A leaked
    // thread never leaves, so waiting up to two seconds for the count to settle hides none.
    int threadsAfter = threadCount();
    for (int wait = 0; wait < 200 && threadsAfter != threadsBefore; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        threadsAfter = threadCount();
    }
    std::printf("instances: %d threads before, %d with %d instances, %d after; %.0f KiB per instance; %lld "
                "loader wake-ups in 1.2 s idle\n",
                threadsBefore, threadsOpen, kInstances, threadsAfter,
                static_cast<double>(bytesOpen - bytesBefore) / kInstances / 1024.0, wakeUpsLater - wakeUps);
    EXPECT_EQ(threadsOpen - threadsBefore, kInstances); // one loader each
    EXPECT_EQ(threadsAfter, threadsBefore);
    EXPECT_EQ(wakeUpsLater, wakeUps);
}
