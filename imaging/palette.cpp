#include "imaging/palette.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "imaging/format_io.h"
#include "platform/console.h"
#include "platform/report.h"
#include "platform/sysinfo.h"

namespace tessaran {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::uint16_t kNoIndex = 0xFFFF;
// Every 6-bit colour, plus the spare entry the full test needs.
constexpr std::uint64_t kMostEntries = 64 * 64 * 64 + 2;
constexpr std::uint64_t kReservedMemory = 0x4800;
constexpr int kEntryBytes = 12;
constexpr int kSpillBuffer = 50;
// Partner searches and mark resets stay in the neighbourhood below these thresholds.
constexpr int kNeighbourhoodSearch = 64;
constexpr int kLargestThreshold = 255;
// A distance no palette lookup reaches; smaller means a neighbour was found.
constexpr int kFarAway = 1024;

std::uint64_t (*availableMemory)() = nullptr;

int Key(int r, int g, int b) { return (r >> 2) << 8 | (g >> 2) << 4 | (b >> 2); }

void SixBits(std::uint32_t rgb, int& r, int& g, int& b) {
  r = rgb >> 18 & 63;
  g = rgb >> 10 & 63;
  b = rgb >> 2 & 63;
}

std::uint8_t Widen(int v) { return static_cast<std::uint8_t>(v << 2 | v >> 4); }

// The bucket and the up to 26 buckets whose keys differ by at most 1 in
// each channel, in ascending key order.
template <typename F>
void ForNeighbours(int key, F visit) {
  int kr = key >> 8, kg = key >> 4 & 15, kb = key & 15;
  for (int r = std::max(kr - 1, 0); r <= std::min(kr + 1, 15); ++r)
    for (int g = std::max(kg - 1, 0); g <= std::min(kg + 1, 15); ++g)
      for (int b = std::max(kb - 1, 0); b <= std::min(kb + 1, 15); ++b) visit(r << 8 | g << 4 | b);
}

ColourEntry Get(ColourReduction& pal, std::uint32_t i) {
  if (!pal.spill) return pal.entries[i];
  const auto* p = static_cast<const std::uint8_t*>(VGet(pal.spill.get(), static_cast<int>(i)));
  ColourEntry e;
  if (!p) return e;
  e.red = p[0], e.green = p[1], e.blue = p[2], e.state = p[3];
  e.count = std::uint32_t(p[4]) | std::uint32_t(p[5]) << 8 | std::uint32_t(p[6]) << 16 | std::uint32_t(p[7]) << 24;
  e.link = std::uint32_t(p[8]) | std::uint32_t(p[9]) << 8 | std::uint32_t(p[10]) << 16 | std::uint32_t(p[11]) << 24;
  return e;
}

void Put(ColourReduction& pal, std::uint32_t i, const ColourEntry& e) {
  if (!pal.spill) {
    if (i == pal.entries.size()) pal.entries.push_back(e); else pal.entries[i] = e;
    return;
  }
  std::uint8_t p[kEntryBytes] = {e.red, e.green, e.blue, e.state};
  for (int k = 0; k < 4; ++k) {
    p[4 + k] = static_cast<std::uint8_t>(e.count >> (8 * k));
    p[8 + k] = static_cast<std::uint8_t>(e.link >> (8 * k));
  }
  VPut(p, pal.spill.get(), static_cast<int>(i));
}

std::uint32_t Next(std::uint32_t i, const ColourEntry& e) { return e.link ? i + e.link : kNone; }

int Distance(const ColourEntry& a, const ColourEntry& b) {
  return PalDistance(a.red, a.green, a.blue, b.red, b.green, b.blue);
}

struct Found {
  std::uint32_t entry = kNone;
  int distance = INT_MAX;
};

// Partner search from x: the first entry within t, else the nearest one.
// x is marked as searched from; entries searched from earlier in the walk
// are marked 255; neither is offered.
Found Search(ColourReduction& pal, std::uint32_t x, int t) {
  ColourEntry ex = Get(pal, x);
  ex.state = 2;
  Put(pal, x, ex);
  pal.marked.push_back(x);
  Found best;
  auto scanBucket = [&](int bucket) {
    for (std::uint32_t i = pal.heads[bucket]; i != kNone;) {
      ColourEntry e = Get(pal, i);
      std::uint32_t next = Next(i, e);
      if (e.state == 2 && i != x) {
        e.state = 255;
        Put(pal, i, e);
      } else if (e.state == 1) {
        int d = Distance(ex, e);
        if (d <= t) {
          best = {i, d};
          return true;
        }
        if (d < best.distance) best = {i, d};
      }
      i = next;
    }
    return false;
  };
  bool done = false;
  if (t < kNeighbourhoodSearch) {
    ForNeighbours(Key(ex.red, ex.green, ex.blue), [&](int bucket) { done = done || scanBucket(bucket); });
  } else {
    for (int bucket = 0; bucket < kPalBuckets && !done; ++bucket) done = scanBucket(bucket);
  }
  return best;
}

// The entry with the larger count (the second on a tie) takes the mean
// colour; the other is merged away.
void Merge(ColourReduction& pal, std::uint32_t a, std::uint32_t c) {
  ColourEntry ea = Get(pal, a), ec = Get(pal, c);
  bool keepA = ea.count > ec.count;
  ColourEntry& keeper = keepA ? ea : ec;
  ColourEntry& gone = keepA ? ec : ea;
  keeper.red = static_cast<std::uint8_t>((ea.red + ec.red) / 2);
  keeper.green = static_cast<std::uint8_t>((ea.green + ec.green) / 2);
  keeper.blue = static_cast<std::uint8_t>((ea.blue + ec.blue) / 2);
  gone.state = 0;
  Put(pal, a, ea);
  Put(pal, c, ec);
  --pal.distinct;
  if (pal.traceMerges) Trace("ProxCol : %u <--> %u ", a, c);
}

// Returns the entries marked by the attempt to live.
void EndAttempt(ColourReduction& pal) {
  for (std::uint32_t i : pal.marked) {
    ColourEntry e = Get(pal, i);
    if (e.state == 2 || e.state == 255) {
      e.state = 1;
      Put(pal, i, e);
    }
  }
  pal.marked.clear();
}

std::uint32_t FirstLive(ColourReduction& pal, int bucket) {
  for (std::uint32_t i = pal.heads[bucket]; i != kNone;) {
    ColourEntry e = Get(pal, i);
    if (e.state != 0) return i;
    i = Next(i, e);
  }
  return kNone;
}

void WritePalette(ColourReduction& pal) {
  pal.paletteBytes.assign(1024, 0);
  for (std::size_t i = 0; i < pal.palette.size() && i < 256; ++i) {
    pal.paletteBytes[4 * i] = Widen(pal.palette[i].blue);
    pal.paletteBytes[4 * i + 1] = Widen(pal.palette[i].green);
    pal.paletteBytes[4 * i + 2] = Widen(pal.palette[i].red);
  }
  if (pal.destination) std::copy(pal.paletteBytes.begin(), pal.paletteBytes.end(), pal.destination);
}

int PaletteDistance(const PaletteColour& p, int r, int g, int b) {
  return PalDistance(p.red, p.green, p.blue, r, g, b);
}

// The exact match of a colour in its bucket's palette run, or −1.
int ExactMatch(const ColourReduction& pal, int r, int g, int b) {
  for (int i = pal.paletteHeads[Key(r, g, b)]; i != kNoIndex; ++i) {
    const PaletteColour& p = pal.palette[i];
    if (p.red == r && p.green == g && p.blue == b) return i;
    if (!p.continued || i + 1 >= int(pal.palette.size())) break;
  }
  return -1;
}

template <typename F>
void ForNeighbourEntries(const ColourReduction& pal, int key, F visit) {
  ForNeighbours(key, [&](int bucket) {
    for (int i = pal.paletteHeads[bucket]; i != kNoIndex; ++i) {
      visit(i);
      if (!pal.palette[i].continued || i + 1 >= int(pal.palette.size())) break;
    }
  });
}

// The nearest lighter and the nearest darker-or-equal entries of a colour.
struct Sides {
  int lighter = -1, lighterDistance = INT_MAX;
  int darker = -1, darkerDistance = INT_MAX;
  void Offer(const ColourReduction& pal, int i, int r, int g, int b) {
    const PaletteColour& p = pal.palette[i];
    int d = PaletteDistance(p, r, g, b);
    int sign = (r - p.red) + (g - p.green) + (b - p.blue);
    if (sign < 0) {
      if (d < lighterDistance) lighter = i, lighterDistance = d;
    } else if (d < darkerDistance) {
      darker = i, darkerDistance = d;
    }
  }
  bool Both() const { return lighter >= 0 && darker >= 0; }
};

int ChooseFromPair(ColourReduction& pal) {
  double r = std::uniform_real_distribution<double>(0.0, 1.0)(pal.random);
  double b = pal.lighterDistance, d = pal.darkerDistance;
  return b >= r * (b + d) ? pal.darker : pal.lighter;
}

}  // namespace

