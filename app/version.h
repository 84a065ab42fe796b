// The program's name as its window and boxes show it. SCANVANE_VERSION comes
// from the build (CMake's project version), so the zip names and the window
// title cannot disagree.
#pragma once

#ifndef SCANVANE_VERSION
#error "SCANVANE_VERSION is set by the build"
#endif

#define SCANVANE_NAME "Scanvane V " SCANVANE_VERSION

constexpr const char WindowTitle[] = SCANVANE_NAME " by Quorrel";
constexpr const char ControlsCaption[] = SCANVANE_NAME " - Controls";
