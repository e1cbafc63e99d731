#include "crash/imaging/wu_quantizer.h"

#include <cstring>
#include <memory>

namespace ostrel {
namespace {

constexpr int kSide = 33;
constexpr int kCells = kSide * kSide * kSide;
constexpr int kMaxColours = 256;

constexpr int Index(int r, int g, int b) { return (r * kSide + g) * kSide + b; }

enum Axis { kRed, kGreen, kBlue };

struct Box {
  int r0, r1, g0, g1, b0, b1;  // exclusive lower, inclusive upper bounds
  int volume;
};

// Cumulative moments. The published algorithm keeps the counts and sums in
// 32 bits, which overflow on screens of more than about eight million pixels;
// 64 bits give the same results where 32 did not overflow.
struct Moments {
  std::int64_t wt[kCells];
  std::int64_t mr[kCells];
  std::int64_t mg[kCells];
  std::int64_t mb[kCells];
  double m2[kCells];
};

template <typename T>
T Volume(const Box& c, const T* m) {
  return m[Index(c.r1, c.g1, c.b1)] - m[Index(c.r1, c.g1, c.b0)] - m[Index(c.r1, c.g0, c.b1)] +
         m[Index(c.r1, c.g0, c.b0)] - m[Index(c.r0, c.g1, c.b1)] + m[Index(c.r0, c.g1, c.b0)] +
         m[Index(c.r0, c.g0, c.b1)] - m[Index(c.r0, c.g0, c.b0)];
}

// The part of Volume that does not depend on the cut position along an axis.
std::int64_t Bottom(const Box& c, Axis axis, const std::int64_t* m) {
  switch (axis) {
    case kRed:
      return -m[Index(c.r0, c.g1, c.b1)] + m[Index(c.r0, c.g1, c.b0)] + m[Index(c.r0, c.g0, c.b1)] -
             m[Index(c.r0, c.g0, c.b0)];
    case kGreen:
      return -m[Index(c.r1, c.g0, c.b1)] + m[Index(c.r1, c.g0, c.b0)] + m[Index(c.r0, c.g0, c.b1)] -
             m[Index(c.r0, c.g0, c.b0)];
    default:
      return -m[Index(c.r1, c.g1, c.b0)] + m[Index(c.r1, c.g0, c.b0)] + m[Index(c.r0, c.g1, c.b0)] -
             m[Index(c.r0, c.g0, c.b0)];
  }
}

// The part of Volume that does, for a cut at pos.
std::int64_t Top(const Box& c, Axis axis, int pos, const std::int64_t* m) {
  switch (axis) {
    case kRed:
      return m[Index(pos, c.g1, c.b1)] - m[Index(pos, c.g1, c.b0)] - m[Index(pos, c.g0, c.b1)] +
             m[Index(pos, c.g0, c.b0)];
    case kGreen:
      return m[Index(c.r1, pos, c.b1)] - m[Index(c.r1, pos, c.b0)] - m[Index(c.r0, pos, c.b1)] +
             m[Index(c.r0, pos, c.b0)];
    default:
      return m[Index(c.r1, c.g1, pos)] - m[Index(c.r1, c.g0, pos)] - m[Index(c.r0, c.g1, pos)] +
             m[Index(c.r0, c.g0, pos)];
  }
}

class Quantizer {
 public:
  explicit Quantizer(Moments& m) : m_(m) {}

