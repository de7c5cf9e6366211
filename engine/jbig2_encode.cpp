#include "engine/jbig2_encode.h"

#include <vector>

namespace {

// The adaptive arithmetic coder of JBIG2 (the MQ coder): one probability state per context.
class ArithmeticEncoder {
  public:
    explicit ArithmeticEncoder(std::string& out) : out_(out) {}

    void Encode(std::uint32_t context, int bit) {
        Context& state = contexts_[context];
        const std::uint32_t qe = kStates[state.index].qe;
        a_ -= qe;
        if (bit == state.mps) {
            if (a_ & 0x8000) {
                c_ += qe;
                return;
            }
            if (a_ < qe)
                a_ = qe;
            else
                c_ += qe;
            state.index = kStates[state.index].nextMps;
        } else {
            if (a_ < qe)
                c_ += qe;
            else
                a_ = qe;
            if (kStates[state.index].switchMps)
                state.mps = 1 - state.mps;
            state.index = kStates[state.index].nextLps;
        }
        Renormalise();
    }

    // The last bits of the code register, then the marker that ends the coded data.
    void Finish() {
        const std::uint32_t sum = c_ + a_;
        c_ |= 0xFFFF;
        if (c_ >= sum)
            c_ -= 0x8000;
        c_ <<= ct_;
        ByteOut();
        c_ <<= ct_;
        ByteOut();
        Emit();
        if (b_ != 0xFF)
            out_ += '\xFF';
        out_ += '\xAC';
    }

  private:
    struct State {
        std::uint16_t qe;
        std::uint8_t nextMps, nextLps, switchMps;
    };
    // The probability estimation table of the standard.
    static constexpr State kStates[47] = {
        {0x5601, 1, 1, 1},   {0x3401, 2, 6, 0},   {0x1801, 3, 9, 0},   {0x0AC1, 4, 12, 0},
        {0x0521, 5, 29, 0},  {0x0221, 38, 33, 0}, {0x5601, 7, 6, 1},   {0x5401, 8, 14, 0},
        {0x4801, 9, 14, 0},  {0x3801, 10, 14, 0}, {0x3001, 11, 17, 0}, {0x2401, 12, 18, 0},
        {0x1C01, 13, 20, 0}, {0x1601, 29, 21, 0}, {0x5601, 15, 14, 1}, {0x5401, 16, 14, 0},
        {0x5101, 17, 15, 0}, {0x4801, 18, 16, 0}, {0x3801, 19, 17, 0}, {0x3401, 20, 18, 0},
        {0x3001, 21, 19, 0}, {0x2801, 22, 19, 0}, {0x2401, 23, 20, 0}, {0x2201, 24, 21, 0},
        {0x1C01, 25, 22, 0}, {0x1801, 26, 23, 0}, {0x1601, 27, 24, 0}, {0x1401, 28, 25, 0},
        {0x1201, 29, 26, 0}, {0x1101, 30, 27, 0}, {0x0AC1, 31, 28, 0}, {0x09C1, 32, 29, 0},
        {0x08A1, 33, 30, 0}, {0x0521, 34, 31, 0}, {0x0441, 35, 32, 0}, {0x02A1, 36, 33, 0},
        {0x0221, 37, 34, 0}, {0x0141, 38, 35, 0}, {0x0111, 39, 36, 0}, {0x0085, 40, 37, 0},
        {0x0049, 41, 38, 0}, {0x0025, 42, 39, 0}, {0x0015, 43, 40, 0}, {0x0009, 44, 41, 0},
        {0x0005, 45, 42, 0}, {0x0001, 45, 43, 0}, {0x5601, 46, 46, 0}};

    struct Context {
        std::uint8_t index = 0;
        std::uint8_t mps = 0;
    };

    void Renormalise() {
        do {
            a_ <<= 1;
            c_ <<= 1;
            if (--ct_ == 0)
                ByteOut();
        } while (!(a_ & 0x8000));
    }

    // Moves the finished byte out of the code register; a carry goes into the byte still held,
    // and after a 0xFF only seven bits follow, so that no marker can appear in the data.
    void ByteOut() {
        if (b_ != 0xFF && c_ >= 0x8000000) {
            ++b_;
            if (b_ == 0xFF)
                c_ &= 0x7FFFFFF;
        }
        Emit();
        if (b_ == 0xFF) {
            b_ = (c_ >> 20) & 0xFF;
            c_ &= 0xFFFFF;
            ct_ = 7;
        } else {
            b_ = (c_ >> 19) & 0xFF;
            c_ &= 0x7FFFF;
            ct_ = 8;
        }
    }

    // The byte held back for a carry goes out; before the first there is none.
    void Emit() {
        if (holding_)
            out_ += static_cast<char>(b_);
        holding_ = true;
    }

