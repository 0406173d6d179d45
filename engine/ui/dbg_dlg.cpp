#include "engine/ui/dbg_dlg.h"

#include <memory>
#include <tuple>
#include <utility>

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "data/developer_checks.h"
#include "engine/determination_host.h"
#include "engine/mpeph_generator.h"
#include "engine/orbit_engine.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"

namespace {

constexpr int kLogFontTenths = 40;

// The log keeps "\n" line ends; the checks' texts end their lines in CR LF.
wxString LogText(const std::string& text)
{
  wxString s = ToWx(text);
  s.Replace("\r\n", "\n");
  return s;
}

// A hidden edit as the engine's message window.
class HiddenEdit : public EngineWindow {
public:
  explicit HiddenEdit(wxTextCtrl* edit) : m_edit(edit) {}
  std::string GetText() const override { return FromWx(m_edit->GetValue()); }
  void SetText(const std::string& text) override { m_edit->SetValue(LogText(text)); }

private:
  wxTextCtrl* m_edit;
};

// The dialog's side of a generator run.
class DialogGeneratorWindow : public MpephGeneratorWindow {
public:
  explicit DialogGeneratorWindow(CDbg* dialog) : m_dialog(dialog) {}

  void ClearLog() override { m_dialog->m_editLog->Clear(); }
  void AppendLog(const std::string& text) override { AppendDbgLog(m_dialog, text); }
  void ShowProgress(const std::string& text) override
  {
    m_dialog->m_editStatus->SetValue(ToWx(text));
    Ui().PumpOneEvent();
  }
  EngineWindow* MessageWindow() override { return m_window.get(); }
  bool ChooseSaveFile(std::string& path) override
  {
    wxFileDialog dlg(m_dialog, wxEmptyString, wxEmptyString, "mpeph.dat",
                     ToWx("摂動用小惑星暦 (*.dat)|*.dat|すべてのファイル (*.*)|*.*"),
                     wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dlg.ShowModal() != wxID_OK)
      return false;
    path = FromWx(dlg.GetPath());
    if (path.substr(path.rfind('/') + 1).find('.') == std::string::npos)
      path += ".dat";
    return true;
  }
  void CreateMessageWindow() override
  {
    m_edit = new wxTextCtrl(m_dialog, CDbg::IDC_MESSAGE_EDIT, wxEmptyString, wxDefaultPosition, wxSize(8, 8),
                            wxTE_MULTILINE);
    m_edit->Hide();
    m_window = std::make_unique<HiddenEdit>(m_edit);
  }
  void DestroyMessageWindow() override
  {
    m_window.reset();
    if (m_edit)
      m_edit->Destroy();
    m_edit = nullptr;
  }

private:
  CDbg* m_dialog;
  wxTextCtrl* m_edit = nullptr;
  std::unique_ptr<HiddenEdit> m_window;
};

wxTextCtrl* Field(wxWindow* parent, int id, const char* value, int width = 70)
{
  return new wxTextCtrl(parent, id, value, wxDefaultPosition, wxSize(width, -1));
}

} // namespace

