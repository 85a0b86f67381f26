// The operating system's half of the platform layer: resources, directory listing, thread
// identity and text. These run against the real system (natively, or under wine for the
// Windows build).
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace platform;
namespace fs = std::filesystem;

TEST(Resources, RegisteredBytesAreFoundByTypeAndId)
{
    static const std::uint8_t png[] = {1, 2, 3};
    static const std::uint8_t other[] = {4, 5};
    EXPECT_EQ(findResource("PNG", 7001).data, nullptr);
    EXPECT_TRUE(registerResource("PNG", 7001, png, sizeof png));
    ResourceBytes found = findResource("PNG", 7001);
    EXPECT_EQ(found.data, png);
    EXPECT_EQ(found.size, 3u);
    EXPECT_EQ(findResource("BITMAP", 7001).data, nullptr); // the type is part of the key
    EXPECT_TRUE(registerResource("PNG", 7001, other, sizeof other)); // replaces
    EXPECT_EQ(findResource("PNG", 7001).size, 2u);
    EXPECT_TRUE(unregisterResource("PNG", 7001));
    EXPECT_FALSE(unregisterResource("PNG", 7001));
    EXPECT_EQ(findResource("PNG", 7001).data, nullptr);
    EXPECT_FALSE(registerResource(nullptr, 1, png, 1));
    EXPECT_FALSE(registerResource("PNG", 1, nullptr, 1));
    EXPECT_EQ(findResource(nullptr, 1).data, nullptr);
}

namespace {

struct TempFolder {
    fs::path path;
    TempFolder()
    {
        path = fs::temp_directory_path() / ("orvex_platform_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    void touch(const std::string& name) const { std::ofstream(path / name) << "x"; }
};

std::set<std::string> names(const std::vector<DirectoryEntry>& entries)
{
    std::set<std::string> s;
    for (const auto& e : entries)
        s.insert(e.name + (e.isDirectory ? "/" : ""));
    return s;
}

} // namespace

TEST(DirectoryListing, WavPatternMatchesAnyCaseAndMatchingFolders)
{
    TempFolder folder;
    folder.touch("a.wav");
    folder.touch("B.WAV");
    folder.touch("c.Wav");
    folder.touch("notes.txt");
    folder.touch("wav");
    fs::create_directories(folder.path / "sub.wav");
    fs::create_directories(folder.path / "other");

    // The product's folders end with a backslash on Windows; both separators work here.
    const std::string native = folder.path.string();
    std::vector<DirectoryEntry> listed = listDirectory((native + "/*.wav").c_str());
    EXPECT_EQ(names(listed), (std::set<std::string>{"a.wav", "B.WAV", "c.Wav", "sub.wav/"}));
    EXPECT_EQ(names(listDirectory((native + "\\*.wav").c_str())), names(listed));
    EXPECT_EQ(names(listDirectory((native + "/?.WAV").c_str())), (std::set<std::string>{"a.wav", "B.WAV", "c.Wav"}));
    EXPECT_EQ(names(listDirectory((native + "/*").c_str())).size(), 7u); // never "." or ".."

    EXPECT_TRUE(listDirectory((native + "/missing/*.wav").c_str()).empty());
    EXPECT_TRUE(listDirectory((native + "/*.flac").c_str()).empty());
    EXPECT_TRUE(listDirectory(nullptr).empty());
    EXPECT_TRUE(listDirectory("").empty());
}

TEST(Threads, IdentityIsStablePerThreadAndDiffersBetweenThreads)
{
    const std::uint64_t here = currentThreadId();
    EXPECT_EQ(currentThreadId(), here);
    std::uint64_t there = here;
    std::thread t([&] { there = currentThreadId(); });
    t.join();
    EXPECT_NE(there, here);
}

// Posts are counted, a wait without one times out, and a post from another thread wakes
// a waiter.
TEST(Threads, SemaphoreCountsPostsAndWakesAWaiter)
{
    Semaphore* s = createSemaphore();
    ASSERT_NE(s, nullptr);
    postSemaphore(s);
    postSemaphore(s);
    EXPECT_TRUE(waitSemaphore(s, 0));
    EXPECT_TRUE(waitSemaphore(s, 0));
    EXPECT_FALSE(waitSemaphore(s, 10));
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        postSemaphore(s);
    });
    EXPECT_TRUE(waitSemaphore(s, 5000));
    poster.join();
    destroySemaphore(s);
    postSemaphore(nullptr);
    EXPECT_FALSE(waitSemaphore(nullptr, 0));
}

