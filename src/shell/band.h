// The size of the band every scene draws into and every tool reads back.
#pragma once

constexpr int BandWidth = 640;   // pixels in a band row
constexpr int BandHeight = 320;  // rows between the letterbox bars
