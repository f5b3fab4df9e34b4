// The entry contract between the panel runtime (the host) and a macro plug-in.
//
// The host calls `macro_main` with eight parameter words followed by its
// function table, the host vector, passed by value. A plug-in is built for
// exactly one vector size: the basic vector (12 words) or the extended one
// (15 words, with the SQL slots). MACRO_VECTOR_WORDS selects which one
// `HostVector` names inside a plug-in; host code uses both records by name.
#pragma once

#include <cstdint>

using MacroWord = std::uintptr_t;  // 32 bits on the panel and PC targets

struct PenParam {
  std::int32_t styleWidth;  // style in the low 16 bits, width in the high 16
  std::uint32_t color;      // 0x00RRGGBB
};

struct BrushParam {
  std::int32_t style;
  std::uint32_t color1;  // 0x00RRGGBB
  std::uint32_t color2;  // 0x00RRGGBB
};

extern "C" {
using RegisterAccess = int (*)(int device, int kind, int address, int count, void* buffer, int last);
using DrawLineFn = int (*)(int, int, int, int, PenParam);
using DrawRectFn = int (*)(int, int, int, int, PenParam, BrushParam);
using DrawRoundRectFn = int (*)(int, int, int, int, int, PenParam, BrushParam);
using DrawPolygonFn = int (*)(std::intptr_t, int, PenParam, BrushParam);
using DrawEllipseFn = int (*)(int, int, int, int, PenParam, BrushParam);
using DrawArcFn = int (*)(int, int, int, int, int, int, PenParam);
using DrawPieFn = int (*)(int, int, int, int, int, int, PenParam, BrushParam);
using GetColorDepthFn = void (*)(int*);
using SqlExecFn = int (*)(int, int);
using SqlSelectFn = int (*)(int, int, int, int, int);
using SqlFreeFn = void (*)(int);
}

// Words 0 to 11, common to both vector sizes.
#define MACRO_HOST_VECTOR_BASIC_WORDS \
  MacroWord reserved;                 \
  MacroWord features;                 \
  RegisterAccess ReadRegisters;       \
  RegisterAccess WriteRegisters;      \
  DrawLineFn DrawLine;                \
  DrawRectFn DrawRect;                \
  DrawRoundRectFn DrawRoundRect;      \
  DrawPolygonFn DrawPolygon;          \
  DrawEllipseFn DrawEllipse;          \
  DrawArcFn DrawArc;                  \
  DrawPieFn DrawPie;                  \
  GetColorDepthFn GetColorDepth;

struct HostVectorBasic {
  MACRO_HOST_VECTOR_BASIC_WORDS
};

struct HostVectorExtended {
  MACRO_HOST_VECTOR_BASIC_WORDS
  SqlExecFn SqlExec;
  SqlSelectFn SqlSelect;
  SqlFreeFn SqlFree;
};

#undef MACRO_HOST_VECTOR_BASIC_WORDS

inline constexpr int kBasicVectorWords = 12;
inline constexpr int kExtendedVectorWords = 15;

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(HostVectorBasic) == 48, "the basic host vector is 12 words");
static_assert(sizeof(HostVectorExtended) == 60, "the extended host vector is 15 words");
static_assert(sizeof(PenParam) == 8, "PenParam is two words");
static_assert(sizeof(BrushParam) == 12, "BrushParam is three words");
#endif

extern "C" {
using MacroMainBasic = int (*)(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                               MacroWord, MacroWord, HostVectorBasic);
using MacroMainExtended = int (*)(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                                  MacroWord, MacroWord, HostVectorExtended);
}

#if defined(MACRO_VECTOR_WORDS)
#if MACRO_VECTOR_WORDS == 12
using HostVector = HostVectorBasic;
#elif MACRO_VECTOR_WORDS == 15
using HostVector = HostVectorExtended;
#else
#error "MACRO_VECTOR_WORDS must be 12 or 15"
#endif

#if defined(_WIN32)
#define MACRO_EXPORT __declspec(dllexport)
#else
#define MACRO_EXPORT __attribute__((visibility("default")))
#endif

// The only symbol a plug-in exports. Returns 0 on every path.
extern "C" MACRO_EXPORT int macro_main(MacroWord p0, MacroWord p1, MacroWord p2, MacroWord p3,
                                       MacroWord p4, MacroWord p5, MacroWord p6, MacroWord p7,
                                       HostVector host);
#endif
