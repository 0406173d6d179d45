#pragma once
// The planetary-file download dialog, run modally by the start-up and by
// command 163 (the options sheet's button shares it).
class wxWindow;

void RunPlanetaryDownloadDialog(wxWindow* parent);
