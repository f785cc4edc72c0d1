// The music disk's main program: the unit initialisations in their order,
// start-up, the loading phase behind its ring of ticks, and the frame loop
// over a letterboxed 1280 x 720 drawing space.
#pragma once
#include <cstdint>

#include "app/ife.h"
#include "units/shortstr.h"

extern int32_t WindowWidth;
extern int32_t WindowHeight;
extern int32_t WindowFullscreen;
extern int32_t DebugOverlay;
extern int32_t ViewHeight;
// The screens, as ScreenState numbers them.
enum ScreenNumber : int32_t { kScreenIntro = 0, kScreenMain = 1, kScreenBonus = 2, kScreenEnd = 3, kScreenCount = 4 };
extern int32_t ScreenState;  // a ScreenNumber; any other value draws nothing
extern int32_t ScreenStart;
extern int32_t ElapsedMs;
extern int32_t VirtualMouseX;
extern int32_t VirtualMouseY;
extern int32_t MouseHeld;
extern bool MouseClicked;
extern int32_t PreviousKey;
extern int32_t FrameCount;
extern int32_t FpsTime;
extern ShortString FpsString;
extern ShortString FpsText;
extern int32_t LoadingStep;
extern ife_interface LoadingLayers;
extern int32_t BufferTextures[4];
extern int32_t ScrollerTexture;  // "swscroll.tga"

// The layer sets, in the order they are loaded, named after what they show
// (the files keep their own names).
extern ife_interface LayersVBlur, LayersHBlur, LayersBlackFade, LayersWhiteFade;
extern ife_interface LayersIntro[5];
extern ife_interface LayersMainBkg, LayersBonusBkg;
// The spectrum of the left and the right channel in three bands:
// "bal_mely.ife" ... "jobb_magas.ife".
extern ife_interface LayersLeftLow, LayersLeftMid, LayersLeftHigh;
extern ife_interface LayersRightLow, LayersRightMid, LayersRightHigh;
// The main screen's panel frames ("keret.ife") and its buttons ("gui.ife");
// the end screen's background ("endscroll.ife") and the edges and fades
// over its credits ("end2.ife").
extern ife_interface LayersFrame, LayersPreIntro, LayersButtons, LayersEndScroll, LayersEndOverlay, LayersHighlight;

// The 3D engine's per-frame statistics, cleared before every frame.
extern int32_t TrianglesDrawn, ObjectsDrawn, ParticlesDrawn;

// The screens: what each draws in a frame and what Escape does on it. The
// frame loop tests the four in a row, so a screen entered from a lower one
// is drawn in the same frame.
using ScreenProc = void (*)(void);
extern ScreenProc ScreenDraw[kScreenCount];
extern ScreenProc ScreenEscape[kScreenCount];
// The framework's key number of Escape.
constexpr int32_t kKeyEscape = 1;

// The unit initialisations of the program, in their order.
void MusicDiskUnitInits(void);
void MusicDiskMain(void);
void LoadingFrame(void);
void LoadingPhase(void);
// One pass of the frame loop: draws and shows one frame.
void MusicDiskFrame(void);

// Letterbox: the 16:9 viewport's height (halves to even) and the bar
// above and below it (cut toward zero).
int32_t LetterboxHeight(int32_t windowWidth);
int32_t LetterboxBar(int32_t windowHeight, int32_t viewHeight);
// A window row (counted from the top) as a drawing-space y, clamped 0-719.
int32_t VirtualY(int32_t mouseY, int32_t windowHeight, int32_t viewHeight);
// The frames-per-second text: two digits after the point.
ShortString FpsFigure(int32_t frames, int32_t milliseconds);
// Whether tick i of the loading ring is lit at the step.
bool LoadingTickLit(int32_t tick, int32_t step);
