#include "Platform/PropertyList/SaltedHash.h"

#include <QRandomGenerator>

#include <bit>
#include <cstdint>
#include <cstring>

namespace Platform {

std::size_t saltedHash(const void* data, std::size_t size)
{
    static const std::uint64_t salt = QRandomGenerator::system()->generate64();
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::uint64_t hash = salt ^ (std::uint64_t(size) * kMultiplier);
    for (; size >= 8; bytes += 8, size -= 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes, 8);
        hash = std::rotl((hash ^ word) * kMultiplier, 29);
    }
    std::uint64_t tail = 0;
    for (std::size_t i = 0; i < size; ++i)
        tail |= std::uint64_t(bytes[i]) << (8 * i);
    hash = (hash ^ tail) * kMultiplier;
    hash ^= hash >> 32;
    hash *= kMultiplier;
    return std::size_t(hash ^ (hash >> 29));
}

}  // namespace Platform
