#include "filelist/Md5.h"

#include <cstring>
#include <iostream>

#include "common/Utf16.h"

namespace ornivel {

namespace {

inline uint32_t rotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// Little-endian 32-bit word at an arbitrary address (one load on x86).
inline uint32_t loadWord(const unsigned char* p) {
    uint32_t w;
    std::memcpy(&w, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    w = __builtin_bswap32(w);
#endif
    return w;
}

inline void storeWord(unsigned char* p, uint32_t w) {
    p[0] = static_cast<unsigned char>(w);
    p[1] = static_cast<unsigned char>(w >> 8);
    p[2] = static_cast<unsigned char>(w >> 16);
    p[3] = static_cast<unsigned char>(w >> 24);
}

#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_H(x, y, z) ((x) ^ ((y) ^ (z)))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, x, s, ac) \
    (a) += f((b), (c), (d)) + (x) + static_cast<uint32_t>(ac); \
    (a) = rotateLeft((a), (s)) + (b);
// The second round's function (b & d) | (c & ~d) as a sum of its two disjoint halves, so that
// only one operation waits for b.
#define MD5_STEP_G(a, b, c, d, x, s, ac) \
    (a) += ((c) & ~(d)) + (x) + static_cast<uint32_t>(ac); \
    (a) += (b) & (d); \
    (a) = rotateLeft((a), (s)) + (b);

const unsigned char kPadding[64] = {0x80};

} // namespace

MD5::MD5() : state_{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u}, count_{0, 0}, buffer_{}, digest_{},
             finalized_(false) {}

MD5::MD5(const unsigned char* zeroTerminated) : MD5() {
    update(zeroTerminated, std::strlen(reinterpret_cast<const char*>(zeroTerminated)));
    finalize();
}

MD5::MD5(FILE* file) : MD5() {
    update(file);
    finalize();
}

void MD5::update(const unsigned char* input, size_t length) {
    if (finalized_) {
        std::cerr << "MD5::update:  Can't update a finalized digest!" << std::endl;
        return;
    }
    size_t index = (count_[0] >> 3) & 0x3f;
    // The bit count is kept modulo 2^64, as two 32-bit halves.
    uint64_t bits = (static_cast<uint64_t>(count_[1]) << 32 | count_[0]) + (static_cast<uint64_t>(length) << 3);
    count_[0] = static_cast<uint32_t>(bits);
    count_[1] = static_cast<uint32_t>(bits >> 32);

    size_t done = 0;
    if (index != 0) {
        size_t fill = 64 - index;
        if (length < fill) {
            std::memcpy(buffer_ + index, input, length);
            return;
        }
        std::memcpy(buffer_ + index, input, fill);
        transform(buffer_);
        done = fill;
    }
    // Whole blocks straight from the input.
    size_t blocks = (length - done) / 64;
    transformBlocks(input + done, blocks);
    done += blocks * 64;
    std::memcpy(buffer_, input + done, length - done);
}

void MD5::update(FILE* file) {
    if (file == nullptr) return;
    unsigned char block[kFileBlockSize];
    size_t read;
    while ((read = std::fread(block, 1, sizeof block, file)) > 0) update(block, read);
    std::fclose(file);
}

void MD5::finalize() {
    if (finalized_) {
        std::cerr << "MD5::finalize:  Already finalized this digest!" << std::endl;
        return;
    }
    unsigned char bits[8];
    storeWord(bits, count_[0]);
    storeWord(bits + 4, count_[1]);
    size_t index = (count_[0] >> 3) & 0x3f;
    size_t padLength = index < 56 ? 56 - index : 120 - index;
    update(kPadding, padLength);
    update(bits, 8);
    for (int i = 0; i < 4; ++i) storeWord(digest_ + 4 * i, state_[i]);
    // Nothing of the message stays in the object.
    std::memset(buffer_, 0, sizeof buffer_);
    finalized_ = true;
}

std::string MD5::hex_digest() const {
    if (!finalized_) {
        std::cerr << "MD5::hex_digest:  Can't get digest if you haven't " << "finalized the digest!" << std::endl;
        return {};
    }
    static const char kHex[] = "0123456789abcdef";
    std::string text(32, '0');
    for (int i = 0; i < 16; ++i) {
        text[2 * i] = kHex[digest_[i] >> 4];
        text[2 * i + 1] = kHex[digest_[i] & 15];
    }
    return text;
}

void MD5::transform(const unsigned char* block) { transformBlocks(block, 1); }

void MD5::transformBlocks(const unsigned char* blocks, size_t count) {
    uint32_t a0 = state_[0], b0 = state_[1], c0 = state_[2], d0 = state_[3];
    for (; count > 0; --count, blocks += 64) {
        const unsigned char* p = blocks;
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = loadWord(p + 4 * i);
        uint32_t a = a0, b = b0, c = c0, d = d0;

        MD5_STEP(MD5_F, a, b, c, d, x[0], 7, 0xd76aa478)
        MD5_STEP(MD5_F, d, a, b, c, x[1], 12, 0xe8c7b756)
        MD5_STEP(MD5_F, c, d, a, b, x[2], 17, 0x242070db)
        MD5_STEP(MD5_F, b, c, d, a, x[3], 22, 0xc1bdceee)
        MD5_STEP(MD5_F, a, b, c, d, x[4], 7, 0xf57c0faf)
        MD5_STEP(MD5_F, d, a, b, c, x[5], 12, 0x4787c62a)
        MD5_STEP(MD5_F, c, d, a, b, x[6], 17, 0xa8304613)
        MD5_STEP(MD5_F, b, c, d, a, x[7], 22, 0xfd469501)
        MD5_STEP(MD5_F, a, b, c, d, x[8], 7, 0x698098d8)
        MD5_STEP(MD5_F, d, a, b, c, x[9], 12, 0x8b44f7af)
        MD5_STEP(MD5_F, c, d, a, b, x[10], 17, 0xffff5bb1)
        MD5_STEP(MD5_F, b, c, d, a, x[11], 22, 0x895cd7be)
        MD5_STEP(MD5_F, a, b, c, d, x[12], 7, 0x6b901122)
        MD5_STEP(MD5_F, d, a, b, c, x[13], 12, 0xfd987193)
        MD5_STEP(MD5_F, c, d, a, b, x[14], 17, 0xa679438e)
        MD5_STEP(MD5_F, b, c, d, a, x[15], 22, 0x49b40821)

        MD5_STEP_G(a, b, c, d, x[1], 5, 0xf61e2562)
        MD5_STEP_G(d, a, b, c, x[6], 9, 0xc040b340)
        MD5_STEP_G(c, d, a, b, x[11], 14, 0x265e5a51)
        MD5_STEP_G(b, c, d, a, x[0], 20, 0xe9b6c7aa)
        MD5_STEP_G(a, b, c, d, x[5], 5, 0xd62f105d)
        MD5_STEP_G(d, a, b, c, x[10], 9, 0x02441453)
        MD5_STEP_G(c, d, a, b, x[15], 14, 0xd8a1e681)
        MD5_STEP_G(b, c, d, a, x[4], 20, 0xe7d3fbc8)
        MD5_STEP_G(a, b, c, d, x[9], 5, 0x21e1cde6)
        MD5_STEP_G(d, a, b, c, x[14], 9, 0xc33707d6)
        MD5_STEP_G(c, d, a, b, x[3], 14, 0xf4d50d87)
        MD5_STEP_G(b, c, d, a, x[8], 20, 0x455a14ed)
        MD5_STEP_G(a, b, c, d, x[13], 5, 0xa9e3e905)
        MD5_STEP_G(d, a, b, c, x[2], 9, 0xfcefa3f8)
        MD5_STEP_G(c, d, a, b, x[7], 14, 0x676f02d9)
        MD5_STEP_G(b, c, d, a, x[12], 20, 0x8d2a4c8a)

        MD5_STEP(MD5_H, a, b, c, d, x[5], 4, 0xfffa3942)
        MD5_STEP(MD5_H, d, a, b, c, x[8], 11, 0x8771f681)
        MD5_STEP(MD5_H, c, d, a, b, x[11], 16, 0x6d9d6122)
        MD5_STEP(MD5_H, b, c, d, a, x[14], 23, 0xfde5380c)
        MD5_STEP(MD5_H, a, b, c, d, x[1], 4, 0xa4beea44)
        MD5_STEP(MD5_H, d, a, b, c, x[4], 11, 0x4bdecfa9)
        MD5_STEP(MD5_H, c, d, a, b, x[7], 16, 0xf6bb4b60)
        MD5_STEP(MD5_H, b, c, d, a, x[10], 23, 0xbebfbc70)
        MD5_STEP(MD5_H, a, b, c, d, x[13], 4, 0x289b7ec6)
        MD5_STEP(MD5_H, d, a, b, c, x[0], 11, 0xeaa127fa)
        MD5_STEP(MD5_H, c, d, a, b, x[3], 16, 0xd4ef3085)
        MD5_STEP(MD5_H, b, c, d, a, x[6], 23, 0x04881d05)
        MD5_STEP(MD5_H, a, b, c, d, x[9], 4, 0xd9d4d039)
        MD5_STEP(MD5_H, d, a, b, c, x[12], 11, 0xe6db99e5)
        MD5_STEP(MD5_H, c, d, a, b, x[15], 16, 0x1fa27cf8)
        MD5_STEP(MD5_H, b, c, d, a, x[2], 23, 0xc4ac5665)

        MD5_STEP(MD5_I, a, b, c, d, x[0], 6, 0xf4292244)
        MD5_STEP(MD5_I, d, a, b, c, x[7], 10, 0x432aff97)
        MD5_STEP(MD5_I, c, d, a, b, x[14], 15, 0xab9423a7)
        MD5_STEP(MD5_I, b, c, d, a, x[5], 21, 0xfc93a039)
        MD5_STEP(MD5_I, a, b, c, d, x[12], 6, 0x655b59c3)
        MD5_STEP(MD5_I, d, a, b, c, x[3], 10, 0x8f0ccc92)
        MD5_STEP(MD5_I, c, d, a, b, x[10], 15, 0xffeff47d)
        MD5_STEP(MD5_I, b, c, d, a, x[1], 21, 0x85845dd1)
        MD5_STEP(MD5_I, a, b, c, d, x[8], 6, 0x6fa87e4f)
        MD5_STEP(MD5_I, d, a, b, c, x[15], 10, 0xfe2ce6e0)
        MD5_STEP(MD5_I, c, d, a, b, x[6], 15, 0xa3014314)
        MD5_STEP(MD5_I, b, c, d, a, x[13], 21, 0x4e0811a1)
        MD5_STEP(MD5_I, a, b, c, d, x[4], 6, 0xf7537e82)
        MD5_STEP(MD5_I, d, a, b, c, x[11], 10, 0xbd3af235)
        MD5_STEP(MD5_I, c, d, a, b, x[2], 15, 0x2ad7d2bb)
        MD5_STEP(MD5_I, b, c, d, a, x[9], 21, 0xeb86d391)

        a0 += a;
        b0 += b;
        c0 += c;
        d0 += d;
    }
    state_[0] = a0;
    state_[1] = b0;
    state_[2] = c0;
    state_[3] = d0;
}

std::wstring md5HexOfText(const std::wstring& text) {
    // The text counts up to its first zero character; its UTF-8 form is digested whole.
    const std::string utf8 = utf8OfUtf16(std::wstring(text.c_str()));
    MD5 digest;
    digest.update(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size());
    digest.finalize();
    const std::string hex = digest.hex_digest();
    return std::wstring(hex.begin(), hex.end());
}

std::string md5HexOfBytes(std::string_view bytes) {
    MD5 digest;
    digest.update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    digest.finalize();
    return digest.hex_digest();
}

std::string md5HexOfFile(FILE* file) {
    if (file == nullptr) return {};
    return MD5(file).hex_digest();
}

} // namespace ornivel
