#include "platform/ui_services.h"

namespace {

HeadlessUiServices& DefaultUi()
{
  static HeadlessUiServices ui;
  return ui;
}

UiServices* g_pUi = nullptr;
bool g_bEscapeLatched = false;

} // namespace

UiServices& Ui()
{
  return g_pUi ? *g_pUi : DefaultUi();
}

void SetUi(UiServices* ui)
{
  g_pUi = ui;
}

void LatchEscapeKey()
{
  g_bEscapeLatched = true;
}

void ClearEscapeKey()
{
  g_bEscapeLatched = false;
}

bool EscapeKeyLatched()
{
  return g_bEscapeLatched;
}

bool EscapeRequested()
{
  return g_bEscapeLatched || Ui().IsKeyDown(UiKey::Escape);
}

MsgAnswer HeadlessUiServices::ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                                          MsgButtons buttons)
{
  m_messages.push_back({caption, text, icon, buttons});
  if (!m_scriptedAnswers.empty()) {
    MsgAnswer a = m_scriptedAnswers.front();
    m_scriptedAnswers.erase(m_scriptedAnswers.begin());
    return a;
  }
  switch (buttons) {
  case MsgButtons::Ok:
    return MsgAnswer::Ok;
  case MsgButtons::YesNo:
    return MsgAnswer::No;
  default:
    return MsgAnswer::Cancel;
  }
}

bool HeadlessUiServices::IsKeyDown(UiKey key)
{
  return m_keys[static_cast<int>(key)];
}