int PalDistance(int r1, int g1, int b1, int r2, int g2, int b2) {
  int dr = std::abs(r1 - r2), dg = std::abs(g1 - g2), db = std::abs(b1 - b2);
  return dr + dg + db + std::max({dr, dg, db});
}

void SetPalAvailableMemoryForTesting(std::uint64_t (*memory)()) { availableMemory = memory; }

int PalBegin(ColourReduction& pal, std::uint8_t* paletteDestination, int target, std::uint64_t pixels) {
  PalEnd(pal);
  pal.destination = paletteDestination;
  pal.target = std::clamp(target, 1, kPalTarget);
  std::uint64_t memory = availableMemory ? availableMemory() : AvailableMemory();
  std::uint64_t fit = memory > kReservedMemory ? (memory - kReservedMemory) / kEntryBytes : 0;
  pal.capacity = static_cast<std::uint32_t>(std::min(fit, kMostEntries));
  try {
    pal.heads.assign(kPalBuckets, kNone);
    if (fit < pixels / 64) {
      // Memory is short: the table goes to a virtual table that can spill to disk.
      pal.spill = InitVirTab(kEntryBytes, static_cast<int>(std::max<std::uint32_t>(pal.capacity, 2)), 2,
                             kSpillBuffer, 1);
      if (!pal.spill) throw std::bad_alloc();
    }
  } catch (const std::bad_alloc&) {
    pal.heads.clear();
    ShowMessage(MessageKind::Error, kMsgBucketMemory, kPalBuckets, 8);
    return 0;
  }
  return 1;
}

