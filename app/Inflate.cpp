#include "app/Inflate.h"

#include <array>

namespace {

constexpr int MaxCodeLength = 15;
constexpr int EndOfBlock = 256;

// Bits are taken from the low end of each byte first. Reading past the end
// yields zero bits and marks the stream as overrun.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    unsigned Bits(int count)
    {
        while (held_ < count) {
            unsigned byte = 0;
            if (pos_ < size_)
                byte = data_[pos_++];
            else
                overrun_ = true;
            buffer_ |= byte << held_;
            held_ += 8;
        }
        unsigned value = buffer_ & ((1u << count) - 1);
        buffer_ >>= count;
        held_ -= count;
        return value;
    }

    void SkipToByte()
    {
        buffer_ = 0;
        held_ = 0;
    }

    bool Overrun() const { return overrun_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    unsigned buffer_ = 0;
    int held_ = 0;
    bool overrun_ = false;
};

// A canonical Huffman code: how many codes have each length, and the
// symbols in code order.
class Huffman {
public:
    bool Build(const std::uint8_t* lengths, int symbols)
    {
        count_.fill(0);
        for (int s = 0; s < symbols; ++s)
            ++count_[lengths[s]];
        int unused = 1;
        for (int length = 1; length <= MaxCodeLength; ++length) {
            unused = unused * 2 - count_[length];
            if (unused < 0) return false;  // more codes than the lengths allow
        }
        std::array<int, MaxCodeLength + 1> next{};
        for (int length = 1; length < MaxCodeLength; ++length)
            next[length + 1] = next[length] + count_[length];
        for (int s = 0; s < symbols; ++s)
            if (lengths[s]) symbol_[next[lengths[s]]++] = static_cast<std::uint16_t>(s);
        return true;
    }

    // The next symbol, or -1 for a code that is not in the table.
    int Decode(BitReader& in) const
    {
        int code = 0, first = 0, index = 0;
        for (int length = 1; length <= MaxCodeLength; ++length) {
            code |= static_cast<int>(in.Bits(1));
            int count = count_[length];
            if (code - first < count) return symbol_[index + code - first];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    std::array<std::uint16_t, MaxCodeLength + 1> count_{};
    std::array<std::uint16_t, 288> symbol_{};
};

constexpr std::uint16_t LengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                          15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                          2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t DistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t DistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

class Inflater {
public:
    Inflater(const std::uint8_t* data, std::size_t size, std::size_t limit,
             std::vector<std::uint8_t>& out)
        : in_(data, size), limit_(limit), out_(out)
    {
    }

    bool Run()
    {
        bool last = false;
        while (!last) {
            last = in_.Bits(1) != 0;
            bool ok = false;
            switch (in_.Bits(2)) {
            case 0: ok = Stored(); break;
            case 1: ok = Fixed(); break;
            case 2: ok = Dynamic(); break;
            }
            if (!ok || in_.Overrun()) return false;
        }
        return true;
    }

private:
    bool Stored()
    {
        in_.SkipToByte();
        unsigned length = in_.Bits(16);
        if ((in_.Bits(16) ^ 0xFFFF) != length) return false;
        for (unsigned i = 0; i < length; ++i)
            if (!Put(static_cast<std::uint8_t>(in_.Bits(8)))) return false;
        return true;
    }

    bool Fixed()
    {
        std::array<std::uint8_t, 288 + 30> lengths{};
        for (int s = 0; s < 288; ++s)
            lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        for (int s = 288; s < 288 + 30; ++s)
            lengths[s] = 5;
        Huffman literals, distances;
        return literals.Build(lengths.data(), 288) && distances.Build(lengths.data() + 288, 30) &&
               Codes(literals, distances);
    }

    bool Dynamic()
    {
        static constexpr std::uint8_t Order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                   11, 4,  12, 3, 13, 2, 14, 1, 15};
        int literalCount = static_cast<int>(in_.Bits(5)) + 257;
        int distanceCount = static_cast<int>(in_.Bits(5)) + 1;
        int lengthCodeCount = static_cast<int>(in_.Bits(4)) + 4;
        if (literalCount > 286 || distanceCount > 30) return false;

        std::array<std::uint8_t, 286 + 30> lengths{};
        for (int i = 0; i < lengthCodeCount; ++i)
            lengths[Order[i]] = static_cast<std::uint8_t>(in_.Bits(3));
        Huffman lengthCode;
        if (!lengthCode.Build(lengths.data(), 19)) return false;

        // The code lengths of both tables, run-length coded.
        const int total = literalCount + distanceCount;
        int index = 0;
        while (index < total) {
            int symbol = lengthCode.Decode(in_);
            if (symbol < 0 || in_.Overrun()) return false;
            if (symbol < 16) {
                lengths[index++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t repeated = 0;
            int times = 0;
            if (symbol == 16) {
                if (index == 0) return false;
                repeated = lengths[index - 1];
                times = 3 + static_cast<int>(in_.Bits(2));
            } else if (symbol == 17) {
                times = 3 + static_cast<int>(in_.Bits(3));
            } else {
                times = 11 + static_cast<int>(in_.Bits(7));
            }
            if (index + times > total) return false;
            while (times-- > 0)
                lengths[index++] = repeated;
        }
        if (lengths[EndOfBlock] == 0) return false;

        Huffman literals, distances;
        return literals.Build(lengths.data(), literalCount) &&
               distances.Build(lengths.data() + literalCount, distanceCount) &&
               Codes(literals, distances);
    }

    bool Codes(const Huffman& literals, const Huffman& distances)
    {
        for (;;) {
            int symbol = literals.Decode(in_);
            if (symbol < 0 || in_.Overrun()) return false;
            if (symbol < EndOfBlock) {
                if (!Put(static_cast<std::uint8_t>(symbol))) return false;
                continue;
            }
            if (symbol == EndOfBlock) return true;
            symbol -= EndOfBlock + 1;
            if (symbol >= 29) return false;
            std::size_t length = LengthBase[symbol] + in_.Bits(LengthExtra[symbol]);
            int code = distances.Decode(in_);
            if (code < 0 || code >= 30) return false;
            std::size_t distance = DistanceBase[code] + in_.Bits(DistanceExtra[code]);
            if (distance > out_.size()) return false;
            for (std::size_t i = 0; i < length; ++i)
                if (!Put(out_[out_.size() - distance])) return false;
        }
    }

    bool Put(std::uint8_t byte)
    {
        if (out_.size() >= limit_) return false;
        out_.push_back(byte);
        return true;
    }

    BitReader in_;
    std::size_t limit_;
    std::vector<std::uint8_t>& out_;
};

}  // namespace

bool Inflate(const std::uint8_t* data, std::size_t size, std::size_t limit,
             std::vector<std::uint8_t>& out)
{
    return Inflater(data, size, limit, out).Run();
}