    std::string& out_;
    std::vector<Context> contexts_ = std::vector<Context>(1 << 16);
    std::uint32_t a_ = 0x8000, c_ = 0, ct_ = 12, b_ = 0;
    bool holding_ = false;
};

void Put32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void PutSegment(std::string& out, std::uint32_t number, std::uint8_t type,
                const std::string& data) {
    Put32(out, number);
    out += static_cast<char>(type);  // one-byte page association, retained by nothing
    out += '\0';                     // refers to no other segment
    out += '\1';                     // belongs to page 1
    Put32(out, static_cast<std::uint32_t>(data.size()));
    out += data;
}

constexpr std::uint8_t kPageInformation = 48;
constexpr std::uint8_t kImmediateLosslessGenericRegion = 39;
// The context in which template 0 codes whether a row repeats the one above.
constexpr std::uint32_t kRepeatedRowContext = 0x9B25;
// Columns of white added on either side, so that a context never reads outside a row.
constexpr std::uint32_t kMargin = 4;

// One row of the bitmap as a byte per pixel, with the margins.
void Unpack(const std::uint8_t* row, std::uint32_t width, std::vector<std::uint8_t>& pixels) {
    for (std::uint32_t x = 0; x < width; ++x)
        pixels[kMargin + x] = (row[x / 8] >> (7 - x % 8)) & 1;
}

// Template 0 with its adaptive pixels where the standard puts them by default: the context of
// a pixel is 4 pixels before it in its row, 7 in the row above (3 to either side) and 5 two
// rows above (2 to either side), in the order that gives the bits of the standard's context.
void EncodeGenericRegion(const std::uint8_t* bitmap, std::uint32_t width, std::uint32_t height,
                         std::string& out) {
    ArithmeticEncoder coder(out);
    const std::uint32_t stride = (width + 7) / 8;
    std::vector<std::uint8_t> above2(width + 2 * kMargin), above(width + 2 * kMargin),
        current(width + 2 * kMargin);
    int repeating = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = bitmap + static_cast<std::size_t>(y) * stride;
        Unpack(row, width, current);
        // Typical prediction: a row equal to the one above is coded with one decision.
        const int repeats = current == above ? 1 : 0;
        coder.Encode(kRepeatedRowContext, repeats ^ repeating);
        repeating = repeats;
        if (repeats) {
            std::swap(above2, above);
            std::swap(above, current);
            continue;
        }
        const std::uint8_t* p2 = above2.data() + kMargin;
        const std::uint8_t* p1 = above.data() + kMargin;
        const std::uint8_t* p0 = current.data() + kMargin;
        // Each window holds its row's pixels up to the rightmost in the context, in bit 0.
        std::uint32_t w2 = (p2[-2] << 4) | (p2[-1] << 3) | (p2[0] << 2) | (p2[1] << 1) | p2[2];
        std::uint32_t w1 = (p1[-3] << 6) | (p1[-2] << 5) | (p1[-1] << 4) | (p1[0] << 3) |
                           (p1[1] << 2) | (p1[2] << 1) | p1[3];
        std::uint32_t w0 = 0;
        for (std::uint32_t x = 0; x < width; ++x) {
            coder.Encode(w0 | (w1 << 4) | (w2 << 11), p0[x]);
            w0 = ((w0 << 1) | p0[x]) & 0xF;
            w1 = ((w1 << 1) | p1[x + 4]) & 0x7F;
            w2 = ((w2 << 1) | p2[x + 3]) & 0x1F;
        }
        std::swap(above2, above);
        std::swap(above, current);
    }
    coder.Finish();
}

}  // namespace

std::string EncodeJbig2(const std::uint8_t* bitmap, std::uint32_t width, std::uint32_t height) {
    std::string page;
    Put32(page, width);
    Put32(page, height);
    Put32(page, 0);  // resolution unknown
    Put32(page, 0);
    page += '\1';                  // eventually lossless, white by default, combined by OR
    page += std::string(2, '\0');  // not striped

    std::string region;
    Put32(region, width);
    Put32(region, height);
    Put32(region, 0);  // at the page's origin
    Put32(region, 0);
    region += '\0';    // combined by OR
    region += '\x08';  // arithmetic coding, template 0, typical prediction
    // The adaptive pixels where the standard puts them by default.
    region += std::string("\x03\xFF\xFD\xFF\x02\xFE\xFE\xFE", 8);
    EncodeGenericRegion(bitmap, width, height, region);

    std::string out;
    PutSegment(out, 0, kPageInformation, page);
    PutSegment(out, 1, kImmediateLosslessGenericRegion, region);
    return out;
}
