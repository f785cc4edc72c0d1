// The music disk's entry point: the arguments, the unit initialisations in
// their order, then the main procedure.
#include "app/musicdisk.h"
#include "platform/bass/bass.h"
#include "platform/kernel.h"
#include "platform/rtl.h"

int main(int argc, char** argv) {
  RtlSetArgs(argc, argv);
  MusicDiskUnitInits();
  MusicDiskMain();
  // The audio device closes with the process, as the system would close it.
  BASS_Free();
  plat::Exit(0);
}