  void Histogram(const BitmapPixels& pixels) {
    // Squares are summed exactly in integers and converted once afterwards.
    auto m2 = std::make_unique<std::int64_t[]>(kCells);
    const std::uint8_t* p = pixels.bits;
    const std::size_t count = static_cast<std::size_t>(pixels.width) * pixels.height;
    // Screens are mostly runs of one colour: count a run, then add it at once.
    std::uint32_t runColour = 0;
    std::int64_t run = 0;
    auto addRun = [&] {
      if (run == 0) return;
      const int b = runColour & 0xFF, g = (runColour >> 8) & 0xFF, r = (runColour >> 16) & 0xFF;
      const int cell = Index((r >> 3) + 1, (g >> 3) + 1, (b >> 3) + 1);
      m_.wt[cell] += run;
      m_.mr[cell] += r * run;
      m_.mg[cell] += g * run;
      m_.mb[cell] += b * run;
      m2[cell] += (r * r + g * g + b * b) * run;
    };
    for (std::size_t i = 0; i < count; ++i, p += 4) {
      std::uint32_t colour;
      std::memcpy(&colour, p, 4);  // blue, green, red, unused on a little-endian machine
      colour &= 0xFFFFFF;
      if (colour == runColour) {
        ++run;
        continue;
      }
      addRun();
      runColour = colour;
      run = 1;
    }
    addRun();
    for (int i = 0; i < kCells; ++i) m_.m2[i] = static_cast<double>(m2[i]);
  }

  void Accumulate() {
    for (int r = 1; r < kSide; ++r) {
      std::int64_t area[kSide] = {}, areaR[kSide] = {}, areaG[kSide] = {}, areaB[kSide] = {};
      double area2[kSide] = {};
      for (int g = 1; g < kSide; ++g) {
        std::int64_t line = 0, lineR = 0, lineG = 0, lineB = 0;
        double line2 = 0;
        for (int b = 1; b < kSide; ++b) {
          const int i = Index(r, g, b);
          const int below = Index(r - 1, g, b);
          line += m_.wt[i];
          lineR += m_.mr[i];
          lineG += m_.mg[i];
          lineB += m_.mb[i];
          line2 += m_.m2[i];
          area[b] += line;
          areaR[b] += lineR;
          areaG[b] += lineG;
          areaB[b] += lineB;
          area2[b] += line2;
          m_.wt[i] = m_.wt[below] + area[b];
          m_.mr[i] = m_.mr[below] + areaR[b];
          m_.mg[i] = m_.mg[below] + areaG[b];
          m_.mb[i] = m_.mb[below] + areaB[b];
          m_.m2[i] = m_.m2[below] + area2[b];
        }
      }
    }
  }

  double Variance(const Box& c) const {
    const double dr = static_cast<double>(Volume(c, m_.mr));
    const double dg = static_cast<double>(Volume(c, m_.mg));
    const double db = static_cast<double>(Volume(c, m_.mb));
    const double xx = Volume(c, m_.m2);
    return xx - (dr * dr + dg * dg + db * db) / static_cast<double>(Volume(c, m_.wt));
  }

  // Best cut along one axis: the largest sum of the two halves' weighted
  // squared means; *cut stays -1 when no cut leaves both halves non-empty.
  double Maximize(const Box& c, Axis axis, int first, int last, int* cut, std::int64_t wholeR,
                  std::int64_t wholeG, std::int64_t wholeB, std::int64_t wholeW) const {
    const std::int64_t baseR = Bottom(c, axis, m_.mr), baseG = Bottom(c, axis, m_.mg),
                       baseB = Bottom(c, axis, m_.mb), baseW = Bottom(c, axis, m_.wt);
    double best = 0;
    *cut = -1;
    for (int i = first; i < last; ++i) {
      std::int64_t halfR = baseR + Top(c, axis, i, m_.mr);
      std::int64_t halfG = baseG + Top(c, axis, i, m_.mg);
      std::int64_t halfB = baseB + Top(c, axis, i, m_.mb);
      std::int64_t halfW = baseW + Top(c, axis, i, m_.wt);
      if (halfW == 0) continue;
      double temp = (static_cast<double>(halfR) * halfR + static_cast<double>(halfG) * halfG +
                     static_cast<double>(halfB) * halfB) /
                    static_cast<double>(halfW);
      halfR = wholeR - halfR;
      halfG = wholeG - halfG;
      halfB = wholeB - halfB;
      halfW = wholeW - halfW;
      if (halfW == 0) continue;
      temp += (static_cast<double>(halfR) * halfR + static_cast<double>(halfG) * halfG +
               static_cast<double>(halfB) * halfB) /
              static_cast<double>(halfW);
      if (temp > best) {
        best = temp;
        *cut = i;
      }
    }
    return best;
  }

