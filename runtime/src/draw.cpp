#include "macro/draw.h"

#include "macro/codes.h"

namespace {

std::int32_t Clamp(std::int32_t v, std::int32_t lo, std::int32_t hi) {
  if (v < lo) return lo;
  if (v > hi) return hi;
  return v;
}

#if defined(MACRO_VECTOR_WORDS)
int ColorDepth(HostVector host) {
  int depth = 0;
  host.GetColorDepth(&depth);
  return depth;
}
#endif

}  // namespace

std::uint32_t RGBGray(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  double mean = (static_cast<double>(red * red) + static_cast<double>(green * green) +
                 static_cast<double>(blue * blue)) / 3.0;
  // The builtin becomes the processor's square-root instruction, so no plug-in
  // needs the maths library for it.
  std::uint32_t v = static_cast<std::uint32_t>(__builtin_sqrt(mean)) & 0xFFu;
  return (v << 16) | (v << 8) | v;
}

std::uint32_t ConvertColor(int depth, std::uint32_t color) {
  std::uint32_t r = (color >> 16) & 0xFFu;
  std::uint32_t g = (color >> 8) & 0xFFu;
  std::uint32_t b = color & 0xFFu;
  if (depth == 8) return RGBGray(r, g, b);
  if (depth == 16) return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
  return color;
}

void CheckPenParam(int depth, PenParam* pen) {
  std::uint32_t packed = static_cast<std::uint32_t>(pen->styleWidth);
  std::int32_t style = static_cast<std::int16_t>(packed & 0xFFFFu);
  std::int32_t width = static_cast<std::int16_t>(packed >> 16);
  style = Clamp(style, 0, 5);
  width = Clamp(width, 1, 8);
  pen->styleWidth = static_cast<std::int32_t>((static_cast<std::uint32_t>(width) << 16) |
                                              static_cast<std::uint32_t>(style));
  pen->color = ConvertColor(depth, pen->color);
}

void CheckBrushParam(int depth, BrushParam* brush) {
  if (brush->style & 0x100) {
    brush->style = Clamp(brush->style, 256, 276);
  } else {
    brush->style = Clamp(brush->style, 0, 27);
  }
  brush->color2 = ConvertColor(depth, brush->color2);
  brush->color1 = ConvertColor(depth, brush->color1);
}

#if defined(MACRO_VECTOR_WORDS)
int DrawLinex(HostVector host, int x1, int y1, int x2, int y2, PenParam pen) {
  CheckPenParam(ColorDepth(host), &pen);
  return host.DrawLine(x1, y1, x2, y2, pen);
}

int DrawRectx(HostVector host, int x1, int y1, int x2, int y2, PenParam pen, BrushParam brush) {
  int depth = ColorDepth(host);
  CheckPenParam(depth, &pen);
  CheckBrushParam(depth, &brush);
  return host.DrawRect(x1, y1, x2, y2, pen, brush);
}

int DrawRndRectx(HostVector host, int x1, int y1, int x2, int y2, int radius, PenParam pen,
                 BrushParam brush) {
  int depth = ColorDepth(host);
  CheckPenParam(depth, &pen);
  CheckBrushParam(depth, &brush);
  return host.DrawRoundRect(x1, y1, x2, y2, radius, pen, brush);
}

int DrawPolygx(HostVector host, std::intptr_t points, int count, PenParam pen, BrushParam brush) {
  int depth = ColorDepth(host);
  CheckPenParam(depth, &pen);
  CheckBrushParam(depth, &brush);
  return host.DrawPolygon(points, count <= 0 ? 1 : count, pen, brush);
}

int DrawEclipsx(HostVector host, int x1, int y1, int x2, int y2, PenParam pen, BrushParam brush) {
  int depth = ColorDepth(host);
  CheckPenParam(depth, &pen);
  CheckBrushParam(depth, &brush);
  return host.DrawEllipse(x1, y1, x2, y2, pen, brush);
}

// The host counts angles the other way round: A..B becomes 360-B..360-A.
int DrawArcx(HostVector host, int x1, int y1, int x2, int y2, int angleA, int angleB, PenParam pen) {
  CheckPenParam(ColorDepth(host), &pen);
  return host.DrawArc(x1, y1, x2, y2, 360 - angleB, 360 - angleA, pen);
}

int DrawPiex(HostVector host, int x1, int y1, int x2, int y2, int angleA, int angleB, PenParam pen,
             BrushParam brush) {
  int depth = ColorDepth(host);
  CheckPenParam(depth, &pen);
  CheckBrushParam(depth, &brush);
  return host.DrawPie(x1, y1, x2, y2, 360 - angleB, 360 - angleA, pen, brush);
}

#if MACRO_VECTOR_WORDS == 15
int SqlExex(HostVector host, int a, int b) {
  if ((host.features & FeatureSql) == 0) return 0;
  return host.SqlExec(a, b);
}

int SqlSelectx(HostVector host, int a, int b, int c, int d, int e) {
  if ((host.features & FeatureSql) == 0) return 0;
  return host.SqlSelect(a, b, c, d, e);
}

void SqlFreex(HostVector host, int a) {
  if ((host.features & FeatureSql) == 0) return;
  host.SqlFree(a);
}
#endif
#endif