int PalAddColour(ColourReduction& pal, std::uint32_t rgb) {
  rgb &= 0xFFFFFF;
  if (rgb == pal.lastColour) {
    ColourEntry e = Get(pal, pal.lastEntry);
    ++e.count;
    e.state = 1;
    Put(pal, pal.lastEntry, e);
    return static_cast<int>(pal.distinct);
  }
  int r, g, b;
  SixBits(rgb, r, g, b);
  int key = Key(r, g, b);
  std::uint32_t last = kNone;
  for (std::uint32_t i = pal.heads[key]; i != kNone;) {
    ColourEntry e = Get(pal, i);
    if (e.red == r && e.green == g && e.blue == b) {
      ++e.count;
      e.state = 1;
      Put(pal, i, e);
      pal.lastColour = rgb;
      pal.lastEntry = i;
      return static_cast<int>(pal.distinct);
    }
    last = i;
    i = Next(i, e);
  }
  if (pal.used + 1 >= pal.capacity) return -1;
  std::uint32_t n = pal.used++;
  ColourEntry fresh;
  fresh.red = std::uint8_t(r), fresh.green = std::uint8_t(g), fresh.blue = std::uint8_t(b);
  fresh.state = 1;
  fresh.count = 1;
  Put(pal, n, fresh);
  if (last == kNone) {
    pal.heads[key] = n;
  } else {
    ColourEntry tail = Get(pal, last);
    tail.link = n - last;
    Put(pal, last, tail);
  }
  pal.lastColour = rgb;
  pal.lastEntry = n;
  return static_cast<int>(++pal.distinct);
}

bool PalMerge(ColourReduction& pal, std::uint32_t a, int t) {
  std::uint32_t x = a, from = kNone;
  bool merged = false;
  for (;;) {
    Found c = Search(pal, x, t);
    if (c.entry == kNone) break;
    if (c.distance <= t) {
      Merge(pal, x, c.entry);
      merged = true;
      break;
    }
    // The walk ends where two entries are each other's nearest.
    if (from != kNone && Distance(Get(pal, x), Get(pal, from)) <= c.distance) break;
    from = x;
    x = c.entry;
  }
  EndAttempt(pal);
  return merged;
}

