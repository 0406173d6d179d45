#include "app/toolkit_language.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

#include <wx/intl.h>
#include <wx/translation.h>

namespace {

// GTK's own texts (the stock "Cancel" of a progress box, the file chooser's)
// come from its catalogue through the C library, which ignores the language
// list under the plain C locale: C.UTF-8 lets it read the list and changes
// nothing else, and only the messages' category is touched.
void UseJapaneseGtkTexts()
{
  const char* messages = std::setlocale(LC_MESSAGES, nullptr);
  if (!messages || std::strcmp(messages, "C") == 0 || std::strcmp(messages, "POSIX") == 0)
    std::setlocale(LC_MESSAGES, "C.UTF-8");
  setenv("LANGUAGE", "ja", 1);
}

} // namespace

bool UseJapaneseToolkitTexts()
{
  UseJapaneseGtkTexts();
  // wxTranslations and not wxLocale: a wxLocale would also switch the C
  // library's locale, and with it how printf and strtod read and write numbers.
  auto* translations = new wxTranslations;
  translations->SetLanguage(wxLANGUAGE_JAPANESE);
  const bool loaded = translations->AddStdCatalog();
  wxTranslations::Set(translations);
  return loaded;
}
