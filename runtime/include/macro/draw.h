// Drawing and SQL wrappers: pens and brushes are clamped to what the host
// draws and colours converted to the screen's depth before the host call.
#pragma once

#include <cstdint>

#include "macro/abi.h"

// Grey of the same brightness: v = sqrt((r*r + g*g + b*b) / 3) in each byte.
std::uint32_t RGBGray(std::uint32_t red, std::uint32_t green, std::uint32_t blue);
// Converts 0x00RRGGBB for depth 8 (grey) or 16 (5-6-5); other depths keep it.
std::uint32_t ConvertColor(int depth, std::uint32_t color);
void CheckPenParam(int depth, PenParam* pen);
void CheckBrushParam(int depth, BrushParam* brush);

#if defined(MACRO_VECTOR_WORDS)
int DrawLinex(HostVector host, int x1, int y1, int x2, int y2, PenParam pen);
int DrawRectx(HostVector host, int x1, int y1, int x2, int y2, PenParam pen, BrushParam brush);
int DrawRndRectx(HostVector host, int x1, int y1, int x2, int y2, int radius, PenParam pen,
                 BrushParam brush);
int DrawPolygx(HostVector host, std::intptr_t points, int count, PenParam pen, BrushParam brush);
int DrawEclipsx(HostVector host, int x1, int y1, int x2, int y2, PenParam pen, BrushParam brush);
int DrawArcx(HostVector host, int x1, int y1, int x2, int y2, int angleA, int angleB, PenParam pen);
int DrawPiex(HostVector host, int x1, int y1, int x2, int y2, int angleA, int angleB, PenParam pen,
             BrushParam brush);
#if MACRO_VECTOR_WORDS == 15
int SqlExex(HostVector host, int a, int b);
int SqlSelectx(HostVector host, int a, int b, int c, int d, int e);
void SqlFreex(HostVector host, int a);
#endif
#endif