void PalReduce(ColourReduction& pal) {
  if (pal.heads.empty() || pal.distinct <= std::uint32_t(pal.target)) return;
  std::uint32_t initial = pal.distinct;
  ProgressDisplay& progress = Progress();
  progress.Open(MessageText(kMsgReducing), MessageText(kMsgReducingSubtitle, initial, unsigned(pal.target)));
  int step = static_cast<int>(initial / 1024 + 1);
  std::uint32_t merges = 0;
  // The last round always runs at the largest threshold, so that any image
  // reaches the target.
  for (int t = step;; t += step) {
    int threshold = std::min(t, kLargestThreshold);
    for (;;) {
      std::uint32_t passMerges = 0;
      for (int bucket = 0; bucket < kPalBuckets && pal.distinct > std::uint32_t(pal.target); ++bucket) {
        std::uint32_t a = FirstLive(pal, bucket);
        if (a == kNone) {
          pal.heads[bucket] = kNone;  // a bucket without live colours is emptied
          continue;
        }
        if (PalMerge(pal, a, threshold)) ++passMerges, ++merges;
      }
      progress.Set(double(merges) / double(initial - pal.target));
      if (passMerges == 0 || pal.distinct <= std::uint32_t(pal.target)) break;
    }
    if (threshold == kLargestThreshold || pal.distinct <= std::uint32_t(pal.target)) break;
  }
  progress.Close();
}

void PalBuild(ColourReduction& pal) {
  // The surviving colours in bucket and chain order, at most the target.
  std::vector<PaletteColour> survivors;
  for (int bucket = 0; bucket < kPalBuckets && !pal.heads.empty(); ++bucket) {
    for (std::uint32_t i = pal.heads[bucket]; i != kNone && survivors.size() < std::size_t(pal.target);) {
      ColourEntry e = Get(pal, i);
      i = Next(i, e);
      if (e.state != 0) survivors.push_back({e.red, e.green, e.blue, false});
    }
  }
  // A merged colour may have moved away from the bucket it was counted in:
  // each is listed under the bucket of its final colour, so that the
  // lookups find it where they look.
  std::stable_sort(survivors.begin(), survivors.end(), [](const PaletteColour& a, const PaletteColour& b) {
    return Key(a.red, a.green, a.blue) < Key(b.red, b.green, b.blue);
  });
  pal.palette.assign(1, PaletteColour{});
  pal.paletteHeads.fill(kNoIndex);
  pal.paletteHeads[0] = 0;  // bucket 0's run starts at black
  int previousKey = 0;
  for (const PaletteColour& c : survivors) {
    int key = Key(c.red, c.green, c.blue);
    if (key == previousKey) pal.palette.back().continued = true;
    else pal.paletteHeads[key] = static_cast<std::uint16_t>(pal.palette.size());
    previousKey = key;
    pal.palette.push_back(c);
  }
  WritePalette(pal);
  pal.nearestColour = pal.ditherColour = kNone;
  pal.ditherPair = false;
  pal.built = true;
}

void PalRestore(ColourReduction& pal, const std::uint8_t* paletteBytes) {
  // PalBuild lists black first, then its colours by ascending bucket key,
  // and leaves the entries after them black: the first entry whose key
  // falls is past the end. (Black entries taken for colours in bucket 0
  // come after entry 0, the same colour, and never win a lookup.)
  pal.palette.assign(1, PaletteColour{});
  pal.paletteHeads.fill(kNoIndex);
  pal.paletteHeads[0] = 0;
  int previousKey = 0;
  for (int i = 1; i < 256; ++i) {
    const std::uint8_t* entry = paletteBytes + 4 * i;
    const PaletteColour c{std::uint8_t(entry[2] >> 2), std::uint8_t(entry[1] >> 2), std::uint8_t(entry[0] >> 2), false};
    const int key = Key(c.red, c.green, c.blue);
    if (key < previousKey) break;
    if (key == previousKey) pal.palette.back().continued = true;
    else pal.paletteHeads[key] = static_cast<std::uint16_t>(pal.palette.size());
    previousKey = key;
    pal.palette.push_back(c);
  }
  pal.paletteBytes.assign(paletteBytes, paletteBytes + 1024);
  pal.nearestColour = pal.ditherColour = kNone;
  pal.ditherPair = false;
  pal.built = true;
}

