#pragma once
// Registers the orbit-determination view and its menu, and the operation-log
// manager's command, with the shell; call before the application starts.
void RegisterDeterminationView();
