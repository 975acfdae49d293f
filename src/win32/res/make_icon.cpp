// Writes linkwell.ico: a 32 x 32 mast sending waves on the bridge window's
// light orange. Run once on the build machine; its output is committed.
//   g++ -std=c++20 -o make_icon make_icon.cpp && ./make_icon linkwell.ico
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSize = 32;
using Pixel = std::array<std::uint8_t, 4>;  // B, G, R, A as the icon stores them

void Put(std::vector<Pixel>& img, int x, int y, Pixel p) {
    if (x >= 0 && x < kSize && y >= 0 && y < kSize)
        img[static_cast<std::size_t>(y * kSize + x)] = p;
}

void Line(std::vector<Pixel>& img, double x0, double y0, double x1, double y1, Pixel p) {
    const int steps = 64;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        Put(img, static_cast<int>(std::lround(x0 + (x1 - x0) * t)),
            static_cast<int>(std::lround(y0 + (y1 - y0) * t)), p);
    }
}

void Put16(std::FILE* f, unsigned v) {
    std::fputc(static_cast<int>(v & 0xFF), f);
    std::fputc(static_cast<int>((v >> 8) & 0xFF), f);
}
void Put32(std::FILE* f, unsigned v) {
    Put16(f, v & 0xFFFF);
    Put16(f, v >> 16);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 1;
    const Pixel orange{128, 192, 255, 255};
    const Pixel mast{40, 40, 40, 255};
    const Pixel wave{20, 20, 170, 255};
    std::vector<Pixel> img(kSize * kSize, orange);
    Line(img, 9, 31, 16, 9, mast);
    Line(img, 23, 31, 16, 9, mast);
    Line(img, 12, 22, 20, 22, mast);
    for (int r : {5, 10}) {
        for (int a = -50; a <= 50; a += 2) {
            const double rad = a * 3.14159265 / 180.0;
            Put(img, static_cast<int>(std::lround(16 + r * std::cos(rad))),
                static_cast<int>(std::lround(9 + r * std::sin(rad))), wave);
            Put(img, static_cast<int>(std::lround(16 - r * std::cos(rad))),
                static_cast<int>(std::lround(9 + r * std::sin(rad))), wave);
        }
    }
    std::FILE* f = std::fopen(argv[1], "wb");
    if (f == nullptr) return 1;
    const unsigned pixels = kSize * kSize * 4;
    const unsigned mask = kSize * 4;  // 1 bit per pixel, rows padded to 32 bits
    const unsigned image = 40 + pixels + mask;
    Put16(f, 0);
    Put16(f, 1);
    Put16(f, 1);  // ICONDIR
    std::fputc(kSize, f);
    std::fputc(kSize, f);
    std::fputc(0, f);
    std::fputc(0, f);
    Put16(f, 1);
    Put16(f, 32);
    Put32(f, image);
    Put32(f, 6 + 16);  // ICONDIRENTRY
    Put32(f, 40);
    Put32(f, kSize);
    Put32(f, kSize * 2);
    Put16(f, 1);
    Put16(f, 32);
    Put32(f, 0);
    Put32(f, pixels + mask);
    Put32(f, 0);
    Put32(f, 0);
    Put32(f, 0);
    Put32(f, 0);
    for (int y = kSize - 1; y >= 0; --y) {
        for (int x = 0; x < kSize; ++x)
            std::fwrite(img[static_cast<std::size_t>(y * kSize + x)].data(), 1, 4, f);
    }
    for (unsigned i = 0; i < mask; ++i) std::fputc(0, f);
    return std::fclose(f) == 0 ? 0 : 1;
}
