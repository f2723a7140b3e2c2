#include "host/PngWriter.h"

#include <cstdio>

namespace hostkit {

namespace {

constexpr int kWindowSize = 32768;
constexpr int kHashBits = 15;
constexpr int kMaxChain = 48;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;

const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Deflate's bit order: values least significant bit first, Huffman codes most significant first.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void Put(uint32_t value, int count) {
    bits_ |= value << count_;
    count_ += count;
    while (count_ >= 8) {
      out_.push_back((uint8_t)bits_);
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  void PutCode(uint32_t code, int length) {
    uint32_t reversed = 0;
    for (int i = 0; i < length; ++i) reversed |= ((code >> i) & 1u) << (length - 1 - i);
    Put(reversed, length);
  }
  void Flush() {
    if (count_ > 0) out_.push_back((uint8_t)bits_);
    bits_ = 0;
    count_ = 0;
  }

 private:
  std::vector<uint8_t>& out_;
  uint32_t bits_ = 0;
  int count_ = 0;
};

// A literal/length symbol (0..287) with the fixed Huffman code table.
void PutSymbol(BitWriter& bits, int symbol) {
  if (symbol < 144) bits.PutCode(0x30 + symbol, 8);
  else if (symbol < 256) bits.PutCode(0x190 + symbol - 144, 9);
  else if (symbol < 280) bits.PutCode(symbol - 256, 7);
  else bits.PutCode(0xC0 + symbol - 280, 8);
}

void PutMatch(BitWriter& bits, int length, int distance) {
  int code = 28;
  while (kLengthBase[code] > length) --code;
  PutSymbol(bits, 257 + code);
  bits.Put(length - kLengthBase[code], kLengthExtra[code]);
  code = 29;
  while (kDistanceBase[code] > distance) --code;
  bits.PutCode(code, 5);
  bits.Put(distance - kDistanceBase[code], kDistanceExtra[code]);
}

uint32_t Hash(const uint8_t* p) {
  uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
  return (v * 2654435761u) >> (32 - kHashBits);
}

uint32_t Adler32(const uint8_t* data, size_t size) {
  uint32_t a = 1, b = 0;
  for (size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back((uint8_t)(v >> shift));
}

// One PNG chunk: length, type, data, CRC over type and data.
void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBigEndian(out, (uint32_t)data.size());
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
      table[n] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::vector<uint8_t> ZlibCompress(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out = {0x78, 0x01};
  BitWriter bits(out);
  bits.Put(1, 1);  // the final block
  bits.Put(1, 2);  // fixed Huffman codes
  std::vector<int32_t> head((size_t)1 << kHashBits, -1);
  std::vector<int32_t> previous(kWindowSize, -1);
  auto insert = [&](size_t at) {
    if (at + kMinMatch > size) return;
    uint32_t h = Hash(data + at);
    previous[at & (kWindowSize - 1)] = head[h];
    head[h] = (int32_t)at;
  };
  size_t i = 0;
  while (i < size) {
    int best = 0, bestDistance = 0;
    if (i + kMinMatch <= size) {
      int limit = size - i < (size_t)kMaxMatch ? (int)(size - i) : kMaxMatch;
      int32_t candidate = head[Hash(data + i)];
      for (int chain = 0; candidate >= 0 && chain < kMaxChain; ++chain) {
        if (i - (size_t)candidate > (size_t)kWindowSize) break;
        int length = 0;
        while (length < limit && data[candidate + length] == data[i + length]) ++length;
        if (length > best) {
          best = length;
          bestDistance = (int)(i - candidate);
          if (length == limit) break;
        }
        int32_t next = previous[candidate & (kWindowSize - 1)];
        if (next >= candidate) break;  // the slot was reused by a newer position
        candidate = next;
      }
    }
    if (best >= kMinMatch) {
      PutMatch(bits, best, bestDistance);
      for (int k = 0; k < best; ++k) insert(i + k);
      i += best;
    } else {
      PutSymbol(bits, data[i]);
      insert(i);
      ++i;
    }
  }
  PutSymbol(bits, 256);  // end of block
  bits.Flush();
  PutBigEndian(out, Adler32(data, size));
  return out;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels, bool withAlpha) {
  if (width <= 0 || height <= 0 || pixels.size() < (size_t)width * height) return false;
  int channels = withAlpha ? 4 : 3;
  std::vector<uint8_t> raw;
  raw.reserve((size_t)height * (1 + (size_t)width * channels));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none; the matcher finds the runs
    for (int x = 0; x < width; ++x) {
      uint32_t p = pixels[(size_t)y * width + x];
      raw.push_back((uint8_t)(p >> 16));
      raw.push_back((uint8_t)(p >> 8));
      raw.push_back((uint8_t)p);
      if (withAlpha) raw.push_back((uint8_t)(p >> 24));
    }
  }
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBigEndian(header, (uint32_t)width);
  PutBigEndian(header, (uint32_t)height);
  // 8 bits per sample, RGB (2) or RGBA (6), deflate, no filter method, no interlace.
  header.insert(header.end(), {8, (uint8_t)(withAlpha ? 6 : 2), 0, 0, 0});
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", ZlibCompress(raw.data(), raw.size()));
  PutChunk(out, "IEND", {});
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(out.data(), 1, out.size(), file) == out.size();
  return fclose(file) == 0 && ok;
}

}  // namespace hostkit
