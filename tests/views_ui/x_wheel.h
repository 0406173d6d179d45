#pragma once
// One notch of the mouse wheel through the X server's test extension (the
// toolkit's simulator has no wheel).
bool TurnWheel(bool forward);
