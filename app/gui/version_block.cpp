// The version block of a program: a marker and "key=value" entries, each ended
// by a zero byte, and an empty entry at the end. It sits in a section of its own
// so the program can find it in its file; `used` keeps it although no code
// refers to it.
#include "app/face_data/version_info.h"

#ifndef VZ_FILE_VERSION
#error "VZ_FILE_VERSION must give the program's version, e.g. 2.6.0.6"
#endif

extern "C" __attribute__((used, section(VZ_VERSION_SECTION))) const char vzVersionBlock[] =
    "VZVERSIONINFO\0"
    "StringFileInfo\\040904E4\\FileVersion=" VZ_FILE_VERSION "\0"
    "StringFileInfo\\040904E4\\ProductVersion=" VZ_FILE_VERSION "\0"
    "StringFileInfo\\040904E4\\FileDescription=Vorna Zadod Updater\0";