CDbg::CDbg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Debug Dialog", wxDefaultPosition, wxDefaultSize,
                                        wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER)
{
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* tools = new wxBoxSizer(wxHORIZONTAL);
  for (const auto& [id, label] : {std::pair{IDC_BUTTON1, "Button1"}, std::pair{IDC_TEST_EPHEMERIS, "Button2"},
                                  std::pair{IDC_PLANET_DUMP, "DE406"}, std::pair{IDC_BUTTON6, "Button6"}})
    tools->Add(new wxButton(this, id, label), 0, wxRIGHT, 6);
  tools->Add(Field(this, IDC_EDIT1000, ""), 0, wxRIGHT, 6);
  tools->Add(Field(this, IDC_EDIT1001, ""), 0);
  top->Add(tools, 0, wxALL, 8);

  auto* generator = new wxBoxSizer(wxHORIZONTAL);
  for (const auto& [id, label, value] : {std::tuple{IDC_START_YEAR, "開始年", "1600"},
                                         std::tuple{IDC_END_YEAR, "終了年", "2300"},
                                         std::tuple{IDC_INTERVAL, "元期の間隔(日)", "100"}}) {
    generator->Add(new wxStaticText(this, wxID_ANY, ToWx(label)), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    generator->Add(Field(this, id, value), 0, wxRIGHT, 10);
  }
  generator->Add(new wxButton(this, IDC_GENERATE, ToWx("摂動用小惑星暦を生成")), 0);
  top->Add(generator, 0, wxLEFT | wxRIGHT | wxBOTTOM, 8);

  m_editStatus = new wxTextCtrl(this, IDC_STATUS, wxEmptyString, wxDefaultPosition, wxSize(-1, -1), wxTE_READONLY);
  top->Add(m_editStatus, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
  m_editLog = new wxTextCtrl(this, IDC_LOG, wxEmptyString, wxDefaultPosition, wxSize(760, 420),
                             wxTE_MULTILINE | wxTE_READONLY | wxVSCROLL);
  top->Add(m_editLog, 1, wxEXPAND | wxLEFT | wxRIGHT, 8);

  auto* buttons = new wxStdDialogButtonSizer;
  buttons->AddButton(new wxButton(this, wxID_OK, "OK"));
  buttons->AddButton(new wxButton(this, wxID_CANCEL, ToWx("ｷｬﾝｾﾙ")));
  buttons->Realize();
  top->Add(buttons, 0, wxALL | wxALIGN_RIGHT, 8);
  SetSizerAndFit(top);

  Bind(wxEVT_BUTTON, &CDbg::OnTestEphemeris, this, IDC_TEST_EPHEMERIS);
  Bind(wxEVT_BUTTON, &CDbg::OnPlanetaryDump, this, IDC_PLANET_DUMP);
  Bind(wxEVT_BUTTON, &CDbg::OnGenerate, this, IDC_GENERATE);
  if (parent)
    CentreOnParent();
}

void CDbg::OnTestEphemeris(wxCommandEvent& /*event*/)
{
  m_fontLog = wxFont(wxFontInfo(kLogFontTenths / 10.0).Family(wxFONTFAMILY_TELETYPE).FaceName("Courier"));
  m_editLog->SetFont(m_fontLog);
  m_editLog->SetValue(LogText(TestEphemerisText()));
}

void CDbg::OnPlanetaryDump(wxCommandEvent& /*event*/)
{
  m_editLog->Clear();
  std::string text;
  for (int body = 1; body <= 10; ++body) {
    text += PlanetaryDumpLine(body);
    m_editLog->SetValue(LogText(text));
  }
}

void CDbg::OnGenerate(wxCommandEvent& /*event*/)
{
  // A second click while a run pumps events would clear the running log.
  if (EngineBusy(CurrentDetermination()->m_pEngine)) {
    Ui().ShowMessage("Tessarune", kMsgOtherCalculationRunning, MsgIcon::Warning, MsgButtons::Ok);
    return;
  }
  const auto field = [this](int id) { return FromWx(static_cast<wxTextCtrl*>(FindWindow(id))->GetValue()); };
  DialogGeneratorWindow window(this);
  GenerateAsteroidEphemeris(window, field(IDC_START_YEAR), field(IDC_END_YEAR), field(IDC_INTERVAL));
}

void AppendDbgLog(CDbg* dialog, const std::string& text)
{
  wxTextCtrl* log = dialog->m_editLog;
  log->AppendText((log->IsEmpty() ? wxString() : wxString("\n")) + LogText(text));
  log->ShowPosition(log->GetLastPosition());
  Ui().PumpOneEvent();
}

void RunDbgDialog(wxWindow* parent)
{
  CDbg dlg(parent);
  dlg.ShowModal();
}
