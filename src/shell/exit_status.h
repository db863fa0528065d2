// The process exit statuses of the program: 0 for every normal end.
#pragma once

constexpr int ExitNormal = 0;
constexpr int ExitSetupFailed = 2;   // window, display or timer could not be set up
constexpr int ExitLoadFailed = 3;    // an asset failed to load
constexpr int ExitSoundDevice = 4;   // no audio device
constexpr int ExitMusicFailed = 5;   // "orvanti.xm" missing or unplayable
// ExitDisplayLost (6, platform/platform.h): the display went away during the show
