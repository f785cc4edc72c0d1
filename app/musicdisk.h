// The music disk's main program: the unit initialisations in their order,
// start-up, the loading phase behind its ring of ticks, and the frame loop
// over a letterboxed 1280 x 720 drawing space.
#pragma once
#include <cstdint>

#include "app/ife.h"
#include "units/shortstr.h"

// The screens, as ScreenState numbers them.
enum ScreenNumber : int32_t { kScreenIntro = 0, kScreenMain = 1, kScreenBonus = 2, kScreenEnd = 3, kScreenCount = 4 };

// The main program's state, alive for the whole run.
struct DiskState {
  int32_t WindowWidth = 800;
  int32_t WindowHeight = 600;
  int32_t WindowFullscreen = 0;
  int32_t DebugOverlay = 0;
  int32_t ViewHeight = 0;
  int32_t ScreenState = kScreenIntro;  // a ScreenNumber; any other value draws nothing
  int32_t ScreenStart = 0;
  int32_t ElapsedMs = 0;
  int32_t VirtualMouseX = 0;
  int32_t VirtualMouseY = 0;
  int32_t MouseHeld = 0;
  bool MouseClicked = false;
  int32_t PreviousKey = 0;
  int32_t FrameCount = 0;
  int32_t FpsTime = 0;
  ShortString FpsString;
  ShortString FpsText;
  int32_t FpsScreenStart = 0;  // the screen start the frame count counts from
  int32_t LoadingStep = 0;
  ife_interface LoadingLayers = {0, 0, nullptr};
  int32_t BufferTextures[4] = {};
  int32_t ScrollerTexture = 0;  // "swscroll.tga"

  // The layer sets, in the order they are loaded, named after what they
  // show (the files keep their own names).
  ife_interface LayersVBlur{}, LayersHBlur{}, LayersBlackFade{}, LayersWhiteFade{};
  ife_interface LayersIntro[5] = {};
  ife_interface LayersMainBkg{}, LayersBonusBkg{};
  // The spectrum of the left and the right channel in three bands:
  // "bal_mely.ife" ... "jobb_magas.ife".
  ife_interface LayersLeftLow{}, LayersLeftMid{}, LayersLeftHigh{};
  ife_interface LayersRightLow{}, LayersRightMid{}, LayersRightHigh{};
  // The main screen's panel frames ("keret.ife") and its buttons
  // ("gui.ife"); the end screen's background ("endscroll.ife") and the
  // edges and fades over its credits ("end2.ife").
  ife_interface LayersFrame{}, LayersPreIntro{}, LayersButtons{}, LayersEndScroll{}, LayersEndOverlay{};
  ife_interface LayersHighlight{};
};
extern DiskState Disk;

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
