// The demonstration's overlay: the crosshair at the screen centre and the column of
// statistics in the font "Arial.tf", drawn over each rendered frame.
#pragma once

constexpr int kStatisticsFont = 18; // "Arial.tf", also the profiler's

// Start-up steps 11 and 13: font 18 from "Arial.tf", the crosshair texture "Cross.png",
// its material 20 (textured sprite) and sprite 19.
void loadOverlay();

// Loop steps 9 and 10: the crosshair, then the eleven statistics lines, and a twelfth,
// "Sleeping: ", when `sleeping` (the number of sleeping bodies) is 0 or more.
// `physicsPercent` is the share of the frame the physics step took, for "Benchmark: ".
void drawOverlay(float physicsPercent, int sleeping);

// The same statistics as text lines on standard output (for scripted runs).
void printStatistics(float physicsPercent, int sleeping);
