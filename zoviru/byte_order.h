// Conversion between host values and the big-endian form of NBT data.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace zoviru {

template <std::size_t N> struct uint_of_size;
template <> struct uint_of_size<1> { using type = uint8_t; };
template <> struct uint_of_size<2> { using type = uint16_t; };
template <> struct uint_of_size<4> { using type = uint32_t; };
template <> struct uint_of_size<8> { using type = uint64_t; };

template <class U> constexpr U byteswap(U v)
{
    if constexpr (sizeof(U) == 1)
        return v;
    else if constexpr (sizeof(U) == 2)
        return __builtin_bswap16(v);
    else if constexpr (sizeof(U) == 4)
        return __builtin_bswap32(v);
    else
        return __builtin_bswap64(v);
}

// Host value of the sizeof(T) big-endian bytes at p (integers, float, double).
template <class T> inline T load_be(const unsigned char *p)
{
    static_assert(std::is_trivially_copyable_v<T>);
    using U = typename uint_of_size<sizeof(T)>::type;
    U u;
    std::memcpy(&u, p, sizeof u);
    if constexpr (std::endian::native == std::endian::little)
        u = byteswap(u);
    T v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// Stores v at p as sizeof(T) big-endian bytes.
template <class T> inline void store_be(unsigned char *p, T v)
{
    static_assert(std::is_trivially_copyable_v<T>);
    using U = typename uint_of_size<sizeof(T)>::type;
    U u;
    std::memcpy(&u, &v, sizeof u);
    if constexpr (std::endian::native == std::endian::little)
        u = byteswap(u);
    std::memcpy(p, &u, sizeof u);
}

// Reads n big-endian elements from src into host-order storage, in one pass.
template <class T> inline void load_elements_be(T *dst, const unsigned char *src, std::size_t n)
{
    if constexpr (sizeof(T) == 1) {
        std::memcpy(dst, src, n);
    } else {
        for (std::size_t i = 0; i < n; i++)
            dst[i] = load_be<T>(src + i * sizeof(T));
    }
}

} // namespace zoviru
