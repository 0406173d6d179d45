#pragma once
// The toolkit's own texts (progress boxes, file dialogs, stock buttons) in
// Japanese, like the rest of the program, whatever language the desktop runs
// in. Only the message catalogue changes: numbers stay in the C locale.

// Loads the toolkit's Japanese catalogue for the life of the process; false
// when the catalogue is not installed (the texts then stay in English).
bool UseJapaneseToolkitTexts();
