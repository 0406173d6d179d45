#pragma once
// Hands the shell the windows of the subsystems above it: the function views
// and the tool windows with their commands. Called once before start-up.
void RegisterProgramWindows();
