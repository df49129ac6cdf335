// The scene clock: seconds on the platform's high-resolution counter, from one reset.
//
// Every scene reads SceneSeconds once or more per frame and compares it with its end time. The
// first scene resets the clock once its images are loaded; all end times count from there.
#pragma once

// Reads the counter and its frequency; ends the process with exit code 10 if either is missing.
void InitSceneClock();

// Makes the current moment scene-clock time 0. Called once in the whole run, by the first scene.
void ResetSceneClock();

// Seconds since the last reset (before any reset: the counter's own time), computed in extended
// precision. Each scene stores the reading as float or double as its timing rule says.
long double SceneSeconds();

// Returns the clock to its state at process start (tests run several shows in one process).
void ResetSceneClockState();
