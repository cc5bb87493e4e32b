#pragma once
// Conversion of a packed device-independent bitmap to an 8-bit gray frame.
#include <array>
#include <cstddef>
#include <cstdint>

namespace qxm::track {

// gray = trunc(r * red + b * blue + g * green), the sum formed in this order in double
// precision, truncated toward zero, low 8 bits kept. The three products are tabled per channel
// value: a table entry is the very same double product the formula forms, so the sum of the
// entries is bit-identical to the formula.
class GrayWeights {
public:
    GrayWeights(double red, double green, double blue);

    uint8_t gray(uint8_t r, uint8_t g, uint8_t b) const {
        double v = r_[r] + b_[b] + g_[g];
        return small_ ? static_cast<uint8_t>(static_cast<int32_t>(v)) : wrap(v);
    }
    // The formula evaluated without tables (reference for tests).
    static uint8_t direct(double red, double green, double blue, uint8_t r, uint8_t g, uint8_t b);
    // Low 8 bits of trunc(v) for any double (0 for NaN and for magnitudes of 2^63 and more,
    // whose low 8 bits are 0 anyway).
    static uint8_t wrap(double v);

private:
    std::array<double, 256> r_{}, g_{}, b_{};
    bool small_ = false; // every possible sum lies safely inside the 32-bit range
};

// Parses a packed bitmap of size bytes into gray (width * height bytes, top row first).
// Returns 0, -601 (no bitmap), -602 (other size than the movie) or -603 (neither true colour
// nor 256 colours, or a bitmap whose rows reach past its end).
int32_t readGrayDib(const uint8_t* dib, std::size_t size, int32_t width, int32_t height,
                    const GrayWeights& weights, uint8_t* gray);

} // namespace qxm::track
