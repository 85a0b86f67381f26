#include "TempFolder.h"

#include <filesystem>
#include <random>
#include <system_error>

TempFolder::TempFolder()
{
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / ("orvex-cli-test-" + std::to_string(random() % 1000000000ull));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            m_path = candidate.string();
            return;
        }
    }
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ec);
}

std::string TempFolder::file(const std::string& name) const
{
    return (std::filesystem::path(m_path) / name).string();
}