TEST(Text, FontsMeasureAndRenderInk)
{
    FontRequest request;
    request.face = "Lucida Sans Unicode";
    request.pixelHeight = 14;
    Font* font = createFont(request);
    ASSERT_NE(font, nullptr);
    TextExtent one = measureText(font, "W");
    TextExtent four = measureText(font, "WWWW");
    EXPECT_GT(one.width, 4);
    EXPECT_EQ(four.width, 4 * one.width); // advances add up, no kerning
    EXPECT_GE(one.height, 14);
    EXPECT_GT(one.ascent, 0);
    EXPECT_LT(one.ascent, one.height);
    EXPECT_EQ(measureText(font, "").width, 0);
    EXPECT_EQ(measureText(font, nullptr).width, 0);
    EXPECT_EQ(measureText(nullptr, "W").width, 0);

    TextMask mask;
    ASSERT_TRUE(renderText(font, "WW", mask));
    ASSERT_EQ(mask.alpha.size(), static_cast<std::size_t>(mask.width) * mask.height);
    int inkLeft = mask.width, inkRight = -1, inkTop = mask.height, inkBottom = -1;
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x)
            if (mask.alpha[static_cast<std::size_t>(y) * mask.width + x] > 128) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x);
                inkTop = std::min(inkTop, y);
                inkBottom = std::max(inkBottom, y);
            }
    ASSERT_GE(inkRight, 0) << "no ink";
    // The ink lies within the line box (give or take a pixel of overhang) and above the
    // baseline for capitals.
    const int measured = measureText(font, "WW").width;
    EXPECT_GE(mask.originX + inkLeft, -1);
    EXPECT_LE(mask.originX + inkRight, measured + 1);
    EXPECT_GT(inkRight - inkLeft, measured / 2);
    EXPECT_LE(mask.originY + inkBottom, one.ascent + 1);
    EXPECT_GE(mask.originY + inkTop, 0);
    EXPECT_FALSE(renderText(font, nullptr, mask));
    EXPECT_FALSE(renderText(nullptr, "x", mask));

    // Bold is at least as wide; an unknown face still gives ink (falls back to a sans face).
    request.bold = true;
    Font* bold = createFont(request);
    ASSERT_NE(bold, nullptr);
    EXPECT_GE(measureText(bold, "WWWW").width, four.width);
    request.face = "No Such Face At All";
    request.bold = false;
    Font* fallback = createFont(request);
    ASSERT_NE(fallback, nullptr);
    EXPECT_GT(measureText(fallback, "abc").width, 0);
    request.pixelHeight = 0;
    EXPECT_EQ(createFont(request), nullptr);
    destroyFont(font);
    destroyFont(bold);
    destroyFont(fallback);
    destroyFont(nullptr);
}

// Two instances' editors may draw text on two threads at once (one on the screen, another
// into a snapshot), through state the process shares: fonts made on two threads at once, the
// first ever of their faces, measure as the same fonts made on one thread afterwards. Under
// ThreadSanitizer this also checks that the shared state is never touched by both at once.
TEST(Text, FontsOnTwoThreadsAtOnceMeasureAsOnOne)
{
    const char* const faces[] = {"Courier New", "Symbol", "Verdana", "Tahoma", "Georgia", "Impact"};
    auto widths = [&faces](int round) {
        std::vector<std::int32_t> out;
        for (const char* face : faces) {
            FontRequest request;
            request.face = face;
            request.pixelHeight = 9 + round % 7;
            request.bold = (round & 1) != 0;
            request.italic = (round & 2) != 0;
            Font* font = createFont(request);
            TextMask mask;
            out.push_back(font && renderText(font, "Cab 3", mask) ? measureText(font, "Cab 3").width : -1);
            destroyFont(font);
        }
        return out;
    };
    constexpr int kRounds = 8;
    std::vector<std::vector<std::int32_t>> first(kRounds), second(kRounds), alone(kRounds);
    std::thread other([&] {
        for (int round = 0; round < kRounds; ++round)
            second[round] = widths(round);
    });
    for (int round = 0; round < kRounds; ++round)
        first[round] = widths(round);
    other.join();
    for (int round = 0; round < kRounds; ++round)
        alone[round] = widths(round);
    EXPECT_EQ(first, alone);
    EXPECT_EQ(second, alone);
}
