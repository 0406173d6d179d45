#pragma once
// Registers the orbit-determination view and its menu with the shell; call
// before the application starts.
void RegisterDeterminationView();