  bool Cut(Box& set1, Box& set2) const {
    const std::int64_t wholeR = Volume(set1, m_.mr), wholeG = Volume(set1, m_.mg),
                       wholeB = Volume(set1, m_.mb), wholeW = Volume(set1, m_.wt);
    int cutR, cutG, cutB;
    const double maxR =
        Maximize(set1, kRed, set1.r0 + 1, set1.r1, &cutR, wholeR, wholeG, wholeB, wholeW);
    const double maxG =
        Maximize(set1, kGreen, set1.g0 + 1, set1.g1, &cutG, wholeR, wholeG, wholeB, wholeW);
    const double maxB =
        Maximize(set1, kBlue, set1.b0 + 1, set1.b1, &cutB, wholeR, wholeG, wholeB, wholeW);
    Axis axis;
    if (maxR >= maxG && maxR >= maxB) {
      axis = kRed;
      if (cutR < 0) return false;  // the box cannot be split
    } else if (maxG >= maxR && maxG >= maxB) {
      axis = kGreen;
    } else {
      axis = kBlue;
    }
    set2.r1 = set1.r1;
    set2.g1 = set1.g1;
    set2.b1 = set1.b1;
    switch (axis) {
      case kRed:
        set2.r0 = set1.r1 = cutR;
        set2.g0 = set1.g0;
        set2.b0 = set1.b0;
        break;
      case kGreen:
        set2.g0 = set1.g1 = cutG;
        set2.r0 = set1.r0;
        set2.b0 = set1.b0;
        break;
      case kBlue:
        set2.b0 = set1.b1 = cutB;
        set2.r0 = set1.r0;
        set2.g0 = set1.g0;
        break;
    }
    set1.volume = (set1.r1 - set1.r0) * (set1.g1 - set1.g0) * (set1.b1 - set1.b0);
    set2.volume = (set2.r1 - set2.r0) * (set2.g1 - set2.g0) * (set2.b1 - set2.b0);
    return true;
  }

  Palette256 Run() {
    Box cube[kMaxColours] = {};
    double variance[kMaxColours] = {};
    cube[0] = {0, kSide - 1, 0, kSide - 1, 0, kSide - 1, 0};
    int boxes = kMaxColours;
    int next = 0;
    for (int i = 1; i < kMaxColours; ++i) {
      if (Cut(cube[next], cube[i])) {
        // Single-cell boxes are not split further.
        variance[next] = cube[next].volume > 1 ? Variance(cube[next]) : 0.0;
        variance[i] = cube[i].volume > 1 ? Variance(cube[i]) : 0.0;
      } else {
        variance[next] = 0.0;
        --i;
      }
      next = 0;
      double largest = variance[0];
      for (int k = 1; k <= i; ++k) {
        if (variance[k] > largest) {
          largest = variance[k];
          next = k;
        }
      }
      if (largest <= 0.0) {
        boxes = i + 1;
        break;
      }
    }

    Palette256 palette;
    palette.boxes = boxes;
    for (int k = 0; k < boxes; ++k) {
      const std::int64_t weight = Volume(cube[k], m_.wt);
      if (weight == 0) continue;
      palette.rgb[k * 3] = static_cast<std::uint8_t>(Volume(cube[k], m_.mr) / weight);
      palette.rgb[k * 3 + 1] = static_cast<std::uint8_t>(Volume(cube[k], m_.mg) / weight);
      palette.rgb[k * 3 + 2] = static_cast<std::uint8_t>(Volume(cube[k], m_.mb) / weight);
      palette.filled[k] = true;
    }
    return palette;
  }

 private:
  Moments& m_;
};

}  // namespace

Palette256 QuantizeWu(const BitmapPixels& pixels) {
  auto moments = std::make_unique<Moments>();  // zero-filled
  Quantizer q(*moments);
  q.Histogram(pixels);
  q.Accumulate();
  return q.Run();
}

}  // namespace ostrel