int PalNearest(ColourReduction& pal, std::uint32_t rgb) {
  rgb &= 0xFFFFFF;
  if (rgb == pal.nearestColour) return pal.nearestIndex;
  int r, g, b;
  SixBits(rgb, r, g, b);
  int found = ExactMatch(pal, r, g, b);
  if (found < 0) {
    int best = INT_MAX;
    ForNeighbourEntries(pal, Key(r, g, b), [&](int i) {
      int d = PaletteDistance(pal.palette[i], r, g, b);
      if (d < best) best = d, found = i;
    });
    if (found < 0 || best >= kFarAway) {
      best = INT_MAX;
      for (int i = 0; i < int(pal.palette.size()) && best > 0; ++i) {
        int d = PaletteDistance(pal.palette[i], r, g, b);
        if (d < best) best = d, found = i;
      }
    }
  }
  pal.nearestColour = rgb;
  pal.nearestIndex = std::max(found, 0);
  return pal.nearestIndex;
}

int PalDither(ColourReduction& pal, std::uint32_t rgb) {
  rgb &= 0xFFFFFF;
  if (rgb == pal.ditherColour) return pal.ditherPair ? ChooseFromPair(pal) : pal.ditherIndex;
  pal.ditherColour = rgb;
  pal.ditherPair = false;
  int r, g, b;
  SixBits(rgb, r, g, b);
  int exact = ExactMatch(pal, r, g, b);
  if (exact >= 0) return pal.ditherIndex = exact;
  Sides sides;
  ForNeighbourEntries(pal, Key(r, g, b), [&](int i) { sides.Offer(pal, i, r, g, b); });
  if (!sides.Both()) {
    sides = Sides{};
    for (int i = 0; i < int(pal.palette.size()); ++i) sides.Offer(pal, i, r, g, b);
  }
  if (!sides.Both()) return pal.ditherIndex = std::max(sides.lighter, sides.darker) < 0 ? 0 : (sides.lighter >= 0 ? sides.lighter : sides.darker);
  pal.ditherPair = true;
  pal.lighter = sides.lighter, pal.lighterDistance = sides.lighterDistance;
  pal.darker = sides.darker, pal.darkerDistance = sides.darkerDistance;
  return ChooseFromPair(pal);
}

void PalEnd(ColourReduction& pal) {
  pal.entries.clear();
  pal.entries.shrink_to_fit();
  if (pal.spill) CloseVirTab(pal.spill);
  pal.heads.clear();
  pal.marked.clear();
  pal.used = pal.distinct = 0;
  pal.lastColour = kNone;
}

int ImageTo8Bit(ColourReduction& pal, int slot, VirtIm& dib, bool reusePalette, bool dither) {
  if (slot < 0 || slot >= kVirtImSlots) return 0;
  const VirtIm& source = VimSlot(slot);
  if (source.Empty() || source.bytesPerPixel != 3) {
    ShowMessage(MessageKind::Error, kMsgNot24Bits);
    return 0;
  }
  if (dib.Empty() || dib.bytesPerPixel != 1 || dib.width != source.width || dib.height != source.height)
    return 0;
  const std::uint32_t width = source.width, height = source.height;
  auto pixel = [](const std::uint8_t* p) { return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0]; };
  ProgressDisplay& progress = Progress();
  if (!reusePalette || !pal.built) {
    if (!PalBegin(pal, dib.palette.data(), kPalTarget, std::uint64_t(width) * height)) {
      ShowMessage(MessageKind::Error, kMsgReductionMemory);
      return 0;
    }
    progress.Open(MessageText(kMsgCountingColours), MessageText(kMsgPixelCount, int(width * height)));
    for (std::uint32_t y = 0; y < height; ++y) {
      const std::uint8_t* line = source.Line(y);
      for (std::uint32_t x = 0; x < width; ++x) PalAddColour(pal, pixel(line + 3 * x));
      if (y % 16 == 0) progress.Set(double(y) / height);
    }
    progress.Close();
    PalReduce(pal);
    PalBuild(pal);
    PalEnd(pal);
  } else {
    std::copy(pal.paletteBytes.begin(), pal.paletteBytes.end(), dib.palette.begin());
  }
  progress.Open(MessageText(kMsgConversion), "");
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* line = source.Line(y);
    std::uint8_t* out = dib.Line(y);
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint32_t rgb = pixel(line + 3 * x);
      out[x] = static_cast<std::uint8_t>(dither ? PalDither(pal, rgb) : PalNearest(pal, rgb));
    }
    if (y % 16 == 0) progress.Set(double(y) / height);
  }
  progress.Close();
  return 1;
}

}  // namespace tessaran
