#include "host/panel.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace host {
namespace {

Panel* current = nullptr;

int Slot(int device) { return device - kLowestDeviceCode; }
constexpr int kSlots = kHighestDeviceCode - kLowestDeviceCode + 1;

bool IsBitDevice(int device) {
  switch (device) {
    case DeviceLB: case DeviceRB: case DeviceRBI: case DeviceLWBit:
    case DeviceFRB: case DeviceFRBI:
      return true;
    default:
      return false;
  }
}

bool InDeviceRange(int device) {
  return device >= kLowestDeviceCode && device <= kHighestDeviceCode;
}

bool Hits(const RegisterFault& f, int n) {
  if (f.nth <= 0) return false;
  return n == f.nth || (f.persistent && n > f.nth);
}

extern "C" int HostRead(int device, int kind, int address, int count, void* buffer, int) {
  return Panel::Current()->Access(false, device, kind, address, count, buffer);
}

extern "C" int HostWrite(int device, int kind, int address, int count, void* buffer, int) {
  return Panel::Current()->Access(true, device, kind, address, count, buffer);
}

void Record(int slot, std::vector<long long> args) {
  Panel::Current()->drawCalls.push_back(DrawCall{slot, std::move(args)});
}

void PenArgs(std::vector<long long>& a, PenParam p) {
  a.push_back(p.styleWidth);
  a.push_back(p.color);
}

void BrushArgs(std::vector<long long>& a, BrushParam b) {
  a.push_back(b.style);
  a.push_back(b.color1);
  a.push_back(b.color2);
}

extern "C" int HostDrawLine(int a, int b, int c, int d, PenParam p) {
  std::vector<long long> v{a, b, c, d};
  PenArgs(v, p);
  Record(4, v);
  return Panel::Current()->drawResult;
}

extern "C" int HostDrawRect(int a, int b, int c, int d, PenParam p, BrushParam br) {
  std::vector<long long> v{a, b, c, d};
  PenArgs(v, p);
  BrushArgs(v, br);
  Record(5, v);
  return Panel::Current()->drawResult;
}

extern "C" int HostDrawRoundRect(int a, int b, int c, int d, int e, PenParam p, BrushParam br) {
  std::vector<long long> v{a, b, c, d, e};
  PenArgs(v, p);
  BrushArgs(v, br);
  Record(6, v);
  return Panel::Current()->drawResult;
}

extern "C" int HostDrawPolygon(std::intptr_t a, int n, PenParam p, BrushParam br) {
  std::vector<long long> v{static_cast<long long>(a), n};
  PenArgs(v, p);
  BrushArgs(v, br);
  Record(7, v);
  return Panel::Current()->drawResult;
}

extern "C" int HostDrawEllipse(int a, int b, int c, int d, PenParam p, BrushParam br) {
  std::vector<long long> v{a, b, c, d};
  PenArgs(v, p);
  BrushArgs(v, br);
  Record(8, v);
  return Panel::Current()->drawResult;
}

extern "C" int HostDrawArc(int a, int b, int c, int d, int e, int f, PenParam p) {
  std::vector<long long> v{a, b, c, d, e, f};
  PenArgs(v, p);
  Record(9, v);
  return Panel::Current()->drawResult;
}

extern "C" int HostDrawPie(int a, int b, int c, int d, int e, int f, PenParam p, BrushParam br) {
  std::vector<long long> v{a, b, c, d, e, f};
  PenArgs(v, p);
  BrushArgs(v, br);
  Record(10, v);
  return Panel::Current()->drawResult;
}

extern "C" void HostGetColorDepth(int* depth) {
  Record(11, {});
  if (depth != nullptr) *depth = Panel::Current()->colorDepth;
}

extern "C" int HostSqlExec(int a, int b) {
  Record(12, {a, b});
  return Panel::Current()->sqlResult;
}

extern "C" int HostSqlSelect(int a, int b, int c, int d, int e) {
  Record(13, {a, b, c, d, e});
  return Panel::Current()->sqlResult;
}

extern "C" void HostSqlFree(int a) { Record(14, {a}); }

}  // namespace

Panel::Panel() : record(kRecordWords, 0), words_(kSlots), bits_(kSlots) {
  for (int d = kLowestDeviceCode; d <= kHighestDeviceCode; ++d) {
    if (IsBitDevice(d)) {
      bits_[Slot(d)].assign(kAreaBits, 0);
    } else {
      words_[Slot(d)].assign(kAreaWords, 0);
    }
  }
  MakeCurrent();
}

Panel::~Panel() {
  if (current == this) current = nullptr;
}

void Panel::MakeCurrent() { current = this; }
Panel* Panel::Current() { return current; }

bool Panel::IsWordArea(int device) const { return InDeviceRange(device) && !IsBitDevice(device); }
bool Panel::IsBitArea(int device) const { return InDeviceRange(device) && IsBitDevice(device); }

std::uint16_t& Panel::Word(int device, int address) {
  return words_.at(Slot(device)).at(static_cast<std::size_t>(address));
}

std::uint8_t& Panel::Bit(int device, int address) {
  return bits_.at(Slot(device)).at(static_cast<std::size_t>(address));
}

void Panel::Fill(std::uint16_t wordPattern, std::uint8_t bitPattern) {
  for (auto& area : words_) std::fill(area.begin(), area.end(), wordPattern);
  for (auto& area : bits_) std::fill(area.begin(), area.end(), bitPattern);
}

std::vector<std::uint16_t> Panel::SnapshotWords() const {
  std::vector<std::uint16_t> all;
  for (const auto& area : words_) all.insert(all.end(), area.begin(), area.end());
  return all;
}

std::vector<std::uint8_t> Panel::SnapshotBits() const {
  std::vector<std::uint8_t> all;
  for (const auto& area : bits_) all.insert(all.end(), area.begin(), area.end());
  return all;
}

