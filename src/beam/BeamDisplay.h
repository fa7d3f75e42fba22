#pragma once

struct ConsoleCore;

// Start-up: "Al degrader (mil):" from the S and R of the status file, with
// foils 1 to 10 whatever the cyclotron.
void showStartupDegrader(ConsoleCore& console);

// Start-up: the committed beam files, the effective LET and range, the
// substrate description and the layer count.
void showStoredBeam(ConsoleCore& console);

// "Effective LET" = nominal LET / |cos T|, "Effective range" = nominal range
// × |cos T|.
void refreshEffectiveLetDisplay(ConsoleCore& console);
