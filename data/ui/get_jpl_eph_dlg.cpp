#include "data/ui/get_jpl_eph_dlg.h"

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "data/ui/window_routines.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/wx/wx_ui_services.h"

namespace {

wxStaticText* Text(wxWindow* parent, const char* utf8, int width = 0)
{
  return new wxStaticText(parent, wxID_ANY, width > 0 ? WrapTextForWindow(parent, utf8, width) : ToWx(utf8));
}

std::string OrDefault(const std::string& value, const char* fallback)
{
  return value.empty() ? std::string(fallback) : value;
}

} // namespace

CGetJplEph::CGetJplEph(wxWindow* pParent)
    : wxDialog(pParent, wxID_ANY, ToWx("惑星データ受信(DE406/DE441)"))
{
  const int wrap = ConvertDialogToPixels(wxSize(250, 0)).x;
  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(Text(this,
                "インターネットに接続されていることを確認して、いずれかの[受信]ボタンを押してください。\r\n\r\n"
                "この機能はインストール時にのみ使います。",
                wrap),
           0, wxALL, 10);

  auto* choices = new wxFlexGridSizer(2, 10, 10);
  m_pDe441 = new wxButton(this, IDC_RECEIVE_DE441, ToWx("DE441受信(&4)"));
  choices->Add(m_pDe441, 0, wxALIGN_TOP);
  choices->Add(Text(this,
                    "通常はDE441をダウンロードしてください。\n2.79 GB必要です。\n"
                    "摂動計算が -13000/2/23～17000/3/1 で可能です。",
                    wrap));
  m_pDe406 = new wxButton(this, IDC_RECEIVE_DE406, ToWx("DE406受信(&R)"));
  choices->Add(m_pDe406, 0, wxALIGN_TOP);
  choices->Add(Text(this,
                    "ディスク容量が足りない場合はDE406をダウンロードしてください。200 MB必要です。\n"
                    "摂動計算が -3000/2/26～3000/2/27 で可能です。",
                    wrap));
  top->Add(choices, 0, wxLEFT | wxRIGHT, 10);

  top->Add(Text(this, "ダウンロード状況:"), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  auto* bar = new wxBoxSizer(wxHORIZONTAL);
  m_progress = new wxGauge(this, IDC_PROGRESS, 100, wxDefaultPosition, wxSize(wrap, -1));
  bar->Add(m_progress, 1, wxALIGN_CENTER_VERTICAL);
  m_pPercent = new wxStaticText(this, IDC_PERCENT, wxEmptyString, wxDefaultPosition,
                                ConvertDialogToPixels(wxSize(40, 10)), wxALIGN_RIGHT | wxST_NO_AUTORESIZE);
  bar->Add(m_pPercent, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 8);
  top->Add(bar, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
  m_pStatus = new wxStaticText(this, IDC_STATUS, wxEmptyString, wxDefaultPosition, wxSize(wrap, -1),
                               wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
  top->Add(m_pStatus, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);

  m_pClose = new wxButton(this, wxID_OK, ToWx("閉じる(&C)"));
  top->Add(m_pClose, 0, wxALIGN_RIGHT | wxALL, 10);
  SetSizerAndFit(top);
  SetEscapeId(wxID_OK);

  Bind(wxEVT_BUTTON, &CGetJplEph::OnReceiveDe406, this, IDC_RECEIVE_DE406);
  Bind(wxEVT_BUTTON, &CGetJplEph::OnReceiveDe441, this, IDC_RECEIVE_DE441);
  Bind(wxEVT_BUTTON, &CGetJplEph::OnCloseButton, this, wxID_OK);
  Bind(wxEVT_CLOSE_WINDOW, &CGetJplEph::OnClose, this);
  OnInitDialog();
  CentreOnScreen();
}

void CGetJplEph::OnInitDialog()
{
  m_bRunning = 0;
  m_pDe406->Enable(!FileExists(TheApp().m_szDe406File));
  m_pDe441->Enable(!FileExists(TheApp().m_szDe441File));
}

// The window stays while a download runs: its handler is still on the stack.
void CGetJplEph::OnClose(wxCloseEvent& event)
{
  if (m_bRunning && event.CanVeto()) {
    event.Veto();
    return;
  }
  EndModal(wxID_OK);
}

void CGetJplEph::OnCloseButton(wxCommandEvent& event)
{
  if (m_bRunning)
    return;
  event.Skip();
}

PlanetaryDownloadHost CGetJplEph::MakeHost(int runningButton, const char* idleCaption)
{
  wxButton* running = runningButton == IDC_RECEIVE_DE406 ? m_pDe406 : m_pDe441;
  wxButton* other = runningButton == IDC_RECEIVE_DE406 ? m_pDe441 : m_pDe406;
  PlanetaryDownloadHost host;
  host.setStatus = [this](const std::string& text) {
    m_pStatus->SetLabel(ToWx(text));
    m_pStatus->Update();
  };
  host.setProgress = [this](double percent) {
    m_progress->SetValue(static_cast<int>(percent));
    m_pPercent->SetLabel(ToWx(FormatC("%5.1f%%", percent)));
  };
  host.pump = [] { CTessaruneLib::PumpOneMessage(); };
  host.beginRun = [this, running, other] {
    m_pClose->Disable();
    running->Disable();
    other->Disable();
  };
  host.transferStarted = [running] {
    running->SetLabel(ToWx("中止"));
    running->Enable();
  };
  host.joinStarted = [running] { running->Disable(); };
  host.endRun = [this, running, other, idleCaption](PlanetaryRunResult result) {
    m_pClose->Enable();
    other->Enable();
    running->SetLabel(ToWx(idleCaption));
    running->Enable(result != PlanetaryRunResult::Succeeded);
  };
  host.cancelFlag = &m_bCancel;
  return host;
}

void CGetJplEph::OnReceiveDe406(wxCommandEvent&)
{
  if (m_bRunning) {
    m_bCancel = 1;
    m_pDe406->Disable();
    return;
  }
  m_bRunning = 1;
  m_bCancel = 0;
  CTessaruneApp& app = TheApp();
  PlanetaryDownloadHost host = MakeHost(IDC_RECEIVE_DE406, "受信");
  ReceiveDe406(OrDefault(app.m_szDe406FtpServer, kDefaultDe406FtpServer),
               OrDefault(app.m_szDe406FtpPath, kDefaultDe406FtpPath), app.m_szDataDir, app.m_szDe406File, host);
  m_bRunning = 0;
}

void CGetJplEph::OnReceiveDe441(wxCommandEvent&)
{
  if (m_bRunning) {
    m_bCancel = 1;
    m_pDe441->Disable();
    return;
  }
  m_bRunning = 1;
  m_bCancel = 0;
  const std::string url = TheApp().GetProfileString(kSettingsSection, "DE441URL", kDefaultDe441Url);
  PlanetaryDownloadHost host = MakeHost(IDC_RECEIVE_DE441, "DE441受信(&4)");
  ReceiveDe441(url, TheApp().m_szDe441File, host);
  m_bRunning = 0;
}

int CGetJplEph::ConvertDe406ToLittleEndian()
{
  return ::ConvertDe406ToLittleEndian(TheApp().m_szDataDir + "de406.unx", TheApp().m_szDe406File);
}