namespace {

// Elements of each area that differ from the snapshot, which holds the areas
// one after the other. Areas equal as a whole are skipped in one compare.
template <typename T>
std::vector<std::pair<int, int>> ChangedSince(const std::vector<std::vector<T>>& areas,
                                              const std::vector<T>& snapshot) {
  std::vector<std::pair<int, int>> changed;
  std::size_t at = 0;
  for (int d = kLowestDeviceCode; d <= kHighestDeviceCode; ++d) {
    const auto& area = areas[static_cast<std::size_t>(Slot(d))];
    bool whole = at + area.size() <= snapshot.size();
    if (whole && !area.empty() &&
        std::memcmp(area.data(), snapshot.data() + at, area.size() * sizeof(T)) == 0) {
      at += area.size();
      continue;
    }
    for (std::size_t i = 0; i < area.size(); ++i, ++at) {
      if (at >= snapshot.size() || snapshot[at] != area[i]) changed.emplace_back(d, static_cast<int>(i));
    }
  }
  return changed;
}

}  // namespace

std::vector<std::pair<int, int>> Panel::WordsChangedSince(
    const std::vector<std::uint16_t>& words) const {
  return ChangedSince(words_, words);
}

std::vector<std::pair<int, int>> Panel::BitsChangedSince(const std::vector<std::uint8_t>& bits) const {
  return ChangedSince(bits_, bits);
}

void Panel::PutText(int device, int address, const std::string& text, int words) {
  for (int i = 0; i < words; ++i) {
    std::size_t at = static_cast<std::size_t>(i) * 2;
    std::uint8_t lo = at < text.size() ? static_cast<std::uint8_t>(text[at]) : 0;
    std::uint8_t hi = at + 1 < text.size() ? static_cast<std::uint8_t>(text[at + 1]) : 0;
    Word(device, address + i) = static_cast<std::uint16_t>(lo | (hi << 8));
  }
}

std::string Panel::GetText(int device, int address, int words) const {
  std::string text;
  auto& self = const_cast<Panel&>(*this);
  for (int i = 0; i < words; ++i) {
    std::uint16_t w = self.Word(device, address + i);
    for (char c : {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8)}) {
      if (c == '\0') return text;
      text.push_back(c);
    }
  }
  return text;
}

std::uint32_t Panel::GetPair(int device, int address) const {
  auto& self = const_cast<Panel&>(*this);
  return static_cast<std::uint32_t>(self.Word(device, address)) |
         (static_cast<std::uint32_t>(self.Word(device, address + 1)) << 16);
}

void Panel::SetPair(int device, int address, std::uint32_t value) {
  Word(device, address) = static_cast<std::uint16_t>(value);
  Word(device, address + 1) = static_cast<std::uint16_t>(value >> 16);
}

std::uint32_t Panel::Ticks() const { return GetPair(DeviceLW, 9034); }
void Panel::SetTicks(std::uint32_t ticks) { SetPair(DeviceLW, 9034, ticks); }
void Panel::Advance(std::uint32_t ticks) { SetTicks(Ticks() + ticks); }

// One register access from a plug-in. The host checks the whole range before
// it copies anything, so a failed access leaves both sides untouched.
int Panel::Access(bool write, int device, int kind, int address, int count, void* buffer) {
  int n = write ? ++writes : ++reads;
  const RegisterFault& fault = write ? writeFault : readFault;
  int result = 1;
  bool bitArea = IsBitArea(device);
  bool wordArea = IsWordArea(device);
  int size = bitArea ? kAreaBits : kAreaWords;
  if (Hits(fault, n)) {
    result = fault.result;
  } else if ((!bitArea && !wordArea) || (wordArea && kind != KindWord) ||
             (bitArea && kind != KindBit) || buffer == nullptr || address < 0 || count < 0 ||
             count > size - address) {
    result = 0;
  } else if (wordArea) {
    auto& area = words_[Slot(device)];
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    for (int i = 0; i < count; ++i) {
      std::uint16_t& w = area[static_cast<std::size_t>(address + i)];
      if (write) {
        w = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
      } else {
        bytes[2 * i] = static_cast<std::uint8_t>(w);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(w >> 8);
      }
    }
  } else {
    auto& area = bits_[Slot(device)];
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    for (int i = 0; i < count; ++i) {
      std::uint8_t& b = area[static_cast<std::size_t>(address + i)];
      if (write) {
        b = bytes[i] ? 1 : 0;
      } else {
        bytes[i] = b;
      }
    }
  }
  log.push_back(RegisterAccessRecord{write, device, kind, address, count, result});
  return result;
}

HostVectorBasic Panel::BasicVector() {
  HostVectorBasic v{};
  v.reserved = 0;
  v.features = features;
  v.ReadRegisters = HostRead;
  v.WriteRegisters = HostWrite;
  v.DrawLine = HostDrawLine;
  v.DrawRect = HostDrawRect;
  v.DrawRoundRect = HostDrawRoundRect;
  v.DrawPolygon = HostDrawPolygon;
  v.DrawEllipse = HostDrawEllipse;
  v.DrawArc = HostDrawArc;
  v.DrawPie = HostDrawPie;
  v.GetColorDepth = HostGetColorDepth;
  return v;
}

HostVectorExtended Panel::ExtendedVector() {
  HostVectorBasic b = BasicVector();
  HostVectorExtended v{};
  static_assert(offsetof(HostVectorExtended, SqlExec) == sizeof(HostVectorBasic));
  std::memcpy(&v, &b, sizeof b);
  v.SqlExec = HostSqlExec;
  v.SqlSelect = HostSqlSelect;
  v.SqlFree = HostSqlFree;
  return v;
}

}  // namespace host
