// Every vector path of the row kernels against the plain one, on the same random rows: odd
// lengths for the leftover pixels, unaligned rows, and the alpha values with shortcuts.
#include "core/RowKernels.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace pictorelle;
using rows::TKernelPath;

namespace {

using Row = std::vector<uint32_t>;

// Pixels whose alpha is mostly 0 or 255, in runs, so the all-clear and all-opaque shortcuts
// are taken as well as the arithmetic.
Row randomRow(std::mt19937& gen, std::size_t n) {
    Row r(n);
    uint32_t alphaMode = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 8 == 0) alphaMode = gen() % 4;
        const uint32_t colour = gen() & 0x00FFFFFFu;
        const uint32_t alpha = alphaMode == 0 ? 0 : alphaMode == 1 ? 255 : gen() & 0xFFu;
        r[i] = colour | alpha << 24;
    }
    return r;
}

// Runs `kernel` on the scalar path and on `path` and compares the rows it wrote.
template <class Kernel> void expectSameRows(TKernelPath path, Kernel&& kernel) {
    std::mt19937 gen(1234);
    for (const std::size_t n : {0u, 1u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 33u, 70u, 1031u}) {
        for (std::size_t offset = 0; offset < 3; ++offset) {
            const Row a = randomRow(gen, n + 8), b = randomRow(gen, n + 8);
            const Row start = randomRow(gen, n + 8);
            const uint32_t value = static_cast<uint32_t>(gen());
            Row expected = start, actual = start;
            ASSERT_TRUE(rows::SetKernelPath(TKernelPath::Scalar));
            kernel(expected.data() + offset, a.data() + offset, b.data() + offset, n, value);
            ASSERT_TRUE(rows::SetKernelPath(path));
            kernel(actual.data() + offset, a.data() + offset, b.data() + offset, n, value);
            ASSERT_EQ(expected, actual) << rows::KernelPathName(path) << " n " << n << " offset "
                                        << offset << " value " << value;
        }
    }
}

class RowKernelPaths : public testing::TestWithParam<TKernelPath> {
protected:
    void SetUp() override {
        if (!rows::KernelPathAvailable(GetParam())) GTEST_SKIP() << "path not in this build";
        saved_ = rows::KernelPath();
    }
    void TearDown() override { rows::SetKernelPath(saved_); }
    TKernelPath saved_ = TKernelPath::Scalar;
};

TEST_P(RowKernelPaths, BlendKernelsMatchThePlainCode) {
    for (const uint32_t master : {0u, 1u, 128u, 254u, 255u}) {
        expectSameRows(GetParam(), [master](uint32_t* d, const uint32_t* s, const uint32_t*,
                                            std::size_t n, uint32_t) {
            rows::Blend(d, s, n, master);
        });
        for (const bool stream : {false, true}) {
            expectSameRows(GetParam(), [&](uint32_t* out, const uint32_t* under,
                                           const uint32_t* over, std::size_t n, uint32_t) {
                rows::BlendOnto(out, under, over, n, master, stream);
            });
            expectSameRows(GetParam(), [&](uint32_t* out, const uint32_t*, const uint32_t* over,
                                           std::size_t n, uint32_t) {
                rows::BlendOnto(out, nullptr, over, n, master, stream);
            });
        }
    }
    for (const bool stream : {false, true})
        expectSameRows(GetParam(), [stream](uint32_t* out, const uint32_t* src, const uint32_t*,
                                            std::size_t n, uint32_t colour) {
            rows::OverColour(out, src, n, colour, stream);
        });
}

TEST_P(RowKernelPaths, ResamplingKernelsMatchThePlainCode) {
    for (const uint32_t w : {0u, 1u, 77u, 128u, 255u, 256u})
        expectSameRows(GetParam(), [w](uint32_t* out, const uint32_t* a, const uint32_t* b,
                                       std::size_t n, uint32_t) { rows::Lerp(out, a, b, w, n); });
    // Sample positions anywhere in the source row, each with its own weight.
    expectSameRows(GetParam(), [](uint32_t* out, const uint32_t* row, const uint32_t* weights,
                                  std::size_t n, uint32_t seed) {
        std::mt19937 gen(seed);
        std::vector<int32_t> x(n);
        std::vector<uint32_t> w(n);
        for (std::size_t i = 0; i < n; ++i) {
            x[i] = static_cast<int32_t>(gen() % (n + 7));
            w[i] = weights[i] % 257;
        }
        rows::LerpPairs(out, row, x.data(), w.data(), n);
        rows::Gather(out + n / 2, row, x.data(), n - n / 2);
    });
}

INSTANTIATE_TEST_SUITE_P(, RowKernelPaths, testing::Values(TKernelPath::Sse2, TKernelPath::Avx2),
                         [](const auto& p) { return rows::KernelPathName(p.param); });

TEST(RowKernels, OverColourShowsTheBackgroundThroughClearPixels) {
    rows::SetKernelPath(rows::KernelPath());
    const Row src = {0x00123456u, 0xFF102030u, 0x80FF0000u, 0x00000000u, 0xFF000000u,
                     0x00FFFFFFu, 0x80FF0000u, 0xFFABCDEFu, 0x00000000u};
    Row out(src.size());
    rows::OverColour(out.data(), src.data(), src.size(), 0x000000FFu, false);
    const Row expected = {0xFF0000FFu, 0xFF102030u, 0xFF80007Fu, 0xFF0000FFu, 0xFF000000u,
                          0xFF0000FFu, 0xFF80007Fu, 0xFFABCDEFu, 0xFF0000FFu};
    EXPECT_EQ(expected, out);
}

} // namespace
