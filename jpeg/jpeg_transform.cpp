// Dequantisation and the fast inverse DCT, in fixed point.
#include "jpeg/jpeg_state.h"

JPEG_NAMESPACE_BEGIN

namespace {

// Signed 32-bit arithmetic that wraps like the machine's, without undefined behaviour.
std::int32_t Add(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::int32_t Sub(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

std::int32_t Mul(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// a * k >> 8, the shift arithmetic (toward minus infinity).
std::int32_t MulShift8(std::int32_t a, std::int32_t k)
{
    return Mul(a, k) >> 8;
}

std::int16_t Low16(std::int32_t v)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
}

// The Arai-Agui-Nakajima butterfly on eight values; constants at 8 fractional bits.
inline void Butterfly(const std::int32_t p[8], std::int32_t o[8])
{
    std::int32_t t10 = Add(p[0], p[4]);
    std::int32_t t11 = Sub(p[0], p[4]);
    std::int32_t t13 = Add(p[2], p[6]);
    std::int32_t t12 = Sub(MulShift8(Sub(p[2], p[6]), 362), t13);
    std::int32_t e0 = Add(t10, t13);
    std::int32_t e3 = Sub(t10, t13);
    std::int32_t e1 = Add(t11, t12);
    std::int32_t e2 = Sub(t11, t12);

    std::int32_t z13 = Add(p[5], p[3]);
    std::int32_t z10 = Sub(p[5], p[3]);
    std::int32_t z11 = Add(p[1], p[7]);
    std::int32_t z12 = Sub(p[1], p[7]);
    std::int32_t f7 = Add(z11, z13);
    std::int32_t z5 = MulShift8(Add(z10, z12), 473);
    std::int32_t f6 = Sub(Add(MulShift8(z10, -669), z5), f7);
    std::int32_t f5 = Sub(MulShift8(Sub(z11, z13), 362), f6);
    std::int32_t f4 = Add(Sub(MulShift8(z12, 277), z5), f5);

    o[0] = Add(e0, f7);
    o[7] = Sub(e0, f7);
    o[1] = Add(e1, f6);
    o[6] = Sub(e1, f6);
    o[2] = Add(e2, f5);
    o[5] = Sub(e2, f5);
    o[4] = Add(e3, f4);
    o[3] = Sub(e3, f4);
}

}  // namespace

// Coefficients (natural order) times the prescaled table, columns then rows;
// samples 0..255 with the level shift.
void JpegInverseTransform(const std::int16_t* coefficients, std::int16_t* samples,
                          std::uint16_t quantSelector)
{
    // A selector above 1 uses table 1.
    const std::uint16_t* q = jpegState.quantTables[quantSelector != 0].multipliers;
    std::int16_t workspace[64];
    std::int32_t p[8];
    std::int32_t o[8];

    for (std::uint32_t c = 0; c < 8; ++c) {
        std::int32_t ac = 0;
        for (std::uint32_t r = 1; r < 8; ++r)
            ac |= coefficients[8 * r + c];
        if (ac == 0) {
            std::int16_t d = Low16(Mul(coefficients[c], q[c]));
            for (std::uint32_t r = 0; r < 8; ++r)
                workspace[8 * r + c] = d;
            continue;
        }
        for (std::uint32_t r = 0; r < 8; ++r)
            p[r] = Mul(coefficients[8 * r + c], q[8 * r + c]);
        Butterfly(p, o);
        for (std::uint32_t r = 0; r < 8; ++r)
            workspace[8 * r + c] = Low16(o[r]);
    }

    for (std::uint32_t r = 0; r < 8; ++r) {
        const std::int16_t* w = workspace + 8 * r;
        std::int32_t ac = 0;
        for (std::uint32_t c = 1; c < 8; ++c)
            ac |= w[c];
        if (ac == 0) {
            std::int16_t v = JpegClampSample((w[0] >> 5) + 128);
            for (std::uint32_t c = 0; c < 8; ++c)
                samples[8 * r + c] = v;
            continue;
        }
        for (std::uint32_t c = 0; c < 8; ++c)
            p[c] = w[c];
        Butterfly(p, o);
        for (std::uint32_t c = 0; c < 8; ++c)
            samples[8 * r + c] = JpegClampSample(Add(o[c] >> 5, 128));
    }
}

JPEG_NAMESPACE_END
