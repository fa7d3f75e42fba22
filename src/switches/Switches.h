#pragma once

#include <cstdint>

#include "core/ControlIds.h"

struct Console;

// The devices switched through controller output bits.
enum class Device { Camera, Laser, Light };

// Switch on: only while S2 is closed (asks to close it first); the camera
// restarts the 60 s timer that switches it off again.
void switchOn(Console& console, Device device);
// Switch off: always runs in full, asks nothing.
void switchOff(Console& console, Device device);
// Timer 1: the camera goes off 60 s after the last switch-on.
void onCameraTimer(Console& console);

// Shutters S1 (upstream) and S2 (downstream) under the containment rule that
// at least one stays closed unless the operator explicitly agrees.
void onOpenS1(Console& console);
void onCloseS1(Console& console);
void onOpenS2(Console& console);
void onCloseS2(Console& console);

// Start-up, before the initial switch states: the shutter bits of
// "Controller.dat"; settings that cannot be used are reported in one message
// and the shutters keep their behaviour without them.
void readShutterBits(Console& console);
// The shutter buttons drive shutters: in simulation, or real ones.
bool shuttersDriven(const Console& console);
// The shutter flags and buttons from the motion model: Open only for a
// shutter known to be closed, Close for one that may be open.
void showShutterStates(Console& console);

// Start-up: the initial enable states of the switch, shutter and direct
// command controls, then Close S2 and Open S1 as if pressed.
void applyInitialSwitchStates(Console& console);
